#include "runs/batch.h"

#include "runs/session.h"
#include "runs/sheetselection.h"
#include "worklist/worklist.h"

#include <QDir>

#include <optional>

namespace runs {

using spreadsheet::Failure;
using spreadsheet::FailureKind;

bool waitMilliseconds(const BatchContext& ctx, int milliseconds)
{
    int remaining = milliseconds;
    while (remaining > 0) {
        if (ctx.control.quitRequested)
            return false;
        const int slice = qMin(remaining, 100);
        ctx.env.sleep(slice);
        remaining -= slice;
    }
    return !ctx.control.quitRequested;
}

namespace {

// One run of the walk, from the start of the application to the end event.
class Batch
{
public:
    Batch(BatchKind& kind, const BatchSettings& settings, RunControl& control,
          const RunEnvironment& env, const EventSink& events)
        : m_kind(kind), m_settings(settings), m_control(control), m_env(env), m_events(events),
          m_session(env, events, kind.type()), m_names(appointedNames(settings.sheets))
    {}

    RunResult run();

private:
    // What became of the sheets of one workbook.
    struct Tally
    {
        int sheets = 0;  // changes counted in S
        Failure failure; // list the workbook as failed
        Step step = Step::Continue;
        bool hidden = false; // the sheet was passed over as hidden
    };

    Tally visitWorkbook(const BatchContext& ctx, spreadsheet::Workbook& book, const QString& path);
    Tally visitSheet(const BatchContext& ctx, spreadsheet::Workbook& book, int index,
                     const QString& path);

    void emitEvent(RunEvent event)
    {
        event.run = m_kind.type();
        m_events(event);
    }
    void workbookFailed(const QString& path, const Failure& failure);
    void skipped(const QString& path, const Failure& why, int sheets = 0);
    // The workbooks after the one in hand, which the run will not reach.
    void skipRest(int sheetsInHand, const QString& why);
    void report();

    RunResult endNoApplication();
    RunResult endStopped(std::unique_ptr<spreadsheet::Workbook> book, int sheetsInHand = 0);
    RunResult endInvalidRange(const QString& path, std::unique_ptr<spreadsheet::Workbook> book,
                              int sheetsInHand);
    RunResult endLost();
    RunResult endNormal();
    RunResult ended(Ending ending);

