// The command line of quorvane-cli: what each option sets, and every refusal
// (exit 2, one line naming the option, nothing started or deleted).
#include "cli/cliargs.h"
#include "cli/clirun.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

using cli::CliArguments;

namespace {

using FieldMap = QMap<QString, QString>;

QString marginText(const cli::Margin& margin)
{
    return margin.change ? QString::number(margin.cm, 'f', 2) : QStringLiteral("-");
}

FieldMap fields(const CliArguments& a)
{
    FieldMap m;
    m[QStringLiteral("command")] = a.command == cli::Command::Print ? QStringLiteral("print")
                                   : a.command == cli::Command::PageSetup
                                       ? QStringLiteral("page-setup")
                                       : QStringLiteral("none");
    m[QStringLiteral("help")] = QString::number(a.help);
    m[QStringLiteral("folder")] = a.folder;
    m[QStringLiteral("list")] = a.listFile;
    m[QStringLiteral("quiet")] = QString::number(a.quiet);
    m[QStringLiteral("skip")] = QString::number(a.skipEmptySheets);
    m[QStringLiteral("first")] = QString::number(a.onlyFirstSheet);
    m[QStringLiteral("sheets")] =
        a.appointedSheetsOnly ? a.appointedSheetNames : QStringLiteral("-");
    m[QStringLiteral("range")] = a.printRangeOnly ? a.printRange : QStringLiteral("-");
    m[QStringLiteral("paper")] = a.paperSize;
    m[QStringLiteral("sheetDelay")] = QString::number(a.sheetDelaySeconds);
    m[QStringLiteral("workbookDelay")] = QString::number(a.workbookDelaySeconds);
    const char* kinds[] = {"default", "printer", "pdf"};
    m[QStringLiteral("target")] =
        QLatin1String(kinds[a.printTarget.kind]) + QLatin1Char(':') + a.printTarget.name;
    m[QStringLiteral("copies")] = QStringLiteral("%1%2/%3")
                                      .arg(a.printTarget.copies)
                                      .arg(a.printTarget.collate ? "c" : "")
                                      .arg(int(a.printTarget.duplex));
    m[QStringLiteral("jobs")] = QString::number(a.jobs);
    m[QStringLiteral("report")] = a.reportFile;
    m[QStringLiteral("dry")] = QString::number(a.dryRun);
    m[QStringLiteral("left")] = marginText(a.left);
    m[QStringLiteral("right")] = marginText(a.right);
    m[QStringLiteral("top")] = marginText(a.top);
    m[QStringLiteral("bottom")] = marginText(a.bottom);
    m[QStringLiteral("header")] = marginText(a.header);
    m[QStringLiteral("footer")] = marginText(a.footer);
    m[QStringLiteral("orientation")] =
        a.changeOrientation ? QString::number(a.orientation) : QStringLiteral("-");
    return m;
}

// "key=value;key=value" -> map; a value may be empty.
FieldMap overrides(const QString& text)
{
    FieldMap m;
    const QStringList parts = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        const int eq = part.indexOf(QLatin1Char('='));
        m[part.left(eq)] = part.mid(eq + 1);
    }
    return m;
}

} // namespace

class TestCliArgs : public QObject
{
    Q_OBJECT

private slots:
    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
    void helpPrintsUsage();
    void listFileDecoding_data();
    void listFileDecoding();
};

