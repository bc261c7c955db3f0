#include "cli/cliargs.h"

#include "i18n/language.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <utility>

namespace cli {

QString tr(const char* text)
{
    return QCoreApplication::translate("cli", text);
}

namespace {

enum class Scope { Both, PrintOnly, PageSetupOnly };

struct OptionSpec
{
    const char* name;
    bool takesValue;
    Scope scope;
};

const OptionSpec optionSpecs[] = {
    {"--quiet", false, Scope::Both},
    {"--lang", true, Scope::Both},
    {"--report", true, Scope::Both},
    {"--dry-run", false, Scope::Both},
    {"--no-skip-empty", false, Scope::Both},
    {"--first-sheet", false, Scope::Both},
    {"--sheets", true, Scope::Both},
    {"--list", true, Scope::PrintOnly},
    {"--range", true, Scope::PrintOnly},
    {"--paper", true, Scope::PrintOnly},
    {"--sheet-delay", true, Scope::PrintOnly},
    {"--workbook-delay", true, Scope::PrintOnly},
    {"--printer", true, Scope::PrintOnly},
    {"--pdf", true, Scope::PrintOnly},
    {"--copies", true, Scope::PrintOnly},
    {"--collate", false, Scope::PrintOnly},
    {"--duplex", true, Scope::PrintOnly},
    {"--jobs", true, Scope::PrintOnly},
    {"--left", true, Scope::PageSetupOnly},
    {"--right", true, Scope::PageSetupOnly},
    {"--top", true, Scope::PageSetupOnly},
    {"--bottom", true, Scope::PageSetupOnly},
    {"--header", true, Scope::PageSetupOnly},
    {"--footer", true, Scope::PageSetupOnly},
    {"--orientation", true, Scope::PageSetupOnly},
};

const OptionSpec* findOption(const QString& name)
{
    for (const OptionSpec& spec : optionSpecs) {
        if (name == QLatin1String(spec.name))
            return &spec;
    }
    return nullptr;
}

struct GivenOption
{
    const OptionSpec* spec;
    QString value;
};

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The window's delay boxes: whole seconds from 0 to 900, decimal digits only.
bool parseDelay(const QString& text, int* seconds)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(text).hasMatch())
        return false;
    const int value = text.toInt();
    if (value > maxDelaySeconds)
        return false;
    *seconds = value;
    return true;
}

// The window's margin boxes: 0.00 to 99.99 cm with at most two decimals and
// "." as the decimal point.
bool parseMargin(const QString& text, double* cm)
{
    static const QRegularExpression number(QStringLiteral("^[0-9]{1,4}(\\.[0-9]{1,2})?$"));
    if (!number.match(text).hasMatch())
        return false;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || value > maxMarginCm)
        return false;
    *cm = value;
    return true;
}

bool parsePaper(const QString& text, QString* paper)
{
    const QString upper = text.toUpper();
    static const char* const sizes[] = {"A3", "A4", "A5", "B4", "B5"};
    for (const char* size : sizes) {
        if (upper == QLatin1String(size)) {
            *paper = upper;
            return true;
        }
    }
    if (text.compare(QLatin1String("default"), Qt::CaseInsensitive) == 0 ||
        text == QStringLiteral("默认")) {
        *paper = QStringLiteral("默认");
        return true;
    }
    return false;
}

