#include "engines/libreoffice/sofficeprocess.h"

#include "engines/libreoffice/libreoffice.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <algorithm>
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

QByteArray readProcFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// utime + stime + cutime + cstime of one process, from the fields of its
// stat line after the command name (which may hold spaces and brackets).
qint64 cpuTicksOf(qint64 pid)
{
    const QByteArray line = readProcFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const int close = line.lastIndexOf(')');
    if (close < 0)
        return -1;
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    // Fields 14-17 of the line; the state (field 3) is fields[0].
    if (fields.size() < 15)
        return -1;
    qint64 ticks = 0;
    for (int i = 11; i <= 14; ++i)
        ticks += fields.at(i).toLongLong();
    return ticks;
}

// Running children of a process, from the children lists of its threads.
QList<qint64> childrenOf(qint64 pid)
{
    QList<qint64> children;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QByteArray list =
            readProcFile(tasks + QLatin1Char('/') + task + QStringLiteral("/children"));
        for (const QByteArray& child : list.split(' ')) {
            bool ok = false;
            const qint64 id = child.trimmed().toLongLong(&ok);
            if (ok && id > 0)
                children << id;
        }
    }
    return children;
}

} // namespace

bool ProcessActivity::workedSince(const ProcessActivity& before,
                                  std::chrono::milliseconds cpu) const
{
    if (cpuMilliseconds < 0 || before.cpuMilliseconds < 0)
        return false;
    return cpuMilliseconds - before.cpuMilliseconds >= cpu.count() ||
           ioBytes - before.ioBytes >= 64 * 1024;
}

ProcessActivity processActivity(qint64 pid)
{
    ProcessActivity activity;
    if (pid <= 0)
        return activity;
    qint64 ticks = cpuTicksOf(pid);
    if (ticks < 0)
        return activity;
    // Helpers the office runs (filters, converters) work on its behalf.
    QList<qint64> pending = childrenOf(pid);
    for (int seen = 0; !pending.isEmpty() && seen < 64; ++seen) {
        const qint64 child = pending.takeFirst();
        ticks += std::max<qint64>(cpuTicksOf(child), 0);
        pending += childrenOf(child);
    }
    static const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    activity.cpuMilliseconds = ticks * 1000 / std::max(ticksPerSecond, 1L);
    const QByteArray io = readProcFile(QStringLiteral("/proc/%1/io").arg(pid));
    for (const QByteArray& line : io.split('\n')) {
        if (line.startsWith("rchar:") || line.startsWith("wchar:"))
            activity.ioBytes =
                std::max<qint64>(activity.ioBytes, 0) + line.mid(6).trimmed().toLongLong();
    }
    return activity;
}

ProcessMemory processMemory(qint64 pid)
{
    ProcessMemory memory;
    if (pid <= 0)
        return memory;
    const QByteArray status = readProcFile(QStringLiteral("/proc/%1/status").arg(pid));
    qint64 resident = -1, swapped = 0;
    for (const QByteArray& line : status.split('\n')) {
        const auto value = [&](const char* key) {
            return line.mid(int(qstrlen(key))).trimmed().split(' ').value(0).toLongLong();
        };
        if (line.startsWith("VmRSS:"))
            resident = value("VmRSS:");
        else if (line.startsWith("VmSwap:"))
            swapped = value("VmSwap:");
        else if (line.startsWith("VmHWM:"))
            memory.peakKiB = value("VmHWM:");
    }
    if (resident >= 0)
        memory.currentKiB = resident + swapped;
    return memory;
}

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
