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
        int sheets = 0;          // changes counted in S
        Failure failure;         // list the workbook as failed
        bool unreadable = false; // its sheets could not be gone through at all
        Step step = Step::Continue;
    };

    Tally visitWorkbook(const BatchContext& ctx, spreadsheet::Workbook& book, const QString& path);
    Tally visitSheet(const BatchContext& ctx, spreadsheet::Workbook& book, int index,
                     const QString& path);

    void emitEvent(RunEvent event)
    {
        event.run = m_kind.type();
        m_events(event);
    }
    void workbookFailed(int index, const QString& path, const Failure& failure);
    void report();

    RunResult endStopped(std::unique_ptr<spreadsheet::Workbook> book);
    RunResult endInvalidRange(const QString& path, std::unique_ptr<spreadsheet::Workbook> book);
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
    RunResult m_result;
};

RunResult Batch::run()
{
    QStringList paths;
    for (const QString& entry : m_settings.entries) {
        const QString path = QDir::toNativeSeparators(entry);
        if (worklist::isAcceptedWorkbookPath(path) && m_kind.accepts(path))
            paths << path;
    }
    RunEvent started;
    started.type = RunEvent::Type::RunStarted;
    started.total = int(paths.size());
    emitEvent(started);

    if (!m_session.start(m_settings.printTarget)) {
        RunEvent none;
        none.type = RunEvent::Type::NoApplication;
        emitEvent(none);
        m_session.quit();
        return ended(Ending::NoApplication);
    }

    const BatchContext ctx{m_control, m_env, m_events, m_session.application(), m_kind.type()};
    int visited = 0;
    for (const QString& entry : m_settings.entries) {
        if (m_control.quitRequested)
            return endStopped(nullptr);

        const QString path = QDir::toNativeSeparators(entry);
        if (!worklist::isAcceptedWorkbookPath(path) || !m_kind.accepts(path))
            continue;

        ++m_result.workbooks;
        ++visited;
        if (m_kind.beforeWorkbook(ctx, m_result.workbooks) == Step::Stop)
            return endStopped(nullptr);
        RunEvent opening;
        opening.type = RunEvent::Type::WorkbookStarted;
        opening.index = visited;
        opening.total = int(paths.size());
        opening.path = path;
        emitEvent(opening);

        std::unique_ptr<spreadsheet::Workbook> book =
            m_session.workbooks()->open(path, m_kind.openMode());
        if (!book) {
            const bool lost = m_session.lost();
            workbookFailed(visited, path,
                           Failure{lost ? FailureKind::OfficeCrashed : FailureKind::NotOpened, {}});
            if (lost && !m_session.restart())
                return endLost();
            continue;
        }

        const Tally tally = visitWorkbook(ctx, *book, path);
        if (tally.step == Step::Stop)
            return endStopped(std::move(book));
        if (tally.step == Step::InvalidRange)
            return endInvalidRange(path, std::move(book));

        Failure failure = tally.failure;
        bool lost = m_session.lost();
        if (!lost && !tally.unreadable) {
            const Failure finished = m_kind.finishWorkbook(ctx, *book);
            if (finished && !failure)
                failure = finished;
            lost = m_session.lost();
        }
        // A lost application cannot close anything; the handle is dropped and
        // the restart takes what is left of the process.
        if (!lost)
            book->close();
        book.reset();

        if (lost && !failure)
            failure = Failure{FailureKind::OfficeCrashed, {}};
        if (failure) {
            if (m_kind.uncountsFailedWorkbooks()) {
                --m_result.workbooks;
                m_result.sheets -= tally.sheets;
            }
            workbookFailed(visited, path, failure);
        } else {
            RunEvent done;
            done.type = RunEvent::Type::WorkbookDone;
            done.index = visited;
            done.total = int(paths.size());
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
        tally.failure = Failure{FailureKind::Unreadable, {}};
        tally.unreadable = true;
        return tally;
    }
    const int count = sheetsToVisit(m_settings.sheets, sheetCount);
    for (int index = 1; index <= count; ++index) {
        tally.step = m_kind.beforeSheet(ctx, index);
        if (tally.step != Step::Continue)
            return tally;
        const Tally sheet = visitSheet(ctx, book, index, path);
        tally.sheets += sheet.sheets;
        if (sheet.failure && !tally.failure)
            tally.failure = sheet.failure;
        tally.step = sheet.step;
        if (tally.step != Step::Continue || m_session.lost())
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
            if (!empty)
                empty = isEmptySheet(rows, columns, cell->valueText());
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

void Batch::workbookFailed(int index, const QString& path, const Failure& failure)
{
    m_result.failed.append(FailedWorkbook{path, failure});
    RunEvent event;
    event.type = RunEvent::Type::WorkbookFailed;
    event.index = index;
    event.path = path;
    event.failure = failure;
    emitEvent(event);
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

RunResult Batch::endStopped(std::unique_ptr<spreadsheet::Workbook> book)
{
    if (book) {
        book->close();
        book.reset();
    }
    m_session.quit();
    if (m_settings.clearsStopFlag)
        m_control.stopRequested = false;
    RunEvent stopped;
    stopped.type = RunEvent::Type::Stopped;
    emitEvent(stopped);
    return ended(Ending::Stopped);
}

RunResult Batch::endInvalidRange(const QString& path, std::unique_ptr<spreadsheet::Workbook> book)
{
    RunEvent invalid;
    invalid.type = RunEvent::Type::InvalidRange;
    invalid.path = path;
    emitEvent(invalid);
    const RunResult result = ended(Ending::InvalidRange);
    book->close();
    book.reset();
    m_session.quit();
    return result;
}

RunResult Batch::endLost()
{
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
