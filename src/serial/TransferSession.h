#pragma once

#include "platform/Clock.h"
#include "platform/SerialPort.h"
#include "serial/LineHost.h"
#include "serial/LineOptions.h"
#include "serial/LinePacer.h"
#include "serial/LineSettings.h"
#include "serial/NcCode.h"
#include "status/TransferLog.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace tornyx {

// The serial line of one transfer and the state the send, receive and DNC
// runs share: line settings, code mode, the raw-next flag, the stop request,
// the write-failure flag, the data-phase flag and the transfer log text.
// The main window owns one for the life of the program and hands it to
// each run; a test builds one over an emulated port, a fake host and a
// fake clock.
//
// How a run uses it:
//
//   TransferSession& s = ...;
//   s.clearStop();                         // send and DNC runs, at their start
//   s.log().start("  送信\n");
//   if (!s.openLine(SendKind, profile, options)) {   // reason shown and logged
//       s.closeLine();                     // the port may be open (later step failed)
//       ... the run's own stop path ...
//   }
//   s.setCodeMode(CodeMode::Iso);          // openLine set it from the code already
//   if (s.writeChar('%')) ... stop;       // true = stop the run (XOFF/CAN, stop
//                                          // request, line check, write failure)
//   while (s.queuedInput() > 0) c = s.readChar();   // receive: decoded, 0 = failed
//   s.waitForInput(5000);                  // start signal: sleeps, pumps events
//   s.waitMs(4000);                        // before closing; pumps events
//   s.closeLine();
//   s.log().write(TransferLog::Send);
//
// The stop button calls requestStop(); every wait inside writeChar and the
// waits below pump the host's events at most every 16 ms and sleep in the
// port's poll in between, so the button acts within about 20 ms and a wait
// costs no processor time.
class TransferSession {
public:
    // Maps a port name of a profile ("COM1") to a device path; empty when it
    // has none.
    using PortResolver = std::function<QString(const QString& name)>;

    TransferSession(platform::SerialPort& port, LineHost& host, platform::Clock& clock,
                    TransferLog::Now now = &QDateTime::currentDateTime);

    // Default: the fixed mapping COM<n> -> /dev/ttyS<n-1>; the program sets
    // one that reads the section "Ports" of its option file.
    void setPortResolver(PortResolver resolve) { m_resolve = std::move(resolve); }

    // --- the line ---------------------------------------------------------

    // Copies the profile's fields of the kind (SendKind or ReceiveKind) into
    // settings(), opens the port and configures it, logging every step, and
    // runs the line-switch sequence when options.autoSwitch. false when the
    // transfer must not start; the message has been shown and the log line
    // written. The port may be left open on false: call closeLine().
    bool openLine(LineDirection kind, const CommProfile& profile, const LineOptions& options);

    // Sends one text character (encoded for codeMode()). It first waits until
    // the line has room for it: the writer runs at most the lead ahead of the
    // modelled line (see LinePacer), so the line stays busy through a late
    // wake-up shorter than the lead. The machine's pause request is looked
    // for right before the byte is handed over and while waiting for room.
    // The 4000 ms before closing, InvTime and the other waits count from
    // when the byte has left (waitMs).
    // true means "stop the run": CAN during a pause, the stop request, a
    // failed line check, or a write that failed (logged). Also sets
    // writeFailed() to the answer.
    bool writeChar(unsigned char c);

    // One byte from the line, decoded; 0 when nothing could be read. Call
    // after queuedInput() reported data (it waits up to 3000 ms otherwise).
    unsigned char readChar();

    // Bytes waiting to be read (driver queue and the port's buffer).
    int queuedInput();
    // Bytes written but not yet handed to the line.
    int queuedOutput();

    // Current modem lines, also shown on the DSR and CTS indicators; nullopt
    // when they cannot be read (pseudo-terminal), lamps untouched then.
    std::optional<platform::ModemLines> updateModemLamps();

    void closeLine();
    bool isOpen() const { return m_port.isOpen(); }
    // True when the port is reached over the network and its connection is
    // gone for good (reset, closed, or silent past the keepalives); the
    // first time, logs "  通信回線切断の為中止" and the box's address.
    // Unlike a local line that hangs up, such a connection never comes
    // back, so a run waiting for data ends on it.
    bool isConnectionLost();

