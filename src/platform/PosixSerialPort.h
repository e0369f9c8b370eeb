#pragma once

#include "platform/SerialPort.h"

#include <QByteArray>

namespace tornyx::platform {

// A serial device (/dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM*) or the slave of a
// pseudo-terminal through termios.
//
// - Opened O_RDWR | O_NOCTTY | O_NONBLOCK; exclusive through TIOCEXCL and an
//   flock() on the descriptor (TIOCEXCL does not stop a root process).
// - The line is always raw (no canonical input, echo, signals or output
//   processing), CREAD and CLOCAL on: the program checks carrier itself.
// - XON/XOFF characters go to c_cc[VSTART]/c_cc[VSTOP], so 0x93 works.
// - readByte() and queuedInput() go through the port's own buffer: when it
//   is empty, everything FIONREAD reports is read in one read().
// - Waits sleep in ppoll(); write() is never left to block.
class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort() = default;
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    bool open(const QString& devicePath) override;
    bool isOpen() const override { return m_fd >= 0; }
    void close() override;
    PortState probe(const QString& devicePath) override;

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

private:
    bool fail(const char* what);
    // Moves what the driver holds into m_buffer; false on a read error.
    bool fillBuffer();
    bool setModemBit(int bit, bool on);

    int m_fd = -1;
    QByteArray m_buffer;
    qsizetype m_bufferPos = 0;
    LineParameters m_params; // the values only this layer keeps
    bool m_paramsSet = false;
    Timeouts m_timeouts;
    QString m_error;
    long m_savedTimerSlack = 0;
};

// Speeds outside the POSIX B-constants need termios2; kept apart because
// <asm/termbits.h> cannot share a file with <termios.h>.
bool setCustomSpeed(int fd, int baud);
int readCustomSpeed(int fd);

} // namespace tornyx::platform
