#include "runcontrol/runprogress.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>

namespace runcontrol {

void RunProgress::reset()
{
    *this = RunProgress();
}

void RunProgress::apply(const runs::RunEvent& event, qint64 msSinceStart)
{
    using Type = runs::RunEvent::Type;
    switch (event.type) {
    case Type::RunStarted:
        reset();
        m_running = true;
        m_run = event.run;
        m_total = event.total;
        break;
    case Type::WorkbookStarted:
        m_sheetsInWorkbook = 0;
        break;
    case Type::SheetDone:
        ++m_sheets;
        ++m_sheetsInWorkbook;
        break;
    case Type::WorkbookFailed:
        m_failed << QDir::fromNativeSeparators(event.path);
        // A workbook whose changes were not saved has no changed sheets;
        // printed sheets stay printed.
        if (m_run == runs::RunType::PageSetup)
            m_sheets -= m_sheetsInWorkbook;
        m_sheetsInWorkbook = 0;
        ++m_settled;
        m_lastSettledMs = msSinceStart;
        break;
    case Type::WorkbookDone:
        ++m_settled;
        m_lastSettledMs = msSinceStart;
        break;
    case Type::WorkbookSkipped:
        // Only a workbook the run ended before is one of the total; one that
        // was not there never was.
        if (!event.failure) {
            ++m_settled;
            m_lastSettledMs = msSinceStart;
        }
        break;
    case Type::Report:
        m_sheets = event.sheets;
        break;
    case Type::RunEnded:
        m_running = false;
        break;
    default:
        break;
    }
    m_settled = std::min(m_settled, m_total);
    m_sheets = std::max(m_sheets, 0);
}

qint64 RunProgress::remainingMs(qint64 msSinceStart) const
{
    if (m_settled <= 0 || m_settled >= m_total)
        return -1;
    const qint64 perWorkbook = m_lastSettledMs / m_settled;
    const qint64 left = perWorkbook * (m_total - m_settled) - (msSinceStart - m_lastSettledMs);
    return std::max<qint64>(left, 0);
}

QString RunProgress::durationText(qint64 ms)
{
    const qint64 seconds = std::max<qint64>(ms, 0) / 1000;
    const QLatin1Char zero('0');
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, zero)
            .arg(seconds % 60, 2, 10, zero);
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, zero);
}

QString RunProgress::summaryText(qint64 msSinceStart) const
{
    QStringList parts;
    parts << (m_run == runs::RunType::Print
                  ? QCoreApplication::translate("RunProgress", "已打印%n个表", nullptr, m_sheets)
                  : QCoreApplication::translate("RunProgress", "已修改%n个表", nullptr, m_sheets));
    if (!m_failed.isEmpty())
        parts << QCoreApplication::translate("RunProgress", "失败%n个", nullptr, failures());
    parts << QCoreApplication::translate("RunProgress", "用时%1").arg(durationText(msSinceStart));
    const qint64 left = remainingMs(msSinceStart);
    if (left >= 0)
        parts << QCoreApplication::translate("RunProgress", "剩余约%1").arg(durationText(left));
    return parts.join(QCoreApplication::translate("RunProgress", "，"));
}

} // namespace runcontrol
