#include "automation/ooxml/ooxmlpagesetup.h"

#include "automation/ooxml/sheetpart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryFile>
#include <QUrl>
#include <QVector>
#include <QXmlStreamReader>

#include <zip.h>

#include <cstdio>
#include <map>
#include <memory>
#include <utility>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace ooxml {
namespace {

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

struct ArchiveDiscard
{
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveDiscard>;

// Part names are compared without regard to case, as the packaging rules say.
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

// Resolves a relationship target against the part that holds the relationship.
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

// The relationships part of a part: dir/_rels/name.rels.
QString relsPartOf(const QString& part)
{
    const int slash = part.lastIndexOf(QLatin1Char('/'));
    return part.left(slash + 1) + QLatin1String("_rels/") + part.mid(slash + 1) +
           QLatin1String(".rels");
}

struct Relationship
{
    QString type, target;
    bool external = false;
};

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

// The workbook part named by the package's officeDocument relationship,
// xl/workbook.xml when the package does not say.
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

// Sheet name -> relationship id, from the workbook part's <sheets>.
bool parseSheets(const QByteArray& xml, QHash<QString, QString>* sheets)
{
    static const QString relNamespaces[] = {
        QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships"),
        QStringLiteral("http://purl.oclc.org/ooxml/officeDocument/relationships"),
    };
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement() || reader.name() != QLatin1String("sheet"))
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        QString id;
        for (const QXmlStreamAttribute& a : attributes) {
            if (a.name() == QLatin1String("id") &&
                (a.namespaceUri() == relNamespaces[0] || a.namespaceUri() == relNamespaces[1]))
                id = a.value().toString();
        }
        const QString name = attributes.value(QLatin1String("name")).toString();
        if (!sheets->contains(name))
            sheets->insert(name, id);
    }
    return !reader.hasError();
}

bool isRefusedAsReadOnly(const QFileInfo& info)
{
    // WriteUser says whether this process may write, which is always true for
    // root: the mode bits decide whether anybody is meant to.
    const QFile::Permissions writeBits = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return !(info.permissions() & writeBits) || !info.isWritable();
}

bool copyFile(const QString& from, QFile* to, QString* error)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return fail(error, tr("Cannot read %1: %2").arg(from, source.errorString()));
    QByteArray buffer;
    for (;;) {
        buffer = source.read(1 << 20);
        if (buffer.isEmpty())
            break;
        if (to->write(buffer) != buffer.size())
            return fail(error, tr("Cannot write %1: %2").arg(to->fileName(), to->errorString()));
    }
    if (source.error() != QFileDevice::NoError)
        return fail(error, tr("Cannot read %1: %2").arg(from, source.errorString()));
    if (!to->flush())
        return fail(error, tr("Cannot write %1: %2").arg(to->fileName(), to->errorString()));
    return true;
}

// Gives the finished temporary file the original's mode (and, where allowed,
// owner), flushes it to disk and renames it over the original.
bool replaceOriginal(const QString& temp, const QString& original, QString* error)
{
#ifdef Q_OS_UNIX
    const QByteArray tempName = QFile::encodeName(temp);
    const QByteArray originalName = QFile::encodeName(original);
    struct stat st;
    if (::stat(originalName.constData(), &st) != 0)
        return fail(error, tr("Cannot read the permissions of %1.").arg(original));
    // Changing the owner needs root or ownership; a file that then belongs to
    // the current user is still a correct result, so a refusal is no error.
    if (::chown(tempName.constData(), st.st_uid, st.st_gid) != 0 &&
        ::chown(tempName.constData(), uid_t(-1), st.st_gid) != 0) {
    }
    if (::chmod(tempName.constData(), st.st_mode & 07777) != 0)
        return fail(error, tr("Cannot set the permissions of %1.").arg(temp));
    {
        QFile f(temp);
        if (!f.open(QIODevice::ReadOnly) || ::fsync(f.handle()) != 0)
            return fail(error, tr("Cannot write %1 to disk.").arg(temp));
    }
    if (::rename(tempName.constData(), originalName.constData()) != 0)
        return fail(error, tr("Cannot replace %1.").arg(original));
    return true;
#elif defined(Q_OS_WIN)
    QFile::setPermissions(temp, QFile::permissions(original));
    if (!MoveFileExW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(temp).utf16()),
                     reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(original).utf16()),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return fail(error, tr("Cannot replace %1.").arg(original));
    return true;
#else
    QFile::setPermissions(temp, QFile::permissions(original));
    if (!QFile::remove(original) || !QFile::rename(temp, original))
        return fail(error, tr("Cannot replace %1.").arg(original));
    return true;
#endif
}

} // namespace

