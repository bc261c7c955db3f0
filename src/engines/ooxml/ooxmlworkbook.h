// A workbook opened for page setup straight from its .xlsx/.xlsm package,
// without a spreadsheet application: the sheet list, names, used ranges and
// cell values are read with libzip and QXmlStreamReader, and save() writes
// only the page setup values through ooxml::applyPageSetup.  Loading the
// whole workbook into the spreadsheet application would take a hundred times
// longer for the little a page-setup run needs.
//
// Only for page setup: range() yields null and printOut() fails.
#pragma once

#include "spreadsheet/spreadsheet.h"

#include <QString>

#include <memory>

namespace ooxml {

// Opens the package at path (native or '/' separators) for changing its page
// setup.  Null when it is not a readable zip package with a SpreadsheetML
// workbook part (corrupt, encrypted, empty, another kind of file), or when it
// may not be edited (another program holds it, no permission to replace it);
// *failure (when given) then says why.
//
// What the workbook answers:
// - sheetCount(): every <sheet> of the workbook part, chart sheets included;
// - worksheet(i): from 1; null out of range, for a chart, dialog or macro
//   sheet, and for a worksheet part that cannot be read;
// - usedRange(): the smallest rectangle holding every cell element of the
//   sheet, with or without a value (a formatted blank cell counts); A1 alone
//   for a sheet without cells;
// - cell(r, c)->valueText(): the value as stored: shared and inline strings
//   as text, booleans as "TRUE"/"FALSE", numbers, dates and errors as the
//   text of <v>, without number formats applied; empty for a missing cell;
// - pageSetup(): records the values (margins in points, kept in inches as
//   Excel stores them); current() gives the sheet part's values, Excel's
//   defaults where it has none, with those set in this session over them;
//   save() writes them, true without touching the file when nothing was set;
//   false without writing anything once a worksheet part turned out
//   unreadable (the workbook is damaged, as Excel would say when opening it),
//   and false with the reason when writing fails; close() never writes.
std::unique_ptr<spreadsheet::Workbook>
openWorkbookForEditing(const QString& path, spreadsheet::Failure* failure = nullptr);

} // namespace ooxml
