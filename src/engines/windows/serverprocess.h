// The process that serves an automation session, as far as this program
// touches it: found through the application's main window, watched for its
// end, and ended on its own when the program must quit while a call hangs in
// it.  The system calls are in serverprocess_win.cpp.
#pragma once

#include <QtGlobal>

namespace engines::windows {

// A running process, told apart from a later one that is given the same id
// by its creation time.
struct ServerProcess
{
    qint64 id = 0;           // 0: not known
    qint64 creationTime = 0; // in the unit of systemTimeNow()

    explicit operator bool() const { return id != 0; }
};

// The system clock in 100 ns steps.
qint64 systemTimeNow();

// The process that owns the window with this handle (as the application's
// "Hwnd" gives it); none for 0 or a window that no longer exists.
ServerProcess processOfWindow(qint64 windowHandle);

// False once the process has ended.
bool processRunning(const ServerProcess& process);

// Ends the process at once.  False when it could not be ended: it ended
// already, or this program has no right to end it.
bool terminateServerProcess(const ServerProcess& process);

} // namespace engines::windows
