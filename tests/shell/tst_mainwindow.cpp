// The main window as the user first sees it: the form's widgets, texts,
// layouts and starting states, the window's own set-up, the range validator,
// the bounds of the number boxes, the tray icon and the end of the program.
#include "app/mainwindow.h"
#include "app/systemtray.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QValidator>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(QSystemTrayIcon::ActivationReason)

class MainWindowTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainWindow> window;

    template <typename T = QWidget>
    T* child(const char* name)
    {
        return window->findChild<T*>(QLatin1String(name));
    }

    // Runs the application's event loop until something quits it; a guard
    // timer ends it with 99 if nothing does.
    static int runEventLoop()
    {
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(20000);
        return QCoreApplication::exec();
    }

private slots:
    void init() { window = std::make_unique<MainWindow>(); }
    void cleanup() { window.reset(); }

    void widgetsAndTexts_data();
    void widgetsAndTexts();
    void layouts_data();
    void layouts();
    void startingStates();
    void numberBoxes_data();
    void numberBoxes();
    void windowSetUp();
    void centring_data();
    void centring();
    void rangeValidator_data();
    void rangeValidator();
    void typedRangeKeepsOnlyAllowedCharacters();
    void clicksReachTheirSlotOnce();
    void trayIcon();
    void trayBringsWindowUp_data();
    void trayBringsWindowUp();
    void otherTrayActivationsChangeNothing_data();
    void otherTrayActivationsChangeNothing();
    void trayQuitEntryEndsProgram();
    void closingWindowEndsProgram();
};

void MainWindowTest::widgetsAndTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("text");

    const auto row = [](const char* name, const char* cls, const char* text) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(cls)
                            << QString::fromUtf8(text);
    };
    row("centralWidget", "QWidget", "");
    row("tabWidget", "QTabWidget", "");
    row("wgt_AddToTab1", "QWidget", "");
    row("gBox_Setting", "QGroupBox",
        "通过选择文件夹,导入多个Excel文件路径到编辑框进行批量打印。支持微软Office、WPS专业版。");
    row("widget_3", "QWidget", "");
    row("widget_7", "QWidget", "");
    row("widget_8", "QWidget", "");
    row("pBtn_SourcePath", "QPushButton", "选择文件夹");
    row("lEdt_SourcePath", "QLineEdit", "");
    row("label_5", "QLabel", "可通过修改下列编辑框调整打印顺序：");
    row("pTEdt_ExceFilesPathList", "QPlainTextEdit", "");
    row("widget_9", "QWidget", "");
    row("widget_11", "QWidget", "");
    row("pBtn_Pause", "QPushButton", "暂停");
    row("pBtn_Stop", "QPushButton", "停止");
    row("widget_10", "QWidget", "");
    row("cBox_SkipEmptySheet", "QCheckBox", "不打印空表");
    row("pBtn_FileMerge", "QPushButton", "批量打印");
    row("groupBox_2", "QGroupBox",
        "打印前设置(打印多个指定名称表可以用||进行分隔,如：Sheet2||Sheet3||Sheet4)");
    row("widget_2", "QWidget", "");
    row("cBox_OnlyFirstSheet", "QCheckBox", "只打印第一个表");
    row("cBox_AppointedSheet", "QCheckBox", "只打印指定名称表：");
    row("lEdt_AppointedSeetName", "QLineEdit", "");
    row("cBox_PrintRange", "QCheckBox", "只打印表中指定区域：");
    row("lEdt_PrintRange", "QLineEdit", "");
    row("widget_4", "QWidget", "");
    row("label_3", "QLabel", "纸张大小：");
    row("cmBox_PaperSize", "QComboBox", "默认");
    row("label", "QLabel", "  打印Sheet表时间间隔(秒)：");
    row("sBox_PrintDelay", "QSpinBox", "0");
    row("label_4", "QLabel", "   打印工作簿文件时间间隔(秒)：");
    row("sBox_PrintDelayWb", "QSpinBox", "0");
    row("groupBox", "QGroupBox", "打印前修改(修改会被保存,操作前请先备份excel文件)");
    row("widget_5", "QWidget", "");
    row("label_2", "QLabel", "页边距(厘米)：");
    row("cBox_LeftMargin", "QCheckBox", "左：");
    row("dsBox_LeftMargin", "QDoubleSpinBox", "1.78");
    row("cBox_RightMargin", "QCheckBox", "右：");
    row("dsBox_RightMargin", "QDoubleSpinBox", "1.78");
    row("cBox_TopMargin", "QCheckBox", "上：");
    row("dsBox_TopMargin", "QDoubleSpinBox", "1.91");
    row("cBox_BottomMargin", "QCheckBox", "下：");
    row("dsBox_BottomMargin", "QDoubleSpinBox", "1.91");
    row("cBox_HeaderMargin", "QCheckBox", "页眉");
    row("dsBox_HeaderMargin", "QDoubleSpinBox", "0.76");
    row("cBox_FooterMargin", "QCheckBox", "页脚");
    row("dsBox_FooterMargin", "QDoubleSpinBox", "0.76");
    row("widget_6", "QWidget", "");
    row("cBox_Orientation", "QCheckBox", "纸张方向：");
    row("rBtn_Orientation1", "QRadioButton", "纵向");
    row("rBtn_Orientation2", "QRadioButton", "横向");
    row("pBtn_ChangeMargin", "QPushButton", "批量修改");
    row("lb_ShowDisposing", "QLabel", "");
}

