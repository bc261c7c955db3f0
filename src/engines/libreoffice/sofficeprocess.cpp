#include "engines/libreoffice/sofficeprocess.h"

#include "engines/libreoffice/libreoffice.h"

#include <mutex>
#include <set>

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace engines::lo {

namespace {

// Runs in the child between fork and exec: only async-signal-safe calls.
void dieWithParent(pid_t parentPid)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have died before prctl took effect.
    if (::getppid() != parentPid)
        ::_exit(1);
}

std::mutex& registryMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::set<qint64>& registry()
{
    static std::set<qint64> pids;
    return pids;
}

} // namespace

SofficeProcess::SofficeProcess() : m_parentPid(::getpid())
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const pid_t parent = m_parentPid;
    setChildProcessModifier([parent] { dieWithParent(parent); });
#endif
}

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
void SofficeProcess::setupChildProcess()
{
    dieWithParent(m_parentPid);
}
#endif

void registerOfficeProcess(qint64 pid)
{
    std::lock_guard<std::mutex> lock(registryMutex());
    registry().insert(pid);
}

void unregisterOfficeProcess(qint64 pid)
{
    std::lock_guard<std::mutex> lock(registryMutex());
    registry().erase(pid);
}

void killRegisteredOfficeProcesses()
{
    std::lock_guard<std::mutex> lock(registryMutex());
    for (qint64 pid : registry())
        ::kill(static_cast<pid_t>(pid), SIGKILL);
}

void killOfficeProcesses()
{
    killRegisteredOfficeProcesses();
}

} // namespace engines::lo