// Stores one option's value; false with a message when the value is refused.
bool applyValue(const GivenOption& given, CliArguments* args, QString* error)
{
    const QString name = QLatin1String(given.spec->name);
    const QString& value = given.value;
    auto refuse = [&](const QString& why) {
        *error = tr("%1: %2").arg(name, why);
        return false;
    };

    if (name == QLatin1String("--quiet")) {
        args->quiet = true;
    } else if (name == QLatin1String("--lang")) {
        // Installed by main() before the parse, so that every message of the
        // run is in that language; checked here.
        if (!i18n::languageNamed(value))
            return refuse(tr("unknown language %1 (use zh or en)").arg(quoted(value)));
    } else if (name == QLatin1String("--dry-run")) {
        args->dryRun = true;
    } else if (name == QLatin1String("--report")) {
        if (value.isEmpty())
            return refuse(tr("no report file given"));
        args->reportFile = value;
    } else if (name == QLatin1String("--copies")) {
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,4}$"));
        const int copies = value.toInt();
        if (!digits.match(value).hasMatch() || copies < 1 || copies > maxCopies)
            return refuse(tr("%1 is not a number of copies from 1 to 999").arg(quoted(value)));
        args->printTarget.copies = copies;
    } else if (name == QLatin1String("--jobs")) {
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,2}$"));
        const int jobs = value.toInt();
        if (!digits.match(value).hasMatch() || jobs < 1 || jobs > maxJobs)
            return refuse(
                tr("%1 is not a number of spreadsheet programs from 1 to 64").arg(quoted(value)));
        args->jobs = jobs;
    } else if (name == QLatin1String("--collate")) {
        args->printTarget.collate = true;
    } else if (name == QLatin1String("--duplex")) {
        using Duplex = spreadsheet::PrintTarget::Duplex;
        if (value == QLatin1String("none"))
            args->printTarget.duplex = Duplex::None;
        else if (value == QLatin1String("long"))
            args->printTarget.duplex = Duplex::LongEdge;
        else if (value == QLatin1String("short"))
            args->printTarget.duplex = Duplex::ShortEdge;
        else
            return refuse(
                tr("unknown duplex mode %1 (use none, long or short)").arg(quoted(value)));
    } else if (name == QLatin1String("--no-skip-empty")) {
        args->skipEmptySheets = false;
    } else if (name == QLatin1String("--first-sheet")) {
        args->onlyFirstSheet = true;
    } else if (name == QLatin1String("--sheets")) {
        // Taken as typed, like the window's name edit: names are matched
        // exactly, blanks included.
        if (value.isEmpty())
            return refuse(tr("no sheet name given"));
        args->appointedSheetsOnly = true;
        args->appointedSheetNames = value;
    } else if (name == QLatin1String("--list")) {
        if (value.isEmpty())
            return refuse(tr("no list file given"));
        args->listFile = value;
    } else if (name == QLatin1String("--range")) {
        static const QRegularExpression rangeChars(QStringLiteral("^[0-9a-zA-Z:]+$"));
        const QString range = value.trimmed();
        if (range.isEmpty())
            return refuse(tr("no cell range given"));
        if (!rangeChars.match(range).hasMatch())
            return refuse(
                tr("%1 may hold only letters, digits and \":\" (as A1:H20)").arg(quoted(value)));
        args->printRangeOnly = true;
        args->printRange = range;
    } else if (name == QLatin1String("--paper")) {
        if (!parsePaper(value, &args->paperSize))
            return refuse(
                tr("unknown paper size %1 (use A3, A4, A5, B4, B5 or default)").arg(quoted(value)));
    } else if (name == QLatin1String("--sheet-delay") ||
               name == QLatin1String("--workbook-delay")) {
        int* target = name == QLatin1String("--sheet-delay") ? &args->sheetDelaySeconds
                                                             : &args->workbookDelaySeconds;
        if (!parseDelay(value, target))
            return refuse(
                tr("%1 is not a whole number of seconds from 0 to 900").arg(quoted(value)));
    } else if (name == QLatin1String("--printer")) {
        if (value.isEmpty())
            return refuse(tr("no printer name given"));
        args->printTarget.kind = spreadsheet::PrintTarget::NamedPrinter;
        args->printTarget.name = value;
    } else if (name == QLatin1String("--pdf")) {
        if (value.isEmpty())
            return refuse(tr("no folder given"));
        args->printTarget.kind = spreadsheet::PrintTarget::PdfDirectory;
        args->printTarget.name = value;
    } else if (name == QLatin1String("--orientation")) {
        if (value.compare(QLatin1String("portrait"), Qt::CaseInsensitive) == 0)
            args->orientation = spreadsheet::OrientationPortrait;
        else if (value.compare(QLatin1String("landscape"), Qt::CaseInsensitive) == 0)
            args->orientation = spreadsheet::OrientationLandscape;
        else
            return refuse(
                tr("unknown orientation %1 (use portrait or landscape)").arg(quoted(value)));
        args->changeOrientation = true;
    } else {
        Margin* margin = nullptr;
        if (name == QLatin1String("--left"))
            margin = &args->left;
        else if (name == QLatin1String("--right"))
            margin = &args->right;
        else if (name == QLatin1String("--top"))
            margin = &args->top;
        else if (name == QLatin1String("--bottom"))
            margin = &args->bottom;
        else if (name == QLatin1String("--header"))
            margin = &args->header;
        else
            margin = &args->footer;
        if (!parseMargin(value, &margin->cm))
            return refuse(tr("%1 is not a margin from 0 to 99.99 cm with at most two decimals")
                              .arg(quoted(value)));
        margin->change = true;
    }
    return true;
}

} // namespace

