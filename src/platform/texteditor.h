// Opens a text file in the desktop's text editor, detached; the result is not
// looked at.
#pragma once

#include <QString>

void openInTextEditor(const QString& path);
