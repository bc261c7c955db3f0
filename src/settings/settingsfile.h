// The small key=value settings file beside the executable: CR LF lines in the
// local 8-bit encoding, one entry rewritten at a time.
#pragma once

#include <QByteArray>

namespace settings {

// Looks up key + "=" in text: the bytes up to the next CR LF, spaces and tabs
// trimmed; empty when the key or the line end is missing, and for a key that
// is empty or holds "=" or a line break.
void findSettingValue(const QByteArray& text, const QByteArray& key, QByteArray& out);

// -1 when the file cannot be opened or read (out unchanged); otherwise 0, with
// out set as findSettingValue sets it.  The whole file is read.
int readSetting(const QString& path, const QByteArray& key, QByteArray& out);

// Replaces the key's entry in place, or adds it as the first line; spaces and
// tabs at both ends of the file are dropped.  -1 when the file cannot be
// opened for reading and writing, carries no write permission bit (a
// read-only file stays unchanged even for an administrator), or cannot be
// rewritten, and when the key is empty or holds "=" or a line break or the
// value holds CR LF; the file is then left as it was.  0 when rewritten.  The
// rewrite replaces the whole file at once (temporary file and rename) and keeps
// its permissions and owner.  Never creates the file.
int writeSetting(const QString& path, const QByteArray& key, const QByteArray& value);

} // namespace settings
