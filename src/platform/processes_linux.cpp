// Process list helpers over /proc.
//
// The executable name of a process is the file name of its executable as the
// kernel reports it through /proc/PID/exe.  That link is readable for the
// processes of the calling user; for others the kernel refuses it, and the
// short command name in /proc/PID/comm is used instead, but only where it
// cannot have been cut short (the kernel keeps 15 bytes of it).  Processes
// without an executable (kernel threads, zombies) have no name and never match.
#include "platform/processes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

// The kernel keeps at most this many bytes of a command name.
constexpr std::size_t kCommMaxLength = 15;

bool isProcessDirectory(const char* entryName)
{
    if (*entryName == '\0')
        return false;
    for (const char* p = entryName; *p; ++p) {
        if (*p < '0' || *p > '9')
            return false;
    }
    return true;
}

std::string baseName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The link target of /proc/PID/exe, with the " (deleted)" the kernel appends
// to an executable that was removed or replaced while running taken off again
// (unless a file of that full name really is the executable).
bool executablePath(const std::string& procDir, std::string& path, int& error)
{
    const std::string link = procDir + "/exe";
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink(link.c_str(), &buffer[0], buffer.size());
        if (n < 0) {
            error = errno;
            return false;
        }
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            break;
        }
        buffer.resize(buffer.size() * 2);
    }

    static const std::string deleted = " (deleted)";
    if (buffer.size() > deleted.size() &&
        buffer.compare(buffer.size() - deleted.size(), deleted.size(), deleted) == 0) {
        struct stat viaProc
        {
        };
        struct stat viaName
        {
        };
        const bool sameFile = ::stat(link.c_str(), &viaProc) == 0 &&
                              ::stat(buffer.c_str(), &viaName) == 0 &&
                              viaProc.st_dev == viaName.st_dev && viaProc.st_ino == viaName.st_ino;
        if (!sameFile)
            buffer.resize(buffer.size() - deleted.size());
    }
    path = buffer;
    return true;
}

bool commandName(const std::string& procDir, std::string& name)
{
    FILE* file = std::fopen((procDir + "/comm").c_str(), "re");
    if (!file)
        return false;
    char text[64] = {};
    const bool ok = std::fgets(text, sizeof text, file) != nullptr;
    std::fclose(file);
    if (!ok)
        return false;
    name = text;
    if (!name.empty() && name.back() == '\n')
        name.pop_back();
    return true;
}

// True when the process in procDir runs an executable named name.
bool processHasName(const std::string& procDir, const char* name)
{
    std::string path;
    int error = 0;
    if (executablePath(procDir, path, error))
        return baseName(path) == name;
    if (error != EACCES && error != EPERM)
        return false; // no executable at all, or the process is gone

    std::string comm;
    return std::strlen(name) < kCommMaxLength && commandName(procDir, comm) && comm == name;
}

// Calls visit(pid) for every process of that name, in /proc's order, until
// visit returns false.  False when /proc cannot be read.
template <typename Visit>
bool forEachProcessNamed(const char* name, Visit visit)
{
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return false;
    while (const dirent* entry = ::readdir(proc)) {
        if (!isProcessDirectory(entry->d_name))
            continue;
        const std::string procDir = std::string("/proc/") + entry->d_name;
        if (processHasName(procDir, name)) {
            if (!visit(static_cast<pid_t>(std::stol(entry->d_name))))
                break;
        }
    }
    ::closedir(proc);
    return true;
}

} // namespace

int countProcessesByName(const char* name)
{
    if (!name)
        return 0;
    int count = 0;
    forEachProcessNamed(name, [&count](pid_t) {
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
    forEachProcessNamed(name, [&ids](pid_t pid) {
        ids.push_back(pid);
        return true;
    });
    return ids;
}

int terminateProcessByName(const char* name, bool skipSelf)
{
    if (!name)
        return 0;
    const pid_t self = ::getpid();
    int found = 0;
    forEachProcessNamed(name, [&](pid_t pid) {
        if (skipSelf && pid == self)
            return true;
        // SIGTERM lets a copy of this program end its run and quit the
        // spreadsheet application it drives; other programs end at once.
        ::kill(pid, SIGTERM);
        found = 1;
        return false;
    });
    return found;
}

const char* ownExecutableName()
{
    return "Quorvane";
}

const char* wpsSpreadsheetProcessName()
{
    return "et";
}
