#include "platform/PosixSerialPort.h"

#include <QFile>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace tornyx::platform {

namespace {

struct SpeedCode {
    int baud;
    speed_t code;
};
constexpr std::array<SpeedCode, 18> SpeedTable = {{
    {50, B50},
    {75, B75},
    {110, B110},
    {134, B134},
    {150, B150},
    {200, B200},
    {300, B300},
    {600, B600},
    {1200, B1200},
    {1800, B1800},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
    {230400, B230400},
}};

speed_t speedCode(int baud) {
    for (const SpeedCode& s : SpeedTable)
        if (s.baud == baud)
            return s.code;
    return B0;
}

int baudOf(speed_t code) {
    for (const SpeedCode& s : SpeedTable)
        if (s.code == code)
            return s.baud;
    return 0;
}

timespec toTimespec(std::int64_t us) {
    if (us < 0)
        us = 0;
    timespec ts{};
    ts.tv_sec = time_t(us / 1000000);
    ts.tv_nsec = long(us % 1000000) * 1000;
    return ts;
}

std::int64_t monotonicUs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

bool bytesWaiting(int fd) {
    int n = 0;
    return ::ioctl(fd, FIONREAD, &n) == 0 && n > 0;
}

// Waits for events on fd. Returns the revents, 0 on timeout. A hung-up
// peer makes poll() return at once forever; the caller's timeout is slept
// off then, so no loop around this spins.
short pollFor(int fd, short events, std::int64_t timeoutUs) {
    pollfd p{fd, events, 0};
    const timespec ts = toTimespec(timeoutUs);
    int r;
    do {
        r = ::ppoll(&p, 1, &ts, nullptr);
    } while (r < 0 && errno == EINTR);
    if (r <= 0)
        return 0;
    // A hung-up terminal also reports POLLIN, though a read only fails;
    // what arrived before the hang-up is still worth waking for.
    if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) && (p.revents & POLLIN) && !bytesWaiting(fd))
        p.revents &= ~POLLIN;
    if (!(p.revents & events)) {
        const timespec rest = toTimespec(timeoutUs);
        ::nanosleep(&rest, nullptr);
    }
    return p.revents;
}

// Whether the device is one of the kernel's consoles (/proc/consoles ends
// each line with its major:minor): the kernel writes its messages there and a
// login prompt may run on it.
bool isConsole(dev_t device) {
    QFile consoles(QStringLiteral("/proc/consoles"));
    if (!consoles.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : consoles.readAll().split('\n')) {
        const QList<QByteArray> number = line.simplified().split(' ').last().split(':');
        bool majorOk = false;
        bool minorOk = false;
        const unsigned major = number.value(0).toUInt(&majorOk);
        const unsigned minor = number.value(1).toUInt(&minorOk);
        if (majorOk && minorOk && makedev(major, minor) == device)
            return true;
    }
    return false;
}

// Whether the device number belongs to a tty driver, from /proc/tty/drivers
// (name, device path, major, minor or minor range, type on each line), so
// that a probe can look for other holders before it opens anything. When the
// table cannot be read, the open decides.
bool isTerminalDevice(dev_t device) {
    QFile drivers(QStringLiteral("/proc/tty/drivers"));
    if (!drivers.open(QIODevice::ReadOnly))
        return true;
    for (const QByteArray& line : drivers.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() < 5)
            continue;
        const QList<QByteArray> range = f[f.size() - 2].split('-');
        bool ok[3] = {};
        const unsigned major = f[f.size() - 3].toUInt(&ok[0]);
        const unsigned first = range.value(0).toUInt(&ok[1]);
        const unsigned last = range.size() > 1 ? range[1].toUInt(&ok[2]) : first;
        if (ok[0] && ok[1] && (range.size() == 1 || ok[2]) && ::major(device) == major &&
            ::minor(device) >= first && ::minor(device) <= last)
            return true;
    }
    return false;
}

bool isNumber(const char* s) {
    if (!*s)
        return false;
    for (; *s; ++s)
        if (*s < '0' || *s > '9')
            return false;
    return true;
}

// Whether the process of a /proc entry has the device open.
bool holds(const char* pid, dev_t device) {
    const QByteArray fdDir = QByteArray("/proc/") + pid + "/fd";
    DIR* fds = ::opendir(fdDir.constData());
    if (!fds)
        return false; // gone, or another user's
    bool found = false;
    for (const dirent* f = ::readdir(fds); f && !found; f = ::readdir(fds)) {
        struct stat st {};
        found = isNumber(f->d_name) && ::stat((fdDir + '/' + f->d_name).constData(), &st) == 0 &&
                S_ISCHR(st.st_mode) && st.st_rdev == device;
    }
    ::closedir(fds);
    return found;
}

