#include "engines/ooxml/ooxmlpagesetup.h"

#include "engines/ooxml/package.h"
#include "engines/ooxml/sheetpart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <zip.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

using namespace detail;

namespace {

#ifdef Q_OS_UNIX
// The system's words for the error of the last failed call.
QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}
#endif

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
    if (::stat(originalName.constData(), &st) != 0) {
        // errno is read before anything else may set it.
        const QString why = systemError();
        return fail(error, tr("Cannot read the permissions of %1: %2").arg(original, why));
    }
    // Changing the owner needs root or ownership; a file that then belongs to
    // the current user is still a correct result, so a refusal is no error.
    if (::chown(tempName.constData(), st.st_uid, st.st_gid) != 0 &&
        ::chown(tempName.constData(), uid_t(-1), st.st_gid) != 0) {
    }
    if (::chmod(tempName.constData(), st.st_mode & 07777) != 0) {
        const QString why = systemError();
        return fail(error, tr("Cannot set the permissions of %1: %2").arg(temp, why));
    }
    {
        QFile f(temp);
        if (!f.open(QIODevice::ReadOnly) || ::fsync(f.handle()) != 0) {
            const QString why = systemError();
            return fail(error, tr("Cannot write %1 to disk: %2").arg(temp, why));
        }
    }
    if (::rename(tempName.constData(), originalName.constData()) != 0) {
        const QString why = systemError();
        return fail(error, tr("Cannot replace %1: %2").arg(original, why));
    }
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

        WorkbookStructure book;
        if (!readWorkbookStructure(archive.get(), &book, error))
            return false;

        for (auto it = changes.begin(); it != changes.end(); ++it) {
            const SheetEntry* sheet = book.find(it.key());
            if (!sheet)
                return fail(error, tr("The workbook has no sheet named %1.").arg(it.key()));
            const QString partName = book.partOf(*sheet);
            if (partName.isEmpty())
                return fail(error, tr("The part of sheet %1 cannot be found.").arg(it.key()));
            if (it.value().isEmpty())
                continue;
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
    QTemporaryFile temp(info.absolutePath() + QLatin1String("/.~quorvane-XXXXXX.tmp"));
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
