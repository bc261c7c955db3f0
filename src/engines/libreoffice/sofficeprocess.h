// The soffice.bin child process of one LibreOffice session.
#pragma once

#include <QProcess>

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

} // namespace engines::lo
