#pragma once

#include "platform/SerialPort.h"
#include "support/FakeClock.h"

#include <QByteArray>

#include <deque>
#include <functional>
#include <vector>

namespace tornyx::test {

// A serial line without hardware, timed by a FakeClock: bytes written leave
// one character time of the set framing apart, the driver queue counts the
// bytes not yet handed to the UART, the peer's bytes arrive at given times,
// and the modem lines are whatever the test sets (or unreadable, like a pty).
class EmulatedSerialPort final : public platform::SerialPort {
public:
    explicit EmulatedSerialPort(FakeClock& clock) : m_clock(clock) {}

    // --- the test's side ---
    void setOpenFails(bool fails) { m_openFails = fails; }
    void setLineParametersFail(bool fails) { m_setParamsFails = fails; }
    void setTimeoutsFail(bool fails) { m_timeoutsFail = fails; }
    void setPurgeFails(bool fails) { m_purgeFails = fails; }
    void setWriteFails(bool fails) { m_writeFails = fails; }
    // From atUs on, the peer is gone (the line reports a hang-up once what
    // it sent before has been read).
    void hangUpAt(std::int64_t atUs) { m_lostAtUs = atUs; }
    // nullopt: the modem status cannot be read.
    void setModemLines(std::optional<platform::ModemLines> lines) { m_modem = lines; }
    // The peer sends bytes starting at atUs (default now), one character
    // time apart; each counts as received when its last bit is in.
    void deliver(const QByteArray& bytes, std::int64_t atUs = -1);
    // Called for every byte the program writes, with the time its last bit
    // has left (the peer can answer with deliver()).
    std::function<void(unsigned char byte, std::int64_t doneUs)> onWrite;

    QByteArray written() const { return m_written; }
    // When each written byte started on the line.
    const std::vector<std::int64_t>& writtenAt() const { return m_writtenAt; }
    QString openedPath() const { return m_path; }
    int openCount() const { return m_opens; }
    int closeCount() const { return m_closes; }
    int purgeCount() const { return m_purges; }
    int dtrRaised() const { return m_dtrRaised; }
    int rtsRaised() const { return m_rtsRaised; }
    const platform::LineParameters& applied() const { return m_params; }
    const platform::Timeouts& appliedTimeouts() const { return m_timeouts; }

    // --- SerialPort ---
    bool open(const QString& devicePath) override;
    bool isOpen() const override { return m_open; }
    void close() override;
    std::optional<platform::LineParameters> lineParameters() override;
    bool setLineParameters(const platform::LineParameters& p) override;
    std::optional<platform::Timeouts> timeouts() override;
    bool setTimeouts(const platform::Timeouts& t) override;
    bool setQueueSizes(int, int) override { return true; }
    bool purge() override;
    int queuedInput() override;
    int queuedOutput() override;
    std::optional<unsigned char> readByte() override;
    bool writeByte(unsigned char b) override;
    std::optional<platform::ModemLines> modemStatus() override { return m_open ? m_modem : std::nullopt; }
    bool raiseDtr() override { return m_open && ++m_dtrRaised; }
    bool raiseRts() override { return m_open && ++m_rtsRaised; }
    bool waitForInput(std::int64_t timeoutUs) override;
    bool lineLost() override {
        return m_lostAtUs >= 0 && m_clock.nowUs() >= m_lostAtUs && queuedInput() == 0;
    }
    int descriptor() const override { return -1; }
    QString lastError() const override { return m_error; }

private:
    struct Arrival {
        std::int64_t atUs;
        unsigned char byte;
    };
    std::int64_t charUs() const;

    FakeClock& m_clock;
    bool m_open = false;
    bool m_openFails = false;
    bool m_setParamsFails = false;
    bool m_timeoutsFail = false;
    bool m_purgeFails = false;
    bool m_writeFails = false;
    std::int64_t m_lostAtUs = -1;
    std::optional<platform::ModemLines> m_modem = platform::ModemLines{true, true, true};
    platform::LineParameters m_params;
    platform::Timeouts m_timeouts;
    std::deque<Arrival> m_input;
    std::int64_t m_lineFreeUs = 0;
    QByteArray m_written;
    std::vector<std::int64_t> m_writtenAt;
    QString m_path;
    QString m_error;
    int m_opens = 0;
    int m_closes = 0;
    int m_purges = 0;
    int m_dtrRaised = 0;
    int m_rtsRaised = 0;
};

} // namespace tornyx::test
