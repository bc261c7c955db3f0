// The batch print run against the recording fake.
#include "runs/runs.h"
#include "support/fakespreadsheet.h"
#include "support/runtesthelpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace spreadsheet;
using namespace testsupport;

namespace {

const QString reportFormat = QStringLiteral("成功打印%1个工作簿的%2个sheet。耗时%3秒。");

QString report(int workbooks, int sheets, int seconds)
{
    return reportFormat.arg(workbooks).arg(sheets).arg(seconds);
}

// One run's surroundings: a folder for the workbook files, the fake, its
// environment and fresh options.
struct Harness
{
    QTemporaryDir dir;
    FakeSpreadsheet fake;
    FakeEnvironment env{fake};
    runs::PrintOptions options;
    runs::RunControl control;

    Harness()
    {
        options.paperSize = QStringLiteral("默认");
        options.failedListPath = dir.path() + QStringLiteral("/无法打印的文件目录.txt");
    }

    QString book(const QString& name, const QStringList& sheets)
    {
        return book(name, describedWorkbook(sheets));
    }
    QString book(const QString& name, const FakeWorkbook& workbook)
    {
        return addWorkbookFile(fake, dir.path() + QLatin1Char('/') + name, workbook);
    }
    void list(const QStringList& paths) { options.workbookList = paths.join(QLatin1Char('\n')); }

    runs::RunResult run()
    {
        return runs::runPrint(options, control, env.environment(), env.events());
    }

    QStringList printed() const
    {
        return stripped(fake.calls({QStringLiteral("PrintOut sheet ")}),
                        QStringLiteral("PrintOut sheet "));
    }
    QByteArray failedListBytes() const
    {
        QFile file(options.failedListPath);
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray("(missing)");
        return file.readAll();
    }
};

// Every run, however it ends: one end signal, the fake used as its ownership
// rules say, nothing left alive.
void checkClean(const Harness& h)
{
    QCOMPARE(h.env.finishedCount(), 1);
    QCOMPARE(h.fake.misuse().join(QLatin1Char('|')), QString());
    QCOMPARE(h.fake.liveObjects(), 0);
    QCOMPARE(h.fake.calls({QStringLiteral("Release application")}).size(), 1);
}

QByteArray listBytes(const QStringList& paths)
{
    QByteArray bytes;
    for (const QString& path : paths) {
        bytes += path.toLocal8Bit();
#ifdef Q_OS_WIN
        bytes += "\r\n";
#else
        bytes += "\n";
#endif
    }
    return bytes;
}

} // namespace

class TestPrintRun : public QObject
{
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
    void noApplication_data();
    void noApplication();
    void acceptance_data();
    void acceptance();
    void sheetSelection_data();
    void sheetSelection();
    void paperSize_data();
    void paperSize();
    void printRange_data();
    void printRange();
    void invalidRangeEnding();
    void stopOrQuitWhilePaused_data();
    void stopOrQuitWhilePaused();
    void interruptions_data();
    void interruptions();
    void failureList_data();
    void failureList();
    void lostApplication_data();
    void lostApplication();
    void lostAtRangeQuery();
    // Sheets of a workbook in one print job: the same events and printed
    // sheets as one job each, fewer jobs.
    void printJobs_data();
    void printJobs();
    void subObjectsReleasedEarly();
};

void TestPrintRun::texts_data()
{
    QTest::addColumn<int>("books");
    QTest::addColumn<int>("delay");
    QTest::addColumn<bool>("firstFails");
    QTest::addColumn<QStringList>("expected"); // "@1" stands for the first path

    const QString ok1 = QStringLiteral("excel OK!");
    const QString ok2 = QStringLiteral("WorkBooks OK!");
    QTest::newRow("empty list") << 0 << 0 << false << QStringList{ok1, ok2, report(0, 0, 0)};
    QTest::newRow("two workbooks, delays 0") << 2 << 0 << false
                                             << QStringList{ok1,
                                                            ok2,
                                                            QStringLiteral("@1"),
                                                            QStringLiteral("Sheet表延时:0秒!"),
                                                            QStringLiteral("工作簿文件延时:0秒!"),
                                                            QStringLiteral("@2"),
                                                            QStringLiteral("Sheet表延时:0秒!"),
                                                            report(2, 4, 0)};
    QTest::newRow("two workbooks, delays 1") << 2 << 1 << false
                                             << QStringList{ok1,
                                                            ok2,
                                                            QStringLiteral("@1"),
                                                            QStringLiteral("Sheet表延时:1秒!"),
                                                            QStringLiteral("工作簿文件延时:1秒!"),
                                                            QStringLiteral("@2"),
                                                            QStringLiteral("Sheet表延时:1秒!"),
                                                            report(2, 4, 3)};
    QTest::newRow("first fails to open, the next still waits")
        << 2 << 1 << true
        << QStringList{ok1,
                       ok2,
                       QStringLiteral("@1"),
                       QStringLiteral("@1：无法打开"),
                       QStringLiteral("工作簿文件延时:1秒!"),
                       QStringLiteral("@2"),
                       QStringLiteral("Sheet表延时:1秒!"),
                       report(2, 2, 2)};
}