void MainWindowTest::widgetsAndTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, text);

    const QList<QWidget*> found = window->findChildren<QWidget*>(name);
    QCOMPARE(found.size(), 1);
    QWidget* widget = found.first();
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);

    if (auto* box = qobject_cast<QGroupBox*>(widget))
        QCOMPARE(box->title(), text);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        QCOMPARE(button->text(), text);
    else if (auto* label = qobject_cast<QLabel*>(widget))
        QCOMPARE(label->text(), text);
    else if (auto* edit = qobject_cast<QLineEdit*>(widget))
        QCOMPARE(edit->text(), text);
    else if (auto* list = qobject_cast<QPlainTextEdit*>(widget))
        QCOMPARE(list->toPlainText(), text);
    else if (auto* combo = qobject_cast<QComboBox*>(widget))
        QCOMPARE(combo->currentText(), text);
    else if (auto* spin = qobject_cast<QAbstractSpinBox*>(widget))
        QCOMPARE(spin->text(), text);
}

void MainWindowTest::layouts_data()
{
    // -1: the style's own margin, not checked here.
    QTest::addColumn<QString>("owner");
    QTest::addColumn<QString>("layoutName");
    QTest::addColumn<QString>("className");
    QTest::addColumn<int>("spacing");
    QTest::addColumn<QList<int>>("margins");

    const auto row = [](const char* owner, const char* layout, const char* cls, int spacing,
                        QList<int> margins) {
        QTest::newRow(layout) << QString::fromLatin1(owner) << QString::fromLatin1(layout)
                              << QString::fromLatin1(cls) << spacing << margins;
    };
    row("centralWidget", "verticalLayout_4", "QVBoxLayout", 6, {0, 0, 0, 0});
    row("wgt_AddToTab1", "verticalLayout_3", "QVBoxLayout", 10, {0, 0, 0, 0});
    row("gBox_Setting", "verticalLayout_2", "QVBoxLayout", 15, {2, -1, 2, -1});
    row("widget_3", "horizontalLayout_3", "QHBoxLayout", 6, {5, 0, -1, 0});
    row("widget_7", "verticalLayout_8", "QVBoxLayout", 2, {0, 0, 9, 0});
    row("widget_8", "horizontalLayout_7", "QHBoxLayout", 6, {0, 0, 0, 0});
    row("widget_9", "verticalLayout_11", "QVBoxLayout", 6, {11, 11, 11, 11});
    row("widget_11", "verticalLayout_9", "QVBoxLayout", 6, {11, 11, 11, 11});
    row("widget_10", "verticalLayout_10", "QVBoxLayout", 6, {-1, -1, -1, 5});
    row("groupBox_2", "verticalLayout", "QVBoxLayout", 4, {11, 11, 11, 11});
    row("widget_2", "horizontalLayout_2", "QHBoxLayout", 1, {-1, 2, -1, 2});
    row("widget_4", "horizontalLayout_4", "QHBoxLayout", 6, {-1, 2, -1, 2});
    row("groupBox", "verticalLayout_7", "QVBoxLayout", 4, {9, -1, -1, -1});
    row("widget_5", "horizontalLayout_5", "QHBoxLayout", 6, {-1, 2, -1, 2});
    row("widget_6", "horizontalLayout_6", "QHBoxLayout", 6, {-1, 2, -1, 2});
}

