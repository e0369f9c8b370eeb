#include "Machine.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <deque>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace tornyx::machine {

namespace {

std::int64_t nowUs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void sleepUntil(std::int64_t us) {
    const std::int64_t d = us - nowUs();
    if (d <= 0)
        return;
    timespec ts{time_t(d / 1000000), long(d % 1000000) * 1000};
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

constexpr std::int64_t Never = INT64_MAX / 2;
constexpr int TimedOut = -1;
constexpr int HungUp = -2;

// The machine's end of the line: bytes in and out one at a time, paced at
// the configured line rate when asked.
class Wire {
public:
    Wire(int fd, const Config& c) : m_fd(fd), m_pace(c.pace), m_batchUs(c.batchUs) {
        const int bits = 1 + c.dataBits + c.parityBits + c.stopBits;
        m_charUs = c.baud > 0 ? (std::int64_t(bits) * 1000000 + c.baud - 1) / c.baud : 0;
        m_lineRate = double(c.baud) / bits;
    }
    std::int64_t charUs() const { return m_charUs; }
    // Characters per second, exact (charUs is rounded up: 0.5% slow at 115200).
    double lineRate() const { return m_lineRate; }

    // Waits until the PC has the slave open (the master reports a hang-up
    // while nobody has).
    bool waitOpen(std::int64_t deadline) {
        for (;;) {
            pollfd p{m_fd, POLLIN, 0};
            ::poll(&p, 1, 0);
            if (!(p.revents & POLLHUP))
                return true;
            if (nowUs() >= deadline)
                return false;
            sleepUntil(std::min(deadline, nowUs() + 20000));
        }
    }

    // One byte; paced reads take at most one byte per character time.
    int read(std::int64_t deadline, bool paced = true) {
        if (m_batchUs > 0)
            return readBatched(deadline, paced);
        if (!m_queue.empty()) {
            const auto [b, at] = m_queue.front();
            m_queue.pop_front();
            m_lastArrival = at;
            return b;
        }
        for (;;) {
            const std::int64_t now = nowUs();
            if (paced && m_pace && now < m_nextRead) {
                sleepUntil(std::min(deadline, m_nextRead));
                if (nowUs() >= deadline && nowUs() < m_nextRead)
                    return TimedOut;
                continue;
            }
            const std::int64_t left = deadline - now;
            pollfd p{m_fd, POLLIN, 0};
            // A byte already waiting arrived on schedule: the machine's own
            // wake-up latency must not slow the modelled line.
            const bool waiting = ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
            p.revents = 0;
            const int timeoutMs = left <= 0 ? 0 : int(std::min<std::int64_t>((left + 999) / 1000, 1000000));
            const int r = ::poll(&p, 1, timeoutMs);
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0) {
                if (nowUs() >= deadline)
                    return TimedOut;
                continue;
            }
            if (p.revents & POLLIN) {
                unsigned char b;
                const ssize_t n = ::read(m_fd, &b, 1);
                if (n == 1) {
                    const std::int64_t t = nowUs();
                    // A byte that was already waiting came on schedule; one
                    // the machine waited for came now.
                    const std::int64_t at = paced && m_pace && waiting && m_lastArrival > 0 ? m_nextRead : t;
                    m_nextRead = at + m_charUs;
                    m_lastArrival = at;
                    return b;
                }
                if (n < 0 && (errno == EAGAIN || errno == EINTR))
                    continue;
                return HungUp;
            }
            if (p.revents & (POLLHUP | POLLERR))
                return HungUp;
        }
    }
    std::int64_t lastArrival() const { return m_lastArrival; }

    // Unpaced, the bytes already here when the machine sends its XOFF came
    // before it, however late the machine gets round to reading them. That
    // includes what the kernel is still handing over from its work queue
    // (which a loaded computer may delay for milliseconds): a read that finds
    // nothing handed over waits for it, so read until none is left, and count
    // them all as here at the XOFF. Paced, they are still on the modelled line
    // and come after it, as on a real one.
    void takeWaiting() {
        if (m_pace)
            return;
        const std::int64_t t = nowUs();
        unsigned char buf[4096];
        for (std::size_t taken = 0; taken < 65536;) {
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n <= 0)
                break;
            for (ssize_t i = 0; i < n; ++i)
                m_queue.push_back({buf[i], t});
            taken += std::size_t(n);
        }
    }

