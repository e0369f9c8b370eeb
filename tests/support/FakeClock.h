#pragma once

#include "platform/Clock.h"

#include <functional>

namespace tornyx::test {

// Time that moves only when someone sleeps or waits: the 3000 ms waits of a
// run take no real time in a test.
class FakeClock final : public platform::Clock {
public:
    std::int64_t nowUs() override { return m_now; }
    void sleepUs(std::int64_t us) override {
        ++m_sleeps;
        if (us > 0)
            m_now += us;
        if (oversleep)
            m_now += oversleep(m_sleeps);
    }
    void advanceTo(std::int64_t us) {
        if (us > m_now)
            m_now = us;
    }
    int sleeps() const { return m_sleeps; }

    // How much later than asked the n-th sleep ends, as on a busy computer.
    std::function<std::int64_t(int n)> oversleep;

private:
    std::int64_t m_now = 1000000;
    int m_sleeps = 0;
};

} // namespace tornyx::test
