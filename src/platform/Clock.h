#pragma once

#include <cstdint>

namespace tornyx::platform {

// Monotonic time for the transfer loops. The runs take a Clock& so that a
// test can make the 3000 ms and 4000 ms waits instant with a fake clock.
class Clock {
public:
    virtual ~Clock() = default;
    // Microseconds since an arbitrary fixed point; never goes backwards.
    virtual std::int64_t nowUs() = 0;
    // Blocks the thread (no busy wait) for about us microseconds.
    virtual void sleepUs(std::int64_t us) = 0;

    std::int64_t nowMs() { return nowUs() / 1000; }
    void sleepMs(std::int64_t ms) { sleepUs(ms * 1000); }
};

// CLOCK_MONOTONIC and clock_nanosleep.
class SystemClock final : public Clock {
public:
    std::int64_t nowUs() override;
    void sleepUs(std::int64_t us) override;
};

} // namespace tornyx::platform
