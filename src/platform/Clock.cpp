#include "platform/Clock.h"

#include <cerrno>
#include <ctime>

namespace tornyx::platform {

std::int64_t SystemClock::nowUs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void SystemClock::sleepUs(std::int64_t us) {
    if (us <= 0)
        return;
    timespec ts{};
    ts.tv_sec = time_t(us / 1000000);
    ts.tv_nsec = long(us % 1000000) * 1000;
    while (::clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, &ts) == EINTR) {
    }
}

} // namespace tornyx::platform
