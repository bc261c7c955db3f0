#include "engines/libreoffice/libreofficeapplication.h"

#include "engines/libreoffice/libreoffice.h"
#include "engines/libreoffice/officelocks.h"

#include <QDir>
#include <QFileInfo>

#include <QFileInfo>

namespace engines::lo {

// The workbooks collection the runs hold: every open passes through the
// application.
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
}

Workbooks* LibreOfficeApplication::workbooks()
{
    return m_session ? m_workbooks.get() : nullptr;
}

double LibreOfficeApplication::centimetersToPoints(double centimetres)
{
    return centimetres / 2.54 * 72.0;
}

void LibreOfficeApplication::quit()
{
    if (!m_session)
        return;
    m_session->shutdown();
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
    m_session->willOpen(path, mode);
    return m_documents->open(nativePath, mode, failure);
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
