// The one interface through which the runs reach a spreadsheet application.
//
// It mirrors the handful of automation members the runs use: the application,
// its workbooks collection, a workbook, a worksheet, its used range, a cell, its
// page setup and a range.  Implementations: LibreOffice Calc over UNO (Linux),
// "Excel.Application" over COM with QAxObject (Windows), and a recording fake in
// the tests.
//
// Failure signals follow the automation members: a query that fails yields a
// null pointer, a method that fails returns false.  No exception ever leaves an
// implementation.
//
// Every implementation lives under src/engines; which one serves which file
// is decided in engines/engines.cpp.
//
// Ownership: a sub-object returned by a query belongs to the caller, who may
// release it as soon as it is no longer needed; it must not outlive the object
// it was queried from (a worksheet must go before its workbook is closed, the
// workbooks collection before the application is quit).
#pragma once

#include <QList>
#include <QString>

#include <memory>
#include <optional>

namespace spreadsheet {

// Why a workbook could not be opened, printed or saved.
enum class FailureKind {
    None,
    NoApplication,     // the spreadsheet application it needs could not be started
    NotFound,          // no such file
    NotOpened,         // could not be opened; nothing more is known
    PasswordProtected, // encrypted, or a password is needed to open it
    Damaged,           // damaged, or not a workbook at all
    UnsupportedFormat, // a format this program cannot handle
    OfficeCrashed,     // the spreadsheet application died on it
    OfficeHung,        // the spreadsheet application stopped answering on it
    PrintRefused,      // the print system refused the job
    ReadOnly,          // no permission to write it (or its folder)
    LockedByOther,     // open in another program
    SaveFailed,        // writing it failed
    ChangeFailed,      // a page-setup value could not be set
    Unreadable,        // opened, but its sheets could not be gone through
};

struct Failure
{
    FailureKind kind = FailureKind::None;
    QString detail; // the system's or the office's own words, when known

    explicit operator bool() const { return kind != FailureKind::None; }
};

// Paper size codes of the spreadsheet application's "PaperSize" property.
enum PaperSizeCode {
    PaperA3 = 8,
    PaperA4 = 9,
    PaperA5 = 11,
    PaperB4 = 12, // JIS B4, 257 x 364 mm
    PaperB5 = 13, // JIS B5, 182 x 257 mm
};

// Orientation codes of the "Orientation" property.
enum OrientationCode {
    OrientationPortrait = 1,
    OrientationLandscape = 2,
};

// What became of one "PrintOut()".
struct PrintResult
{
    enum Outcome {
        Printed,        // handed to the print system (or written, or counted)
        NothingToPrint, // nothing visible to print: no job was made
        Failed,         // no job, or a refused one; failure says why
        Waiting,        // in a print job, printed when the job is sent
        NotJoined,      // cannot share a print job with the sheets waiting in
                        // it: send the job, then print it again
    };
    Outcome outcome = Failed;
    int pages = -1; // pages of the job when known, -1 otherwise
    Failure failure;

    static PrintResult printed(int pages = -1) { return {Printed, pages, {}}; }
    static PrintResult nothing() { return {NothingToPrint, 0, {}}; }
    static PrintResult waiting(int pages = -1) { return {Waiting, pages, {}}; }
    static PrintResult notJoined() { return {NotJoined, -1, {}}; }
    static PrintResult failed(FailureKind kind, const QString& detail = QString())
    {
        return {Failed, -1, Failure{kind, detail}};
    }
};

// Sheets (or one area of each) printed together as one print job, in the
// order they were added: fewer jobs for the print system, the same pages.
// Whatever was added and not sent when the job goes is not printed.
class PrintJob
{
public:
    virtual ~PrintJob() = default;
    // Sheets waiting to be sent.
    virtual int waitingCount() const = 0;
    // Hands the waiting sheets to the print system as one job (or writes
    // them); the result stands for all of them.  Nothing waits afterwards.
    virtual PrintResult send() = 0;
    // After send(): the pages of each sheet sent, in the order they were
    // added (a sheet's Waiting result may not know them yet).
    virtual QList<int> sentPages() const = 0;
};

class Range
{
public:
    virtual ~Range() = default;
    // "PrintOut()": prints this range alone.  Returns once the job has been
    // handed to the print system.
    virtual PrintResult printOut() = 0;
    // Adds this range to a job of its workbook: Waiting, NotJoined, or what
    // printOut() would say without printing anything.
    virtual PrintResult printOut(PrintJob& job) = 0;
};

class Cell
{
public:
    virtual ~Cell() = default;
    // "Value()" read as text: the displayed value; empty for a blank cell.
    virtual QString valueText() = 0;
};

class UsedRange
{
public:
    virtual ~UsedRange() = default;
    virtual int row() = 0;         // "Row": first row, from 1
    virtual int column() = 0;      // "Column": first column, from 1
    virtual int rowCount() = 0;    // "Rows" -> "Count"
    virtual int columnCount() = 0; // "Columns" -> "Count"
};

// Page setup values of one sheet as Excel stores them: margins in inches,
// each one unset when it is not given.
struct PageSetupValues
{
    std::optional<double> left, right, top, bottom, header, footer;
    std::optional<int> orientation; // 1 portrait, 2 landscape
    std::optional<int> paperSize;   // Excel's paper size code

    bool isEmpty() const
    {
        return !left && !right && !top && !bottom && !header && !footer && !orientation &&
               !paperSize;
    }

