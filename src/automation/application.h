// The spreadsheet application of this platform: LibreOffice Calc over UNO on
// Linux, "Excel.Application" over COM on Windows.
#pragma once

#include "automation/spreadsheet.h"

#include <memory>

namespace automation {

// A new, not yet started application object.  Never null: where no
// spreadsheet application can be had, the object's workbooks collection is
// null.
std::unique_ptr<Application> createSpreadsheetApplication();

// Ends at once every spreadsheet process that this program started and that is
// still running (used when the program must quit and a run does not end in
// time).  Safe to call from any thread.
void terminateAllSpreadsheetProcesses();

} // namespace automation
