// The spreadsheet engines behind the one interface, and which one serves
// which file: the office of this platform (LibreOffice Calc over UNO on Linux,
// "Excel.Application" over COM on Windows) and, where the office would lose
// parts of a file on saving, engines that change the file's own bytes.
#pragma once

#include "spreadsheet/spreadsheet.h"

#include <memory>

namespace engines {

// A new, not yet started application object.  Never null: where no
// spreadsheet application can be had, its workbooks collection is null.
std::unique_ptr<spreadsheet::Application> createSpreadsheetApplication();

// Ends at once every spreadsheet process that this program started and that is
// still running (used when the program must quit and a run does not end in
// time).  Safe to call from any thread.
void terminateAllSpreadsheetProcesses();

} // namespace engines
