#include "fakespreadsheet.h"

#include "runs/messages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

#include <algorithm>
#include <map>
#include <vector>

namespace testsupport {

using namespace spreadsheet;

// Everything the fake applications of one FakeSpreadsheet share: the
// description, the log and the state of the (one) running application.
struct FakeState
{
    mutable QMutex mutex;
    std::map<QString, FakeWorkbook> books;
    bool noWorkbooks = false;
    QString loseAt;
    bool restartSucceeds = true;
    std::function<void(const QString&)> onCall;

    QStringList log;
    QStringList misuse;
    int live = 0;
    int peak = 0;
    int applications = 0;

    bool lost = false;
    bool countOnly = false; // the print target only counts pages
    int generation = 0;     // grows at every new application and restart
    int openWorkbooks = 0;  // of the current generation, not yet closed

    void append(const QString& line)
    {
        std::function<void(const QString&)> hook;
        {
            QMutexLocker lock(&mutex);
            log << line;
            hook = onCall;
        }
        if (hook)
            hook(line);
    }

    void addMisuse(const QString& text)
    {
        QMutexLocker lock(&mutex);
        misuse << text;
    }

    // Logs one call made on an object of the given generation; false when
    // the call fails because the object is stale or the application lost.
    bool call(const QString& line, int objectGeneration)
    {
        if (objectGeneration != generation) {
            append(line + QStringLiteral(" [stale]"));
            return false;
        }
        if (!lost && !loseAt.isEmpty() && line.startsWith(loseAt)) {
            lost = true;
            loseAt.clear();
        }
        if (lost) {
            append(line + QStringLiteral(" [lost]"));
            return false;
        }
        append(line);
        return true;
    }

    void objectCreated()
    {
        QMutexLocker lock(&mutex);
        ++live;
        if (live > peak)
            peak = live;
    }

    void objectReleased()
    {
        QMutexLocker lock(&mutex);
        --live;
    }
};

namespace {

// Shared by an opened workbook and every sub-object queried under it.
struct BookHandle
{
    std::shared_ptr<FakeState> st;
    QString path;
    int generation = 0;
    bool closed = false;
    int children = 0;

    FakeWorkbook& book() { return st->books[path]; }
    FakeSheet& sheet(int index) { return book().sheets[index - 1]; }

