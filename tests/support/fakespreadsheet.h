// A recording stand-in for the spreadsheet application, for tests.
//
// Test code describes workbooks (path -> sheets, used ranges, cell values,
// failures); the fake answers every call of automation/spreadsheet.h from
// that description and writes one readable line per call into a log, in
// order, so that a test can check which calls a run made and in which order.
// Values written through a page setup land in the described sheet.
//
// Log lines (a failing call made on a lost application gets " [lost]", a call
// on an object from before a restart gets " [stale]"):
//   application  "Start", "Workbooks", "CentimetersToPoints 1.78", "Quit",
//                "Restart", "SetPrintTarget PdfDirectory /tmp/x",
//                "Release application"
//   workbooks    "open /tmp/x/a.xlsx ReadOnly" (or "ForEditing", "Inspect")
//   workbook     "SheetCount", "worksheet 2", "Save", "Close", "PrintJob"
//   print job    "SendJob S1 S2" (the sheets sent together)
//   worksheet    "Name", "UsedRange", "Cell 1 1", "PageSetup", "Range A1:B2",
//                "Visible", "Drawings", "PrintOut sheet Sheet1"
//   used range   "Row", "Column", "Rows", "Columns"
//   cell         "Value"
//   page setup   "PaperSize 9", "LeftMargin 50.4567", "RightMargin ...",
//                "TopMargin ...", "BottomMargin ...", "HeaderMargin ...",
//                "FooterMargin ...", "Orientation 2"
//   range        "PrintOut range A1:B2"
// Doubles are written with FakeSpreadsheet::number().  FakeEnvironment adds
// "Progress <text>", "Finished", "Sleep <ms>" and "OpenFailedList <path>" to
// the same log.
#pragma once

#include "runs/environment.h"
#include "runs/events.h"
#include "spreadsheet/spreadsheet.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

namespace testsupport {

struct FakeState;

// One sheet of a described workbook.
struct FakeSheet
{
    QString name;
    // A chart sheet: counted by sheetCount(), but worksheet() yields null.
    bool chart = false;
    // The used range: first row and column (from 1) and its size.
    int firstRow = 1;
    int firstColumn = 1;
    int rowCount = 1;
    int columnCount = 1;
    // Cell values as text by (row, column); a missing cell is blank.
    QMap<QPair<int, int>, QString> cells;
    // Sub-objects that cannot be had: the query yields null.
    bool noUsedRange = false;
    bool noCell = false;
    bool noPageSetup = false;
    // Range texts that range() rejects (null); "*" rejects every text.
    QStringList invalidRanges;
    // printOut() of the sheet and of its ranges is refused by the print system.
    bool printRefused = false;
    // printOut() finds nothing visible to print (content in hidden rows only).
    bool nothingToPrint = false;
    // Pages a print job of the sheet takes (-1: not known).
    int pages = -1;
    spreadsheet::SheetVisibility visibility = spreadsheet::SheetVisibility::Visible;
    // Drawing objects (a chart) on the sheet.
    bool drawings = false;
    // In a print job, it takes a job of its own (NotJoined while other
    // sheets wait).
    bool ownJob = false;
    // Every write through the sheet's page setup returns false (and changes
    // nothing).
    bool pageSetupWritesFail = false;

    // What the run did to the sheet: values written through its page setup
    // ("PaperSize", "LeftMargin", ..., "Orientation") and the number of print
    // jobs accepted.
    QVariantMap pageSetup;
    int printCount = 0;

    // A used range of the single cell A1, blank: an empty sheet.
    static FakeSheet blank(const QString& name);
    // A used range of the single cell A1 holding value.
    static FakeSheet withValue(const QString& name, const QString& value);
    // A used range of rows x columns from A1; every cell holds "x".
    static FakeSheet filled(const QString& name, int rows = 3, int columns = 2);
};

// One described workbook.
struct FakeWorkbook
{
    QList<FakeSheet> sheets;
    bool openFails = false;           // open() yields null ...
    spreadsheet::Failure openFailure; // ... and says this
    bool saveFails = false;           // save() returns false
    // What sheetCount() answers instead of sheets.size() (-1: the sheets
    // collection cannot be had).
    std::optional<int> sheetCount;
    // printJob() gives a job: printed sheets wait in it ("PrintOut ..." as
    // they join) and go out together ("SendJob S1 S2"); one refused sheet
    // fails the whole job.
    bool printJobs = false;

