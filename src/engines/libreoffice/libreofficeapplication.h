// The spreadsheet application on Linux: a private, headless LibreOffice.
#pragma once

#include "engines/libreoffice/libreofficedocument.h"
#include "engines/libreoffice/unosession.h"
#include "spreadsheet/spreadsheet.h"

#include <memory>

namespace engines::lo {

// The engine implements the spreadsheet interface; its names are used bare.
using namespace ::spreadsheet;

// When the office is replaced by a fresh one, between workbooks (a workbook
// is about to be opened and none is open), so that a long run holds it to a
// bounded size: the office grows on real workbooks and never gives it back.
struct RecycleLimits
{
    // Its memory (resident and swapped out) has passed both this and
    // startMultiple times its memory after start.  The second keeps an
    // office that is large from the start from being replaced at every
    // workbook.  0: never for its memory.
    qint64 memoryKiB = 512 * 1024;
    int startMultiple = 3;
    // It has opened this many workbooks.  0: never for the count.
    int workbooks = 1000;
};

// Each application runs its own office (own profile, own pipe), so it never
// touches an office the user has open.  quit() ends exactly that process.
class LibreOfficeApplication : public Application
{
public:
    LibreOfficeApplication();
    ~LibreOfficeApplication() override;

    void start() override;
    // Stays the same object for the life of the application, across
    // restarts and replacements of the office.
    Workbooks* workbooks() override;
    double centimetersToPoints(double centimetres) override;
    void quit() override;
    bool lost() const override;
    Failure lostFailure() const override;
    bool restart() override;
    void setPrintTarget(const PrintTarget& target) override;

    // When a call counts as hung.  Takes effect at once, also for a running
    // office.
    void setCallLimits(const CallLimits& limits);
    void setRecycleLimits(const RecycleLimits& limits) { m_recycle = limits; }
    // The office's process id, 0 when none runs.
    qint64 processId() const;
    // The live session, for tools that build workbooks through the office.
    std::shared_ptr<UnoSession> session() const { return m_session; }

    // How often the office was replaced for its size or its workbook count.
    int recycleCount() const { return m_recycles; }
    // The highest peak resident memory of any office this application ran,
    // in KiB, as far as seen (at replacements, quits and this call).
    qint64 peakMemoryKiB() const;

private:
    class OfficeWorkbooks;

    std::unique_ptr<Workbook> open(const QString& nativePath, OpenMode mode, Failure* failure);
    void recycleIfDue();
    void endSession();

    CallLimits m_limits;
    RecycleLimits m_recycle;
    PrintTarget m_printTarget;
    std::shared_ptr<UnoSession> m_session;
    std::unique_ptr<LoWorkbooks> m_documents;
    std::unique_ptr<OfficeWorkbooks> m_workbooks;
    bool m_recycleHeld = false;
    int m_recycles = 0;
    qint64 m_peakMemoryKiB = -1;
};

} // namespace engines::lo
