// The spreadsheet interface on "Excel.Application" (Microsoft Excel, or WPS
// spreadsheets registered under the same name), member by member.
//
// Properties are read and written through dynamicCall() by name.  That
// reaches the server also for a property its type information leaves out
// (WPS leaves some out), where QObject::property() and setProperty() would
// only touch a Qt property of the local object.
//
// Every sub-object has one owner, the wrapper that holds it.  ActiveQt makes
// a queried object a Qt child of the object it came from; that tie is cut at
// once, so the object goes when its wrapper goes, in the order the interface
// lays down (a worksheet before its workbook, the workbooks collection
// before the application).
#include "engines/windows/excel.h"
#include "engines/windows/servererrors.h"
#include "engines/windows/serverprocess.h"
#include "platform/editblocker.h"
#include "platform/processes.h"

#include <ActiveQt/QAxObject>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <objbase.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace engines::windows {

using namespace spreadsheet;

namespace {

using AxPtr = std::unique_ptr<QAxObject>;

// A margin read back this close (in points) to what was written took: the
// server may keep it in a unit of its own.
constexpr double kMarginTolerance = 0.5;

// "ExportAsFixedFormat" type for a PDF file.
constexpr int kFixedFormatPdf = 0;

// A sub-object query; null when the server gave nothing.
template <class... Args>
AxPtr query(QAxObject* from, const char* member, const Args&... args)
{
    if (!from)
        return nullptr;
    QAxObject* object = from->querySubObject(member, args...);
    if (object)
        object->setParent(nullptr);
    return AxPtr(object);
}

// A property as the server has it; invalid when it has no such property or
// the read failed.
QVariant read(QAxObject* object, const char* name)
{
    return object ? object->dynamicCall(name) : QVariant();
}

int readCount(QAxObject* collection, int unknown)
{
    const QVariant count = read(collection, "Count");
    return count.isValid() ? count.toInt() : unknown;
}

// Sends a property value to the server; false when it raised an error.
bool send(QAxObject& object, const char* name, const QVariant& value)
{
    const ServerErrors errors(&object);
    object.dynamicCall(name, value);
    return !errors;
}

// Writes a property and reads it back: false when the server raised an
// error, has no such property or kept another value.
bool write(QAxObject& object, const char* name, const QVariant& value)
{
    if (!send(object, name, value))
        return false;
    const QVariant now = object.dynamicCall(name);
    if (!now.isValid())
        return false;
    if (value.userType() == QMetaType::Double)
        return qAbs(now.toDouble() - value.toDouble()) <= kMarginTolerance;
    return now.toInt() == value.toInt();
}

// The server processes this program started and has not quit, for
// terminateExcelProcesses(), which may run on any thread; and those it ended
// there, so that a session tells a hang it was ended for from a crash.
std::mutex g_serversMutex;
std::vector<ServerProcess> g_started;
std::vector<ServerProcess> g_ended;

bool sameProcess(const ServerProcess& a, const ServerProcess& b)
{
    return a.id == b.id && a.creationTime == b.creationTime;
}

void registerServer(const ServerProcess& server)
{
    const std::lock_guard<std::mutex> lock(g_serversMutex);
    g_started.push_back(server);
}

void forgetServer(const ServerProcess& server)
{
    const std::lock_guard<std::mutex> lock(g_serversMutex);
    const auto same = [&](const ServerProcess& p) { return sameProcess(p, server); };
    g_started.erase(std::remove_if(g_started.begin(), g_started.end(), same), g_started.end());
    g_ended.erase(std::remove_if(g_ended.begin(), g_ended.end(), same), g_ended.end());
}

bool endedHere(const ServerProcess& server)
{
    const std::lock_guard<std::mutex> lock(g_serversMutex);
    return std::any_of(g_ended.begin(), g_ended.end(),
                       [&](const ServerProcess& p) { return sameProcess(p, server); });
}

QString safeFileName(QString text)
{
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    for (QChar& c : text) {
        if (c.unicode() < 32 || forbidden.contains(c))
            c = QLatin1Char('_');
    }
    return text;
}

// Reserves "<workbook> - <sheet>.pdf" in the folder, numbered " (2)", " (3)"
// when taken, by creating it empty; the export then fills it.
QString reservePdfPath(const QString& folder, const QString& workbookPath, const QString& sheet)
{
    const QString stem = safeFileName(QFileInfo(workbookPath).completeBaseName()) +
                         QStringLiteral(" - ") + safeFileName(sheet);
    for (int n = 1; n < 10000; ++n) {
        const QString name =
            n == 1 ? stem + QStringLiteral(".pdf") : stem + QStringLiteral(" (%1).pdf").arg(n);
        QFile file(QDir(folder).filePath(name));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return file.fileName();
        if (!file.exists())
            return QString();
    }
    return QString();
}

// What a worksheet or a range prints through, and which workbook it is in.
struct PrintContext
{
    const PrintTarget& target;
    QString workbookPath;
};

// Prints a worksheet or a range to the session's target.  Excel takes no
// printer name and no sides through "PrintOut()", so a target that asks for
// them is refused rather than printed otherwise; copies are that many jobs,
// which come out collated.  sheetName and pages are asked only when needed.
PrintResult printTo(QAxObject& printable, const PrintContext& context,
                    const std::function<QString()>& sheetName, const std::function<int()>& pages)
{
    const PrintTarget& target = context.target;
    if (target.kind == PrintTarget::NamedPrinter)
        return PrintResult::failed(
            FailureKind::PrintRefused,
            QStringLiteral("Excel prints on its default printer only; make \"%1\" the default "
                           "printer")
                .arg(target.name));
    if (target.duplex != PrintTarget::Duplex::PrinterDefault)
        return PrintResult::failed(FailureKind::PrintRefused,
                                   QStringLiteral("Excel cannot be told the sides to print on; "
                                                  "set them in the printer's preferences"));
    if (target.countOnly)
        return PrintResult::printed(pages());

    const ServerErrors errors(&printable);
    if (target.kind == PrintTarget::PdfDirectory) {
        const QString path = reservePdfPath(target.name, context.workbookPath, sheetName());
        if (path.isEmpty())
            return PrintResult::failed(FailureKind::PrintRefused,
                                       QStringLiteral("cannot create a PDF file in ") +
                                           target.name);
        printable.dynamicCall("ExportAsFixedFormat(int, const QString&)", kFixedFormatPdf,
                              QDir::toNativeSeparators(path));
        if (errors || QFileInfo(path).size() == 0) {
            QFile::remove(path);
            return PrintResult::failed(FailureKind::PrintRefused, errors.text());
        }
        return PrintResult::printed();
    }
    for (int copy = 0; copy < qMax(1, target.copies) && !errors; ++copy)
        printable.dynamicCall("PrintOut()");
    if (errors)
        return PrintResult::failed(FailureKind::PrintRefused, errors.text());
    return PrintResult::printed();
}

class AxRange : public Range
{
public:
    AxRange(AxPtr range, PrintContext context, QString sheetName)
        : m_range(std::move(range)), m_context(std::move(context)),
          m_sheetName(std::move(sheetName))
    {}
    // The pages of a range alone are not known without printing it.
    PrintResult printOut() override
    {
        return printTo(
            *m_range, m_context, [this] { return m_sheetName; }, [] { return -1; });
    }
    // Every "PrintOut()" is a job of its own (see AxWorkbook::printJob).
    PrintResult printOut(PrintJob&) override { return printOut(); }

private:
    AxPtr m_range;
    PrintContext m_context;
    QString m_sheetName;
};

class AxCell : public Cell
{
public:
    explicit AxCell(AxPtr cell) : m_cell(std::move(cell)) {}
    QString valueText() override { return m_cell->dynamicCall("Value()").toString(); }

private:
    AxPtr m_cell;
};

class AxUsedRange : public UsedRange
{
public:
    explicit AxUsedRange(AxPtr range) : m_range(std::move(range)) {}
    int row() override { return read(m_range.get(), "Row").toInt(); }
    int column() override { return read(m_range.get(), "Column").toInt(); }
    int rowCount() override { return count("Rows"); }
    int columnCount() override { return count("Columns"); }

private:
    int count(const char* member)
    {
        const AxPtr collection = query(m_range.get(), member);
        return readCount(collection.get(), 0);
    }
    AxPtr m_range;
};

class AxPageSetup : public PageSetup
{
public:
    explicit AxPageSetup(AxPtr setup) : m_setup(std::move(setup)) {}
    bool setPaperSize(int code) override { return write(*m_setup, "PaperSize", code); }
    bool setLeftMargin(double points) override { return write(*m_setup, "LeftMargin", points); }
    bool setRightMargin(double points) override { return write(*m_setup, "RightMargin", points); }
    bool setTopMargin(double points) override { return write(*m_setup, "TopMargin", points); }
    bool setBottomMargin(double points) override { return write(*m_setup, "BottomMargin", points); }
    bool setHeaderMargin(double points) override { return write(*m_setup, "HeaderMargin", points); }
    bool setFooterMargin(double points) override { return write(*m_setup, "FooterMargin", points); }
    // The WPS spreadsheet program takes the orientation through the method
    // "SetOrientation(int)" instead of the property.  Looked at anew for
    // every sheet: WPS may start or end during a run.
    bool setOrientation(int orientation) override
    {
        if (countProcessesByName(wpsSpreadsheetProcessName()) < 1)
            return write(*m_setup, "Orientation", orientation);
        const ServerErrors errors(m_setup.get());
        m_setup->dynamicCall("SetOrientation(int)", orientation);
        return !errors;
    }

