// The worker object: lives in its own thread for one run, runs the batch print
// run or the batch page-setup run, and reports back through two signals.
#pragma once

#include "automation/spreadsheet.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace automation {
struct RunEnvironment;
}

class MergeObject : public QObject
{
    Q_OBJECT
public:
    using ApplicationFactory = std::function<std::unique_ptr<automation::Application>()>;

    explicit MergeObject(const QString& folder, QObject* parent = nullptr);

    // The spreadsheet application the runs drive; LibreOffice unless a test
    // puts its own in place.  Process-wide, set before a run starts.
    static void setApplicationFactory(ApplicationFactory factory);
    static ApplicationFactory applicationFactory();

    // Test seams, process-wide, set before a run starts.  The opener shows
    // the failure list (default: the desktop's text editor); the adjuster
    // may change any part of a run's environment after it has been built.
    using FailedListOpener = std::function<void(const QString& path)>;
    static void setFailedListOpener(FailedListOpener opener);
    using EnvironmentAdjuster = std::function<void(automation::RunEnvironment&)>;
    static void setEnvironmentAdjuster(EnvironmentAdjuster adjuster);

signals:
    void ShowDisposingFile(QString filePath);
    void Set_pBtn_FileMerge_Enable();

public slots:
    void ExcelFileMerge();
    void ChangeMargin();

private:
    QString m_folder;
};