void TestCliArgs::accepted_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected"); // fields that differ from the defaults

    const QString p = QStringLiteral("print");
    const QString m = QStringLiteral("page-setup");
    const QString f = QStringLiteral("/some/folder");

    QTest::newRow("print defaults") << QStringList{p, f} << QString();
    QTest::newRow("page-setup defaults") << QStringList{m, f} << "command=page-setup";
    QTest::newRow("options before the command")
        << QStringList{"--quiet", p, "--first-sheet", f} << "quiet=1;first=1";
    QTest::newRow("no-skip-empty") << QStringList{p, f, "--no-skip-empty"} << "skip=0";
    QTest::newRow("no-skip-empty page-setup")
        << QStringList{m, f, "--no-skip-empty"} << "command=page-setup;skip=0";
    QTest::newRow("sheets as typed")
        << QStringList{p, f, "--sheets", "Sheet2||Sheet3"} << "sheets=Sheet2||Sheet3";
    QTest::newRow("sheets keep blanks")
        << QStringList{p, f, "--sheets", "Sheet1|| Sheet2 "} << "sheets=Sheet1|| Sheet2 ";
    QTest::newRow("sheets page-setup")
        << QStringList{m, f, "--sheets=表一"} << "command=page-setup;sheets=表一";
    QTest::newRow("range trimmed") << QStringList{p, f, "--range", " A1:H20 "} << "range=A1:H20";
    QTest::newRow("range with =") << QStringList{p, f, "--range=b2:c3"} << "range=b2:c3";
    QTest::newRow("range single cell") << QStringList{p, f, "--range", "C7"} << "range=C7";
    QTest::newRow("paper A3") << QStringList{p, f, "--paper", "A3"} << "paper=A3";
    QTest::newRow("paper a4 lower case") << QStringList{p, f, "--paper", "a4"} << "paper=A4";
    QTest::newRow("paper A5") << QStringList{p, f, "--paper", "A5"} << "paper=A5";
    QTest::newRow("paper B4") << QStringList{p, f, "--paper", "B4"} << "paper=B4";
    QTest::newRow("paper b5") << QStringList{p, f, "--paper=b5"} << "paper=B5";
    QTest::newRow("paper default") << QStringList{p, f, "--paper", "default"} << "paper=默认";
    QTest::newRow("paper 默认") << QStringList{p, f, "--paper", "默认"} << "paper=默认";
    QTest::newRow("last paper wins")
        << QStringList{p, f, "--paper", "A3", "--paper", "A5"} << "paper=A5";
    QTest::newRow("sheet delay 0") << QStringList{p, f, "--sheet-delay", "0"} << "sheetDelay=0";
    QTest::newRow("sheet delay 900")
        << QStringList{p, f, "--sheet-delay", "900"} << "sheetDelay=900";
    QTest::newRow("sheet delay leading zeros")
        << QStringList{p, f, "--sheet-delay", "007"} << "sheetDelay=7";
    QTest::newRow("workbook delay")
        << QStringList{p, f, "--workbook-delay", "15"} << "workbookDelay=15";
    QTest::newRow("list") << QStringList{p, f, "--list", "failed.txt"} << "list=failed.txt";
    QTest::newRow("printer") << QStringList{p, f, "--printer", "Office-2"}
                             << "target=printer:Office-2";
    QTest::newRow("pdf") << QStringList{p, f, "--pdf", "out dir"} << "target=pdf:out dir";
    QTest::newRow("copies, collated, long edge")
        << QStringList{p, f, "--copies", "999", "--collate", "--duplex", "long"} << "copies=999c/2";
    QTest::newRow("one-sided") << QStringList{p, f, "--duplex=none", "--copies=1"} << "copies=1/1";
    QTest::newRow("one program at a time") << QStringList{p, f, "--jobs", "1"} << "jobs=1";
    QTest::newRow("jobs 64") << QStringList{p, f, "--jobs=64"} << "jobs=64";
    QTest::newRow("short edge to a printer")
        << QStringList{p, f, "--printer", "Office-2", "--duplex", "short"}
        << "target=printer:Office-2;copies=1/3";
    QTest::newRow("dry run with a report") << QStringList{m, f, "--dry-run", "--report", "r.csv"}
                                           << "command=page-setup;dry=1;report=r.csv";
    QTest::newRow("left") << QStringList{m, f, "--left", "1.78"} << "command=page-setup;left=1.78";
    QTest::newRow("right zero") << QStringList{m, f, "--right", "0"}
                                << "command=page-setup;right=0.00";
    QTest::newRow("top max") << QStringList{m, f, "--top", "99.99"}
                             << "command=page-setup;top=99.99";
    QTest::newRow("bottom one decimal")
        << QStringList{m, f, "--bottom=2.5"} << "command=page-setup;bottom=2.50";
    QTest::newRow("header") << QStringList{m, f, "--header", "0.76"}
                            << "command=page-setup;header=0.76";
    QTest::newRow("footer") << QStringList{m, f, "--footer", "3"}
                            << "command=page-setup;footer=3.00";
    QTest::newRow("all margins")
        << QStringList{m,   f,          "--left", "1",        "--right", "2",        "--top",
                       "3", "--bottom", "4",      "--header", "0.5",     "--footer", "0.25"}
        << "command=page-setup;left=1.00;right=2.00;top=3.00;bottom=4.00;header=0.50;"
           "footer=0.25";
    QTest::newRow("landscape") << QStringList{m, f, "--orientation", "landscape"}
                               << "command=page-setup;orientation=2";
    QTest::newRow("portrait") << QStringList{m, f, "--orientation", "Portrait"}
                              << "command=page-setup;orientation=1";
    QTest::newRow("folder after --") << QStringList{p, "--", "-odd name"} << "folder=-odd name";
    QTest::newRow("folder named -") << QStringList{p, "-"} << "folder=-";
    QTest::newRow("help wins over errors")
        << QStringList{p, "--bogus", "--help"} << "help=1;command=none;folder=";
    QTest::newRow("-h alone") << QStringList{"-h"} << "help=1;command=none;folder=";
}