    // A call on a sub-object of this workbook.
    bool call(const QString& line)
    {
        if (closed)
            st->addMisuse(line + QStringLiteral(" after Close"));
        return st->call(line, generation);
    }
};

// The print job of a workbook with FakeWorkbook::printJobs: sheets join it
// as they are printed and go out together.
class FakeJob : public PrintJob
{
public:
    explicit FakeJob(std::shared_ptr<BookHandle> handle) : h(std::move(handle))
    {
        h->st->objectCreated();
    }
    ~FakeJob() override
    {
        if (h->closed)
            h->st->addMisuse(QStringLiteral("print job released after Close: ") + h->path);
        h->st->objectReleased();
    }
    int waitingCount() const override { return int(m_waiting.size()); }
    QList<int> sentPages() const override { return m_sentPages; }
    PrintResult send() override
    {
        if (m_waiting.isEmpty())
            return PrintResult::nothing();
        QStringList names;
        bool refused = false;
        int pages = 0;
        for (int index : std::as_const(m_waiting)) {
            names << h->sheet(index).name;
            refused = refused || h->sheet(index).printRefused;
            pages += qMax(0, h->sheet(index).pages);
        }
        const QList<int> sent = m_waiting;
        m_waiting.clear();
        m_sentPages.clear();
        for (int index : sent)
            m_sentPages << h->sheet(index).pages;
        if (!h->call(QStringLiteral("SendJob ") + names.join(QLatin1Char(' '))))
            return PrintResult::failed(FailureKind::OfficeCrashed);
        if (refused)
            return PrintResult::failed(FailureKind::PrintRefused, QStringLiteral("refused"));
        for (int index : sent)
            ++h->sheet(index).printCount;
        return PrintResult::printed(pages);
    }
    // A sheet printed into the job, logged as line.
    PrintResult join(int index, const QString& line)
    {
        FakeSheet& sheet = h->sheet(index);
        const bool alone = std::any_of(m_waiting.begin(), m_waiting.end(),
                                       [this](int w) { return h->sheet(w).ownJob; });
        if ((sheet.ownJob || alone) && !m_waiting.isEmpty())
            return PrintResult::notJoined();
        if (!h->call(line))
            return PrintResult::failed(FailureKind::OfficeCrashed);
        if (sheet.nothingToPrint)
            return PrintResult::nothing();
        m_waiting << index;
        return PrintResult::waiting(sheet.pages);
    }
    const BookHandle* handle() const { return h.get(); }

private:
    std::shared_ptr<BookHandle> h;
    QList<int> m_waiting;
    QList<int> m_sentPages;
};

// Base of the sub-objects under a workbook: counts them while they live.
class Child
{
public:
    Child(std::shared_ptr<BookHandle> handle, int sheetIndex)
        : h(std::move(handle)), index(sheetIndex)
    {
        ++h->children;
        h->st->objectCreated();
    }
    ~Child()
    {
        --h->children;
        h->st->objectReleased();
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

protected:
    FakeSheet& sheet() { return h->sheet(index); }

    // One print call, logged as line.
    PrintResult printed(const QString& line)
    {
        if (!h->call(line))
            return PrintResult::failed(FailureKind::OfficeCrashed);
        if (sheet().printRefused)
            return PrintResult::failed(FailureKind::PrintRefused, QStringLiteral("refused"));
        if (sheet().nothingToPrint)
            return PrintResult::nothing();
        if (!h->st->countOnly)
            ++sheet().printCount;
        return PrintResult::printed(sheet().pages);
    }

    // One print call into a job; a job of another workbook prints at once.
    PrintResult joined(PrintJob& job, const QString& line)
    {
        auto* fake = dynamic_cast<FakeJob*>(&job);
        if (!fake || fake->handle() != h.get()) {
            h->st->addMisuse(line + QStringLiteral(" into a job of another workbook"));
            return printed(line);
        }
        return fake->join(index, line);
    }

    std::shared_ptr<BookHandle> h;
    int index;
};

class FakeRange : public Range, private Child
{
public:
    FakeRange(std::shared_ptr<BookHandle> handle, int sheetIndex, const QString& address)
        : Child(std::move(handle), sheetIndex), m_address(address)
    {}
    PrintResult printOut() override
    {
        return printed(QStringLiteral("PrintOut range ") + m_address);
    }
    PrintResult printOut(PrintJob& job) override
    {
        return joined(job, QStringLiteral("PrintOut range ") + m_address);
    }

private:
    QString m_address;
};

class FakeCell : public Cell, private Child
{
public:
    FakeCell(std::shared_ptr<BookHandle> handle, int sheetIndex, int row, int column)
        : Child(std::move(handle), sheetIndex), m_row(row), m_column(column)
    {}
    QString valueText() override
    {
        if (!h->call(QStringLiteral("Value")))
            return QString();
        return sheet().cells.value(qMakePair(m_row, m_column));
    }

private:
    int m_row;
    int m_column;
};

class FakeUsedRange : public UsedRange, private Child
{
public:
    using Child::Child;
    int row() override { return h->call(QStringLiteral("Row")) ? sheet().firstRow : 0; }
    int column() override { return h->call(QStringLiteral("Column")) ? sheet().firstColumn : 0; }
    int rowCount() override { return h->call(QStringLiteral("Rows")) ? sheet().rowCount : 0; }
    int columnCount() override
    {
        return h->call(QStringLiteral("Columns")) ? sheet().columnCount : 0;
    }
};

class FakePageSetup : public PageSetup, private Child
{
public:
    using Child::Child;
    bool setPaperSize(int code) override { return set(QStringLiteral("PaperSize"), code); }
    bool setLeftMargin(double points) override { return set(QStringLiteral("LeftMargin"), points); }
    bool setRightMargin(double points) override
    {
        return set(QStringLiteral("RightMargin"), points);
    }
    bool setTopMargin(double points) override { return set(QStringLiteral("TopMargin"), points); }
    bool setBottomMargin(double points) override
    {
        return set(QStringLiteral("BottomMargin"), points);
    }
    bool setHeaderMargin(double points) override
    {
        return set(QStringLiteral("HeaderMargin"), points);
    }
    bool setFooterMargin(double points) override
    {
        return set(QStringLiteral("FooterMargin"), points);
    }
    bool setOrientation(int orientation) override
    {
        return set(QStringLiteral("Orientation"), orientation);
    }
    PageSetupValues current() override
    {
        PageSetupValues values;
        const QVariantMap& set = sheet().pageSetup;
        const auto inches = [&set](const char* name) -> std::optional<double> {
            if (!set.contains(QLatin1String(name)))
                return std::nullopt;
            return set.value(QLatin1String(name)).toDouble() / 72.0;
        };
        values.left = inches("LeftMargin");
        values.right = inches("RightMargin");
        values.top = inches("TopMargin");
        values.bottom = inches("BottomMargin");
        values.header = inches("HeaderMargin");
        values.footer = inches("FooterMargin");
        if (set.contains(QStringLiteral("Orientation")))
            values.orientation = set.value(QStringLiteral("Orientation")).toInt();
        if (set.contains(QStringLiteral("PaperSize")))
            values.paperSize = set.value(QStringLiteral("PaperSize")).toInt();
        return values;
    }

private:
    bool set(const QString& property, int value)
    {
        if (!h->call(property + QLatin1Char(' ') + QString::number(value)) ||
            sheet().pageSetupWritesFail)
            return false;
        sheet().pageSetup.insert(property, value);
        return true;
    }
    bool set(const QString& property, double value)
    {
        if (!h->call(property + QLatin1Char(' ') + FakeSpreadsheet::number(value)) ||
            sheet().pageSetupWritesFail)
            return false;
        sheet().pageSetup.insert(property, value);
        return true;
    }
};

class FakeWorksheet : public Worksheet, private Child
{
public:
    using Child::Child;
    QString name() override { return h->call(QStringLiteral("Name")) ? sheet().name : QString(); }
    std::unique_ptr<UsedRange> usedRange() override
    {
        if (!h->call(QStringLiteral("UsedRange")) || sheet().noUsedRange)
            return nullptr;
        return std::make_unique<FakeUsedRange>(h, index);
    }
    std::unique_ptr<Cell> cell(int row, int column) override
    {
        if (!h->call(QStringLiteral("Cell %1 %2").arg(row).arg(column)) || sheet().noCell)
            return nullptr;
        return std::make_unique<FakeCell>(h, index, row, column);
    }
    std::unique_ptr<PageSetup> pageSetup() override
    {
        if (!h->call(QStringLiteral("PageSetup")) || sheet().noPageSetup)
            return nullptr;
        return std::make_unique<FakePageSetup>(h, index);
    }
    std::unique_ptr<Range> range(const QString& address) override
    {
        if (!h->call(QStringLiteral("Range ") + address))
            return nullptr;
        const QStringList& invalid = sheet().invalidRanges;
        if (invalid.contains(address) || invalid.contains(QStringLiteral("*")))
            return nullptr;
        return std::make_unique<FakeRange>(h, index, address);
    }
    SheetVisibility visibility() override
    {
        if (!h->call(QStringLiteral("Visible")))
            return SheetVisibility::Visible;
        return sheet().visibility;
    }
    bool hasDrawings() override { return h->call(QStringLiteral("Drawings")) && sheet().drawings; }
    PrintResult printOut() override
    {
        return printed(QStringLiteral("PrintOut sheet ") + sheet().name);
    }
    PrintResult printOut(PrintJob& job) override
    {
        return joined(job, QStringLiteral("PrintOut sheet ") + sheet().name);
    }
};

class FakeWorkbookObject : public Workbook
{
public:
    explicit FakeWorkbookObject(std::shared_ptr<BookHandle> handle) : h(std::move(handle))
    {
        h->st->objectCreated();
    }
    ~FakeWorkbookObject() override
    {
        FakeState& st = *h->st;
        if (!h->closed && h->generation == st.generation) {
            if (!st.lost)
                st.addMisuse(QStringLiteral("workbook released without Close: ") + h->path);
            --st.openWorkbooks;
        }
        if (h->children > 0)
            st.addMisuse(QStringLiteral("workbook released before its sub-objects: ") + h->path);
        st.objectReleased();
    }

