// Builds test workbooks through a running office: a new spreadsheet, cells
// filled, stored as .xlsx, .xls or .csv.  Also reads page setup back.
#pragma once

#include "engines/libreoffice/unosession.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace testsupport {

struct SheetSpec
{
    QString name;
    // Cell name ("B2") -> content as typed: numbers, texts, "=formulas".
    QList<QPair<QString, QString>> cells;
    // Cells that get a fill but no content.
    QStringList formattedBlanks;
    bool hidden = false;
    // Rows (from 1) hidden on the sheet.
    QList<int> hiddenRows;
};

// Stores a workbook with these sheets at path; the format follows the file
// name's suffix.  A password gives an encrypted workbook.
bool makeWorkbook(engines::lo::UnoSession& session, const QString& path,
                  const QList<SheetSpec>& sheets, const QString& password = QString());

// Opens a workbook read-only and stores a copy of it as .xlsx, whose sheet
// XML shows the page setup the office read from it.
bool convertToXlsx(engines::lo::UnoSession& session, const QString& from, const QString& to);

} // namespace testsupport
