#include "engines/libreoffice/libreofficeapplication.h"

#include "engines/libreoffice/libreoffice.h"

#include <QFileInfo>

namespace engines::lo {

LibreOfficeApplication::~LibreOfficeApplication()
{
    quit();
}

void LibreOfficeApplication::start()
{
    if (m_session)
        return;
    m_session = UnoSession::start(m_limits, m_printTarget);
    if (m_session) {
        if (m_workbooks)
            m_workbooks->setSession(m_session);
        else
            m_workbooks = std::make_unique<LoWorkbooks>(m_session);
    }
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
    if (m_workbooks)
        m_workbooks->setSession(nullptr);
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