    // The framing the PC's side of the pseudo-terminal is set to now, as
    // "19200-8N2" ("-" when it cannot be read): shows what a device server
    // in between made of the program's settings.
    std::string lineSettings() const {
        termios t{};
        if (::tcgetattr(m_fd, &t) != 0)
            return "-";
        static const std::pair<speed_t, int> speeds[] = {{B1200, 1200},   {B2400, 2400},    {B4800, 4800},
                                                         {B9600, 9600},   {B19200, 19200},  {B38400, 38400},
                                                         {B57600, 57600}, {B115200, 115200}};
        int baud = 0;
        for (const auto& [code, rate] : speeds)
            if (::cfgetospeed(&t) == code)
                baud = rate;
        const int bits = (t.c_cflag & CSIZE) == CS5   ? 5
                         : (t.c_cflag & CSIZE) == CS6 ? 6
                         : (t.c_cflag & CSIZE) == CS7 ? 7
                                                      : 8;
        const char parity = !(t.c_cflag & PARENB) ? 'N' : (t.c_cflag & PARODD) ? 'O' : 'E';
        return std::to_string(baud) + "-" + std::to_string(bits) + parity +
               ((t.c_cflag & CSTOPB) ? "2" : "1");
    }

    // Drops the line at once, as a pulled cable does; the descriptor number
    // stays valid (on /dev/null) for whoever closes it later.
    void hangUp() {
        const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (null >= 0) {
            ::dup2(null, m_fd);
            ::close(null);
        }
    }

    // Reads whatever has come every few milliseconds instead of waking for
    // every byte, so that the machine does not compete with the PC for the
    // processor. Arrival times are modelled: the bytes of one read came back
    // to back, the last of them just now, none sooner than one character
    // after the one before.
    int readBatched(std::int64_t deadline, bool paced) {
        while (m_queue.empty()) {
            sleepUntil(std::min(deadline, m_lastFill + m_batchUs));
            const std::int64_t left = deadline - nowUs();
            pollfd p{m_fd, POLLIN, 0};
            const int r =
                ::poll(&p, 1, left <= 0 ? 0 : int(std::min<std::int64_t>((left + 999) / 1000, 1000000)));
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0) {
                if (nowUs() >= deadline)
                    return TimedOut;
                continue;
            }
            if (!(p.revents & POLLIN))
                return HungUp;
            unsigned char buf[4096];
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (n <= 0)
                return HungUp;
            const std::int64_t t = nowUs();
            m_lastFill = t;
            for (ssize_t i = 0; i < n; ++i) {
                std::int64_t at = t;
                if (m_pace)
                    at = std::max(m_lastQueued + m_charUs, t - std::int64_t(n - 1 - i) * m_charUs);
                m_lastQueued = at;
                m_queue.push_back({buf[i], at});
            }
        }
        const auto [b, at] = m_queue.front();
        m_queue.pop_front();
        if (paced && m_pace)
            sleepUntil(at);
        m_lastArrival = at;
        return b;
    }

    bool write(unsigned char b) {
        if (m_pace)
            sleepUntil(m_nextWrite);
        for (;;) {
            const ssize_t n = ::write(m_fd, &b, 1);
            if (n == 1)
                break;
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN) {
                pollfd p{m_fd, POLLOUT, 0};
                ::poll(&p, 1, 100);
                continue;
            }
            return false;
        }
        // Late by less than a character: the line was busy all the time.
        const std::int64_t t = nowUs();
        m_nextWrite = (t - m_nextWrite < m_charUs ? m_nextWrite : t) + m_charUs;
        return true;
    }
    bool write(const std::string& bytes) {
        for (unsigned char b : bytes)
            if (!write(b))
                return false;
        return true;
    }