void MainWindowTest::layouts()
{
    QFETCH(QString, owner);
    QFETCH(QString, layoutName);
    QFETCH(QString, className);
    QFETCH(int, spacing);
    QFETCH(QList<int>, margins);

    QWidget* widget = window->findChild<QWidget*>(owner);
    QVERIFY(widget);
    QLayout* layout = widget->layout();
    QVERIFY(layout);
    QCOMPARE(layout->objectName(), layoutName);
    QCOMPARE(QString::fromLatin1(layout->metaObject()->className()), className);
    QCOMPARE(layout->spacing(), spacing);

    const QMargins m = layout->contentsMargins();
    const int actual[] = {m.left(), m.top(), m.right(), m.bottom()};
    for (int side = 0; side < 4; ++side) {
        if (margins[side] >= 0)
            QCOMPARE(actual[side], margins[side]);
        else // the style's margin, never an accidental 0
            QVERIFY2(actual[side] > 0, qPrintable(QString::number(side)));
    }
}

void MainWindowTest::startingStates()
{
    // Only "不打印空表" and the portrait button start checked.
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!button->isCheckable())
            continue;
        const bool expected = button->objectName() == QLatin1String("cBox_SkipEmptySheet") ||
                              button->objectName() == QLatin1String("rBtn_Orientation1");
        QVERIFY2(button->isChecked() == expected, qPrintable(button->objectName()));
    }
    QVERIFY(!child("lEdt_AppointedSeetName")->isEnabled());
    QVERIFY(!child("lEdt_PrintRange")->isEnabled());
    QVERIFY(child("lEdt_SourcePath")->isEnabled());
    QVERIFY(child("pBtn_FileMerge")->isEnabled());
    QVERIFY(child("pBtn_ChangeMargin")->isEnabled());

    QCOMPARE(child("lEdt_AppointedSeetName")->minimumWidth(), 200);
    QCOMPARE(child("lEdt_AppointedSeetName")->maximumWidth(), 200);
    QCOMPARE(child("lEdt_PrintRange")->minimumWidth(), 80);
    QCOMPARE(child("lEdt_PrintRange")->maximumWidth(), 80);
    QCOMPARE(child("widget_7")->minimumWidth(), 300);
    QCOMPARE(child("widget_9")->minimumWidth(), 150);
    for (const char* name :
         {"cBox_LeftMargin", "cBox_RightMargin", "cBox_TopMargin", "cBox_BottomMargin"})
        QCOMPARE(child(name)->maximumWidth(), 40);

    QCOMPARE(child("widget_2")->styleSheet(), QStringLiteral("background:rgb(240, 240, 240)"));
    QCOMPARE(child("widget_4")->styleSheet(), QStringLiteral("background:rgb(240, 240, 240)"));
    QCOMPARE(child("lb_ShowDisposing")->styleSheet(), QStringLiteral("color: rgb(255, 0, 0);"));

    auto* tabs = child<QTabWidget>("tabWidget");
    QCOMPARE(tabs->count(), 1);
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(tabs->tabText(0), QStringLiteral("软件设置"));

    auto* paper = child<QComboBox>("cmBox_PaperSize");
    QStringList items;
    for (int i = 0; i < paper->count(); ++i)
        items << paper->itemText(i);
    QCOMPARE(items,
             (QStringList{QStringLiteral("默认"), QStringLiteral("A3"), QStringLiteral("A4"),
                          QStringLiteral("A5"), QStringLiteral("B4"), QStringLiteral("B5")}));
    QCOMPARE(paper->currentIndex(), 0);

    for (const char* name : {"sBox_PrintDelay", "sBox_PrintDelayWb"}) {
        auto* box = child<QSpinBox>(name);
        QCOMPARE(box->minimum(), 0);
        QCOMPARE(box->maximum(), 900);
        QCOMPARE(box->value(), 0);
        QCOMPARE(box->singleStep(), 1);
    }
    for (const char* name : {"dsBox_LeftMargin", "dsBox_RightMargin", "dsBox_TopMargin",
                             "dsBox_BottomMargin", "dsBox_HeaderMargin", "dsBox_FooterMargin"}) {
        auto* box = child<QDoubleSpinBox>(name);
        QCOMPARE(box->decimals(), 2);
        QCOMPARE(box->minimum(), 0.0);
        QCOMPARE(box->maximum(), 99.99);
        QCOMPARE(box->singleStep(), 1.0);
    }
}