void TestCliArgs::accepted()
{
    QFETCH(QStringList, args);
    QFETCH(QString, expected);

    CliArguments parsed;
    QString error;
    QVERIFY2(cli::parseArguments(args, &parsed, &error), qPrintable(error));

    CliArguments defaults;
    defaults.command = cli::Command::Print;
    defaults.folder = QStringLiteral("/some/folder");
    FieldMap want = fields(defaults);
    const FieldMap changes = overrides(expected);
    for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
        QVERIFY2(want.contains(it.key()), qPrintable(it.key()));
        want[it.key()] = it.value();
    }
    QCOMPARE(fields(parsed), want);
}

void TestCliArgs::refused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("named"); // what the message must name

    // {dir} is an existing folder, {file} an existing regular file.
    const QString p = QStringLiteral("print");
    const QString m = QStringLiteral("page-setup");
    const QString d = QStringLiteral("{dir}");

    QTest::newRow("no arguments") << QStringList{} << "command";
    QTest::newRow("only options") << QStringList{"--quiet"} << "command";
    QTest::newRow("unknown command") << QStringList{"prnt", d} << "\"prnt\"";
    QTest::newRow("no folder") << QStringList{p} << "FOLDER";
    QTest::newRow("empty folder text") << QStringList{p, ""} << "FOLDER";
    QTest::newRow("missing folder") << QStringList{p, "{dir}/nowhere"} << "FOLDER";
    QTest::newRow("folder is a file") << QStringList{m, "{file}"} << "FOLDER";
    QTest::newRow("second folder") << QStringList{p, d, "other"} << "\"other\"";
    QTest::newRow("unknown option") << QStringList{p, d, "--bogus"} << "--bogus";
    QTest::newRow("unknown option with value") << QStringList{p, d, "--bogus=1"} << "--bogus";
    QTest::newRow("single-dash option") << QStringList{p, d, "-q"} << "-q";
    QTest::newRow("value missing") << QStringList{p, d, "--range"} << "--range";
    QTest::newRow("flag with value") << QStringList{p, d, "--quiet=yes"} << "--quiet";
    QTest::newRow("paper A6") << QStringList{p, d, "--paper", "A6"} << "--paper";
    QTest::newRow("paper empty") << QStringList{p, d, "--paper", ""} << "--paper";
    QTest::newRow("paper letter") << QStringList{p, d, "--paper=Letter"} << "--paper";
    QTest::newRow("sheet delay 901")
        << QStringList{p, d, "--sheet-delay", "901"} << "--sheet-delay";
    QTest::newRow("sheet delay negative")
        << QStringList{p, d, "--sheet-delay", "-1"} << "--sheet-delay";
    QTest::newRow("sheet delay fraction")
        << QStringList{p, d, "--sheet-delay", "1.5"} << "--sheet-delay";
    QTest::newRow("sheet delay word")
        << QStringList{p, d, "--sheet-delay", "ten"} << "--sheet-delay";
    QTest::newRow("sheet delay blank")
        << QStringList{p, d, "--sheet-delay", " 5"} << "--sheet-delay";
    QTest::newRow("sheet delay huge")
        << QStringList{p, d, "--sheet-delay", "99999999999"} << "--sheet-delay";
    QTest::newRow("workbook delay 1000")
        << QStringList{p, d, "--workbook-delay", "1000"} << "--workbook-delay";
    QTest::newRow("workbook delay empty")
        << QStringList{p, d, "--workbook-delay="} << "--workbook-delay";
    QTest::newRow("range semicolon") << QStringList{p, d, "--range", "A1;B2"} << "--range";
    QTest::newRow("range minus") << QStringList{p, d, "--range", "A1-B2"} << "--range";
    QTest::newRow("range inner blank") << QStringList{p, d, "--range", "A1 :B2"} << "--range";
    QTest::newRow("range sheet prefix") << QStringList{p, d, "--range", "Sheet1!A1"} << "--range";
    QTest::newRow("range non-ASCII") << QStringList{p, d, "--range", "Ａ1:B2"} << "--range";
    QTest::newRow("range empty") << QStringList{p, d, "--range", "  "} << "--range";
    QTest::newRow("sheets empty") << QStringList{p, d, "--sheets", ""} << "--sheets";
    QTest::newRow("left negative") << QStringList{m, d, "--left", "-1"} << "--left";
    QTest::newRow("right 100") << QStringList{m, d, "--right", "100"} << "--right";
    QTest::newRow("top three decimals") << QStringList{m, d, "--top", "1.234"} << "--top";
    QTest::newRow("bottom comma") << QStringList{m, d, "--bottom", "1,5"} << "--bottom";
    QTest::newRow("header word") << QStringList{m, d, "--header", "wide"} << "--header";
    QTest::newRow("footer empty") << QStringList{m, d, "--footer", ""} << "--footer";
    QTest::newRow("footer exponent") << QStringList{m, d, "--footer", "1e1"} << "--footer";
    QTest::newRow("orientation unknown")
        << QStringList{m, d, "--orientation", "sideways"} << "--orientation";
    QTest::newRow("range for page-setup") << QStringList{m, d, "--range", "A1:B2"} << "--range";
    QTest::newRow("paper for page-setup") << QStringList{m, d, "--paper", "A4"} << "--paper";
    QTest::newRow("delay for page-setup")
        << QStringList{m, d, "--sheet-delay", "1"} << "--sheet-delay";
    QTest::newRow("workbook delay for page-setup")
        << QStringList{m, d, "--workbook-delay", "1"} << "--workbook-delay";
    QTest::newRow("list for page-setup") << QStringList{m, d, "--list", "{file}"} << "--list";
    QTest::newRow("printer for page-setup")
        << QStringList{m, d, "--printer", "QuorvanePDF"} << "--printer";
    QTest::newRow("pdf for page-setup") << QStringList{m, d, "--pdf", "{dir}/out"} << "--pdf";
    QTest::newRow("jobs for page-setup") << QStringList{m, d, "--jobs", "2"} << "--jobs";
    QTest::newRow("jobs 0") << QStringList{p, d, "--jobs", "0"} << "--jobs";
    QTest::newRow("jobs 65") << QStringList{p, d, "--jobs", "65"} << "--jobs";
    QTest::newRow("jobs word") << QStringList{p, d, "--jobs=all"} << "--jobs";
    QTest::newRow("margin for print") << QStringList{p, d, "--left", "1"} << "--left";
    QTest::newRow("orientation for print")
        << QStringList{p, d, "--orientation", "portrait"} << "--orientation";
    QTest::newRow("printer and pdf")
        << QStringList{p, d, "--printer", "QuorvanePDF", "--pdf", "{dir}/out"} << "--pdf";
    QTest::newRow("printer empty") << QStringList{p, d, "--printer", ""} << "--printer";
    QTest::newRow("printer unknown")
        << QStringList{p, d, "--printer", "Nowhere"} << "QuorvanePDF, Office-2";
    QTest::newRow("printer list fails") << QStringList{p, d, "--printer", "{fail}"} << "--printer";
    QTest::newRow("pdf folder is a file") << QStringList{p, d, "--pdf", "{file}"} << "--pdf";
    QTest::newRow("list missing") << QStringList{p, d, "--list", "{dir}/none.txt"} << "--list";
    QTest::newRow("list is a folder") << QStringList{p, d, "--list", "{dir}"} << "--list";
    QTest::newRow("copies 0") << QStringList{p, d, "--copies", "0"} << "--copies";
    QTest::newRow("copies 1000") << QStringList{p, d, "--copies", "1000"} << "--copies";
    QTest::newRow("copies word") << QStringList{p, d, "--copies=two"} << "--copies";
    QTest::newRow("duplex unknown") << QStringList{p, d, "--duplex", "both"} << "--duplex";
    QTest::newRow("copies with pdf")
        << QStringList{p, d, "--pdf", "{dir}/out", "--copies", "2"} << "--copies";
    QTest::newRow("duplex with pdf")
        << QStringList{p, d, "--duplex", "long", "--pdf", "{dir}/out"} << "--duplex";
    QTest::newRow("collate with pdf")
        << QStringList{p, d, "--collate", "--pdf", "{dir}/out"} << "--collate";
    QTest::newRow("copies for page-setup") << QStringList{m, d, "--copies", "2"} << "--copies";
    QTest::newRow("report into no folder")
        << QStringList{p, d, "--report", "{dir}/none/r.csv"} << "--report";
    QTest::newRow("report is a folder") << QStringList{m, d, "--report", "{dir}"} << "--report";
}

