// runCli on the recording fake: exit codes, where the texts go, the workbook
// list file, the print target, and Ctrl-C / SIGTERM through the flag the
// signal handler raises.
#include "cli/clirun.h"
#include "cli/interrupt.h"
#include "support/fakespreadsheet.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

using testsupport::FakeSheet;
using testsupport::FakeSpreadsheet;
using testsupport::FakeWorkbook;

namespace {

const QString failedListName = QStringLiteral("无法打印的文件目录.txt");

struct CliOutcome
{
    int code = -1;
    QString out;
    QString err;
};

CliOutcome runOn(FakeSpreadsheet& fake, const QStringList& args,
                 const QStringList& printers = {QStringLiteral("QuorvanePDF")})
{
    CliOutcome outcome;
    QTextStream out(&outcome.out), err(&outcome.err);
    // The recording fake is one application: its log follows one workbook at
    // a time.
    QStringList all = args;
    if (args.value(0) == QLatin1String("print"))
        all << QStringLiteral("--jobs=1");
    outcome.code = cli::runCli(all, fake.factory(), out, err, [printers]() {
        cli::PrinterQuery query;
        query.ok = true;
        query.names = printers;
        return query;
    });
    out.flush();
    err.flush();
    return outcome;
}

QString readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<missing>");
    return QString::fromUtf8(file.readAll());
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Workbooks a.csv (one sheet), b.xlsx (Sheet1, Sheet2, Sheet3) and
// sub/c.xlsx (Sheet1) under root, on disk and in the fake.  Names listed in
// failing cannot be opened.
void addWorkbooks(FakeSpreadsheet& fake, const QString& root, const QStringList& failing = {})
{
    const QList<QPair<QString, QStringList>> books = {
        {QStringLiteral("a.csv"), {QStringLiteral("a")}},
        {QStringLiteral("b.xlsx"),
         {QStringLiteral("Sheet1"), QStringLiteral("Sheet2"), QStringLiteral("Sheet3")}},
        {QStringLiteral("sub/c.xlsx"), {QStringLiteral("Sheet1")}},
    };
    for (const auto& book : books) {
        const QString path = root + QLatin1Char('/') + book.first;
        QVERIFY(testsupport::touchFile(path));
        FakeWorkbook workbook = FakeWorkbook::withSheets(book.second);
        workbook.openFails = failing.contains(book.first);
        fake.addWorkbook(QDir::toNativeSeparators(path), workbook);
    }
}

} // namespace

class TestCliRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void exitCodes_data();
    void exitCodes();
    void outputStreams_data();
    void outputStreams();
    void listFileGivesOrder();
    void failureListFedBack();
    void printTarget_data();
    void printTarget();
    void dryRunAndReport_data();
    void dryRunAndReport();
    void optionsReachTheRun_data();
    void optionsReachTheRun();
    void interrupt_data();
    void interrupt();
    void interruptBeforeStart();
};

void TestCliRun::init()
{
    cli::clearInterrupt();
}

void TestCliRun::cleanup()
{
    cli::clearInterrupt();
}

void TestCliRun::exitCodes_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QStringList>("failing");
    QTest::addColumn<QString>("setup"); // "", "noapp", "badrange", "empty"
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("report"); // start of standard output
    QTest::addColumn<QStringList>("failedList");

    const QString p = QStringLiteral("print");
    const QString m = QStringLiteral("page-setup");
    QTest::newRow("print all done") << p << QStringList() << QStringList() << QString() << 0
                                    << "成功打印3个工作簿的5个sheet。耗时" << QStringList();
    QTest::newRow("print one fails to open")
        << p << QStringList() << QStringList{"b.xlsx"} << QString() << 1
        << "成功打印3个工作簿的2个sheet。耗时" << QStringList{"b.xlsx"};
    QTest::newRow("print all fail")
        << p << QStringList() << QStringList{"a.csv", "sub/c.xlsx"} << QString() << 1
        << "成功打印3个工作簿的3个sheet。耗时" << QStringList{"a.csv", "sub/c.xlsx"};
    QTest::newRow("print no application")
        << p << QStringList() << QStringList() << "noapp" << 3 << QString() << QStringList();
    QTest::newRow("print invalid range") << p << QStringList{"--range", "A1:B2"} << QStringList()
                                         << "badrange" << 1 << QString() << QStringList();
    QTest::newRow("print empty folder") << p << QStringList() << QStringList() << "empty" << 0
                                        << "成功打印0个工作簿的0个sheet。耗时" << QStringList();
    QTest::newRow("page-setup all done")
        << m << QStringList{"--left", "2"} << QStringList() << QString() << 0
        << "成功修改3个工作簿的5个sheet。耗时" << QStringList();
    QTest::newRow("page-setup one fails")
        << m << QStringList() << QStringList{"a.csv"} << QString() << 1
        << "成功修改3个工作簿的4个sheet。耗时" << QStringList{"a.csv"};
    QTest::newRow("page-setup no application")
        << m << QStringList() << QStringList() << "noapp" << 3 << QString() << QStringList();
}

