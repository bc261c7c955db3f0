// The walk both runs share: the workbook rule, opening each workbook, the
// sheets selected in it, counting, the failure list, recovery from a lost
// application and the endings.  A BatchKind supplies what the print run and
// the page-setup run do differently.  Internal to the runs module.
#pragma once

#include "runs/environment.h"
#include "runs/events.h"
#include "runs/options.h"
#include "runs/runcontrol.h"
#include "runs/runs.h"
#include "spreadsheet/spreadsheet.h"

#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <functional>

namespace runs {

// How a step that may end the run went.
enum class Step {
    Continue,
    Stop,         // stop or quit honoured: the Stopped ending
    InvalidRange, // the print range cannot be resolved: the Invalid range ending
};

// What every hook of a BatchKind may use.  Each spreadsheet application of
// the run has its own.
struct BatchContext
{
    RunControl& control;
    const RunEnvironment& env;
    const EventSink& events;
    spreadsheet::Application& app;
    RunType run;
    // The open workbook's print job when its sheets are printed several to
    // a job; null: each sheet is printed at once.
    spreadsheet::PrintJob* job = nullptr;
    // Sends what waits in the job and tells of it, once the workbooks before
    // this one are done (in the order of the list); then the workbook
    // prints at once until its end.  False when the run ended before this
    // workbook: nothing of it may be printed.
    std::function<bool()> sendJob;
    // Waits until the workbooks before this one are done, so that what is
    // printed now comes after them; false as for sendJob.
    std::function<bool()> takeTurn;

    void emitEvent(RunEvent event) const
    {
        event.run = run;
        events(event);
    }
};

// Sleeps milliseconds in slices of at most 100 ms, so that a quitting program
// is not held by a long delay; false when a quit cut it short.
bool waitMilliseconds(const BatchContext& ctx, int milliseconds);

class BatchKind
{
public:
    virtual ~BatchKind() = default;

    virtual RunType type() const = 0;
    virtual spreadsheet::OpenMode openMode() const = 0;
    // Test besides the shared workbook name rule; a failure says why not.
    virtual spreadsheet::Failure refuses(const QString& nativePath) const = 0;
    // True: hidden sheets are passed over as if they were not there.
    virtual bool skipsHiddenSheets() const = 0;
    // Before the workbookNumber-th accepted workbook is shown and opened.
    virtual Step beforeWorkbook(const BatchContext& ctx, int workbookNumber) = 0;
    // Before sheet index of the open workbook is fetched.
    virtual Step beforeSheet(const BatchContext& ctx, int index) = 0;
    // True: the page setup is fetched for every sheet visited, before the
    // selection, and handed to prepareSheet and to every change.  False: each
    // change fetches its own.
    virtual bool pageSetupForEverySheet() const = 0;
    virtual void prepareSheet(const BatchContext& ctx, spreadsheet::PageSetup& setup) = 0;

    struct Change
    {
        bool counted = false; // counts in S
        int pages = -1;
        spreadsheet::PageSetupValues before, after; // a page-setup change
        spreadsheet::Failure failure;               // set: the workbook goes into the failure list
        Step step = Step::Continue;
        // Waiting in ctx.job: counted, and told of, when the job is sent.
        bool waiting = false;
    };
    // One match of a selected, non-empty sheet.  setup is the sheet's page
    // setup when pageSetupForEverySheet(), otherwise null.
    virtual Change change(const BatchContext& ctx, spreadsheet::Worksheet& sheet,
                          spreadsheet::PageSetup* setup) = 0;

    // After the sheets of a workbook went through without a failure, before
    // it is closed; a failure lists the workbook.
    virtual spreadsheet::Failure finishWorkbook(const BatchContext& ctx,
                                                spreadsheet::Workbook& book) = 0;
    // True: a workbook that failed after it was opened is taken out of W and
    // its sheets out of S (nothing of it was changed for good).
    virtual bool uncountsFailedWorkbooks() const = 0;
    // True: the sheets of a workbook go into one print job where the
    // application can do that (BatchContext::job).
    virtual bool printsInJobs() const = 0;
};

// The failure that a print result stands for: what the application says
// when it was lost on the way, the result's own otherwise.
spreadsheet::Failure printFailure(const BatchContext& ctx, const spreadsheet::PrintResult& result);

struct BatchSettings
{
    QStringList entries;  // paths in any separators, in order
    qint64 startTime = 0; // the run's first act, taken by the caller
    SheetSelection sheets;
    QString failedListPath;
    const spreadsheet::PrintTarget* printTarget = nullptr; // print run only
    bool clearsStopFlag = false; // the Stopped ending lowers stopRequested
    // Spreadsheet applications working side by side, each on a workbook of
    // its own; what they print, and what the run tells, keeps the order of
    // the list.
    int applications = 1;
};

// Removes what an interrupted run of ours left behind: a temporary file of a
// save or of a PDF file (".~quorvane-*") older than ten minutes.  A younger
// one may belong to another run on the same folder.  True when file is such
// a temporary file, removed or not.
bool passOverOwnTemporary(const QFileInfo& file, bool remove);

RunResult runBatch(BatchKind& kind, const BatchSettings& settings, RunControl& control,
                   const RunEnvironment& env, const EventSink& events);

} // namespace runs
