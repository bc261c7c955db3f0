#include "app/startup.h"

#include "platform/processes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#if !defined(Q_OS_WIN)
#include <unistd.h>
#endif

namespace startup {

State& state()
{
    static State current;
    return current;
}

std::string folderOf(const std::string& path)
{
#if defined(Q_OS_WIN)
    const std::size_t cut = path.find_last_of("\\/");
#else
    const std::size_t cut = path.rfind('/');
#endif
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string runningExecutableFile()
{
#if defined(Q_OS_WIN)
    return std::string(); // the program name argument holds the full path there
#else
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", &buffer[0], buffer.size());
        if (n < 0)
            return std::string();
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
#endif
}

State fromArguments(int argc, const char* const* argv, const std::string& executableFile)
{
    State s;
    bool startArgumentSeen = false;
    for (int i = 1; i < argc && argv[i]; ++i) {
        const std::string argument = argv[i];
        if (argument == "-lang") {
            if (i + 1 < argc && argv[i + 1])
                s.language = argv[++i];
        } else if (argument.rfind("-lang=", 0) == 0) {
            s.language = argument.substr(6);
        } else if (!startArgumentSeen) {
            s.startArgument = argument;
            startArgumentSeen = true;
        }
    }
    if (argc > 0 && argv[0])
        s.exePath = argv[0];
    s.appDir = folderOf(executableFile.empty() ? s.exePath : executableFile);
    s.settingsPath = s.appDir + "Quorvane.mrw";
    return s;
}

void keepSingleCopy(const char* executableName)
{
    if (countProcessesByName(executableName) > 1)
        terminateProcessByName(executableName, true);
}

bool startsHidden(const std::string& startArgument, bool trayAvailable)
{
    return trayAvailable && startArgument == "-autorun";
}

QString usableSettingsPath(const QString& beside, const QString& perUser)
{
    const QFileInfo file(beside);
    const QString folder = file.absolutePath();
    const bool systemFolder = folder.startsWith(QLatin1String("/usr/")) ||
                              folder.startsWith(QLatin1String("/opt/")) ||
                              !QFileInfo(folder).isWritable();
    if (file.exists() || !systemFolder || perUser.isEmpty())
        return beside;
    if (!QFileInfo::exists(perUser)) {
        QDir().mkpath(QFileInfo(perUser).absolutePath());
        QFile created(perUser);
        if (!created.open(QIODevice::WriteOnly))
            return beside;
    }
    return perUser;
}

QString settingsFilePath()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return usableSettingsPath(QString::fromLocal8Bit(state().settingsPath.c_str()),
                              config.isEmpty() ? QString()
                                               : config + QStringLiteral("/quorvane/Quorvane.mrw"));
}

} // namespace startup
