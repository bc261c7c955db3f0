#include "engines/libreoffice/libreofficeapplication.h"

#include "engines/libreoffice/libreoffice.h"
#include "engines/libreoffice/officelocks.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace engines::lo {

// The workbooks collection the runs hold: every open passes through the
// application, which may put a fresh office in place first.
class LibreOfficeApplication::OfficeWorkbooks : public Workbooks
{
public:
    explicit OfficeWorkbooks(LibreOfficeApplication& app) : m_app(app) {}
    std::unique_ptr<Workbook> open(const QString& nativePath, OpenMode mode,
                                   Failure* failure = nullptr) override
    {
        return m_app.open(nativePath, mode, failure);
    }

private:
    LibreOfficeApplication& m_app;
};

LibreOfficeApplication::LibreOfficeApplication()
    : m_documents(std::make_unique<LoWorkbooks>(nullptr)),
      m_workbooks(std::make_unique<OfficeWorkbooks>(*this))
{}

LibreOfficeApplication::~LibreOfficeApplication()
{
    quit();
}

void LibreOfficeApplication::start()
{
    if (m_session)
        return;
    m_session = UnoSession::start(m_limits, m_printTarget);
    m_documents->setSession(m_session);
    m_recycleHeld = false;
}

Workbooks* LibreOfficeApplication::workbooks()
{
    return m_session ? m_workbooks.get() : nullptr;
}

double LibreOfficeApplication::centimetersToPoints(double centimetres)
{
    return centimetres / 2.54 * 72.0;
}

void LibreOfficeApplication::endSession()
{
    m_session->shutdown();
    m_peakMemoryKiB = std::max(m_peakMemoryKiB, m_session->peakMemoryKiB());
}

void LibreOfficeApplication::quit()
{
    if (!m_session)
        return;
    endSession();
    m_documents->setSession(nullptr);
    m_session.reset();
}

bool LibreOfficeApplication::lost() const
{
    return m_session && m_session->lost();
}

Failure LibreOfficeApplication::lostFailure() const
{
    return m_session ? m_session->lostFailure() : Failure{FailureKind::OfficeCrashed, {}};
}

bool LibreOfficeApplication::restart()
{
    quit();
    start();
    return m_session != nullptr;
}

void LibreOfficeApplication::setPrintTarget(const PrintTarget& target)
{
    m_printTarget = target;
    if (m_session)
        m_session->setPrintTarget(target);
}

void LibreOfficeApplication::setCallLimits(const CallLimits& limits)
{
    m_limits = limits;
    if (m_session)
        m_session->setLimits(limits);
}

qint64 LibreOfficeApplication::processId() const
{
    return m_session ? m_session->processId() : 0;
}

qint64 LibreOfficeApplication::peakMemoryKiB() const
{
    if (!m_session || !m_session->usable())
        return m_peakMemoryKiB;
    return std::max(m_peakMemoryKiB, m_session->memory().peakKiB);
}

std::unique_ptr<Workbook> LibreOfficeApplication::open(const QString& nativePath, OpenMode mode,
                                                       Failure* failure)
{
    if (!m_session)
        return nullptr;
    const QString path = QFileInfo(QDir::fromNativeSeparators(nativePath)).absoluteFilePath();
    // A lock file that an office of an earlier run left behind when it was
    // killed would refuse the workbook for good.
    if (mode == OpenMode::ForEditing)
        removeStaleLockFile(path);
    recycleIfDue();
    m_session->willOpen(path, mode);
    return m_documents->open(nativePath, mode, failure);
}

void LibreOfficeApplication::recycleIfDue()
{
    // A lost office is the run's to restart; one with a workbook open is
    // still in use.
    if (m_recycleHeld || !m_session->usable() || m_session->openDocumentCount() > 0)
        return;
    bool due = m_recycle.workbooks > 0 && m_session->workbooksOpened() >= m_recycle.workbooks;
    if (!due && m_recycle.memoryKiB > 0) {
        const qint64 now = m_session->memory().currentKiB;
        const qint64 bound =
            std::max(m_recycle.memoryKiB, m_recycle.startMultiple * m_session->startMemoryKiB());
        due = now > bound;
    }
    if (!due)
        return;
    // The fresh office is started before the old one ends: when it cannot
    // be started, the run goes on with the old one as if nothing happened.
    std::shared_ptr<UnoSession> fresh = UnoSession::start(m_limits, m_printTarget);
    if (!fresh) {
        m_recycleHeld = true;
        return;
    }
    endSession();
    m_session = std::move(fresh);
    m_documents->setSession(m_session);
    ++m_recycles;
}

} // namespace engines::lo

namespace engines::lo {

std::unique_ptr<spreadsheet::Application> createLibreOfficeApplication()
{
    return std::make_unique<LibreOfficeApplication>();
}

bool officeInstalled()
{
    return QFileInfo(QStringLiteral(QUORVANE_LO_PROGRAM_DIR "/soffice.bin")).isExecutable();
}

} // namespace engines::lo
