// The batch page-setup run against the recording fake.
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

QString report(int workbooks, int sheets)
{
    return QStringLiteral("成功修改%1个工作簿的%2个sheet。耗时0秒。").arg(workbooks).arg(sheets);
}

struct Harness
{
    QTemporaryDir dir;
    FakeSpreadsheet fake;
    FakeEnvironment env{fake};
    runs::PageSetupOptions options;
    runs::RunControl control;

    Harness()
    {
        options.folder = dir.path();
        options.failedListPath = dir.path() + QStringLiteral("/无法打印的文件目录.txt");
    }

    QString book(const QString& name, const FakeWorkbook& workbook)
    {
        return addWorkbookFile(fake, dir.path() + QLatin1Char('/') + name, workbook);
    }
    QString book(const QString& name, const QStringList& sheets)
    {
        return book(name, describedWorkbook(sheets));
    }
    runs::RunResult run()
    {
        return runs::runPageSetup(options, control, env.environment(), env.events());
    }
};

void checkClean(const Harness& h)
{
    QCOMPARE(h.env.finishedCount(), 1);
    QCOMPARE(h.fake.log().last(), QStringLiteral("Finished"));
    QCOMPARE(h.fake.misuse().join(QLatin1Char('|')), QString());
    QCOMPARE(h.fake.liveObjects(), 0);
    // Nothing waits in this run.
    QVERIFY(h.fake.calls({QStringLiteral("Sleep")}).isEmpty());
}

} // namespace

class TestPageSetupRun : public QObject
{
    Q_OBJECT

private slots:
    void listing();
    void changes_data();
    void changes();
    void selection_data();
    void selection();
    void failures();
    void lostApplication();
    void quitBetweenWorkbooks();
    void noApplication();
};

void TestPageSetupRun::listing()
{
    Harness h;
    const FakeWorkbook book = FakeWorkbook::withSheets({QStringLiteral("S1")});
    const QStringList names{QStringLiteral("z.csv"),          QStringLiteral("a.xlsx"),
                            QStringLiteral("B.XLSX"),         QStringLiteral(".g.xlsx"),
                            QStringLiteral("c.xlsb"),         QStringLiteral("~$a.xlsx"),
                            QStringLiteral("h.xls.bak"),      QStringLiteral("sub/d.xls"),
                            QStringLiteral(".hidden/e.xlsx"), QStringLiteral("x~$y/f.xlsx")};
    QMap<QString, QString> paths;
    for (const QString& name : names)
        paths[name] = h.book(name, book);
    // Temporary files of an interrupted save of ours: an old one is removed,
    // a young one (a save going on) is left; neither is opened.
    const QString stale = h.book(QStringLiteral("sub/.~quorvane-Old123.xls"), book);
    const QString young = h.book(QStringLiteral(".~quorvane-New456.xls"), book);
    {
        QFile file(stale);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                 QFileDevice::FileModificationTime));
    }
    // Pause and stop play no part.
    h.control.pauseRequested = true;
    h.control.stopRequested = true;
    const runs::RunResult result = h.run();
    QVERIFY(!QFile::exists(stale));
    QVERIFY(QFile::exists(young));

    QCOMPARE(result.ending, runs::Ending::Normal);
    QStringList expected;
    for (const char* name : {".g.xlsx", "a.xlsx", "B.XLSX", "z.csv", "sub/d.xls"})
        expected << QStringLiteral("open ") + paths.value(QLatin1String(name)) +
                        QStringLiteral(" ForEditing");
    QCOMPARE(h.fake.calls({QStringLiteral("open ")}), expected);
    // Each workbook: opened, saved, closed, one after the other.
    QStringList perBook;
    for (const QString& open : expected)
        perBook << open << QStringLiteral("Save") << QStringLiteral("Close");
    QCOMPARE(
        h.fake.calls({QStringLiteral("open "), QStringLiteral("Save"), QStringLiteral("Close")}),
        perBook);
    QCOMPARE(h.env.progress().last(), report(5, 5));
    QVERIFY(h.control.stopRequested);
    checkClean(h);
}

