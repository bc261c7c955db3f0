// Opens a file with the desktop's default handler for its type (for a .txt
// file, the text editor), as a detached process.
#include "platform/texteditor.h"

#include <QProcess>
#include <QStringList>

void openInTextEditor(const QString& path)
{
    QProcess::startDetached(QStringLiteral("xdg-open"), QStringList{path});
}
