#include "engines/libreoffice/officelocks.h"

#include "platform/processes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include <pwd.h>
#include <unistd.h>

namespace engines::lo {

namespace {

// The fields of the first entry of a lock file: separated by ',', ended by
// ';', with '\' escaping either (and itself) inside a field.
QStringList lockFields(const QString& text)
{
    QStringList fields{QString()};
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\') && i + 1 < text.size())
            fields.last() += text.at(++i);
        else if (c == QLatin1Char(','))
            fields << QString();
        else if (c == QLatin1Char(';'))
            return fields;
        else
            fields.last() += c;
    }
    return QStringList(); // never ended: not a lock file of the office
}

QString localProfilePath(const QString& url)
{
    const QUrl parsed(url);
    if (!parsed.isLocalFile())
        return QString();
    return QDir::cleanPath(parsed.toLocalFile());
}

QString userName()
{
    const passwd* entry = ::getpwuid(::geteuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString();
}

QString hostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return QString();
    return QString::fromLocal8Bit(name);
}

// Whether a running office has the profile at this path as its user
// installation.  Offices of this program are started as soffice.bin with the
// profile's URL on the command line; a killed one that is not yet reaped has
// no command line any more.
bool officeRunsOn(const QString& profile)
{
    for (const long long pid : processIdsByName("soffice.bin")) {
        QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& argument : file.readAll().split('\0')) {
            static const QByteArray key("-env:UserInstallation=");
            if (argument.startsWith(key) &&
                localProfilePath(QString::fromUtf8(argument.mid(key.size()))) == profile)
                return true;
        }
    }
    return false;
}

} // namespace

QString lockFilePath(const QString& documentPath)
{
    const QFileInfo info(documentPath);
    return info.absolutePath() + QStringLiteral("/.~lock.") + info.fileName() + QLatin1Char('#');
}

bool readLockFile(const QString& lockPath, LockFileOwner* owner)
{
    QFile file(lockPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QStringList fields = lockFields(QString::fromUtf8(file.read(64 * 1024)));
    if (fields.size() < 5)
        return false;
    owner->systemUser = fields.at(1);
    owner->host = fields.at(2);
    owner->profileUrl = fields.at(4);
    return true;
}

bool removeLockFileOf(const QString& documentPath, const QString& profileUrl)
{
    const QString lock = lockFilePath(documentPath);
    LockFileOwner owner;
    if (!readLockFile(lock, &owner))
        return false;
    const QString profile = localProfilePath(owner.profileUrl);
    if (profile.isEmpty() || profile != localProfilePath(profileUrl))
        return false;
    return QFile::remove(lock);
}

bool removeStaleLockFile(const QString& documentPath)
{
    const QString lock = lockFilePath(documentPath);
    LockFileOwner owner;
    if (!readLockFile(lock, &owner))
        return false;
    if (owner.systemUser != userName() || owner.host != hostName())
        return false;
    const QString profile = localProfilePath(owner.profileUrl);
    static const QRegularExpression ours(QStringLiteral("^quorvane-office-\\d+-\\w+$"));
    if (profile.isEmpty() || !ours.match(QFileInfo(profile).fileName()).hasMatch())
        return false;
    if (officeRunsOn(profile))
        return false; // that office may still have the document open
    return QFile::remove(lock);
}

} // namespace engines::lo
