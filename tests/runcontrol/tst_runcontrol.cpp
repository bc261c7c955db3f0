// The window side of the two runs: the start buttons with the folder check,
// the settings entry, the options copied from the controls, the failure list,
// the worker and its thread; pause, stop, progress, the end of a run, and a
// run still going when the program quits.  Beyond those: the print target
// choice, the progress bar, listing the failed workbooks again, dropped
// folders and the notification at the end of a long run.
#include "app/mainwindow.h"
#include "runcontrol/runprogress.h"
#include "runcontrol/runworker.h"
#include "settings/settingsfile.h"
#include "spreadsheet/spreadsheet.h"
#include "support/fakespreadsheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QtTest>

#include <atomic>
#include <functional>
#include <memory>

namespace {

// What the quick application does when a run starts it; empty: nothing.
std::function<void()> onApplicationStart;
std::atomic<int> applicationsQuit{0};

// A spreadsheet application that is never there: its workbooks collection is
// null, so a run ends at once with the no-application ending.
class QuickApplication : public spreadsheet::Application
{
public:
    void start() override
    {
        if (onApplicationStart)
            onApplicationStart();
    }
    spreadsheet::Workbooks* workbooks() override { return nullptr; }
    double centimetersToPoints(double centimetres) override { return centimetres / 2.54 * 72; }
    void quit() override { ++applicationsQuit; }
    bool lost() const override { return false; }
    spreadsheet::Failure lostFailure() const override { return {}; }
    bool restart() override { return false; }
    void setPrintTarget(const spreadsheet::PrintTarget&) override {}
};

// The spreadsheet application the window's runs get; the quick one unless a
// test puts another in place.
std::function<std::unique_ptr<spreadsheet::Application>()> applicationFactory;

// The printers the system has for the window under test, and the
// notifications it showed.
printers::PrinterList systemPrinters;
QStringList notifications;

runcontrol::Services testServices()
{
    runcontrol::Services services;
    services.listPrinters = [] { return systemPrinters; };
    services.notify = [](const QString& title, const QString& text) {
        notifications << title + QLatin1Char('|') + text;
    };
    services.environment.createApplication = [] { return applicationFactory(); };
    services.environment.sleep = [](int) {};
    services.environment.now = [] { return qint64(1000); };
    services.environment.showFailedList = [](const QString&) {};
    return services;
}

// The flags of the window under test.
runs::RunControl* control = nullptr;

// Waits (polling) until the program asks the run to end; bounded so that a
// fault cannot hang the test.
void waitForQuitRequest()
{
    for (int i = 0; i < 2000 && !control->quitRequested; ++i)
        QThread::msleep(10);
}

} // namespace

class RunControlTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MainWindow> window;
    QString folder;
    QString settingsFile;

    template <typename T>
    T* child(const char* name)
    {
        T* widget = window->findChild<T*>(QLatin1String(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }
    QPushButton* button(const char* name) { return child<QPushButton>(name); }
    QString status() { return child<QLabel>("lb_ShowDisposing")->text(); }
    bool startButtonsEnabled()
    {
        return button("pBtn_FileMerge")->isEnabled() && button("pBtn_ChangeMargin")->isEnabled();
    }
    void clickStart(const QString& kind)
    {
        QTest::mouseClick(
            button(kind == QLatin1String("print") ? "pBtn_FileMerge" : "pBtn_ChangeMargin"),
            Qt::LeftButton);
    }
    void setFolder(const QString& text) { child<QLineEdit>("lEdt_SourcePath")->setText(text); }
    QByteArray storedSourcePath()
    {
        QByteArray value;
        settings::readSetting(settingsFile, "sourcePath", value);
        return value;
    }
    static void addKindRows()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("print") << "print";
        QTest::newRow("page setup") << "pagesetup";
    }

private slots:
    void init()
    {
        applicationFactory = [] { return std::make_unique<QuickApplication>(); };
        onApplicationStart = nullptr;
        applicationsQuit = 0;
        systemPrinters = printers::PrinterList();
        notifications.clear();
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        folder = dir->filePath(QStringLiteral("工作簿"));
        QVERIFY(QDir().mkpath(folder));
        settingsFile = dir->filePath(QStringLiteral("Quorvane.mrw"));
        QFile file(settingsFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("sourcePath=old\r\nother=1\r\n");
        file.close();

        window = std::make_unique<MainWindow>(testServices());
        control = &window->runControl();
        window->setSettingsPath(settingsFile);
        setFolder(folder);
    }
    void cleanup()
    {
        window.reset();
        onApplicationStart = nullptr;
        dir.reset();
    }

    void missingFolder_data();
    void missingFolder();
    void folderRecordedAtStart_data() { addKindRows(); }
    void folderRecordedAtStart();
    void runStartsAndEnds_data() { addKindRows(); }
    void runStartsAndEnds();
    void secondStartDisposesOfFirstWorker_data();
    void secondStartDisposesOfFirstWorker();
    void pauseAndContinue_data() { addKindRows(); }
    void pauseAndContinue();
    void stopFlag_data() { addKindRows(); }
    void stopFlag();
    void printOptions_data();
    void printOptions();
    void pageSetupOptions_data();
    void pageSetupOptions();
    void pageSetupLeavesPrintOptions();
    void failedListDeletedAtStart_data();
    void failedListDeletedAtStart();
    void progressShown_data();
    void progressShown();
    void timeLeft_data();
    void timeLeft();
    void printTarget_data();
    void printTarget();
    void failedWorkbooksListedAgain();
    void droppedFolder_data();
    void droppedFolder();
    void notificationAtEnd_data();
    void notificationAtEnd();
    void quitEndsRunAfterWorkbookInHand();
    void closingWindowEndsRun();
    void quitWhenRunWillNotEnd();
};

void RunControlTest::missingFolder_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("folderText");

    for (const char* kind : {"print", "pagesetup"}) {
        QTest::addRow("%s, empty", kind) << kind << "";
        QTest::addRow("%s, no such folder", kind) << kind << "/no/such/folder/here";
        QTest::addRow("%s, a file", kind) << kind << "FILE";
    }
}

