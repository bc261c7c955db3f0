#include "runs/batch.h"

#include "runs/session.h"
#include "runs/sheetselection.h"
#include "worklist/worklist.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

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

bool passOverOwnTemporary(const QFileInfo& file, bool remove)
{
    if (!worklist::isOwnTemporaryFile(file.filePath()))
        return false;
    constexpr qint64 staleSeconds = 10 * 60;
    if (remove &&
        file.lastModified().toUTC() < QDateTime::currentDateTimeUtc().addSecs(-staleSeconds))
        QFile::remove(file.filePath());
    return true;
}

Failure printFailure(const BatchContext& ctx, const spreadsheet::PrintResult& result)
{
    Failure failure = ctx.app.lost() ? ctx.app.lostFailure() : result.failure;
    if (!failure)
        failure = Failure{FailureKind::PrintRefused, {}};
    return failure;
}

namespace {

// One entry of the list and what became of it.  The entries are gone through
// in order, one application at a time on each, and what each adds to the run
// (its events, its counts) is taken in the order of the list.
struct Entry
{
    QString path; // native separators

    // Told while an entry before it was still being gone through.
    QList<RunEvent> told;
    bool finished = false;
    int workbooks = 0;    // adds to W
    int sheets = 0;       // adds to S
    bool settled = false; // done or failed: one of the workbooks gone through
    std::optional<FailedWorkbook> failed;
    // The run ends with this entry, its sheets printed or changed.
    std::optional<Ending> ending;
    // Of the workbooks the run means to go through, from 1; 0: not one.
    int number = 0;
};

// What became of the sheets of the open workbook.
struct Tally
{
    int sheets = 0;  // changes counted in S
    Failure failure; // list the workbook as failed
    Step step = Step::Continue;
};

// One spreadsheet application of the run and the workbook in its hands.
struct Lane
{
    Lane(const RunEnvironment& env, const EventSink& announce, RunType run)
        : session(env, announce, run)
    {}

    ApplicationSession session;
    EventSink sink; // events of the entry in hand
    int entry = -1;
    Tally* tally = nullptr;
    std::unique_ptr<spreadsheet::PrintJob> job;
    // Events held back while sheets wait in the job: they are told once the
    // job is sent, a sheet's SheetDone only when its job went out.
    struct Held
    {
        RunEvent event;
        bool waitingSheet = false;
    };
    QList<Held> held;
    bool holding = false;

    std::thread thread;
    bool started = false; // its application was started (or not)
    bool done = false;    // it went through what it could
};

// One run of the walk, from the start of the application to the end event.
class Batch
{
public:
    Batch(BatchKind& kind, const BatchSettings& settings, RunControl& control,
          const RunEnvironment& env, const EventSink& events)
        : m_kind(kind), m_settings(settings), m_control(control), m_env(env), m_events(events),
          m_names(appointedNames(settings.sheets))
    {}
    ~Batch() { quitApplications(); }

    RunResult run();

private:
    RunResult runAlone();
    RunResult runSideBySide(int count);
    void laneThread(Lane& lane);

    // Goes through entries until none is left or the run ends.
    void work(Lane& lane);
    void workOn(Lane& lane, int index);
    void goThroughWorkbook(Lane& lane, int index, int number);
    void visitWorkbook(Lane& lane, const BatchContext& ctx, spreadsheet::Workbook& book,
                       const QString& path, Tally& tally);
    // True when the sheet was passed over as hidden.
    bool visitSheet(Lane& lane, const BatchContext& ctx, spreadsheet::Workbook& book, int index,
                    const QString& path, Tally& tally);
    bool sendJob(Lane& lane, const BatchContext& ctx);

    // The next entry to go through, -1 when none is left for this run.
    int take();
    void tell(int entry, RunEvent event);
    void laneTell(Lane& lane, const RunEvent& event);
    bool takeTurn(int entry);
    void finish(int entry, Entry result);
    void advance();
    bool discarded(int entry) const { return m_endAt >= 0 && entry > m_endAt; }
    void deliverTold();