void TestPageSetupRun::changes_data()
{
    QTest::addColumn<int>("margins"); // bit i: margin i of left, right, top, bottom, header, footer
    QTest::addColumn<bool>("orientation");

    QTest::newRow("every margin and the orientation") << 0x3f << true;
    QTest::newRow("orientation") << 0 << true;
    QTest::newRow("left and footer, orientation") << 0x21 << true;
    QTest::newRow("top and bottom") << 0x0c << false;
    QTest::newRow("nothing to change") << 0 << false;
}

void TestPageSetupRun::changes()
{
    QFETCH(int, margins);
    QFETCH(bool, orientation);

    Harness h;
    const QString path =
        h.book(QStringLiteral("a.xlsx"), {QStringLiteral("S1"), QStringLiteral("S2")});
    const double centimetres[] = {1.78, 1.5, 1.91, 2.0, 0.76, 0.5};
    const char* const properties[] = {"LeftMargin",   "RightMargin",  "TopMargin",
                                      "BottomMargin", "HeaderMargin", "FooterMargin"};
    runs::PageSetupOptions& o = h.options;
    runs::MarginSetting* settings[] = {&o.left, &o.right, &o.top, &o.bottom, &o.header, &o.footer};
    for (int i = 0; i < 6; ++i)
        *settings[i] = {bool((margins >> i) & 1), centimetres[i]};
    o.changeOrientation = orientation;
    o.orientation = 2;
    const runs::RunResult result = h.run();

    // Per sheet: its page setup, then each chosen margin converted by the
    // application and written, then the orientation.
    QStringList perSheet{QStringLiteral("PageSetup")};
    for (int i = 0; i < 6; ++i) {
        if ((margins >> i) & 1) {
            perSheet << QStringLiteral("CentimetersToPoints ") +
                            FakeSpreadsheet::number(centimetres[i])
                     << QLatin1String(properties[i]) + QLatin1Char(' ') +
                            FakeSpreadsheet::number(centimetres[i] * 72.0 / 2.54);
        }
    }
    if (orientation)
        perSheet << QStringLiteral("Orientation 2");
    QCOMPARE(h.fake.calls({QStringLiteral("PageSetup"), QStringLiteral("CentimetersToPoints"),
                           QStringLiteral("LeftMargin"), QStringLiteral("RightMargin"),
                           QStringLiteral("TopMargin"), QStringLiteral("BottomMargin"),
                           QStringLiteral("HeaderMargin"), QStringLiteral("FooterMargin"),
                           QStringLiteral("Orientation")}),
             perSheet + perSheet);
    for (int index = 1; index <= 2; ++index) {
        const QVariantMap& setup = h.fake.sheet(path, index).pageSetup;
        if (margins & 1)
            QCOMPARE(setup.value(QStringLiteral("LeftMargin")).toDouble(), 1.78 * 72.0 / 2.54);
        QCOMPARE(setup.value(QStringLiteral("Orientation")).toInt(), orientation ? 2 : 0);
    }
    QCOMPARE(result.sheets, 2);
    QCOMPARE(h.fake.workbook(path).saveCount, 1);
    QCOMPARE(h.env.progress().last(), report(1, 2));
    checkClean(h);
}

void TestPageSetupRun::selection_data()
{
    QTest::addColumn<QStringList>("sheets");
    QTest::addColumn<bool>("appointed");
    QTest::addColumn<QString>("names");
    QTest::addColumn<bool>("onlyFirst");
    QTest::addColumn<bool>("skipEmpty");
    QTest::addColumn<QStringList>("changed");
    QTest::addColumn<int>("counted");

    const QStringList three{QStringLiteral("Sheet1"), QStringLiteral("Sheet2"),
                            QStringLiteral("Sheet3")};
    QTest::newRow("every sheet") << three << false << "" << false << false << three << 3;
    QTest::newRow("two names") << three << true << "Sheet2||Sheet3" << false << false
                               << QStringList{"Sheet2", "Sheet3"} << 2;
    QTest::newRow("blank before the separator")
        << three << true << "Sheet2 ||Sheet3" << false << false << QStringList{"Sheet3"} << 1;
    QTest::newRow("a name twice counts twice")
        << three << true << "Sheet1||Sheet1" << false << false << QStringList{"Sheet1"} << 2;
    QTest::newRow("empty names change nothing")
        << three << true << "" << false << false << QStringList() << 0;
    QTest::newRow("names left from an earlier start")
        << three << false << "Sheet2" << false << false << three << 3;
    QTest::newRow("only the first sheet")
        << three << false << "" << true << false << QStringList{"Sheet1"} << 1;
    QTest::newRow("skip empty sheets")
        << QStringList{"Blank=blank", "Zero=zero", "Two=twoblank", "Far=farblank"} << false << ""
        << false << true << QStringList{"Zero", "Two"} << 2;
    QTest::newRow("sheets that cannot be had")
        << QStringList{"First", "Chart=chart", "NoSetup=nopagesetup", "NoCell=nocell", "Last"}
        << false << "" << false << false << QStringList{"First", "Last"} << 2;
}