void RunControlTest::missingFolder()
{
    QFETCH(QString, kind);
    QFETCH(QString, folderText);

    if (folderText == QLatin1String("FILE")) {
        folderText = dir->filePath(QStringLiteral("plain.txt"));
        QFile file(folderText);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    setFolder(folderText);
    child<QPlainTextEdit>("pTEdt_ExceFilesPathList")->setPlainText(QStringLiteral("/x/a.xlsx"));
    window->printOptions().workbookList = QStringLiteral("earlier list");
    control->pauseRequested = true;
    control->stopRequested = true;
    child<QCheckBox>("cBox_OnlyFirstSheet")->setChecked(true);
    QSignalSpy printStarts(window.get(), &MainWindow::pBtn_FileMerge_HasClicked);
    QSignalSpy pageSetupStarts(window.get(), &MainWindow::pBtn_ChangeMargin_HasClicked);

    clickStart(kind);

    QCOMPARE(status(), QStringLiteral("文件夹不存在"));
    QVERIFY(startButtonsEnabled());
    QVERIFY(!window->currentWorker());
    QVERIFY(!window->currentWorkerThread());
    QCOMPARE(printStarts.count() + pageSetupStarts.count(), 0);
    QCOMPARE(storedSourcePath(), folderText.toLocal8Bit());
    QCOMPARE(window->printOptions().workbookList, QStringLiteral("earlier list"));
    QVERIFY(control->pauseRequested);
    QVERIFY(control->stopRequested);
    QVERIFY(!window->printOptions().sheets.onlyFirstSheet);
    QVERIFY(!window->pageSetupOptions().sheets.onlyFirstSheet);
    QCOMPARE(button("pBtn_Pause")->text(), QStringLiteral("暂停"));
}

void RunControlTest::folderRecordedAtStart()
{
    QFETCH(QString, kind);
    clickStart(kind);
    QCOMPARE(storedSourcePath(), folder.toLocal8Bit());
    QByteArray other;
    settings::readSetting(settingsFile, "other", other);
    QCOMPARE(other, QByteArray("1"));
    QTRY_VERIFY(startButtonsEnabled());
}

void RunControlTest::runStartsAndEnds()
{
    QFETCH(QString, kind);
    const bool print = kind == QLatin1String("print");

    child<QLabel>("lb_ShowDisposing")->setText(QStringLiteral("last run's summary"));
    QSignalSpy printStarts(window.get(), &MainWindow::pBtn_FileMerge_HasClicked);
    QSignalSpy pageSetupStarts(window.get(), &MainWindow::pBtn_ChangeMargin_HasClicked);
    QSemaphore release;
    onApplicationStart = [&release] { release.tryAcquire(1, 20000); };

    clickStart(kind);

    // Running: both start buttons off, pause and stop still on, one start
    // signal for one click, the worker in its own running thread.
    QVERIFY(!button("pBtn_FileMerge")->isEnabled());
    QVERIFY(!button("pBtn_ChangeMargin")->isEnabled());
    QVERIFY(button("pBtn_Pause")->isEnabled());
    QVERIFY(button("pBtn_Stop")->isEnabled());
    QCOMPARE(status(), QString());
    QCOMPARE(printStarts.count(), print ? 1 : 0);
    QCOMPARE(pageSetupStarts.count(), print ? 0 : 1);
    QVERIFY(window->currentWorker());
    QVERIFY(window->currentWorkerThread());
    QCOMPARE(window->currentWorker()->thread(), window->currentWorkerThread());
    QVERIFY(window->currentWorkerThread()->isRunning());
    QVERIFY(window->currentWorkerThread() != QThread::currentThread());
    QVERIFY(!window->currentWorker()->parent());
    if (!print)
        QCOMPARE(window->pageSetupOptions().folder, folder);

    release.release();
    QTRY_VERIFY(startButtonsEnabled());
    // The run's last message stays; the worker and its thread stay, idle.
    QVERIFY(!status().isEmpty());
    QCOMPARE(applicationsQuit.load(), 1);
    QVERIFY(window->currentWorker());
    QVERIFY(window->currentWorkerThread()->isRunning());
}

void RunControlTest::secondStartDisposesOfFirstWorker_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("print, print") << "print"
                                  << "print";
    QTest::newRow("print, page setup") << "print"
                                       << "pagesetup";
    QTest::newRow("page setup, print") << "pagesetup"
                                       << "print";
}

void RunControlTest::secondStartDisposesOfFirstWorker()
{
    QFETCH(QString, first);
    QFETCH(QString, second);

    clickStart(first);
    QTRY_VERIFY(startButtonsEnabled());
    QPointer<RunWorker> firstWorker = window->currentWorker();
    QPointer<QThread> firstThread = window->currentWorkerThread();
    QVERIFY(firstWorker && firstThread);

    // The first run's failure list goes at the second start.
    const QString failedList = folder + QStringLiteral("/无法打印的文件目录.txt");
    QFile file(failedList);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QSignalSpy printStarts(window.get(), &MainWindow::pBtn_FileMerge_HasClicked);
    clickStart(second);
    QVERIFY(firstWorker.isNull());
    QVERIFY(firstThread.isNull());
    QVERIFY(window->currentWorker());
    QVERIFY(!QFile::exists(failedList));
    QTRY_VERIFY(startButtonsEnabled());
    // Only the new worker answered the start signal: one run, one quit.
    QCOMPARE(applicationsQuit.load(), 2);
    QCOMPARE(printStarts.count(), second == QLatin1String("print") ? 1 : 0);
}