    void emitEvent(RunEvent event)
    {
        event.run = m_kind.type();
        m_events(event);
    }
    void skipped(const QString& path, const Failure& why, int sheets = 0);
    // The workbooks after the one in hand, which the run will not reach.
    void skipRest(int sheetsInHand, const QString& why);
    void report();
    void quitApplications();

    RunResult ending();
    RunResult endNoApplication();
    RunResult endStopped(int sheetsInHand);
    RunResult endInvalidRange(int sheetsInHand);
    RunResult endLost();
    RunResult endNormal();
    RunResult ended(Ending ending);

    BatchKind& m_kind;
    const BatchSettings& m_settings;
    RunControl& m_control;
    const RunEnvironment& m_env;
    const EventSink& m_events;
    QStringList m_names;
    QStringList m_paths; // the workbooks the run means to go through
    int m_settled = 0;   // of m_paths, those done or failed
    RunResult m_result;

    std::vector<std::unique_ptr<Lane>> m_lanes;
    bool m_sideBySide = false;

    // Shared by the applications side by side.
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Entry> m_entries;
    int m_next = 0;           // the next entry to take
    int m_head = 0;           // the first entry not yet taken into the run
    int m_endAt = -1;         // the entry the run ended with, once taken in
    int m_endingFound = -1;   // the first entry known to end the run
    QList<RunEvent> m_outbox; // to be told in the run's thread
    bool m_go = false;        // the applications may start on the entries
    bool m_quitLanes = false; // the applications may quit
};

RunResult Batch::run()
{
    for (const QString& listed : m_settings.entries) {
        const QString path = QDir::toNativeSeparators(listed);
        Entry entry;
        entry.path = path;
        if (worklist::isAcceptedWorkbookPath(path) && !m_kind.refuses(path)) {
            m_paths << path;
            entry.number = int(m_paths.size());
        }
        m_entries.push_back(entry);
    }
    RunEvent started;
    started.type = RunEvent::Type::RunStarted;
    started.total = int(m_paths.size());
    emitEvent(started);

    const int count = std::max(1, std::min(m_settings.applications, int(m_paths.size())));
    return count > 1 ? runSideBySide(count) : runAlone();
}

// One application, in the run's thread.
RunResult Batch::runAlone()
{
    m_lanes.push_back(std::make_unique<Lane>(m_env, m_events, m_kind.type()));
    Lane& lane = *m_lanes.front();
    if (!lane.session.start(m_settings.printTarget))
        return endNoApplication();
    m_go = true;
    work(lane);
    return ending();
}

// Several applications, each in a thread of its own that starts, uses and
// quits it; the run's thread tells the events in the order of the list.
RunResult Batch::runSideBySide(int count)
{
    RunEvent starting;
    starting.type = RunEvent::Type::ApplicationStarting;
    emitEvent(starting);
    static const EventSink silent = [](const RunEvent&) {};
    m_sideBySide = true;
    for (int i = 0; i < count; ++i) {
        m_lanes.push_back(std::make_unique<Lane>(m_env, silent, m_kind.type()));
        Lane* lane = m_lanes.back().get();
        lane->thread = std::thread([this, lane] { laneThread(*lane); });
    }
    bool available = false;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] {
            return std::all_of(m_lanes.begin(), m_lanes.end(),
                               [](const std::unique_ptr<Lane>& lane) { return lane->started; });
        });
        // The first one stands for the program as a whole; another one that
        // cannot be started leaves the work to the others.
        available = m_lanes.front()->session.workbooks() != nullptr;
        m_go = available;
    }
    m_changed.notify_all();
    RunEvent ready;
    ready.type = RunEvent::Type::ApplicationReady;
    emitEvent(ready);
    if (!available)
        return endNoApplication();

    for (;;) {
        QList<RunEvent> events;
        bool allDone = false;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this] {
                return !m_outbox.isEmpty() ||
                       std::all_of(m_lanes.begin(), m_lanes.end(),
                                   [](const std::unique_ptr<Lane>& lane) { return lane->done; });
            });
            events.swap(m_outbox);
            allDone = std::all_of(m_lanes.begin(), m_lanes.end(),
                                  [](const std::unique_ptr<Lane>& lane) { return lane->done; });
        }
        for (const RunEvent& event : std::as_const(events))
            m_events(event);
        if (allDone && events.isEmpty())
            break;
    }
    return ending();
}