// Another process that has the device open (of those this user may look
// into; all of them for root), with its name. 0: none.
pid_t holderOf(dev_t device, QString* name) {
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return 0;
    const pid_t self = ::getpid();
    pid_t found = 0;
    for (const dirent* p = ::readdir(proc); p && !found; p = ::readdir(proc))
        if (isNumber(p->d_name) && pid_t(std::atol(p->d_name)) != self && holds(p->d_name, device))
            found = pid_t(std::atol(p->d_name));
    ::closedir(proc);
    if (found) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(found));
        if (comm.open(QIODevice::ReadOnly))
            *name = QString::fromLocal8Bit(comm.readAll()).trimmed();
    }
    return found;
}

} // namespace

PosixSerialPort::~PosixSerialPort() {
    close();
}

bool PosixSerialPort::fail(const char* what) {
    m_error = QString::fromLatin1(what) + ": " + QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool PosixSerialPort::open(const QString& devicePath) {
    close();
    m_error.clear();
    const QByteArray path = QFile::encodeName(devicePath);
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail("open");
    const auto reject = [&](const char* what) {
        const int e = errno;
        ::close(fd);
        errno = e;
        return fail(what);
    };
    if (!::isatty(fd)) {
        errno = ENOTTY;
        return reject("open");
    }
    // TIOCEXCL keeps out later openers except root; the lock keeps out
    // every other instance of this program, root included.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        errno = EBUSY;
        return reject("lock");
    }
    if (::ioctl(fd, TIOCEXCL) != 0)
        return reject("TIOCEXCL");

    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return reject("tcgetattr");
    // Binary line: no line editing, echo, signals, CR/LF mapping or output
    // processing. The carrier is checked by the program, not by the driver.
    t.c_iflag &=
        ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXANY | IUCLC | IMAXBEL);
    t.c_oflag &= ~tcflag_t(OPOST);
    t.c_lflag &= ~tcflag_t(ECHO | ECHONL | ECHOE | ECHOK | ICANON | ISIG | IEXTEN);
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &t) != 0)
        return reject("tcsetattr");

    // The writer sleeps a fraction of a character between bytes; the
    // default 50 us timer slack of a thread would cost up to a tenth of the
    // line rate at 19200 bit/s. Restored on close.
    m_savedTimerSlack = ::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    ::prctl(PR_SET_TIMERSLACK, 1000UL, 0, 0, 0);

    m_fd = fd;
    m_buffer.clear();
    m_bufferPos = 0;
    m_params = LineParameters{};
    m_paramsSet = false;
    m_timeouts = Timeouts{};
    return true;
}

// The transfer's open makes the line raw, sets CLOCAL and takes the
// exclusive-use lock, and its close clears that lock: none of that may touch
// a terminal another program holds. So the probe looks before it opens
// (another process with the device open, the system console), opens without
// waiting for carrier and without becoming anybody's controlling terminal,
// checks the exclusive-use flag and the lock of other openers, and closes
// without a single ioctl that changes anything. What the open itself does
// cannot be avoided: on a port nobody holds the driver raises DTR and RTS,
// and the close drops them again when the line has HUPCL set.
PortState PosixSerialPort::probe(const QString& devicePath) {
    m_error.clear();
    const auto busy = [&](const QString& why) {
        m_error = devicePath + ": " + why;
        return PortState::Busy;
    };
    const QByteArray path = QFile::encodeName(devicePath);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0) {
        fail("stat");
        return PortState::Unavailable;
    }
    if (!S_ISCHR(st.st_mode) || !isTerminalDevice(st.st_rdev)) {
        errno = ENOTTY;
        fail("probe");
        return PortState::Unavailable;
    }
    if (isConsole(st.st_rdev))
        return busy(QStringLiteral("the system console"));
    QString holder;
    if (const pid_t pid = holderOf(st.st_rdev, &holder))
        return busy(QStringLiteral("in use by process %1 (%2)").arg(pid).arg(holder));

    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // TIOCEXCL of another opener refuses everybody but root.
        if (errno == EBUSY)
            return busy(QStringLiteral("in exclusive use"));
        fail("open");
        return PortState::Unavailable;
    }
    PortState state = PortState::Free;
    int exclusive = 0;
    if (!::isatty(fd)) {
        errno = ENOTTY;
        fail("probe");
        state = PortState::Unavailable;
    } else if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive) {
        state = busy(QStringLiteral("in exclusive use"));
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        state = busy(QStringLiteral("locked by another program"));
    }
    // Closing also releases the lock the probe may just have taken.
    ::close(fd);
    return state;
}

void PosixSerialPort::close() {
    if (m_fd < 0)
        return;
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
    if (m_savedTimerSlack > 0)
        ::prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(m_savedTimerSlack), 0, 0, 0);
    m_buffer.clear();
    m_bufferPos = 0;
}

