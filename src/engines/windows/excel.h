// "Excel.Application" (Microsoft Excel, or WPS spreadsheets registered under
// the same name) as the office on Windows: the face the engine router sees.
#pragma once

#include "spreadsheet/spreadsheet.h"

#include <memory>

namespace engines::windows {

std::unique_ptr<spreadsheet::Application> createExcelApplication();

// Ends at once the spreadsheet processes that sessions of this program
// started and have not quit (never one that ran before its session started).
// Safe to call from any thread.
void terminateExcelProcesses();

} // namespace engines::windows