    BatchKind& m_kind;
    const BatchSettings& m_settings;
    RunControl& m_control;
    const RunEnvironment& m_env;
    const EventSink& m_events;
    ApplicationSession m_session;
    QStringList m_names;
    QStringList m_paths; // the workbooks the run means to go through
    int m_visited = 0;   // of m_paths, the current one included
    int m_settled = 0;   // of m_paths, those done or failed
    RunResult m_result;
};

RunResult Batch::run()
{
    for (const QString& entry : m_settings.entries) {
        const QString path = QDir::toNativeSeparators(entry);
        if (worklist::isAcceptedWorkbookPath(path) && !m_kind.refuses(path))
            m_paths << path;
    }
    RunEvent started;
    started.type = RunEvent::Type::RunStarted;
    started.total = int(m_paths.size());
    emitEvent(started);

    if (!m_session.start(m_settings.printTarget))
        return endNoApplication();

    const BatchContext ctx{m_control, m_env, m_events, m_session.application(), m_kind.type()};
    for (const QString& entry : m_settings.entries) {
        if (m_control.quitRequested)
            return endStopped(nullptr);

        const QString path = QDir::toNativeSeparators(entry);
        if (!worklist::isAcceptedWorkbookPath(path))
            continue;
        // A listed workbook that is not there is passed over without a
        // word; only a report file names it.
        if (const Failure refused = m_kind.refuses(path)) {
            skipped(path, refused);
            continue;
        }

        ++m_result.workbooks;
        ++m_visited;
        if (m_kind.beforeWorkbook(ctx, m_result.workbooks) == Step::Stop)
            return endStopped(nullptr);
        RunEvent opening;
        opening.type = RunEvent::Type::WorkbookStarted;
        opening.index = m_visited;
        opening.total = int(m_paths.size());
        opening.path = path;
        emitEvent(opening);

        Failure why;
        std::unique_ptr<spreadsheet::Workbook> book =
            m_session.workbooks()->open(path, m_kind.openMode(), &why);
        if (!book && why.kind == FailureKind::NoApplication) {
            // The office is started when a workbook first needs it: one that
            // cannot be started ends the run as at its start.
            return endNoApplication();
        }
        if (!book) {
            const bool lost = m_session.lost();
            if (lost)
                why = m_session.application().lostFailure();
            else if (!why)
                why.kind = FailureKind::NotOpened;
            workbookFailed(path, why);
            if (lost && !m_session.restart())
                return endLost();
            continue;
        }

        const Tally tally = visitWorkbook(ctx, *book, path);
        if (tally.step == Step::Stop)
            return endStopped(std::move(book), tally.sheets);
        if (tally.step == Step::InvalidRange)
            return endInvalidRange(path, std::move(book), tally.sheets);

        Failure failure = tally.failure;
        bool lost = m_session.lost();
        // All or nothing: a workbook whose sheets did not all go through is
        // not finished (not saved).
        if (!lost && !failure)
            failure = m_kind.finishWorkbook(ctx, *book);
        lost = m_session.lost();
        // A lost application cannot close anything; the handle is dropped and
        // the restart takes what is left of the process.
        if (!lost)
            book->close();
        book.reset();

        if (lost && (!failure || failure.kind == FailureKind::SaveFailed))
            failure = m_session.application().lostFailure();
        if (failure) {
            if (m_kind.uncountsFailedWorkbooks()) {
                --m_result.workbooks;
                m_result.sheets -= tally.sheets;
            }
            workbookFailed(path, failure);
        } else {
            ++m_settled;
            RunEvent done;
            done.type = RunEvent::Type::WorkbookDone;
            done.index = m_visited;
            done.total = int(m_paths.size());
            done.path = path;
            done.sheets = tally.sheets;
            emitEvent(done);
        }
        if (lost && !m_session.restart())
            return endLost();
    }
    return endNormal();
}

Batch::Tally Batch::visitWorkbook(const BatchContext& ctx, spreadsheet::Workbook& book,
                                  const QString& path)
{
    Tally tally;
    const int sheetCount = book.sheetCount();
    if (sheetCount < 0) {
        // No sheets collection: nothing of the workbook can be gone through.
        tally.failure = m_session.lost() ? m_session.application().lostFailure()
                                         : Failure{FailureKind::Unreadable, {}};
        return tally;
    }
    // Hidden sheets are not there for a user: "the first sheet" is then the
    // first one shown.
    const bool firstShown = m_settings.sheets.onlyFirstSheet && m_kind.skipsHiddenSheets();
    const int count = firstShown ? sheetCount : sheetsToVisit(m_settings.sheets, sheetCount);
    for (int index = 1; index <= count; ++index) {
        tally.step = m_kind.beforeSheet(ctx, index);
        if (tally.step != Step::Continue)
            return tally;
        const Tally sheet = visitSheet(ctx, book, index, path);
        tally.sheets += sheet.sheets;
        if (sheet.failure && !tally.failure)
            tally.failure = sheet.failure;
        tally.step = sheet.step;
        if (tally.step != Step::Continue || m_session.lost() || (firstShown && !sheet.hidden))
            return tally;
    }
    return tally;
}

Batch::Tally Batch::visitSheet(const BatchContext& ctx, spreadsheet::Workbook& book, int index,
                               const QString& path)
{
    Tally tally;
    // A sheet index that yields no worksheet (a chart sheet) or a sheet whose
    // sub-objects cannot be had is passed over.
    std::unique_ptr<spreadsheet::Worksheet> sheet = book.worksheet(index);
    if (!sheet)
        return tally;
    if (m_kind.skipsHiddenSheets() &&
        sheet->visibility() != spreadsheet::SheetVisibility::Visible) {
        tally.hidden = true;
        return tally;
    }

    int row = 0;
    int column = 0;
    int rows = 0;
    int columns = 0;
    {
        std::unique_ptr<spreadsheet::UsedRange> used = sheet->usedRange();
        if (!used)
            return tally;
        row = used->row();
        column = used->column();
        rows = used->rowCount();
        columns = used->columnCount();
    }
    std::unique_ptr<spreadsheet::Cell> cell = sheet->cell(row, column);
    if (!cell)
        return tally;

    std::unique_ptr<spreadsheet::PageSetup> setup;
    if (m_kind.pageSetupForEverySheet()) {
        setup = sheet->pageSetup();
        if (!setup)
            return tally;
        m_kind.prepareSheet(ctx, *setup);
    }

    const QString name = sheet->name();
    const int matches = sheetMatches(m_settings.sheets, m_names, name);
    std::optional<bool> empty;
    for (int match = 0; match < matches && !m_session.lost(); ++match) {
        if (m_settings.sheets.skipEmptySheets) {
            // A chart sheet, or a sheet with only a picture, has an empty
            // used range but prints.
            if (!empty)
                empty = isEmptySheet(rows, columns, cell->valueText()) && !sheet->hasDrawings();
            if (*empty)
                continue;
        }
        const BatchKind::Change change = m_kind.change(ctx, *sheet, setup.get());
        if (change.counted) {
            ++tally.sheets;
            ++m_result.sheets;
            if (!change.failure) {
                RunEvent done;
                done.type = RunEvent::Type::SheetDone;
                done.path = path;
                done.sheet = name;
                done.pages = change.pages;
                done.before = change.before;
                done.after = change.after;
                emitEvent(done);
            }
        }
        if (change.failure && !tally.failure)
            tally.failure = change.failure;
        if (change.step != Step::Continue) {
            tally.step = change.step;
            break;
        }
    }
    return tally;
}

void Batch::workbookFailed(const QString& path, const Failure& failure)
{
    ++m_settled;
    m_result.failed.append(FailedWorkbook{path, failure});
    RunEvent event;
    event.type = RunEvent::Type::WorkbookFailed;
    event.index = m_visited;
    event.path = path;
    event.failure = failure;
    emitEvent(event);
}

void Batch::skipped(const QString& path, const Failure& why, int sheets)
{
    RunEvent event;
    event.type = RunEvent::Type::WorkbookSkipped;
    event.path = path;
    event.failure = why;
    event.sheets = sheets;
    emitEvent(event);
}

void Batch::skipRest(int sheetsInHand, const QString& why)
{
    for (int i = m_settled; i < m_paths.size(); ++i)
        skipped(m_paths.at(i), Failure{FailureKind::None, why}, i == m_settled ? sheetsInHand : 0);
}

void Batch::report()
{
    RunEvent event;
    event.type = RunEvent::Type::Report;
    event.workbooks = m_result.workbooks;
    event.sheets = m_result.sheets;
    event.elapsedSeconds = m_env.now() - m_settings.startTime;
    emitEvent(event);
    // A list that cannot be written leaves the run as it is; only a written
    // list is shown.
    if (!m_result.failed.isEmpty() &&
        writeFailedList(m_settings.failedListPath, m_result.failedPaths()) && m_env.showFailedList)
        m_env.showFailedList(QDir::toNativeSeparators(m_settings.failedListPath));
}

RunResult Batch::ended(Ending ending)
{
    m_result.ending = ending;
    RunEvent event;
    event.type = RunEvent::Type::RunEnded;
    event.ending = ending;
    event.workbooks = m_result.workbooks;
    event.sheets = m_result.sheets;
    emitEvent(event);
    return m_result;
}

RunResult Batch::endNoApplication()
{
    RunEvent none;
    none.type = RunEvent::Type::NoApplication;
    emitEvent(none);
    m_session.quit();
    return ended(Ending::NoApplication);
}

RunResult Batch::endStopped(std::unique_ptr<spreadsheet::Workbook> book, int sheetsInHand)
{
    if (book) {
        book->close();
        book.reset();
    }
    skipRest(sheetsInHand, QStringLiteral("stopped"));
    m_session.quit();
    if (m_settings.clearsStopFlag)
        m_control.stopRequested = false;
    RunEvent stopped;
    stopped.type = RunEvent::Type::Stopped;
    emitEvent(stopped);
    return ended(Ending::Stopped);
}

RunResult Batch::endInvalidRange(const QString& path, std::unique_ptr<spreadsheet::Workbook> book,
                                 int sheetsInHand)
{
    RunEvent invalid;
    invalid.type = RunEvent::Type::InvalidRange;
    invalid.path = path;
    emitEvent(invalid);
    skipRest(sheetsInHand, QStringLiteral("invalid range"));
    // The end goes out once the application is gone, so that a new start
    // right away does not wait for it.
    book->close();
    book.reset();
    m_session.quit();
    return ended(Ending::InvalidRange);
}

RunResult Batch::endLost()
{
    skipRest(0, QStringLiteral("spreadsheet application lost"));
    report();
    RunEvent lost;
    lost.type = RunEvent::Type::ApplicationLost;
    emitEvent(lost);
    m_session.quit();
    return ended(Ending::ApplicationLost);
}

RunResult Batch::endNormal()
{
    report();
    m_session.quit();
    return ended(Ending::Normal);
}

} // namespace

RunResult runBatch(BatchKind& kind, const BatchSettings& settings, RunControl& control,
                   const RunEnvironment& env, const EventSink& events)
{
    Batch batch(kind, settings, control, env, events);
    return batch.run();
}

} // namespace runs
