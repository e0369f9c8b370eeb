#include "send/TSendTime.h"

#include <cstdlib>

namespace tornyx {

void TSendTime::tick(SendCounters& c) {
    const int32_t sent = c.sentCount.load();
    const int32_t last = c.lastSampleCount.load();
    const int64_t progress = int64_t(sent) - last;
    if (std::llabs(progress) <= 10)
        return;
    const int64_t rate = progress / (TickMs / 1000);
    // |progress| > 10 gives |rate| >= 1: no division by zero. Backward
    // progress (a restart) gives a negative estimate for one tick.
    c.remainingSeconds = int32_t((int64_t(c.totalCount.load()) - sent) / rate);
    c.lastSampleCount = sent;
}

} // namespace tornyx