void Batch::laneThread(Lane& lane)
{
    const bool available = lane.session.start(m_settings.printTarget);
    bool go = false;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        lane.started = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_go || m_quitLanes; });
        go = m_go && available;
    }
    if (go)
        work(lane);
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        lane.done = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_quitLanes; });
    }
    lane.session.quit();
}

void Batch::work(Lane& lane)
{
    lane.sink = [this, &lane](const RunEvent& event) { laneTell(lane, event); };
    for (;;) {
        const int index = take();
        if (index < 0)
            return;
        workOn(lane, index);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_entries[size_t(index)].ending || discarded(index))
            return;
    }
}

int Batch::take()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_next >= int(m_entries.size()) || (m_endingFound >= 0 && m_next > m_endingFound))
        return -1;
    return m_next++;
}

void Batch::workOn(Lane& lane, int index)
{
    Entry result;
    if (m_control.quitRequested) {
        result.ending = Ending::Stopped;
        return finish(index, result);
    }
    const QString path = m_entries[size_t(index)].path;
    if (!worklist::isAcceptedWorkbookPath(path))
        return finish(index, result);
    // Asked again: the file may have gone since the run started.
    const Failure refused = m_kind.refuses(path);
    // A listed workbook that is not there is passed over without a word;
    // only a report file names it.
    if (refused) {
        RunEvent event;
        event.type = RunEvent::Type::WorkbookSkipped;
        event.path = path;
        event.failure = refused;
        tell(index, event);
        return finish(index, result);
    }
    goThroughWorkbook(lane, index, m_entries[size_t(index)].number);
}