    // Filled by the fake.
    int openCount = 0;
    int saveCount = 0;  // successful saves
    int closeCount = 0; // Close calls that reached an open workbook

    // Filled sheets (FakeSheet::filled) of those names.
    static FakeWorkbook withSheets(const QStringList& names);
};

class FakeSpreadsheet
{
public:
    FakeSpreadsheet();
    ~FakeSpreadsheet();
    FakeSpreadsheet(const FakeSpreadsheet&) = delete;
    FakeSpreadsheet& operator=(const FakeSpreadsheet&) = delete;

    // ---- The description (set before the run; sheets and workbooks are
    // updated by the run).
    // path is the text open() will be given (native separators).  A path
    // that was never added fails to open.
    void addWorkbook(const QString& path, const FakeWorkbook& workbook);
    FakeWorkbook& workbook(const QString& path);
    FakeSheet& sheet(const QString& path, int index); // index from 1

    // workbooks() yields null: no usable spreadsheet application.
    void setNoWorkbooks(bool none);
    // The first call whose log line starts with prefix fails and leaves the
    // application lost (lost() true, every further call fails) until
    // restart().  One-shot: cleared when it fires.
    void setLoseAt(const QString& prefix);
    // Whether restart() brings up a fresh application (default true).
    void setRestartSucceeds(bool succeeds);
    // Called after every logged line, in the thread of the caller, with the
    // line; lets a test press pause or stop at a given call.
    void setOnCall(std::function<void(const QString& line)> hook);

    // ---- Applications bound to this description.
    std::unique_ptr<spreadsheet::Application> createApplication();
    std::function<std::unique_ptr<spreadsheet::Application>()> factory();
    int applicationsCreated() const;

    // ---- What happened.
    QStringList log() const;
    // Log lines that start with one of the prefixes, in order.
    QStringList calls(const QStringList& prefixes) const;
    // Appends a line of the test's own to the log.
    void note(const QString& line);
    void clearLog();
    // Sub-objects (workbooks, worksheets, used ranges, cells, page setups,
    // ranges) alive now, and the most that were alive at once.
    int liveObjects() const;
    int peakLiveObjects() const;
    // Ownership and order faults seen: a sub-object used after its workbook
    // was closed, a workbook closed or an application quit while sub-objects
    // are alive, a workbook opened while another is open, a workbook released
    // without Close, a stale collection used after a restart.
    QStringList misuse() const;

    // How a double appears in the log.
    static QString number(double value);

    std::shared_ptr<FakeState> state() const { return m_state; }

private:
    std::shared_ptr<FakeState> m_state;
};

// A RunEnvironment whose hooks write into the fake's log, with a virtual
// clock: sleep() does not wait, it advances the clock that now() reads.
class FakeEnvironment
{
public:
    explicit FakeEnvironment(FakeSpreadsheet& spreadsheet);

    // createApplication from the spreadsheet; sleep, now and showFailedList
    // recorded here.
    runs::RunEnvironment environment();
    // Records every event; an event's text goes into the log as
    // "Progress <text>", the end of the run as "Finished".
    runs::EventSink events();

    // now() = clockSeconds + (milliseconds slept) / 1000.
    qint64 clockSeconds = 1000;
    // Called at every sleep after it is logged, with its length.
    std::function<void(int milliseconds)> onSleep;

    QStringList progress() const { return m_progress; }
    QList<runs::RunEvent> eventList() const { return m_events; }
    int finishedCount() const { return m_finished; }
    QStringList openedLists() const { return m_opened; }
    qint64 sleptMilliseconds() const { return m_slept; }

private:
    FakeSpreadsheet& m_spreadsheet;
    QStringList m_progress;
    QList<runs::RunEvent> m_events;
    QStringList m_opened;
    int m_finished = 0;
    qint64 m_slept = 0;
};

// Creates an (empty) file at path, with its folders.  True on success.
bool touchFile(const QString& path);

// Creates the file at path (any separators) and describes it to spreadsheet
// under its native path; returns that native path.
QString addWorkbookFile(FakeSpreadsheet& spreadsheet, const QString& path,
                        const FakeWorkbook& workbook);

} // namespace testsupport
