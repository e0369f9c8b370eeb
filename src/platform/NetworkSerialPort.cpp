#include "platform/NetworkSerialPort.h"

#include "platform/Clock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tornyx::platform {

namespace {

// A dead box is noticed within about five seconds: keepalive probes every
// second after two idle seconds, three unanswered end the connection, and
// so does data that stays unacknowledged for five seconds.
constexpr int KeepAliveIdleS = 2;
constexpr int KeepAliveIntervalS = 1;
constexpr int KeepAliveCount = 3;
constexpr unsigned UserTimeoutMs = 5000;
constexpr int DefaultTimeoutMs = 3000;
constexpr int SendBufferBytes = 16384;

std::int64_t monotonicUs() {
    return SystemClock().nowUs();
}

void sleepUntil(std::int64_t deadlineUs) {
    SystemClock().sleepUs(deadlineUs - monotonicUs());
}

// Polls fd until an event or the deadline; the revents, 0 on time-out.
short pollUntil(int fd, short events, std::int64_t deadlineUs) {
    pollfd p{fd, events, 0};
    for (;;) {
        const std::int64_t left = std::max<std::int64_t>(0, deadlineUs - monotonicUs());
        const timespec ts{time_t(left / 1000000), long(left % 1000000) * 1000};
        const int r = ::ppoll(&p, 1, &ts, nullptr);
        if (r < 0 && errno == EINTR)
            continue;
        return r > 0 ? p.revents : 0;
    }
}

// The reasons the operator reads in the log, after the box's address.
QString reasonOf(int error) {
    switch (error) {
    case ECONNREFUSED:
        return QStringLiteral(u"接続を拒否されました");
    case ETIMEDOUT:
        return QStringLiteral(u"応答がありません");
    case EHOSTUNREACH:
    case ENETUNREACH:
        return QStringLiteral(u"接続先に到達できません");
    case ECONNRESET:
    case EPIPE:
    case ECONNABORTED:
    case 0:
        return QStringLiteral(u"接続が切断されました");
    default:
        return QStringLiteral(u"通信ｴﾗｰ (") + QString::fromLocal8Bit(std::strerror(error)) + ")";
    }
}

} // namespace

NetworkSerialPort::~NetworkSerialPort() {
    close();
}

void NetworkSerialPort::reset() {
    m_protocol = ComPortProtocol{};
    m_in.clear();
    m_inPos = 0;
    m_params = LineParameters{};
    m_timeouts = Timeouts{};
    m_lost = false;
    m_stuck = false;
    m_lastQueued = 0;
    m_stallSinceUs = 0;
}

bool NetworkSerialPort::parse(const QString& url) {
    close();
    m_error.clear();
    m_mapping = parsePortMapping(url);
    if (!m_mapping.isNetwork()) {
        m_error = m_mapping.error.isEmpty() ? QStringLiteral(u"ﾈｯﾄﾜｰｸのﾎﾟｰﾄではありません") : m_mapping.error;
        return false;
    }
    return true;
}

