// LibreOffice Calc as the office of this platform: the face the engine router
// sees, without UNO headers.
#pragma once

#include "spreadsheet/spreadsheet.h"

#include <memory>

namespace engines::lo {

// A new, not yet started application running its own private office.
std::unique_ptr<spreadsheet::Application> createLibreOfficeApplication();

// Whether the office program is there to be started (a cheap check of its
// files: nothing is started).
bool officeInstalled();

// Kills every office process this program started that still runs.
void killOfficeProcesses();

} // namespace engines::lo
