// The batch page-setup run: every workbook under the folder, opened for
// editing, the margins and orientation of its selected sheets changed, saved
// in place.  No delays; pause and stop are not looked at.
#include "app/platform/processes.h"
#include "automation/runcommon.h"
#include "automation/runs.h"
#include "worklist/worklist.h"

namespace automation {
namespace runs {
namespace {

struct MarginChange
{
    bool RunOptions::*flag;
    double RunOptions::*centimetres;
    bool (PageSetup::*write)(double points);
};

// In the order they are written.
const MarginChange marginChanges[] = {
    {&RunOptions::changeLeftMargin, &RunOptions::leftMarginCm, &PageSetup::setLeftMargin},
    {&RunOptions::changeRightMargin, &RunOptions::rightMarginCm, &PageSetup::setRightMargin},
    {&RunOptions::changeTopMargin, &RunOptions::topMarginCm, &PageSetup::setTopMargin},
    {&RunOptions::changeBottomMargin, &RunOptions::bottomMarginCm, &PageSetup::setBottomMargin},
    {&RunOptions::changeHeaderMargin, &RunOptions::headerMarginCm, &PageSetup::setHeaderMargin},
    {&RunOptions::changeFooterMargin, &RunOptions::footerMarginCm, &PageSetup::setFooterMargin},
};

class PageSetupKind : public RunKind
{
public:
    OpenMode openMode() const override { return OpenMode::ForEditing; }
    QString reportFirstWords() const override { return QStringLiteral("成功修改"); }
    // The listing yields only files.
    bool accepts(const QString&) const override { return true; }
    Step beforeWorkbook(const RunContext&, int) override { return Step::Continue; }
    Step beforeSheet(const RunContext&, int) override { return Step::Continue; }
    bool pageSetupForEverySheet() const override { return false; }
    void prepareSheet(const RunContext&, PageSetup&) override {}

    Change change(const RunContext& ctx, Worksheet& sheet, PageSetup*) override
    {
        const RunOptions& options = ctx.options;
        Change change;
        std::unique_ptr<PageSetup> setup = sheet.pageSetup();
        if (!setup)
            return change; // passed over, not counted
        change.counted = true;
        bool written = true;
        for (const MarginChange& margin : marginChanges) {
            if (!(options.*margin.flag))
                continue;
            // Asked anew for every margin: the application's own conversion.
            const double points = ctx.app.centimetersToPoints(options.*margin.centimetres);
            written = ((*setup).*margin.write)(points) && written;
        }
        if (options.changeOrientation) {
            // The WPS spreadsheet program wants the method instead of the
            // property; asked for every sheet, as it may start or end
            // during the run.
            if (ctx.env.countProcesses(wpsSpreadsheetProcessName()) < 1)
                written = setup->setOrientation(options.orientation) && written;
            else
                written = setup->callSetOrientation(options.orientation) && written;
        }
        // A change that did not take is not reported as made.
        change.failed = !written;
        return change;
    }

    // A save that fails (read-only or locked file, full disk) lists the
    // workbook instead of counting it.
    bool finishWorkbook(const RunContext&, Workbook& book) override { return book.save(); }
    bool uncountsFailedWorkbooks() const override { return true; }
};

} // namespace
} // namespace runs

RunResult runPageSetup(const QString& folder, const RunOptions& options, const RunEnvironment& env)
{
    const RunEnvironment full = runs::completeEnvironment(env);
    const qint64 startTime = full.now();
    QStringList entries;
    const QList<QFileInfo> files = worklist::FindFilesRecursive(folder);
    entries.reserve(files.size());
    for (const QFileInfo& file : files)
        entries << file.filePath();
    runs::PageSetupKind kind;
    return runs::runBatch(kind, entries, startTime, options, nullptr, full);
}

} // namespace automation