int NetworkSerialPort::connectTo(std::int64_t deadlineUs) {
    // A name lookup can hang on a dead name server: ask asynchronously and
    // give up at the deadline. A lookup that cannot be cancelled keeps
    // writing into its request, so that one is left to glibc for good.
    struct Lookup {
        QByteArray host;
        QByteArray service;
        addrinfo hints{};
        gaicb request{};
    };
    auto* lookup = new Lookup{m_mapping.host.toUtf8(), QByteArray::number(m_mapping.port)};
    lookup->hints.ai_family = AF_UNSPEC;
    lookup->hints.ai_socktype = SOCK_STREAM;
    lookup->request = gaicb{lookup->host.constData(), lookup->service.constData(), &lookup->hints, nullptr};
    gaicb* list[] = {&lookup->request};
    if (::getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0) {
        delete lookup;
        m_error = QStringLiteral(u"ﾎｽﾄ名を解決できません");
        return -1;
    }
    while (::gai_error(&lookup->request) == EAI_INPROGRESS) {
        const std::int64_t left = deadlineUs - monotonicUs();
        if (left <= 0) {
            if (::gai_cancel(&lookup->request) == EAI_CANCELED) {
                if (lookup->request.ar_result)
                    ::freeaddrinfo(lookup->request.ar_result);
                delete lookup;
            }
            m_error = QStringLiteral(u"ﾎｽﾄ名を解決できません");
            return -1;
        }
        const timespec ts{time_t(left / 1000000), long(left % 1000000) * 1000};
        const gaicb* const waiting[] = {&lookup->request};
        ::gai_suspend(waiting, 1, &ts);
    }
    addrinfo* const found = ::gai_error(&lookup->request) == 0 ? lookup->request.ar_result : nullptr;
    delete lookup;
    if (!found) {
        m_error = QStringLiteral(u"ﾎｽﾄ名を解決できません");
        return -1;
    }

    int lastError = ETIMEDOUT;
    int fd = -1;
    for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        const int s = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (s < 0) {
            lastError = errno;
            continue;
        }
        if (::connect(s, a->ai_addr, a->ai_addrlen) == 0) {
            fd = s;
            break;
        }
        if (errno != EINPROGRESS) {
            lastError = errno;
            ::close(s);
            continue;
        }
        const short ev = pollUntil(s, POLLOUT, deadlineUs);
        int error = ETIMEDOUT;
        if (ev) {
            socklen_t len = sizeof error;
            if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &len) != 0)
                error = errno;
        }
        if (error == 0) {
            fd = s;
            break;
        }
        lastError = error;
        ::close(s);
    }
    ::freeaddrinfo(found);
    if (fd < 0)
        m_error = reasonOf(lastError);
    return fd;
}

PortState NetworkSerialPort::probe(const QString& url) {
    if (!parse(url))
        return PortState::Unavailable;
    const int fd = connectTo(monotonicUs() + std::int64_t(m_timing.probeMs) * 1000);
    if (fd < 0)
        return PortState::Unavailable;
    ::close(fd);
    return PortState::Free;
}

bool NetworkSerialPort::open(const QString& url) {
    if (!parse(url))
        return false;
    const std::int64_t deadline = monotonicUs() + std::int64_t(m_timing.openMs) * 1000;
    const int fd = connectTo(deadline);
    if (fd < 0)
        return false;
    // Byte by byte with no delay: the box must get each byte when the line
    // model lets it go, not when enough have gathered.
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &KeepAliveIdleS, sizeof KeepAliveIdleS);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &KeepAliveIntervalS, sizeof KeepAliveIntervalS);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &KeepAliveCount, sizeof KeepAliveCount);
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &UserTimeoutMs, sizeof UserTimeoutMs);
    // A second of the fastest line is plenty; a bigger buffer would only
    // hide a box that stopped taking data.
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &SendBufferBytes, sizeof SendBufferBytes);
    m_fd = fd;
    reset();
    if (!isRaw() && !negotiate(deadline)) {
        const QString why = m_error.isEmpty() ? reasonOf(ETIMEDOUT) : m_error;
        close();
        m_error = why;
        return false;
    }
    // The writer sleeps a fraction of a character between bytes; see the
    // local port. Restored on close.
    m_savedTimerSlack = ::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    ::prctl(PR_SET_TIMERSLACK, 1000UL, 0, 0, 0);
    return true;
}

bool NetworkSerialPort::negotiate(std::int64_t deadlineUs) {
    m_protocol.start();
    while (m_protocol.negotiation() == ComPortProtocol::Negotiation::Pending) {
        if (!flush(deadlineUs) || !fill())
            return false;
        if (m_protocol.negotiation() != ComPortProtocol::Negotiation::Pending)
            break;
        if (monotonicUs() >= deadlineUs) {
            m_error = reasonOf(ETIMEDOUT);
            return false;
        }
        waitReadable(deadlineUs);
    }
    if (m_protocol.negotiation() == ComPortProtocol::Negotiation::Refused) {
        m_error = QStringLiteral(u"RFC 2217(COM-PORT-OPTION)に対応していません");
        return false;
    }
    // Modem-line changes are wanted, line-state reports (errors) are not:
    // line errors are never reported on a local port either.
    m_protocol.sendCommand(comport::SetLineStateMask, 0);
    m_protocol.sendCommand(comport::SetModemStateMask, 0xFF);
    return flush(deadlineUs);
}

