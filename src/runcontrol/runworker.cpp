#include "runcontrol/runworker.h"

#include "runs/runs.h"

RunWorker::RunWorker(runs::RunEnvironment environment, runs::RunControl& control, QObject* parent)
    : QObject(parent), m_environment(std::move(environment)), m_control(control)
{
    qRegisterMetaType<runs::RunEvent>();
}

void RunWorker::print()
{
    runs::runPrint(m_print, m_control, m_environment,
                   [this](const runs::RunEvent& event) { emit runEvent(event); });
}

void RunWorker::changePageSetup()
{
    runs::runPageSetup(m_pageSetup, m_control, m_environment,
                       [this](const runs::RunEvent& event) { emit runEvent(event); });
}
