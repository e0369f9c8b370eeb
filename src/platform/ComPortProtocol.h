#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>
#include <optional>

namespace tornyx::platform {

// The client side of Telnet with the COM-PORT-OPTION (RFC 854, 856, 858,
// 2217), without the socket: bytes from the server go into receive(), the
// data bytes among them come out, and everything to be sent (negotiation
// answers, port commands, escaped data) collects in output().
//
// Every byte value passes: a data 0xFF goes out as IAC IAC and comes back
// from IAC IAC, so an ISO DEL with its parity bit arrives unchanged. BINARY
// is asked for both ways, because without it a Telnet peer may turn CR into
// CR NUL or take bytes for NVT controls.
namespace telnet {
constexpr unsigned char Se = 240;
constexpr unsigned char Nop = 241;
constexpr unsigned char Sb = 250;
constexpr unsigned char Will = 251;
constexpr unsigned char Wont = 252;
constexpr unsigned char Do = 253;
constexpr unsigned char Dont = 254;
constexpr unsigned char Iac = 255;

constexpr unsigned char Binary = 0;
constexpr unsigned char Echo = 1;
constexpr unsigned char SuppressGoAhead = 3;
constexpr unsigned char ComPort = 44;
} // namespace telnet

// COM-PORT-OPTION commands, client to server; the server answers with the
// same number plus 100.
namespace comport {
constexpr unsigned char SetBaudRate = 1;
constexpr unsigned char SetDataSize = 2;
constexpr unsigned char SetParity = 3;
constexpr unsigned char SetStopSize = 4;
constexpr unsigned char SetControl = 5;
constexpr unsigned char NotifyModemState = 7;
constexpr unsigned char FlowControlSuspend = 8;
constexpr unsigned char FlowControlResume = 9;
constexpr unsigned char SetLineStateMask = 10;
constexpr unsigned char SetModemStateMask = 11;
constexpr unsigned char PurgeData = 12;
constexpr unsigned char ServerOffset = 100;

// SET-PARITY values
constexpr unsigned char ParityNone = 1, ParityOdd = 2, ParityEven = 3;
// SET-STOPSIZE values
constexpr unsigned char StopOne = 1, StopTwo = 2, StopOneAndHalf = 3;
// SET-CONTROL values
constexpr unsigned char OutboundNone = 1, OutboundXonXoff = 2, OutboundHardware = 3;
constexpr unsigned char DtrOn = 8, DtrOff = 9, RtsOn = 11, RtsOff = 12;
constexpr unsigned char InboundNone = 14, InboundXonXoff = 15, InboundHardware = 16;
// PURGE-DATA: both the server's receive and transmit buffers
constexpr unsigned char PurgeBoth = 3;
// NOTIFY-MODEMSTATE bits
constexpr unsigned char ModemCarrier = 0x80, ModemDsr = 0x20, ModemCts = 0x10;
} // namespace comport

class ComPortProtocol {
public:
    enum class Negotiation { Pending, Done, Refused };

    // Asks for BINARY both ways, SUPPRESS-GO-AHEAD both ways and the
    // COM-PORT-OPTION.
    void start();
    // Feeds bytes from the server; appends the data bytes to data.
    void receive(const char* bytes, std::size_t n, QByteArray& data);
    // Bytes waiting to be sent; the caller removes what the socket took.
    QByteArray& output() { return m_out; }

    // Done once the server does the COM-PORT-OPTION and BINARY both ways;
    // Refused when it declines one of them.
    Negotiation negotiation() const;

    void sendData(unsigned char b);
    void sendCommand(unsigned char command, const QByteArray& value);
    void sendCommand(unsigned char command, unsigned char value) {
        sendCommand(command, QByteArray(1, char(value)));
    }
    static QByteArray baudValue(std::uint32_t baud);

    // The last answer of the server to a command (its value bytes), nullopt
    // when none came since forgetAnswer(command).
    std::optional<QByteArray> answer(unsigned char command) const;
    void forgetAnswer(unsigned char command);
    // The last NOTIFY-MODEMSTATE, nullopt before the first.
    std::optional<unsigned char> modemState() const { return m_modemState; }
    // The server asked us to hold our data (FLOWCONTROL-SUSPEND).
    bool isSuspended() const { return m_suspended; }

private:
    enum class State { Data, Iac, Verb, Sub, SubIac };
    enum class Option : std::uint8_t { No, WantYes, Yes };

    void negotiate(unsigned char verb, unsigned char option);
    void subnegotiation();
    void sendVerb(unsigned char verb, unsigned char option);
    static bool weSupport(unsigned char option);
    static bool theySupport(unsigned char option);

    QByteArray m_out;
    State m_state = State::Data;
    unsigned char m_verb = 0;
    QByteArray m_sub;
    std::array<Option, 256> m_us{};   // options on our side (WILL/WONT)
    std::array<Option, 256> m_them{}; // options on the server's side (DO/DONT)
    std::array<std::optional<QByteArray>, 13> m_answers;
    std::optional<unsigned char> m_modemState;
    bool m_suspended = false;
};

} // namespace tornyx::platform
