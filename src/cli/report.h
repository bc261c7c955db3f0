// The --report file: one CSV row per workbook of a run, for scripts to act on.
#pragma once

#include "runs/events.h"

#include <QList>
#include <QString>

namespace cli {

// Collects what became of each workbook from a run's events, in the order
// the run reached them.
class WorkbookReport
{
public:
    void add(const runs::RunEvent& event);

    // RFC 4180 CSV in UTF-8, with a header row:
    //   path,outcome,sheets,pages,reason
    // outcome is done, failed or skipped; pages (of a print run) is empty when
    // not known;
    // reason is a fixed word ("password-protected", "print-refused", ...),
    // followed by ": " and the details when there are any.
    QByteArray csv() const;
    // Writes csv() to path, replacing the file only once it is complete.
    bool write(const QString& path, QString* error) const;

private:
    struct Row
    {
        QString path;
        QString outcome;
        int sheets = 0;
        int pages = 0;
        bool pagesKnown = true;
        QString reason;
    };
    Row& rowFor(const QString& path);

    QList<Row> m_rows;
    bool m_printRun = true; // pages are a print run's only
};

} // namespace cli
