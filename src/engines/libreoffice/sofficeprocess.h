// The soffice.bin child process of one LibreOffice session.
#pragma once

#include <QProcess>

#include <chrono>

#include <sys/types.h>

namespace engines::lo {

// A QProcess whose child asks the kernel to kill it when the thread that
// started it goes away, so a crashed or killed program never leaves an
// office behind.
class SofficeProcess : public QProcess
{
public:
    SofficeProcess();

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
protected:
    void setupChildProcess() override;
#endif

private:
    pid_t m_parentPid;
};

// The process-wide list of running office processes that this program
// started.  terminateAllSpreadsheetProcesses() kills every one of them.
void registerOfficeProcess(qint64 pid);
void unregisterOfficeProcess(qint64 pid);
void killRegisteredOfficeProcesses();

// What an office process has done so far: CPU time used (by it, its children
// that ended, and its descendants still running) and bytes it has read and
// written through files and pipes.
struct ProcessActivity
{
    qint64 cpuMilliseconds = -1;
    qint64 ioBytes = -1;

    // Whether the process has worked since `before`: used at least cpu of
    // CPU time, or read or written at least 64 KiB.  An office that only
    // waits still wakes now and then (a timer thread of an office with a
    // workbook open uses about 70 microseconds a second), which must not
    // pass for work.
    bool workedSince(const ProcessActivity& before, std::chrono::milliseconds cpu) const;
};

// The activity of a running process; both figures -1 when it cannot be read.
ProcessActivity processActivity(qint64 pid);

// Memory of a process in KiB: what it holds now (resident plus swapped out,
// so that a growing office is seen also when the system swaps it out) and
// its peak resident size.  -1 when unknown.
struct ProcessMemory
{
    qint64 currentKiB = -1;
    qint64 peakKiB = -1;
};

ProcessMemory processMemory(qint64 pid);

} // namespace engines::lo
