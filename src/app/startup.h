// Start-up state: what the entry point learns about its command line and its
// own location before the application object exists.  Written once by main(),
// read-only afterwards.  The strings are the narrow (local 8-bit) texts the
// program receives; they have no length limit.
#pragma once

#include <QString>

#include <string>

namespace startup {

struct State
{
    std::string startArgument; // first argument after the program name, leaving out
                               // "-lang X"; empty when none
    std::string language;      // X of "-lang X" or "-lang=X"; empty when not given
    std::string exePath;       // the program name argument as received
    std::string appDir;        // the executable's folder with a trailing separator, or empty
    std::string settingsPath;  // appDir + "Quorvane.mrw"
};

// The process-wide start-up state.
State& state();

// Builds the state from main()'s arguments.  "-lang X" (or "-lang=X") may
// stand anywhere; the first other argument is the start argument.  executableFile is where the
// system says the running executable lies; when empty, the program name
// argument is used to find the folder.
State fromArguments(int argc, const char* const* argv, const std::string& executableFile);

// The full path of the running executable as the system reports it; empty when
// it cannot be had.
std::string runningExecutableFile();

// path up to and including its last folder separator; empty when it has none.
std::string folderOf(const std::string& path);

// The single-copy rule: when more than one process of that executable name
// runs (the calling one included), ends the first other one, so the calling
// copy is the one left.
void keepSingleCopy(const char* executableName);

// True when the window should start hidden, reachable from the tray icon only.
bool startsHidden(const std::string& startArgument, bool trayAvailable);

// The settings file the window uses: settingsPath of the process-wide state,
// unless the program is installed where a user keeps no files of their own
// (see usableSettingsPath).
QString settingsFilePath();

// The file beside the executable (beside) when it exists, or when the
// executable lies in a folder of the user's own (a build or unpacked folder:
// the file is then never created, as there).  For a program installed in a
// system folder (under /usr, /opt, or a folder the user cannot write), the
// user's own file perUser instead, created empty when missing, so that the
// window's choices are remembered.
QString usableSettingsPath(const QString& beside, const QString& perUser);

} // namespace startup
