// What a run reports while it goes, as typed events.  Front ends turn them
// into what they show: the window's status line and progress, the command
// line's output and report file.  eventText() (messages.h) gives the one-line
// texts both front ends show.
#pragma once

#include "spreadsheet/spreadsheet.h"

#include <QMetaType>
#include <QString>

namespace runs {

enum class RunType { Print, PageSetup };

// How a run ended.
enum class Ending {
    Normal,
    NoApplication,   // no usable spreadsheet application
    Stopped,         // stop pressed, or the program is quitting
    InvalidRange,    // the print range cannot be resolved
    ApplicationLost, // the application died and no fresh one could be started
};

struct RunEvent
{
    enum class Type {
        RunStarted,          // total: workbooks the run will visit
        ApplicationStarting, // about to start the spreadsheet application
        ApplicationReady,    // its workbooks collection was asked for
        NoApplication,       // there is none: the run ends
        WorkbookDelay,       // seconds: waiting before the next workbook
        WorkbookStarted,     // index of total, path: about to open it
        SheetDelay,          // seconds: waiting before the next sheet
        SheetDone,           // path, sheet: printed (pages when known) or changed
                             // (the page setup before and as asked for)
        WorkbookDone,        // index, path, sheets: done with it
        WorkbookFailed,      // index, path, failure: listed as failed
        WorkbookSkipped,     // path (failure when known, sheets done so far): not
                             // gone through: no such file, or the run ended first
        InvalidRange,        // path: the print range is invalid for it; the run ends
        ApplicationLost,     // the application is gone for good; the run ends
        Stopped,             // a stop or quit was honoured
        Report,              // workbooks (W), sheets (S), elapsedSeconds (T)
        RunEnded,            // ending; always the last event, exactly once
    };

    Type type = Type::RunStarted;
    RunType run = RunType::Print;
    int index = 0; // 1-based number of the workbook among those the run visits
    int total = 0;
    QString path; // native separators
    QString sheet;
    int pages = -1; // -1 when not known
    int seconds = 0;
    int workbooks = 0;
    int sheets = 0;
    qint64 elapsedSeconds = 0;
    spreadsheet::Failure failure;
    spreadsheet::PageSetupValues before, after; // margins in inches
    Ending ending = Ending::Normal;
};

} // namespace runs

Q_DECLARE_METATYPE(runs::RunEvent)
