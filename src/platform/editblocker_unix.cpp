#include "platform/editblocker.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The write bit for this process, read from the file's mode: a file without
// any write bit counts as read-only even for root, as a user who set it so
// would expect.
bool hasWriteBit(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    const uid_t uid = ::geteuid();
    bool bit;
    if (uid == 0)
        bit = st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH);
    else if (st.st_uid == uid)
        bit = st.st_mode & S_IWUSR;
    else if (st.st_gid == ::getegid())
        bit = st.st_mode & S_IWGRP;
    else
        bit = st.st_mode & S_IWOTH;
    // The owner's bit alone decides for root too when root owns the file.
    if (uid == 0 && st.st_uid == 0)
        bit = st.st_mode & S_IWUSR;
    return bit && ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

// The start of a lock file; empty when it cannot be read.
QByteArray head(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(4096) : QByteArray();
}

} // namespace

EditBlock editBlocker(const QString& path)
{
    const QFileInfo info(path);
    const QString dir = info.absolutePath();
    const QString name = info.fileName();
    const QString officeLock = dir + QStringLiteral("/.~lock.") + name + QLatin1Char('#');
    if (QFileInfo::exists(officeLock))
        return {EditBlock::LockedByOther, QStringLiteral("LibreOffice lock file present"),
                libreOfficeLockHolder(head(officeLock))};
    const QString ownerFile = dir + QStringLiteral("/~$") + name;
    if (QFileInfo::exists(ownerFile))
        return {EditBlock::LockedByOther, QStringLiteral("spreadsheet lock file present"),
                excelOwnerFileHolder(head(ownerFile))};
    if (!hasWriteBit(path))
        return {EditBlock::NotWritable, QStringLiteral("file not writable"), {}};
    if (!hasWriteBit(dir))
        return {EditBlock::NotWritable, QStringLiteral("folder not writable"), {}};
    return {};
}
