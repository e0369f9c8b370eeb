#pragma once

#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace tornyx::test {

// Time that moves only when someone sleeps or waits: the 3000 ms waits of a
// run take no real time in a test. A run that waits for ever would make a
// test spin until the suite's time-out; past a day of simulated time the
// clock fails the test and throws out of the wait instead.
class FakeClock final : public platform::Clock {
public:
    static constexpr std::int64_t CapUs = 24LL * 3600 * 1000000;

    std::int64_t nowUs() override { return m_now; }
    void sleepUs(std::int64_t us) override {
        ++m_sleeps;
        if (us > 0)
            m_now += us;
        if (oversleep)
            m_now += oversleep(m_sleeps);
        checkCap();
    }
    void advanceTo(std::int64_t us) {
        if (us > m_now)
            m_now = us;
        checkCap();
    }
    int sleeps() const { return m_sleeps; }

    // How much later than asked the n-th sleep ends, as on a busy computer.
    std::function<std::int64_t(int n)> oversleep;

private:
    static constexpr std::int64_t StartUs = 1000000;

    void checkCap() {
        if (m_now - StartUs <= CapUs)
            return;
        if (!m_capped) {
            m_capped = true;
            ADD_FAILURE() << "more than a day of simulated time passed: a loop that never ends";
        }
        throw std::runtime_error("simulated time cap");
    }

    std::int64_t m_now = StartUs;
    int m_sleeps = 0;
    bool m_capped = false;
};

} // namespace tornyx::test
