#include "platform/SerialPort.h"

namespace tornyx::platform {

namespace {

// The time of one character in units of 1/perSecond s, rounded up. Counted
// in half bits, so that 1.5 stop bits stay exact.
std::int64_t characterTime(const LineParameters& p, std::int64_t perSecond) {
    if (p.baud <= 0)
        return 0;
    const std::int64_t halfBits = 2 * (1 + p.dataBits + (p.parity == Parity::None ? 0 : 1)) +
                                  (p.stopBits == StopBits::One            ? 2
                                   : p.stopBits == StopBits::OnePointFive ? 3
                                                                          : 4);
    const std::int64_t den = 2 * std::int64_t(p.baud);
    return (halfBits * perSecond + den - 1) / den;
}

} // namespace

std::int64_t LineParameters::characterTimeUs() const {
    return characterTime(*this, 1000000);
}

std::int64_t LineParameters::characterTimeNs() const {
    return characterTime(*this, 1000000000);
}

PortState SerialPort::probe(const QString& devicePath) {
    if (!open(devicePath))
        return PortState::Unavailable;
    close();
    return PortState::Free;
}

} // namespace tornyx::platform