void RunControlTest::pauseAndContinue()
{
    QFETCH(QString, kind);
    QPushButton* pause = button("pBtn_Pause");

    QTest::mouseClick(pause, Qt::LeftButton);
    QCOMPARE(pause->text(), QStringLiteral("继续"));
    QVERIFY(control->pauseRequested);
    QTest::mouseClick(pause, Qt::LeftButton);
    QCOMPARE(pause->text(), QStringLiteral("暂停"));
    QVERIFY(!control->pauseRequested);
    QTest::mouseClick(pause, Qt::LeftButton);
    QCOMPARE(pause->text(), QStringLiteral("继续"));

    clickStart(kind);
    if (kind == QLatin1String("print")) {
        QCOMPARE(pause->text(), QStringLiteral("暂停"));
        QVERIFY(!control->pauseRequested);
    } else {
        // A page-setup run is not held by the pause button, nor does it reset it.
        QCOMPARE(pause->text(), QStringLiteral("继续"));
        QVERIFY(control->pauseRequested);
    }
    QTRY_VERIFY(startButtonsEnabled());
}

void RunControlTest::stopFlag()
{
    QFETCH(QString, kind);
    QTest::mouseClick(button("pBtn_Stop"), Qt::LeftButton);
    QVERIFY(control->stopRequested);
    QCOMPARE(status(), QString());
    QVERIFY(startButtonsEnabled());
    QTest::mouseClick(button("pBtn_Stop"), Qt::LeftButton);
    QVERIFY(control->stopRequested);

    clickStart(kind);
    QTRY_VERIFY(startButtonsEnabled());
    QCOMPARE(bool(control->stopRequested), kind != QLatin1String("print"));
}

void RunControlTest::printOptions_data()
{
    QTest::addColumn<bool>("skipEmpty");
    QTest::addColumn<bool>("appointed");
    QTest::addColumn<QString>("names");
    QTest::addColumn<bool>("onlyFirst");
    QTest::addColumn<bool>("range");
    QTest::addColumn<QString>("rangeText");
    QTest::addColumn<int>("sheetDelay");
    QTest::addColumn<int>("workbookDelay");
    QTest::addColumn<int>("paper");
    QTest::addColumn<QString>("listText");
    // Expected where the boxes are unchecked: the earlier values stay.
    QTest::addColumn<QString>("expectedNames");
    QTest::addColumn<QString>("expectedRange");
    QTest::addColumn<QString>("expectedPaper");
    QTest::addColumn<QString>("expectedList");

    QTest::newRow("boxes unchecked keep earlier values")
        << false << false << "Sheet9" << false << false << "Z9" << 0 << 0 << 0 << ""
        << "earlier names"
        << "earlier range" << QString::fromUtf8("默认") << "";
    QTest::newRow("names taken as typed") << true << true << " Sheet2||Sheet3 " << false << false
                                          << "Z9" << 3 << 0 << 2 << "/a/b.xlsx\n"
                                          << " Sheet2||Sheet3 "
                                          << "earlier range"
                                          << "A4"
                                          << "/a/b.xlsx";
    QTest::newRow("range trimmed") << true << false << "Sheet9" << true << true << " A1:H20 " << 0
                                   << 900 << 5 << "  /a/b.xlsx\n/c d/e.xls\n\n \t"
                                   << "earlier names"
                                   << "A1:H20"
                                   << "B5"
                                   << "/a/b.xlsx\n/c d/e.xls";
    QTest::newRow("every box") << false << true << "S||T" << true << true << "b2:c3" << 900 << 1
                               << 1 << "  \n "
                               << "S||T"
                               << "b2:c3"
                               << "A3"
                               << "";
}

void RunControlTest::printOptions()
{
    QFETCH(bool, skipEmpty);
    QFETCH(bool, appointed);
    QFETCH(QString, names);
    QFETCH(bool, onlyFirst);
    QFETCH(bool, range);
    QFETCH(QString, rangeText);
    QFETCH(int, sheetDelay);
    QFETCH(int, workbookDelay);
    QFETCH(int, paper);
    QFETCH(QString, listText);
    QFETCH(QString, expectedNames);
    QFETCH(QString, expectedRange);
    QFETCH(QString, expectedPaper);
    QFETCH(QString, expectedList);

    runs::PrintOptions& o = window->printOptions();
    o.sheets.appointedSheetNames = QStringLiteral("earlier names");
    o.printRange = QStringLiteral("earlier range");
    o.workbookList = QStringLiteral("earlier list");

    child<QCheckBox>("cBox_SkipEmptySheet")->setChecked(skipEmpty);
    child<QCheckBox>("cBox_AppointedSheet")->setChecked(appointed);
    child<QLineEdit>("lEdt_AppointedSeetName")->setText(names);
    child<QCheckBox>("cBox_OnlyFirstSheet")->setChecked(onlyFirst);
    child<QCheckBox>("cBox_PrintRange")->setChecked(range);
    child<QLineEdit>("lEdt_PrintRange")->setText(rangeText);
    child<QSpinBox>("sBox_PrintDelay")->setValue(sheetDelay);
    child<QSpinBox>("sBox_PrintDelayWb")->setValue(workbookDelay);
    child<QComboBox>("cmBox_PaperSize")->setCurrentIndex(paper);
    child<QPlainTextEdit>("pTEdt_ExceFilesPathList")->setPlainText(listText);

    clickStart(QStringLiteral("print"));

    QCOMPARE(o.sheets.skipEmptySheets, skipEmpty);
    QCOMPARE(o.sheets.appointedSheetsOnly, appointed);
    QCOMPARE(o.sheets.appointedSheetNames, expectedNames);
    QCOMPARE(o.sheets.onlyFirstSheet, onlyFirst);
    QCOMPARE(o.printRangeOnly, range);
    QCOMPARE(o.printRange, expectedRange);
    QCOMPARE(o.sheetDelaySeconds, sheetDelay);
    QCOMPARE(o.workbookDelaySeconds, workbookDelay);
    QCOMPARE(o.paperSize, expectedPaper);
    QCOMPARE(o.workbookList, expectedList);
    QCOMPARE(o.failedListPath, folder + QStringLiteral("/无法打印的文件目录.txt"));
    // An empty list starts a run all the same.
    QVERIFY(window->currentWorker());
    QTRY_VERIFY(startButtonsEnabled());
}

