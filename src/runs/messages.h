// The texts the runs' events are shown as, in one place for every front end.
#pragma once

#include "runs/events.h"

#include <QString>

namespace runs {

// The one-line text an event is shown as in the status line (and on the
// command line), or an empty text for events that have none.
QString eventText(const RunEvent& event);

// Whether an event reports that something went wrong (shown even when the
// progress is not).
bool isFailureEvent(const RunEvent& event);

// Why a workbook failed, in words for the user (its detail appended).
QString failureText(const spreadsheet::Failure& failure);

// A short fixed word for a failure kind, for files that scripts read
// ("password-protected", "damaged", ...); empty for None.
QString failureKeyword(spreadsheet::FailureKind kind);

QString reportText(RunType run, int workbooks, int sheets, qint64 seconds);

} // namespace runs