bool applyPageSetup(const QString& path, const QMap<QString, SheetPageSetup>& changes,
                    QString* error)
{
    if (changes.isEmpty())
        return true;
    for (auto it = changes.begin(); it != changes.end(); ++it) {
        QString message;
        if (!validatePageSetup(it.value(), &message))
            return fail(error, tr("Sheet %1: %2").arg(it.key(), message));
    }

    // Work on the file a link points to, so that the link stays a link.
    const QFileInfo given(path);
    if (!given.exists())
        return fail(error, tr("%1 does not exist.").arg(path));
    const QString target = given.canonicalFilePath();
    const QFileInfo info(target);
    if (!info.isFile())
        return fail(error, tr("%1 is not a file.").arg(path));
    if (isRefusedAsReadOnly(info))
        return fail(error, tr("%1 is read-only.").arg(path));

    // Read what is needed and build the new sheet parts in memory first.
    struct PartChange
    {
        QByteArray before, after;
    };
    std::map<std::string, PartChange> newParts; // entry name (UTF-8) -> contents
    {
        int code = 0;
        Archive archive(zip_open(QFile::encodeName(target).constData(), ZIP_RDONLY, &code));
        if (!archive)
            return fail(
                error,
                tr("%1 is not a readable workbook package: %2").arg(path, zipErrorText(code)));

        const QString workbookPart = workbookPartName(archive.get());
        QByteArray workbookXml, relsXml;
        if (!readPart(archive.get(), workbookPart, &workbookXml, error) ||
            !readPart(archive.get(), relsPartOf(workbookPart), &relsXml, error))
            return false;
        QHash<QString, QString> sheets;
        QHash<QString, Relationship> rels;
        if (!parseSheets(workbookXml, &sheets))
            return fail(error, tr("The workbook part %1 cannot be read.").arg(workbookPart));
        if (!parseRelationships(relsXml, &rels))
            return fail(error, tr("The relationships of %1 cannot be read.").arg(workbookPart));

        for (auto it = changes.begin(); it != changes.end(); ++it) {
            if (!sheets.contains(it.key()))
                return fail(error, tr("The workbook has no sheet named %1.").arg(it.key()));
            const auto rel = rels.constFind(sheets.value(it.key()));
            if (rel == rels.constEnd() || rel->external)
                return fail(error, tr("The part of sheet %1 cannot be found.").arg(it.key()));
            if (it.value().isEmpty())
                continue;
            const QString partName = resolveTarget(workbookPart, rel->target);
            const zip_int64_t index = locate(archive.get(), partName);
            if (index < 0)
                return fail(error, tr("The part of sheet %1 cannot be found.").arg(it.key()));
            // Use the name exactly as the archive spells it.
            const std::string entryName = zip_get_name(archive.get(), zip_uint64_t(index), 0);
            PartChange& change = newParts[entryName];
            if (change.before.isNull()) {
                if (!readEntry(archive.get(), index, partName, &change.before, error))
                    return false;
                change.after = change.before;
            }
            // Two sheet names for one part get both their changes.
            QByteArray patched;
            QString message;
            if (!patchSheetPart(change.after, it.value(), &patched, &message))
                return fail(error, tr("Sheet %1: %2").arg(it.key(), message));
            change.after = patched;
        }
    }
    // Parts that come out the same need no rewrite.
    for (auto it = newParts.begin(); it != newParts.end();) {
        if (it->second.after == it->second.before)
            it = newParts.erase(it);
        else
            ++it;
    }
    if (newParts.empty())
        return true;

    // Copy the package to a temporary file beside it, replace the changed
    // entries there (libzip copies every other entry's compressed data as it
    // is) and put the result in place with one rename.
    QTemporaryFile temp(info.absolutePath() + QLatin1String("/.") + info.fileName() +
                        QLatin1String(".XXXXXX.tmp"));
    if (!temp.open())
        return fail(
            error,
            tr("Cannot create a temporary file beside %1: %2").arg(path, temp.errorString()));
    if (!copyFile(target, &temp, error))
        return false;
    temp.close();

    int code = 0;
    zip_t* archive = zip_open(QFile::encodeName(temp.fileName()).constData(), 0, &code);
    if (!archive)
        return fail(error,
                    tr("%1 is not a readable workbook package: %2").arg(path, zipErrorText(code)));
    for (const auto& part : newParts) {
        const zip_int64_t index = zip_name_locate(archive, part.first.c_str(), 0);
        // The changes were worked out on the original: make sure the copy
        // still holds what they were made from.
        QByteArray current;
        if (index < 0 ||
            !readEntry(archive, index, QString::fromStdString(part.first), &current, nullptr) ||
            current != part.second.before) {
            zip_discard(archive);
            return fail(error, tr("%1 changed while it was being updated.").arg(path));
        }
        bool ok = true;
        {
            const QByteArray& data = part.second.after;
            zip_source_t* source =
                zip_source_buffer(archive, data.constData(), zip_uint64_t(data.size()), 0);
            ok = source && zip_file_replace(archive, zip_uint64_t(index), source, 0) == 0;
            if (!ok && source)
                zip_source_free(source); // the archive took it only on success
        }
        ok = ok && zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_DEFLATE, 0) == 0;
        if (!ok) {
            const QString message = zipErrorText(archive);
            zip_discard(archive);
            return fail(error, tr("Cannot update %1: %2").arg(path, message));
        }
    }
    if (zip_close(archive) != 0) {
        const QString message = zipErrorText(archive);
        zip_discard(archive);
        return fail(error, tr("Cannot write %1: %2").arg(path, message));
    }
    if (!replaceOriginal(temp.fileName(), target, error))
        return false;
    temp.setAutoRemove(false);
    return true;
}

} // namespace ooxml
