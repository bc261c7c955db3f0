// The spreadsheet application of one run, from its start to its end: starting
// it, starting a fresh one when it died or hung, and quitting it.  Internal to
// the runs module.
#pragma once

#include "runs/environment.h"
#include "spreadsheet/spreadsheet.h"

#include <memory>

namespace runs {

class ApplicationSession
{
public:
    ApplicationSession(const RunEnvironment& env, const EventSink& events, RunType run);
    ~ApplicationSession();

    ApplicationSession(const ApplicationSession&) = delete;
    ApplicationSession& operator=(const ApplicationSession&) = delete;

    // Creates and starts the application, reporting ApplicationStarting and
    // ApplicationReady; false when it has no workbooks collection.
    bool start(const spreadsheet::PrintTarget* target);

    spreadsheet::Application& application() { return *m_app; }
    // Null before start(), after a failed start or restart, and after quit().
    spreadsheet::Workbooks* workbooks() const { return m_books; }
    bool lost() const { return m_app && m_app->lost(); }

    // After the application died or hung: quits what is left of it and starts
    // a fresh one.  False when none could be had.
    bool restart();

    // Quits the application and lets go of it.  Idempotent.
    void quit();

private:
    const RunEnvironment& m_env;
    const EventSink& m_events;
    RunType m_run;
    std::unique_ptr<spreadsheet::Application> m_app;
    spreadsheet::Workbooks* m_books = nullptr;
};

} // namespace runs
