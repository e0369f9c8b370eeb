#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace tornyx::platform {

enum class Parity { None, Even, Odd };
enum class StopBits { One, OnePointFive, Two };

// How the driver drives DTR or RTS while the port is open.
enum class LineControl {
    Off,       // held low
    On,        // held high ("always on")
    Handshake, // driven by the driver's input flow control
};

// The line parameters the transfers set. Fields a transfer does not touch
// keep what lineParameters() read from the device.
//
// Linux has no exact equivalent for some of them; the POSIX port does this:
// - xonLimit / xoffLimit: the tty layer has fixed thresholds for sending
//   XOFF/XON when inputXonXoff is on; the values are kept and reported back
//   but do not change the kernel's thresholds. The receive run throttles the
//   machine with its own thresholds on queuedInput() in any case.
// - discardNul: done in software, received 0x00 bytes are dropped as they
//   enter the port's read buffer.
// - StopBits::OnePointFive: POSIX only has one or two stop bits (two means
//   1.5 with 5 data bits on a 16550); two stop bits are sent, which any
//   receiver expecting 1.5 accepts.
// - txContinueOnXoff, abortOnError: no equivalent; kept and reported only.
// - outputDsrFlow: no equivalent; kept and reported only.
// - outputCtsFlow: CRTSCTS. Linux couples it with RTS input flow control,
//   so rts == Handshake without outputCtsFlow just keeps RTS raised.
// - dtr == Handshake: no DTR flow control exists; DTR is kept raised.
// - Speeds outside the POSIX table (14400) are set through termios2/BOTHER.
struct LineParameters {
    int baud = 9600;
    int dataBits = 8;
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    unsigned char xonChar = 0x11;
    unsigned char xoffChar = 0x13;
    int xonLimit = 0;
    int xoffLimit = 0;
    bool outputXonXoff = false; // stop sending when the peer sends XOFF (IXON)
    bool inputXonXoff = false;  // send XOFF/XON when our input fills (IXOFF)
    bool txContinueOnXoff = false;
    bool abortOnError = false;
    bool discardNul = false;
    bool outputCtsFlow = false;
    bool outputDsrFlow = false;
    LineControl dtr = LineControl::On;
    LineControl rts = LineControl::On;

    // Time of one character on the line (start bit, data bits, parity, stop
    // bits) in microseconds, rounded up.
    std::int64_t characterTimeUs() const;
    // The same in nanoseconds, so that a model of a fast line does not drift
    // (95.49 us at 115200 bit/s 8N2 would run 0.5% slow in whole microseconds).
    std::int64_t characterTimeNs() const;
};

struct Timeouts {
    int readIntervalMs = 0;
    int readTotalMultiplierMs = 0;
    int readTotalConstantMs = 0;
    int writeTotalMultiplierMs = 0;
    int writeTotalConstantMs = 0;
};

struct ModemLines {
    bool cts = false;
    bool dsr = false;
    bool carrier = false; // RLSD / DCD
};

// What a probe of a device path found.
enum class PortState {
    Free,        // a terminal nobody else holds: a transfer can open it
    Busy,        // another program holds it (its lock, exclusive use, an open
                 // descriptor) or it is the system console
    Unavailable, // missing, not a terminal, no hardware behind it, or not ours
};

// The operations the transfers need from a serial port. One instance is one
// port; it is opened and closed per transfer. All calls are made on the
// user-interface thread and never block longer than the read timeout.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens the device for reading and writing, exclusively (a second opener
    // fails while this one holds it). On failure lastError() says why.
    virtual bool open(const QString& devicePath) = 0;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;
    // Whether devicePath could be opened for a transfer, found without
    // changing anything another program relies on: no line settings, no
    // locks taken or cleared. Not for a port this object has open. On Busy
    // and Unavailable lastError() says why. This default opens and closes; a
    // port on the network only tries to connect, briefly.
    virtual PortState probe(const QString& devicePath);

    virtual std::optional<LineParameters> lineParameters() = 0;
    virtual bool setLineParameters(const LineParameters& p) = 0;
    virtual std::optional<Timeouts> timeouts() = 0;
    virtual bool setTimeouts(const Timeouts& t) = 0;
    // Driver queue sizes; a port whose driver has fixed buffers keeps them
    // and answers true.
    virtual bool setQueueSizes(int inBytes, int outBytes) = 0;
    // Empties both queues (and the port's own read buffer).
    virtual bool purge() = 0;

    // Received bytes waiting to be read; 0 when the query fails.
    virtual int queuedInput() = 0;
    // Bytes written but not yet handed to the line; 0 when the query fails
    // (a pseudo-terminal always answers 0).
    virtual int queuedOutput() = 0;

    // One byte. Waits for it up to the read total timeout; nullopt on
    // timeout or error.
    virtual std::optional<unsigned char> readByte() = 0;
    // One byte. Never blocks in write(): when the driver's queue is full it
    // waits for room up to the write timeout (or 3000 ms when none is set).
    // false on failure (device gone, timeout); lastError() says why.
    virtual bool writeByte(unsigned char b) = 0;

    // CTS, DSR and carrier; nullopt when the device cannot report them (a
    // pseudo-terminal has no modem lines).
    virtual std::optional<ModemLines> modemStatus() = 0;
    virtual bool raiseDtr() = 0;
    virtual bool raiseRts() = 0;

    // Sleeps until a byte can be read or timeoutUs has passed, without
    // burning the processor. true when input is waiting.
    virtual bool waitForInput(std::int64_t timeoutUs) = 0;

    // true when the device has gone away or the peer has hung up, so no byte
    // will ever come again (a pulled USB adapter, a closed pseudo-terminal).
    // Bytes that arrived before are still readable until then.
    virtual bool lineLost() { return false; }
    // The descriptor a caller may poll, -1 when the port has none.
    virtual int descriptor() const = 0;

    virtual QString lastError() const = 0;

    // "HOST:PORT" of a port reached over the network, which the log names
    // when its connection fails (lastError() then says how, for the
    // operator); empty for a local device.
    virtual QString peerName() const { return {}; }
    // false when the line is set in the device and setLineParameters() only
    // keeps the values (a raw socket to a device server).
    virtual bool setsLineParameters() const { return true; }
};

} // namespace tornyx::platform
