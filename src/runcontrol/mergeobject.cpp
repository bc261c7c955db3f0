#include "runcontrol/mergeobject.h"

#include "app/platform/processes.h"
#include "app/platform/texteditor.h"
#include "automation/application.h"
#include "automation/runs.h"
#include "runcontrol/runoptions.h"

#include <QMutex>
#include <QMutexLocker>
#include <QThread>

#include <ctime>

namespace {

// The process-wide hooks; written by the GUI thread (or a test) before a run,
// read by the worker thread when a run starts.
struct Hooks
{
    QMutex mutex;
    MergeObject::ApplicationFactory factory;
    MergeObject::FailedListOpener opener;
    MergeObject::EnvironmentAdjuster adjuster;
};

Hooks& hooks()
{
    static Hooks h;
    return h;
}

// What a run of this worker needs from its surroundings: progress and the end
// go out as the worker's signals.
automation::RunEnvironment workerEnvironment(MergeObject* worker)
{
    MergeObject::ApplicationFactory factory;
    MergeObject::FailedListOpener opener;
    MergeObject::EnvironmentAdjuster adjuster;
    {
        QMutexLocker lock(&hooks().mutex);
        factory = hooks().factory;
        opener = hooks().opener;
        adjuster = hooks().adjuster;
    }

    automation::RunEnvironment env;
    if (factory)
        env.createApplication = factory;
    else
        env.createApplication = &automation::createSpreadsheetApplication;
    env.progress = [worker](const QString& text) { emit worker->ShowDisposingFile(text); };
    env.finished = [worker]() { emit worker->Set_pBtn_FileMerge_Enable(); };
    env.countProcesses = &countProcessesByName;
    if (opener)
        env.openFailedList = opener;
    else
        env.openFailedList = &openInTextEditor;
    env.sleep = [](int milliseconds) {
        if (milliseconds > 0)
            QThread::msleep(static_cast<unsigned long>(milliseconds));
    };
    env.now = []() { return static_cast<qint64>(std::time(nullptr)); };
    if (adjuster)
        adjuster(env);
    return env;
}

} // namespace

MergeObject::MergeObject(const QString& folder, QObject* parent) : QObject(parent), m_folder(folder)
{}

void MergeObject::setApplicationFactory(ApplicationFactory factory)
{
    QMutexLocker lock(&hooks().mutex);
    hooks().factory = std::move(factory);
}

MergeObject::ApplicationFactory MergeObject::applicationFactory()
{
    QMutexLocker lock(&hooks().mutex);
    if (hooks().factory)
        return hooks().factory;
    return &automation::createSpreadsheetApplication;
}

void MergeObject::setFailedListOpener(FailedListOpener opener)
{
    QMutexLocker lock(&hooks().mutex);
    hooks().opener = std::move(opener);
}

void MergeObject::setEnvironmentAdjuster(EnvironmentAdjuster adjuster)
{
    QMutexLocker lock(&hooks().mutex);
    hooks().adjuster = std::move(adjuster);
}

void MergeObject::ExcelFileMerge()
{
    automation::runPrint(runOptions(), workerEnvironment(this));
}

void MergeObject::ChangeMargin()
{
    automation::runPageSetup(m_folder, runOptions(), workerEnvironment(this));
}
