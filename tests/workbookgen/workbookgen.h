// Writes small but valid .xlsx/.xlsm workbooks and .csv files for the tests
// and benchmarks, without any spreadsheet application.
#pragma once

#include <QList>
#include <QPair>
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

// Takes one part (as "xl/worksheets/sheet2.xml") out of a package, as a
// damaged copy lacks it.  False on failure.
bool removePart(const QString& path, const char* part);

// Writes a UTF-8 CSV file with the rows of one sheet.
bool writeCsv(const QString& path, const QList<QStringList>& rows);

// Writes an OLE compound file holding up to three streams (each padded to
// 4096 bytes), as password-encrypted .xlsx files are ("EncryptionInfo",
// "EncryptedPackage").  Stream names must be in the format's order: shorter
// first.
bool writeCompoundFile(const QString& path, const QList<QPair<QString, QByteArray>>& streams);

// The owner file Excel leaves beside a workbook it has open ("~$NAME"): the
// user name in the system code page after a length byte, padded to 54 bytes,
// then its length and the name again in UTF-16LE.
QByteArray excelOwnerFile(const QByteArray& ansiName, const QString& name);

} // namespace workbookgen