void TestPrintRun::texts()
{
    QFETCH(int, books);
    QFETCH(int, delay);
    QFETCH(bool, firstFails);
    QFETCH(QStringList, expected);

    Harness h;
    QStringList paths;
    for (int i = 1; i <= books; ++i) {
        FakeWorkbook book = FakeWorkbook::withSheets({QStringLiteral("S1"), QStringLiteral("S2")});
        book.openFails = firstFails && i == 1;
        paths << h.book(QStringLiteral("b%1.xlsx").arg(i), book);
    }
    h.list(paths);
    h.options.sheetDelaySeconds = delay;
    h.options.workbookDelaySeconds = delay;
    const runs::RunResult result = h.run();

    for (int i = 0; i < paths.size(); ++i)
        expected.replaceInStrings(QStringLiteral("@%1").arg(i + 1), paths[i]);
    QCOMPARE(h.env.progress(), expected);
    QCOMPARE(result.ending, runs::Ending::Normal);
    QCOMPARE(h.fake.calls({QStringLiteral("open ")}).size(), books);
    QCOMPARE(h.env.openedLists().isEmpty(), !firstFails);
    // Normal ending: report, list, Quit, release, end signal.
    const QStringList tail = h.fake.calls({QStringLiteral("Progress 成功"),
                                           QStringLiteral("OpenFailedList"), QStringLiteral("Quit"),
                                           QStringLiteral("Release"), QStringLiteral("Finished")});
    QCOMPARE(tail.size(), firstFails ? 5 : 4);
    QVERIFY(tail.first().startsWith(QStringLiteral("Progress 成功")));
    QCOMPARE(tail.mid(tail.size() - 3),
             (QStringList{QStringLiteral("Quit"), QStringLiteral("Release application"),
                          QStringLiteral("Finished")}));
    checkClean(h);
}

void TestPrintRun::noApplication_data()
{
    QTest::addColumn<bool>("atFirstWorkbook");
    QTest::newRow("at the start") << false;
    // The office is started when a workbook first needs it.
    QTest::newRow("when the first workbook needs it") << true;
}

void TestPrintRun::noApplication()
{
    QFETCH(bool, atFirstWorkbook);
    Harness h;
    FakeWorkbook book = FakeWorkbook::withSheets({QStringLiteral("S1")});
    book.openFails = atFirstWorkbook;
    book.openFailure.kind = FailureKind::NoApplication;
    const QString path = h.book(QStringLiteral("a.xlsx"), book);
    h.list({path, h.book(QStringLiteral("b.xlsx"), {QStringLiteral("S1")})});
    h.fake.setNoWorkbooks(!atFirstWorkbook);
    const runs::RunResult result = h.run();

    QCOMPARE(result.ending, runs::Ending::NoApplication);
    QStringList texts{QStringLiteral("excel OK!"), QStringLiteral("WorkBooks OK!"),
                      QStringLiteral("本功能需要电脑中装有微软office或金山wps专业版(注意是专业"
                                     "版,不是个人版)!")};
    if (atFirstWorkbook)
        texts.insert(2, path);
    QCOMPARE(h.env.progress(), texts);
    QCOMPARE(h.fake.log().mid(h.fake.log().size() - 3),
             (QStringList{QStringLiteral("Quit"), QStringLiteral("Release application"),
                          QStringLiteral("Finished")}));
    QCOMPARE(h.fake.calls({QStringLiteral("open ")}).size(), atFirstWorkbook ? 1 : 0);
    QVERIFY(!QFile::exists(h.options.failedListPath));
    checkClean(h);
}

void TestPrintRun::acceptance_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind"); // file, dir or none
    QTest::addColumn<bool>("accepted");

    QTest::newRow("upper-case extension") << "BOOK.XLSX"
                                          << "file" << true;
    QTest::newRow("xls") << "a.xls"
                         << "file" << true;
    QTest::newRow("csv") << "a.csv"
                         << "file" << true;
    QTest::newRow("xlsm") << "a.xlsm"
                          << "file" << true;
    QTest::newRow("lock file") << "~$Book1.xlsx"
                               << "file" << false;
    QTest::newRow("folder holding ~$") << "x~$y/b.xlsx"
                                       << "file" << false;
    QTest::newRow("xlsb") << "c.xlsb"
                          << "file" << false;
    QTest::newRow("et") << "d.et"
                        << "file" << false;
    QTest::newRow("txt") << "e.txt"
                         << "file" << false;
    QTest::newRow("backup") << "h.xls.bak"
                            << "file" << false;
    QTest::newRow("folder with a workbook name") << "f.xlsx"
                                                 << "dir" << false;
    QTest::newRow("missing file") << "g.xlsx"
                                  << "none" << false;
    QTest::newRow("empty entry") << ""
                                 << "none" << false;
}