private:
    int m_fd;
    bool m_pace;
    std::int64_t m_charUs = 0;
    double m_lineRate = 0;
    std::int64_t m_nextRead = 0;
    std::int64_t m_nextWrite = 0;
    std::int64_t m_lastArrival = 0;
    std::int64_t m_batchUs = 0;
    std::int64_t m_lastFill = 0;
    std::int64_t m_lastQueued = 0;
    std::deque<std::pair<unsigned char, std::int64_t>> m_queue;
};

struct Result {
    std::string mode;
    std::string end;
    std::string raw;
    std::string decoded;
    std::vector<std::int64_t> times;
    long sent = 0;
    long afterXoff = 0; // most bytes received during one of the machine's XOFFs
    long xoffs = 0;
    long overflow = 0;
    long starved = 0;
    long pausesSeen = 0;
    int maxFill = 0;
    std::int64_t heldUs = 0; // time the machine held the PC with XOFF
    std::string tty = "-";   // the line's framing when the first byte came
};

bool isControl(unsigned char d) {
    return d == nc::Nul || d == nc::Enq || d == nc::Dc1 || d == nc::Dc2 || d == nc::Dc3 || d == nc::Dc4 ||
           d == nc::Can || d == nc::Dc3Parity;
}

// The machine's decoding: in EIA the byte 0x13 is the digit 3 (the machine
// does not take XOFF from a program it is reading).
unsigned char decodeData(unsigned char b, CodeMode& mode) {
    return nc::decode(b, mode, nc::Dc3Parity);
}

void report(const Result& r, const Wire& w, const Config& c) {
    const std::int64_t first = r.times.empty() ? 0 : r.times.front();
    const std::int64_t last = r.times.empty() ? 0 : r.times.back();
    double rate = 0;
    if (r.times.size() > 1 && last > first)
        rate = double(r.times.size() - 1) * 1e6 / double(last - first);
    const double lineRate = w.lineRate();
    std::printf(
        "result mode=%s end=%s bytes=%zu data=%zu sent=%ld after_xoff=%ld xoffs=%ld overflow=%ld "
        "starved=%ld pauses=%ld max_fill=%d span_us=%lld held_us=%lld rate=%.1f line_rate=%.1f tty=%s\n",
        r.mode.c_str(), r.end.c_str(), r.raw.size(), r.decoded.size(), r.sent, r.afterXoff, r.xoffs,
        r.overflow, r.starved, r.pausesSeen, r.maxFill, static_cast<long long>(last - first),
        static_cast<long long>(r.heldUs), rate, lineRate, r.tty.c_str());
    std::fflush(stdout);
    (void)c;
}

void writeFile(const std::string& path, const std::string& bytes) {
    if (path.empty())
        return;
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), std::streamsize(bytes.size()));
}

void writeTimes(const std::string& path, const std::vector<std::int64_t>& times) {
    if (path.empty())
        return;
    std::ofstream f(path, std::ios::trunc);
    const std::int64_t t0 = times.empty() ? 0 : times.front();
    for (std::int64_t t : times)
        f << (t - t0) << '\n';
}

class Controller {
public:
    Controller(int fd, const Config& c) : m_c(c), m_wire(fd, c) {
        m_deadline = c.timeoutMs > 0 ? nowUs() + std::int64_t(c.timeoutMs) * 1000 : Never;
    }

