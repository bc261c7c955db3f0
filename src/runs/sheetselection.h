// Which sheets of a workbook a run acts on, and how often: pure rules over
// what the workbook says about its sheets.
#pragma once

#include "runs/options.h"

#include <QString>
#include <QStringList>

namespace runs {

// The names of appointedSheetNames, split at each "||", empty parts kept,
// nothing trimmed.
QStringList appointedNames(const SheetSelection& selection);

// How many sheet indexes of a workbook with sheetCount sheets are visited:
// only the first with onlyFirstSheet (whatever the workbook holds), all of
// them otherwise.
int sheetsToVisit(const SheetSelection& selection, int sheetCount);

// How many times a sheet of that name is acted on before the emptiness test:
// once without appointedSheetsOnly; otherwise once per exact match in names
// (a name listed twice matches twice).
int sheetMatches(const SheetSelection& selection, const QStringList& names,
                 const QString& sheetName);

// The emptiness test: a used area of one row and one column whose cell reads
// as empty text.  A larger used area is never empty, even if all blank.
bool isEmptySheet(int usedRows, int usedColumns, const QString& firstCellText);

} // namespace runs