    PageSetupValues current() override
    {
        PageSetupValues values;
        const auto inches = [this](const char* name) -> std::optional<double> {
            const QVariant points = read(m_setup.get(), name);
            if (!points.isValid())
                return std::nullopt;
            return points.toDouble() / 72.0;
        };
        const auto code = [this](const char* name) -> std::optional<int> {
            const QVariant value = read(m_setup.get(), name);
            if (!value.isValid())
                return std::nullopt;
            return value.toInt();
        };
        values.left = inches("LeftMargin");
        values.right = inches("RightMargin");
        values.top = inches("TopMargin");
        values.bottom = inches("BottomMargin");
        values.header = inches("HeaderMargin");
        values.footer = inches("FooterMargin");
        values.orientation = code("Orientation");
        values.paperSize = code("PaperSize");
        return values;
    }

    // "Pages" -> "Count": the pages the sheet prints on (Excel 2010 and
    // later); -1 when not known.
    int pageCount()
    {
        const AxPtr pages = query(m_setup.get(), "Pages");
        return readCount(pages.get(), -1);
    }

private:
    AxPtr m_setup;
};

class AxWorksheet : public Worksheet
{
public:
    AxWorksheet(AxPtr sheet, PrintContext context)
        : m_sheet(std::move(sheet)), m_context(std::move(context))
    {}
    QString name() override { return read(m_sheet.get(), "Name").toString(); }
    std::unique_ptr<UsedRange> usedRange() override
    {
        return wrap<AxUsedRange, UsedRange>(query(m_sheet.get(), "UsedRange"));
    }
    std::unique_ptr<Cell> cell(int row, int column) override
    {
        return wrap<AxCell, Cell>(query(m_sheet.get(), "Cells(int, int)", row, column));
    }
    std::unique_ptr<PageSetup> pageSetup() override
    {
        return wrap<AxPageSetup, PageSetup>(query(m_sheet.get(), "PageSetup"));
    }
    std::unique_ptr<Range> range(const QString& address) override
    {
        AxPtr range = query(m_sheet.get(), "Range(conts QVariant&)", QVariant(address));
        if (!range)
            return nullptr;
        return std::make_unique<AxRange>(std::move(range), m_context, name());
    }
    // "Visible": -1 (or true) visible, 0 hidden, 2 very hidden.  A sheet
    // whose visibility cannot be read counts as visible.
    SheetVisibility visibility() override
    {
        const QVariant visible = read(m_sheet.get(), "Visible");
        if (!visible.isValid())
            return SheetVisibility::Visible;
        switch (visible.toInt()) {
        case 0:
            return SheetVisibility::Hidden;
        case 2:
            return SheetVisibility::VeryHidden;
        default:
            return SheetVisibility::Visible;
        }
    }
    bool hasDrawings() override
    {
        const AxPtr shapes = query(m_sheet.get(), "Shapes");
        return readCount(shapes.get(), 0) > 0;
    }
    PrintResult printOut() override
    {
        return printTo(
            *m_sheet, m_context, [this] { return name(); }, [this] { return pageCount(); });
    }
    PrintResult printOut(PrintJob&) override { return printOut(); }

private:
    template <class T, class I>
    static std::unique_ptr<I> wrap(AxPtr object)
    {
        return object ? std::make_unique<T>(std::move(object)) : nullptr;
    }
    int pageCount()
    {
        AxPtr setup = query(m_sheet.get(), "PageSetup");
        return setup ? AxPageSetup(std::move(setup)).pageCount() : -1;
    }
    AxPtr m_sheet;
    PrintContext m_context;
};

class AxWorkbook : public Workbook
{
public:
    AxWorkbook(AxPtr book, PrintContext context)
        : m_book(std::move(book)), m_context(std::move(context))
    {}
    ~AxWorkbook() override { close(); }
    int sheetCount() override
    {
        const AxPtr sheets = query(m_book.get(), "Sheets");
        return readCount(sheets.get(), -1);
    }
    std::unique_ptr<Worksheet> worksheet(int index) override
    {
        AxPtr sheet = query(m_book.get(), "WorkSheets(int)", index);
        return sheet ? std::make_unique<AxWorksheet>(std::move(sheet), m_context) : nullptr;
    }
    bool save(Failure* failure = nullptr) override
    {
        if (!m_book)
            return false;
        const ServerErrors errors(m_book.get());
        m_book->dynamicCall("Save()");
        if (!errors)
            return true;
        if (failure)
            *failure = Failure{FailureKind::SaveFailed, errors.text()};
        return false;
    }
    void close() override
    {
        if (!m_book)
            return;
        m_book->dynamicCall("Close (Boolean)", false);
        m_book.reset();
    }
    // "PrintOut()" prints one sheet or range per call, and a PDF file holds
    // one sheet: every sheet is printed at once, in a job of its own.
    std::unique_ptr<PrintJob> printJob() override { return nullptr; }

private:
    AxPtr m_book;
    PrintContext m_context;
};

class AxWorkbooks : public Workbooks
{
public:
    AxWorkbooks(AxPtr books, const PrintTarget& target)
        : m_books(std::move(books)), m_target(target)
    {}
    std::unique_ptr<Workbook> open(const QString& nativePath, OpenMode mode,
                                   Failure* failure = nullptr) override
    {
        const auto fail = [failure](FailureKind kind, const QString& detail) {
            if (failure)
                *failure = Failure{kind, detail};
            return nullptr;
        };
        if (!QFileInfo(nativePath).isFile())
            return fail(FailureKind::NotFound, QString());
        // Excel opens a workbook that another program holds as a read-only
        // copy, whose save would then fail: told before it is opened.
        if (mode == OpenMode::ForEditing) {
            if (const EditBlock block = editBlocker(nativePath)) {
                const Failure why = editFailure(block);
                return fail(why.kind, why.detail);
            }
        }
        const ServerErrors errors(m_books.get());
        AxPtr book = query(m_books.get(), "Open(const QString&)", nativePath);
        if (!book)
            return fail(FailureKind::NotOpened, errors.text());
        return std::make_unique<AxWorkbook>(std::move(book), PrintContext{m_target, nativePath});
    }

private:
    AxPtr m_books;
    const PrintTarget& m_target;
};

class AxApplication : public Application
{
public:
    ~AxApplication() override { quit(); }
    void start() override
    {
        if (m_excel)
            return;
        // COM on the calling thread, in the multithreaded apartment, before
        // the first object.  The thread keeps it.
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        const qint64 startedAfter = systemTimeNow();
        m_excel = std::make_unique<QAxObject>();
        if (!m_excel->setControl(QStringLiteral("Excel.Application"))) {
            m_excel.reset();
            return;
        }
        m_excel->dynamicCall("SetVisible (bool Visible)", QStringLiteral("false"));
        send(*m_excel, "DisplayAlerts", false);
        watchServer(startedAfter);
        AxPtr books = query(m_excel.get(), "WorkBooks");
        if (books)
            m_workbooks = std::make_unique<AxWorkbooks>(std::move(books), m_target);
    }
    Workbooks* workbooks() override { return m_workbooks.get(); }
    // The application's own conversion; the same arithmetic when it gives
    // none, rather than a margin of 0.
    double centimetersToPoints(double centimetres) override
    {
        const QVariant points =
            m_excel ? m_excel->dynamicCall("CentimetersToPoints(double)", centimetres) : QVariant();
        return points.isValid() ? points.toDouble() : centimetres / 2.54 * 72.0;
    }
    void quit() override
    {
        if (!m_excel)
            return;
        m_workbooks.reset();
        if (!lost())
            m_excel->dynamicCall("Quit(void)");
        m_excel.reset();
        forgetServer(m_server);
        m_server = ServerProcess();
        m_lost = false;
    }
    bool lost() const override
    {
        if (!m_lost && m_server && !processRunning(m_server))
            m_lost = true;
        return m_lost;
    }
    Failure lostFailure() const override
    {
        if (!lost())
            return Failure();
        if (endedHere(m_server))
            return Failure{FailureKind::OfficeHung,
                           QStringLiteral("the spreadsheet program stopped answering and was "
                                          "ended")};
        return Failure{FailureKind::OfficeCrashed,
                       QStringLiteral("the spreadsheet program ended unexpectedly")};
    }
    bool restart() override
    {
        quit();
        start();
        return m_workbooks != nullptr;
    }
    void setPrintTarget(const PrintTarget& target) override { m_target = target; }

private:
    // The process behind the application, found through its window, is
    // watched for its end; it is ended by terminateExcelProcesses() only when
    // it started with this session.  A server that ran before (a WPS the
    // user has open) is never ended.
    void watchServer(qint64 startedAfter)
    {
        m_server = processOfWindow(read(m_excel.get(), "Hwnd").toLongLong());
        if (m_server && m_server.creationTime >= startedAfter)
            registerServer(m_server);
    }

    PrintTarget m_target;
    std::unique_ptr<QAxObject> m_excel;
    std::unique_ptr<AxWorkbooks> m_workbooks;
    ServerProcess m_server;
    mutable bool m_lost = false;
};

} // namespace

std::unique_ptr<Application> createExcelApplication()
{
    return std::make_unique<AxApplication>();
}

// Ends every server process a session of this program started and has not
// quit: a call that hangs in it (a password prompt at "Open", which
// "DisplayAlerts" does not keep away) then returns, and its session counts
// the application as lost.
void terminateExcelProcesses()
{
    const std::lock_guard<std::mutex> lock(g_serversMutex);
    for (auto it = g_started.begin(); it != g_started.end();) {
        if (terminateServerProcess(*it)) {
            g_ended.push_back(*it);
            it = g_started.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace engines::windows
