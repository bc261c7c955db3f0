// What the window's runs use of the system, built in one place: the
// spreadsheet engines, a real clock and sleep, the desktop's text editor for
// the failure list, and ending the spreadsheet processes when the program
// must quit and a run does not end in time.  Tests build their own.
#pragma once

#include "runs/environment.h"

#include <functional>

namespace runcontrol {

struct Services
{
    runs::RunEnvironment environment;
    std::function<void()> endSpreadsheetProcesses;
};

Services desktopServices();

} // namespace runcontrol
