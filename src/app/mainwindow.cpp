#include "app/mainwindow.h"

#include "app/startup.h"
#include "app/systemtray.h"
#include "runcontrol/runworker.h"
#include "runs/messages.h"
#include "settings/settingsfile.h"
#include "ui_mainwindow.h"
#include "worklist/worklist.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QLocale>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QThread>

// The resource list lives in a static library; its registration must be pulled
// in by name.
static void initResources()
{
    Q_INIT_RESOURCE(quorvane);
}

namespace {

MainWindow::FolderChooser& folderChooser()
{
    static MainWindow::FolderChooser chooser;
    return chooser;
}

QString chooseFolder(QWidget* parent, const QString& caption, const QString& startDir)
{
    if (folderChooser())
        return folderChooser()(parent, caption, startDir);
    return QFileDialog::getExistingDirectory(
        parent, caption, startDir, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
}

// The value a spin box shows, read from its text: in the box's own locale,
// else with "." as the decimal point; text that reads as no number gives 0.
double displayedNumber(const QAbstractSpinBox* box)
{
    const QString text = box->text();
    bool ok = false;
    double value = box->locale().toDouble(text, &ok);
    if (!ok)
        value = text.toDouble(&ok);
    return ok ? value : 0.0;
}

int displayedInteger(const QAbstractSpinBox* box)
{
    const QString text = box->text();
    bool ok = false;
    int value = box->locale().toInt(text, &ok);
    if (!ok)
        value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

} // namespace

QPoint centredTopLeft(const QSize& screen, const QSize& window)
{
    return QPoint((screen.width() - window.width()) / 2, (screen.height() - window.height()) / 2);
}

MainWindow::MainWindow(QWidget* parent) : MainWindow(runcontrol::desktopServices(), parent) {}

MainWindow::MainWindow(runcontrol::Services services, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::MainWindow>()),
      m_settingsPath(startup::settingsFilePath()), m_services(std::move(services))
{
    initResources();
    ui->setupUi(this);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        screenWidth = screen->geometry().width();
        screenHeight = screen->geometry().height();
    }
    normalHeight = height();
    normalWidth = width();
    move(centredTopLeft(QSize(screenWidth, screenHeight), QSize(normalWidth, normalHeight)));

    setWindowTitle(QStringLiteral("Quorvane") + QStringLiteral("3.2"));
    setWindowIcon(QIcon(QStringLiteral(":/images/mrw.ico")));

    // Cell ranges in the spreadsheet's notation: ASCII letters, digits and
    // ":" only.  The validator matches the whole text.
    ui->lEdt_PrintRange->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9a-zA-Z:]+$")), ui->lEdt_PrintRange));

    trayIcon = new SystemTray(this);
    connect(trayIcon, &SystemTray::showWidget, this, &MainWindow::ShowSoftWindow);
    connect(trayIcon, &QSystemTrayIcon::activated, this, &MainWindow::SystemTrayActivated);

    // The form has bound these by name already.  Connections made by
    // signature with Qt::UniqueConnection are refused when that same binding
    // exists, so a click still reaches its slot once.
    connect(ui->pBtn_SourcePath, SIGNAL(clicked(bool)), this, SLOT(on_pBtn_SourcePath_clicked()),
            Qt::UniqueConnection);
    connect(ui->cBox_AppointedSheet, SIGNAL(clicked(bool)), this,
            SLOT(on_cBox_AppointedSheet_clicked()), Qt::UniqueConnection);
    connect(ui->cBox_OnlyFirstSheet, SIGNAL(clicked(bool)), this,
            SLOT(on_cBox_OnlyFirstSheet_clicked()), Qt::UniqueConnection);
    connect(ui->pBtn_FileMerge, SIGNAL(clicked(bool)), this, SLOT(on_pBtn_FileMerge_clicked()),
            Qt::UniqueConnection);

    resize(width(), 500);
    normalHeight = 500;

    ui->cmBox_PaperSize->addItems({QStringLiteral("默认"), QStringLiteral("A3"),
                                   QStringLiteral("A4"), QStringLiteral("A5"), QStringLiteral("B4"),
                                   QStringLiteral("B5")});
}

MainWindow::~MainWindow()
{
    if (workerThread) {
        if (m_running) {
            m_control.quitRequested = true;
            m_control.stopRequested = true;
        }
        workerThread->quit();
        if (waitForWorkerThread(30000, false)) {
            delete worker;
            delete workerThread;
        }
        // A thread that is still running cannot be destroyed; the process is
        // ending, so it is left to the system.
    }
}