    int sheetCount() override
    {
        if (!h->call(QStringLiteral("SheetCount")))
            return -1;
        const FakeWorkbook& book = h->book();
        return book.sheetCount ? *book.sheetCount : int(book.sheets.size());
    }
    std::unique_ptr<Worksheet> worksheet(int index) override
    {
        if (!h->call(QStringLiteral("worksheet ") + QString::number(index)))
            return nullptr;
        const FakeWorkbook& book = h->book();
        if (index < 1 || index > book.sheets.size() || book.sheets[index - 1].chart)
            return nullptr;
        return std::make_unique<FakeWorksheet>(h, index);
    }
    bool save(Failure* = nullptr) override
    {
        if (!h->call(QStringLiteral("Save")))
            return false;
        if (h->book().saveFails)
            return false;
        ++h->book().saveCount;
        return true;
    }
    void close() override
    {
        FakeState& st = *h->st;
        if (h->children > 0)
            st.addMisuse(QStringLiteral("Close with %1 live sub-objects: ").arg(h->children) +
                         h->path);
        const bool reached = st.call(QStringLiteral("Close"), h->generation);
        if (!h->closed) {
            h->closed = true;
            if (reached)
                ++h->book().closeCount;
            if (h->generation == st.generation)
                --st.openWorkbooks;
        }
    }

