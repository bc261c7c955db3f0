#include "engines/windows/serverprocess.h"

#include <windows.h>

namespace engines::windows {

namespace {

qint64 ticks(const FILETIME& time)
{
    return qint64((quint64(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

// 0 when the creation time cannot be read.
qint64 creationTimeOf(HANDLE process)
{
    FILETIME created;
    FILETIME exited;
    FILETIME kernel;
    FILETIME user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    return ticks(created);
}

// The process with these rights, if it is still the one that was found.
HANDLE openSameProcess(const ServerProcess& process, DWORD access)
{
    if (!process)
        return nullptr;
    HANDLE handle =
        OpenProcess(access | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(process.id));
    if (handle && creationTimeOf(handle) != process.creationTime) {
        CloseHandle(handle);
        return nullptr;
    }
    return handle;
}

} // namespace

qint64 systemTimeNow()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return ticks(now);
}

ServerProcess processOfWindow(qint64 windowHandle)
{
    if (windowHandle == 0)
        return {};
    // The application gives its handle as a 32-bit number; window handles
    // are sign-extended to the pointer's width.
    const HWND window = reinterpret_cast<HWND>(static_cast<INT_PTR>(windowHandle));
    DWORD id = 0;
    if (GetWindowThreadProcessId(window, &id) == 0 || id == 0)
        return {};
    HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (!handle)
        return {};
    const qint64 created = creationTimeOf(handle);
    CloseHandle(handle);
    if (created == 0)
        return {};
    return {qint64(id), created};
}

bool processRunning(const ServerProcess& process)
{
    HANDLE handle = openSameProcess(process, SYNCHRONIZE);
    if (!handle)
        return false;
    const bool running = WaitForSingleObject(handle, 0) == WAIT_TIMEOUT;
    CloseHandle(handle);
    return running;
}

bool terminateServerProcess(const ServerProcess& process)
{
    HANDLE handle = openSameProcess(process, PROCESS_TERMINATE);
    if (!handle)
        return false;
    const bool ended = TerminateProcess(handle, 1) != 0;
    CloseHandle(handle);
    return ended;
}

} // namespace engines::windows
