#pragma once

#include "platform/Clock.h"

namespace tornyx::test {

// Real time, except that the run's 4000 ms before closing the line can be
// skipped once the receive is saved: the machine is done by then.
class SkippingClock final : public platform::Clock {
public:
    std::int64_t nowUs() override { return m_real.nowUs() + m_offsetUs; }
    void sleepUs(std::int64_t us) override { m_real.sleepUs(us); }
    void skip(std::int64_t us) { m_offsetUs += us; }

private:
    platform::SystemClock m_real;
    std::int64_t m_offsetUs = 0;
};

} // namespace tornyx::test