void RunControlTest::pageSetupOptions_data()
{
    QTest::addColumn<QList<bool>>("checked"); // left, right, top, bottom, header, footer
    QTest::addColumn<QList<double>>("typed");
    QTest::addColumn<bool>("orientationChecked");
    QTest::addColumn<bool>("landscape");
    QTest::addColumn<QList<double>>("expected"); // -1: the earlier value 9.5
    QTest::addColumn<int>("expectedOrientation");

    const QList<double> typed{1.0, 2.25, 0.5, 3.0, 0.0, 99.99};
    QTest::newRow("nothing checked")
        << QList<bool>{false, false, false, false, false, false} << typed << false << true
        << QList<double>{-1, -1, -1, -1, -1, -1} << 2;
    QTest::newRow("left and footer")
        << QList<bool>{true, false, false, false, false, true} << typed << false << false
        << QList<double>{1.0, -1, -1, -1, -1, 99.99} << 2;
    QTest::newRow("all, landscape")
        << QList<bool>{true, true, true, true, true, true} << typed << true << true
        << QList<double>{1.0, 2.25, 0.5, 3.0, 0.0, 99.99} << 2;
    QTest::newRow("top and header, portrait")
        << QList<bool>{false, false, true, false, true, false} << typed << true << false
        << QList<double>{-1, -1, 0.5, -1, 0.0, -1} << 1;
}

void RunControlTest::pageSetupOptions()
{
    QFETCH(QList<bool>, checked);
    QFETCH(QList<double>, typed);
    QFETCH(bool, orientationChecked);
    QFETCH(bool, landscape);
    QFETCH(QList<double>, expected);
    QFETCH(int, expectedOrientation);

    runs::PageSetupOptions& o = window->pageSetupOptions();
    runs::MarginSetting* margins[] = {&o.left, &o.right, &o.top, &o.bottom, &o.header, &o.footer};
    const char* boxes[] = {"LeftMargin",   "RightMargin",  "TopMargin",
                           "BottomMargin", "HeaderMargin", "FooterMargin"};
    for (int i = 0; i < 6; ++i) {
        *margins[i] = {!checked[i], 9.5};
        const QByteArray side(boxes[i]);
        child<QCheckBox>(("cBox_" + side).constData())->setChecked(checked[i]);
        child<QDoubleSpinBox>(("dsBox_" + side).constData())->setValue(typed[i]);
    }
    o.orientation = 2;
    o.changeOrientation = !orientationChecked;
    child<QCheckBox>("cBox_Orientation")->setChecked(orientationChecked);
    child<QRadioButton>(landscape ? "rBtn_Orientation2" : "rBtn_Orientation1")->setChecked(true);

    clickStart(QStringLiteral("pagesetup"));

    for (int i = 0; i < 6; ++i) {
        QVERIFY2(margins[i]->change == checked[i], boxes[i]);
        QCOMPARE(margins[i]->centimetres, expected[i] < 0 ? 9.5 : expected[i]);
    }
    QCOMPARE(o.changeOrientation, orientationChecked);
    QCOMPARE(o.orientation, expectedOrientation);
    QTRY_VERIFY(startButtonsEnabled());
}

void RunControlTest::pageSetupLeavesPrintOptions()
{
    runs::PrintOptions& o = window->printOptions();
    o.workbookList = QStringLiteral("earlier list");
    o.printRangeOnly = true;
    o.printRange = QStringLiteral("A1");
    o.sheetDelaySeconds = 7;
    o.workbookDelaySeconds = 8;
    o.paperSize = QStringLiteral("B4");
    child<QCheckBox>("cBox_PrintRange")->setChecked(false);
    child<QSpinBox>("sBox_PrintDelay")->setValue(1);
    child<QComboBox>("cmBox_PaperSize")->setCurrentIndex(2);
    child<QPlainTextEdit>("pTEdt_ExceFilesPathList")->setPlainText(QStringLiteral("/x.xlsx"));
    child<QCheckBox>("cBox_OnlyFirstSheet")->setChecked(true);
    child<QCheckBox>("cBox_SkipEmptySheet")->setChecked(false);

    clickStart(QStringLiteral("pagesetup"));

    QCOMPARE(o.workbookList, QStringLiteral("earlier list"));
    QVERIFY(o.printRangeOnly);
    QCOMPARE(o.printRange, QStringLiteral("A1"));
    QCOMPARE(o.sheetDelaySeconds, 7);
    QCOMPARE(o.workbookDelaySeconds, 8);
    QCOMPARE(o.paperSize, QStringLiteral("B4"));
    // The options both runs share are read.
    QVERIFY(window->pageSetupOptions().sheets.onlyFirstSheet);
    QVERIFY(!window->pageSetupOptions().sheets.skipEmptySheets);
    QTRY_VERIFY(startButtonsEnabled());
}