    std::unique_ptr<PrintJob> printJob() override
    {
        if (!h->call(QStringLiteral("PrintJob")) || !h->book().printJobs)
            return nullptr;
        return std::make_unique<FakeJob>(h);
    }

private:
    std::shared_ptr<BookHandle> h;
};

class FakeWorkbooks : public Workbooks
{
public:
    FakeWorkbooks(std::shared_ptr<FakeState> state, int generation)
        : st(std::move(state)), m_generation(generation)
    {}
    std::unique_ptr<Workbook> open(const QString& nativePath, OpenMode mode,
                                   Failure* failure = nullptr) override
    {
        const QString line = QStringLiteral("open ") + nativePath +
                             (mode == OpenMode::ReadOnly     ? QStringLiteral(" ReadOnly")
                              : mode == OpenMode::ForEditing ? QStringLiteral(" ForEditing")
                                                             : QStringLiteral(" Inspect"));
        if (m_generation != st->generation)
            st->addMisuse(QStringLiteral("stale workbooks collection used: ") + line);
        if (!st->call(line, m_generation))
            return nullptr;
        if (st->openWorkbooks > 0)
            st->addMisuse(QStringLiteral("open while another workbook is open: ") + nativePath);
        auto it = st->books.find(nativePath);
        if (it == st->books.end() || it->second.openFails) {
            if (failure && it != st->books.end())
                *failure = it->second.openFailure;
            return nullptr;
        }
        ++it->second.openCount;
        ++st->openWorkbooks;
        auto handle = std::make_shared<BookHandle>();
        handle->st = st;
        handle->path = nativePath;
        handle->generation = m_generation;
        return std::make_unique<FakeWorkbookObject>(handle);
    }

private:
    std::shared_ptr<FakeState> st;
    int m_generation;
};

class FakeApplication : public Application
{
public:
    explicit FakeApplication(std::shared_ptr<FakeState> state) : st(std::move(state))
    {
        QMutexLocker lock(&st->mutex);
        ++st->applications;
        ++st->generation;
        st->lost = false;
        st->openWorkbooks = 0;
    }
    ~FakeApplication() override
    {
        st->append(QStringLiteral("Release application"));
        if (st->live > 0)
            st->addMisuse(
                QStringLiteral("application released with %1 live sub-objects").arg(st->live));
    }

