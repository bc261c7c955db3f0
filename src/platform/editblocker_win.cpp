#include "platform/editblocker.h"

#include <QFile>
#include <QFileInfo>

EditBlock editBlocker(const QString& path)
{
    const QFileInfo info(path);
    const QString dir = info.absolutePath();
    const QString name = info.fileName();
    QFile ownerFile(dir + QStringLiteral("/~$") + name);
    if (ownerFile.exists()) {
        const QByteArray contents =
            ownerFile.open(QIODevice::ReadOnly) ? ownerFile.read(4096) : QByteArray();
        return {EditBlock::LockedByOther, QStringLiteral("spreadsheet lock file present"),
                excelOwnerFileHolder(contents)};
    }
    if (!info.isWritable())
        return {EditBlock::NotWritable, QStringLiteral("file not writable"), {}};
    return {};
}