void RunControlTest::failedListDeletedAtStart_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("trailingSlash");
    QTest::newRow("print") << "print" << false;
    QTest::newRow("page setup") << "pagesetup" << false;
    QTest::newRow("print, folder ending in /") << "print" << true;
    QTest::newRow("page setup, folder ending in /") << "pagesetup" << true;
}

void RunControlTest::failedListDeletedAtStart()
{
    QFETCH(QString, kind);
    QFETCH(bool, trailingSlash);

    const QString failedList = folder + QStringLiteral("/无法打印的文件目录.txt");
    QFile file(failedList);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("/old/a.xlsx\r\n");
    file.close();
    const QString folderText = trailingSlash ? folder + '/' : folder;
    setFolder(folderText);

    clickStart(kind);

    QVERIFY(!QFile::exists(failedList));
    const QString failedListPath = kind == QLatin1String("print")
                                       ? window->printOptions().failedListPath
                                       : window->pageSetupOptions().failedListPath;
    QCOMPARE(failedListPath, folderText + QStringLiteral("/无法打印的文件目录.txt"));
    QVERIFY(window->currentWorker());
    QTRY_VERIFY(startButtonsEnabled());
}

namespace {

using Type = runs::RunEvent::Type;
using Events = QList<runs::RunEvent>;

// An event of the kind; its number goes to total, seconds or the failure.
runs::RunEvent ev(Type type, const char* path = "", int number = 0,
                  runs::RunType run = runs::RunType::Print)
{
    runs::RunEvent event;
    event.type = type;
    event.run = run;
    event.path = QString::fromUtf8(path);
    event.total = number;
    event.elapsedSeconds = number;
    event.workbooks = 2;
    event.sheets = 5;
    if (type == Type::WorkbookFailed || (type == Type::WorkbookSkipped && number))
        event.failure.kind = spreadsheet::FailureKind::Damaged;
    return event;
}

} // namespace

void RunControlTest::progressShown_data()
{
    QTest::addColumn<Events>("events");
    QTest::addColumn<QString>("expectedStatus");
    QTest::addColumn<int>("settled"); // -1: the bar is hidden
    QTest::addColumn<int>("total");
    QTest::addColumn<QString>("progressText"); // its start; the times follow
    QTest::addColumn<QString>("retryText");    // empty: no button

    const auto row = [](const char* tag, const Events& events, const char* status, int settled,
                        int total, const char* text, const char* retry) {
        QTest::newRow(tag) << events << QString::fromUtf8(status) << settled << total
                           << QString::fromUtf8(text) << QString::fromUtf8(retry);
    };
    const auto page = runs::RunType::PageSetup;
    const runs::RunEvent sheet = ev(Type::SheetDone), done = ev(Type::WorkbookDone),
                         ended = ev(Type::RunEnded);
    row("workbook started", {ev(Type::RunStarted, "", 3), ev(Type::WorkbookStarted, "/a/b c  ")},
        "/a/b c  ", 0, 3, "已打印0个表，用时", "");
    row("done and failed",
        {ev(Type::RunStarted, "", 3), sheet, sheet, done, ev(Type::WorkbookFailed, "/x/b.xlsx")},
        "/x/b.xlsx：文件已损坏或不是工作簿", 2, 3, "已打印2个表，失败1个，用时", "");
    // A workbook that was not there is not one of the total; one the run
    // ended before is.
    row("skipped",
        {ev(Type::RunStarted, "", 2), ev(Type::WorkbookSkipped, "/gone", 1), done,
         ev(Type::WorkbookSkipped)},
        "", 2, 2, "已打印0个表，用时", "");
    row("changes of a failed workbook do not count",
        {ev(Type::RunStarted, "", 2, page), ev(Type::WorkbookStarted, "/a"), sheet, sheet,
         ev(Type::WorkbookFailed, "/a", 0, page), ev(Type::WorkbookStarted, "/b"), sheet, done},
        "/b", 2, 2, "已修改1个表，失败1个，用时", "");
    row("print run ends with failures",
        {ev(Type::RunStarted, "", 3), ev(Type::WorkbookFailed, "/b"), done,
         ev(Type::WorkbookFailed, "/a"), ev(Type::Report, "", 12), ended},
        "成功打印2个工作簿的5个sheet。耗时12秒。", -1, 3, "", "重新打印失败的2个工作簿");
    row("print run ends without failures",
        {ev(Type::RunStarted, "", 1), done, ev(Type::Report, "", 2), ended},
        "成功打印2个工作簿的5个sheet。耗时2秒。", -1, 1, "", "");
    row("page-setup failures are not printed again",
        {ev(Type::RunStarted, "", 1, page), ev(Type::WorkbookFailed, "/a", 0, page),
         ev(Type::Report, "", 1, page), ended},
        "成功修改2个工作簿的5个sheet。耗时1秒。", -1, 1, "", "");
}

