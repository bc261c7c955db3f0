// The lock files LibreOffice writes beside the documents it has open for
// editing (".~lock.NAME#"), as far as this program's own offices are
// concerned: an office that is killed, or that ends with a changed document
// open, leaves its lock file behind, and every later attempt to edit that
// workbook would be refused while it lies there.
#pragma once

#include <QString>

namespace engines::lo {

// Who wrote a lock file, from its one line
// "name,system user,host,time,profile URL;".
struct LockFileOwner
{
    QString systemUser;
    QString host;
    QString profileUrl; // the user installation of the office that wrote it
};

// Path of the lock file LibreOffice keeps beside documentPath.
QString lockFilePath(const QString& documentPath);

// Reads a lock file; false when there is none or it is not a LibreOffice one.
bool readLockFile(const QString& lockPath, LockFileOwner* owner);

// Removes the lock file beside documentPath when the office running on the
// profile profileUrl wrote it.  For an office that has ended.
bool removeLockFileOf(const QString& documentPath, const QString& profileUrl);

// Removes the lock file beside documentPath when a private office of this
// program (of any run of it) wrote it: same user and host, a
// "quorvane-office-<pid>-..." profile; and when no running office has that
// profile any more.  Another program's lock file is never touched, nor one
// of an office that still runs.
bool removeStaleLockFile(const QString& documentPath);

} // namespace engines::lo
