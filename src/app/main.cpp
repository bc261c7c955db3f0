// Entry point: start-up state, the single-copy rule, the window and the event
// loop, and an orderly end of a run still going when the program quits.
#include "app/mainwindow.h"
#include "app/startup.h"
#include "app/systemtray.h"
#include "platform/processes.h"

#include <QApplication>
#include <QSystemTrayIcon>

#include <cstdio>
#include <cstdlib>

#if defined(Q_OS_UNIX)
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int terminationPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(terminationPipe[0], &byte, 1);
}

// SIGTERM (sent, among others, by a newer copy of this program) quits the
// event loop like the tray menu's quit entry, so a run still going is ended
// properly instead of leaving its spreadsheet application behind.
void quitOnTerminationSignal(QApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, terminationPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(terminationPipe[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [notifier] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(terminationPipe[1], &byte, 1);
        notifier->setEnabled(false);
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
}

} // namespace
#endif

int main(int argc, char* argv[])
{
    startup::state() = startup::fromArguments(argc, argv, startup::runningExecutableFile());

    startup::keepSingleCopy(ownExecutableName());

    QApplication app(argc, argv);
#if defined(Q_OS_UNIX)
    quitOnTerminationSignal(app);
#endif

    MainWindow window;
    if (!startup::startsHidden(startup::state().startArgument,
                               QSystemTrayIcon::isSystemTrayAvailable()))
        window.show();
    const int exitCode = app.exec();

    window.hide();
    if (window.tray())
        window.tray()->hide();
    if (!window.finishRunBeforeExit()) {
        // The worker thread would not end even after the spreadsheet processes
        // were ended; leave without running destructors under its feet.
        std::fflush(nullptr);
        std::_Exit(exitCode);
    }
    return exitCode;
}
