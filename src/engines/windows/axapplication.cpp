// The spreadsheet interface on "Excel.Application" (Microsoft Excel, or WPS
// spreadsheets registered under the same name), member by member.
#include "engines/windows/excel.h"
#include "platform/processes.h"

#include <ActiveQt/QAxObject>

#include <objbase.h>

#include <memory>

namespace engines::windows {

using namespace spreadsheet;

namespace {

using AxPtr = std::unique_ptr<QAxObject>;

// A sub-object query; null when the automation server gave nothing.
AxPtr query(QAxObject* from, const char* member)
{
    return AxPtr(from ? from->querySubObject(member) : nullptr);
}

template <class... Args>
AxPtr query(QAxObject* from, const char* member, const Args&... args)
{
    return AxPtr(from ? from->querySubObject(member, args...) : nullptr);
}

class AxRange : public Range
{
public:
    explicit AxRange(AxPtr range) : m_range(std::move(range)) {}
    PrintResult printOut() override
    {
        m_range->dynamicCall("PrintOut()");
        return PrintResult::printed();
    }

private:
    AxPtr m_range;
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
    int row() override { return m_range->property("Row").toInt(); }
    int column() override { return m_range->property("Column").toInt(); }
    int rowCount() override { return count("Rows"); }
    int columnCount() override { return count("Columns"); }

private:
    int count(const char* member)
    {
        const AxPtr collection = query(m_range.get(), member);
        return collection ? collection->property("Count").toInt() : 0;
    }
    AxPtr m_range;
};

class AxPageSetup : public PageSetup
{
public:
    explicit AxPageSetup(AxPtr setup) : m_setup(std::move(setup)) {}
    bool setPaperSize(int code) override { return set("PaperSize", code); }
    bool setLeftMargin(double points) override { return set("LeftMargin", points); }
    bool setRightMargin(double points) override { return set("RightMargin", points); }
    bool setTopMargin(double points) override { return set("TopMargin", points); }
    bool setBottomMargin(double points) override { return set("BottomMargin", points); }
    bool setHeaderMargin(double points) override { return set("HeaderMargin", points); }
    bool setFooterMargin(double points) override { return set("FooterMargin", points); }
    // The WPS spreadsheet program wants the method "SetOrientation(int)"
    // instead of the property.  Looked at anew for every sheet: WPS may
    // start or end during a run.
    bool setOrientation(int orientation) override
    {
        if (countProcessesByName(wpsSpreadsheetProcessName()) < 1)
            return set("Orientation", orientation);
        m_setup->dynamicCall("SetOrientation(int)", orientation);
        return true;
    }

    PageSetupValues current() override
    {
        PageSetupValues values;
        const auto inches = [this](const char* name) -> std::optional<double> {
            const QVariant points = m_setup->property(name);
            if (!points.isValid())
                return std::nullopt;
            return points.toDouble() / 72.0;
        };
        values.left = inches("LeftMargin");
        values.right = inches("RightMargin");
        values.top = inches("TopMargin");
        values.bottom = inches("BottomMargin");
        values.header = inches("HeaderMargin");
        values.footer = inches("FooterMargin");
        const QVariant orientation = m_setup->property("Orientation");
        if (orientation.isValid())
            values.orientation = orientation.toInt();
        const QVariant paper = m_setup->property("PaperSize");
        if (paper.isValid())
            values.paperSize = paper.toInt();
        return values;
    }

private:
    bool set(const char* name, const QVariant& value) { return m_setup->setProperty(name, value); }
    AxPtr m_setup;
};

class AxWorksheet : public Worksheet
{
public:
    explicit AxWorksheet(AxPtr sheet) : m_sheet(std::move(sheet)) {}
    QString name() override { return m_sheet->property("Name").toString(); }
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
        return wrap<AxRange, Range>(
            query(m_sheet.get(), "Range(conts QVariant&)", QVariant(address)));
    }
    // "Visible": -1 visible, 0 hidden, 2 very hidden.
    SheetVisibility visibility() override
    {
        switch (m_sheet->property("Visible").toInt()) {
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
        return shapes && shapes->property("Count").toInt() > 0;
    }
    PrintResult printOut() override
    {
        m_sheet->dynamicCall("PrintOut()");
        return PrintResult::printed();
    }

private:
    template <class T, class I>
    static std::unique_ptr<I> wrap(AxPtr object)
    {
        return object ? std::make_unique<T>(std::move(object)) : nullptr;
    }
    AxPtr m_sheet;
};

class AxWorkbook : public Workbook
{
public:
    explicit AxWorkbook(AxPtr book) : m_book(std::move(book)) {}
    ~AxWorkbook() override { close(); }
    int sheetCount() override
    {
        const AxPtr sheets = query(m_book.get(), "Sheets");
        return sheets ? sheets->property("Count").toInt() : -1;
    }
    std::unique_ptr<Worksheet> worksheet(int index) override
    {
        AxPtr sheet = query(m_book.get(), "WorkSheets(int)", index);
        return sheet ? std::make_unique<AxWorksheet>(std::move(sheet)) : nullptr;
    }
    bool save(Failure* = nullptr) override
    {
        if (!m_book)
            return false;
        m_book->dynamicCall("Save()");
        return true;
    }
    void close() override
    {
        if (!m_book)
            return;
        m_book->dynamicCall("Close (Boolean)", false);
        m_book.reset();
    }

private:
    AxPtr m_book;
};

class AxWorkbooks : public Workbooks
{
public:
    explicit AxWorkbooks(AxPtr books) : m_books(std::move(books)) {}
    std::unique_ptr<Workbook> open(const QString& nativePath, OpenMode) override
    {
        AxPtr book = query(m_books.get(), "Open(const QString&)", nativePath);
        return book ? std::make_unique<AxWorkbook>(std::move(book)) : nullptr;
    }

private:
    AxPtr m_books;
};

class AxApplication : public Application
{
public:
    ~AxApplication() override { quit(); }
    void start() override
    {
        if (m_excel)
            return;
        CoInitializeEx(nullptr, 0);
        m_excel = std::make_unique<QAxObject>();
        m_excel->setControl(QStringLiteral("Excel.Application"));
        m_excel->dynamicCall("SetVisible (bool Visible)", "false");
        m_excel->setProperty("DisplayAlerts", false);
        AxPtr books = query(m_excel.get(), "WorkBooks");
        if (books)
            m_workbooks = std::make_unique<AxWorkbooks>(std::move(books));
    }
    Workbooks* workbooks() override { return m_workbooks.get(); }
    double centimetersToPoints(double centimetres) override
    {
        return m_excel ? m_excel->dynamicCall("CentimetersToPoints(double)", centimetres).toDouble()
                       : centimetres / 2.54 * 72.0;
    }
    void quit() override
    {
        if (!m_excel)
            return;
        m_workbooks.reset();
        m_excel->dynamicCall("Quit(void)");
        m_excel.reset();
    }
    bool lost() const override { return false; }
    Failure lostFailure() const override { return {}; }
    bool restart() override
    {
        quit();
        start();
        return m_workbooks != nullptr;
    }
    // Excel prints to its own default printer.
    void setPrintTarget(const PrintTarget&) override {}

private:
    std::unique_ptr<QAxObject> m_excel;
    std::unique_ptr<AxWorkbooks> m_workbooks;
};

} // namespace

std::unique_ptr<Application> createExcelApplication()
{
    return std::make_unique<AxApplication>();
}

// Excel is an out-of-process COM server that this program does not start
// itself; there is nothing of ours to end.
void terminateExcelProcesses() {}

} // namespace engines::windows
