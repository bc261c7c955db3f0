// Process list helpers over the operating system's running processes, looked
// up by executable file name (byte for byte, case-sensitive).  Each call takes
// its own snapshot; no state is kept.
#pragma once

#include <vector>

// Number of running processes whose executable name equals name; 0 when name
// is null or the process list cannot be read.
int countProcessesByName(const char* name);

// Process ids of the running processes whose executable name equals name, in
// the order of the system's process list; empty when name is null or the list
// cannot be read.
std::vector<long long> processIdsByName(const char* name);

// Asks the first running process of that name (other than the calling process
// when skipSelf is true) to terminate.  1 when one was found and its
// termination was asked for, 0 when none was found, name is null or the list
// cannot be read.
int terminateProcessByName(const char* name, bool skipSelf = false);

// The executable name the single-copy rule looks for: "Quorvane.exe" on
// Windows, "Quorvane" elsewhere.
const char* ownExecutableName();

// The name of the WPS spreadsheet program's process: "et.exe" on Windows, "et"
// elsewhere.
const char* wpsSpreadsheetProcessName();