void Batch::goThroughWorkbook(Lane& lane, int index, int number)
{
    const QString path = m_entries[size_t(index)].path;
    const int total = int(m_paths.size());
    spreadsheet::Application& app = lane.session.application();
    lane.entry = index;
    lane.held.clear();
    lane.holding = false;
    BatchContext ctx{m_control, m_env, lane.sink, app, m_kind.type(), nullptr, {}, {}};
    ctx.sendJob = [this, &lane, &ctx] { return sendJob(lane, ctx); };
    ctx.takeTurn = [this, index] { return takeTurn(index); };

    Entry result;
    result.workbooks = 1;
    if (m_kind.beforeWorkbook(ctx, number) == Step::Stop) {
        result.ending = Ending::Stopped;
        return finish(index, result);
    }
    RunEvent opening;
    opening.type = RunEvent::Type::WorkbookStarted;
    opening.index = number;
    opening.total = total;
    opening.path = path;
    laneTell(lane, opening);

    const auto failed = [&](const Failure& failure) {
        result.settled = true;
        result.failed = FailedWorkbook{path, failure};
        RunEvent event;
        event.type = RunEvent::Type::WorkbookFailed;
        event.index = number;
        event.path = path;
        event.failure = failure;
        laneTell(lane, event);
    };

    Failure why;
    std::unique_ptr<spreadsheet::Workbook> book =
        lane.session.workbooks()->open(path, m_kind.openMode(), &why);
    if (!book && why.kind == FailureKind::NoApplication) {
        // The application is started when a workbook first needs it: one
        // that cannot be started ends the run as at its start.
        result.ending = Ending::NoApplication;
        return finish(index, result);
    }
    if (!book) {
        const bool lost = lane.session.lost();
        if (lost)
            why = app.lostFailure();
        else if (!why)
            why.kind = FailureKind::NotOpened;
        failed(why);
        if (lost && !lane.session.restart())
            result.ending = Ending::ApplicationLost;
        return finish(index, result);
    }

    Tally tally;
    lane.tally = &tally;
    if (m_kind.printsInJobs()) {
        lane.job = book->printJob();
        ctx.job = lane.job.get();
    }
    visitWorkbook(lane, ctx, *book, path, tally);
    // What waits in the job goes out before the workbook is left, however
    // the run goes on; nothing of it when the run ended before it.
    const bool sent = sendJob(lane, ctx);
    lane.job.reset();
    ctx.job = nullptr;
    lane.tally = nullptr;
    result.sheets = tally.sheets;
    if (!sent || tally.step == Step::Stop) {
        book->close();
        result.ending = Ending::Stopped;
        return finish(index, result);
    }
    if (tally.step == Step::InvalidRange) {
        RunEvent invalid;
        invalid.type = RunEvent::Type::InvalidRange;
        invalid.path = path;
        laneTell(lane, invalid);
        book->close();
        result.ending = Ending::InvalidRange;
        return finish(index, result);
    }

    Failure failure = tally.failure;
    bool lost = lane.session.lost();
    // All or nothing: a workbook whose sheets did not all go through is not
    // finished (not saved).
    if (!lost && !failure)
        failure = m_kind.finishWorkbook(ctx, *book);
    lost = lane.session.lost();
    // A lost application cannot close anything; the handle is dropped and
    // the restart takes what is left of the process.
    if (!lost)
        book->close();
    book.reset();

    if (lost && (!failure || failure.kind == FailureKind::SaveFailed))
        failure = app.lostFailure();
    if (failure) {
        if (m_kind.uncountsFailedWorkbooks())
            result.workbooks = result.sheets = 0;
        failed(failure);
    } else {
        result.settled = true;
        RunEvent done;
        done.type = RunEvent::Type::WorkbookDone;
        done.index = number;
        done.total = total;
        done.path = path;
        done.sheets = tally.sheets;
        laneTell(lane, done);
    }
    if (lost && !lane.session.restart())
        result.ending = Ending::ApplicationLost;
    finish(index, result);
}

void Batch::visitWorkbook(Lane& lane, const BatchContext& ctx, spreadsheet::Workbook& book,
                          const QString& path, Tally& tally)
{
    const int sheetCount = book.sheetCount();
    if (sheetCount < 0) {
        // No sheets collection: nothing of the workbook can be gone through.
        tally.failure =
            lane.session.lost() ? ctx.app.lostFailure() : Failure{FailureKind::Unreadable, {}};
        return;
    }
    // Hidden sheets are not there for a user: "the first sheet" is then the
    // first one shown.
    const bool firstShown = m_settings.sheets.onlyFirstSheet && m_kind.skipsHiddenSheets();
    const int count = firstShown ? sheetCount : sheetsToVisit(m_settings.sheets, sheetCount);
    for (int index = 1; index <= count; ++index) {
        if (m_sideBySide) {
            // The run ended before this workbook: leave it at once.
            std::lock_guard<std::mutex> lock(m_mutex);
            if (discarded(lane.entry)) {
                tally.step = Step::Stop;
                return;
            }
        }
        tally.step = m_kind.beforeSheet(ctx, index);
        if (tally.step != Step::Continue)
            return;
        const bool hidden = visitSheet(lane, ctx, book, index, path, tally);
        if (tally.step != Step::Continue || lane.session.lost() || (firstShown && !hidden))
            return;
    }
}