void MainWindow::setFolderChooser(FolderChooser chooser)
{
    folderChooser() = std::move(chooser);
}

void MainWindow::setSettingsPath(const QString& path)
{
    m_settingsPath = path;
}

bool MainWindow::waitForWorkerThread(int milliseconds, bool serviceEvents)
{
    if (!serviceEvents)
        return workerThread->wait(milliseconds);
    QDeadlineTimer deadline(milliseconds);
    while (!workerThread->wait(50)) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents();
    }
    return true;
}

bool MainWindow::finishRunBeforeExit(int waitMs, int graceMs)
{
    if (!workerThread)
        return true;
    if (m_running) {
        m_control.quitRequested = true;
        m_control.stopRequested = true;
    }
    // The thread leaves its event loop once the run slot has returned.
    workerThread->quit();
    if (!waitForWorkerThread(waitMs, true)) {
        if (m_services.endSpreadsheetProcesses)
            m_services.endSpreadsheetProcesses();
        if (!waitForWorkerThread(graceMs, true))
            return false;
    }
    delete worker;
    worker = nullptr;
    delete workerThread;
    workerThread = nullptr;
    m_running = false;
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Closing the window is closing the program; the application quits when
    // its last window has closed.
    QMainWindow::closeEvent(event);
}

void MainWindow::ShowSoftWindow()
{
    showNormal();
    resize(normalWidth, normalHeight);
    raise();
    activateWindow();
}

void MainWindow::SystemTrayActivated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
    case QSystemTrayIcon::Trigger:
        ShowSoftWindow();
        break;
    default:
        break; // the context menu opens by itself; other reasons are ignored
    }
}

void MainWindow::on_cBox_AppointedSheet_clicked()
{
    ui->lEdt_AppointedSeetName->setEnabled(ui->cBox_AppointedSheet->isChecked());
}

void MainWindow::on_cBox_OnlyFirstSheet_clicked() {}

void MainWindow::on_cBox_PrintRange_clicked()
{
    ui->lEdt_PrintRange->setEnabled(ui->cBox_PrintRange->isChecked());
}

void MainWindow::on_pBtn_SourcePath_clicked()
{
    const QString folder = chooseFolder(this, QStringLiteral("选择文件夹"), QStringLiteral("."));
    if (folder.isEmpty())
        return;
    ui->lEdt_SourcePath->setText(folder);
    // One insertion after the clear leaves the text cursor at the end.
    ui->pTEdt_ExceFilesPathList->clear();
    ui->pTEdt_ExceFilesPathList->insertPlainText(worklist::workbookListText(folder));
}

void MainWindow::on_pBtn_FileMerge_clicked()
{
    startRun(RunKind::Print);
}

void MainWindow::on_pBtn_ChangeMargin_clicked()
{
    startRun(RunKind::PageSetup);
}

void MainWindow::startRun(RunKind kind)
{
    const QString folder = ui->lEdt_SourcePath->text();
    // Recorded before the check, so a folder that does not exist is stored too.
    settings::writeSetting(m_settingsPath, QByteArrayLiteral("sourcePath"), folder.toLocal8Bit());

    if (!QFileInfo(folder).isDir()) {
        ui->lb_ShowDisposing->setText(QStringLiteral("文件夹不存在"));
        return;
    }

    if (kind == RunKind::Print)
        m_printOptions.workbookList = ui->pTEdt_ExceFilesPathList->toPlainText().trimmed();

    // The failure list always belongs to the latest run.
    const QString failedListPath = folder + QLatin1Char('/') + runs::failedListFileName();
    if (QFileInfo::exists(failedListPath))
        QFile::remove(failedListPath);

    ui->pBtn_FileMerge->setEnabled(false);
    ui->pBtn_ChangeMargin->setEnabled(false);
    ui->lb_ShowDisposing->setText(QString());

    if (kind == RunKind::Print) {
        m_printOptions.failedListPath = failedListPath;
        fillPrintOptions();
        m_control.pauseRequested = false;
        ui->pBtn_Pause->setText(QStringLiteral("暂停"));
        m_control.stopRequested = false;
    } else {
        m_pageSetupOptions.folder = ui->lEdt_SourcePath->text();
        m_pageSetupOptions.failedListPath = failedListPath;
        fillPageSetupOptions();
    }
    m_control.quitRequested = false;

    disposeOfWorker();

    workerThread = new QThread;
    worker = new RunWorker(m_services.environment, m_control);
    if (kind == RunKind::Print)
        worker->setPrintOptions(m_printOptions);
    else
        worker->setPageSetupOptions(m_pageSetupOptions);
    worker->moveToThread(workerThread);
    workerThread->start();
    m_running = true;

    connect(worker, &RunWorker::runEvent, this, &MainWindow::onRunEvent);
    if (kind == RunKind::Print)
        connect(this, &MainWindow::pBtn_FileMerge_HasClicked, worker, &RunWorker::print);
    else
        connect(this, &MainWindow::pBtn_ChangeMargin_HasClicked, worker,
                &RunWorker::changePageSetup);

    if (kind == RunKind::Print)
        emit pBtn_FileMerge_HasClicked();
    else
        emit pBtn_ChangeMargin_HasClicked();
}

