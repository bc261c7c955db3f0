// LibreOffice Calc as the office of this platform: the face the engine router
// sees, without UNO headers.
#pragma once

#include "spreadsheet/spreadsheet.h"

#include <memory>

namespace engines::lo {

// A new, not yet started application running its own private office.
std::unique_ptr<spreadsheet::Application> createLibreOfficeApplication();

// Kills every office process this program started that still runs.
void killOfficeProcesses();

} // namespace engines::lo
