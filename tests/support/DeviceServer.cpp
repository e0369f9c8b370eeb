#include "support/DeviceServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tornyx::test {

int freeLoopbackPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

bool isListening(int port) {
    QFile f("/proc/net/tcp");
    if (!f.open(QIODevice::ReadOnly))
        return false;
    // "sl local_address rem_address st ...": 0100007F:PORT in hex, state 0A.
    const QByteArray local = "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields[1] == local && fields[3] == "0A")
            return true;
    }
    return false;
}

Ser2Net::Ser2Net(const QString& folder, const QString& device, Kind kind, const QString& line)
    : m_kind(kind), m_port(freeLoopbackPort()) {
    const QString config = folder + "/ser2net.yaml";
    QFile f(config);
    if (!f.open(QIODevice::WriteOnly))
        return;
    const QString accepter = kind == Kind::Rfc2217 ? "telnet(rfc2217),tcp" : "tcp";
    f.write(QString("%YAML 1.1\n---\n"
                    "connection: &machine\n"
                    "    accepter: %1,127.0.0.1,%2\n"
                    "    connector: serialdev,%3,%4,local\n"
                    "    options:\n"
                    "      kickolduser: false\n"
                    "      chardelay: false\n")
                .arg(accepter)
                .arg(m_port)
                .arg(device, line)
                .toUtf8());
    f.close();
    // -n: stay in the foreground; -u: no UUCP lock files outside the folder.
    m_p.setProgram("ser2net");
    m_p.setArguments({"-n", "-u", "-c", config});
    m_p.setProcessChannelMode(QProcess::MergedChannels);
    m_p.start();
    if (!m_p.waitForStarted(5000))
        return;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000 && m_p.state() == QProcess::Running) {
        if (isListening(m_port)) {
            m_ready = true;
            return;
        }
        QThread::msleep(20);
    }
}

Ser2Net::~Ser2Net() {
    kill();
}

QString Ser2Net::url() const {
    return QString(m_kind == Kind::Rfc2217 ? "rfc2217" : "tcp") + "://127.0.0.1:" + QString::number(m_port);
}

void Ser2Net::kill() {
    if (m_p.state() != QProcess::NotRunning) {
        m_p.kill();
        m_p.waitForFinished(3000);
    }
}

QString Ser2Net::output() {
    return QString::fromLocal8Bit(m_p.readAll());
}

} // namespace tornyx::test