void RunControlTest::progressShown()
{
    QFETCH(Events, events);
    QFETCH(QString, expectedStatus);
    QFETCH(int, settled);
    QFETCH(int, total);
    QFETCH(QString, progressText);
    QFETCH(QString, retryText);

    auto* bar = child<QProgressBar>("pgBar_RunProgress");
    auto* text = child<QLabel>("lb_RunProgress");
    auto* retry = child<QPushButton>("pBtn_RetryFailed");
    QVERIFY(bar->isHidden());
    clickStart(QStringLiteral("print"));
    QTRY_VERIFY(startButtonsEnabled());
    QVERIFY(bar->isHidden()); // idle again
    child<QLabel>("lb_ShowDisposing")->clear();

    for (const runs::RunEvent& event : events)
        emit window->currentWorker()->runEvent(event);

    QCOMPARE(status(), expectedStatus);
    QCOMPARE(bar->isHidden(), settled < 0);
    QCOMPARE(text->isHidden(), settled < 0);
    if (settled >= 0) {
        QCOMPARE(bar->value(), settled);
        QCOMPARE(bar->maximum(), total);
        QVERIFY2(text->text().startsWith(progressText), qPrintable(text->text()));
    }
    QCOMPARE(retry->isHidden(), retryText.isEmpty());
    if (!retryText.isEmpty())
        QCOMPARE(retry->text(), retryText);
}

void RunControlTest::timeLeft_data()
{
    QTest::addColumn<int>("total");
    QTest::addColumn<QList<int>>("settledAtMs"); // one workbook done at each
    QTest::addColumn<int>("nowMs");
    QTest::addColumn<QString>("expected");

    const auto row = [](const char* tag, int total, QList<int> at, int now, const char* text) {
        QTest::newRow(tag) << total << at << now << QString::fromUtf8("已打印0个表，用时") + text;
    };
    row("nothing settled yet", 4, {}, 5000, "0:05");
    row("mean of those settled", 4, {10000}, 10000, "0:10，剩余约0:30");
    row("counts down between workbooks", 4, {10000, 20000}, 25000, "0:25，剩余约0:15");
    row("never below zero", 3, {1000}, 9000, "0:09，剩余约0:00");
    row("over an hour", 3, {3600000}, 3725000, "1:02:05，剩余约1:57:55");
    row("all settled", 1, {4000}, 4000, "0:04");
}

void RunControlTest::timeLeft()
{
    QFETCH(int, total);
    QFETCH(QList<int>, settledAtMs);
    QFETCH(int, nowMs);
    QFETCH(QString, expected);

    runcontrol::RunProgress progress;
    progress.apply(ev(Type::RunStarted, "", total), 0);
    for (int ms : settledAtMs)
        progress.apply(ev(Type::WorkbookDone), ms);
    QCOMPARE(progress.summaryText(nowMs), expected);
}

void RunControlTest::printTarget_data()
{
    // Printers as "name|name*" (* the default one); entries joined by "|";
    // "DIR" is the test's folder.
    QTest::addColumn<QString>("printers");
    QTest::addColumn<QString>("remembered");      // the settings value; empty: none
    QTest::addColumn<QString>("printersAtStart"); // the list when the run starts
    QTest::addColumn<QString>("entries");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("target"); // its settings value, or the refusal
    QTest::addColumn<QString>("chosen"); // through "PDF 文件夹..." after the check of the list

    const auto row = [](const char* tag, const char* printers, const char* remembered,
                        const char* atStart, const char* entries, const char* shown,
                        const char* target, const char* chosen = "") {
        QTest::newRow(tag) << printers << remembered << atStart << QString::fromUtf8(entries)
                           << QString::fromUtf8(shown) << QString::fromUtf8(target) << chosen;
    };
    row("default preselected", "Office|Laser*", "", "Office|Laser",
        "Office|Laser（默认）|PDF 文件夹...", "Laser（默认）", "printer:Laser");
    row("remembered, any case", "Office|Laser*", "printer:office", "Office|Laser",
        "Office|Laser（默认）|PDF 文件夹...", "Office", "printer:Office");
    row("remembered, gone", "Office|Laser*", "printer:Old", "Office|Laser",
        "Office|Laser（默认）|Old（不可用）|PDF 文件夹...", "Old（不可用）",
        "打印机“Old”已不存在，请重新选择打印到哪里");
    row("removed before the run", "Office|Laser*", "", "Office",
        "Office|Laser（默认）|PDF 文件夹...", "Laser（默认）",
        "打印机“Laser”已不存在，请重新选择打印到哪里");
    row("no printers", "", "", "", "默认打印机|PDF 文件夹...", "默认打印机", "default");
    row("remembered PDF folder, made at the start", "Office|Laser*", "pdf:DIR/pdf out",
        "Office|Laser", "Office|Laser（默认）|PDF 文件夹：DIR/pdf out|PDF 文件夹...",
        "PDF 文件夹：DIR/pdf out", "pdf:DIR/pdf out");
    row("PDF folder that cannot be made", "Office", "pdf:DIR/plain.txt/pdf", "Office",
        "Office|PDF 文件夹：DIR/plain.txt/pdf|PDF 文件夹...", "PDF 文件夹：DIR/plain.txt/pdf",
        "无法创建PDF文件夹：DIR/plain.txt/pdf");
    row("PDF folder chosen", "Office", "", "Office", "Office|PDF 文件夹...", "Office",
        "pdf:DIR/chosen", "DIR/chosen");
    row("PDF folder dialog cancelled", "Office", "", "Office", "Office|PDF 文件夹...", "Office",
        "printer:Office", "CANCEL");
}

