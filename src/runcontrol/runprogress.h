// What the window shows of a run beyond its status line: workbooks settled
// out of the total, sheets printed or changed, failures, elapsed time and an
// estimate of the time left, and the workbooks that failed, in order.  Fed
// with the run's events and the milliseconds since the run started, so that
// it needs no clock of its own.
#pragma once

#include "runs/events.h"

#include <QString>
#include <QStringList>

namespace runcontrol {

class RunProgress
{
public:
    // Forgets the last run.
    void reset();
    // Takes one event of the run, msSinceStart after the run's start.
    void apply(const runs::RunEvent& event, qint64 msSinceStart);

    bool running() const { return m_running; }
    runs::RunType run() const { return m_run; }
    int total() const { return m_total; }
    // Workbooks done, failed, or passed over because the run ended first.
    int settled() const { return m_settled; }
    int sheets() const { return m_sheets; }
    int failures() const { return int(m_failed.size()); }
    // The workbooks that failed, in the order they failed, with "/" as the
    // separator, as the workbook list holds them.
    QStringList failedWorkbooks() const { return m_failed; }

    // Time left, from the mean time of the workbooks settled so far; -1 until
    // one has settled, and once every workbook has.
    qint64 remainingMs(qint64 msSinceStart) const;

    // "已打印12个表，失败1个，用时0:42，剩余约1:30".
    QString summaryText(qint64 msSinceStart) const;

    // m:ss, or h:mm:ss from an hour on.
    static QString durationText(qint64 ms);

private:
    bool m_running = false;
    runs::RunType m_run = runs::RunType::Print;
    int m_total = 0;
    int m_settled = 0;
    int m_sheets = 0;
    int m_sheetsInWorkbook = 0;
    qint64 m_lastSettledMs = 0;
    QStringList m_failed;
};

} // namespace runcontrol