    void start() override { st->call(QStringLiteral("Start"), st->generation); }
    Workbooks* workbooks() override
    {
        if (!st->call(QStringLiteral("Workbooks"), st->generation) || st->noWorkbooks)
            return nullptr;
        if (m_collections.empty() || m_collectionGeneration != st->generation) {
            m_collections.push_back(std::make_unique<FakeWorkbooks>(st, st->generation));
            m_collectionGeneration = st->generation;
        }
        return m_collections.back().get();
    }
    double centimetersToPoints(double centimetres) override
    {
        if (!st->call(QStringLiteral("CentimetersToPoints ") + FakeSpreadsheet::number(centimetres),
                      st->generation))
            return 0.0;
        return centimetres * 72.0 / 2.54;
    }
    void quit() override
    {
        if (st->openWorkbooks > 0)
            st->addMisuse(QStringLiteral("Quit with an open workbook"));
        st->call(QStringLiteral("Quit"), st->generation);
    }
    bool lost() const override { return st->lost; }
    Failure lostFailure() const override { return Failure{FailureKind::OfficeCrashed, {}}; }
    bool restart() override
    {
        st->append(QStringLiteral("Restart"));
        if (!st->restartSucceeds)
            return false;
        ++st->generation;
        st->lost = false;
        st->openWorkbooks = 0;
        return true;
    }
    void setPrintTarget(const PrintTarget& target) override
    {
        static const char* const kinds[] = {"DefaultPrinter", "NamedPrinter", "PdfDirectory"};
        QString line = QStringLiteral("SetPrintTarget ") + QLatin1String(kinds[target.kind]) +
                       QLatin1Char(' ') + target.name;
        if (target.copies != 1 || target.collate)
            line +=
                QStringLiteral(" copies=%1%2").arg(target.copies).arg(target.collate ? "c" : "");
        if (target.duplex != PrintTarget::Duplex::PrinterDefault)
            line += QStringLiteral(" duplex=%1").arg(int(target.duplex));
        if (target.countOnly)
            line += QStringLiteral(" count");
        st->countOnly = target.countOnly;
        st->call(line, st->generation);
    }

private:
    std::shared_ptr<FakeState> st;
    // Collections of earlier generations stay alive (and answer as stale),
    // so a run that keeps using one is seen instead of crashing.
    std::vector<std::unique_ptr<FakeWorkbooks>> m_collections;
    int m_collectionGeneration = -1;
};

} // namespace

// ---- FakeSheet, FakeWorkbook

FakeSheet FakeSheet::blank(const QString& name)
{
    FakeSheet sheet;
    sheet.name = name;
    return sheet;
}

FakeSheet FakeSheet::withValue(const QString& name, const QString& value)
{
    FakeSheet sheet;
    sheet.name = name;
    sheet.cells.insert(qMakePair(1, 1), value);
    return sheet;
}

FakeSheet FakeSheet::filled(const QString& name, int rows, int columns)
{
    FakeSheet sheet;
    sheet.name = name;
    sheet.rowCount = rows;
    sheet.columnCount = columns;
    for (int r = 1; r <= rows; ++r)
        for (int c = 1; c <= columns; ++c)
            sheet.cells.insert(qMakePair(r, c), QStringLiteral("x"));
    return sheet;
}

FakeWorkbook FakeWorkbook::withSheets(const QStringList& names)
{
    FakeWorkbook book;
    for (const QString& name : names)
        book.sheets << FakeSheet::filled(name);
    return book;
}

// ---- FakeSpreadsheet

FakeSpreadsheet::FakeSpreadsheet() : m_state(std::make_shared<FakeState>()) {}

FakeSpreadsheet::~FakeSpreadsheet() = default;

void FakeSpreadsheet::addWorkbook(const QString& path, const FakeWorkbook& workbook)
{
    m_state->books[path] = workbook;
}

FakeWorkbook& FakeSpreadsheet::workbook(const QString& path)
{
    return m_state->books[path];
}

FakeSheet& FakeSpreadsheet::sheet(const QString& path, int index)
{
    return m_state->books[path].sheets[index - 1];
}

void FakeSpreadsheet::setNoWorkbooks(bool none)
{
    m_state->noWorkbooks = none;
}

void FakeSpreadsheet::setLoseAt(const QString& prefix)
{
    m_state->loseAt = prefix;
}

void FakeSpreadsheet::setRestartSucceeds(bool succeeds)
{
    m_state->restartSucceeds = succeeds;
}

void FakeSpreadsheet::setOnCall(std::function<void(const QString&)> hook)
{
    QMutexLocker lock(&m_state->mutex);
    m_state->onCall = std::move(hook);
}

std::unique_ptr<Application> FakeSpreadsheet::createApplication()
{
    return std::make_unique<FakeApplication>(m_state);
}

std::function<std::unique_ptr<Application>()> FakeSpreadsheet::factory()
{
    std::shared_ptr<FakeState> state = m_state;
    return [state]() -> std::unique_ptr<Application> {
        return std::make_unique<FakeApplication>(state);
    };
}

int FakeSpreadsheet::applicationsCreated() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->applications;
}

QStringList FakeSpreadsheet::log() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->log;
}