void TestCliRun::exitCodes()
{
    QFETCH(QString, command);
    QFETCH(QStringList, extra);
    QFETCH(QStringList, failing);
    QFETCH(QString, setup);
    QFETCH(int, code);
    QFETCH(QString, report);
    QFETCH(QStringList, failedList);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    FakeSpreadsheet fake;
    if (setup != QLatin1String("empty"))
        addWorkbooks(fake, dir.path(), failing);
    if (setup == QLatin1String("noapp"))
        fake.setNoWorkbooks(true);
    if (setup == QLatin1String("badrange"))
        fake.sheet(dir.filePath(QStringLiteral("a.csv")), 1).invalidRanges =
            QStringList{QStringLiteral("*")};
    // A failure list of an earlier run never survives a run.
    const QString listPath = dir.filePath(failedListName);
    writeFile(listPath, "/old/x.xlsx\n");

    const CliOutcome outcome = runOn(fake, QStringList{command, dir.path()} + extra);

    QCOMPARE(outcome.code, code);
    if (report.isEmpty()) {
        QCOMPARE(outcome.out, QString());
    } else {
        QVERIFY2(outcome.out.startsWith(report), qPrintable(outcome.out));
        QCOMPARE(outcome.out.count(QLatin1Char('\n')), 1);
    }
    QString expectedList;
    for (const QString& name : failedList)
        expectedList += QDir::toNativeSeparators(dir.filePath(name)) + QLatin1Char('\n');
    if (expectedList.isEmpty()) {
        QVERIFY(!QFileInfo::exists(listPath));
    } else {
        QCOMPARE(readFile(listPath).remove(QLatin1Char('\r')), expectedList);
        QVERIFY2(outcome.err.contains(listPath), qPrintable(outcome.err));
    }
    if (setup == QLatin1String("noapp"))
        QVERIFY(outcome.err.contains(QStringLiteral("本功能需要电脑中装有微软office")));
    if (setup == QLatin1String("badrange"))
        QVERIFY(outcome.err.contains(QStringLiteral("此文件指定区域无效,请重新设置!") +
                                     dir.filePath(QStringLiteral("a.csv"))));
    // Whatever the ending, the application is quit and the editor stays shut.
    if (fake.applicationsCreated() > 0)
        QVERIFY(fake.log().contains(QStringLiteral("Quit")));
    QVERIFY(fake.calls({QStringLiteral("OpenFailedList")}).isEmpty());
    QCOMPARE(fake.misuse(), QStringList());
}

void TestCliRun::outputStreams_data()
{
    QTest::addColumn<bool>("quiet");
    QTest::addColumn<bool>("failing");
    QTest::newRow("progress") << false << false;
    QTest::newRow("progress with a failure") << false << true;
    QTest::newRow("quiet") << true << false;
    QTest::newRow("quiet with a failure") << true << true;
}

