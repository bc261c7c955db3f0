// The records of a BIFF8 "Workbook" stream (Excel 97-2003): what a page-setup
// run reads from it (sheets, names, cell bounds, cell values) and the page
// setup written back into it.  Internal to the BIFF engine.
//
// Only the page setup records of the changed worksheets change: the four
// margin records (added in the sheet's page settings block when missing) and
// the header margin, footer margin, orientation and paper fields of SETUP.
// Every other record keeps its bytes, apart from the absolute stream positions
// that point past an added record (BOUNDSHEET8 sheet positions, INDEX's
// DEFCOLWIDTH and DBCELL positions, EXTSST's string positions), which move
// with what they point to.
#pragma once

#include "spreadsheet/spreadsheet.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace biff::detail {

// The records of a sheet's page settings block that are written to, in the
// order the format puts them.
enum PageRecord { LeftMargin, RightMargin, TopMargin, BottomMargin, Pls, Setup, PageRecordCount };

struct SheetEntry
{
    QString name;
    quint8 kind = 0;        // BOUNDSHEET8 dt: 0 worksheet or dialog, 1 macro, 2 chart, 6 module
    quint8 state = 0;       // BOUNDSHEET8 hsState: 0 visible, 1 hidden, 2 very hidden
    qint64 boundSheet = -1; // the BOUNDSHEET8 record
    qint64 bof = -1;        // the substream: its BOF record ...
    qint64 end = -1;        // ... up to the end of its EOF record
    bool worksheet = false; // a worksheet, not a chart, macro, module or dialog sheet
    qint64 index = -1;      // the INDEX record
    qint64 page[PageRecordCount] = {-1, -1, -1, -1, -1, -1}; // first of each, the sheet's own
    qint64 setupAnchor = -1; // where a SETUP record goes when the sheet has none
    // Bounds of the cell records (from 0), -1 when the sheet has none.
    int firstRow = -1, lastRow = -1, firstColumn = -1, lastColumn = -1;
};

struct WorkbookStructure
{
    QVector<SheetEntry> sheets; // in BOUNDSHEET8 order
    qint64 sst = -1;            // the SST record, -1 when none
    qint64 extSst = -1;         // the EXTSST record, -1 when none
};

enum class StreamStatus {
    Ok,
    NotBiff8,  // an older BIFF version
    Encrypted, // FILEPASS: the records are encrypted
    Damaged,   // a record runs past the end, a sheet position points nowhere, ...
};

// Walks the globals and every sheet's substream.
StreamStatus readStructure(const QByteArray& stream, WorkbookStructure* book,
                           QString* detail = nullptr);

// Margins in inches, as Excel stores them.  The largest margin the format
// allows.
constexpr double kMaxMarginInches = 49.0;

// Checks the values of one sheet (margins finite, from 0 to below 49 inches;
// orientation 1 or 2; paper code from 1 to 65535).
bool validatePageSetup(const spreadsheet::PageSetupValues& values, QString* error);

// The stream with changes (sheet index from 0 -> values) applied.  False,
// with *error, when a value is invalid, a changed sheet is no worksheet, or a
// page setup record has a size the format does not allow.
bool applyPageSetup(const QByteArray& stream, const WorkbookStructure& book,
                    const QMap<int, spreadsheet::PageSetupValues>& changes, QByteArray* out,
                    QString* error = nullptr);

// The page setup a worksheet has now, as Excel reads it: margins in inches
// (a missing margin record means Excel's default), and the orientation and
// paper of SETUP where its flags say they are set.
spreadsheet::PageSetupValues currentPageSetup(const QByteArray& stream, const SheetEntry& sheet);

// The strings of the SST record, read on first use.
class SharedStrings
{
public:
    std::optional<QString> at(const QByteArray& stream, const WorkbookStructure& book, int index);

private:
    std::optional<QStringList> m_strings;
};

// The value of the cell at row, column (from 0) of sheet as text: strings as
// stored, numbers in their shortest form, booleans as TRUE/FALSE, errors as
// Excel shows them, a formula's last value; empty for a blank or missing
// cell.  Nothing when its string cannot be read.
std::optional<QString> cellText(const QByteArray& stream, const WorkbookStructure& book, int sheet,
                                int row, int column, SharedStrings* strings);

} // namespace biff::detail