void NetworkSerialPort::close() {
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
    if (m_savedTimerSlack > 0)
        ::prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(m_savedTimerSlack), 0, 0, 0);
    m_savedTimerSlack = 0;
    m_in.clear();
    m_inPos = 0;
}

bool NetworkSerialPort::lose(int error) {
    if (!m_lost)
        m_error = reasonOf(error);
    m_lost = true;
    return false;
}

bool NetworkSerialPort::fill() {
    if (m_fd < 0 || m_lost)
        return false;
    if (m_inPos >= m_in.size()) {
        m_in.clear();
        m_inPos = 0;
    }
    char buf[4096];
    for (;;) {
        const ssize_t n = ::recv(m_fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0) {
            const qsizetype old = m_in.size();
            if (isRaw())
                m_in.append(buf, n);
            else
                m_protocol.receive(buf, std::size_t(n), m_in);
            if (m_params.discardNul) {
                qsizetype w = old;
                for (qsizetype r = old; r < m_in.size(); ++r)
                    if (m_in[r] != '\0')
                        m_in[w++] = m_in[r];
                m_in.resize(w);
            }
            continue;
        }
        if (n == 0)
            return lose(0);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            break;
        return lose(errno);
    }
    // Negotiation answers go out without waiting.
    return m_protocol.output().isEmpty() || flush(0);
}

