#include "cli/clirun.h"

#include <QProcess>

namespace cli {

PrinterQuery systemPrinters()
{
    PrinterQuery query;
    QProcess lpstat;
    lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-e")});
    if (!lpstat.waitForStarted(10000)) {
        query.error = QStringLiteral("lpstat could not be started (is cups-client installed?)");
        return query;
    }
    if (!lpstat.waitForFinished(20000)) {
        lpstat.kill();
        lpstat.waitForFinished(2000);
        query.error = QStringLiteral("lpstat did not answer");
        return query;
    }
    const QString output = QString::fromLocal8Bit(lpstat.readAllStandardOutput());
    if (lpstat.exitStatus() != QProcess::NormalExit || lpstat.exitCode() != 0) {
        const QString message = QString::fromLocal8Bit(lpstat.readAllStandardError()).simplified();
        query.error = message.isEmpty() ? QStringLiteral("lpstat -e failed") : message;
        return query;
    }
    const QStringList lines = output.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QString name = line.trimmed();
        if (!name.isEmpty())
            query.names.append(name);
    }
    query.ok = true;
    return query;
}

} // namespace cli