bool parseArguments(const QStringList& arguments, CliArguments* result, QString* error)
{
    CliArguments args;

    // --help wins over everything else, wherever it stands before "--", and
    // --version over everything but --help.
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--"))
            break;
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            args.help = true;
            args.version = false;
            *result = args;
            return true;
        }
        args.version = args.version || argument == QLatin1String("--version");
    }
    if (args.version) {
        *result = args;
        return true;
    }

    QStringList positional;
    QList<GivenOption> given;
    bool optionsEnded = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (optionsEnded || argument == QLatin1String("-") ||
            !argument.startsWith(QLatin1Char('-'))) {
            positional.append(argument);
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const int equals = argument.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? argument : argument.left(equals);
        const OptionSpec* spec = findOption(name);
        if (!spec) {
            *error = tr("%1: unknown option").arg(name);
            return false;
        }
        GivenOption option{spec, QString()};
        if (spec->takesValue) {
            if (equals >= 0) {
                option.value = argument.mid(equals + 1);
            } else if (i + 1 < arguments.size()) {
                option.value = arguments.at(++i);
            } else {
                *error = tr("%1: value missing").arg(name);
                return false;
            }
        } else if (equals >= 0) {
            *error = tr("%1: takes no value").arg(name);
            return false;
        }
        given.append(option);
    }

    if (positional.isEmpty()) {
        *error = tr("no command given (use print or page-setup; see --help)");
        return false;
    }
    const QString command = positional.takeFirst();
    if (command == QLatin1String("print")) {
        args.command = Command::Print;
    } else if (command == QLatin1String("page-setup")) {
        args.command = Command::PageSetup;
    } else {
        *error =
            tr("unknown command %1 (use print or page-setup; see --help)").arg(quoted(command));
        return false;
    }
    if (positional.isEmpty() || positional.first().isEmpty()) {
        *error = tr("FOLDER: no folder given");
        return false;
    }
    args.folder = positional.takeFirst();
    if (!positional.isEmpty()) {
        *error = tr("%1: unexpected argument").arg(quoted(positional.first()));
        return false;
    }

    // Options in the order given, so that a repeated option's last value
    // counts, as with most command-line tools.
    bool printerGiven = false;
    bool pdfGiven = false;
    for (const GivenOption& option : std::as_const(given)) {
        const QString name = QLatin1String(option.spec->name);
        if (option.spec->scope == Scope::PrintOnly && args.command != Command::Print) {
            *error = tr("%1: only for the print command").arg(name);
            return false;
        }
        if (option.spec->scope == Scope::PageSetupOnly && args.command != Command::PageSetup) {
            *error = tr("%1: only for the page-setup command").arg(name);
            return false;
        }
        if (!applyValue(option, &args, error))
            return false;
        printerGiven = printerGiven || name == QLatin1String("--printer");
        pdfGiven = pdfGiven || name == QLatin1String("--pdf");
    }
    if (printerGiven && pdfGiven) {
        *error = tr("--pdf: cannot be combined with --printer");
        return false;
    }
    // A PDF file has no copies, collation or sides: refused, not ignored.
    if (pdfGiven) {
        for (const GivenOption& option : std::as_const(given)) {
            const QString name = QLatin1String(option.spec->name);
            if (name == QLatin1String("--copies") || name == QLatin1String("--collate") ||
                name == QLatin1String("--duplex")) {
                *error = tr("%1: cannot be combined with --pdf").arg(name);
                return false;
            }
        }
    }

    *result = args;
    return true;
}

runs::SheetSelection sheetSelection(const CliArguments& args)
{
    runs::SheetSelection sheets;
    sheets.skipEmptySheets = args.skipEmptySheets;
    sheets.appointedSheetsOnly = args.appointedSheetsOnly;
    sheets.appointedSheetNames = args.appointedSheetNames;
    sheets.onlyFirstSheet = args.onlyFirstSheet;
    return sheets;
}

runs::PrintOptions printOptions(const CliArguments& args)
{
    runs::PrintOptions options;
    options.sheets = sheetSelection(args);
    options.printRangeOnly = args.printRangeOnly;
    options.printRange = args.printRange;
    options.sheetDelaySeconds = args.sheetDelaySeconds;
    options.workbookDelaySeconds = args.workbookDelaySeconds;
    options.paperSize = args.paperSize;
    return options;
}