bool NetworkSerialPort::flush(std::int64_t deadlineUs) {
    QByteArray& out = m_protocol.output();
    while (!out.isEmpty()) {
        if (m_fd < 0 || m_lost)
            return false;
        const ssize_t n = ::send(m_fd, out.constData(), std::size_t(out.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            out.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return lose(errno);
        if (deadlineUs == 0 || monotonicUs() >= deadlineUs)
            return deadlineUs == 0;
        const short ev = pollUntil(m_fd, POLLOUT, deadlineUs);
        if (ev & (POLLERR | POLLHUP)) {
            int error = 0;
            socklen_t len = sizeof error;
            ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &len);
            return lose(error);
        }
    }
    return true;
}

void NetworkSerialPort::waitReadable(std::int64_t deadlineUs) {
    if (m_lost) {
        // A dead connection is readable at once, forever: sleep instead.
        sleepUntil(deadlineUs);
        return;
    }
    pollUntil(m_fd, POLLIN, deadlineUs);
}

int NetworkSerialPort::writeTimeoutMs() const {
    return m_timeouts.writeTotalConstantMs > 0 ? m_timeouts.writeTotalConstantMs : DefaultTimeoutMs;
}

std::optional<LineParameters> NetworkSerialPort::lineParameters() {
    if (m_fd < 0)
        return std::nullopt;
    return m_params;
}

bool NetworkSerialPort::awaitAnswers(std::initializer_list<unsigned char> commands, std::int64_t deadlineUs) {
    for (;;) {
        if (!flush(deadlineUs) || !fill())
            return false;
        if (std::all_of(commands.begin(), commands.end(),
                        [&](unsigned char c) { return m_protocol.answer(c).has_value(); }))
            return true;
        if (monotonicUs() >= deadlineUs)
            return false;
        waitReadable(deadlineUs);
    }
}

bool NetworkSerialPort::setLineParameters(const LineParameters& p) {
    if (m_fd < 0)
        return false;
    if (isRaw()) {
        m_params = p;
        return true;
    }
    using namespace comport;
    const unsigned char parity = p.parity == Parity::None  ? ParityNone
                                 : p.parity == Parity::Odd ? ParityOdd
                                                           : ParityEven;
    const unsigned char stop = p.stopBits == StopBits::One            ? StopOne
                               : p.stopBits == StopBits::OnePointFive ? StopOneAndHalf
                                                                      : StopTwo;
    const bool standardChars = p.xonChar == 0x11 && p.xoffChar == 0x13;
    for (unsigned char c : {SetBaudRate, SetDataSize, SetParity, SetStopSize})
        m_protocol.forgetAnswer(c);
    m_protocol.sendCommand(SetBaudRate, ComPortProtocol::baudValue(std::uint32_t(p.baud)));
    m_protocol.sendCommand(SetDataSize, static_cast<unsigned char>(p.dataBits));
    m_protocol.sendCommand(SetParity, parity);
    m_protocol.sendCommand(SetStopSize, stop);
    m_protocol.sendCommand(SetControl, p.outputCtsFlow                    ? OutboundHardware
                                       : p.outputXonXoff && standardChars ? OutboundXonXoff
                                                                          : OutboundNone);
    m_protocol.sendCommand(SetControl, p.outputCtsFlow && p.rts == LineControl::Handshake ? InboundHardware
                                       : p.inputXonXoff && standardChars                  ? InboundXonXoff
                                                                                          : InboundNone);
    // No DTR flow control exists here either: handshake keeps DTR raised.
    m_protocol.sendCommand(SetControl, p.dtr == LineControl::Off ? DtrOff : DtrOn);
    if (!(p.outputCtsFlow && p.rts == LineControl::Handshake))
        m_protocol.sendCommand(SetControl, p.rts == LineControl::Off ? RtsOff : RtsOn);
    const std::int64_t deadline = monotonicUs() + std::int64_t(m_timing.answerMs) * 1000;
    if (!awaitAnswers({SetBaudRate, SetDataSize, SetParity, SetStopSize}, deadline)) {
        if (!m_lost)
            m_error = QStringLiteral(u"通信設定の応答がありません");
        return false;
    }
    // The box answers with what it has now; a rate it cannot do comes back
    // as the old one.
    const bool taken = *m_protocol.answer(SetBaudRate) == ComPortProtocol::baudValue(std::uint32_t(p.baud)) &&
                       *m_protocol.answer(SetDataSize) == QByteArray(1, char(p.dataBits)) &&
                       *m_protocol.answer(SetParity) == QByteArray(1, char(parity)) &&
                       *m_protocol.answer(SetStopSize) == QByteArray(1, char(stop));
    if (!taken) {
        m_error = QStringLiteral(u"通信設定を受け付けません");
        return false;
    }
    m_params = p;
    return true;
}

std::optional<Timeouts> NetworkSerialPort::timeouts() {
    if (m_fd < 0)
        return std::nullopt;
    return m_timeouts;
}

bool NetworkSerialPort::setTimeouts(const Timeouts& t) {
    if (m_fd < 0)
        return false;
    m_timeouts = t;
    return true;
}

bool NetworkSerialPort::setQueueSizes(int, int) {
    // The box has its own buffers; the writer keeps them shallow.
    return m_fd >= 0;
}

bool NetworkSerialPort::purge() {
    if (m_fd < 0)
        return false;
    if (!isRaw()) {
        // The box purges when the command gets there; its answer says it
        // has, so that nothing that comes after is thrown away with it. A
        // box that does not answer purges is not held against it.
        m_protocol.forgetAnswer(comport::PurgeData);
        m_protocol.sendCommand(comport::PurgeData, comport::PurgeBoth);
        awaitAnswers({comport::PurgeData}, monotonicUs() + std::int64_t(m_timing.answerMs) * 1000);
    }
    if (m_lost || !flush(monotonicUs() + std::int64_t(writeTimeoutMs()) * 1000) || !fill())
        return false;
    m_in.clear();
    m_inPos = 0;
    return true;
}

int NetworkSerialPort::queuedInput() {
    if (m_fd < 0)
        return 0;
    if (m_inPos >= m_in.size())
        fill();
    return int(m_in.size() - m_inPos);
}

// Whether the box holds our data back on purpose: it asked us to wait, or
// hardware flow control is on and it reports CTS off.
bool NetworkSerialPort::isHeld() {
    if (isRaw())
        return false;
    if (m_protocol.isSuspended())
        return true;
    const std::optional<unsigned char> m = m_protocol.modemState();
    return m_params.outputCtsFlow && m && !(*m & comport::ModemCts);
}

int NetworkSerialPort::queuedOutput() {
    if (m_fd < 0 || m_lost || m_stuck)
        return 0;
    // Reading is left to the input calls the writer makes anyway: one
    // system call less per byte. A dead connection shows as an empty queue
    // here and fails the next write.
    if (!m_protocol.output().isEmpty() && !flush(0))
        return 0;
    int unsent = 0;
    if (::ioctl(m_fd, SIOCOUTQNSD, &unsent) != 0 || unsent < 0)
        unsent = 0;
    const bool held = isHeld();
    const int queued = unsent + int(m_protocol.output().size()) + (held ? 1 : 0);
    const std::int64_t now = monotonicUs();
    // A box that takes nothing for longer than the write time-out without
    // saying why is as good as gone.
    if (queued == 0 || held || queued < m_lastQueued || m_stallSinceUs == 0)
        m_stallSinceUs = now;
    m_lastQueued = queued;
    if (now - m_stallSinceUs > std::int64_t(writeTimeoutMs()) * 1000) {
        m_stuck = true;
        m_error = QStringLiteral(u"送信ﾃﾞｰﾀを受け付けません");
        return 0;
    }
    return queued;
}

std::optional<unsigned char> NetworkSerialPort::readByte() {
    if (m_fd < 0)
        return std::nullopt;
    const int timeoutMs =
        m_timeouts.readTotalConstantMs > 0 ? m_timeouts.readTotalConstantMs : DefaultTimeoutMs;
    const std::int64_t deadline = monotonicUs() + std::int64_t(timeoutMs) * 1000;
    while (m_inPos >= m_in.size()) {
        if (!fill() && m_inPos >= m_in.size())
            return std::nullopt;
        if (m_inPos < m_in.size())
            break;
        if (monotonicUs() >= deadline)
            return std::nullopt;
        waitReadable(deadline);
    }
    return static_cast<unsigned char>(m_in[m_inPos++]);
}

bool NetworkSerialPort::writeByte(unsigned char b) {
    if (m_fd < 0 || m_lost || m_stuck)
        return false;
    if (isRaw())
        m_protocol.output().append(char(b));
    else
        m_protocol.sendData(b);
    if (flush(monotonicUs() + std::int64_t(writeTimeoutMs()) * 1000))
        return true;
    if (!m_lost) {
        m_stuck = true;
        m_error = QStringLiteral(u"送信ﾃﾞｰﾀを受け付けません");
    }
    return false;
}

std::optional<ModemLines> NetworkSerialPort::modemStatus() {
    if (m_fd < 0)
        return std::nullopt;
    if (isRaw())
        return ModemLines{true, true, true};
    // The last report that came in with the data; queuedInput() reads it.
    const std::optional<unsigned char> m = m_protocol.modemState();
    if (!m)
        return std::nullopt;
    return ModemLines{(*m & comport::ModemCts) != 0, (*m & comport::ModemDsr) != 0,
                      (*m & comport::ModemCarrier) != 0};
}

bool NetworkSerialPort::raiseDtr() {
    if (m_fd < 0 || isRaw())
        return false;
    m_protocol.sendCommand(comport::SetControl, comport::DtrOn);
    return flush(monotonicUs() + std::int64_t(writeTimeoutMs()) * 1000);
}

bool NetworkSerialPort::raiseRts() {
    if (m_fd < 0 || isRaw())
        return false;
    m_protocol.sendCommand(comport::SetControl, comport::RtsOn);
    return flush(monotonicUs() + std::int64_t(writeTimeoutMs()) * 1000);
}

bool NetworkSerialPort::lineLost() {
    if (m_fd < 0)
        return true;
    if (m_inPos < m_in.size())
        return false;
    fill();
    return (m_lost || m_stuck) && m_inPos >= m_in.size();
}

bool NetworkSerialPort::waitForInput(std::int64_t timeoutUs) {
    if (m_fd < 0)
        return false;
    if (m_inPos < m_in.size())
        return true;
    // The poll says whether anything came; reading first would cost the
    // writer one more system call per byte.
    const std::int64_t deadline = monotonicUs() + std::max<std::int64_t>(0, timeoutUs);
    for (;;) {
        waitReadable(deadline);
        fill();
        if (m_inPos < m_in.size())
            return true;
        if (monotonicUs() >= deadline)
            return false;
    }
}

} // namespace tornyx::platform