void TestPrintRun::acceptance()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(bool, accepted);

    Harness h;
    const QString path = h.dir.path() + QLatin1Char('/') + name;
    const QString native = QDir::toNativeSeparators(path);
    h.fake.addWorkbook(native, FakeWorkbook::withSheets({QStringLiteral("S1")}));
    if (kind == QLatin1String("file"))
        QVERIFY(touchFile(path));
    else if (kind == QLatin1String("dir"))
        QVERIFY(QDir().mkpath(path));
    h.options.workbookList = name.isEmpty() ? QString() : path;
    const runs::RunResult result = h.run();

    QCOMPARE(result.workbooks, accepted ? 1 : 0);
    QCOMPARE(result.sheets, accepted ? 1 : 0);
    QCOMPARE(h.fake.calls({QStringLiteral("open ")}),
             accepted ? QStringList{QStringLiteral("open ") + native + QStringLiteral(" ReadOnly")}
                      : QStringList());
    QCOMPARE(h.env.progress().contains(native), accepted);
    QVERIFY(result.failed.isEmpty());
    checkClean(h);
}

void TestPrintRun::sheetSelection_data()
{
    QTest::addColumn<QStringList>("sheets");
    QTest::addColumn<bool>("appointed");
    QTest::addColumn<QString>("names");
    QTest::addColumn<bool>("onlyFirst");
    QTest::addColumn<bool>("skipEmpty");
    QTest::addColumn<QStringList>("printed");

    const QStringList three{QStringLiteral("Sheet1"), QStringLiteral("Sheet2"),
                            QStringLiteral("Sheet3")};
    QTest::newRow("every sheet once") << three << false << "" << false << false << three;
    QTest::newRow("blank after the separator")
        << three << true << "Sheet1|| Sheet2" << false << false << QStringList{"Sheet1"};
    QTest::newRow("a name twice prints twice")
        << three << true << "Sheet1||Sheet1" << false << false << QStringList{"Sheet1", "Sheet1"};
    QTest::newRow("empty names match nothing")
        << three << true << "" << false << false << QStringList();
    QTest::newRow("names left from an earlier start")
        << three << false << "Sheet2" << false << false << three;
    QTest::newRow("names are case-sensitive")
        << three << true << "sheet1||SHEET2" << false << false << QStringList();
    QTest::newRow("workbook order, not list order")
        << three << true << "Sheet3||Sheet1" << false << false << QStringList{"Sheet1", "Sheet3"};
    QTest::newRow("only the first sheet")
        << three << false << "" << true << false << QStringList{"Sheet1"};
    QTest::newRow("first sheet not listed")
        << three << true << "Sheet2" << true << false << QStringList();

    const QStringList mixed{QStringLiteral("Zero=zero"),     QStringLiteral("Blank=blank"),
                            QStringLiteral("Two=twoblank"),  QStringLiteral("Far=farblank"),
                            QStringLiteral("FarV=farvalue"), QStringLiteral("Full")};
    QTest::newRow("skip empty sheets")
        << mixed << false << "" << false << true << QStringList{"Zero", "Two", "FarV", "Full"};
    QTest::newRow("empty sheets printed when not skipped")
        << mixed << false << "" << false << false
        << QStringList{"Zero", "Blank", "Two", "Far", "FarV", "Full"};
    QTest::newRow("an empty sheet listed twice")
        << mixed << true << "Blank||Blank||Zero" << false << true << QStringList{"Zero"};

    const QStringList veiled{QStringLiteral("Lookup=veryhidden"), QStringLiteral("Notes=hidden"),
                             QStringLiteral("Shown"), QStringLiteral("Chart=picture"),
                             QStringLiteral("Veiled=invisible")};
    // "Veiled" is asked to print but has nothing to show: no page, not counted.
    QTest::newRow("hidden sheets and what prints nothing are passed over")
        << veiled << false << "" << false << true << QStringList{"Shown", "Chart", "Veiled"};
    QTest::newRow("a hidden sheet asked for by name")
        << veiled << true << "Notes||Shown" << false << true << QStringList{"Shown"};
    QTest::newRow("the first sheet is the first one shown")
        << veiled << false << "" << true << true << QStringList{"Shown"};

    QTest::newRow("sheets that cannot be had are passed over")
        << QStringList{"First",         "Chart=chart",         "NoUsed=nousedrange",
                       "NoCell=nocell", "NoSetup=nopagesetup", "Last"}
        << false << "" << false << false << QStringList{"First", "Last"};
}

