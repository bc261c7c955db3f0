// Writes page setup values straight into an .xlsx/.xlsm package: only the
// <pageMargins> and <pageSetup> elements of the named sheets change (their
// other attributes and every other byte of those parts stay as they were);
// every other entry of the zip keeps its stored, compressed bytes.  The new
// package is written to a temporary file in the same folder and renamed over
// the original (keeping its permissions) only once complete.
//
// Saving through the spreadsheet application instead would lose frozen panes,
// the theme, table styles and more; this writer leaves them alone.
#pragma once

#include "spreadsheet/spreadsheet.h"

#include <QMap>
#include <QString>

#include <optional>

namespace ooxml {

// What to set on one sheet (margins in inches, as Excel stores them).
using SheetPageSetup = spreadsheet::PageSetupValues;

// changes: sheet name (exactly as in the workbook, case-sensitive) -> what to
// set.  Worksheets, chart sheets and dialog sheets are supported; a missing
// <pageMargins> is created with Excel's defaults for the margins not given.
// All or nothing: returns false with a message, leaving the file exactly as it
// was, when the package cannot be read, a named sheet is missing, a value is
// out of range (negative or non-finite margin, orientation other than 1 or 2,
// paper code below 1), the file has no write permission for anyone or cannot
// be written by this process, or the new file cannot be written.  Returns
// true without touching the file when nothing would change (empty map, empty
// setups, values already set).  A symbolic link is followed: its target is
// rewritten and the link stays.
bool applyPageSetup(const QString& path, const QMap<QString, SheetPageSetup>& changes,
                    QString* error = nullptr);

} // namespace ooxml
