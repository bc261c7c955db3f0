// A workbook opened for page setup straight from its .xls file (BIFF8, Excel
// 97-2003), without a spreadsheet application: the compound file and its
// Workbook stream are read by this engine's own reader, and save() writes
// only the page setup records of the changed worksheets.  Saving through
// LibreOffice instead drops embedded OLE objects, VBA projects, revision logs,
// the custom XML store, Excel 2007+ records, printer-driver settings, drawing
// objects and cell notes; here every other record, stream and storage keeps
// its bytes.
//
// Only for page setup: range() yields null and printOut() fails.
#pragma once

#include "spreadsheet/spreadsheet.h"

#include <QString>

#include <memory>

namespace biff {

// Opens the .xls file at path (native or '/' separators).  Null, with
// *failure (when given) saying why, when it is:
// - encrypted (a FILEPASS record): PasswordProtected;
// - damaged: a broken compound file, a Workbook stream cut short, a record
//   running past its end, a sheet position pointing nowhere: Damaged;
// - no BIFF8 workbook: an Excel 5/95 (BIFF5) or older workbook, an HTML,
//   CSV or text file or an .xlsx package under an .xls name, any other
//   compound file: UnsupportedFormat (the spreadsheet application may still
//   read it);
// - unreadable: NotOpened.
//
// What the workbook answers:
// - sheetCount(): every BOUNDSHEET8 record, chart and macro sheets included;
// - worksheet(i): from 1; null out of range and for chart, macro, module and
//   dialog sheets;
// - usedRange(): the smallest rectangle holding every cell record (a
//   formatted blank cell counts); A1 alone for a sheet without cells;
// - cell(r, c)->valueText(): the value as stored: shared strings and inline
//   strings as text, numbers (NUMBER, RK) in their shortest form, booleans as
//   TRUE/FALSE, errors as Excel shows them, a formula's last value; empty for
//   a missing cell;
// - pageSetup(): records the values (margins in points, kept in inches);
//   save() writes them all or nothing: true without touching the file when
//   nothing changes, false with a Failure (ChangeFailed, Damaged, ReadOnly,
//   SaveFailed) without writing anything otherwise; close() never writes.
//
// The file is replaced through a temporary file in its folder
// (".~quorvane-XXXXXX.xls") renamed over it once complete and flushed, with
// the original's permissions and, where allowed, owner.  A symbolic link
// stays a link: the file it points to is replaced.
std::unique_ptr<spreadsheet::Workbook> openWorkbookForEditing(const QString& path,
                                                              spreadsheet::Failure* failure);

} // namespace biff
