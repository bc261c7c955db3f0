// The workbook list: which paths count as workbooks, the recursive folder walk
// that finds them, and the list text the window shows.
#pragma once

#include <QFileInfo>
#include <QList>
#include <QString>

namespace worklist {

// True when the lower-cased path ends with ".xls", ".xlsx", ".csv" or ".xlsm",
// the path holds "~$" nowhere (lock files, folders named like them) and the
// file is none of this program's own temporary files.
bool isAcceptedWorkbookPath(const QString& path);

// True for the temporary files this program writes beside a workbook while it
// saves it (".~quorvane-*"), which an interrupted save can leave behind.
bool isOwnTemporaryFile(const QString& path);

// A folder's regular files (hidden ones included, links excluded), sorted by
// name ignoring case by character code (Unicode case folding, then UTF-16 code
// units; no locale), then for each non-hidden subfolder (links to folders
// followed) in the same order the walk of that subfolder.
// Entry paths: the given folder text + "/" + name at the top (no second "/"
// when the text ends with one), each subfolder's absolute path + "/" + name
// below.  Each real folder is visited once, so a cycle of folder links ends;
// an unreadable folder yields nothing and the walk goes on.  An empty folder
// text yields nothing.
QList<QFileInfo> FindFilesRecursive(const QString& folder);

// The text the list edit is filled with: one accepted path and a line feed per
// workbook, in walk order.
QString workbookListText(const QString& folder);

} // namespace worklist
