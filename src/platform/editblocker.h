// Whether a file may be opened for editing: not while another program holds
// it (its lock file lies beside it) and not without permission to replace it.
#pragma once

#include <QString>

struct EditBlock
{
    enum Kind { None, LockedByOther, NotWritable };
    Kind kind = None;
    QString detail; // English, for messages: what was found

    explicit operator bool() const { return kind != None; }
};

// What keeps path from being edited in place, or an empty block when nothing
// does: a LibreOffice (".~lock.NAME#") or Excel ("~$NAME") lock file beside
// it, no write permission on the file, or none on its folder (the file is
// replaced by a new one on saving).
EditBlock editBlocker(const QString& path);
