#include "cli/report.h"

#include "runs/messages.h"

#include <QSaveFile>

namespace cli {

namespace {

QByteArray csvField(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') ||
        bytes.contains('\r')) {
        bytes.replace('"', "\"\"");
        bytes = '"' + bytes + '"';
    }
    return bytes;
}

QString reasonOf(const spreadsheet::Failure& failure)
{
    const QString word = runs::failureKeyword(failure.kind);
    if (word.isEmpty())
        return failure.detail;
    return failure.detail.isEmpty() ? word : word + QStringLiteral(": ") + failure.detail;
}

} // namespace

WorkbookReport::Row& WorkbookReport::rowFor(const QString& path)
{
    for (Row& row : m_rows) {
        if (row.path == path)
            return row;
    }
    m_rows.append(Row{path, QString(), 0, 0, true, QString()});
    return m_rows.last();
}

void WorkbookReport::add(const runs::RunEvent& event)
{
    using Type = runs::RunEvent::Type;
    switch (event.type) {
    case Type::RunStarted:
        m_printRun = event.run == runs::RunType::Print;
        break;
    case Type::WorkbookStarted:
        rowFor(event.path);
        break;
    case Type::SheetDone: {
        Row& row = rowFor(event.path);
        ++row.sheets;
        if (event.pages < 0)
            row.pagesKnown = false;
        else
            row.pages += event.pages;
        break;
    }
    case Type::WorkbookDone:
        rowFor(event.path).outcome = QStringLiteral("done");
        break;
    case Type::WorkbookFailed: {
        Row& row = rowFor(event.path);
        row.outcome = QStringLiteral("failed");
        row.reason = reasonOf(event.failure);
        // A page-setup change that was not saved changed nothing.
        if (event.run == runs::RunType::PageSetup) {
            row.sheets = 0;
            row.pages = 0;
        }
        break;
    }
    case Type::WorkbookSkipped: {
        Row& row = rowFor(event.path);
        row.outcome = QStringLiteral("skipped");
        row.reason = reasonOf(event.failure);
        break;
    }
    default:
        break;
    }
}

QByteArray WorkbookReport::csv() const
{
    QByteArray bytes("path,outcome,sheets,pages,reason\r\n");
    for (const Row& row : m_rows) {
        // A workbook the run was still on when it ended is reported skipped.
        const QString outcome = row.outcome.isEmpty() ? QStringLiteral("skipped") : row.outcome;
        bytes += csvField(row.path) + ',' + outcome.toUtf8() + ',' +
                 QByteArray::number(row.sheets) + ',' +
                 (m_printRun && row.pagesKnown ? QByteArray::number(row.pages) : QByteArray()) +
                 ',' + csvField(row.reason) + "\r\n";
    }
    return bytes;
}

bool WorkbookReport::write(const QString& path, QString* error) const
{
    QSaveFile file(path);
    const QByteArray bytes = csv();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace cli
