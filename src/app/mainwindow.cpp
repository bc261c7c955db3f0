#include "app/mainwindow.h"

#include "app/startup.h"
#include "app/systemtray.h"
#include "automation/application.h"
#include "runcontrol/mergeobject.h"
#include "runcontrol/runoptions.h"
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

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::MainWindow>()),
      m_settingsPath(startup::settingsFilePath())
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
            runOptions().quitRequested = true;
            runOptions().stopRequested = true;
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
        runOptions().quitRequested = true;
        runOptions().stopRequested = true;
    }
    // The thread leaves its event loop once the run slot has returned.
    workerThread->quit();
    if (!waitForWorkerThread(waitMs, true)) {
        automation::terminateAllSpreadsheetProcesses();
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
    RunOptions& options = runOptions();
    options.sourceFolder = ui->lEdt_SourcePath->text();
    // Recorded before the check, so a folder that does not exist is stored too.
    settings::writeSetting(m_settingsPath, QByteArrayLiteral("sourcePath"),
                           options.sourceFolder.toLocal8Bit());

    if (!QFileInfo(options.sourceFolder).isDir()) {
        ui->lb_ShowDisposing->setText(QStringLiteral("文件夹不存在"));
        return;
    }

    if (kind == RunKind::Print)
        options.workbookList = ui->pTEdt_ExceFilesPathList->toPlainText().trimmed();

    // The failure list always belongs to the latest run.
    options.failedListPath = options.sourceFolder + QLatin1Char('/') + failedListFileName();
    if (QFileInfo::exists(options.failedListPath))
        QFile::remove(options.failedListPath);

    ui->pBtn_FileMerge->setEnabled(false);
    ui->pBtn_ChangeMargin->setEnabled(false);
    ui->lb_ShowDisposing->setText(QString());

    if (kind == RunKind::Print) {
        fillPrintOptions();
        options.pauseRequested = false;
        ui->pBtn_Pause->setText(QStringLiteral("暂停"));
        options.stopRequested = false;
    } else {
        fillPageSetupOptions();
    }
    options.quitRequested = false;

    disposeOfWorker();

    workerThread = new QThread;
    worker = new MergeObject(ui->lEdt_SourcePath->text());
    worker->moveToThread(workerThread);
    workerThread->start();
    m_running = true;

    connect(worker, &MergeObject::ShowDisposingFile, this, &MainWindow::on_ShowDisposingFile);
    if (kind == RunKind::Print)
        connect(this, &MainWindow::pBtn_FileMerge_HasClicked, worker, &MergeObject::ExcelFileMerge);
    else
        connect(this, &MainWindow::pBtn_ChangeMargin_HasClicked, worker,
                &MergeObject::ChangeMargin);
    connect(worker, &MergeObject::Set_pBtn_FileMerge_Enable, this,
            &MainWindow::on_Set_pBtn_FileMerge_Enable);

    if (kind == RunKind::Print)
        emit pBtn_FileMerge_HasClicked();
    else
        emit pBtn_ChangeMargin_HasClicked();
}

void MainWindow::fillSheetSelection()
{
    RunOptions& options = runOptions();
    options.skipEmptySheets = ui->cBox_SkipEmptySheet->isChecked();
    options.appointedSheetsOnly = ui->cBox_AppointedSheet->isChecked();
    if (options.appointedSheetsOnly)
        options.appointedSheetNames = ui->lEdt_AppointedSeetName->text();
    options.onlyFirstSheet = ui->cBox_OnlyFirstSheet->isChecked();
}

void MainWindow::fillPrintOptions()
{
    fillSheetSelection();
    RunOptions& options = runOptions();
    options.printRangeOnly = ui->cBox_PrintRange->isChecked();
    if (options.printRangeOnly)
        options.printRange = ui->lEdt_PrintRange->text().trimmed();
    options.sheetDelaySeconds = displayedInteger(ui->sBox_PrintDelay);
    options.workbookDelaySeconds = displayedInteger(ui->sBox_PrintDelayWb);
    options.paperSize = ui->cmBox_PaperSize->currentText();
}

void MainWindow::fillPageSetupOptions()
{
    fillSheetSelection();
    RunOptions& options = runOptions();

    const struct
    {
        QCheckBox* box;
        QDoubleSpinBox* value;
        bool RunOptions::*change;
        double RunOptions::*centimetres;
    } margins[] = {
        {ui->cBox_LeftMargin, ui->dsBox_LeftMargin, &RunOptions::changeLeftMargin,
         &RunOptions::leftMarginCm},
        {ui->cBox_RightMargin, ui->dsBox_RightMargin, &RunOptions::changeRightMargin,
         &RunOptions::rightMarginCm},
        {ui->cBox_TopMargin, ui->dsBox_TopMargin, &RunOptions::changeTopMargin,
         &RunOptions::topMarginCm},
        {ui->cBox_BottomMargin, ui->dsBox_BottomMargin, &RunOptions::changeBottomMargin,
         &RunOptions::bottomMarginCm},
        {ui->cBox_HeaderMargin, ui->dsBox_HeaderMargin, &RunOptions::changeHeaderMargin,
         &RunOptions::headerMarginCm},
        {ui->cBox_FooterMargin, ui->dsBox_FooterMargin, &RunOptions::changeFooterMargin,
         &RunOptions::footerMarginCm},
    };
    for (const auto& margin : margins) {
        options.*margin.change = margin.box->isChecked();
        if (options.*margin.change)
            options.*margin.centimetres = displayedNumber(margin.value);
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
    RunOptions& options = runOptions();
    if (options.pauseRequested) {
        options.pauseRequested = false;
        ui->pBtn_Pause->setText(QStringLiteral("暂停"));
    } else {
        options.pauseRequested = true;
        ui->pBtn_Pause->setText(QStringLiteral("继续"));
    }
}

void MainWindow::on_pBtn_Stop_clicked()
{
    runOptions().stopRequested = true;
}
