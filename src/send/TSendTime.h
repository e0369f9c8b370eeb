#pragma once

#include "status/TransferState.h"

namespace tornyx {

// The remaining-time estimate, run once per ten-second tick of Timer2. The
// computation is a few instructions, so the main window calls tick() from
// the timer handler itself; there is no thread to outlive the window.
class TSendTime {
public:
    static constexpr int TickMs = 10000;

    // With more than 10 characters of progress since the last sample:
    // rate = progress / 10 s, remaining = (total - sent) / rate, and the
    // sample moves on. Otherwise the previous estimate stays.
    static void tick(SendCounters& c);
};

} // namespace tornyx
