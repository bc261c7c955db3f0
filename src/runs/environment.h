// What a run needs from its surroundings.  Each front end builds this in one
// place (the window's worker, the command line); tests pass doubles.  The runs
// module has no defaults of its own: it starts no engine, opens no editor and
// reads no clock that it is not given.
#pragma once

#include "runs/events.h"
#include "spreadsheet/spreadsheet.h"

#include <QString>

#include <functional>
#include <memory>

namespace runs {

struct RunEnvironment
{
    // Creates the (not yet started) spreadsheet application of a run.
    std::function<std::unique_ptr<spreadsheet::Application>()> createApplication;
    // Blocking sleep of the calling thread.
    std::function<void(int milliseconds)> sleep;
    // Wall clock in whole seconds.
    std::function<qint64()> now;
    // Shows a written failure list to the user; unset: the list stays a file.
    std::function<void(const QString& path)> showFailedList;
    // Spreadsheet applications a print run may have working side by side,
    // each on a workbook of its own, while its print jobs go out in the order
    // of the list (PDF files are written side by side).  Never more than the
    // processor cores; delays between workbooks or sheets make it one.
    int applications = 1;
};

// As many applications as the machine has processor cores, where several
// applications can work side by side (on Windows one: Excel and WPS are
// desktop programs that this program drives one at a time).
int defaultApplications();

// Receives every event of a run, in the run's thread.
using EventSink = std::function<void(const RunEvent&)>;

// A plain blocking sleep and the system's wall clock, for front ends that
// have no reason to use others.
void sleepMilliseconds(int milliseconds);
qint64 wallClockSeconds();

} // namespace runs
