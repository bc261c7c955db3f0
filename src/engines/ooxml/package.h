// Reading an .xlsx/.xlsm package with libzip: its parts, their relationships
// and the workbook's list of sheets.  Shared by the page-setup writer and the
// workbook reader; internal to the ooxml code.
#pragma once

#include "spreadsheet/spreadsheet.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVector>

#include <zip.h>

#include <memory>

namespace ooxml::detail {

// The SpreadsheetML main namespace: transitional and strict.
inline const char* const kMainNamespaces[] = {
    "http://schemas.openxmlformats.org/spreadsheetml/2006/main",
    "http://purl.oclc.org/ooxml/spreadsheetml/main",
};

bool isMainNamespace(QStringView uri);

QString tr(const char* text);

// Sets *error (when given) and returns false.
bool fail(QString* error, const QString& message);

QString zipErrorText(int code);
QString zipErrorText(zip_t* archive);

struct ArchiveDiscard
{
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveDiscard>;

// The entry of a part, found without regard to case as the packaging rules
// say (and percent-decoded when needed); -1 when there is none.
zip_int64_t locate(zip_t* archive, const QString& name);

// The uncompressed bytes of one entry (at most 256 MiB).
bool readEntry(zip_t* archive, zip_int64_t index, const QString& name, QByteArray* data,
               QString* error);
bool readPart(zip_t* archive, const QString& name, QByteArray* data, QString* error);

// Resolves a relationship target against the part that holds the relationship.
QString resolveTarget(const QString& sourcePart, const QString& target);

// The relationships part of a part: dir/_rels/name.rels.
QString relsPartOf(const QString& part);

struct Relationship
{
    QString type, target;
    bool external = false;
};

// Relationship id -> relationship.
bool parseRelationships(const QByteArray& xml, QHash<QString, Relationship>* result);

// The workbook part named by the package's officeDocument relationship,
// xl/workbook.xml when the package does not say.
QString workbookPartName(zip_t* archive);

struct SheetEntry
{
    QString name;           // as Excel shows it (XML escapes resolved)
    QString relationshipId; // r:id of the <sheet> element
    QString state;          // "hidden", "veryHidden", or empty when visible

    spreadsheet::SheetVisibility visibility() const
    {
        if (state == QLatin1String("hidden"))
            return spreadsheet::SheetVisibility::Hidden;
        if (state == QLatin1String("veryHidden"))
            return spreadsheet::SheetVisibility::VeryHidden;
        return spreadsheet::SheetVisibility::Visible;
    }
};

// What the workbook part says about its sheets.
struct WorkbookStructure
{
    QString workbookPart;
    QVector<SheetEntry> sheets;        // in the workbook's order, chart sheets included
    QHash<QString, Relationship> rels; // the workbook part's relationships by id

    // The first sheet of that name (case-sensitive), or null.
    const SheetEntry* find(const QString& name) const;
    // The relationship of a sheet, or null when it is missing or external.
    const Relationship* relationshipOf(const SheetEntry& sheet) const;
    // The part name of a sheet; empty when its relationship is missing or external.
    QString partOf(const SheetEntry& sheet) const;
};

// Reads the workbook part and its relationships.  Fails when either cannot be
// read or the workbook part's root is not a SpreadsheetML <workbook>.
bool readWorkbookStructure(zip_t* archive, WorkbookStructure* book, QString* error);

} // namespace ooxml::detail
