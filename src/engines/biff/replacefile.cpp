#include "engines/biff/replacefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace biff::detail {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("biff", text);
}

bool fail(spreadsheet::Failure* failure, spreadsheet::FailureKind kind, const QString& detail)
{
    if (failure)
        *failure = spreadsheet::Failure{kind, detail};
    return false;
}

} // namespace

bool isReadOnlyFile(const QString& path)
{
    // isWritable() is always true for root: the mode bits say whether anybody
    // is meant to write the file.
    const QFileInfo info(path);
    const QFile::Permissions writeBits = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return !(info.permissions() & writeBits) || !info.isWritable();
}

bool replaceFile(const QString& path, const QByteArray& bytes, spreadsheet::Failure* failure)
{
    using spreadsheet::FailureKind;
    const QFileInfo info(path);
    QTemporaryFile temp(info.absolutePath() + QStringLiteral("/.~quorvane-XXXXXX.xls"));
    if (!temp.open()) {
        const FailureKind kind = QFileInfo(info.absolutePath()).isWritable()
                                     ? FailureKind::SaveFailed
                                     : FailureKind::ReadOnly;
        return fail(failure, kind,
                    tr("Cannot create a temporary file beside %1: %2")
                        .arg(QDir::toNativeSeparators(path), temp.errorString()));
    }
    if (temp.write(bytes) != bytes.size() || !temp.flush())
        return fail(failure, FailureKind::SaveFailed,
                    tr("Cannot write %1: %2").arg(temp.fileName(), temp.errorString()));
#ifdef Q_OS_UNIX
    const QByteArray tempName = QFile::encodeName(temp.fileName());
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::stat(name.constData(), &st) != 0)
        return fail(failure, FailureKind::SaveFailed,
                    tr("Cannot read the permissions of %1.").arg(QDir::toNativeSeparators(path)));
    // Taking over the owner needs root or ownership; a file that then belongs
    // to the current user is still a correct result.
    if (::fchown(temp.handle(), st.st_uid, st.st_gid) != 0 &&
        ::fchown(temp.handle(), uid_t(-1), st.st_gid) != 0) {
    }
    if (::fchmod(temp.handle(), st.st_mode & 07777) != 0 || ::fsync(temp.handle()) != 0)
        return fail(failure, FailureKind::SaveFailed,
                    tr("Cannot write %1 to disk: %2")
                        .arg(temp.fileName(), QString::fromLocal8Bit(std::strerror(errno))));
    if (::rename(tempName.constData(), name.constData()) != 0)
        return fail(
            failure, FailureKind::SaveFailed,
            tr("Cannot replace %1: %2")
                .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(errno))));
#elif defined(Q_OS_WIN)
    QFile::setPermissions(temp.fileName(), QFile::permissions(path));
    temp.close();
    if (!MoveFileExW(
            reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(temp.fileName()).utf16()),
            reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()),
            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return fail(failure, FailureKind::SaveFailed,
                    tr("Cannot replace %1.").arg(QDir::toNativeSeparators(path)));
#else
    QFile::setPermissions(temp.fileName(), QFile::permissions(path));
    temp.close();
    if (!QFile::remove(path) || !QFile::rename(temp.fileName(), path))
        return fail(failure, FailureKind::SaveFailed,
                    tr("Cannot replace %1.").arg(QDir::toNativeSeparators(path)));
#endif
    temp.setAutoRemove(false);
    return true;
}

} // namespace biff::detail
