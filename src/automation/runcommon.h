// The skeleton both batch runs share: starting the application, the workbook
// rule, opening each workbook, sheet selection and the emptiness test,
// counting, the report, the failure list, recovery from a lost application
// and the clean-up.  A RunKind supplies what differs between the print run and
// the page-setup run.  Internal to quorvane_automation.
#pragma once

#include "automation/runs.h"
#include "automation/spreadsheet.h"
#include "runcontrol/runoptions.h"

#include <QString>
#include <QStringList>

#include <atomic>

namespace automation {
namespace runs {

// Texts the runs send.
QString excelOkText();
QString workbooksOkText();
QString noApplicationText();
QString stoppedText();
QString applicationLostText();
QString invalidRangeText(const QString& nativePath);
QString workbookDelayText(int seconds);
QString sheetDelayText(int seconds);
QString reportText(const QString& firstWords, int workbooks, int sheets, qint64 seconds);

// How a step that may end the run went.
enum class Step {
    Continue,
    Stop,         // stop or quit honoured: the Stopped ending
    InvalidRange, // the print range cannot be resolved: the Invalid range ending
};

// What every hook of a RunKind may use.
struct RunContext
{
    const RunOptions& options;
    const RunEnvironment& env; // every member set
    Application& app;
};

// Sleeps milliseconds in slices of at most 100 ms, so that a quitting program
// is not held by a long delay; false when quitRequested cut it short.
bool waitMilliseconds(const RunContext& ctx, int milliseconds);

// What the two runs do differently.
class RunKind
{
public:
    virtual ~RunKind() = default;

    virtual OpenMode openMode() const = 0;
    // "成功打印" or "成功修改".
    virtual QString reportFirstWords() const = 0;
    // Test besides the shared workbook name rule.
    virtual bool accepts(const QString& nativePath) const = 0;
    // Before the workbookNumber-th accepted workbook is shown and opened.
    virtual Step beforeWorkbook(const RunContext& ctx, int workbookNumber) = 0;
    // Before sheet index of the open workbook is fetched.
    virtual Step beforeSheet(const RunContext& ctx, int index) = 0;
    // True: the page setup is fetched for every sheet visited, before the
    // selection, and handed to prepareSheet and to every change.  False: each
    // change fetches its own.
    virtual bool pageSetupForEverySheet() const = 0;
    virtual void prepareSheet(const RunContext& ctx, PageSetup& setup) = 0;

    struct Change
    {
        bool counted = false; // counts in S
        bool failed = false;  // the workbook goes into the failure list
        Step step = Step::Continue;
    };
    // One match of a selected, non-empty sheet.  setup is the sheet's page
    // setup when pageSetupForEverySheet(), otherwise null.
    virtual Change change(const RunContext& ctx, Worksheet& sheet, PageSetup* setup) = 0;

    // After the sheets of a workbook, before it is closed; false lists the
    // workbook as failed.
    virtual bool finishWorkbook(const RunContext& ctx, Workbook& book) = 0;
    // True: a workbook that failed after it was opened is taken out of W and
    // its sheets out of S (nothing of it was changed for good).
    virtual bool uncountsFailedWorkbooks() const = 0;
};

// Runs the skeleton over entries (paths in any separators, in order).
// startTime is the run's first act, taken by the caller.  stopFlag, when
// given, is cleared on the Stopped ending.
RunResult runBatch(RunKind& kind, const QStringList& entries, qint64 startTime,
                   const RunOptions& options, std::atomic<bool>* stopFlag,
                   const RunEnvironment& env);

// The environment with every unset member given its working default.
RunEnvironment completeEnvironment(const RunEnvironment& env);

// Writes the failure list (local 8-bit, one path per line, platform line
// ends), replacing the file atomically.  False when it cannot be written.
bool writeFailedList(const QString& path, const QStringList& nativePaths);

} // namespace runs
} // namespace automation