runs::PageSetupOptions pageSetupOptions(const CliArguments& args)
{
    runs::PageSetupOptions options;
    options.sheets = sheetSelection(args);
    const auto setting = [](const Margin& margin) {
        return runs::MarginSetting{margin.change, margin.cm};
    };
    options.left = setting(args.left);
    options.right = setting(args.right);
    options.top = setting(args.top);
    options.bottom = setting(args.bottom);
    options.header = setting(args.header);
    options.footer = setting(args.footer);
    options.changeOrientation = args.changeOrientation;
    options.orientation = args.orientation;
    return options;
}

QString usageText()
{
    return tr(
        "Usage: quorvane-cli print FOLDER [options]\n"
        "  or:  quorvane-cli page-setup FOLDER [options]\n"
        "\n"
        "Commands:\n"
        "  print       prints every workbook (.xls, .xlsx, .xlsm, .csv) under FOLDER and its\n"
        "              subfolders, in the order the window's list shows them.\n"
        "  page-setup  changes margins and orientation of every workbook under FOLDER and\n"
        "              saves each one in place (make a backup first).\n"
        "\n"
        "Workbooks that cannot be opened are listed in FOLDER/无法打印的文件目录.txt.\n"
        "\n"
        "Options for both commands:\n"
        "  --no-skip-empty       also handle empty sheets (skipped by default)\n"
        "  --first-sheet         only the first sheet of each workbook\n"
        "  --sheets NAMES        only sheets with these exact names, joined by \"||\"\n"
        "                        (as Sheet2||Sheet3)\n"
        "  --quiet               no progress lines; errors only on standard error\n"
        "  --report FILE         write a CSV file with one row per workbook: path,\n"
        "                        outcome (done, failed, skipped), sheets, pages, reason\n"
        "  --dry-run             open every workbook as the run would, print or change\n"
        "                        nothing, and tell what the run would do\n"
        "  --lang zh|en          language of the messages: Chinese or English (default:\n"
        "                        Chinese on a Chinese system, English elsewhere)\n"
        "  -h, --help            show this text\n"
        "  --version             show the program's version\n"
        "\n"
        "Options for print:\n"
        "  --list FILE           print the workbooks listed in FILE (one path per line,\n"
        "                        in order) instead of walking FOLDER; a failure list of an\n"
        "                        earlier run can be given here\n"
        "  --range RANGE         print only this cell range of each sheet (as A1:H20)\n"
        "  --paper SIZE          A3, A4, A5, B4 or B5; default keeps each sheet's own\n"
        "  --sheet-delay N       wait N seconds between sheets (0 to 900, default 0)\n"
        "  --workbook-delay N    wait N seconds between workbooks (0 to 900, default 0)\n"
        "  --printer NAME        print to this printer instead of the default one\n"
        "  --pdf DIR             write each printout as a PDF file into DIR instead\n"
        "                        (\"<workbook> - <sheet>.pdf\"; DIR is created if missing)\n"
        "  --copies N            print N copies of each sheet (1 to 999)\n"
        "  --collate             collate the copies\n"
        "  --duplex MODE         none, long or short (edge), where the printer can\n"
        "  --jobs N              spreadsheet programs working side by side, each on a\n"
        "                        workbook of its own (1 to 64, at most one per processor\n"
        "                        core; default one per core); the pages still come out\n"
        "                        in the order of the list; 1 goes through the workbooks\n"
        "                        one by one\n"
        "  With --dry-run: one line per sheet that would be printed (workbook, sheet,\n"
        "  pages on the chosen paper and printer) and a total.\n"
        "\n"
        "Options for page-setup (each given margin is changed, the others are kept):\n"
        "  --left CM, --right CM, --top CM, --bottom CM, --header CM, --footer CM\n"
        "                        margins in centimetres, 0 to 99.99, at most two decimals\n"
        "  --orientation portrait|landscape\n"
        "  With --dry-run: one line per sheet that would change (workbook, sheet, the\n"
        "  present values and the new ones); no file is written.\n"
        "\n"
        "Progress goes to standard error, the final report to standard output.\n"
        "Ctrl-C stops the run after closing the open workbook and the spreadsheet program.\n"
        "\n"
        "Exit status: 0 every workbook done, 1 some workbooks failed (or the range was\n"
        "invalid), 2 bad usage, 3 no usable spreadsheet program, 130 interrupted.\n");
}

} // namespace cli
