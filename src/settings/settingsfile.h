// The small key=value settings file beside the executable: CR LF lines in the
// local 8-bit encoding, one entry rewritten at a time.
#pragma once

#include <QByteArray>

namespace settings {

// Looks up key + "=" in text: the bytes up to the next CR LF, spaces and tabs
// trimmed; empty when the key or the line end is missing.
void findSettingValue(const QByteArray& text, const QByteArray& key, QByteArray& out);

// -1 when the file cannot be opened for reading (out unchanged); otherwise 0.
int readSetting(const QString& path, const QByteArray& key, QByteArray& out);

// Replaces the key's entry in place, or adds it as the first line.  -1 when
// the file cannot be opened for reading and writing, or cannot be rewritten
// (the old file is then left as it was); 0 when rewritten.  Never creates the
// file.
int writeSetting(const QString& path, const QByteArray& key, const QByteArray& value);

} // namespace settings
