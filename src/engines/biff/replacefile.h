// Replacing a file's bytes all at once: a temporary file in the same folder,
// given the original's permissions (and owner where allowed), flushed to
// disk and renamed over the original.  Internal to the BIFF engine.
#pragma once

#include "spreadsheet/spreadsheet.h"

#include <QByteArray>
#include <QString>

namespace biff::detail {

// True when the file's mode has no write bit at all or this process may not
// write it.
bool isReadOnlyFile(const QString& path);

// Replaces the regular file at path (no link: the caller resolves links) with
// bytes.  On failure the original is untouched, no temporary file is left,
// and *failure (when given) is ReadOnly or SaveFailed.
bool replaceFile(const QString& path, const QByteArray& bytes, spreadsheet::Failure* failure);

} // namespace biff::detail