void TestCliRun::outputStreams()
{
    QFETCH(bool, quiet);
    QFETCH(bool, failing);

    QTemporaryDir dir;
    FakeSpreadsheet fake;
    addWorkbooks(fake, dir.path(), failing ? QStringList{"a.csv"} : QStringList());
    QStringList args{QStringLiteral("print"), dir.path(), QStringLiteral("--workbook-delay"),
                     QStringLiteral("0")};
    if (quiet)
        args << QStringLiteral("--quiet");
    const CliOutcome outcome = runOn(fake, args);
    QCOMPARE(outcome.code, failing ? 1 : 0);

    // Standard output: the report alone.
    QVERIFY(outcome.out.startsWith(QStringLiteral("成功打印3个工作簿的")));
    QCOMPARE(outcome.out.count(QLatin1Char('\n')), 1);

    QStringList errLines = outcome.err.split(QLatin1Char('\n'));
    QCOMPARE(errLines.takeLast(), QString()); // every line ends with a line feed
    const QString failureNote = QStringLiteral("quorvane-cli: 1 workbook could not be opened; "
                                               "listed in ") +
                                dir.filePath(failedListName);
    // The failed workbook with its reason, also with --quiet.
    const QString reasonLine = dir.filePath(QStringLiteral("a.csv")) + QStringLiteral("：无法打开");
    if (quiet) {
        const QStringList failures{reasonLine, failureNote};
        QCOMPARE(errLines, failing ? failures : QStringList());
        return;
    }
    // Standard error: the run's progress texts, one per line, in order.
    QStringList expected{
        QStringLiteral("excel OK!"),           QStringLiteral("WorkBooks OK!"),
        dir.filePath(QStringLiteral("a.csv")), QStringLiteral("@reason"),
        QStringLiteral("工作簿文件延时:0秒!"), dir.filePath(QStringLiteral("b.xlsx")),
        QStringLiteral("Sheet表延时:0秒!"),    QStringLiteral("Sheet表延时:0秒!"),
        QStringLiteral("工作簿文件延时:0秒!"), dir.filePath(QStringLiteral("sub/c.xlsx"))};
    if (failing)
        expected.replaceInStrings(QStringLiteral("@reason"), reasonLine);
    else
        expected.removeAll(QStringLiteral("@reason"));
    if (failing)
        expected << failureNote;
    QCOMPARE(errLines, expected);
}

void TestCliRun::listFileGivesOrder()
{
    QTemporaryDir dir;
    FakeSpreadsheet fake;
    addWorkbooks(fake, dir.path());
    // Reordered, one relative path, CR LF, a blank line, a line that is no
    // workbook and a missing file.
    const QString listPath = dir.filePath(QStringLiteral("order.txt"));
    writeFile(listPath,
              (dir.filePath(QStringLiteral("sub/c.xlsx")) + "\r\n\r\n" +
               QStringLiteral("notes.txt\r\n") + dir.filePath(QStringLiteral("gone.xlsx")) +
               "\r\n" + QStringLiteral("a.csv\r\n"))
                  .toUtf8());
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const CliOutcome outcome = runOn(fake, {QStringLiteral("print"), QStringLiteral("."),
                                            QStringLiteral("--list"), QStringLiteral("order.txt")});
    QDir::setCurrent(before);

    QCOMPARE(outcome.code, 0);
    QCOMPARE(fake.calls({QStringLiteral("open ")}),
             (QStringList{QStringLiteral("open ") + dir.filePath(QStringLiteral("sub/c.xlsx")) +
                              QStringLiteral(" ReadOnly"),
                          QStringLiteral("open ") + dir.filePath(QStringLiteral("a.csv")) +
                              QStringLiteral(" ReadOnly")}));
    QVERIFY(outcome.out.startsWith(QStringLiteral("成功打印2个工作簿的2个sheet。")));
}