    // Receives a program (also the DNC buffer). firstByte: already read.
    Result receive(bool sendStart, int firstByte = TimedOut) {
        Result r;
        r.mode = m_c.dncBuffer > 0 ? "dnc" : "receive";
        CodeMode mode = m_c.code;
        std::int64_t nextDc1 = Never;
        if (sendStart) {
            sleepUntil(nowUs() + std::int64_t(m_c.startDelayMs) * 1000);
            m_wire.write(nc::Dc1);
            if (m_c.dc1RepeatMs > 0)
                nextDc1 = nowUs() + std::int64_t(m_c.dc1RepeatMs) * 1000;
        }
        bool started = false;
        int percents = 0;
        long dataBytes = 0;
        bool xoffed = false;
        std::int64_t xonAt = Never;
        long episode = 0;
        std::int64_t lastByte = nowUs();
        // DNC buffer: bytes held, complete blocks in it.
        int fill = 0;
        std::deque<int> blocks;
        int blockLen = 0;
        const std::int64_t consumeUs = m_c.dncBuffer > 0 ? std::int64_t(1e6 / m_c.dncBlocksPerSec) : 0;
        std::int64_t nextConsume = Never;
        const int high = m_c.dncBuffer - std::max(m_c.dncBuffer / 4, 4);
        const int low = m_c.dncBuffer / 4;
        bool ended = false;

        std::int64_t xoffSentAt = 0;
        auto sendXoff = [&] {
            m_wire.write(m_c.pauseChar);
            xoffSentAt = nowUs();
            m_wire.takeWaiting();
            xoffed = true;
            episode = 0;
            ++r.xoffs;
        };
        auto sendXon = [&] {
            m_wire.write(nc::Dc1);
            r.heldUs += nowUs() - xoffSentAt;
            xoffed = false;
            xonAt = Never;
        };

        for (;;) {
            int b = firstByte;
            firstByte = TimedOut;
            if (b == TimedOut) {
                std::int64_t until = std::min({m_deadline, nextDc1, xonAt, nextConsume});
                if (started && !ended)
                    until = std::min(until, lastByte + std::int64_t(m_c.idleMs) * 1000);
                if (ended)
                    until = std::min(until, nowUs() + 200000);
                b = m_wire.read(until);
            } else {
                // a byte read by the caller arrived just now
            }
            const std::int64_t now = nowUs();
            if (b == HungUp) {
                if (r.end.empty())
                    r.end = "hangup";
                break;
            }
            if (b == TimedOut) {
                if (now >= m_deadline) {
                    if (r.end.empty())
                        r.end = "timeout";
                    break;
                }
                if (now >= nextDc1 && !started) {
                    m_wire.write(nc::Dc1);
                    nextDc1 = now + std::int64_t(m_c.dc1RepeatMs) * 1000;
                }
                if (xoffed && now >= xonAt)
                    sendXon();
                if (now >= nextConsume) {
                    if (!blocks.empty()) {
                        fill -= blocks.front();
                        blocks.pop_front();
                    } else if (!ended) {
                        ++r.starved;
                    }
                    nextConsume = (ended && blocks.empty()) ? Never : now + consumeUs;
                    if (xoffed && fill <= low && xonAt == Never)
                        sendXon();
                    if (ended && blocks.empty())
                        break;
                }
                if (started && !ended && now - lastByte >= std::int64_t(m_c.idleMs) * 1000) {
                    r.end = "idle";
                    if (m_c.dncBuffer <= 0 || blocks.empty())
                        break;
                    ended = true;
                }
                if (ended && m_c.dncBuffer <= 0)
                    break;
                continue;
            }
            const unsigned char byte = static_cast<unsigned char>(b);
            if (r.raw.empty())
                r.tty = m_wire.lineSettings();
            r.raw += char(byte);
            r.times.push_back(m_wire.lastArrival() ? m_wire.lastArrival() : now);
            lastByte = now;
            // Bytes that came later than one character after the XOFF
            // went out: the PC sent them after it could have seen it.
            if (xoffed && r.times.back() > xoffSentAt + m_wire.charUs())
                r.afterXoff = std::max(r.afterXoff, ++episode);
            if (ended)
                continue;
            const unsigned char d = decodeData(byte, mode);
            if (byte == nc::Dc4 || byte == nc::Can) {
                r.end = byte == nc::Dc4 ? "dc4" : "can";
                if (m_c.dncBuffer > 0 && !blocks.empty()) {
                    ended = true;
                    continue;
                }
                break;
            }
            if (isControl(d) || d == 0)
                continue;
            started = true;
            ++dataBytes;
            r.decoded += char(d);
            if (m_c.dncBuffer > 0) {
                if (fill >= m_c.dncBuffer) {
                    ++r.overflow; // the machine had no room: the byte is lost
                } else {
                    ++fill;
                    ++blockLen;
                    if (d == nc::Lf) {
                        blocks.push_back(blockLen);
                        blockLen = 0;
                        if (nextConsume == Never)
                            nextConsume = now + consumeUs;
                    }
                }
                r.maxFill = std::max(r.maxFill, fill);
                if (!xoffed && fill >= high)
                    sendXoff();
            }
            if (m_c.xoffAt > 0 && dataBytes == m_c.xoffAt) {
                sendXoff();
                xonAt = now + std::int64_t(m_c.xoffMs) * 1000;
            }
            if (injectFaults(dataBytes, false, r))
                return r;
            if (d == '%' && ++percents == 2 && m_c.endOnPercent) {
                r.end = "percent";
                if (m_c.dncBuffer > 0 && !blocks.empty()) {
                    ended = true;
                    continue;
                }
                break;
            }
        }
        if (xoffed)
            sendXon();
        return r;
    }

