// Interruption of a command-line run by SIGINT (Ctrl-C) or SIGTERM: the
// signal handler only raises lock-free atomic flags, which the run polls at
// its checkpoints exactly like the window's stop button and the quit flag.
#pragma once

#include "runs/runcontrol.h"

namespace cli {

// Marks the run as interrupted: raises the process-wide flag and the stop and
// quit flags of cliRunControl().  Async-signal-safe.
void requestInterrupt() noexcept;
bool interruptRequested() noexcept;
// Lowers the process-wide flag again (tests that run several jobs in one
// process; the program itself never does).
void clearInterrupt() noexcept;

// The flags of the command-line runs.  Process-wide, so that a signal handler
// can reach them at any moment without a pointer that might dangle.
runs::RunControl& cliRunControl();

// Routes SIGINT and SIGTERM to requestInterrupt().  A second signal ends the
// program at once (exit 130) after ending the spreadsheet processes it
// started, for a run that does not come to its checkpoint.  SIGPIPE is
// ignored, so that a closed output pipe cannot kill the program while a
// spreadsheet process is running.
void installInterruptHandlers();

} // namespace cli