void TestCliRun::failureListFedBack()
{
    QTemporaryDir dir;
    FakeSpreadsheet fake;
    addWorkbooks(fake, dir.path(), {QStringLiteral("b.xlsx"), QStringLiteral("sub/c.xlsx")});
    const QString listPath = dir.filePath(failedListName);

    const CliOutcome first = runOn(fake, {QStringLiteral("print"), dir.path()});
    QCOMPARE(first.code, 1);
    QVERIFY(QFileInfo::exists(listPath));

    // b is repaired; the second run prints only what failed, reading the list
    // before the run deletes it, and c fails again.
    fake.workbook(dir.filePath(QStringLiteral("b.xlsx"))).openFails = false;
    fake.clearLog();
    const CliOutcome second =
        runOn(fake, {QStringLiteral("print"), dir.path(), QStringLiteral("--list"), listPath});
    QCOMPARE(second.code, 1);
    QCOMPARE(fake.calls({QStringLiteral("open ")}).size(), 2);
    QVERIFY(fake.calls({QStringLiteral("open ")}).first().contains(QStringLiteral("b.xlsx")));
    QCOMPARE(readFile(listPath).remove(QLatin1Char('\r')),
             dir.filePath(QStringLiteral("sub/c.xlsx")) + QLatin1Char('\n'));

    // c repaired too: the third run succeeds and leaves no list behind.
    fake.workbook(dir.filePath(QStringLiteral("sub/c.xlsx"))).openFails = false;
    const CliOutcome third =
        runOn(fake, {QStringLiteral("print"), dir.path(), QStringLiteral("--list"), listPath});
    QCOMPARE(third.code, 0);
    QVERIFY(!QFileInfo::exists(listPath));
}

void TestCliRun::printTarget_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("target"); // expected log line; {dir} replaced

    QTest::newRow("default printer")
        << QStringList{"print", "{dir}"} << "SetPrintTarget DefaultPrinter ";
    QTest::newRow("named printer in the system's spelling")
        << QStringList{"print", "{dir}", "--printer", "quorvanepdf"}
        << "SetPrintTarget NamedPrinter QuorvanePDF";
    QTest::newRow("pdf folder created") << QStringList{"print", "{dir}", "--pdf", "{dir}/pdf/new"}
                                        << "SetPrintTarget PdfDirectory {dir}/pdf/new";
    QTest::newRow("page-setup prints nothing") << QStringList{"page-setup", "{dir}"} << QString();
    QTest::newRow("copies, collated, both sides")
        << QStringList{"print", "{dir}", "--copies", "3", "--collate", "--duplex", "long"}
        << "SetPrintTarget DefaultPrinter  copies=3c duplex=2";
    QTest::newRow("a dry run only counts")
        << QStringList{"print", "{dir}", "--printer", "QuorvanePDF", "--dry-run"}
        << "SetPrintTarget NamedPrinter QuorvanePDF count";
}

void TestCliRun::printTarget()
{
    QFETCH(QStringList, args);
    QFETCH(QString, target);

    QTemporaryDir dir;
    FakeSpreadsheet fake;
    addWorkbooks(fake, dir.path());
    for (QString& arg : args)
        arg.replace(QStringLiteral("{dir}"), dir.path());
    target.replace(QStringLiteral("{dir}"), dir.path());

    const CliOutcome outcome = runOn(fake, args);
    QCOMPARE(outcome.code, 0);
    const QStringList set = fake.calls({QStringLiteral("SetPrintTarget")});
    QCOMPARE(set, target.isEmpty() ? QStringList() : QStringList{target});
    if (target.startsWith(QLatin1String("SetPrintTarget PdfDirectory")))
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("pdf/new"))).isDir());
}

void TestCliRun::dryRunAndReport_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("lines"); // standard output
    QTest::addColumn<QString>("csv");       // {dir} replaced

    const QString rows = "{dir}/a.csv,failed,0,0,not-opened\r\n{dir}/b.xlsx,done,3,6,\r\n"
                         "{dir}/sub/c.xlsx,done,1,2,\r\n";
    QTest::newRow("print") << QStringList{"print", "{dir}", "--dry-run"}
                           << QStringList{"{dir}/b.xlsx\tSheet1\t2 pages",
                                          "{dir}/b.xlsx\tSheet2\t2 pages",
                                          "{dir}/b.xlsx\tSheet3\t2 pages",
                                          "{dir}/sub/c.xlsx\tSheet1\t2 pages",
                                          "2 workbooks, 4 sheets, 8 pages"}
                           << rows;
    QTest::newRow("page setup")
        << QStringList{"page-setup",    "{dir}",     "--dry-run", "--left", "2",
                       "--orientation", "landscape", "--sheets",  "Sheet2"}
        << QStringList{"{dir}/b.xlsx\tSheet2\tleft ? -> 2.00 cm, orientation ? -> landscape",
                       "2 workbooks, 1 sheets would change"}
        << "{dir}/a.csv,failed,0,,not-opened\r\n{dir}/b.xlsx,done,1,,\r\n"
           "{dir}/sub/c.xlsx,done,0,,\r\n";
}

