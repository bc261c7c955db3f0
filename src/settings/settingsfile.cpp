#include "settings/settingsfile.h"
#include "settings/settingsfile_testing.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace settings {
namespace {

bool failRewrites = false;

const QByteArray lineEnd("\r\n");

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Only spaces and tabs count: a CR or LF at either end is kept.
QByteArray trimmedBlanks(const QByteArray& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

// A key that is empty or holds "=" or a line break could not be found again as
// key + "=" at the start of its own entry.
bool isValidKey(const QByteArray& key)
{
    return !key.isEmpty() && !key.contains('=') && !key.contains('\r') && !key.contains('\n');
}

// The old text (already trimmed) with the key's entry replaced in place, or
// with the new entry put first when the key is absent.
QByteArray withEntry(const QByteArray& old, const QByteArray& key, const QByteArray& value)
{
    const QByteArray line = key + '=' + value + lineEnd;
    const qsizetype at = old.indexOf(key + '=');
    if (at < 0)
        return line + old;
    const qsizetype end = old.indexOf(lineEnd, at + key.size() + 1);
    QByteArray text = old.left(at) + line;
    if (end >= 0)
        text += old.mid(end + lineEnd.size());
    return text;
}

// Write permission in the file's own bits.  The check is explicit because an
// administrator may write anything: a file marked read-only is still meant to
// stay unchanged.
bool hasWriteBit(const QFileInfo& info)
{
    return info.permissions() &
           (QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther);
}

// Writes the text into a temporary file beside the old one and renames it over
// the old one, so the old file is replaced whole or not at all.  QSaveFile
// follows a symbolic link to its target and gives the new file the old one's
// permissions; the owner is copied here, which matters when an administrator
// rewrites a user's file.
bool replaceFile(const QString& path, const QByteArray& text)
{
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
#ifdef Q_OS_UNIX
    struct stat old;
    if (::stat(QFile::encodeName(path).constData(), &old) == 0) {
        struct stat fresh;
        if (::fstat(out.handle(), &fresh) == 0 &&
            (fresh.st_uid != old.st_uid || fresh.st_gid != old.st_gid)) {
            if (::fchown(out.handle(), old.st_uid, old.st_gid) != 0) {
                // Not allowed to give the file away: it keeps the writer as
                // owner, which changes nothing for the writer's own use.
            }
        }
    }
#endif
    if (failRewrites) {
        out.write(text.left(text.size() / 2));
        out.cancelWriting();
        out.commit();
        return false;
    }
    if (out.write(text) != text.size()) {
        out.cancelWriting();
        out.commit();
        return false;
    }
    return out.commit();
}

} // namespace

void findSettingValue(const QByteArray& text, const QByteArray& key, QByteArray& out)
{
    out.clear();
    if (!isValidKey(key))
        return;
    const QByteArray trimmed = trimmedBlanks(text);
    const qsizetype at = trimmed.indexOf(key + '=');
    if (at < 0)
        return;
    const qsizetype start = at + key.size() + 1;
    const qsizetype end = trimmed.indexOf(lineEnd, start);
    if (end < 0)
        return;
    out = trimmedBlanks(trimmed.mid(start, end - start));
}

int readSetting(const QString& path, const QByteArray& key, QByteArray& out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    // The whole file is read, however long: a size limit would hide entries.
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return -1;
    findSettingValue(text, key, out);
    return 0;
}

int writeSetting(const QString& path, const QByteArray& key, const QByteArray& value)
{
    // A value with a line end in it would split into a second entry.
    if (!isValidKey(key) || value.contains(lineEnd))
        return -1;
    const QFileInfo info(path);
    if (!info.isFile() || !hasWriteBit(info))
        return -1;
    QByteArray old;
    {
        // Opened for reading and writing, as the rewrite needs both; never
        // created when missing.
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
            return -1;
        old = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return -1;
    }
    return replaceFile(path, withEntry(trimmedBlanks(old), key, value)) ? 0 : -1;
}

namespace testing {

void setFailRewrites(bool fail)
{
    failRewrites = fail;
}

} // namespace testing
} // namespace settings
