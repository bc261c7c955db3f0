#include "cli/clirun.h"

#include "cli/cliargs.h"
#include "cli/interrupt.h"
#include "cli/report.h"
#include "runcontrol/printers.h"
#include "runs/messages.h"
#include "runs/runs.h"
#include "worklist/worklist.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QStringDecoder>
#else
#include <QTextCodec>
#endif

#include <algorithm>

namespace cli {

namespace {

bool isValidUtf8(const QByteArray& bytes, QString* text)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    *text = decoder.decode(bytes);
    return !decoder.hasError();
#else
    QTextCodec* codec = QTextCodec::codecForName("UTF-8");
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    *text = codec->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
#endif
}

// One path per line, each made absolute against the current folder, so that
// the run, the messages and a failure list fed back later all name the same
// file whatever folder the next run starts in.
QString workbookListFromFile(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        line = line.trimmed();
        if (!line.isEmpty() && QDir::isRelativePath(line))
            line = QDir::current().absoluteFilePath(line);
    }
    return lines.join(QLatin1Char('\n')).trimmed();
}

QString workbookCountText(int count)
{
    return count == 1 ? tr("1 workbook") : tr("%1 workbooks").arg(count);
}

} // namespace

QString decodeListFile(const QByteArray& bytes)
{
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    QString text;
    if (!isValidUtf8(data, &text))
        text = QString::fromLocal8Bit(data);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

namespace {

int refuse(QTextStream& err, const QString& message)
{
    err << QStringLiteral("quorvane-cli: ") << message << '\n';
    err.flush();
    return ExitUsage;
}

// What a run needs beyond the parsed arguments, checked against the disk and
// the system: the folder, the workbook list, where the pages go.
struct CheckedRun
{
    QString folder;       // absolute, clean
    QString workbookList; // print run only
    spreadsheet::PrintTarget target;
};

// Everything that can be refused is refused here, before anything changes
// on disk or any spreadsheet process starts.  False with the message written.
bool checkRun(const CliArguments& args, const PrinterLister& listPrinters, CheckedRun* run,
              QString* error)
{
    const QFileInfo folderInfo(args.folder);
    if (!folderInfo.isDir()) {
        *error = tr("FOLDER: \"%1\" is not an existing folder").arg(args.folder);
        return false;
    }
    run->folder = QDir::cleanPath(folderInfo.absoluteFilePath());

    if (!args.listFile.isEmpty()) {
        QFile file(args.listFile);
        if (!QFileInfo(args.listFile).isFile() || !file.open(QIODevice::ReadOnly)) {
            *error = tr("--list: cannot read \"%1\"").arg(args.listFile);
            return false;
        }
        run->workbookList = workbookListFromFile(decodeListFile(file.readAll()));
    } else if (args.command == Command::Print) {
        run->workbookList = worklist::workbookListText(run->folder).trimmed();
    }

    if (!args.reportFile.isEmpty()) {
        const QFileInfo report(args.reportFile);
        if (report.isDir() || !report.absoluteDir().exists()) {
            *error = tr("--report: cannot write \"%1\" (no such folder, or a folder)")
                         .arg(args.reportFile);
            return false;
        }
    }

    run->target = args.printTarget;
    spreadsheet::PrintTarget& target = run->target;
    PrinterQuery known;
    if (target.kind == spreadsheet::PrintTarget::NamedPrinter) {
        known = listPrinters ? listPrinters() : PrinterQuery();
        if (!known.ok) {
            *error = tr("--printer: cannot list the system's printers: %1").arg(known.error);
            return false;
        }
    }
    const QString chosen = target.name;
    switch (printers::prepareTarget(&target, known.names)) {
    case printers::TargetCheck::Ready:
        break;
    case printers::TargetCheck::UnknownPrinter: {
        const QString list =
            known.names.isEmpty() ? tr("none is set up") : known.names.join(QStringLiteral(", "));
        *error = tr("--printer: unknown printer \"%1\"; known printers: %2").arg(chosen, list);
        return false;
    }
    case printers::TargetCheck::NoPdfFolder:
        *error = tr("--pdf: cannot create the folder \"%1\"").arg(chosen);
        return false;
    }
    return true;
}

// The command line's run environment, in one place: the spreadsheet
// application it is given, as many side by side as --jobs says, a real sleep
// and clock, and no editor (the list stays a file that a script or a user
// reads).
runs::RunEnvironment commandLineEnvironment(const AppFactory& createApplication, int jobs)
{
    runs::RunEnvironment env;
    env.createApplication = createApplication;
    env.sleep = &runs::sleepMilliseconds;
    env.now = &runs::wallClockSeconds;
    env.applications = jobs > 0 ? jobs : runs::defaultApplications();
    return env;
}

QString centimetres(const std::optional<double>& inches)
{
    return inches ? QString::number(*inches * 2.54, 'f', 2) : QStringLiteral("?");
}

QString orientationName(const std::optional<int>& orientation)
{
    if (!orientation)
        return QStringLiteral("?");
    return *orientation == spreadsheet::OrientationLandscape ? tr("landscape") : tr("portrait");
}

// What a page-setup dry run would change on one sheet: "left 1.91 -> 2.00 cm, ...".
QString plannedChange(const runs::RunEvent& event, const runs::PageSetupOptions& options)
{
    const struct
    {
        const char* name;
        const runs::MarginSetting& setting;
        std::optional<double> spreadsheet::PageSetupValues::*value;
    } margins[] = {
        {QT_TRANSLATE_NOOP("cli", "left"), options.left, &spreadsheet::PageSetupValues::left},
        {QT_TRANSLATE_NOOP("cli", "right"), options.right, &spreadsheet::PageSetupValues::right},
        {QT_TRANSLATE_NOOP("cli", "top"), options.top, &spreadsheet::PageSetupValues::top},
        {QT_TRANSLATE_NOOP("cli", "bottom"), options.bottom, &spreadsheet::PageSetupValues::bottom},
        {QT_TRANSLATE_NOOP("cli", "header"), options.header, &spreadsheet::PageSetupValues::header},
        {QT_TRANSLATE_NOOP("cli", "footer"), options.footer, &spreadsheet::PageSetupValues::footer},
    };
    QStringList parts;
    for (const auto& margin : margins) {
        if (margin.setting.change)
            parts << tr("%1 %2 -> %3 cm")
                         .arg(tr(margin.name), centimetres(event.before.*margin.value),
                              centimetres(event.after.*margin.value));
    }
    if (options.changeOrientation)
        parts << tr("orientation %1 -> %2")
                     .arg(orientationName(event.before.orientation),
                          orientationName(event.after.orientation));
    return parts.isEmpty() ? tr("nothing to change") : parts.join(tr(", "));
}

// What the command line shows of a run: progress on standard error (failures
// even with --quiet), the report on standard output; in a dry run one line
// per sheet and a total on standard output instead of the report.  Every
// event also goes into the --report file's collector.
class ConsoleOutput
{
public:
    ConsoleOutput(QTextStream& out, QTextStream& err, const CliArguments& args,
                  const runs::PageSetupOptions& pageSetup)
        : m_out(out), m_err(err), m_args(args), m_pageSetup(pageSetup)
    {}

    runs::EventSink sink()
    {
        return [this](const runs::RunEvent& event) { show(event); };
    }
    const WorkbookReport& report() const { return m_report; }

private:
    void show(const runs::RunEvent& event)
    {
        using Type = runs::RunEvent::Type;
        m_report.add(event);
        if (m_args.dryRun) {
            if (event.type == Type::SheetDone) {
                ++m_sheets;
                if (event.pages < 0)
                    m_pagesKnown = false;
                else
                    m_pages += event.pages;
                const QString what = event.run == runs::RunType::Print
                                         ? cli::tr("%1 pages")
                                               .arg(event.pages < 0 ? QStringLiteral("?")
                                                                    : QString::number(event.pages))
                                         : plannedChange(event, m_pageSetup);
                line(m_out,
                     event.path + QLatin1Char('\t') + event.sheet + QLatin1Char('\t') + what);
            } else if (event.type == Type::WorkbookDone) {
                ++m_workbooks;
            } else if (event.type == Type::Report) {
                line(m_out,
                     event.run == runs::RunType::Print
                         ? cli::tr("%1 workbooks, %2 sheets, %3 pages")
                               .arg(m_workbooks)
                               .arg(m_sheets)
                               .arg(m_pagesKnown ? QString::number(m_pages) : QStringLiteral("?"))
                         : cli::tr("%1 workbooks, %2 sheets would change")
                               .arg(m_workbooks)
                               .arg(m_sheets));
                return;
            }
        }
        const QString text = runs::eventText(event);
        if (text.isEmpty())
            return;
        if (event.type == Type::Report) {
            line(m_out, text);
            return;
        }
        if (m_args.quiet && !runs::isFailureEvent(event))
            return;
        line(m_err, text);
    }

    static void line(QTextStream& stream, const QString& text)
    {
        stream << text << '\n';
        stream.flush();
    }

    QTextStream& m_out;
    QTextStream& m_err;
    const CliArguments& m_args;
    const runs::PageSetupOptions& m_pageSetup;
    WorkbookReport m_report;
    int m_workbooks = 0;
    int m_sheets = 0;
    int m_pages = 0;
    bool m_pagesKnown = true;
};

int exitCodeFor(const runs::RunResult& result)
{
    if (interruptRequested() || result.ending == runs::Ending::Stopped)
        return ExitInterrupted;
    switch (result.ending) {
    case runs::Ending::NoApplication:
    case runs::Ending::ApplicationLost: // died, and no fresh one would start
        return ExitNoApplication;
    case runs::Ending::InvalidRange:
        return ExitFailures;
    default:
        break;
    }
    return result.failed.isEmpty() ? ExitDone : ExitFailures;
}

} // namespace

int runCli(const QStringList& arguments, const AppFactory& createApplication, QTextStream& out,
           QTextStream& err, const PrinterLister& listPrinters)
{
    CliArguments args;
    QString error;
    if (!parseArguments(arguments, &args, &error))
        return refuse(err, error);
    if (args.help) {
        out << usageText();
        out.flush();
        return ExitDone;
    }
    CheckedRun checked;
    if (!checkRun(args, listPrinters, &checked, &error))
        return refuse(err, error);

    // The failure list always belongs to the latest run (a --list that names
    // it has been read already); a dry run neither writes nor removes it.
    const QString failedListPath =
        args.dryRun ? QString() : checked.folder + QLatin1Char('/') + runs::failedListFileName();
    if (!failedListPath.isEmpty() && QFileInfo::exists(failedListPath))
        QFile::remove(failedListPath);

    runs::RunControl& control = cliRunControl();
    control.pauseRequested = false;
    control.stopRequested = false;
    control.quitRequested = false;
    // A signal that came before the flags were lowered is not lost: it is seen
    // here, and one that comes later finds the flags of the run.
    if (interruptRequested())
        return ExitInterrupted;

    const runs::RunEnvironment env = commandLineEnvironment(createApplication, args.jobs);
    runs::PageSetupOptions pageSetup = pageSetupOptions(args);
    ConsoleOutput output(out, err, args, pageSetup);
    runs::RunResult result;
    if (args.command == Command::Print) {
        runs::PrintOptions options = printOptions(args);
        options.workbookList = checked.workbookList;
        options.failedListPath = failedListPath;
        options.target = checked.target;
        options.target.countOnly = args.dryRun;
        result = runs::runPrint(options, control, env, output.sink());
    } else {
        pageSetup.folder = checked.folder;
        pageSetup.failedListPath = failedListPath;
        pageSetup.dryRun = args.dryRun;
        result = runs::runPageSetup(pageSetup, control, env, output.sink());
    }

    int code = exitCodeFor(result);
    if (!args.reportFile.isEmpty() && !output.report().write(args.reportFile, &error)) {
        err << QStringLiteral("quorvane-cli: ")
            << tr("--report: cannot write \"%1\": %2").arg(args.reportFile, error) << '\n';
        err.flush();
        if (code == ExitDone)
            code = ExitFailures;
    }
    if (result.ending == runs::Ending::Normal && !result.failed.isEmpty() && !args.dryRun) {
        err << QStringLiteral("quorvane-cli: ")
            << tr("%1 could not be opened; listed in %2")
                   .arg(workbookCountText(int(result.failed.size())),
                        QDir::toNativeSeparators(failedListPath))
            << '\n';
        err.flush();
    }
    return code;
}

} // namespace cli
