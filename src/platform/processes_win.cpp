// Process list helpers over a Toolhelp snapshot of all processes.
#include "platform/processes.h"

#include <cstring>

// The snapshot is walked in its 8-bit form, so that names compare byte for byte
// with the narrow names the callers pass.
#undef UNICODE
#undef _UNICODE
#include <windows.h>

#include <tlhelp32.h>

// dwSize tells the system which record layout the walk was built with: 304
// bytes in a 64-bit program, 296 in a 32-bit one.
static_assert(sizeof(PROCESSENTRY32) == (sizeof(void*) == 8 ? 304 : 296),
              "the 8-bit process record has the layout Process32First expects");

namespace {

// Walks the snapshot until visit returns false.  False when no snapshot can be
// taken.
template <typename Visit>
bool forEachProcess(Visit visit)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(PROCESSENTRY32);
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (!visit(entry))
            break;
    }
    CloseHandle(snapshot);
    return true;
}

} // namespace

int countProcessesByName(const char* name)
{
    if (!name)
        return 0;
    int count = 0;
    forEachProcess([&](const PROCESSENTRY32& entry) {
        if (std::strcmp(entry.szExeFile, name) == 0)
            ++count;
        return true;
    });
    return count;
}

std::vector<long long> processIdsByName(const char* name)
{
    std::vector<long long> ids;
    if (!name)
        return ids;
    forEachProcess([&](const PROCESSENTRY32& entry) {
        if (std::strcmp(entry.szExeFile, name) == 0)
            ids.push_back(entry.th32ProcessID);
        return true;
    });
    return ids;
}

int terminateProcessByName(const char* name, bool skipSelf)
{
    if (!name)
        return 0;
    const DWORD self = GetCurrentProcessId();
    int found = 0;
    forEachProcess([&](const PROCESSENTRY32& entry) {
        if (std::strcmp(entry.szExeFile, name) != 0 || (skipSelf && entry.th32ProcessID == self))
            return true;
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
        if (process) {
            TerminateProcess(process, 0);
            CloseHandle(process);
        }
        found = 1;
        return false;
    });
    return found;
}

const char* ownExecutableName()
{
    return "Quorvane.exe";
}

const char* wpsSpreadsheetProcessName()
{
    return "et.exe";
}
