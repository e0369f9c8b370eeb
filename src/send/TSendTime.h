#pragma once

#include <atomic>
#include <cstdint>

namespace tornyx {

// Counters shared by the send run and the remaining-time estimate. Each is
// one 32-bit word read and written atomically, so the estimate may run on
// another thread without a lock; a reader sees the old or the new value.
struct SendCounters {
    std::atomic<int32_t> totalCount{0};      // characters to send in this run
    std::atomic<int32_t> sentCount{0};       // characters accounted for so far
    std::atomic<int32_t> lastSampleCount{0}; // sentCount at the previous estimate
    std::atomic<int32_t> remainingSeconds{0};

    // A new run: every counter 0 except the total.
    void reset(int32_t total) {
        totalCount = total;
        sentCount = 0;
        lastSampleCount = 0;
        remainingSeconds = 0;
    }
};

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
