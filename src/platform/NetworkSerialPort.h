#pragma once

#include "platform/ComPortProtocol.h"
#include "platform/PortNames.h"
#include "platform/SerialPort.h"

#include <QByteArray>

namespace tornyx::platform {

// A serial line on an Ethernet serial device server, opened by a [Ports]
// value "rfc2217://HOST:PORT" or "tcp://HOST:PORT" (see parsePortMapping).
//
// RFC 2217: the line parameters, DTR and RTS, the flow-control modes and
// the purges go to the box as COM-PORT-OPTION commands; the box reports
// CTS, DSR and carrier with NOTIFY-MODEMSTATE (nullopt until its first
// report). The box cannot be told the XON/XOFF characters: its own
// software flow control is asked for only when the characters are the
// standard 0x11/0x13, so that it never eats a 0x93 pause or a data byte
// that a different character set leaves alone. The XOFF limits are kept
// only (the box has its own), received NUL bytes are dropped here when
// asked, and 1.5 stop bits go to the box as such.
//
// Raw TCP: bytes as they are; the line is set in the box, so the
// parameters are only kept (setsLineParameters() is false) and the modem
// lines read as on.
//
// A socket has no driver queue to count: queuedOutput() is what the kernel
// has not yet put on the network, plus one byte while the box holds us
// (FLOWCONTROL-SUSPEND, or CTS off under hardware flow control), so the
// writer's own line model sets the pace. A peer that takes no data for
// longer than the write time-out, that resets, closes or stops answering
// (keepalive every second after two idle seconds, unacknowledged data for
// five seconds) fails the next write, and lineLost() turns true.
class NetworkSerialPort final : public SerialPort {
public:
    struct Timing {
        int openMs = 5000;   // name, connection and Telnet negotiation together
        int probeMs = 500;   // a probe only connects
        int answerMs = 3000; // the box confirming the line settings
    };

    NetworkSerialPort() = default;
    explicit NetworkSerialPort(Timing timing) : m_timing(timing) {}
    ~NetworkSerialPort() override;
    NetworkSerialPort(const NetworkSerialPort&) = delete;
    NetworkSerialPort& operator=(const NetworkSerialPort&) = delete;

    bool open(const QString& url) override;
    PortState probe(const QString& url) override;
    bool isOpen() const override { return m_fd >= 0; }
    void close() override;

    std::optional<LineParameters> lineParameters() override;
    bool setLineParameters(const LineParameters& p) override;
    std::optional<Timeouts> timeouts() override;
    bool setTimeouts(const Timeouts& t) override;
    bool setQueueSizes(int inBytes, int outBytes) override;
    bool purge() override;

    int queuedInput() override;
    int queuedOutput() override;
    std::optional<unsigned char> readByte() override;
    bool writeByte(unsigned char b) override;

    std::optional<ModemLines> modemStatus() override;
    bool raiseDtr() override;
    bool raiseRts() override;

    bool waitForInput(std::int64_t timeoutUs) override;
    bool lineLost() override;
    int descriptor() const override { return m_fd; }
    QString lastError() const override { return m_error; }
    QString peerName() const override { return m_mapping.isNetwork() ? m_mapping.address() : QString(); }
    bool setsLineParameters() const override { return !isRaw(); }

private:
    bool isRaw() const { return m_mapping.kind == PortMapping::Kind::RawTcp; }
    bool parse(const QString& url);
    int connectTo(std::int64_t deadlineUs);
    bool negotiate(std::int64_t deadlineUs);
    // Reads what the socket holds; false once the connection is gone.
    bool fill();
    // Sends the pending output, waiting for room until the deadline; false
    // when the connection is gone or the deadline passed with output left.
    // Deadline 0: only what goes without waiting, true unless gone.
    bool flush(std::int64_t deadlineUs);
    // Sleeps in poll() until the socket is readable or the deadline.
    void waitReadable(std::int64_t deadlineUs);
    bool awaitAnswers(std::initializer_list<unsigned char> commands, std::int64_t deadlineUs);
    bool lose(int error);
    bool isHeld();
    int writeTimeoutMs() const;
    void reset();

    Timing m_timing;
    PortMapping m_mapping;
    int m_fd = -1;
    ComPortProtocol m_protocol;
    QByteArray m_in;
    qsizetype m_inPos = 0;
    LineParameters m_params;
    Timeouts m_timeouts;
    bool m_lost = false;  // the connection is gone
    bool m_stuck = false; // the peer took no data for longer than the write time-out
    int m_lastQueued = 0;
    std::int64_t m_stallSinceUs = 0;
    long m_savedTimerSlack = 0;
    QString m_error;
};

} // namespace tornyx::platform