void TestCliArgs::refused()
{
    QFETCH(QStringList, args);
    QFETCH(QString, named);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("plain.txt"));
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x\n");
    }
    // An earlier failure list, which a refused start must leave alone.
    const QString failedList = dir.filePath(QStringLiteral("无法打印的文件目录.txt"));
    {
        QFile f(failedList);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("/old/a.xlsx\n");
    }
    bool listerFails = false;
    for (QString& arg : args) {
        if (arg == QLatin1String("{fail}")) {
            listerFails = true;
            arg = QStringLiteral("QuorvanePDF");
        }
        arg.replace(QStringLiteral("{dir}"), dir.path());
        arg.replace(QStringLiteral("{file}"), file);
    }

    int applications = 0;
    auto factory = [&applications]() -> std::unique_ptr<spreadsheet::Application> {
        ++applications;
        return nullptr;
    };
    auto lister = [listerFails]() {
        cli::PrinterQuery query;
        query.ok = !listerFails;
        if (listerFails)
            query.error = QStringLiteral("scheduler not running");
        else
            query.names = QStringList{QStringLiteral("QuorvanePDF"), QStringLiteral("Office-2")};
        return query;
    };

    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    const int code = cli::runCli(args, factory, out, err, lister);
    out.flush();
    err.flush();

    QCOMPARE(code, int(cli::ExitUsage));
    QVERIFY2(errText.startsWith(QLatin1String("quorvane-cli: ")), qPrintable(errText));
    QVERIFY2(errText.endsWith(QLatin1Char('\n')) && errText.count(QLatin1Char('\n')) == 1,
             qPrintable(errText));
    QVERIFY2(errText.contains(named), qPrintable(errText));
    QVERIFY(outText.isEmpty());
    QCOMPARE(applications, 0);
    QVERIFY(QFileInfo::exists(failedList));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("out"))));
}

