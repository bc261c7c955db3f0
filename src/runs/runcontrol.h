// The flags a front end raises while a run goes on: pause and stop (the print
// run polls them at its checkpoints) and quit (the program is ending: both
// runs end after the workbook in hand, the print run also at its sheet
// checkpoints, whatever pause and stop say).  Lock-free, so a signal handler
// may raise them.
#pragma once

#include <atomic>

namespace runs {

struct RunControl
{
    std::atomic<bool> pauseRequested{false};
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> quitRequested{false};
};

static_assert(std::atomic<bool>::is_always_lock_free, "run flags must be lock-free");

} // namespace runs
