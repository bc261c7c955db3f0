// What a workbook file is, read from its bytes without a spreadsheet
// application: a zip package or an OLE compound file (.xls, or an encrypted
// .xlsx), whether it needs a password, and the kind and visibility of each of
// its sheets as the file stores them.
//
// The office engine uses this where the office cannot tell: why a file did
// not open (a password, damage, not a workbook at all), sheets the office
// shows as merely hidden that the file keeps "very hidden", and dialog sheets
// the office imports as empty worksheets.
#pragma once

#include "spreadsheet/spreadsheet.h"

#include <QString>
#include <QVector>

namespace ooxml {

enum class SheetKind {
    Worksheet,
    ChartSheet,
    MacroSheet,  // Excel 4 macro sheet (international ones included)
    DialogSheet, // Excel 5 dialog sheet
    Other,       // a VBA module sheet, or an unknown relationship
};

struct SheetFacts
{
    QString name;
    spreadsheet::SheetVisibility visibility = spreadsheet::SheetVisibility::Visible;
    SheetKind kind = SheetKind::Worksheet;
    // The package names a part for the sheet that it does not hold: the file
    // is damaged (Excel offers to repair it; the office shows an empty sheet).
    bool partMissing = false;
};

struct WorkbookFile
{
    enum Content {
        Unreadable,   // cannot be read (error says why)
        Empty,        // no bytes at all
        Package,      // a zip package (or what starts like one)
        CompoundFile, // an OLE compound file
        Html,         // an HTML page or table
        Text,         // plain text
        Unknown,
    };
    Content content = Unknown;
    // Package or compound file: whether it holds a workbook.
    bool workbook = false;
    // A password is needed: an encrypted package inside a compound file, or a
    // FILEPASS record in an .xls workbook stream.  (Excel opens an .xls
    // encrypted with its built-in default password without asking; so does
    // the office, so this says why an open failed, not that it will.)
    bool encrypted = false;
    // The Excel binary format (.xlsb) in a package.
    bool binaryPackage = false;
    QString error;              // the system's or libzip's words for what went wrong
    QVector<SheetFacts> sheets; // in workbook order; empty when not known
};

WorkbookFile inspectWorkbookFile(const QString& path);

// The first sheet of the file whose part is missing, or null.
const SheetFacts* sheetWithoutPart(const WorkbookFile& file);

// Why a file that could not be opened as a workbook was not: no permission,
// a password, damage or not a workbook at all.
spreadsheet::Failure unopenedReason(const WorkbookFile& file);

} // namespace ooxml