void MainWindow::fillSheetSelection(runs::SheetSelection& sheets)
{
    sheets.skipEmptySheets = ui->cBox_SkipEmptySheet->isChecked();
    sheets.appointedSheetsOnly = ui->cBox_AppointedSheet->isChecked();
    if (sheets.appointedSheetsOnly)
        sheets.appointedSheetNames = ui->lEdt_AppointedSeetName->text();
    sheets.onlyFirstSheet = ui->cBox_OnlyFirstSheet->isChecked();
}

void MainWindow::fillPrintOptions()
{
    runs::PrintOptions& options = m_printOptions;
    fillSheetSelection(options.sheets);
    options.printRangeOnly = ui->cBox_PrintRange->isChecked();
    if (options.printRangeOnly)
        options.printRange = ui->lEdt_PrintRange->text().trimmed();
    options.sheetDelaySeconds = displayedInteger(ui->sBox_PrintDelay);
    options.workbookDelaySeconds = displayedInteger(ui->sBox_PrintDelayWb);
    options.paperSize = ui->cmBox_PaperSize->currentText();
}

void MainWindow::fillPageSetupOptions()
{
    runs::PageSetupOptions& options = m_pageSetupOptions;
    fillSheetSelection(options.sheets);

    const struct
    {
        QCheckBox* box;
        QDoubleSpinBox* value;
        runs::MarginSetting runs::PageSetupOptions::*margin;
    } margins[] = {
        {ui->cBox_LeftMargin, ui->dsBox_LeftMargin, &runs::PageSetupOptions::left},
        {ui->cBox_RightMargin, ui->dsBox_RightMargin, &runs::PageSetupOptions::right},
        {ui->cBox_TopMargin, ui->dsBox_TopMargin, &runs::PageSetupOptions::top},
        {ui->cBox_BottomMargin, ui->dsBox_BottomMargin, &runs::PageSetupOptions::bottom},
        {ui->cBox_HeaderMargin, ui->dsBox_HeaderMargin, &runs::PageSetupOptions::header},
        {ui->cBox_FooterMargin, ui->dsBox_FooterMargin, &runs::PageSetupOptions::footer},
    };
    for (const auto& margin : margins) {
        runs::MarginSetting& setting = options.*margin.margin;
        setting.change = margin.box->isChecked();
        if (setting.change)
            setting.centimetres = displayedNumber(margin.value);
    }

    options.changeOrientation = ui->cBox_Orientation->isChecked();
    if (options.changeOrientation)
        options.orientation = ui->rBtn_Orientation1->isChecked() ? 1 : 2;
}

void MainWindow::disposeOfWorker()
{
    if (!workerThread)
        return;
    // A new start is only possible after the last run has reported its end,
    // so the worker is at most returning from its run slot.
    workerThread->quit();
    workerThread->wait();
    delete worker;
    worker = nullptr;
    delete workerThread;
    workerThread = nullptr;
}

void MainWindow::onRunEvent(const runs::RunEvent& event)
{
    const QString text = runs::eventText(event);
    if (!text.isEmpty())
        on_ShowDisposingFile(text);
    if (event.type == runs::RunEvent::Type::RunEnded)
        on_Set_pBtn_FileMerge_Enable();
}

void MainWindow::on_ShowDisposingFile(QString filePath)
{
    ui->lb_ShowDisposing->setText(filePath);
}

void MainWindow::on_Set_pBtn_FileMerge_Enable()
{
    m_running = false;
    ui->pBtn_FileMerge->setEnabled(true);
    ui->pBtn_ChangeMargin->setEnabled(true);
}

void MainWindow::on_pBtn_Pause_clicked()
{
    if (m_control.pauseRequested) {
        m_control.pauseRequested = false;
        ui->pBtn_Pause->setText(QStringLiteral("暂停"));
    } else {
        m_control.pauseRequested = true;
        ui->pBtn_Pause->setText(QStringLiteral("继续"));
    }
}

void MainWindow::on_pBtn_Stop_clicked()
{
    m_control.stopRequested = true;
}