QStringList FakeSpreadsheet::calls(const QStringList& prefixes) const
{
    QStringList result;
    const QStringList all = log();
    for (const QString& line : all) {
        for (const QString& prefix : prefixes) {
            if (line.startsWith(prefix)) {
                result << line;
                break;
            }
        }
    }
    return result;
}

void FakeSpreadsheet::note(const QString& line)
{
    m_state->append(line);
}

void FakeSpreadsheet::clearLog()
{
    QMutexLocker lock(&m_state->mutex);
    m_state->log.clear();
}

int FakeSpreadsheet::liveObjects() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->live;
}

int FakeSpreadsheet::peakLiveObjects() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->peak;
}

QStringList FakeSpreadsheet::misuse() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->misuse;
}

QString FakeSpreadsheet::number(double value)
{
    return QString::number(value);
}

// ---- FakeEnvironment

FakeEnvironment::FakeEnvironment(FakeSpreadsheet& spreadsheet) : m_spreadsheet(spreadsheet) {}

runs::RunEnvironment FakeEnvironment::environment()
{
    runs::RunEnvironment env;
    env.createApplication = m_spreadsheet.factory();
    env.showFailedList = [this](const QString& path) {
        m_opened << path;
        m_spreadsheet.note(QStringLiteral("OpenFailedList ") + path);
    };
    env.sleep = [this](int milliseconds) {
        m_spreadsheet.note(QStringLiteral("Sleep ") + QString::number(milliseconds));
        m_slept += milliseconds;
        if (onSleep)
            onSleep(milliseconds);
    };
    env.now = [this]() { return clockSeconds + m_slept / 1000; };
    return env;
}

runs::EventSink FakeEnvironment::events()
{
    return [this](const runs::RunEvent& event) {
        m_events << event;
        const QString text = runs::eventText(event);
        if (!text.isEmpty()) {
            m_progress << text;
            m_spreadsheet.note(QStringLiteral("Progress ") + text);
        }
        if (event.type == runs::RunEvent::Type::RunEnded) {
            ++m_finished;
            m_spreadsheet.note(QStringLiteral("Finished"));
        }
    };
}

bool touchFile(const QString& path)
{
    if (!QFileInfo(path).dir().mkpath(QStringLiteral(".")))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

QString addWorkbookFile(FakeSpreadsheet& spreadsheet, const QString& path,
                        const FakeWorkbook& workbook)
{
    const QString nativePath = QDir::toNativeSeparators(path);
    touchFile(path);
    spreadsheet.addWorkbook(nativePath, workbook);
    return nativePath;
}

} // namespace testsupport
