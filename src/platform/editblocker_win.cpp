#include "platform/editblocker.h"

#include <QFileInfo>

EditBlock editBlocker(const QString& path)
{
    const QFileInfo info(path);
    const QString dir = info.absolutePath();
    const QString name = info.fileName();
    if (QFileInfo::exists(dir + QStringLiteral("/~$") + name))
        return {EditBlock::LockedByOther, QStringLiteral("spreadsheet lock file present")};
    if (!info.isWritable())
        return {EditBlock::NotWritable, QStringLiteral("file not writable")};
    return {};
}
