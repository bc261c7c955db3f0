// The batch print run: the workbooks of the list, opened read-only, their
// selected sheets printed, with delays, pause and stop.
#include "automation/runcommon.h"
#include "automation/runs.h"

#include <QFileInfo>

namespace automation {
namespace runs {
namespace {

// "PaperSize" code of the window's paper choice; 0 leaves the sheet's own.
int paperSizeCode(const QString& paperSize)
{
    if (paperSize == QLatin1String("A3"))
        return PaperA3;
    if (paperSize == QLatin1String("A4"))
        return PaperA4;
    if (paperSize == QLatin1String("A5"))
        return PaperA5;
    if (paperSize == QLatin1String("B4"))
        return PaperB4;
    if (paperSize == QLatin1String("B5"))
        return PaperB5;
    return 0;
}

int delayMilliseconds(int seconds)
{
    // The window allows 0 to 900 s; anything else is kept within an int.
    return qBound(0, seconds, 24 * 3600) * 1000;
}

class PrintKind : public RunKind
{
public:
    OpenMode openMode() const override { return OpenMode::ReadOnly; }
    QString reportFirstWords() const override { return QStringLiteral("成功打印"); }

    bool accepts(const QString& nativePath) const override
    {
        const QFileInfo info(nativePath);
        return info.exists() && info.isFile();
    }

    Step beforeWorkbook(const RunContext& ctx, int workbookNumber) override
    {
        if (workbookNumber > 1) {
            const int seconds = ctx.options.workbookDelaySeconds;
            ctx.env.progress(workbookDelayText(seconds));
            if (!waitMilliseconds(ctx, delayMilliseconds(seconds)))
                return Step::Stop;
        }
        return Step::Continue;
    }

    // The run's only checkpoint for pause and stop.  A quitting program ends
    // the run here as a stop does, and also ends a pause.
    Step beforeSheet(const RunContext& ctx, int index) override
    {
        const RunOptions& options = ctx.options;
        while (options.pauseRequested) {
            ctx.env.sleep(100);
            if (options.stopRequested || options.quitRequested)
                return Step::Stop;
        }
        if (options.stopRequested || options.quitRequested)
            return Step::Stop;
        if (index > 1) {
            const int seconds = options.sheetDelaySeconds;
            ctx.env.progress(sheetDelayText(seconds));
            if (!waitMilliseconds(ctx, delayMilliseconds(seconds)))
                return Step::Stop;
        }
        return Step::Continue;
    }

    bool pageSetupForEverySheet() const override { return true; }

    void prepareSheet(const RunContext& ctx, PageSetup& setup) override
    {
        const int code = paperSizeCode(ctx.options.paperSize);
        if (code != 0)
            setup.setPaperSize(code);
    }

    Change change(const RunContext& ctx, Worksheet& sheet, PageSetup*) override
    {
        const RunOptions& options = ctx.options;
        Change change;
        change.counted = true; // a print request counts whatever its outcome
        bool printed = false;
        if (options.printRangeOnly && !options.printRange.isEmpty()) {
            std::unique_ptr<Range> range = sheet.range(options.printRange);
            if (!range) {
                // A dead application yields no range either; that is not the
                // range's fault.
                if (ctx.app.lost())
                    change.failed = true;
                else
                    change.step = Step::InvalidRange;
                return change;
            }
            printed = range->printOut();
        } else {
            printed = sheet.printOut();
        }
        // A job the print system refused did not print: the workbook is listed.
        change.failed = !printed;
        return change;
    }

    bool finishWorkbook(const RunContext&, Workbook&) override { return true; }
    bool uncountsFailedWorkbooks() const override { return false; }
};

} // namespace
} // namespace runs

RunResult runPrint(RunOptions& options, const RunEnvironment& env)
{
    const RunEnvironment full = runs::completeEnvironment(env);
    const qint64 startTime = full.now();
    const QStringList entries = options.workbookList.split(QLatin1Char('\n'));
    runs::PrintKind kind;
    return runs::runBatch(kind, entries, startTime, options, &options.stopRequested, full);
}

} // namespace automation
