// The spreadsheet application on Linux: a private, headless LibreOffice.
#pragma once

#include "engines/libreoffice/libreofficedocument.h"
#include "engines/libreoffice/unosession.h"
#include "spreadsheet/spreadsheet.h"

#include <memory>

namespace engines::lo {

// The engine implements the spreadsheet interface; its names are used bare.
using namespace ::spreadsheet;

// Each application runs its own office (own profile, own pipe), so it never
// touches an office the user has open.  quit() ends exactly that process.
class LibreOfficeApplication : public Application
{
public:
    LibreOfficeApplication();
    ~LibreOfficeApplication() override;

    void start() override;
    // Stays the same object for the life of the application, across
    // restarts of the office.
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
    // The office's process id, 0 when none runs.
    qint64 processId() const;
    // The live session, for tools that build workbooks through the office.
    std::shared_ptr<UnoSession> session() const { return m_session; }

private:
    class OfficeWorkbooks;

    std::unique_ptr<Workbook> open(const QString& nativePath, OpenMode mode, Failure* failure);

    CallLimits m_limits;
    PrintTarget m_printTarget;
    std::shared_ptr<UnoSession> m_session;
    std::unique_ptr<LoWorkbooks> m_documents;
    std::unique_ptr<OfficeWorkbooks> m_workbooks;
};

} // namespace engines::lo