    std::string punchBytes() const {
        std::string text;
        if (!m_c.inputFile.empty()) {
            std::ifstream f(m_c.inputFile, std::ios::binary);
            std::stringstream ss;
            ss << f.rdbuf();
            text = ss.str();
        } else {
            text = "O0001(TORNYX-MACHINE SAMPLE)\nG90G00X0Y0\nG01X10.Y-5.5F100\nM30\n";
        }
        std::erase(text, '\r');
        if (m_c.frame)
            text = "%\n" + text + "%";
        std::string out(std::size_t(m_c.leader), '\0');
        const CodeMode mode = m_c.code == CodeMode::Undecided ? CodeMode::Iso : m_c.code;
        for (unsigned char ch : text)
            if (auto e = nc::encode(ch, mode))
                out += char(*e);
        out += std::string(std::size_t(m_c.leader), '\0');
        return out;
    }

    Result punch() {
        Result r;
        r.mode = "punch";
        if (m_c.punchWaitsDc1) {
            for (;;) {
                const int b = m_wire.read(m_deadline, false);
                if (b == nc::Dc1)
                    break;
                if (b < 0) {
                    r.end = b == HungUp ? "hangup" : "timeout";
                    return r;
                }
            }
        } else {
            sleepUntil(nowUs() + std::int64_t(m_c.startDelayMs) * 1000);
        }
        const std::string bytes = punchBytes();
        bool paused = false;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            // The PC's XOFF holds the tape until its XON.
            for (;;) {
                const int b = m_wire.read(paused ? std::min(m_deadline, nowUs() + 100000) : 0, false);
                if (b == HungUp) {
                    r.end = "hangup";
                    return r;
                }
                if (b == nc::Dc3 || b == nc::Dc3Parity) {
                    if (!paused)
                        ++r.pausesSeen;
                    paused = true;
                } else if (b == nc::Dc1) {
                    paused = false;
                } else if (b == nc::Can) {
                    r.end = "can";
                    return r;
                } else if (b == TimedOut) {
                    if (nowUs() >= m_deadline) {
                        r.end = "timeout";
                        return r;
                    }
                    if (!paused)
                        break;
                }
            }
            if (injectFaults(long(i), true, r))
                return r;
            if (!m_wire.write(static_cast<unsigned char>(bytes[i]))) {
                r.end = "write-error";
                return r;
            }
            ++r.sent;
            r.times.push_back(nowUs());
        }
        r.end = "done";
        return r;
    }

    // Waits until the PC closes the line (or the idle time passes).
    void waitClose() {
        for (;;) {
            const int b = m_wire.read(std::min(m_deadline, nowUs() + std::int64_t(m_c.idleMs) * 1000), false);
            if (b < 0)
                return;
        }
    }

    int runOnce() {
        if (!m_wire.waitOpen(m_deadline)) {
            std::fprintf(stderr, "tornyx-machine: nobody opened the line\n");
            return 3;
        }
        switch (m_c.mode) {
        case Mode::Receive:
        case Mode::Dnc: {
            const Result r = receive(true);
            finishReceive(r, m_c.outFile);
            return r.end == "timeout" ? 3 : 0;
        }
        case Mode::Punch: {
            const Result r = punch();
            report(r, m_wire, m_c);
            if (r.end == "hangup-injected")
                return 0;
            waitClose();
            return r.end == "done" ? 0 : 4;
        }
        case Mode::Controller:
            return serve();
        }
        return 0;
    }

    void finishReceive(const Result& r, const std::string& out) {
        writeFile(out, r.decoded);
        writeFile(m_c.rawFile, r.raw);
        writeTimes(m_c.timesFile, r.times);
        report(r, m_wire, m_c);
    }

    // The default for a first run: receives whatever the PC sends, and
    // punches a program when the PC stays silent.
    int serve() {
        int received = 0;
        for (;;) {
            if (!m_wire.waitOpen(m_deadline))
                return 0;
            sleepUntil(nowUs() + std::int64_t(m_c.startDelayMs) * 1000);
            m_wire.write(nc::Dc1);
            bool served = false;
            for (;;) {
                const std::int64_t until =
                    served ? m_deadline
                           : std::min(m_deadline, nowUs() + std::int64_t(m_c.punchAfterMs) * 1000);
                const int b = m_wire.read(until, false);
                if (b == HungUp)
                    break;
                if (b == TimedOut) {
                    if (nowUs() >= m_deadline)
                        return 0;
                    if (!served) {
                        report(punch(), m_wire, m_c);
                        served = true;
                    }
                    continue;
                }
                CodeMode probe = m_c.code;
                const unsigned char d = decodeData(static_cast<unsigned char>(b), probe);
                if (isControl(d) || d == 0)
                    continue;
                const Result r = receive(false, b);
                finishReceive(r, m_c.outDir + "/received-" + std::to_string(++received) + ".nc");
                served = true;
                if (r.end == "hangup")
                    break;
            }
        }
    }

private:
    // The faults ordered for this byte count. True when the transfer ends
    // here (a hang-up, or a CAN while punching); r.end says why.
    bool injectFaults(long at, bool canEnds, Result& r) {
        for (const Fault& f : m_c.faults) {
            if (f.atByte != at)
                continue;
            switch (f.kind) {
            case FaultKind::Can:
                m_wire.write(nc::Can);
                if (canEnds) {
                    r.end = "can-injected";
                    return true;
                }
                break;
            case FaultKind::Dc4:
                m_wire.write(nc::Dc4);
                break;
            case FaultKind::Noise:
                m_wire.write(f.noise);
                break;
            case FaultKind::HangUp:
                m_wire.hangUp();
                r.end = "hangup-injected";
                return true;
            case FaultKind::None:
                break;
            }
        }
        return false;
    }

    const Config& m_c;
    Wire m_wire;
    std::int64_t m_deadline;
};

} // namespace

int run(int master, const std::string& slavePath, const Config& config) {
    (void)slavePath;
    Controller c(master, config);
    int rc = 0;
    do {
        rc = c.runOnce();
    } while (config.repeat && config.mode != Mode::Controller && rc == 0);
    return rc;
}

} // namespace tornyx::machine
