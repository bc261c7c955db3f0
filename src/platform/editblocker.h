// Whether a file may be opened for editing: not while another program holds
// it (its lock file lies beside it) and not without permission to replace it.
#pragma once

#include "spreadsheet/spreadsheet.h"

#include <QByteArray>
#include <QString>

struct EditBlock
{
    enum Kind { None, LockedByOther, NotWritable };
    Kind kind = None;
    QString detail; // English, for messages: what was found
    // LockedByOther: the user the lock file names, when it names one.
    QString holder;

    explicit operator bool() const { return kind != None; }
};

// What keeps path from being edited in place, or an empty block when nothing
// does: a LibreOffice (".~lock.NAME#") or Excel ("~$NAME") lock file beside
// it, no write permission on the file, or none on its folder (the file is
// replaced by a new one on saving).
EditBlock editBlocker(const QString& path);

// Why a workbook cannot be opened for editing: LockedByOther with the user
// who holds it (when the lock file names one), or ReadOnly.
spreadsheet::Failure editFailure(const EditBlock& block);

// The user named in the contents of a lock file, or an empty string.
// LibreOffice writes "full name,system user,host,time,profile;" (',', ';'
// and '\' escaped with '\') in UTF-8; Excel writes a length byte and the user
// name in the system code page, padded to 54 bytes, then a 16-bit length and
// the name again in UTF-16LE.
QString libreOfficeLockHolder(const QByteArray& contents);
QString excelOwnerFileHolder(const QByteArray& contents);
