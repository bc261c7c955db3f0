#include "engines/ooxml/package.h"

#include <QCoreApplication>
#include <QStringList>
#include <QUrl>
#include <QXmlStreamReader>

#include <utility>

namespace ooxml::detail {

bool isMainNamespace(QStringView uri)
{
    for (const char* ns : kMainNamespaces) {
        if (uri == QLatin1String(ns))
            return true;
    }
    return false;
}

QString tr(const char* text)
{
    return QCoreApplication::translate("ooxml", text);
}

bool fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

QString zipErrorText(int code)
{
    zip_error_t e;
    zip_error_init_with_code(&e, code);
    const QString text = QString::fromLocal8Bit(zip_error_strerror(&e));
    zip_error_fini(&e);
    return text;
}

QString zipErrorText(zip_t* archive)
{
    return QString::fromLocal8Bit(zip_error_strerror(zip_get_error(archive)));
}

zip_int64_t locate(zip_t* archive, const QString& name)
{
    zip_int64_t index = zip_name_locate(archive, name.toUtf8().constData(), ZIP_FL_NOCASE);
    if (index < 0) {
        // Relationship targets are URIs: a part name with non-ASCII letters may
        // arrive percent-encoded.
        const QString decoded = QUrl::fromPercentEncoding(name.toUtf8());
        if (decoded != name)
            index = zip_name_locate(archive, decoded.toUtf8().constData(), ZIP_FL_NOCASE);
    }
    return index;
}

bool readEntry(zip_t* archive, zip_int64_t index, const QString& name, QByteArray* data,
               QString* error)
{
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive, zip_uint64_t(index), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
        return fail(error,
                    tr("Cannot read %1 in the workbook: %2").arg(name, zipErrorText(archive)));
    if (st.size > zip_uint64_t(256) * 1024 * 1024)
        return fail(error, tr("%1 in the workbook is too large.").arg(name));
    zip_file_t* file = zip_fopen_index(archive, zip_uint64_t(index), 0);
    if (!file)
        return fail(error,
                    tr("Cannot read %1 in the workbook: %2").arg(name, zipErrorText(archive)));
    data->resize(int(st.size));
    const zip_int64_t got = zip_fread(file, data->data(), st.size);
    const bool ok = got == zip_int64_t(st.size);
    const QString readError =
        ok ? QString() : QString::fromLocal8Bit(zip_error_strerror(zip_file_get_error(file)));
    zip_fclose(file);
    if (!ok)
        return fail(error, tr("Cannot read %1 in the workbook: %2").arg(name, readError));
    return true;
}

bool readPart(zip_t* archive, const QString& name, QByteArray* data, QString* error)
{
    const zip_int64_t index = locate(archive, name);
    if (index < 0)
        return fail(error, tr("The workbook has no part %1.").arg(name));
    return readEntry(archive, index, name, data, error);
}

QString resolveTarget(const QString& sourcePart, const QString& target)
{
    QString path;
    if (target.startsWith(QLatin1Char('/'))) {
        path = target.mid(1);
    } else {
        const int slash = sourcePart.lastIndexOf(QLatin1Char('/'));
        path = (slash < 0 ? QString() : sourcePart.left(slash + 1)) + target;
    }
    QStringList segments;
    for (const QString& s : path.split(QLatin1Char('/'))) {
        if (s.isEmpty() || s == QLatin1String("."))
            continue;
        if (s == QLatin1String("..")) {
            if (!segments.isEmpty())
                segments.removeLast();
        } else {
            segments.append(s);
        }
    }
    return segments.join(QLatin1Char('/'));
}

QString relsPartOf(const QString& part)
{
    const int slash = part.lastIndexOf(QLatin1Char('/'));
    return part.left(slash + 1) + QLatin1String("_rels/") + part.mid(slash + 1) +
           QLatin1String(".rels");
}

bool parseRelationships(const QByteArray& xml, QHash<QString, Relationship>* result)
{
    QXmlStreamReader reader(xml);
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("Relationships"))
            continue;
        if (reader.name() == QLatin1String("Relationship")) {
            const QXmlStreamAttributes a = reader.attributes();
            Relationship r;
            r.type = a.value(QLatin1String("Type")).toString();
            r.target = a.value(QLatin1String("Target")).toString();
            r.external = a.value(QLatin1String("TargetMode")) == QLatin1String("External");
            result->insert(a.value(QLatin1String("Id")).toString(), r);
        }
        reader.skipCurrentElement();
    }
    return !reader.hasError();
}

QString workbookPartName(zip_t* archive)
{
    const QString fallback = QStringLiteral("xl/workbook.xml");
    QByteArray xml;
    if (!readPart(archive, QStringLiteral("_rels/.rels"), &xml, nullptr))
        return fallback;
    QHash<QString, Relationship> rels;
    parseRelationships(xml, &rels);
    for (const Relationship& r : std::as_const(rels)) {
        if (!r.external && r.type.endsWith(QLatin1String("/officeDocument")))
            return resolveTarget(QString(), r.target);
    }
    return fallback;
}

namespace {

// The <sheet> entries of a workbook part, in order.  False when the part is
// not well-formed or its root is no SpreadsheetML <workbook>.
bool parseSheets(const QByteArray& xml, QVector<SheetEntry>* sheets)
{
    static const QString relNamespaces[] = {
        QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships"),
        QStringLiteral("http://purl.oclc.org/ooxml/officeDocument/relationships"),
    };
    QXmlStreamReader reader(xml);
    if (!reader.readNextStartElement() || reader.name() != QLatin1String("workbook") ||
        !isMainNamespace(reader.namespaceUri()))
        return false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement() || reader.name() != QLatin1String("sheet"))
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        SheetEntry sheet;
        for (const QXmlStreamAttribute& a : attributes) {
            if (a.name() == QLatin1String("id") &&
                (a.namespaceUri() == relNamespaces[0] || a.namespaceUri() == relNamespaces[1]))
                sheet.relationshipId = a.value().toString();
        }
        sheet.name = attributes.value(QLatin1String("name")).toString();
        sheet.state = attributes.value(QLatin1String("state")).toString();
        sheets->append(sheet);
    }
    return !reader.hasError();
}

} // namespace

const SheetEntry* WorkbookStructure::find(const QString& name) const
{
    for (const SheetEntry& sheet : sheets) {
        if (sheet.name == name)
            return &sheet;
    }
    return nullptr;
}

const Relationship* WorkbookStructure::relationshipOf(const SheetEntry& sheet) const
{
    const auto it = rels.constFind(sheet.relationshipId);
    if (it == rels.constEnd() || it->external)
        return nullptr;
    return &*it;
}

QString WorkbookStructure::partOf(const SheetEntry& sheet) const
{
    const Relationship* rel = relationshipOf(sheet);
    return rel ? resolveTarget(workbookPart, rel->target) : QString();
}

bool readWorkbookStructure(zip_t* archive, WorkbookStructure* book, QString* error)
{
    book->workbookPart = workbookPartName(archive);
    QByteArray workbookXml, relsXml;
    if (!readPart(archive, book->workbookPart, &workbookXml, error) ||
        !readPart(archive, relsPartOf(book->workbookPart), &relsXml, error))
        return false;
    if (!parseSheets(workbookXml, &book->sheets))
        return fail(error, tr("The workbook part %1 cannot be read.").arg(book->workbookPart));
    if (!parseRelationships(relsXml, &book->rels))
        return fail(error, tr("The relationships of %1 cannot be read.").arg(book->workbookPart));
    return true;
}

} // namespace ooxml::detail
