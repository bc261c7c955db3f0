// The two batch runs, written against the spreadsheet interface only, so that
// they run unchanged against LibreOffice, Excel and the tests' recording fake.
#pragma once

#include "automation/spreadsheet.h"
#include "runcontrol/runoptions.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace automation {

// What a run needs from its surroundings.  A member left unset gets its
// working default (createApplication: the platform's spreadsheet application;
// countProcesses: countProcessesByName; openFailedList: the text editor; a
// real sleep and clock; progress and finished: nothing).
struct RunEnvironment
{
    // Creates the (not yet started) application object of the run.
    std::function<std::unique_ptr<Application>()> createApplication;
    // One progress text (the worker's ShowDisposingFile).
    std::function<void(const QString&)> progress;
    // The run has ended (the worker's Set_pBtn_FileMerge_Enable); called
    // exactly once.
    std::function<void()> finished;
    // Number of running processes of that executable name.
    std::function<int(const char*)> countProcesses;
    // Shows the failure list to the user.
    std::function<void(const QString& path)> openFailedList;
    // Blocking sleep of the calling thread.
    std::function<void(int milliseconds)> sleep;
    // Wall clock in whole seconds.
    std::function<qint64()> now;
};

enum class RunEnding {
    Normal,
    NoApplication,
    Stopped, // stop pressed, or the program is quitting
    InvalidRange,
    ApplicationLost, // the application died and no fresh one could be started
};

struct RunResult
{
    RunEnding ending = RunEnding::Normal;
    int workbooks = 0;  // W
    int sheets = 0;     // S
    QStringList failed; // native paths of the workbooks listed as failed
};

// Whether a progress text of a run reports a failure rather than progress:
// no usable spreadsheet application, an invalid print range, an application
// lost for good.
bool isFailureText(const QString& text);

// The batch print run over options.workbookList.  Clears options.stopRequested
// when it ends on a stop.
RunResult runPrint(RunOptions& options, const RunEnvironment& env);

// The batch page-setup run over the workbooks under folder.
RunResult runPageSetup(const QString& folder, const RunOptions& options, const RunEnvironment& env);

} // namespace automation