void RunControlTest::printTarget()
{
    QFETCH(QString, printers);
    QFETCH(QString, remembered);
    QFETCH(QString, printersAtStart);
    QFETCH(QString, entries);
    QFETCH(QString, shown);
    QFETCH(QString, target);
    QFETCH(QString, chosen);

    const auto withDir = [this](QString text) { return text.replace("DIR", dir->path()); };
    QVERIFY(testsupport::touchFile(dir->filePath(QStringLiteral("plain.txt"))));
    for (const QString& name : printers.split('|', Qt::SkipEmptyParts)) {
        systemPrinters.names << QString(name).remove('*');
        if (name.endsWith('*'))
            systemPrinters.defaultName = systemPrinters.names.last();
    }
    if (!remembered.isEmpty())
        settings::writeSetting(settingsFile, "printTarget", withDir(remembered).toLocal8Bit());
    window->setSettingsPath(settingsFile);

    auto* combo = child<QComboBox>("cmBox_Printer");
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    QCOMPARE(items.join('|'), withDir(entries));
    QCOMPARE(combo->currentText(), withDir(shown));

    if (!chosen.isEmpty()) {
        const bool cancel = chosen == QLatin1String("CANCEL");
        QString asked;
        MainWindow::setFolderChooser([&](QWidget*, const QString& caption, const QString&) {
            asked = caption;
            return cancel ? QString() : withDir(chosen);
        });
        combo->setCurrentIndex(combo->count() - 1);
        emit combo->activated(combo->count() - 1);
        MainWindow::setFolderChooser({});
        QCOMPARE(asked, QString::fromUtf8("选择保存PDF文件的文件夹"));
        if (!cancel)
            remembered = target; // a choice the user makes is remembered
    }
    systemPrinters.names = printersAtStart.split('|', Qt::SkipEmptyParts);
    QSignalSpy starts(window.get(), &MainWindow::pBtn_FileMerge_HasClicked);
    clickStart(QStringLiteral("print"));
    const QString used = printers::targetSettingValue(window->printOptions().target);
    if (starts.isEmpty()) {
        QCOMPARE(status(), withDir(target));
        QVERIFY(!window->currentWorker());
        QVERIFY(startButtonsEnabled());
    } else {
        QCOMPARE(used, withDir(target));
        if (target.startsWith(QLatin1String("pdf:")))
            QVERIFY(QFileInfo(window->printOptions().target.name).isDir());
        QTRY_VERIFY(startButtonsEnabled());
    }
    // Only a choice the user makes is written.
    QByteArray stored;
    settings::readSetting(settingsFile, "printTarget", stored);
    QCOMPARE(QString::fromLocal8Bit(stored), withDir(remembered));
}

void RunControlTest::failedWorkbooksListedAgain()
{
    testsupport::FakeSpreadsheet spreadsheet;
    QStringList paths;
    for (const char* name : {"a.xlsx", "sub/b.xls", "c.xlsx", "d.csv"}) {
        auto book = testsupport::FakeWorkbook::withSheets({QStringLiteral("Sheet1")});
        book.openFails = name[0] == 'c' || name[0] == 's';
        paths << testsupport::addWorkbookFile(spreadsheet, folder + '/' + name, book);
    }
    applicationFactory = spreadsheet.factory();
    auto* list = child<QPlainTextEdit>("pTEdt_ExceFilesPathList");
    const QString listed = QDir::fromNativeSeparators(paths.join('\n'));
    list->setPlainText(listed);
    auto* retry = child<QPushButton>("pBtn_RetryFailed");

    clickStart(QStringLiteral("print"));
    QTRY_VERIFY(startButtonsEnabled());
    QTest::mouseClick(retry, Qt::LeftButton);
    const QString failedOnes = folder + "/sub/b.xls\n" + folder + "/c.xlsx";
    QCOMPARE(list->toPlainText(), failedOnes);
    QVERIFY(retry->isHidden());
    // The earlier list is one undo away.
    list->undo();
    QCOMPARE(list->toPlainText(), listed);
    list->redo();

    clickStart(QStringLiteral("print"));
    QCOMPARE(window->printOptions().workbookList, failedOnes);
    QTRY_VERIFY(startButtonsEnabled());
}

void RunControlTest::droppedFolder_data()
{
    QTest::addColumn<QString>("dropped"); // in the test folder; "http:" a web address
    QTest::addColumn<QString>("onto");
    QTest::addColumn<QString>("expectedFolder"); // empty: the drop is refused
    const auto row = [](const char* tag, const char* dropped, const char* onto, const char* to) {
        QTest::newRow(tag) << QString::fromUtf8(dropped) << onto << QString::fromUtf8(to);
    };
    row("folder onto the window", "工作簿", "window", "工作簿");
    row("folder onto the list", "工作簿", "list", "工作簿");
    row("workbook onto the folder edit", "工作簿/sub/a.xlsx", "edit", "工作簿/sub");
    row("other file", "工作簿/notes.txt", "window", "");
    row("web address", "http:", "window", "");
}

