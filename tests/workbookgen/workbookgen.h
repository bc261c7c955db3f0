// Writes small but valid .xlsx/.xlsm workbooks and .csv files for the tests
// and benchmarks, without any spreadsheet application.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace workbookgen {

struct Sheet
{
    QString name;
    // rows[r][c]: cell text at row r+1, column c+1.  A text that parses as a
    // number is written as a number; an empty text leaves the cell out.
    QList<QStringList> rows;
};

// Sheet with `rowCount` rows of three filled columns: enough rows for a
// multi-page printout (about 50 rows fill an A4 page).
Sheet filledSheet(const QString& name, int rowCount);

// Writes an .xlsx package, or an .xlsm one with a small macro part
// ("xl/vbaProject.bin") when the path ends with ".xlsm".  False on failure.
bool writeXlsx(const QString& path, const QList<Sheet>& sheets);

// Writes a UTF-8 CSV file with the rows of one sheet.
bool writeCsv(const QString& path, const QList<QStringList>& rows);

} // namespace workbookgen