void TestPrintRun::sheetSelection()
{
    QFETCH(QStringList, sheets);
    QFETCH(bool, appointed);
    QFETCH(QString, names);
    QFETCH(bool, onlyFirst);
    QFETCH(bool, skipEmpty);
    QFETCH(QStringList, printed);

    Harness h;
    h.list({h.book(QStringLiteral("a.xlsx"), sheets)});
    h.options.sheets.appointedSheetsOnly = appointed;
    h.options.sheets.appointedSheetNames = names;
    h.options.sheets.onlyFirstSheet = onlyFirst;
    h.options.sheets.skipEmptySheets = skipEmpty;
    const runs::RunResult result = h.run();

    QCOMPARE(result.ending, runs::Ending::Normal);
    QCOMPARE(h.printed(), printed);
    QCOMPARE(result.workbooks, 1);
    const int counted = int(printed.size() - printed.count(QStringLiteral("Veiled")));
    QCOMPARE(result.sheets, counted);
    QCOMPARE(h.env.progress().last(), report(1, counted, 0));
    // The sheet delay comes before every sheet but the first, printed or not
    // (with only the first sheet: up to the first one shown).
    int firstShown = 0;
    while (sheets.at(firstShown).contains(QLatin1String("hidden")))
        ++firstShown;
    QCOMPARE(int(h.env.progress().count(QStringLiteral("Sheet表延时:0秒!"))),
             onlyFirst ? firstShown : int(sheets.size()) - 1);
    QVERIFY(result.failed.isEmpty());
    checkClean(h);
}