void TestPageSetupRun::selection()
{
    QFETCH(QStringList, sheets);
    QFETCH(bool, appointed);
    QFETCH(QString, names);
    QFETCH(bool, onlyFirst);
    QFETCH(bool, skipEmpty);
    QFETCH(QStringList, changed);
    QFETCH(int, counted);

    Harness h;
    const QString path = h.book(QStringLiteral("a.xlsx"), sheets);
    h.options.sheets.appointedSheetsOnly = appointed;
    h.options.sheets.appointedSheetNames = names;
    h.options.sheets.onlyFirstSheet = onlyFirst;
    h.options.sheets.skipEmptySheets = skipEmpty;
    h.options.changeOrientation = true;
    h.options.orientation = 2;
    const runs::RunResult result = h.run();

    QStringList seen;
    for (const FakeSheet& sheet : h.fake.workbook(path).sheets) {
        if (sheet.pageSetup.contains(QStringLiteral("Orientation")))
            seen << sheet.name;
    }
    QCOMPARE(seen, changed);
    QCOMPARE(result.workbooks, 1);
    QCOMPARE(result.sheets, counted);
    // Saved whether or not a sheet changed.
    QCOMPARE(h.fake.workbook(path).saveCount, 1);
    QCOMPARE(h.env.progress().last(), report(1, counted));
    QVERIFY(result.failed.isEmpty());
    checkClean(h);
}

void TestPageSetupRun::failures()
{
    Harness h;
    FakeWorkbook unopenable = FakeWorkbook::withSheets({QStringLiteral("S1")});
    unopenable.openFails = true;
    FakeWorkbook unsavable = FakeWorkbook::withSheets({QStringLiteral("S1"), QStringLiteral("S2")});
    unsavable.saveFails = true;
    FakeWorkbook unwritable =
        FakeWorkbook::withSheets({QStringLiteral("S1"), QStringLiteral("S2")});
    unwritable.sheets[1].pageSetupWritesFail = true;
    FakeWorkbook noSheets = FakeWorkbook::withSheets({QStringLiteral("S1")});
    noSheets.sheetCount = -1;
    const QString p1 = h.book(QStringLiteral("a.xlsx"), unopenable);
    const QString p2 = h.book(QStringLiteral("b.xlsx"), unsavable);
    const QString p3 =
        h.book(QStringLiteral("c.xlsx"), {QStringLiteral("S1"), QStringLiteral("S2")});
    const QString p4 = h.book(QStringLiteral("d.xlsx"), unwritable);
    const QString p5 = h.book(QStringLiteral("e.xlsx"), noSheets);
    h.options.left = {true, 2.0};
    const runs::RunResult result = h.run();

    QCOMPARE(result.ending, runs::Ending::Normal);
    // The unopenable workbook counts, as always; the ones that were opened
    // but not changed for good do not.
    QCOMPARE(h.env.progress().last(), report(2, 2));
    const QStringList failed{p1, p2, p4, p5};
    QCOMPARE(result.failedPaths(), failed);
    QByteArray bytes;
    for (const QString& path : failed) {
        bytes += path.toLocal8Bit();
#ifdef Q_OS_WIN
        bytes += "\r\n";
#else
        bytes += "\n";
#endif
    }
    QFile list(h.options.failedListPath);
    QVERIFY(list.open(QIODevice::ReadOnly));
    QCOMPARE(list.readAll(), bytes);
    QCOMPARE(h.env.openedLists(), QStringList{QDir::toNativeSeparators(h.options.failedListPath)});
    // A failed save still closes the workbook; one without sheets is closed
    // unsaved.
    QCOMPARE(h.fake.workbook(p2).closeCount, 1);
    QCOMPARE(h.fake.workbook(p5).closeCount, 1);
    QCOMPARE(h.fake.workbook(p5).saveCount, 0);
    // All or nothing: a workbook one of whose changes failed is not saved.
    QCOMPARE(h.fake.workbook(p4).saveCount, 0);
    checkClean(h);
}

