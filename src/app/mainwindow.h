// The main window: the form of controls, the tray icon, and the window side of
// the two batch runs (starting them, pause, stop, progress, end of a run).
#pragma once

#include "runcontrol/runprogress.h"
#include "runcontrol/services.h"
#include "runs/events.h"
#include "runs/options.h"
#include "runs/runcontrol.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

class RunWorker;
class PrintTargetChoice;
class QCloseEvent;
class QDragEnterEvent;
class QDropEvent;
class QMimeData;
class QShowEvent;
class QThread;
class QTimer;
class RunStatusRow;
class SystemTray;

namespace Ui {
class MainWindow;
}

// The folder a drop onto the window means: the first dropped local folder,
// or the folder of a dropped workbook file; empty when it means none.
QString droppedFolder(const QMimeData* mime);

// The top-left corner that centres a window of size window on a screen of size
// screen; halves are truncated toward zero, so a screen smaller than the
// window gives a negative position.
QPoint centredTopLeft(const QSize& screen, const QSize& window);

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // Shows the folder dialog: (parent, caption, starting folder) -> chosen
    // folder, empty when cancelled.
    using FolderChooser =
        std::function<QString(QWidget* parent, const QString& caption, const QString& startDir)>;

    explicit MainWindow(QWidget* parent = nullptr);
    // With the services its runs use (the desktop's own for the first form).
    explicit MainWindow(runcontrol::Services services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Puts another folder chooser in place of the system's folder dialog (for
    // tests); an empty one brings the dialog back.
    static void setFolderChooser(FolderChooser chooser);

    // The settings file each run start records the folder in, and the print
    // target is remembered in; the one beside the executable unless set
    // otherwise.  Setting it restores the print target remembered there.
    void setSettingsPath(const QString& path);
    QString settingsPath() const { return m_settingsPath; }

    RunWorker* currentWorker() const { return worker; }
    QThread* currentWorkerThread() const { return workerThread; }
    SystemTray* tray() const { return trayIcon; }

    // The options the run starts fill in (a start fills only what its run
    // uses; the rest keeps what an earlier start left), and the run flags.
    runs::PrintOptions& printOptions() { return m_printOptions; }
    runs::PageSetupOptions& pageSetupOptions() { return m_pageSetupOptions; }
    runs::RunControl& runControl() { return m_control; }

    // Called when the program quits.  A run still going is asked to end (it
    // ends at its next checkpoint or after the workbook in hand, and quits the
    // spreadsheet application); the worker thread is given waitMs to finish,
    // then the spreadsheet processes are ended and it gets graceMs more.  True
    // when no worker thread is left running.
    bool finishRunBeforeExit(int waitMs = 30000, int graceMs = 10000);

    // The progress of the current or last run.
    const runcontrol::RunProgress& runProgress() const { return m_progress; }
    // A run whose report says it took this long is announced by a desktop
    // notification when it ends while the window is hidden.
    static constexpr qint64 longRunMs = 30000;

    // The settings key the print target is remembered under.
    static QByteArray printTargetKey() { return QByteArrayLiteral("printTarget"); }

signals:
    void pBtn_FileMerge_HasClicked();
    void pBtn_ChangeMargin_HasClicked();

public slots:
    void ShowSoftWindow();
    void SystemTrayActivated(QSystemTrayIcon::ActivationReason reason);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void on_cBox_AppointedSheet_clicked();
    void on_cBox_OnlyFirstSheet_clicked();
    void on_pBtn_SourcePath_clicked();
    void on_pBtn_FileMerge_clicked();
    void on_ShowDisposingFile(QString filePath);
    void on_cBox_PrintRange_clicked();
    void on_pBtn_ChangeMargin_clicked();
    void on_pBtn_Pause_clicked();
    void on_pBtn_Stop_clicked();

private:
    // Every event of a run lands here: its text goes to the status line, its
    // end enables the start buttons again.
    void onRunEvent(const runs::RunEvent& event);
    // The run's end lands here.  A plain member function,
    // not a slot: the form's binding by name would read the name as a handler
    // for a widget called "Set" and warn that there is none.
    void on_Set_pBtn_FileMerge_Enable();

    enum class RunKind { Print, PageSetup };

    void startRun(RunKind kind);
    // The print target of the next print run, checked against the system:
    // false with the reason in the status line when it cannot be used.
    bool checkPrintTarget(spreadsheet::PrintTarget* target);
    // Lists the printers again and selects the remembered target.
    void fillPrintTargets();
    void rememberPrintTarget(const spreadsheet::PrintTarget& target);
    // The same as choosing folder with "选择文件夹".
    void useFolder(const QString& folder);
    // Puts the last run's failed workbooks into the list, as one step the
    // list's undo takes back.
    void listFailedWorkbooks();
    void showProgress();
    void notifyRunEnd();
    // The sheet-selection options both runs use.
    void fillSheetSelection(runs::SheetSelection& sheets);
    void fillPrintOptions();
    void fillPageSetupOptions();
    void disposeOfWorker();
    bool waitForWorkerThread(int milliseconds, bool serviceEvents);

    std::unique_ptr<Ui::MainWindow> ui;
    int screenWidth = 0;
    int screenHeight = 0;
    int normalHeight = 0;
    int normalWidth = 0;
    QThread* workerThread = nullptr;
    RunWorker* worker = nullptr;
    SystemTray* trayIcon = nullptr;
    bool m_running = false;
    QString m_settingsPath;
    runcontrol::Services m_services;
    runs::RunControl m_control;
    runs::PrintOptions m_printOptions;
    runs::PageSetupOptions m_pageSetupOptions;
    PrintTargetChoice* m_printTarget = nullptr;
    RunStatusRow* m_statusRow = nullptr;
    runcontrol::RunProgress m_progress;
    QElapsedTimer m_runClock;
    QTimer* m_progressTimer = nullptr;
    QString m_reportText;
    qint64 m_reportSeconds = 0;
    bool m_printTargetWidened = false;
};
