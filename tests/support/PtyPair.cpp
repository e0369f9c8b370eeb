#include "support/PtyPair.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace tornyx::test {

PtyPair::PtyPair() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0)
        return;
    char name[128];
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
        ::ptsname_r(m_master, name, sizeof name) != 0) {
        ::close(m_master);
        m_master = -1;
        return;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios t{};
    if (m_slave >= 0 && ::tcgetattr(m_slave, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(m_slave, TCSANOW, &t);
    }
}

PtyPair::~PtyPair() {
    if (m_slave >= 0)
        ::close(m_slave);
    hangUp();
}

void PtyPair::hangUp() {
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

bool PtyPair::write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd p{m_master, POLLOUT, 0};
        if (::poll(&p, 1, 2000) <= 0)
            return false;
    }
    return true;
}

QByteArray PtyPair::read(int count, int timeoutMs) {
    QByteArray out;
    while (out.size() < count) {
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN))
            break;
        char buf[4096];
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            break;
        out.append(buf, n);
    }
    return out;
}

QByteArray PtyPair::drain(int timeoutMs) {
    return read(1 << 30, timeoutMs);
}

} // namespace tornyx::test
