#include "benchsupport.h"

#include "platform/processes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <unistd.h>

namespace bench {

QList<qint64> childPeakResidentKiBEach(const QByteArray& name)
{
    QList<qint64> each;
    const QByteArray self = QByteArray::number(qint64(getpid()));
    for (const long long pid : processIdsByName(name.constData())) {
        QFile status(QStringLiteral("/proc/%1/status").arg(pid));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        QByteArray ppid, peak;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("PPid:"))
                ppid = line.mid(5).trimmed();
            else if (line.startsWith("VmHWM:"))
                peak = line.mid(6).trimmed().split(' ').value(0);
        }
        if (ppid == self)
            each << peak.toLongLong();
    }
    return each;
}

double timeSoffice(const QStringList& arguments, int timeoutSeconds)
{
    QTemporaryDir profile;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList all{QStringLiteral("--headless"), QStringLiteral("--norestore"),
                    QStringLiteral("-env:UserInstallation=") +
                        QUrl::fromLocalFile(profile.path()).toString()};
    all += arguments;
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral("soffice"), all);
    if (!process.waitForFinished(timeoutSeconds * 1000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return -1;
    return timer.elapsed() / 1000.0;
}

int countPdfs(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("*.pdf")}, QDir::Files).size();
}

int waitForPdfs(const QString& folder, int count, int timeoutSeconds)
{
    QElapsedTimer timer;
    timer.start();
    int found = countPdfs(folder);
    while (found < count && timer.elapsed() < timeoutSeconds * 1000) {
        QThread::msleep(200);
        found = countPdfs(folder);
    }
    return found;
}

} // namespace bench