void RunControlTest::droppedFolder()
{
    QFETCH(QString, dropped);
    QFETCH(QString, onto);
    QFETCH(QString, expectedFolder);

    QVERIFY(testsupport::touchFile(folder + QStringLiteral("/sub/a.xlsx")));
    QVERIFY(testsupport::touchFile(folder + QStringLiteral("/notes.txt")));
    auto* list = child<QPlainTextEdit>("pTEdt_ExceFilesPathList");
    list->setPlainText(QStringLiteral("/earlier.xlsx"));
    setFolder(QStringLiteral("/earlier"));

    QMimeData mime;
    mime.setUrls({dropped == QLatin1String("http:") ? QUrl(QStringLiteral("http://h/a.xlsx"))
                                                    : QUrl::fromLocalFile(dir->filePath(dropped))});
    QWidget* target = onto == QLatin1String("list")   ? list->viewport()
                      : onto == QLatin1String("edit") ? child<QWidget>("lEdt_SourcePath")
                                                      : static_cast<QWidget*>(window.get());
    QDragEnterEvent enter({5, 5}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QCOMPARE(enter.isAccepted(), !expectedFolder.isEmpty());
    QDropEvent drop({5, 5}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);

    const QString shownFolder =
        expectedFolder.isEmpty() ? "/earlier" : dir->filePath(expectedFolder);
    QCOMPARE(child<QLineEdit>("lEdt_SourcePath")->text(), shownFolder);
    QCOMPARE(list->toPlainText().contains("/sub/a.xlsx"), !expectedFolder.isEmpty());
}

void RunControlTest::notificationAtEnd_data()
{
    QTest::addColumn<bool>("shown");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("failures");
    QTest::addColumn<QString>("expected"); // empty: no notification

    const auto row = [](const char* tag, bool shown, int seconds, int failures, const char* end) {
        const QString text = QString::fromUtf8("Quorvane3.2|成功打印2个工作簿的5个sheet。耗时");
        QTest::newRow(tag) << shown << seconds << failures
                           << (*end ? text + QString::fromUtf8(end) : QString());
    };
    row("hidden, long", false, 30, 0, "30秒。");
    row("hidden, long, failures", false, 600, 2, "600秒。\n2个工作簿失败");
    row("hidden, short", false, 29, 1, "");
    row("shown, long", true, 600, 1, "");
}

void RunControlTest::notificationAtEnd()
{
    QFETCH(bool, shown);
    QFETCH(int, seconds);
    QFETCH(int, failures);
    QFETCH(QString, expected);

    clickStart(QStringLiteral("print"));
    QTRY_VERIFY(startButtonsEnabled());
    notifications.clear();
    window->setVisible(shown);

    Events events{ev(Type::RunStarted, "", 2)};
    for (int i = 0; i < failures; ++i)
        events << ev(Type::WorkbookFailed, "/x/f.xlsx");
    events << ev(Type::Report, "", seconds) << ev(Type::RunEnded);
    for (const runs::RunEvent& event : events)
        emit window->currentWorker()->runEvent(event);

    QCOMPARE(notifications, expected.isEmpty() ? QStringList() : QStringList{expected});
}

void RunControlTest::quitEndsRunAfterWorkbookInHand()
{
    // The recording fake with three workbooks; the program quits while the
    // first one is being printed.
    testsupport::FakeSpreadsheet spreadsheet;
    QStringList paths;
    for (const char* name : {"a.xlsx", "b.xlsx", "c.xlsx"})
        paths << testsupport::addWorkbookFile(
            spreadsheet, folder + '/' + QLatin1String(name),
            testsupport::FakeWorkbook::withSheets(
                {QStringLiteral("Sheet1"), QStringLiteral("Sheet2")}));
    QSemaphore reached;
    spreadsheet.setOnCall([&reached](const QString& line) {
        if (line.startsWith(QLatin1String("PrintOut")) && !control->quitRequested) {
            reached.release();
            waitForQuitRequest();
        }
    });
    applicationFactory = spreadsheet.factory();
    child<QPlainTextEdit>("pTEdt_ExceFilesPathList")->setPlainText(paths.join('\n'));

    clickStart(QStringLiteral("print"));
    QVERIFY(reached.tryAcquire(1, 20000));
    QVERIFY(window->finishRunBeforeExit());

    QVERIFY(control->quitRequested);
    QVERIFY(!window->currentWorker());
    QVERIFY(!window->currentWorkerThread());
    const QStringList opened = spreadsheet.calls({QStringLiteral("open ")});
    QCOMPARE(opened.size(), 1);
    QVERIFY(opened.first().contains(QLatin1String("a.xlsx")));
    QVERIFY(spreadsheet.log().contains(QStringLiteral("Quit")));
    QCOMPARE(spreadsheet.workbook(paths.first()).closeCount, 1);
    QCOMPARE(spreadsheet.misuse(), QStringList());
}

void RunControlTest::closingWindowEndsRun()
{
    QSemaphore started;
    onApplicationStart = [&started] {
        started.release();
        waitForQuitRequest();
    };
    clickStart(QStringLiteral("pagesetup"));
    QVERIFY(started.tryAcquire(1, 20000));
    QPointer<QThread> thread = window->currentWorkerThread();
    QVERIFY(thread);
    window.reset();
    QVERIFY(thread.isNull());
    QVERIFY(control->quitRequested);
    QCOMPARE(applicationsQuit.load(), 1);
}

void RunControlTest::quitWhenRunWillNotEnd()
{
    // A run that pays no heed to the quit request: the wait gives up and
    // reports the thread still running, and a later call finds it ended.
    QSemaphore started;
    QSemaphore release;
    onApplicationStart = [&started, &release] {
        started.release();
        release.tryAcquire(1, 20000);
    };
    clickStart(QStringLiteral("print"));
    QVERIFY(started.tryAcquire(1, 20000));

    QVERIFY(!window->finishRunBeforeExit(50, 50));
    QVERIFY(control->quitRequested);
    QVERIFY(control->stopRequested);
    QVERIFY(window->currentWorkerThread());

    release.release();
    QVERIFY(window->finishRunBeforeExit());
    QVERIFY(!window->currentWorkerThread());
    QVERIFY(!window->currentWorker());
    QCOMPARE(applicationsQuit.load(), 1);
}

QTEST_MAIN(RunControlTest)
#include "tst_runcontrol.moc"