void MainWindowTest::numberBoxes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");

    QTest::newRow("two decimals") << "dsBox_LeftMargin"
                                  << "2.5"
                                  << "2.5";
    QTest::newRow("third decimal refused") << "dsBox_RightMargin"
                                           << "1.234"
                                           << "1.23";
    QTest::newRow("footer third decimal refused") << "dsBox_FooterMargin"
                                                  << "0.765"
                                                  << "0.76";
    QTest::newRow("delay up to 900") << "sBox_PrintDelay"
                                     << "900"
                                     << "900";
    QTest::newRow("delay above 900 refused") << "sBox_PrintDelay"
                                             << "950"
                                             << "95";
    QTest::newRow("workbook delay above 900 refused") << "sBox_PrintDelayWb"
                                                      << "9000"
                                                      << "900";
    QTest::newRow("no letters in a delay") << "sBox_PrintDelayWb"
                                           << "1a2"
                                           << "12";
}

void MainWindowTest::numberBoxes()
{
    QFETCH(QString, name);
    QFETCH(QString, typed);
    QFETCH(QString, shown);

    auto* box = window->findChild<QAbstractSpinBox*>(name);
    QVERIFY(box);
    box->selectAll();
    QTest::keyClicks(box, typed);
    QCOMPARE(box->text(), shown);
}

void MainWindowTest::windowSetUp()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("Quorvane3.2"));
    QCOMPARE(window->size(), QSize(940, 500));
    QCOMPARE(window->objectName(), QStringLiteral("MainWindow"));
    QVERIFY(!window->windowIcon().isNull());
    QVERIFY(!window->currentWorker());
    QVERIFY(!window->currentWorkerThread());

    const QList<QSize> sizes = QIcon(QStringLiteral(":/images/mrw.ico")).availableSizes();
    for (int side : {16, 32, 48})
        QVERIFY2(sizes.contains(QSize(side, side)), qPrintable(QString::number(side)));

    // Placed as a 940 x 680 window centred on the primary screen.
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    QCOMPARE(window->pos(), centredTopLeft(screen, QSize(940, 680)));
}

void MainWindowTest::centring_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QPoint>("topLeft");

    QTest::newRow("1920x1080") << QSize(1920, 1080) << QPoint(490, 200);
    QTest::newRow("1366x768") << QSize(1366, 768) << QPoint(213, 44);
    QTest::newRow("odd size") << QSize(1001, 681) << QPoint(30, 0);
    QTest::newRow("smaller than the window") << QSize(800, 600) << QPoint(-70, -40);
    QTest::newRow("odd and smaller") << QSize(939, 679) << QPoint(0, 0);
}

