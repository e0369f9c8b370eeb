#include "support/EmulatedSerialPort.h"

#include <algorithm>

namespace tornyx::test {

std::int64_t EmulatedSerialPort::charUs() const {
    return std::max<std::int64_t>(1, m_params.characterTimeUs());
}

bool EmulatedSerialPort::open(const QString& devicePath) {
    close();
    if (m_openFails) {
        m_error = "open: Device or resource busy";
        return false;
    }
    m_open = true;
    m_path = devicePath;
    ++m_opens;
    return true;
}

void EmulatedSerialPort::close() {
    if (!m_open)
        return;
    m_open = false;
    ++m_closes;
}

std::optional<platform::LineParameters> EmulatedSerialPort::lineParameters() {
    if (!m_open)
        return std::nullopt;
    return m_params;
}

bool EmulatedSerialPort::setLineParameters(const platform::LineParameters& p) {
    if (!m_open || m_setParamsFails)
        return false;
    m_params = p;
    return true;
}

std::optional<platform::Timeouts> EmulatedSerialPort::timeouts() {
    if (!m_open || m_timeoutsFail)
        return std::nullopt;
    return m_timeouts;
}

bool EmulatedSerialPort::setTimeouts(const platform::Timeouts& t) {
    if (!m_open)
        return false;
    m_timeouts = t;
    return true;
}

bool EmulatedSerialPort::purge() {
    if (!m_open || m_purgeFails)
        return false;
    ++m_purges;
    const std::int64_t now = m_clock.nowUs();
    std::erase_if(m_input, [&](const Arrival& a) { return a.atUs <= now; });
    return true;
}

void EmulatedSerialPort::deliver(const QByteArray& bytes, std::int64_t atUs) {
    std::int64_t t = atUs < 0 ? m_clock.nowUs() : atUs;
    for (const char c : bytes) {
        t += charUs();
        const Arrival a{t, static_cast<unsigned char>(c)};
        const auto at = std::upper_bound(m_input.begin(), m_input.end(), a,
                                         [](const Arrival& x, const Arrival& y) { return x.atUs < y.atUs; });
        m_input.insert(at, a);
    }
}

int EmulatedSerialPort::queuedInput() {
    if (!m_open)
        return 0;
    const std::int64_t now = m_clock.nowUs();
    return int(
        std::count_if(m_input.begin(), m_input.end(), [&](const Arrival& a) { return a.atUs <= now; }));
}

int EmulatedSerialPort::queuedOutput() {
    if (!m_open)
        return 0;
    const std::int64_t now = m_clock.nowUs();
    // Start times only grow: count from the newest back (long sends stay linear).
    int n = 0;
    for (auto it = m_writtenAt.rbegin(); it != m_writtenAt.rend() && *it > now; ++it)
        ++n;
    return n;
}

std::optional<unsigned char> EmulatedSerialPort::readByte() {
    if (!m_open)
        return std::nullopt;
    const std::int64_t timeoutUs = std::int64_t(m_timeouts.readTotalConstantMs) * 1000;
    if (m_input.empty() || m_input.front().atUs > m_clock.nowUs() + timeoutUs) {
        m_clock.sleepUs(timeoutUs);
        return std::nullopt;
    }
    m_clock.advanceTo(m_input.front().atUs);
    const unsigned char b = m_input.front().byte;
    m_input.pop_front();
    return b;
}

bool EmulatedSerialPort::writeByte(unsigned char b) {
    if (!m_open || m_writeFails) {
        m_error = "write: Input/output error";
        return false;
    }
    const std::int64_t start = std::max(m_clock.nowUs(), m_lineFreeUs);
    m_lineFreeUs = start + charUs();
    m_written.append(char(b));
    m_writtenAt.push_back(start);
    if (onWrite)
        onWrite(b, m_lineFreeUs);
    return true;
}

bool EmulatedSerialPort::waitForInput(std::int64_t timeoutUs) {
    if (!m_open) {
        m_clock.sleepUs(timeoutUs);
        return false;
    }
    const std::int64_t now = m_clock.nowUs();
    if (!m_input.empty() && m_input.front().atUs <= now + timeoutUs) {
        m_clock.advanceTo(m_input.front().atUs);
        return true;
    }
    m_clock.sleepUs(timeoutUs);
    return false;
}

} // namespace tornyx::test