std::optional<LineParameters> PosixSerialPort::lineParameters() {
    if (m_fd < 0)
        return std::nullopt;
    termios t{};
    if (::tcgetattr(m_fd, &t) != 0) {
        fail("tcgetattr");
        return std::nullopt;
    }
    LineParameters p = m_params; // the fields only this layer keeps
    p.baud = baudOf(::cfgetospeed(&t));
    if (p.baud == 0)
        p.baud = readCustomSpeed(m_fd);
    switch (t.c_cflag & CSIZE) {
    case CS5:
        p.dataBits = 5;
        break;
    case CS6:
        p.dataBits = 6;
        break;
    case CS7:
        p.dataBits = 7;
        break;
    default:
        p.dataBits = 8;
        break;
    }
    p.parity = !(t.c_cflag & PARENB) ? Parity::None : (t.c_cflag & PARODD) ? Parity::Odd : Parity::Even;
    if (!(t.c_cflag & CSTOPB))
        p.stopBits = StopBits::One;
    else if (!(m_paramsSet && m_params.stopBits == StopBits::OnePointFive))
        p.stopBits = StopBits::Two;
    p.xonChar = t.c_cc[VSTART];
    p.xoffChar = t.c_cc[VSTOP];
    p.outputXonXoff = (t.c_iflag & IXON) != 0;
    p.inputXonXoff = (t.c_iflag & IXOFF) != 0;
    p.outputCtsFlow = (t.c_cflag & CRTSCTS) != 0;
    return p;
}

bool PosixSerialPort::setModemBit(int bit, bool on) {
    if (m_fd < 0)
        return false;
    return ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0;
}

bool PosixSerialPort::setLineParameters(const LineParameters& p) {
    if (m_fd < 0)
        return false;
    termios t{};
    if (::tcgetattr(m_fd, &t) != 0)
        return fail("tcgetattr");
    const speed_t code = speedCode(p.baud);
    if (code != B0) {
        ::cfsetispeed(&t, code);
        ::cfsetospeed(&t, code);
    }
    t.c_cflag &= ~tcflag_t(CSIZE);
    switch (p.dataBits) {
    case 5:
        t.c_cflag |= CS5;
        break;
    case 6:
        t.c_cflag |= CS6;
        break;
    case 7:
        t.c_cflag |= CS7;
        break;
    default:
        t.c_cflag |= CS8;
        break;
    }
    t.c_cflag &= ~tcflag_t(PARENB | PARODD);
    if (p.parity != Parity::None)
        t.c_cflag |= PARENB;
    if (p.parity == Parity::Odd)
        t.c_cflag |= PARODD;
    if (p.stopBits == StopBits::One)
        t.c_cflag &= ~tcflag_t(CSTOPB);
    else
        t.c_cflag |= CSTOPB;
    t.c_cc[VSTART] = cc_t(p.xonChar);
    t.c_cc[VSTOP] = cc_t(p.xoffChar);
    t.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    if (p.outputXonXoff)
        t.c_iflag |= IXON;
    if (p.inputXonXoff)
        t.c_iflag |= IXOFF;
    if (p.outputCtsFlow)
        t.c_cflag |= CRTSCTS;
    else
        t.c_cflag &= ~tcflag_t(CRTSCTS);
    if (::tcsetattr(m_fd, TCSANOW, &t) != 0)
        return fail("tcsetattr");
    if (code == B0 && !setCustomSpeed(m_fd, p.baud))
        return fail("TCSETS2");
    // A pseudo-terminal has no modem lines and refuses these; that is fine.
    setModemBit(TIOCM_DTR, p.dtr != LineControl::Off);
    setModemBit(TIOCM_RTS, p.rts != LineControl::Off);
    m_params = p;
    m_paramsSet = true;
    return true;
}

std::optional<Timeouts> PosixSerialPort::timeouts() {
    if (m_fd < 0)
        return std::nullopt;
    return m_timeouts;
}

bool PosixSerialPort::setTimeouts(const Timeouts& t) {
    if (m_fd < 0)
        return false;
    m_timeouts = t;
    return true;
}

bool PosixSerialPort::setQueueSizes(int, int) {
    // The tty layer's buffers are fixed (4 KB and more); nothing to set.
    return m_fd >= 0;
}

bool PosixSerialPort::purge() {
    if (m_fd < 0)
        return false;
    m_buffer.clear();
    m_bufferPos = 0;
    if (::tcflush(m_fd, TCIOFLUSH) != 0)
        return fail("tcflush");
    return true;
}

