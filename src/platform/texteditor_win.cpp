// Opens a file in Notepad, as a detached process.
#include "platform/texteditor.h"

#include <QDir>
#include <QProcess>
#include <QStringList>

void openInTextEditor(const QString& path)
{
    // The path goes as one argument, so that QProcess quotes a path with
    // spaces instead of Notepad seeing several file names.
    QProcess::startDetached(QStringLiteral("notepad.exe"),
                            QStringList{QDir::toNativeSeparators(path)});
}