void MainWindowTest::centring()
{
    QFETCH(QSize, screen);
    QFETCH(QPoint, topLeft);
    QCOMPARE(centredTopLeft(screen, QSize(940, 680)), topLeft);
}

void MainWindowTest::rangeValidator_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("range") << "A1:H20" << true;
    QTest::newRow("lower case") << "a1:h20" << true;
    QTest::newRow("whole columns") << "A:C" << true;
    QTest::newRow("single cell") << "B7" << true;
    QTest::newRow("empty while typing") << "" << true;
    QTest::newRow("minus") << "A1-H20" << false;
    QTest::newRow("semicolon") << "A1;H20" << false;
    QTest::newRow("space") << "A1 :H20" << false;
    QTest::newRow("trailing space") << "A1:H20 " << false;
    QTest::newRow("full-width letter") << QString::fromUtf8("Ａ1") << false;
    QTest::newRow("Chinese") << QString::fromUtf8("表1") << false;
    QTest::newRow("accented") << QString::fromUtf8("É1") << false;
    QTest::newRow("sheet reference") << "Sheet1!A1" << false;
}

void MainWindowTest::rangeValidator()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);

    const QValidator* validator = child<QLineEdit>("lEdt_PrintRange")->validator();
    QVERIFY(validator);
    int pos = text.size();
    QString copy = text;
    QCOMPARE(validator->validate(copy, pos) != QValidator::Invalid, accepted);
}

void MainWindowTest::typedRangeKeepsOnlyAllowedCharacters()
{
    auto* box = child<QAbstractButton>("cBox_PrintRange");
    auto* edit = child<QLineEdit>("lEdt_PrintRange");
    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(edit->isEnabled());
    QTest::keyClicks(edit, QStringLiteral("A1- ;:H"));
    // Chinese text arrives from an input method as a committed string.
    QInputMethodEvent chinese;
    chinese.setCommitString(QString::fromUtf8("表"));
    QApplication::sendEvent(edit, &chinese);
    QKeyEvent fullWidth(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("２"));
    QApplication::sendEvent(edit, &fullWidth);
    QTest::keyClicks(edit, QStringLiteral("20"));
    QCOMPARE(edit->text(), QStringLiteral("A1:H20"));
}

void MainWindowTest::clicksReachTheirSlotOnce()
{
    int dialogs = 0;
    MainWindow::setFolderChooser([&dialogs](QWidget*, const QString&, const QString&) {
        ++dialogs;
        return QString();
    });
    QTest::mouseClick(child<QAbstractButton>("pBtn_SourcePath"), Qt::LeftButton);
    MainWindow::setFolderChooser({});
    QCOMPARE(dialogs, 1);

    // A toggle called twice would show no change.
    QTest::mouseClick(child<QAbstractButton>("pBtn_Pause"), Qt::LeftButton);
    QCOMPARE(child<QAbstractButton>("pBtn_Pause")->text(), QStringLiteral("继续"));
    QTest::mouseClick(child<QAbstractButton>("pBtn_Pause"), Qt::LeftButton);
    QCOMPARE(child<QAbstractButton>("pBtn_Pause")->text(), QStringLiteral("暂停"));

    // The dependent edits follow their boxes, both ways.
    auto* names = child("lEdt_AppointedSeetName");
    QTest::mouseClick(child<QAbstractButton>("cBox_AppointedSheet"), Qt::LeftButton);
    QVERIFY(names->isEnabled());
    QTest::mouseClick(child<QAbstractButton>("cBox_AppointedSheet"), Qt::LeftButton);
    QVERIFY(!names->isEnabled());
    QTest::mouseClick(child<QAbstractButton>("cBox_OnlyFirstSheet"), Qt::LeftButton);
    QVERIFY(child<QAbstractButton>("cBox_OnlyFirstSheet")->isChecked());
    QVERIFY(!names->isEnabled());
    QVERIFY(!child("lEdt_PrintRange")->isEnabled());
}