void TestCliRun::dryRunAndReport()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, lines);
    QFETCH(QString, csv);

    QTemporaryDir dir;
    FakeSpreadsheet fake;
    addWorkbooks(fake, dir.path(), {QStringLiteral("a.csv")});
    for (int i = 1; i <= 3; ++i)
        fake.sheet(dir.filePath(QStringLiteral("b.xlsx")), i).pages = 2;
    fake.sheet(dir.filePath(QStringLiteral("sub/c.xlsx")), 1).pages = 2;
    // A dry run leaves an earlier failure list alone, and every workbook.
    writeFile(dir.filePath(failedListName), "/old/a.xlsx\n");
    const QString report = dir.filePath(QStringLiteral("report.csv"));
    for (QString& arg : args)
        arg.replace(QStringLiteral("{dir}"), dir.path());
    const CliOutcome outcome = runOn(fake, args << QStringLiteral("--report") << report);

    QCOMPARE(outcome.code, 1); // what the real run would give
    lines.replaceInStrings(QStringLiteral("{dir}"), dir.path());
    QCOMPARE(outcome.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), lines);
    QCOMPARE(readFile(report), QStringLiteral("path,outcome,sheets,pages,reason\r\n") +
                                   QString(csv).replace(QStringLiteral("{dir}"), dir.path()));
    QCOMPARE(readFile(dir.filePath(failedListName)), QStringLiteral("/old/a.xlsx\n"));
    QVERIFY(fake.calls({QStringLiteral("Save"), QStringLiteral("LeftMargin"),
                        QStringLiteral("Orientation")})
                .isEmpty());
    QCOMPARE(fake.sheet(dir.filePath(QStringLiteral("b.xlsx")), 1).printCount, 0);
}

void TestCliRun::optionsReachTheRun_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QStringList>("prefixes");
    QTest::addColumn<QStringList>("calls");

    const QStringList prints{"PrintOut", "PaperSize"};
    QTest::newRow("print defaults")
        << QStringList() << prints
        << QStringList{"PrintOut sheet a", "PrintOut sheet Sheet1", "PrintOut sheet Sheet2",
                       "PrintOut sheet Sheet3", "PrintOut sheet Sheet1"};
    QTest::newRow("first sheet, paper")
        << QStringList{"--first-sheet", "--paper", "A4"} << prints
        << QStringList{"PaperSize 9",           "PrintOut sheet a", "PaperSize 9",
                       "PrintOut sheet Sheet1", "PaperSize 9",      "PrintOut sheet Sheet1"};
    QTest::newRow("named sheets, range")
        << QStringList{"--sheets", "Sheet3||Sheet2", "--range", "b2:c3"} << prints
        << QStringList{"PrintOut range b2:c3", "PrintOut range b2:c3"};
    QTest::newRow("delays") << QStringList{"--sheet-delay", "1",     "--workbook-delay", "1",
                                           "--sheets",      "Sheet1"}
                            << QStringList{"Sleep"} << QStringList();
    QTest::newRow("margins and orientation")
        << QStringList{"page-setup", "--left",        "2",         "--footer",
                       "0.5",        "--orientation", "landscape", "--first-sheet"}
        << QStringList{"CentimetersToPoints", "LeftMargin",   "RightMargin",  "TopMargin",
                       "BottomMargin",        "HeaderMargin", "FooterMargin", "Orientation"}
        << QStringList{"CentimetersToPoints 2", "LeftMargin 56.6929", "CentimetersToPoints 0.5",
                       "FooterMargin 14.1732", "Orientation 2"} +
               QStringList{"CentimetersToPoints 2", "LeftMargin 56.6929", "CentimetersToPoints 0.5",
                           "FooterMargin 14.1732", "Orientation 2"} +
               QStringList{"CentimetersToPoints 2", "LeftMargin 56.6929", "CentimetersToPoints 0.5",
                           "FooterMargin 14.1732", "Orientation 2"};
}

