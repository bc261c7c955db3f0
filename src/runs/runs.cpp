// What the two runs share outside the walk: the failure list file, and the
// plain sleep and clock the front ends hand to the runs.
#include "runs/runs.h"

#include <QByteArray>
#include <QSaveFile>
#include <QThread>

#include <ctime>

namespace runs {

QStringList RunResult::failedPaths() const
{
    QStringList paths;
    for (const FailedWorkbook& workbook : failed)
        paths << workbook.path;
    return paths;
}

bool writeFailedList(const QString& path, const QStringList& nativePaths)
{
    if (path.isEmpty())
        return false;
    QByteArray bytes;
    for (const QString& nativePath : nativePaths) {
        bytes += nativePath.toLocal8Bit();
        bytes += '\n'; // text mode writes the platform's line end
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void sleepMilliseconds(int milliseconds)
{
    if (milliseconds > 0)
        QThread::msleep(static_cast<unsigned long>(milliseconds));
}

qint64 wallClockSeconds()
{
    return static_cast<qint64>(std::time(nullptr));
}

int defaultApplications()
{
#ifdef Q_OS_WIN
    return 1;
#else
    return qMax(1, QThread::idealThreadCount());
#endif
}

} // namespace runs
