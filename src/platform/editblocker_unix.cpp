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

} // namespace

EditBlock editBlocker(const QString& path)
{
    const QFileInfo info(path);
    const QString dir = info.absolutePath();
    const QString name = info.fileName();
    if (QFileInfo::exists(dir + QStringLiteral("/.~lock.") + name + QLatin1Char('#')))
        return {EditBlock::LockedByOther, QStringLiteral("LibreOffice lock file present")};
    if (QFileInfo::exists(dir + QStringLiteral("/~$") + name))
        return {EditBlock::LockedByOther, QStringLiteral("spreadsheet lock file present")};
    if (!hasWriteBit(path))
        return {EditBlock::NotWritable, QStringLiteral("file not writable")};
    if (!hasWriteBit(dir))
        return {EditBlock::NotWritable, QStringLiteral("folder not writable")};
    return {};
}