void TestPageSetupRun::lostApplication()
{
    Harness h;
    h.book(QStringLiteral("a.xlsx"), {QStringLiteral("S1")});
    const QString p2 =
        h.book(QStringLiteral("b.xlsx"), {QStringLiteral("S1"), QStringLiteral("S2")});
    const QString p3 = h.book(QStringLiteral("c.xlsx"), {QStringLiteral("S1")});
    h.fake.setOnCall([&](const QString& line) {
        // The application dies at the second workbook's save.
        if (line == QStringLiteral("open ") + p2 + QStringLiteral(" ForEditing"))
            h.fake.setLoseAt(QStringLiteral("Save"));
    });
    const runs::RunResult result = h.run();
    h.fake.setOnCall(nullptr);

    QCOMPARE(result.ending, runs::Ending::Normal);
    QCOMPARE(result.failedPaths(), QStringList{p2});
    QCOMPARE(h.env.progress().last(), report(2, 2));
    QCOMPARE(h.fake.workbook(p3).saveCount, 1);
    QCOMPARE(h.fake.calls({QStringLiteral("Restart")}).size(), 1);
    checkClean(h);
}

void TestPageSetupRun::quitBetweenWorkbooks()
{
    Harness h;
    const QString p1 =
        h.book(QStringLiteral("a.xlsx"), {QStringLiteral("S1"), QStringLiteral("S2")});
    h.book(QStringLiteral("b.xlsx"), {QStringLiteral("S1")});
    h.fake.setOnCall([&](const QString& line) {
        if (line == QLatin1String("PageSetup"))
            h.control.quitRequested = true;
    });
    const runs::RunResult result = h.run();
    h.fake.setOnCall(nullptr);

    // The workbook in hand is finished and saved; the next is not opened.
    QCOMPARE(result.ending, runs::Ending::Stopped);
    QCOMPARE(h.fake.calls({QStringLiteral("open ")}).size(), 1);
    QCOMPARE(h.fake.calls({QStringLiteral("PageSetup")}).size(), 2);
    QCOMPARE(h.fake.workbook(p1).saveCount, 1);
    QCOMPARE(h.fake.calls({QStringLiteral("Close"), QStringLiteral("Quit")}),
             (QStringList{QStringLiteral("Close"), QStringLiteral("Quit")}));
    QCOMPARE(h.env.progress().last(), QStringLiteral("已停止"));
    QVERIFY(!QFile::exists(h.options.failedListPath));
    checkClean(h);
}

void TestPageSetupRun::noApplication()
{
    Harness h;
    h.book(QStringLiteral("a.xlsx"), {QStringLiteral("S1")});
    h.fake.setNoWorkbooks(true);
    const runs::RunResult result = h.run();

    QCOMPARE(result.ending, runs::Ending::NoApplication);
    QCOMPARE(h.env.progress(),
             (QStringList{QStringLiteral("excel OK!"), QStringLiteral("WorkBooks OK!"),
                          QStringLiteral("本功能需要电脑中装有微软office或金山wps专业版(注意是专业"
                                         "版,不是个人版)!")}));
    QCOMPARE(h.fake.calls({QStringLiteral("open"), QStringLiteral("Quit")}),
             QStringList{QStringLiteral("Quit")});
    checkClean(h);
}

QTEST_GUILESS_MAIN(TestPageSetupRun)
#include "tst_pagesetuprun.moc"