void TestPrintRun::paperSize_data()
{
    QTest::addColumn<QString>("paper");
    QTest::addColumn<int>("code"); // 0: not set

    QTest::newRow("A3") << "A3" << 8;
    QTest::newRow("A4") << "A4" << 9;
    QTest::newRow("A5") << "A5" << 11;
    QTest::newRow("B4") << "B4" << 12;
    QTest::newRow("B5") << "B5" << 13;
    QTest::newRow("default") << "默认" << 0;
    QTest::newRow("lower case") << "a4" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestPrintRun::paperSize()
{
    QFETCH(QString, paper);
    QFETCH(int, code);

    Harness h;
    const QString path =
        h.book(QStringLiteral("a.xlsx"), {QStringLiteral("S1"), QStringLiteral("S2")});
    h.list({path});
    h.options.paperSize = paper;
    // Only S2 prints, yet the paper size goes on every sheet visited.
    h.options.sheets.appointedSheetsOnly = true;
    h.options.sheets.appointedSheetNames = QStringLiteral("S2");
    h.run();

    for (int index = 1; index <= 2; ++index) {
        const QVariantMap& setup = h.fake.sheet(path, index).pageSetup;
        QCOMPARE(setup.contains(QStringLiteral("PaperSize")), code != 0);
        if (code != 0)
            QCOMPARE(setup.value(QStringLiteral("PaperSize")).toInt(), code);
    }
    QCOMPARE(h.printed(), QStringList{QStringLiteral("S2")});
    checkClean(h);
}

void TestPrintRun::printRange_data()
{
    QTest::addColumn<bool>("rangeOnly");
    QTest::addColumn<QString>("range");
    QTest::addColumn<QStringList>("calls");

    QTest::newRow("range printed")
        << true << "A1:B2" << QStringList{"Range A1:B2", "PrintOut range A1:B2"};
    QTest::newRow("box unchecked") << false << "A1:B2" << QStringList{"PrintOut sheet S1"};
    QTest::newRow("empty range prints the sheet") << true << "" << QStringList{"PrintOut sheet S1"};
}

void TestPrintRun::printRange()
{
    QFETCH(bool, rangeOnly);
    QFETCH(QString, range);
    QFETCH(QStringList, calls);

    Harness h;
    h.list({h.book(QStringLiteral("a.xlsx"), {QStringLiteral("S1")})});
    h.options.printRangeOnly = rangeOnly;
    h.options.printRange = range;
    const runs::RunResult result = h.run();

    QCOMPARE(result.ending, runs::Ending::Normal);
    QCOMPARE(h.fake.calls({QStringLiteral("Range"), QStringLiteral("PrintOut")}), calls);
    QCOMPARE(result.sheets, 1);
    checkClean(h);
}

void TestPrintRun::invalidRangeEnding()
{
    Harness h;
    FakeWorkbook broken = FakeWorkbook::withSheets({QStringLiteral("S1")});
    broken.openFails = true;
    FakeWorkbook second = describedWorkbook({QStringLiteral("S1"), QStringLiteral("S2")});
    second.sheets[1].invalidRanges << QStringLiteral("*");
    const QString p1 = h.book(QStringLiteral("a.xlsx"), broken);
    const QString p2 = h.book(QStringLiteral("b.xlsx"), second);
    const QString p3 = h.book(QStringLiteral("c.xlsx"), {QStringLiteral("S1")});
    h.list({p1, p2, p3});
    h.options.sheets.appointedSheetsOnly = true;
    h.options.sheets.appointedSheetNames = QStringLiteral("S2");
    h.options.printRangeOnly = true;
    h.options.printRange = QStringLiteral("ZZ");
    const runs::RunResult result = h.run();

    QCOMPARE(result.ending, runs::Ending::InvalidRange);
    const QStringList expected{
        QStringLiteral("open ") + p1 + QStringLiteral(" ReadOnly"),
        QStringLiteral("Progress ") + p1 + QStringLiteral("：无法打开"),
        QStringLiteral("Progress 工作簿文件延时:0秒!"),
        QStringLiteral("Progress ") + p2,
        QStringLiteral("open ") + p2 + QStringLiteral(" ReadOnly"),
        QStringLiteral("Progress Sheet表延时:0秒!"),
        QStringLiteral("Range ZZ"),
        QStringLiteral("Progress 此文件指定区域无效,请重新设置!") + p2,
        // The end goes out after the application is gone: a new start right
        // away does not wait for it.
        QStringLiteral("Close"),
        QStringLiteral("Quit"),
        QStringLiteral("Release application"),
        QStringLiteral("Finished"),
    };
    const QStringList log = h.fake.calls(
        {QStringLiteral("open"), QStringLiteral("Progress "), QStringLiteral("Range"),
         QStringLiteral("PrintOut"), QStringLiteral("Finished"), QStringLiteral("Close"),
         QStringLiteral("Quit"), QStringLiteral("Release"), QStringLiteral("OpenFailedList")});
    QCOMPARE(log.mid(log.indexOf(expected.first())), expected);
    // The failure list is not written, not even for the first workbook.
    QVERIFY(!QFile::exists(h.options.failedListPath));
    QVERIFY(h.env.openedLists().isEmpty());
    checkClean(h);
}

void TestPrintRun::stopOrQuitWhilePaused_data()
{
    QTest::addColumn<bool>("quit");
    QTest::newRow("stop") << false;
    QTest::newRow("quit") << true;
}

void TestPrintRun::stopOrQuitWhilePaused()
{
    QFETCH(bool, quit);

    Harness h;
    const QString path = h.book(QStringLiteral("a.xlsx"), {QStringLiteral("S1")});
    h.list({path, h.book(QStringLiteral("b.xlsx"), {QStringLiteral("S1")})});
    h.control.pauseRequested = true;
    int sleeps = 0;
    h.env.onSleep = [&](int) {
        if (++sleeps == 3) {
            if (quit)
                h.control.quitRequested = true;
            else
                h.control.stopRequested = true;
        }
    };
    const runs::RunResult result = h.run();

    QCOMPARE(result.ending, runs::Ending::Stopped);
    QVERIFY(!h.control.stopRequested);
    QVERIFY(h.control.pauseRequested);
    const QStringList log = h.fake.log();
    const QStringList expected{
        QStringLiteral("open ") + path + QStringLiteral(" ReadOnly"),
        QStringLiteral("PrintJob"),
        QStringLiteral("SheetCount"),
        QStringLiteral("Sleep 100"),
        QStringLiteral("Sleep 100"),
        QStringLiteral("Sleep 100"),
        QStringLiteral("Close"),
        QStringLiteral("Quit"),
        QStringLiteral("Release application"),
        QStringLiteral("Progress 已停止"),
        QStringLiteral("Finished"),
    };
    QCOMPARE(log.mid(log.indexOf(expected.first())), expected);
    checkClean(h);
}

void TestPrintRun::interruptions_data()
{
    QTest::addColumn<bool>("quit");       // quitRequested instead of stopRequested
    QTest::addColumn<QString>("trigger"); // the log line that sets the flag
    QTest::addColumn<int>("sheetDelay");
    QTest::addColumn<QStringList>("printed");
    QTest::addColumn<bool>("secondOpened");
    QTest::addColumn<bool>("stopped");

    QTest::newRow("stop during a sheet")
        << false << "PrintOut sheet A1" << 0 << QStringList{"A1"} << false << true;
    QTest::newRow("stop between workbooks")
        << false << "Progress 工作簿文件延时" << 0 << QStringList{"A1", "A2"} << true << true;
    QTest::newRow("stop during the last sheet")
        << false << "PrintOut sheet B2" << 0 << QStringList{"A1", "A2", "B1", "B2"} << true
        << false;
    QTest::newRow("quit during a sheet")
        << true << "PrintOut sheet A1" << 0 << QStringList{"A1"} << false << true;
    QTest::newRow("quit during a sheet delay")
        << true << "Sleep" << 1 << QStringList{"A1"} << false << true;
    QTest::newRow("quit after the last sheet of a workbook")
        << true << "PrintOut sheet A2" << 0 << QStringList{"A1", "A2"} << false << true;
}

void TestPrintRun::interruptions()
{
    QFETCH(bool, quit);
    QFETCH(QString, trigger);
    QFETCH(int, sheetDelay);
    QFETCH(QStringList, printed);
    QFETCH(bool, secondOpened);
    QFETCH(bool, stopped);

    Harness h;
    const QString p1 =
        h.book(QStringLiteral("a.xlsx"), {QStringLiteral("A1"), QStringLiteral("A2")});
    const QString p2 =
        h.book(QStringLiteral("b.xlsx"), {QStringLiteral("B1"), QStringLiteral("B2")});
    h.list({p1, p2});
    h.options.sheetDelaySeconds = sheetDelay;
    h.fake.setOnCall([&](const QString& line) {
        if (line.startsWith(trigger)) {
            if (quit)
                h.control.quitRequested = true;
            else
                h.control.stopRequested = true;
        }
    });
    const runs::RunResult result = h.run();
    h.fake.setOnCall(nullptr);

    QCOMPARE(result.ending, stopped ? runs::Ending::Stopped : runs::Ending::Normal);
    QCOMPARE(h.printed(), printed);
    QCOMPARE(h.fake.calls({QStringLiteral("open ")}).size(), secondOpened ? 2 : 1);
    // Every opened workbook is closed, before the application quits.
    QCOMPARE(h.fake.calls({QStringLiteral("Close")}).size(), secondOpened ? 2 : 1);
    QCOMPARE(h.fake.calls({QStringLiteral("Close"), QStringLiteral("Quit")}).last(),
             QStringLiteral("Quit"));
    if (stopped) {
        QCOMPARE(h.env.progress().last(), QStringLiteral("已停止"));
        QVERIFY(!h.control.stopRequested);
    } else {
        QCOMPARE(h.env.progress().last(), report(2, 4, 0));
        QVERIFY(h.control.stopRequested); // seen by no checkpoint
    }
    // A quit cuts a delay short.
    QVERIFY(h.env.sleptMilliseconds() < 1000);
    checkClean(h);
}

void TestPrintRun::failureList_data()
{
    QTest::addColumn<bool>("writable");
    QTest::newRow("written and shown") << true;
    QTest::newRow("cannot be written") << false;
}

void TestPrintRun::failureList()
{
    QFETCH(bool, writable);

    Harness h;
    FakeWorkbook broken = FakeWorkbook::withSheets({QStringLiteral("S1")});
    broken.openFails = true;
    FakeWorkbook refused = FakeWorkbook::withSheets({QStringLiteral("S1"), QStringLiteral("S2")});
    refused.sheets[0].printRefused = true;
    refused.sheets[1].printRefused = true;
    FakeWorkbook noSheets = FakeWorkbook::withSheets({QStringLiteral("S1")});
    noSheets.sheetCount = -1;
    const QString p1 = h.book(QStringLiteral("报表/一.xlsx"), broken);
    const QString p2 = h.book(QStringLiteral("报表/二.xlsx"), {QStringLiteral("S1")});
    const QString p3 = h.book(QStringLiteral("报表/三.xlsx"), refused);
    const QString p4 = h.book(QStringLiteral("报表/四.xlsx"), noSheets);
    const QString p5 = h.book(QStringLiteral("报表/五.xlsx"), broken);
    h.list({p1, p2, p3, p4, p5});
    if (!writable)
        h.options.failedListPath = h.dir.path() + QStringLiteral("/missing/list.txt");
    const runs::RunResult result = h.run();

    QCOMPARE(result.ending, runs::Ending::Normal);
    // Refused jobs are not counted as printed; the refused workbook is listed
    // once, in list order.
    QCOMPARE(h.env.progress().last(), report(5, 1, 0));
    const QStringList failed{p1, p3, p4, p5};
    QCOMPARE(result.failedPaths(), failed);
    // The workbook without a sheets collection is closed, its sheets not asked for.
    QCOMPARE(h.fake.workbook(p4).closeCount, 1);
    if (writable) {
        QCOMPARE(h.failedListBytes(), listBytes(failed));
        QCOMPARE(h.env.openedLists(),
                 QStringList{QDir::toNativeSeparators(h.options.failedListPath)});
        const QStringList tail = h.fake.log().mid(h.fake.log().size() - 5);
        QVERIFY(tail[0].startsWith(QStringLiteral("Progress 成功打印")));
        QVERIFY(tail[1].startsWith(QStringLiteral("OpenFailedList ")));
        QCOMPARE(tail.mid(2),
                 (QStringList{QStringLiteral("Quit"), QStringLiteral("Release application"),
                              QStringLiteral("Finished")}));
    } else {
        QVERIFY(h.env.openedLists().isEmpty());
    }
    checkClean(h);
}

void TestPrintRun::lostApplication_data()
{
    QTest::addColumn<QString>("loseAt"); // "@2" stands for the second path
    QTest::addColumn<bool>("restartWorks");
    QTest::addColumn<QStringList>("printed");
    QTest::addColumn<QStringList>("lastTexts");
    QTest::addColumn<bool>("ended");

    QTest::newRow("dies while printing, restarted")
        << "PrintOut sheet B1" << true << QStringList{"A1", "A2", "C1"}
        << QStringList{report(3, 3, 0)} << false;
    QTest::newRow("dies at opening, restarted")
        << "open @2" << true << QStringList{"A1", "A2", "C1"} << QStringList{report(3, 3, 0)}
        << false;
    QTest::newRow("dies, no fresh application")
        << "PrintOut sheet B1" << false << QStringList{"A1", "A2"}
        << QStringList{report(2, 2, 0), QStringLiteral("电子表格程序已停止响应,运行已结束。")}
        << true;
}

void TestPrintRun::lostApplication()
{
    QFETCH(QString, loseAt);
    QFETCH(bool, restartWorks);
    QFETCH(QStringList, printed);
    QFETCH(QStringList, lastTexts);
    QFETCH(bool, ended);

    Harness h;
    const QString p1 =
        h.book(QStringLiteral("a.xlsx"), {QStringLiteral("A1"), QStringLiteral("A2")});
    const QString p2 =
        h.book(QStringLiteral("b.xlsx"), {QStringLiteral("B1"), QStringLiteral("B2")});
    const QString p3 = h.book(QStringLiteral("c.xlsx"), {QStringLiteral("C1")});
    h.list({p1, p2, p3});
    h.fake.setLoseAt(loseAt.replace(QStringLiteral("@2"), p2));
    h.fake.setRestartSucceeds(restartWorks);
    const runs::RunResult result = h.run();

    QCOMPARE(result.ending, ended ? runs::Ending::ApplicationLost : runs::Ending::Normal);
    QCOMPARE(h.printed(), printed);
    QCOMPARE(result.failedPaths(), QStringList{p2});
    QCOMPARE(h.env.progress().mid(h.env.progress().size() - lastTexts.size()), lastTexts);
    QCOMPARE(h.failedListBytes(), listBytes({p2}));
    QCOMPARE(h.fake.calls({QStringLiteral("Restart")}).size(), 1);
    if (restartWorks) {
        // A fresh workbooks collection is asked for before the next workbook.
        const QStringList log = h.fake.log();
        const int restart = log.indexOf(QStringLiteral("Restart"));
        QCOMPARE(log.at(restart + 1), QStringLiteral("Workbooks"));
        QVERIFY(log.indexOf(QStringLiteral("open ") + p3 + QStringLiteral(" ReadOnly")) > restart);
    }
    checkClean(h);
}

void TestPrintRun::lostAtRangeQuery()
{
    // A dead application yields no range either: that is not an invalid range.
    Harness h;
    const QString p1 = h.book(QStringLiteral("a.xlsx"), {QStringLiteral("A1")});
    const QString p2 = h.book(QStringLiteral("b.xlsx"), {QStringLiteral("B1")});
    h.list({p1, p2});
    h.options.printRangeOnly = true;
    h.options.printRange = QStringLiteral("A1:B2");
    h.fake.setLoseAt(QStringLiteral("Range"));
    const runs::RunResult result = h.run();

    QCOMPARE(result.ending, runs::Ending::Normal);
    QCOMPARE(result.failedPaths(), QStringList{p1});
    QCOMPARE(stripped(h.fake.calls({QStringLiteral("PrintOut range ")}),
                      QStringLiteral("PrintOut range ")),
             QStringList{QStringLiteral("A1:B2")});
    QCOMPARE(h.env.progress().last(), report(2, 1, 0));
    checkClean(h);
}

void TestPrintRun::subObjectsReleasedEarly()
{
    Harness h;
    FakeWorkbook big;
    for (int i = 1; i <= 300; ++i)
        big.sheets << FakeSheet::filled(QStringLiteral("S%1").arg(i));
    h.list({h.book(QStringLiteral("a.xlsx"), big), h.book(QStringLiteral("b.xlsx"), big)});
    h.options.printRangeOnly = true;
    h.options.printRange = QStringLiteral("A1:B2");
    const runs::RunResult result = h.run();

    QCOMPARE(result.sheets, 600);
    // Workbook, worksheet, cell, page setup and range at most.
    QVERIFY2(h.fake.peakLiveObjects() <= 5, qPrintable(QString::number(h.fake.peakLiveObjects())));
    checkClean(h);
}

void TestPrintRun::printJobs_data()
{
    QTest::addColumn<QString>("ownJob");  // a sheet that takes a job of its own
    QTest::addColumn<QString>("pressAt"); // "pause" or "stop" at this call
    QTest::addColumn<QString>("range");   // invalid on S2
    QTest::addColumn<int>("sheetDelay");
    QTest::addColumn<QStringList>("jobs");

    const QStringList b{"SendJob T1"};
    QTest::newRow("a job per workbook") << ""
                                        << ""
                                        << "" << 0 << QStringList{"SendJob S1 S2 S3"} + b;
    QTest::newRow("a sheet that takes a job of its own")
        << "S2"
        << ""
        << "" << 0 << QStringList{"SendJob S1", "SendJob S2", "SendJob S3"} + b;
    QTest::newRow("pause before the second sheet")
        << ""
        << "pause PrintOut sheet S1"
        << "" << 0 << QStringList{"SendJob S1", "SendJob S2 S3"} + b;
    QTest::newRow("stop before the third sheet") << ""
                                                 << "stop PrintOut sheet S2"
                                                 << "" << 0 << QStringList{"SendJob S1 S2"};
    QTest::newRow("range invalid on the second sheet") << ""
                                                       << ""
                                                       << "A1:B2" << 0 << QStringList{"SendJob S1"};
    QTest::newRow("a delay between sheets: a job each") << ""
                                                        << ""
                                                        << "" << 1 << QStringList{};
}

void TestPrintRun::printJobs()
{
    QFETCH(QString, ownJob);
    QFETCH(QString, pressAt);
    QFETCH(QString, range);
    QFETCH(int, sheetDelay);
    QFETCH(QStringList, jobs);

    // The same run with and without print jobs.
    QStringList told[2];
    QList<int> printCounts[2];
    for (const bool inJobs : {false, true}) {
        Harness h;
        FakeWorkbook a = FakeWorkbook::withSheets({"S1", "S2", "S3"});
        FakeWorkbook b = FakeWorkbook::withSheets({"T1"});
        a.printJobs = b.printJobs = inJobs;
        for (FakeSheet& sheet : a.sheets) {
            sheet.pages = 2;
            sheet.ownJob = sheet.name == ownJob;
            if (sheet.name == QLatin1String("S2") && !range.isEmpty())
                sheet.invalidRanges << range;
        }
        const QString pa = h.book("a.xlsx", a);
        h.list({pa, h.book("b.xlsx", b)});
        h.options.printRangeOnly = !range.isEmpty();
        h.options.printRange = range;
        h.options.sheetDelaySeconds = sheetDelay;
        h.fake.setOnCall([&](const QString& line) {
            if (!pressAt.isEmpty() && line == pressAt.section(' ', 1)) {
                (pressAt.startsWith("pause") ? h.control.pauseRequested : h.control.stopRequested) =
                    true;
            }
        });
        h.env.onSleep = [&](int) { h.control.pauseRequested = false; };
        h.run();
        h.fake.setOnCall(nullptr);
        for (const runs::RunEvent& event : h.env.eventList())
            told[inJobs] << QStringLiteral("%1 %2 %3 %4 %5")
                                .arg(int(event.type))
                                .arg(QFileInfo(event.path).fileName(), event.sheet)
                                .arg(event.pages)
                                .arg(event.sheets);
        for (const FakeSheet& sheet : h.fake.workbook(pa).sheets)
            printCounts[inJobs] << sheet.printCount;
        if (inJobs) {
            QCOMPARE(h.fake.calls({"SendJob"}), jobs);
            // A pause waits with nothing held back.
            if (pressAt.startsWith("pause"))
                QCOMPARE(h.fake.log().indexOf("SendJob S1") + 1, h.fake.log().indexOf("Sleep 100"));
            checkClean(h);
        }
    }
    QCOMPARE(told[1], told[0]);
    QCOMPARE(printCounts[1], printCounts[0]);
}

QTEST_GUILESS_MAIN(TestPrintRun)
#include "tst_printrun.moc"
