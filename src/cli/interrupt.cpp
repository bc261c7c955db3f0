#include "cli/interrupt.h"

#include "cli/cliargs.h"

#include "engines/engines.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <csignal>

#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <thread>
#include <unistd.h>
#endif

namespace cli {

namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs lock-free flags");
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free flags");

// Namespace scope, not function-local: a local static's first-use guard is
// not async-signal-safe.
runs::RunControl g_control;
std::atomic<bool> g_interrupted{false};

#ifndef _WIN32
int g_wakePipe[2] = {-1, -1};

extern "C" void onSignal(int)
{
    const int savedErrno = errno;
    requestInterrupt();
    if (g_wakePipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(g_wakePipe[1], &byte, 1);
    }
    errno = savedErrno;
}

// Counts the signals outside the handler, where more than atomics may be used.
void watchSignals()
{
    int received = 0;
    for (;;) {
        char byte = 0;
        const ssize_t n = ::read(g_wakePipe[0], &byte, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        if (++received < 2)
            continue;
        // An ordinary thread, not the handler: the text may be translated.
        const QByteArray message =
            (QStringLiteral("quorvane-cli: ") +
             tr("interrupted again, ending the spreadsheet program at once") + QLatin1Char('\n'))
                .toLocal8Bit();
        [[maybe_unused]] const ssize_t written =
            ::write(2, message.constData(), size_t(message.size()));
        engines::terminateAllSpreadsheetProcesses();
        ::_exit(130);
    }
}
#else
extern "C" void onSignal(int signalNumber)
{
    requestInterrupt();
    std::signal(signalNumber, onSignal); // the CRT resets the handler
}
#endif

} // namespace

void requestInterrupt() noexcept
{
    g_interrupted.store(true);
    g_control.quitRequested.store(true);
    g_control.stopRequested.store(true);
}

bool interruptRequested() noexcept
{
    return g_interrupted.load();
}

void clearInterrupt() noexcept
{
    g_interrupted.store(false);
}

runs::RunControl& cliRunControl()
{
    return g_control;
}

void installInterruptHandlers()
{
#ifndef _WIN32
    if (::pipe(g_wakePipe) == 0) {
        ::fcntl(g_wakePipe[1], F_SETFL, ::fcntl(g_wakePipe[1], F_GETFL) | O_NONBLOCK);
        ::fcntl(g_wakePipe[0], F_SETFD, FD_CLOEXEC);
        ::fcntl(g_wakePipe[1], F_SETFD, FD_CLOEXEC);
        std::thread(watchSignals).detach();
    } else {
        g_wakePipe[0] = g_wakePipe[1] = -1;
    }
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
#else
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
#endif
}

} // namespace cli
