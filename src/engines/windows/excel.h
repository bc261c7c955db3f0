// "Excel.Application" (Microsoft Excel, or WPS spreadsheets registered under
// the same name) as the office on Windows: the face the engine router sees.
#pragma once

#include "spreadsheet/spreadsheet.h"

#include <memory>

namespace engines::windows {

std::unique_ptr<spreadsheet::Application> createExcelApplication();
void terminateExcelProcesses();

} // namespace engines::windows
