// Small helpers shared by the benchmarks that drive LibreOffice.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace bench {

// Peak resident memory (VmHWM, in KiB) of each running child process of this
// process whose executable is named name.
QList<qint64> childPeakResidentKiBEach(const QByteArray& name);

// Runs soffice with a private profile and the given arguments; returns the
// wall time in seconds, or a negative number on failure.
double timeSoffice(const QStringList& arguments, int timeoutSeconds = 900);

// Number of PDF files in folder.
int countPdfs(const QString& folder);

// Waits until folder holds at least count PDF files (or the timeout passes);
// returns the number found.
int waitForPdfs(const QString& folder, int count, int timeoutSeconds);

} // namespace bench
