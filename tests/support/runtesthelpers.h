// Small helpers shared by the tests of the two runs.
#pragma once

#include "fakespreadsheet.h"

#include <QStringList>

namespace testsupport {

// A sheet from a short description: "Name" is a filled sheet; "Name=kind"
// with kind one of blank (A1 alone, blank), zero (A1 alone, holding 0),
// twoblank (A1:B1, both blank), chart, farblank (used range C3 alone, blank,
// while A1 holds a value), farvalue (used range C3 alone, holding a value),
// nousedrange, nocell, nopagesetup.
inline FakeSheet describedSheet(const QString& description)
{
    const QString name = description.section(QLatin1Char('='), 0, 0);
    const QString kind = description.section(QLatin1Char('='), 1);
    FakeSheet sheet = FakeSheet::filled(name);
    if (kind == QLatin1String("blank")) {
        sheet = FakeSheet::blank(name);
    } else if (kind == QLatin1String("zero")) {
        sheet = FakeSheet::withValue(name, QStringLiteral("0"));
    } else if (kind == QLatin1String("twoblank")) {
        sheet = FakeSheet::blank(name);
        sheet.columnCount = 2;
    } else if (kind == QLatin1String("chart")) {
        sheet.chart = true;
    } else if (kind == QLatin1String("farblank") || kind == QLatin1String("farvalue")) {
        sheet = FakeSheet::withValue(name, QStringLiteral("x"));
        sheet.firstRow = 3;
        sheet.firstColumn = 3;
        if (kind == QLatin1String("farvalue"))
            sheet.cells.insert(qMakePair(3, 3), QStringLiteral("v"));
    } else if (kind == QLatin1String("nousedrange")) {
        sheet.noUsedRange = true;
    } else if (kind == QLatin1String("nocell")) {
        sheet.noCell = true;
    } else if (kind == QLatin1String("nopagesetup")) {
        sheet.noPageSetup = true;
    } else if (kind == QLatin1String("hidden")) {
        sheet.visibility = spreadsheet::SheetVisibility::Hidden;
    } else if (kind == QLatin1String("veryhidden")) {
        sheet.visibility = spreadsheet::SheetVisibility::VeryHidden;
    } else if (kind == QLatin1String("picture")) {
        sheet = FakeSheet::blank(name);
        sheet.drawings = true;
    } else if (kind == QLatin1String("invisible")) {
        sheet.nothingToPrint = true;
    }
    return sheet;
}

inline FakeWorkbook describedWorkbook(const QStringList& sheets)
{
    FakeWorkbook book;
    for (const QString& description : sheets)
        book.sheets << describedSheet(description);
    return book;
}

// The calls that went through (not failed on a lost application or a stale
// object), without their prefix ("PrintOut sheet A1" -> "A1" with prefix
// "PrintOut sheet ").
inline QStringList stripped(const QStringList& lines, const QString& prefix)
{
    QStringList result;
    for (const QString& line : lines) {
        if (!line.endsWith(QLatin1String(" [lost]")) && !line.endsWith(QLatin1String(" [stale]")))
            result << line.mid(prefix.size());
    }
    return result;
}

} // namespace testsupport
