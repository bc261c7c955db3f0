#include "runs/session.h"

namespace runs {

ApplicationSession::ApplicationSession(const RunEnvironment& env, const EventSink& events,
                                       RunType run)
    : m_env(env), m_events(events), m_run(run)
{}

ApplicationSession::~ApplicationSession()
{
    quit();
}

bool ApplicationSession::start(const spreadsheet::PrintTarget* target)
{
    m_app = m_env.createApplication();
    RunEvent starting;
    starting.type = RunEvent::Type::ApplicationStarting;
    starting.run = m_run;
    m_events(starting);
    if (m_app) {
        if (target)
            m_app->setPrintTarget(*target);
        m_app->start();
        m_books = m_app->workbooks();
    }
    RunEvent ready;
    ready.type = RunEvent::Type::ApplicationReady;
    ready.run = m_run;
    m_events(ready);
    return m_books != nullptr;
}

bool ApplicationSession::restart()
{
    m_books = nullptr;
    if (!m_app || !m_app->restart())
        return false;
    m_books = m_app->workbooks();
    return m_books != nullptr;
}

void ApplicationSession::quit()
{
    m_books = nullptr;
    if (!m_app)
        return;
    m_app->quit();
    m_app.reset();
}

} // namespace runs