void MainWindowTest::trayIcon()
{
    SystemTray* tray = window->tray();
    QVERIFY(tray);
    QCOMPARE(tray->parent(), window.get());
    QCOMPARE(tray->toolTip(), QStringLiteral("Quorvane"));
    QVERIFY(!tray->icon().isNull());
    QVERIFY(tray->contextMenu());
    const QList<QAction*> actions = tray->contextMenu()->actions();
    QCOMPARE(actions.size(), 2);
    QCOMPARE(actions[0]->text(), QStringLiteral("软件设置"));
    QCOMPARE(actions[1]->text(), QStringLiteral("退出程序"));

    // The menu goes with the window.
    QPointer<QMenu> menu = tray->contextMenu();
    window.reset();
    QVERIFY(menu.isNull());
}

void MainWindowTest::trayBringsWindowUp_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("how");

    for (const char* state : {"resized", "minimised", "maximised", "hidden"}) {
        for (const char* how : {"click", "double click", "menu"})
            QTest::addRow("%s, %s", state, how) << state << how;
    }
}

void MainWindowTest::trayBringsWindowUp()
{
    QFETCH(QString, state);
    QFETCH(QString, how);

    window->move(120, 80);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    if (state == QLatin1String("resized")) {
        window->resize(1100, 620);
    } else if (state == QLatin1String("minimised")) {
        window->showMinimized();
    } else if (state == QLatin1String("maximised")) {
        window->showMaximized();
        QTRY_VERIFY(window->isMaximized());
    } else {
        window->hide();
    }
    QApplication::processEvents();

    SystemTray* tray = window->tray();
    if (how == QLatin1String("click"))
        emit tray->activated(QSystemTrayIcon::Trigger);
    else if (how == QLatin1String("double click"))
        emit tray->activated(QSystemTrayIcon::DoubleClick);
    else
        tray->contextMenu()->actions().at(0)->trigger();

    QVERIFY(window->isVisible());
    QTRY_VERIFY(!window->isMinimized());
    QTRY_VERIFY(!window->isMaximized());
    // 940 x 500, unless the controls need more room with this style and font
    // (Qt 5's metrics here are a few pixels taller).
    QTRY_COMPARE(window->size(), QSize(940, 500).expandedTo(window->minimumSize()));
    if (state == QLatin1String("resized"))
        QCOMPARE(window->pos(), QPoint(120, 80));
}

void MainWindowTest::otherTrayActivationsChangeNothing_data()
{
    QTest::addColumn<QSystemTrayIcon::ActivationReason>("reason");
    QTest::newRow("context") << QSystemTrayIcon::Context;
    QTest::newRow("middle click") << QSystemTrayIcon::MiddleClick;
    QTest::newRow("unknown") << QSystemTrayIcon::Unknown;
}

void MainWindowTest::otherTrayActivationsChangeNothing()
{
    QFETCH(QSystemTrayIcon::ActivationReason, reason);
    window->show();
    window->resize(1100, 620);
    QApplication::processEvents();
    emit window->tray()->activated(reason);
    QApplication::processEvents();
    QCOMPARE(window->size(), QSize(1100, 620));
}

void MainWindowTest::trayQuitEntryEndsProgram()
{
    window->show();
    QAction* quit = window->tray()->contextMenu()->actions().at(1);
    QTimer::singleShot(0, quit, &QAction::trigger);
    QCOMPARE(runEventLoop(), 0);
}

void MainWindowTest::closingWindowEndsProgram()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTimer::singleShot(0, window.get(), &QWidget::close);
    QCOMPARE(runEventLoop(), 0);
    QVERIFY(!window->isVisible());
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