bool Batch::visitSheet(Lane& lane, const BatchContext& ctx, spreadsheet::Workbook& book, int index,
                       const QString& path, Tally& tally)
{
    // A sheet index that yields no worksheet (a chart sheet) or a sheet whose
    // sub-objects cannot be had is passed over.
    std::unique_ptr<spreadsheet::Worksheet> sheet = book.worksheet(index);
    if (!sheet)
        return false;
    if (m_kind.skipsHiddenSheets() && sheet->visibility() != spreadsheet::SheetVisibility::Visible)
        return true;

    int row = 0;
    int column = 0;
    int rows = 0;
    int columns = 0;
    {
        std::unique_ptr<spreadsheet::UsedRange> used = sheet->usedRange();
        if (!used)
            return false;
        row = used->row();
        column = used->column();
        rows = used->rowCount();
        columns = used->columnCount();
    }
    std::unique_ptr<spreadsheet::Cell> cell = sheet->cell(row, column);
    if (!cell)
        return false;

    std::unique_ptr<spreadsheet::PageSetup> setup;
    if (m_kind.pageSetupForEverySheet()) {
        setup = sheet->pageSetup();
        if (!setup)
            return false;
        m_kind.prepareSheet(ctx, *setup);
    }

    const QString name = sheet->name();
    const int matches = sheetMatches(m_settings.sheets, m_names, name);
    std::optional<bool> empty;
    for (int match = 0; match < matches && !lane.session.lost(); ++match) {
        if (m_settings.sheets.skipEmptySheets) {
            // A chart sheet, or a sheet with only a picture, has an empty
            // used range but prints.
            if (!empty)
                // Only a used range of one cell can be empty: its text is
                // read only then.
                empty = rows == 1 && columns == 1 &&
                        isEmptySheet(rows, columns, cell->valueText()) && !sheet->hasDrawings();
            if (*empty)
                continue;
        }
        const BatchKind::Change change = m_kind.change(ctx, *sheet, setup.get());
        if (change.counted) {
            RunEvent done;
            done.type = RunEvent::Type::SheetDone;
            done.path = path;
            done.sheet = name;
            done.pages = change.pages;
            done.before = change.before;
            done.after = change.after;
            if (change.waiting) {
                done.run = m_kind.type();
                lane.held.append(Lane::Held{done, true});
                lane.holding = true;
            } else {
                ++tally.sheets;
                if (!change.failure)
                    laneTell(lane, done);
            }
        }
        if (change.failure && !tally.failure)
            tally.failure = change.failure;
        if (change.step != Step::Continue) {
            tally.step = change.step;
            break;
        }
    }
    return false;
}

bool Batch::sendJob(Lane& lane, const BatchContext& ctx)
{
    std::optional<Failure> failure;
    if (lane.job && lane.job->waitingCount() > 0) {
        if (!takeTurn(lane.entry))
            return false;
        const spreadsheet::PrintResult sent = lane.job->send();
        if (sent.outcome == spreadsheet::PrintResult::Failed)
            failure = printFailure(ctx, sent);
    }
    const QList<int> pages = lane.job ? lane.job->sentPages() : QList<int>();
    const QList<Lane::Held> held = lane.held;
    lane.held.clear();
    lane.holding = false;
    int sent = 0;
    for (Lane::Held each : held) {
        if (each.waitingSheet) {
            // Not printed: not counted, and the workbook is listed.
            if (failure)
                continue;
            ++lane.tally->sheets;
            // Known once the sheets went out together.
            if (sent < pages.size() && pages[sent] >= 0)
                each.event.pages = pages[sent];
            ++sent;
        }
        tell(lane.entry, each.event);
    }
    if (failure && !lane.tally->failure)
        lane.tally->failure = *failure;
    return true;
}

void Batch::laneTell(Lane& lane, const RunEvent& event)
{
    if (lane.holding) {
        RunEvent held = event;
        held.run = m_kind.type();
        lane.held.append(Lane::Held{held, false});
        return;
    }
    tell(lane.entry, event);
}

void Batch::tell(int entry, RunEvent event)
{
    event.run = m_kind.type();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (discarded(entry))
            return;
        if (entry == m_head)
            m_outbox.append(event);
        else
            m_entries[size_t(entry)].told.append(event);
    }
    m_changed.notify_all();
    if (!m_sideBySide)
        deliverTold();
}