void TestCliArgs::helpPrintsUsage()
{
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    auto factory = []() -> std::unique_ptr<spreadsheet::Application> { return nullptr; };
    const int code =
        cli::runCli({QStringLiteral("--help")}, factory, out, err, cli::PrinterLister());
    out.flush();
    QCOMPARE(code, 0);
    QVERIFY(errText.isEmpty());
    QVERIFY(outText.startsWith(QLatin1String("Usage: quorvane-cli print FOLDER")));
    // Every option the parser knows is explained.
    const char* options[] = {"--no-skip-empty",  "--first-sheet", "--sheets", "--quiet",
                             "--list",           "--range",       "--paper",  "--sheet-delay",
                             "--workbook-delay", "--printer",     "--pdf",    "--left",
                             "--right",          "--top",         "--bottom", "--header",
                             "--footer",         "--orientation"};
    for (const char* option : options)
        QVERIFY2(outText.contains(QLatin1String(option)), option);
}

void TestCliArgs::listFileDecoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("UTF-8") << QByteArray("/a/\xE8\xA1\xA8.xlsx\n/b.csv")
                           << QString::fromUtf8("/a/表.xlsx\n/b.csv");
    QTest::newRow("byte-order mark dropped")
        << QByteArray("\xEF\xBB\xBF/a.xlsx\n") << QStringLiteral("/a.xlsx\n");
    QTest::newRow("CR LF") << QByteArray("/a.xlsx\r\n/b.xls\r\n")
                           << QStringLiteral("/a.xlsx\n/b.xls\n");
    // GBK for 表: not valid UTF-8, so the local 8-bit decoding is used.
    QTest::newRow("not UTF-8") << QByteArray("/a/\xB1\xED.xlsx\r\n")
                               << QString::fromLocal8Bit("/a/\xB1\xED.xlsx\n");
}

void TestCliArgs::listFileDecoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(cli::decodeListFile(bytes), text);
}

QTEST_GUILESS_MAIN(TestCliArgs)
#include "tst_cliargs.moc"
