// The batch print run: the workbooks of the list, opened read-only, their
// selected sheets printed, with delays, pause and stop.
#include "runs/batch.h"
#include "runs/runs.h"

#include <QDir>
#include <QFileInfo>

namespace runs {
namespace {

using spreadsheet::Failure;
using spreadsheet::FailureKind;

// "PaperSize" code of the window's paper choice; 0 leaves the sheet's own.
int paperSizeCode(const QString& paperSize)
{
    if (paperSize == QLatin1String("A3"))
        return spreadsheet::PaperA3;
    if (paperSize == QLatin1String("A4"))
        return spreadsheet::PaperA4;
    if (paperSize == QLatin1String("A5"))
        return spreadsheet::PaperA5;
    if (paperSize == QLatin1String("B4"))
        return spreadsheet::PaperB4;
    if (paperSize == QLatin1String("B5"))
        return spreadsheet::PaperB5;
    return 0;
}

int delayMilliseconds(int seconds)
{
    // The window allows 0 to 900 s; anything else is kept within an int.
    return qBound(0, seconds, 24 * 3600) * 1000;
}

class PrintKind : public BatchKind
{
public:
    explicit PrintKind(const PrintOptions& options) : m_options(options) {}

    RunType type() const override { return RunType::Print; }
    spreadsheet::OpenMode openMode() const override { return spreadsheet::OpenMode::ReadOnly; }

    Failure refuses(const QString& nativePath) const override
    {
        if (QFileInfo(nativePath).isFile())
            return Failure();
        return Failure{FailureKind::NotFound, {}};
    }
    // The user does not see hidden sheets, and neither does the printer.
    bool skipsHiddenSheets() const override { return true; }

    Step beforeWorkbook(const BatchContext& ctx, int workbookNumber) override
    {
        if (workbookNumber > 1)
            return delay(ctx, RunEvent::Type::WorkbookDelay, m_options.workbookDelaySeconds);
        return Step::Continue;
    }

    // The run's only checkpoint for pause and stop.  A quitting program ends
    // the run here as a stop does, and also ends a pause.  Sheets waiting in
    // a print job go out before a pause, as they would have one by one.
    Step beforeSheet(const BatchContext& ctx, int index) override
    {
        const RunControl& control = ctx.control;
        if (control.pauseRequested && !ctx.sendJob())
            return Step::Stop;
        while (control.pauseRequested) {
            ctx.env.sleep(100);
            if (control.stopRequested || control.quitRequested)
                return Step::Stop;
        }
        if (control.stopRequested || control.quitRequested)
            return Step::Stop;
        if (index > 1)
            return delay(ctx, RunEvent::Type::SheetDelay, m_options.sheetDelaySeconds);
        return Step::Continue;
    }

    bool pageSetupForEverySheet() const override { return true; }

    void prepareSheet(const BatchContext&, spreadsheet::PageSetup& setup) override
    {
        const int code = paperSizeCode(m_options.paperSize);
        if (code != 0)
            setup.setPaperSize(code);
    }

    Change change(const BatchContext& ctx, spreadsheet::Worksheet& sheet,
                  spreadsheet::PageSetup*) override
    {
        Change change;
        spreadsheet::PrintResult printed;
        std::unique_ptr<spreadsheet::Range> range;
        if (m_options.printRangeOnly && !m_options.printRange.isEmpty()) {
            range = sheet.range(m_options.printRange);
            if (!range) {
                // A dead application yields no range either; that is not the
                // range's fault.
                if (ctx.app.lost())
                    change.failure = ctx.app.lostFailure();
                else
                    change.step = Step::InvalidRange;
                return change;
            }
        }
        const auto printOut = [&] {
            if (ctx.job)
                return range ? range->printOut(*ctx.job) : sheet.printOut(*ctx.job);
            return range ? range->printOut() : sheet.printOut();
        };
        // What is printed at once comes after the workbooks before this one.
        if (!ctx.job && !m_options.target.countOnly && !ctx.takeTurn()) {
            change.step = Step::Stop;
            return change;
        }
        printed = printOut();
        if (printed.outcome == spreadsheet::PrintResult::NotJoined) {
            // It needs a job of its own: the waiting sheets go first.
            if (!ctx.sendJob()) {
                change.step = Step::Stop;
                return change;
            }
            printed = printOut();
        }
        switch (printed.outcome) {
        case spreadsheet::PrintResult::Printed:
            change.counted = true;
            change.pages = printed.pages;
            break;
        case spreadsheet::PrintResult::Waiting:
            change.counted = change.waiting = true;
            change.pages = printed.pages;
            break;
        case spreadsheet::PrintResult::NothingToPrint:
            // Nothing visible on it (content only in hidden rows, say): no
            // page, no job, nothing wrong.
            break;
        case spreadsheet::PrintResult::Failed:
        case spreadsheet::PrintResult::NotJoined: // not even in a job of its own
            // Not printed: not counted, and the workbook is listed.
            change.failure = printFailure(ctx, printed);
            break;
        }
        return change;
    }

    Failure finishWorkbook(const BatchContext&, spreadsheet::Workbook&) override
    {
        return Failure();
    }
    bool uncountsFailedWorkbooks() const override { return false; }
    // Each sheet is a job of its own where a pause between sheets is asked
    // for, and where the pages are only counted.
    bool printsInJobs() const override
    {
        return m_options.sheetDelaySeconds <= 0 && !m_options.target.countOnly;
    }

private:
    // Tells of the delay and waits it out; a run that only counts pages waits
    // for nobody.
    Step delay(const BatchContext& ctx, RunEvent::Type type, int seconds) const
    {
        if (m_options.target.countOnly)
            return Step::Continue;
        RunEvent event;
        event.type = type;
        event.seconds = seconds;
        ctx.emitEvent(event);
        return waitMilliseconds(ctx, delayMilliseconds(seconds)) ? Step::Continue : Step::Stop;
    }

    const PrintOptions& m_options;
};

} // namespace

RunResult runPrint(const PrintOptions& options, RunControl& control, const RunEnvironment& env,
                   const EventSink& events)
{
    BatchSettings settings;
    settings.startTime = env.now();
    if (options.target.kind == spreadsheet::PrintTarget::PdfDirectory &&
        !options.target.countOnly) {
        // PDF files are written under a temporary name until their turn.
        const QFileInfoList files =
            QDir(options.target.name).entryInfoList(QDir::Files | QDir::Hidden);
        for (const QFileInfo& file : files)
            passOverOwnTemporary(file, true);
    }
    settings.entries = options.workbookList.split(QLatin1Char('\n'));
    settings.sheets = options.sheets;
    settings.failedListPath = options.failedListPath;
    settings.printTarget = &options.target;
    settings.clearsStopFlag = true;
    // Side by side only where no pause between workbooks or sheets is asked
    // for: a pause is meant between the pages coming out.
    const bool delays = options.sheetDelaySeconds > 0 || options.workbookDelaySeconds > 0;
    settings.applications = delays && !options.target.countOnly
                                ? 1
                                : qBound(1, env.applications, defaultApplications());
    PrintKind kind(options);
    return runBatch(kind, settings, control, env, events);
}

} // namespace runs