bool PosixSerialPort::fillBuffer() {
    if (m_bufferPos >= m_buffer.size()) {
        m_buffer.clear();
        m_bufferPos = 0;
    }
    // read() rather than FIONREAD first: the tty layer hands received bytes
    // to the line discipline from a work queue, and FIONREAD counts only
    // what has been handed over, which may be nothing for a while after the
    // peer wrote (long on a loaded computer). A read waits for a pending
    // hand-over, so an XOFF the machine sent before this call is seen by it.
    // With VMIN and VTIME 0 an empty line answers 0 at once.
    char chunk[4096];
    ssize_t got;
    do {
        got = ::read(m_fd, chunk, sizeof chunk);
    } while (got < 0 && errno == EINTR);
    // EIO: the peer hung up; nothing came, and lineLost() reports it.
    if (got < 0)
        return errno == EAGAIN || errno == EIO ? true : fail("read");
    const qsizetype old = m_buffer.size();
    m_buffer.append(chunk, got);
    if (m_params.discardNul) {
        qsizetype w = old;
        for (qsizetype r = old; r < m_buffer.size(); ++r)
            if (m_buffer[r] != '\0')
                m_buffer[w++] = m_buffer[r];
        m_buffer.resize(w);
    }
    return true;
}

int PosixSerialPort::queuedInput() {
    if (m_fd < 0)
        return 0;
    // Pulling the driver's bytes in here keeps the count true when NUL bytes
    // are discarded.
    if (m_bufferPos >= m_buffer.size())
        fillBuffer();
    int n = 0;
    if (::ioctl(m_fd, FIONREAD, &n) != 0 || n < 0)
        n = 0;
    return int(m_buffer.size() - m_bufferPos) + n;
}

int PosixSerialPort::queuedOutput() {
    if (m_fd < 0)
        return 0;
    int n = 0;
    if (::ioctl(m_fd, TIOCOUTQ, &n) != 0 || n < 0)
        return 0;
    return n;
}

std::optional<unsigned char> PosixSerialPort::readByte() {
    if (m_fd < 0)
        return std::nullopt;
    const int timeoutMs = m_timeouts.readTotalConstantMs > 0 ? m_timeouts.readTotalConstantMs : 3000;
    const std::int64_t deadline = monotonicUs() + std::int64_t(timeoutMs) * 1000;
    while (m_bufferPos >= m_buffer.size()) {
        if (!fillBuffer())
            return std::nullopt;
        if (m_bufferPos < m_buffer.size())
            break;
        const std::int64_t left = deadline - monotonicUs();
        if (left <= 0)
            return std::nullopt;
        const short ev = pollFor(m_fd, POLLIN, left);
        if (ev & (POLLHUP | POLLERR | POLLNVAL)) {
            if (!(ev & POLLIN))
                return std::nullopt;
        }
    }
    return static_cast<unsigned char>(m_buffer[m_bufferPos++]);
}

bool PosixSerialPort::writeByte(unsigned char b) {
    if (m_fd < 0)
        return false;
    const int timeoutMs = m_timeouts.writeTotalConstantMs > 0 ? m_timeouts.writeTotalConstantMs : 3000;
    const std::int64_t deadline = monotonicUs() + std::int64_t(timeoutMs) * 1000;
    for (;;) {
        const ssize_t n = ::write(m_fd, &b, 1);
        if (n == 1)
            return true;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return fail("write");
        const std::int64_t left = deadline - monotonicUs();
        if (left <= 0) {
            errno = ETIMEDOUT;
            return fail("write");
        }
        const short ev = pollFor(m_fd, POLLOUT, left);
        if ((ev & (POLLERR | POLLNVAL)) && !(ev & POLLOUT)) {
            errno = EIO;
            return fail("write");
        }
    }
}

std::optional<ModemLines> PosixSerialPort::modemStatus() {
    if (m_fd < 0)
        return std::nullopt;
    int bits = 0;
    if (::ioctl(m_fd, TIOCMGET, &bits) != 0)
        return std::nullopt;
    return ModemLines{(bits & TIOCM_CTS) != 0, (bits & TIOCM_DSR) != 0, (bits & TIOCM_CAR) != 0};
}

bool PosixSerialPort::raiseDtr() {
    return setModemBit(TIOCM_DTR, true);
}
bool PosixSerialPort::raiseRts() {
    return setModemBit(TIOCM_RTS, true);
}

bool PosixSerialPort::lineLost() {
    if (m_fd < 0)
        return true;
    if (m_bufferPos < m_buffer.size())
        return false;
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0)
        return false;
    return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) && !bytesWaiting(m_fd);
}

bool PosixSerialPort::waitForInput(std::int64_t timeoutUs) {
    if (m_fd < 0)
        return false;
    if (m_bufferPos < m_buffer.size())
        return true;
    return (pollFor(m_fd, POLLIN, timeoutUs) & POLLIN) != 0;
}

} // namespace tornyx::platform
