#include "app/mainwindow.h"

#include "app/printtargetchoice.h"
#include "app/runstatus.h"
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
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QLocale>
#include <QMimeData>
#include <QProgressBar>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QTextCursor>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <optional>

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

QString droppedFolder(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls())
        return QString();
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile())
            continue;
        const QFileInfo info(url.toLocalFile());
        if (info.isDir())
            return QDir::cleanPath(info.absoluteFilePath());
        if (info.isFile() && worklist::isAcceptedWorkbookPath(info.absoluteFilePath()))
            return QDir::cleanPath(info.absolutePath());
    }
    return QString();
}

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

    // The run is given the size's own word ("默认" keeps each sheet's size),
    // whatever language the list is shown in.
    ui->cmBox_PaperSize->addItem(tr("默认"), QStringLiteral("默认"));
    for (const char* size : {"A3", "A4", "A5", "B4", "B5"})
        ui->cmBox_PaperSize->addItem(QLatin1String(size), QLatin1String(size));

    m_printTarget = new PrintTargetChoice(
        ui->cmBox_Printer,
        [this](const QString& start) {
            return chooseFolder(this, tr("选择保存PDF文件的文件夹"), start);
        },
        this);
    connect(m_printTarget, &PrintTargetChoice::chosen, this, &MainWindow::rememberPrintTarget);
    fillPrintTargets();
    m_statusRow = new RunStatusRow(ui->lb_ShowDisposing);
    connect(m_statusRow, &RunStatusRow::retryClicked, this, &MainWindow::listFailedWorkbooks);
    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(1000);
    connect(m_progressTimer, &QTimer::timeout, this, &MainWindow::showProgress);
    connect(trayIcon, &QSystemTrayIcon::messageClicked, this, &MainWindow::ShowSoftWindow);

    // A folder dropped anywhere on the window, the edits included, is taken
    // as the chosen folder.
    setAcceptDrops(true);
    for (QWidget* widget : findChildren<QWidget*>()) {
        if (widget->acceptDrops())
            widget->installEventFilter(this);
    }
    ui->pTEdt_ExceFilesPathList->viewport()->installEventFilter(this);
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
    fillPrintTargets();
}

void MainWindow::fillPrintTargets()
{
    const printers::PrinterList list =
        m_services.listPrinters ? m_services.listPrinters() : printers::PrinterList();
    std::optional<spreadsheet::PrintTarget> remembered;
    QByteArray value;
    spreadsheet::PrintTarget target;
    if (!m_settingsPath.isEmpty() &&
        settings::readSetting(m_settingsPath, printTargetKey(), value) == 0 &&
        printers::targetFromSettingValue(value, &target))
        remembered = target;
    m_printTarget->fill(list, remembered);
}

void MainWindow::rememberPrintTarget(const spreadsheet::PrintTarget& target)
{
    settings::writeSetting(m_settingsPath, printTargetKey(), printers::targetSettingValue(target));
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

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_printTargetWidened)
        return;
    m_printTargetWidened = true;
    // The row's spacer would take every pixel the row lacks from the printer
    // choice: the choice keeps what the window has to spare at its own width,
    // measured once the fonts of the screen are known.
    const int spare = normalWidth - minimumSizeHint().width();
    ui->cmBox_Printer->setMinimumWidth(
        std::min(ui->cmBox_Printer->sizeHint().width(),
                 ui->cmBox_Printer->minimumWidth() + std::max(spare, 0)));
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
    const QString folder = chooseFolder(this, tr("选择文件夹"), QStringLiteral("."));
    if (folder.isEmpty())
        return;
    useFolder(folder);
}

