// The batch page-setup run: every workbook under the folder, opened for
// editing, the margins and orientation of its selected sheets changed, saved
// in place.  No delays; pause and stop are not looked at.
#include "runs/batch.h"
#include "runs/runs.h"
#include "worklist/worklist.h"

#include <QFile>

namespace runs {
namespace {

using spreadsheet::Failure;
using spreadsheet::FailureKind;
using spreadsheet::PageSetup;

// A temporary file of ours this old is left from a save that never finished.

struct MarginChange
{
    MarginSetting PageSetupOptions::*setting;
    bool (PageSetup::*write)(double points);
    std::optional<double> spreadsheet::PageSetupValues::*value;
};

// In the order they are written.
const MarginChange marginChanges[] = {
    {&PageSetupOptions::left, &PageSetup::setLeftMargin, &spreadsheet::PageSetupValues::left},
    {&PageSetupOptions::right, &PageSetup::setRightMargin, &spreadsheet::PageSetupValues::right},
    {&PageSetupOptions::top, &PageSetup::setTopMargin, &spreadsheet::PageSetupValues::top},
    {&PageSetupOptions::bottom, &PageSetup::setBottomMargin, &spreadsheet::PageSetupValues::bottom},
    {&PageSetupOptions::header, &PageSetup::setHeaderMargin, &spreadsheet::PageSetupValues::header},
    {&PageSetupOptions::footer, &PageSetup::setFooterMargin, &spreadsheet::PageSetupValues::footer},
};

class PageSetupKind : public BatchKind
{
public:
    explicit PageSetupKind(const PageSetupOptions& options) : m_options(options) {}

    RunType type() const override { return RunType::PageSetup; }
    spreadsheet::OpenMode openMode() const override
    {
        return m_options.dryRun ? spreadsheet::OpenMode::Inspect
                                : spreadsheet::OpenMode::ForEditing;
    }
    // The listing yields only files.
    Failure refuses(const QString&) const override { return Failure(); }
    // Hidden sheets print with the others once shown again: they are changed
    // as Excel would change them.
    bool skipsHiddenSheets() const override { return false; }
    Step beforeWorkbook(const BatchContext&, int) override { return Step::Continue; }
    Step beforeSheet(const BatchContext&, int) override { return Step::Continue; }
    bool pageSetupForEverySheet() const override { return false; }
    void prepareSheet(const BatchContext&, PageSetup&) override {}

    Change change(const BatchContext& ctx, spreadsheet::Worksheet& sheet, PageSetup*) override
    {
        Change change;
        std::unique_ptr<PageSetup> setup = sheet.pageSetup();
        if (!setup)
            return change; // passed over, not counted
        change.counted = true;
        change.before = setup->current();
        change.after = change.before;
        bool written = true;
        for (const MarginChange& margin : marginChanges) {
            const MarginSetting& setting = m_options.*margin.setting;
            if (!setting.change)
                continue;
            // Asked anew for every margin: the application's own conversion.
            const double points = ctx.app.centimetersToPoints(setting.centimetres);
            change.after.*margin.value = points / 72.0;
            if (!m_options.dryRun)
                written = ((*setup).*margin.write)(points) && written;
        }
        if (m_options.changeOrientation) {
            change.after.orientation = m_options.orientation;
            if (!m_options.dryRun)
                written = setup->setOrientation(m_options.orientation) && written;
        }
        // A change that did not take is not reported as made.
        if (!written)
            change.failure = Failure{FailureKind::ChangeFailed, {}};
        return change;
    }

    // A save that fails (read-only or locked file, full disk) lists the
    // workbook instead of counting it.
    Failure finishWorkbook(const BatchContext&, spreadsheet::Workbook& book) override
    {
        if (m_options.dryRun)
            return Failure();
        Failure failure;
        if (book.save(&failure))
            return Failure();
        if (!failure)
            failure.kind = FailureKind::SaveFailed;
        return failure;
    }
    bool uncountsFailedWorkbooks() const override { return true; }
    bool printsInJobs() const override { return false; }

private:
    const PageSetupOptions& m_options;
};

} // namespace

RunResult runPageSetup(const PageSetupOptions& options, RunControl& control,
                       const RunEnvironment& env, const EventSink& events)
{
    BatchSettings settings;
    settings.startTime = env.now();
    const QList<QFileInfo> files = worklist::FindFilesRecursive(options.folder);
    settings.entries.reserve(files.size());
    for (const QFileInfo& file : files) {
        if (!passOverOwnTemporary(file, !options.dryRun))
            settings.entries << file.filePath();
    }
    settings.sheets = options.sheets;
    settings.failedListPath = options.failedListPath;
    PageSetupKind kind(options);
    return runBatch(kind, settings, control, env, events);
}

} // namespace runs