bool Batch::takeTurn(int entry)
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_head == entry)
            return true;
        m_changed.wait(lock, [&] { return m_head == entry || discarded(entry); });
        if (discarded(entry))
            return false;
    }
    // Its sheets passed their checkpoints while the workbooks before it were
    // still going out: a pause or a stop asked for meanwhile holds it back,
    // as its first checkpoint would have one workbook after the other.
    while (m_control.pauseRequested && !m_control.stopRequested && !m_control.quitRequested)
        m_env.sleep(100);
    return !m_control.stopRequested && !m_control.quitRequested;
}

void Batch::finish(int entry, Entry result)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Entry& kept = m_entries[size_t(entry)];
        kept.finished = true;
        kept.workbooks = result.workbooks;
        kept.sheets = result.sheets;
        kept.settled = result.settled;
        kept.failed = result.failed;
        kept.ending = result.ending;
        if (kept.ending && (m_endingFound < 0 || entry < m_endingFound))
            m_endingFound = entry;
        advance();
    }
    m_changed.notify_all();
    if (!m_sideBySide)
        deliverTold();
}

// Takes the finished entries at the head of the list into the run, in order.
void Batch::advance()
{
    while (m_endAt < 0 && m_head < int(m_entries.size()) && m_entries[size_t(m_head)].finished) {
        const Entry& entry = m_entries[size_t(m_head)];
        m_result.workbooks += entry.workbooks;
        m_result.sheets += entry.sheets;
        if (entry.settled)
            ++m_settled;
        if (entry.failed)
            m_result.failed.append(*entry.failed);
        if (entry.ending)
            m_endAt = m_head;
        ++m_head;
        if (m_endAt < 0 && m_head < int(m_entries.size())) {
            Entry& next = m_entries[size_t(m_head)];
            m_outbox += next.told;
            next.told.clear();
        }
    }
}

void Batch::deliverTold()
{
    QList<RunEvent> events;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        events.swap(m_outbox);
    }
    for (const RunEvent& event : std::as_const(events))
        m_events(event);
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

void Batch::quitApplications()
{
    if (!m_sideBySide) {
        for (const std::unique_ptr<Lane>& lane : m_lanes)
            lane->session.quit();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quitLanes = true;
    }
    m_changed.notify_all();
    for (const std::unique_ptr<Lane>& lane : m_lanes) {
        if (lane->thread.joinable())
            lane->thread.join();
    }
}

RunResult Batch::ending()
{
    if (m_endAt < 0)
        return endNormal();
    const Entry& entry = m_entries[size_t(m_endAt)];
    switch (*entry.ending) {
    case Ending::Stopped:
        return endStopped(entry.sheets);
    case Ending::InvalidRange:
        return endInvalidRange(entry.sheets);
    case Ending::NoApplication:
        return endNoApplication();
    case Ending::ApplicationLost:
        return endLost();
    case Ending::Normal:
        break;
    }
    return endNormal();
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
    quitApplications();
    return ended(Ending::NoApplication);
}

RunResult Batch::endStopped(int sheetsInHand)
{
    skipRest(sheetsInHand, QStringLiteral("stopped"));
    quitApplications();
    if (m_settings.clearsStopFlag)
        m_control.stopRequested = false;
    RunEvent stopped;
    stopped.type = RunEvent::Type::Stopped;
    emitEvent(stopped);
    return ended(Ending::Stopped);
}

// The InvalidRange event went out with the workbook's own events.
RunResult Batch::endInvalidRange(int sheetsInHand)
{
    skipRest(sheetsInHand, QStringLiteral("invalid range"));
    // The end goes out once the application is gone, so that a new start
    // right away does not wait for it.
    quitApplications();
    return ended(Ending::InvalidRange);
}

RunResult Batch::endLost()
{
    skipRest(0, QStringLiteral("spreadsheet application lost"));
    report();
    RunEvent lost;
    lost.type = RunEvent::Type::ApplicationLost;
    emitEvent(lost);
    quitApplications();
    return ended(Ending::ApplicationLost);
}

RunResult Batch::endNormal()
{
    report();
    quitApplications();
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