    // These values with every value that other holds put over them.
    PageSetupValues overlaid(const PageSetupValues& other) const
    {
        PageSetupValues values = *this;
        for (auto member :
             {&PageSetupValues::left, &PageSetupValues::right, &PageSetupValues::top,
              &PageSetupValues::bottom, &PageSetupValues::header, &PageSetupValues::footer}) {
            if (other.*member)
                values.*member = other.*member;
        }
        if (other.orientation)
            values.orientation = other.orientation;
        if (other.paperSize)
            values.paperSize = other.paperSize;
        return values;
    }
};

class PageSetup
{
public:
    virtual ~PageSetup() = default;
    virtual bool setPaperSize(int code) = 0; // "PaperSize": 8, 9, 11, 12 or 13
    // Margins in points.  Header and footer margins are the distance from the
    // page edge to the header or footer, as in Excel.
    virtual bool setLeftMargin(double points) = 0;
    virtual bool setRightMargin(double points) = 0;
    virtual bool setTopMargin(double points) = 0;
    virtual bool setBottomMargin(double points) = 0;
    virtual bool setHeaderMargin(double points) = 0;
    virtual bool setFooterMargin(double points) = 0;
    // The "Orientation" property (1 portrait, 2 landscape).
    virtual bool setOrientation(int orientation) = 0;
    // The values the sheet has now, as Excel would store them; what cannot be
    // read stays unset.
    virtual PageSetupValues current() = 0;
};

enum class SheetVisibility {
    Visible,
    Hidden,     // hidden; the user can show it again
    VeryHidden, // hidden where the user cannot show it (lookup tables, macros)
};

class Worksheet
{
public:
    virtual ~Worksheet() = default;
    virtual QString name() = 0;                                  // "Name"
    virtual std::unique_ptr<UsedRange> usedRange() = 0;          // "UsedRange"
    virtual std::unique_ptr<Cell> cell(int row, int column) = 0; // "Cells(int, int)", from 1
    virtual std::unique_ptr<PageSetup> pageSetup() = 0;          // "PageSetup"
    virtual std::unique_ptr<Range>
    range(const QString& address) = 0; // "Range(...)"; null if invalid
    // "Visible".
    virtual SheetVisibility visibility() = 0;
    // Whether the sheet holds drawing objects (charts, pictures, shapes),
    // which print although no cell holds anything: a chart sheet is such a
    // sheet with an empty used range.
    virtual bool hasDrawings() = 0;
    // "PrintOut()": prints this sheet alone.
    virtual PrintResult printOut() = 0;
    // Adds this sheet to a job of its workbook, as Range::printOut(job).
    virtual PrintResult printOut(PrintJob& job) = 0;
};

class Workbook
{
public:
    virtual ~Workbook() = default;
    // "Sheets" -> "Count": every sheet, chart sheets included; -1 when the
    // sheets collection cannot be had.
    virtual int sheetCount() = 0;
    // "WorkSheets(int)" with a 1-based index; null when it cannot be had.
    virtual std::unique_ptr<Worksheet> worksheet(int index) = 0;
    // "Save()": writes the workbook in place, in its own format; false on
    // failure, and then *failure (when given) says why.
    virtual bool save(Failure* failure = nullptr) = 0;
    // "Close (Boolean)" with false: closes without saving.  Idempotent.
    virtual void close() = 0;
    // A print job that sheets of this workbook can be added to, for the
    // application's print target; null when every sheet is printed in a job
    // of its own.  It must go before the workbook is closed.
    virtual std::unique_ptr<PrintJob> printJob() = 0;
};

enum class OpenMode {
    ReadOnly,   // for printing: nothing can be changed on disk, no lock taken
    ForEditing, // for changing and saving; fails when another program holds the file
    Inspect,    // for reading the page setup the way ForEditing sees it, without
                // printing, locking or saving anything
};

class Workbooks
{
public:
    virtual ~Workbooks() = default;
    // "Open(const QString&)" with a path in native separators; null when the
    // workbook could not be opened, and then *failure (when given) says why.
    virtual std::unique_ptr<Workbook> open(const QString& nativePath, OpenMode mode,
                                           Failure* failure = nullptr) = 0;
};

// Where "PrintOut" sends its pages, and how.
struct PrintTarget
{
    enum Kind { DefaultPrinter, NamedPrinter, PdfDirectory };
    enum class Duplex { PrinterDefault, None, LongEdge, ShortEdge };

    Kind kind = DefaultPrinter;
    QString name; // printer name, or the folder for PDF files
    int copies = 1;
    bool collate = false;
    Duplex duplex = Duplex::PrinterDefault;
    // Nothing is printed: "PrintOut" lays the pages out for the target as it
    // would print them and reports how many there are.
    bool countOnly = false;
};

class Application
{
public:
    virtual ~Application() = default;
    // setControl("Excel.Application"), "SetVisible" false, "DisplayAlerts"
    // false.  The result is not reported here: an application that cannot be
    // started shows as a null workbooks collection.
    virtual void start() = 0;
    // "WorkBooks": the workbooks collection, owned by the application; null
    // means no usable spreadsheet application.
    virtual Workbooks* workbooks() = 0;
    // "CentimetersToPoints(double)".
    virtual double centimetersToPoints(double centimetres) = 0;
    // "Quit(void)": ends the application.  Idempotent.
    virtual void quit() = 0;

    // True once the application process died or stopped answering; every call
    // made after that fails.
    virtual bool lost() const = 0;
    // Why it was lost: OfficeCrashed, or OfficeHung when it stopped answering
    // and had to be ended.
    virtual Failure lostFailure() const = 0;
    // Quits what is left of a lost application and starts a fresh one; the
    // workbooks collection must be asked for again.  False when no fresh one
    // could be started.
    virtual bool restart() = 0;

    virtual void setPrintTarget(const PrintTarget& target) = 0;
};

} // namespace spreadsheet