void MainWindow::useFolder(const QString& folder)
{
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
        ui->lb_ShowDisposing->setText(tr("文件夹不存在"));
        return;
    }
    spreadsheet::PrintTarget target;
    if (kind == RunKind::Print && !checkPrintTarget(&target))
        return;

    if (kind == RunKind::Print)
        m_printOptions.workbookList = ui->pTEdt_ExceFilesPathList->toPlainText().trimmed();

    // The failure list always belongs to the latest run.
    const QString failedListPath = folder + QLatin1Char('/') + runs::failedListFileName();
    if (QFileInfo::exists(failedListPath))
        QFile::remove(failedListPath);

    ui->pBtn_FileMerge->setEnabled(false);
    ui->pBtn_ChangeMargin->setEnabled(false);
    ui->lb_ShowDisposing->setText(QString());
    m_progress.reset();
    m_reportText.clear();
    m_reportSeconds = 0;
    m_statusRow->hideRetry();
    m_statusRow->hideProgress();
    m_runClock.start();

    if (kind == RunKind::Print) {
        m_printOptions.target = target;
        m_printOptions.failedListPath = failedListPath;
        fillPrintOptions();
        m_control.pauseRequested = false;
        ui->pBtn_Pause->setText(tr("暂停"));
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

bool MainWindow::checkPrintTarget(spreadsheet::PrintTarget* target)
{
    *target = m_printTarget->current();
    // Asked again now: a printer removed since the list was filled must not
    // send the pages elsewhere.
    const QStringList names =
        target->kind == spreadsheet::PrintTarget::NamedPrinter && m_services.listPrinters
            ? m_services.listPrinters().names
            : QStringList();
    const QString chosen = target->name;
    switch (printers::prepareTarget(target, names)) {
    case printers::TargetCheck::Ready:
        return true;
    case printers::TargetCheck::UnknownPrinter:
        ui->lb_ShowDisposing->setText(tr("打印机“%1”已不存在，请重新选择打印到哪里").arg(chosen));
        return false;
    case printers::TargetCheck::NoPdfFolder:
        ui->lb_ShowDisposing->setText(
            tr("无法创建PDF文件夹：%1").arg(QDir::toNativeSeparators(chosen)));
        return false;
    }
    return false;
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
    options.paperSize = ui->cmBox_PaperSize->currentData().toString();
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
    if (event.type == runs::RunEvent::Type::Report) {
        m_reportText = text;
        m_reportSeconds = event.elapsedSeconds;
    }

    m_progress.apply(event, m_runClock.isValid() ? m_runClock.elapsed() : 0);
    if (event.type == runs::RunEvent::Type::RunStarted)
        m_progressTimer->start();
    if (event.type != runs::RunEvent::Type::RunEnded) {
        showProgress();
        return;
    }

    m_progressTimer->stop();
    m_statusRow->hideProgress();
    if (m_progress.run() == runs::RunType::Print && m_progress.failures() > 0)
        m_statusRow->showRetry(m_progress.failures());
    notifyRunEnd();
    on_Set_pBtn_FileMerge_Enable();
}

void MainWindow::showProgress()
{
    if (!m_progress.running())
        return;
    const qint64 elapsed = m_runClock.isValid() ? m_runClock.elapsed() : 0;
    m_statusRow->showProgress(m_progress.settled(), m_progress.total(),
                              m_progress.summaryText(elapsed));
}

void MainWindow::notifyRunEnd()
{
    // Only a run that reported its length, and went on long enough for the
    // user to have turned to other things, is worth a notification.
    if (isVisible() || m_reportText.isEmpty() || m_reportSeconds * 1000 < longRunMs)
        return;
    QString text = m_reportText;
    if (m_progress.failures() > 0)
        text += QLatin1Char('\n') + tr("%n个工作簿失败", nullptr, m_progress.failures());
    const QString title = windowTitle();
    if (m_services.notify)
        m_services.notify(title, text);
    else if (trayIcon && trayIcon->isVisible())
        trayIcon->showMessage(title, text, QSystemTrayIcon::Information);
}

void MainWindow::listFailedWorkbooks()
{
    const QStringList failed = m_progress.failedWorkbooks();
    if (failed.isEmpty())
        return;
    // One edit through the list's own cursor, so that undo brings the
    // earlier list back.
    QTextCursor cursor(ui->pTEdt_ExceFilesPathList->document());
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.insertText(failed.join(QLatin1Char('\n')));
    cursor.endEditBlock();
    ui->pTEdt_ExceFilesPathList->setTextCursor(cursor);
    m_statusRow->hideRetry();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedFolder(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QString folder = droppedFolder(event->mimeData());
    if (folder.isEmpty())
        return;
    event->acceptProposedAction();
    useFolder(folder);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The edits take dropped text themselves; a dropped folder or workbook
    // is the window's.
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (droppedFolder(drag->mimeData()).isEmpty())
            break;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString folder = droppedFolder(drop->mimeData());
        if (folder.isEmpty())
            break;
        drop->acceptProposedAction();
        useFolder(folder);
        return true;
    }
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
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
        ui->pBtn_Pause->setText(tr("暂停"));
    } else {
        m_control.pauseRequested = true;
        ui->pBtn_Pause->setText(tr("继续"));
    }
}

void MainWindow::on_pBtn_Stop_clicked()
{
    m_control.stopRequested = true;
}
