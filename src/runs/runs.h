// The two batch runs, written against the spreadsheet interface only, so that
// they run unchanged against LibreOffice, Excel and the tests' recording fake.
// Each runs to its end in the calling thread, reporting through events.
#pragma once

#include "runs/environment.h"
#include "runs/events.h"
#include "runs/options.h"
#include "runs/runcontrol.h"

#include <QString>
#include <QStringList>

namespace runs {

struct FailedWorkbook
{
    QString path; // native separators
    spreadsheet::Failure failure;
};

struct RunResult
{
    Ending ending = Ending::Normal;
    int workbooks = 0;            // W
    int sheets = 0;               // S
    QList<FailedWorkbook> failed; // in the order they failed

    QStringList failedPaths() const;
};

// The batch print run over options.workbookList.  Lowers
// control.stopRequested when it ends on a stop.
RunResult runPrint(const PrintOptions& options, RunControl& control, const RunEnvironment& env,
                   const EventSink& events);

// The batch page-setup run over the workbooks under options.folder.  Pause
// and stop are not looked at; quit is.
RunResult runPageSetup(const PageSetupOptions& options, RunControl& control,
                       const RunEnvironment& env, const EventSink& events);

// Writes the failure list (local 8-bit, one path per line, platform line
// ends), replacing the file atomically.  False when it cannot be written.
bool writeFailedList(const QString& path, const QStringList& nativePaths);

} // namespace runs
