// The worker object: runs one batch run (printing, or changing page setup) in
// the thread it was moved to, started by a queued call, and reports every
// event of the run back by a signal.
#pragma once

#include "runs/environment.h"
#include "runs/events.h"
#include "runs/options.h"
#include "runs/runcontrol.h"

#include <QObject>

class RunWorker : public QObject
{
    Q_OBJECT
public:
    // control outlives the worker; the front end raises its flags while the
    // run goes on.
    RunWorker(runs::RunEnvironment environment, runs::RunControl& control,
              QObject* parent = nullptr);

    // The options of the next run, set before its start is signalled.
    void setPrintOptions(const runs::PrintOptions& options) { m_print = options; }
    void setPageSetupOptions(const runs::PageSetupOptions& options) { m_pageSetup = options; }

signals:
    // Every event of the run, in order; the last is RunEnded.
    void runEvent(const runs::RunEvent& event);

public slots:
    void print();
    void changePageSetup();

private:
    runs::RunEnvironment m_environment;
    runs::RunControl& m_control;
    runs::PrintOptions m_print;
    runs::PageSetupOptions m_pageSetup;
};
