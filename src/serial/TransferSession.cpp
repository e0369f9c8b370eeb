#include "serial/TransferSession.h"

#include "platform/IniFile.h"
#include "platform/PortNames.h"

#include <algorithm>
#include <array>
#include <limits>
#include <stdexcept>

namespace tornyx {

using platform::LineControl;
using platform::LineParameters;
using platform::Parity;
using platform::StopBits;
using Kind = LineHost::Kind;

namespace {

constexpr std::int64_t PumpIntervalUs = 16000;
constexpr int ReadTimeoutMs = 3000;
constexpr int QueueSize = 1024;
constexpr std::int64_t SwitchWaitMs = 3000;

struct Limits {
    int xon;
    int xoff;
};
constexpr std::array<Limits, 20> SendLimits = {{
    {0, 2},    {0, 3},    {0, 4},    {0, 5},     {0, 6},     {0, 7},     {4, 8},
    {4, 9},    {5, 10},   {5, 20},   {5, 30},    {10, 40},   {10, 50},   {20, 100},
    {40, 150}, {60, 200}, {80, 250}, {100, 300}, {150, 400}, {200, 500},
}};
constexpr std::array<Limits, 7> ReceiveLimits = {{
    {128, 512},
    {256, 1024},
    {512, 2048},
    {1024, 3072},
    {2048, 4096},
    {3072, 5120},
    {4096, 6144},
}};

// Send codes: 0 ISO, 1 EIA, 2 ASCII, 3 user framing.
// Receive codes: 0 ISO/EIA automatic, 1 ASCII, 2 EIA, 3 ISO, 4 user framing.
enum class Framing { Eight, SevenEven, User, AsRead };

Framing framingOf(LineDirection kind, int code) {
    if (kind == ReceiveKind) {
        switch (code) {
        case 0:
        case 2:
        case 3:
            return Framing::Eight;
        case 1:
            return Framing::SevenEven;
        case 4:
            return Framing::User;
        default:
            return Framing::AsRead;
        }
    }
    switch (code) {
    case 0:
    case 1:
        return Framing::Eight;
    case 2:
        return Framing::SevenEven;
    case 3:
        return Framing::User;
    default:
        return Framing::AsRead;
    }
}

CodeMode codeModeOf(LineDirection kind, int code) {
    if (kind == ReceiveKind) {
        switch (code) {
        case 0:
            return CodeMode::Undecided;
        case 2:
            return CodeMode::Eia;
        case 3:
            return CodeMode::Iso;
        default:
            return CodeMode::Raw;
        }
    }
    switch (code) {
    case 0:
        return CodeMode::Iso;
    case 1:
        return CodeMode::Eia;
    default:
        return CodeMode::Raw;
    }
}

QString hexByte(unsigned char b) {
    return QString("0x%1").arg(b, 2, 16, QChar('0'));
}

} // namespace

TransferSession::TransferSession(platform::SerialPort& port, LineHost& host, platform::Clock& clock,
                                 TransferLog::Now now)
    : m_port(port), m_host(host), m_clock(clock), m_resolve([](const QString& name) {
          return platform::portDevicePath(name, platform::IniFile(QString()));
      }),
      m_log(std::move(now)) {}

bool TransferSession::fail(const QString& message, const QString& logLine) {
    m_host.showMessage(Kind::Error, message);
    m_log.append(logLine);
    return false;
}

bool TransferSession::openLine(LineDirection kind, const CommProfile& profile, const LineOptions& options) {
    m_options = options;
    m_rawNext = false;
    m_writeFailed = false;
    m_writeErrorLogged = false;
    m_connectionLossLogged = false;
    try {
        return openLineSteps(kind, profile);
    } catch (...) {
        m_rawNext = false;
        return fail("通信ｴﾗｰ!!", "  通信ｴﾗｰ（その他）の為中止\n");
    }
}

bool TransferSession::openLineSteps(LineDirection kind, const CommProfile& profile) {
    m_dataPhase = false;
    m_settings = LineSettings::fromProfile(profile, kind);
    // The switch digits after the first go out encoded; encode them in this
    // transfer's code, not in whatever the previous transfer left behind.
    m_mode = codeModeOf(kind, m_settings.code);

    const QString name = m_settings.port;
    const QString device = m_resolve(name);
    if (device.isEmpty() || !m_port.open(device)) {
        if (!name.contains("COM"))
            return fail("通信ﾎﾟｰﾄが未設定です。!!", "  　通信ﾎﾟｰﾄが未設定の為中止\n");
        fail(name + "の通信ﾎﾟｰﾄが開きません｡!!", "  " + name + "　ﾎﾟｰﾄが開かず中止\n");
        logPeerFault();
        return false;
    }
    m_log.append("  " + name + " ﾎﾟｰﾄｵｰﾌﾟﾝ\n");

    const std::optional<LineParameters> read = m_port.lineParameters();
    if (!read)
        throw std::runtime_error("line parameters");
    LineParameters p = *read;

    const int speed = m_settings.speed;
    if (!isKnownSpeed(speed))
        return fail("通信設定（速度）を確認してください!!", "  通信速度設定不良の為中止\n");
    p.baud = speedBaud(speed);
    m_log.append(speed == TapeSpeed ? QString("  通信機器で固定4800\n")
                                    : "  通信速度は " + QString::number(p.baud) + "\n");

    const SendGroup& s = profile.send;
    const ReadGroup& r = profile.read;
    switch (framingOf(kind, m_settings.code)) {
    case Framing::Eight:
        p.dataBits = 8;
        p.parity = Parity::None;
        m_log.append("  ﾃﾞｰﾀ長8　ﾊﾟﾘﾃｨ無し\n");
        break;
    case Framing::SevenEven:
        p.dataBits = 7;
        p.parity = Parity::Even;
        m_log.append("  ﾃﾞｰﾀ長7　ﾊﾟﾘﾃｨ偶数\n");
        break;
    case Framing::User: {
        const int length = kind == ReceiveKind ? r.dataLength : s.dataLength;
        const int parity = kind == ReceiveKind ? r.parity : s.parity;
        p.dataBits = length == 0 ? 7 : 8;
        QString line = length == 0 ? "  ﾃﾞｰﾀ長7　" : "  ﾃﾞｰﾀ長8　";
        if (parity == 0) {
            p.parity = Parity::None;
            line += "ﾊﾟﾘﾃｨ無し\n";
        } else if (parity == 1) {
            p.parity = Parity::Even;
            line += "ﾊﾟﾘﾃｨ偶数\n";
        } else {
            p.parity = Parity::Odd;
            line += "ﾊﾟﾘﾃｨ奇数\n";
        }
        m_log.append(line);
        break;
    }
    case Framing::AsRead:
        break;
    }

    if (m_settings.stopBits == 0) {
        p.stopBits = StopBits::One;
        m_log.append("  ｽﾄｯﾌﾟﾋﾞｯﾄ1\n");
    } else if (m_settings.stopBits == 1) {
        p.stopBits = StopBits::Two;
        m_log.append("  ｽﾄｯﾌﾟﾋﾞｯﾄ2\n");
    } else {
        p.stopBits = StopBits::OnePointFive;
        m_log.append("  ｽﾄｯﾌﾟﾋﾞｯﾄ1.5\n");
    }

    if (speed == TapeSpeed) {
        p.dataBits = 8;
        p.parity = Parity::None;
        p.stopBits = StopBits::Two;
        m_log.append("  通信機器選択の為以下に固定\n");
        m_log.append("  ﾃﾞｰﾀ長8　ﾊﾟﾘﾃｨ無し　ｽﾄｯﾌﾟﾋﾞｯﾄ2\n");
    }

    const unsigned char xoff = pauseCharacter();
    const QString xoffLine = "  一時停止ｺｰﾄﾞ" + hexByte(xoff) + "\n";
    const QString xonLine = "  開始ｺｰﾄﾞ0x11\n";
    const int buff = m_settings.buff;
    if (kind == ReceiveKind) {
        p.abortOnError = false;
        p.xoffChar = xoff;
        m_log.append(xoffLine);
        p.xonChar = nc::Dc1;
        m_log.append(xonLine);
        if (buff >= 0 && buff < int(ReceiveLimits.size())) {
            p.xonLimit = ReceiveLimits[std::size_t(buff)].xon;
            p.xoffLimit = ReceiveLimits[std::size_t(buff)].xoff;
        }
        p.txContinueOnXoff = false;
        p.inputXonXoff = true;
        p.outputXonXoff = true;
        p.outputCtsFlow = false;
        p.outputDsrFlow = false;
        p.dtr = LineControl::Handshake;
        p.rts = LineControl::Handshake;
        if (m_settings.control == 1) {
            p.inputXonXoff = false;
            p.outputXonXoff = false;
            p.outputCtsFlow = true;
        }
    } else {
        m_log.append("  通信ﾌﾟﾛﾄｺﾙ標準\n");
        p.abortOnError = false;
        p.xoffChar = xoff;
        m_log.append(xoffLine);
        p.xonChar = nc::Dc1;
        m_log.append(xonLine);
        if (buff >= 0 && buff < int(SendLimits.size())) {
            p.xonLimit = SendLimits[std::size_t(buff)].xon;
            p.xoffLimit = SendLimits[std::size_t(buff)].xoff;
        }
        p.txContinueOnXoff = false;
        p.inputXonXoff = false;
        p.outputXonXoff = false;
        p.discardNul = true;
        p.outputCtsFlow = false;
        if (m_settings.control == 1) {
            p.outputCtsFlow = true;
            p.rts = LineControl::Handshake;
        }
    }

    if (m_options.dtrAlwaysOn) {
        // A device without modem lines (pseudo-terminal) refuses; nothing to do then.
        m_port.raiseDtr();
        m_port.raiseRts();
        m_log.append("  DTR信号を常にONに設定\n");
    }
    if (m_options.autoSwitch) {
        p.dtr = LineControl::On;
        p.rts = LineControl::On;
        m_log.append("  ﾎﾟｰﾄ自動選択の為､DTR､RTSを常にＯＮに設定\n");
    }

    if (!m_port.setLineParameters(p)) {
        fail("通信設定ｴﾗｰ!!", "  通信設定が不良の為中止\n");
        logPeerFault();
        return false;
    }
    m_params = p;
    startPacing();
    m_log.append("  通信設定完了\n");
    if (!m_port.setsLineParameters())
        m_log.append("  " + m_port.peerName() +
                     " 通信設定は接続先の機器で固定（本ﾌﾟﾛｸﾞﾗﾑからは設定しない）\n");

    std::optional<platform::Timeouts> t = m_port.timeouts();
    if (!t)
        return fail("ﾀｲﾑｱｳﾄ!!", "  通信ﾀｲﾑｱｳﾄ設定取得不良の為中止\n");
    m_log.append("  通信ﾀｲﾑｱｳﾄ設定取得完了\n");
    t->readIntervalMs = 0;
    t->readTotalConstantMs = ReadTimeoutMs;
    if (!m_port.setTimeouts(*t))
        return fail("ﾀｲﾑｱｳﾄ!!", "  通信ﾀｲﾑｱｳﾄ設定不良の為中止\n");
    m_log.append("  通信ﾀｲﾑｱｳﾄ設定完了\n");

    m_port.setQueueSizes(QueueSize, QueueSize);

    if (!m_port.purge())
        return fail("回線初期化ｴﾗｰ!!", "  通信回線初期化ｴﾗｰの為中止\n");
    m_log.append("  通信回線初期化完了\n");

    updateModemLamps();

    if (!m_options.autoSwitch)
        return true;
    return switchLine();
}

// The writer paces at the speed the device reports back, so a device that
// rounds a speed is modelled at the rate it really runs.
void TransferSession::startPacing() {
    platform::LineParameters line = m_params;
    if (const std::optional<LineParameters> applied = m_port.lineParameters(); applied && applied->baud > 0)
        line.baud = applied->baud;
    const std::int64_t charNs = line.characterTimeNs();
    m_pacer =
        LinePacer(charNs, m_maxWriteLeadUs > 0 ? m_maxWriteLeadUs : LinePacer::defaultMaxLeadUs(charNs));
}

bool TransferSession::switchLine() {
    m_rawNext = true;
    const std::optional<QString> number = m_host.askSwitchNumber();
    // The dialog refuses other characters; a host that lets them through
    // must not put them on the line.
    const bool valid = number && !number->isEmpty() && number->size() <= 3 &&
                       std::all_of(number->begin(), number->end(),
                                   [](QChar c) { return QStringLiteral("012345-").contains(c); });
    if (!valid) {
        m_rawNext = false;
        m_host.showMessage(Kind::Error, "自動選択番号の入力が間違っています｡\n通信を一旦中止します｡");
        m_log.append("  自動選択番号の入力不良の為中止\n");
        return false;
    }
    for (const QChar c : *number) {
        if (c == '-') {
            waitMs(SwitchWaitMs, false);
            continue;
        }
        if (writeChar(static_cast<unsigned char>(c.unicode()))) {
            m_rawNext = false;
            return false;
        }
    }
    waitMs(SwitchWaitMs, false);
    m_rawNext = false;
    return true;
}

std::optional<platform::ModemLines> TransferSession::updateModemLamps() {
    const std::optional<platform::ModemLines> m = m_port.modemStatus();
    if (m) {
        m_host.setDsrLamp(m->dsr);
        m_host.setCtsLamp(m->cts);
    }
    return m;
}

bool TransferSession::writeChar(unsigned char c) {
    m_writeFailed = [&] {
        if (m_options.skipSpaces && c == ' ')
            return false;
        if (m_rawNext) {
            m_rawNext = false;
            return handOver(c);
        }
        const std::optional<unsigned char> encoded = nc::encode(c, m_mode);
        if (!encoded)
            return false;
        if (waitForRoom() || honourPause())
            return true;

        if (const std::optional<platform::ModemLines> m = m_port.modemStatus()) {
            if (!m->carrier && m_settings.signal == 0 && m_settings.kind == SendKind &&
                !m_options.noLineCheck) {
                m_log.append("  回線ﾁｪｯｸ異常の為送信中止\n");
                m_log.append("  ※回線ﾁｪｯｸを行わない:N→Y\n");
                return true;
            }
            m_host.setDsrLamp(m->dsr);
            if (!m->dsr && m_options.dsrCheck) {
                m_log.append("  DSR信号OFFの為送信中止\n");
                m_log.append("  ※DSR信号を併用処理を行う:Y→N\n");
                return true;
            }
            m_host.setCtsLamp(m->cts);
        }
        // A stop pressed while the byte went out answers "stop", as it did
        // while the writer waited for every byte to drain: no DC4 follows.
        return handOver(*encoded) || m_stop;
    }();
    return m_writeFailed;
}

bool TransferSession::handOver(unsigned char b) {
    if (!m_port.writeByte(b))
        return writeFailure();
    m_pacer.noteWritten(m_clock.nowUs());
    return false;
}

bool TransferSession::writeFailure() {
    if (!m_writeErrorLogged) {
        m_log.append("  通信ﾎﾟｰﾄ書込み不良の為中止\n");
        logPeerFault();
        m_writeErrorLogged = true;
    }
    return true;
}

// Waits until the lead has room for one more byte (LinePacer). A pause
// request that comes meanwhile is honoured at once, not when there is room.
bool TransferSession::waitForRoom() {
    const std::int64_t since = m_clock.nowUs();
    for (;;) {
        const int queued = m_port.queuedOutput();
        const std::int64_t now = m_clock.nowUs();
        std::int64_t step = m_pacer.untilRoomUs(now, queued);
        if (step == 0)
            return false;
        pumpEvents();
        if (m_stop)
            return true;
        // A queue that does not drain (CTS held off) is looked at less and
        // less often, up to the pump interval.
        if (queued > 0)
            step = std::max(step, (now - since) / 4);
        step =
            std::clamp<std::int64_t>(step, 1, std::max<std::int64_t>(1, m_lastPumpUs + PumpIntervalUs - now));
        if (m_port.waitForInput(step) && honourPause())
            return true;
    }
}

// The machine's pause request; anything else it sends now is dropped. An
// undecided receive mode is left for the data to settle.
bool TransferSession::honourPause() {
    const unsigned char pause = pauseCharacter();
    while (m_port.queuedInput() > 0) {
        const std::optional<unsigned char> b = m_port.readByte();
        if (!b)
            break;
        CodeMode mode = m_mode;
        if (nc::decode(*b, mode, pause) == pause && pauseUntilXon())
            return true;
    }
    return false;
}

// A port on the network names the box and what went wrong with it, so the
// operator knows which device server to look at.
void TransferSession::logPeerFault() {
    const QString peer = m_port.peerName();
    if (!peer.isEmpty())
        m_log.append("  " + peer + " " + m_port.lastError() + "\n");
}

bool TransferSession::pauseUntilXon() {
    m_pacer.noteIdle();
    const unsigned char pause = pauseCharacter();
    struct Held {
        TransferSession& s;
        std::int64_t from;
        ~Held() { s.m_heldUs += s.m_clock.nowUs() - from; }
    } held{*this, m_clock.nowUs()};
    for (;;) {
        if (m_port.queuedInput() > 0) {
            const std::optional<unsigned char> b = m_port.readByte();
            if (!b)
                continue;
            CodeMode mode = m_mode;
            const unsigned char d = nc::decode(*b, mode, pause);
            if (d == nc::Can)
                return true;
            if (d == nc::Dc1)
                return false;
            continue;
        }
        pumpEvents();
        if (m_stop)
            return true;
        // A machine that hangs up while it holds us would otherwise leave the
        // run waiting for an XON that can never come.
        if (m_port.lineLost()) {
            m_log.append("  通信回線切断の為中止\n");
            logPeerFault();
            return true;
        }
        const std::int64_t now = m_clock.nowUs();
        m_port.waitForInput(std::max<std::int64_t>(1000, m_lastPumpUs + PumpIntervalUs - now));
    }
}

unsigned char TransferSession::readChar() {
    const std::optional<unsigned char> b = m_port.readByte();
    if (!b)
        return 0;
    return nc::decode(*b, m_mode, pauseCharacter());
}

int TransferSession::queuedInput() {
    return m_port.queuedInput();
}
int TransferSession::queuedOutput() {
    return m_port.queuedOutput();
}

bool TransferSession::isConnectionLost() {
    if (m_port.peerName().isEmpty() || !m_port.lineLost())
        return false;
    if (!m_connectionLossLogged) {
        m_log.append("  通信回線切断の為中止\n");
        logPeerFault();
        m_connectionLossLogged = true;
    }
    return true;
}

void TransferSession::closeLine() {
    m_port.close();
}

void TransferSession::pumpEvents() {
    const std::int64_t now = m_clock.nowUs();
    if (now - m_lastPumpUs < PumpIntervalUs)
        return;
    m_lastPumpUs = now;
    m_host.processEvents();
}

bool TransferSession::waitMs(std::int64_t ms, bool stopOnRequest) {
    // Counted from when the last byte handed over has left the line, as the
    // runs' pauses (InvTime, before closing, after a program end) mean it.
    const std::int64_t deadline = std::max(m_clock.nowUs(), m_pacer.idleAtUs()) + ms * 1000;
    m_pacer.noteIdle();
    for (;;) {
        pumpEvents();
        if (stopOnRequest && m_stop)
            return true;
        const std::int64_t now = m_clock.nowUs();
        if (now >= deadline)
            return false;
        m_clock.sleepUs(std::max<std::int64_t>(1, std::min(deadline, m_lastPumpUs + PumpIntervalUs) - now));
    }
}

bool TransferSession::waitForInput(std::int64_t timeoutMs) {
    m_pacer.noteIdle();
    const std::int64_t deadline =
        timeoutMs < 0 ? std::numeric_limits<std::int64_t>::max() : m_clock.nowUs() + timeoutMs * 1000;
    for (;;) {
        if (m_port.queuedInput() > 0)
            return true;
        pumpEvents();
        if (m_stop)
            return false;
        const std::int64_t now = m_clock.nowUs();
        if (now >= deadline)
            return false;
        m_port.waitForInput(
            std::max<std::int64_t>(1, std::min(deadline, m_lastPumpUs + PumpIntervalUs) - now));
    }
}

platform::PortState probePortState(int n, platform::SerialPort& port, const LineOptions& options,
                                   const TransferSession::PortResolver& resolve) {
    const QString name = "COM" + QString::number(n);
    for (const QString& excluded : {options.excludedPort1, options.excludedPort2})
        if (!excluded.trimmed().isEmpty() && excluded.trimmed().toUpper() == name)
            return platform::PortState::Unavailable;
    const QString device = resolve(name);
    if (device.isEmpty())
        return platform::PortState::Unavailable;
    return port.probe(device);
}

bool probePort(int n, platform::SerialPort& port, const LineOptions& options,
               const TransferSession::PortResolver& resolve) {
    return probePortState(n, port, options, resolve) == platform::PortState::Free;
}

} // namespace tornyx