void TestCliRun::optionsReachTheRun()
{
    QFETCH(QStringList, extra);
    QFETCH(QStringList, prefixes);
    QFETCH(QStringList, calls);

    QTemporaryDir dir;
    FakeSpreadsheet fake;
    addWorkbooks(fake, dir.path());
    QString command = QStringLiteral("print");
    if (!extra.isEmpty() && extra.first() == QLatin1String("page-setup"))
        command = extra.takeFirst();
    const CliOutcome outcome = runOn(fake, QStringList{command, dir.path()} + extra);
    QCOMPARE(outcome.code, 0);
    if (prefixes == QStringList{QStringLiteral("Sleep")}) {
        // The delays go through the command line's own sleep, which the fake
        // does not see; the texts show the values the run got.
        QCOMPARE(outcome.err.count(QStringLiteral("工作簿文件延时:1秒!")), 2);
        QCOMPARE(outcome.err.count(QStringLiteral("Sheet表延时:1秒!")), 2);
        return;
    }
    QCOMPARE(fake.calls(prefixes), calls);
}

void TestCliRun::interrupt_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QString>("trigger"); // log line that raises the flag
    QTest::addColumn<QStringList>("opened");
    QTest::addColumn<QString>("lastText"); // last line of standard error

    QTest::newRow("print, during a sheet") << "print" << QStringList() << "PrintOut sheet Sheet1"
                                           << QStringList{"a.csv", "b.xlsx"} << "已停止";
    QTest::newRow("print, during a long workbook delay")
        << "print" << QStringList{"--workbook-delay", "900"} << "PrintOut sheet a"
        << QStringList{"a.csv"} << "已停止";
    QTest::newRow("page-setup, after the workbook in hand")
        << "page-setup" << QStringList{"--left", "1"} << "open " << QStringList{"a.csv"}
        << QString();
}

void TestCliRun::interrupt()
{
    QFETCH(QString, command);
    QFETCH(QStringList, extra);
    QFETCH(QString, trigger);
    QFETCH(QStringList, opened);
    QFETCH(QString, lastText);

    QTemporaryDir dir;
    FakeSpreadsheet fake;
    addWorkbooks(fake, dir.path());
    // What the SIGINT/SIGTERM handler does, at a chosen call of the run.
    bool raised = false;
    fake.setOnCall([&](const QString& line) {
        if (!raised && line.startsWith(trigger)) {
            raised = true;
            cli::requestInterrupt();
        }
    });

    const CliOutcome outcome = runOn(fake, QStringList{command, dir.path()} + extra);

    QVERIFY(raised);
    QCOMPARE(outcome.code, 130);
    QCOMPARE(outcome.out, QString()); // no report: the run did not go through
    QStringList openedBooks;
    const QStringList opens = fake.calls({QStringLiteral("open ")});
    for (const QString& open : opens)
        openedBooks << QDir(dir.path()).relativeFilePath(open.section(QLatin1Char(' '), 1, 1));
    QCOMPARE(openedBooks, opened);
    // The workbook in hand is closed (saved first by page-setup), then the
    // application is quit.
    const QStringList ends =
        fake.calls({QStringLiteral("Save"), QStringLiteral("Close"), QStringLiteral("Quit")});
    QVERIFY(!ends.isEmpty());
    QCOMPARE(ends.last(), QStringLiteral("Quit"));
    if (command == QLatin1String("page-setup"))
        QCOMPARE(ends, (QStringList{"Save", "Close", "Quit"}));
    else
        QVERIFY(ends.contains(QStringLiteral("Close")));
    QCOMPARE(fake.misuse(), QStringList());
    if (!lastText.isEmpty())
        QVERIFY2(outcome.err.endsWith(lastText + QLatin1Char('\n')), qPrintable(outcome.err));
}

void TestCliRun::interruptBeforeStart()
{
    QTemporaryDir dir;
    FakeSpreadsheet fake;
    addWorkbooks(fake, dir.path());
    cli::requestInterrupt();
    const CliOutcome outcome = runOn(fake, {QStringLiteral("print"), dir.path()});
    QCOMPARE(outcome.code, 130);
    QCOMPARE(fake.applicationsCreated(), 0);
}

QTEST_GUILESS_MAIN(TestCliRun)
#include "tst_clirun.moc"
