#include "runs/sheetselection.h"

namespace runs {

QStringList appointedNames(const SheetSelection& selection)
{
    return selection.appointedSheetNames.split(QStringLiteral("||"));
}

int sheetsToVisit(const SheetSelection& selection, int sheetCount)
{
    if (sheetCount < 0)
        return 0;
    return selection.onlyFirstSheet ? 1 : sheetCount;
}

int sheetMatches(const SheetSelection& selection, const QStringList& names,
                 const QString& sheetName)
{
    if (!selection.appointedSheetsOnly)
        return 1;
    return int(names.count(sheetName));
}

bool isEmptySheet(int usedRows, int usedColumns, const QString& firstCellText)
{
    return usedRows == 1 && usedColumns == 1 && firstCellText.isEmpty();
}

} // namespace runs