    // --- waits (none burns the processor; all pump events every 16 ms) -----

    // Waits ms milliseconds after the last byte written has left the line.
    // With stopOnRequest, ends early and answers true when the stop request
    // is set.
    bool waitMs(std::int64_t ms, bool stopOnRequest = true);
    // Waits until a byte is waiting, the stop request is set or timeoutMs
    // passes (timeoutMs < 0: no limit). true when input is waiting.
    bool waitForInput(std::int64_t timeoutMs);
    // Pumps the host's events when 16 ms have passed since the last pump.
    void pumpEvents();

    // --- run state ---------------------------------------------------------

    LineSettings& settings() { return m_settings; }
    const LineSettings& settings() const { return m_settings; }
    const LineOptions& options() const { return m_options; }
    // The line parameters openLine applied (character time, speed).
    const platform::LineParameters& lineParameters() const { return m_params; }
    // The most the writer may run ahead of the line, in microseconds, from
    // the next openLine on; 0: LinePacer::defaultMaxLeadUs of the line.
    void setMaxWriteLeadUs(std::int64_t us) { m_maxWriteLeadUs = us; }
    const LinePacer& pacer() const { return m_pacer; }

    CodeMode codeMode() const { return m_mode; }
    void setCodeMode(CodeMode mode) { m_mode = mode; }
    // The pause (XOFF) character of this transfer: 0x13 or 0x93.
    unsigned char pauseCharacter() const { return nc::pauseCharacter(m_options.dc3Is93); }

    // The next writeChar sends its character unencoded, without checks.
    bool isRawNext() const { return m_rawNext; }
    void setRawNext(bool on) { m_rawNext = on; }

    bool isStopRequested() const { return m_stop; }
    void requestStop() { m_stop = true; }
    void clearStop() { m_stop = false; }

    // The answer of the last writeChar.
    bool writeFailed() const { return m_writeFailed; }
    void setWriteFailed(bool failed) { m_writeFailed = failed; }

    // How long the machine has held the writer with its pause character,
    // in all (microseconds of the session's clock): a drip feed that is
    // held is not starving.
    std::int64_t heldUs() const { return m_heldUs; }

    // Set by the runs once the program data flows (cleared by openLine).
    bool isDataPhase() const { return m_dataPhase; }
    void setDataPhase(bool on) { m_dataPhase = on; }

    TransferLog& log() { return m_log; }
    const TransferLog& log() const { return m_log; }

    platform::SerialPort& port() { return m_port; }
    LineHost& host() { return m_host; }
    platform::Clock& clock() { return m_clock; }

private:
    bool openLineSteps(LineDirection kind, const CommProfile& profile);
    bool fail(const QString& message, const QString& logLine);
    bool switchLine();
    void startPacing();
    bool handOver(unsigned char b);
    bool waitForRoom();
    bool honourPause();
    bool pauseUntilXon();
    bool writeFailure();
    void logPeerFault();

    platform::SerialPort& m_port;
    LineHost& m_host;
    platform::Clock& m_clock;
    PortResolver m_resolve;
    TransferLog m_log;

    LineSettings m_settings;
    LineOptions m_options;
    platform::LineParameters m_params;
    CodeMode m_mode = CodeMode::Raw;
    bool m_rawNext = false;
    bool m_stop = false;
    bool m_writeFailed = false;
    bool m_dataPhase = false;
    bool m_writeErrorLogged = false;
    bool m_connectionLossLogged = false;
    std::int64_t m_lastPumpUs = 0;
    LinePacer m_pacer;
    std::int64_t m_maxWriteLeadUs = 0;
    std::int64_t m_heldUs = 0;
};

// What a probe of "COM"n finds (SerialPort::probe: nothing another program
// relies on is changed, a port another program holds is Busy, a device
// server is only connected to, briefly). An excluded port (compared in upper
// case) and a name without a device are Unavailable and never touched.
platform::PortState probePortState(int n, platform::SerialPort& port, const LineOptions& options,
                                   const TransferSession::PortResolver& resolve);
// True when "COM"n is Free. Used to list ports 1..30 and at program end.
bool probePort(int n, platform::SerialPort& port, const LineOptions& options,
               const TransferSession::PortResolver& resolve);

} // namespace tornyx
