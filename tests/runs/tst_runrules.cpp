// The pure rules the runs share: which sheets are acted on, and the texts the
// runs' events are shown as.
#include "runs/messages.h"
#include "runs/sheetselection.h"

#include <QtTest>

class TestRunRules : public QObject
{
    Q_OBJECT

private slots:
    void sheetSelection_data();
    void sheetSelection();
    void eventTexts_data();
    void eventTexts();
};

void TestRunRules::sheetSelection_data()
{
    QTest::addColumn<bool>("appointed");
    QTest::addColumn<QString>("names");
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<int>("matches");

    QTest::newRow("no names asked: once") << false << "Other"
                                          << "Sheet1" << 1;
    QTest::newRow("named") << true << "Sheet2||Sheet3"
                           << "Sheet3" << 1;
    QTest::newRow("not named") << true << "Sheet2||Sheet3"
                               << "Sheet1" << 0;
    QTest::newRow("named twice") << true << "Sheet1||Sheet1"
                                 << "Sheet1" << 2;
    QTest::newRow("blank before the separator") << true << "Sheet2 ||Sheet3"
                                                << "Sheet2" << 0;
    QTest::newRow("case matters") << true << "sheet1"
                                  << "Sheet1" << 0;
    QTest::newRow("empty names text") << true << ""
                                      << "Sheet1" << 0;
    QTest::newRow("single bar is part of a name") << true << "A|B"
                                                  << "A|B" << 1;
}

void TestRunRules::sheetSelection()
{
    QFETCH(bool, appointed);
    QFETCH(QString, names);
    QFETCH(QString, sheet);
    QFETCH(int, matches);

    runs::SheetSelection selection;
    selection.appointedSheetsOnly = appointed;
    selection.appointedSheetNames = names;
    QCOMPARE(runs::sheetMatches(selection, runs::appointedNames(selection), sheet), matches);

    // Visiting and emptiness, the same for every row.
    QCOMPARE(runs::sheetsToVisit(selection, 3), 3);
    selection.onlyFirstSheet = true;
    QCOMPARE(runs::sheetsToVisit(selection, 3), 1);
    QCOMPARE(runs::sheetsToVisit(selection, -1), 0);
    QVERIFY(runs::isEmptySheet(1, 1, QString()));
    QVERIFY(!runs::isEmptySheet(1, 1, QStringLiteral("0")));
    QVERIFY(!runs::isEmptySheet(1, 2, QString()));
}

void TestRunRules::eventTexts_data()
{
    using Type = runs::RunEvent::Type;
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("print");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("failure");

    QTest::newRow("starting") << int(Type::ApplicationStarting) << true << "excel OK!" << false;
    QTest::newRow("ready") << int(Type::ApplicationReady) << true << "WorkBooks OK!" << false;
    QTest::newRow("no application")
        << int(Type::NoApplication) << true
        << QString::fromUtf8(
               "本功能需要电脑中装有微软office或金山wps专业版(注意是专业版,不是个人版)!")
        << true;
    QTest::newRow("workbook delay")
        << int(Type::WorkbookDelay) << true << QString::fromUtf8("工作簿文件延时:7秒!") << false;
    QTest::newRow("sheet delay") << int(Type::SheetDelay) << true
                                 << QString::fromUtf8("Sheet表延时:7秒!") << false;
    QTest::newRow("workbook") << int(Type::WorkbookStarted) << true << "/a/b.xlsx" << false;
    QTest::newRow("invalid range")
        << int(Type::InvalidRange) << true
        << QString::fromUtf8("此文件指定区域无效,请重新设置!/a/b.xlsx") << true;
    QTest::newRow("lost") << int(Type::ApplicationLost) << true
                          << QString::fromUtf8("电子表格程序已停止响应,运行已结束。") << true;
    QTest::newRow("stopped") << int(Type::Stopped) << true << QString::fromUtf8("已停止") << false;
    QTest::newRow("print report") << int(Type::Report) << true
                                  << QString::fromUtf8("成功打印2个工作簿的5个sheet。耗时3秒。")
                                  << false;
    QTest::newRow("page-setup report")
        << int(Type::Report) << false << QString::fromUtf8("成功修改2个工作簿的5个sheet。耗时3秒。")
        << false;
    QTest::newRow("workbook failed, with the reason")
        << int(Type::WorkbookFailed) << true
        << QString::fromUtf8("/a/b.xlsx：文件已在其他程序中打开（Li Lei）") << true;
    QTest::newRow("workbook skipped: no line") << int(Type::WorkbookSkipped) << true << "" << false;
    QTest::newRow("sheet done: no line") << int(Type::SheetDone) << true << "" << false;
    QTest::newRow("run ended: no line") << int(Type::RunEnded) << true << "" << false;
}

void TestRunRules::eventTexts()
{
    QFETCH(int, type);
    QFETCH(bool, print);
    QFETCH(QString, text);
    QFETCH(bool, failure);

    runs::RunEvent event;
    event.type = runs::RunEvent::Type(type);
    event.run = print ? runs::RunType::Print : runs::RunType::PageSetup;
    event.seconds = 7;
    event.path = QStringLiteral("/a/b.xlsx");
    event.workbooks = 2;
    event.sheets = 5;
    event.elapsedSeconds = 3;
    event.failure = {spreadsheet::FailureKind::LockedByOther, QStringLiteral("Li Lei")};
    QCOMPARE(runs::eventText(event), text);
    QCOMPARE(runs::isFailureEvent(event), failure);
}

QTEST_GUILESS_MAIN(TestRunRules)
#include "tst_runrules.moc"
