// What the window's runs use of the system, built in one place: the
// spreadsheet engines, a real clock and sleep, the desktop's text editor for
// the failure list, the system's printers, and ending the spreadsheet
// processes when the program must quit and a run does not end in time.
// Tests build their own.
#pragma once

#include "runcontrol/printers.h"
#include "runs/environment.h"

#include <QString>

#include <functional>

namespace runcontrol {

struct Services
{
    runs::RunEnvironment environment;
    std::function<void()> endSpreadsheetProcesses;
    // The printers a print run may go to; unset: none is known, and a print
    // run goes to the default printer.
    std::function<printers::PrinterList()> listPrinters;
    // Shows a desktop notification (title, text); unset: the window's tray
    // icon shows it.
    std::function<void(const QString& title, const QString& text)> notify;
};

Services desktopServices();

} // namespace runcontrol
