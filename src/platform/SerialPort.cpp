#include "platform/SerialPort.h"

namespace tornyx::platform {

std::int64_t LineParameters::characterTimeUs() const {
    if (baud <= 0)
        return 0;
    // In half bits, so that 1.5 stop bits stay exact.
    const std::int64_t halfBits =
        2 * (1 + dataBits + (parity == Parity::None ? 0 : 1)) + (stopBits == StopBits::One            ? 2
                                                                 : stopBits == StopBits::OnePointFive ? 3
                                                                                                      : 4);
    const std::int64_t den = 2 * std::int64_t(baud);
    return (halfBits * 1000000 + den - 1) / den;
}

} // namespace tornyx::platform
