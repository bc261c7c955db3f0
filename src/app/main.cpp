// Entry point: start-up state, the single-copy rule, the window and the event
// loop, and an orderly end of a run still going when the program quits.
#include "app/mainwindow.h"
#include "app/startup.h"
#include "app/systemtray.h"
#include "i18n/language.h"
#include "platform/processes.h"
#include "quorvane_version.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLocale>
#include <QSystemTrayIcon>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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

namespace {

const char usageText[] = QT_TRANSLATE_NOOP(
    "Quorvane", "Usage: Quorvane [-autorun]\n"
                "\n"
                "Opens the window that prints every spreadsheet workbook (.xls, .xlsx, .xlsm,\n"
                ".csv) under a folder in one run, and changes the margins and orientation of\n"
                "all of them in one run.  The work is done by LibreOffice Calc in a hidden\n"
                "process of its own; printing goes to a printer of the system's, or into PDF\n"
                "files.\n"
                "\n"
                "Only one copy runs at a time: starting the program ends a copy already running.\n"
                "\n"
                "  -autorun    start with only the tray icon when the desktop has a\n"
                "              notification area\n"
                "  -lang zh|en the interface language: Chinese or English (without it,\n"
                "              Chinese on a Chinese system and English elsewhere)\n"
                "  --help      show this text\n"
                "  --version   show the version\n"
                "\n"
                "quorvane-cli runs the same print and page-setup runs without a window.\n");

// Installs the interface language: the one -lang names, else Chinese on a
// Chinese system and English elsewhere.
void installLanguage()
{
    const QString asked = QString::fromLocal8Bit(startup::state().language.c_str());
    const std::optional<i18n::Language> named = i18n::languageNamed(asked);
    if (!asked.isEmpty() && !named)
        std::fprintf(stderr, "Quorvane: unknown language \"%s\" (use zh or en)\n",
                     startup::state().language.c_str());
    if (!i18n::installTranslation(named.value_or(i18n::languageOf(QLocale::system())),
                                  QString::fromLocal8Bit(startup::state().appDir.c_str())) &&
        named)
        std::fprintf(stderr, "Quorvane: the translation for \"%s\" is not installed\n",
                     startup::state().language.c_str());
}

// --help and --version are answered before anything else: they need no
// display, and must not end a copy that is running.
bool answeredInformationRequest(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            int coreArgc = 1;
            QCoreApplication core(coreArgc, argv);
            installLanguage();
            std::fputs(QCoreApplication::translate("Quorvane", usageText).toLocal8Bit().constData(),
                       stdout);
            return true;
        }
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("Quorvane " QUORVANE_VERSION "\n", stdout);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    startup::state() = startup::fromArguments(argc, argv, startup::runningExecutableFile());
    if (answeredInformationRequest(argc, argv))
        return 0;

    startup::keepSingleCopy(ownExecutableName());

    QApplication app(argc, argv);
#if defined(Q_OS_UNIX)
    quitOnTerminationSignal(app);
#endif

    installLanguage();

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
