// The serial line through Ethernet serial device servers on the loopback
// interface: ser2net in front of a pseudo-terminal, and python3-serial's
// RFC 2217 server as a second, independent peer.
#include "platform/MappedSerialPort.h"
#include "serial/TransferSession.h"

#include "support/DeviceServer.h"
#include "support/FakeLineHost.h"
#include "support/MachineProcess.h"
#include "support/PtyPair.h"
#include "support/QtPrinters.h"
#include "support/TempHome.h"

#include <QElapsedTimer>
#include <QProcess>

#include <functional>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace tornyx;
using namespace tornyx::test;
using platform::LineParameters;
using platform::MappedSerialPort;
using platform::NetworkSerialPort;
using platform::SystemClock;

namespace {

QByteArray everyByte() {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    return all;
}

// A line at 115200 8N1 without any flow control, so that no layer may take
// a byte for itself.
LineParameters plainLine() {
    LineParameters p;
    p.baud = 115200;
    p.dtr = p.rts = platform::LineControl::On;
    return p;
}

QByteArray readAll(platform::SerialPort& port, int count) {
    QByteArray got;
    while (got.size() < count) {
        const std::optional<unsigned char> b = port.readByte();
        if (!b)
            break;
        got.append(char(*b));
    }
    return got;
}

// A transfer session on the mapped port, COM1 pointing at `url`.
struct Rig {
    TempHome home;
    MappedSerialPort port{NetworkSerialPort::Timing{1500, 300, 3000}};
    FakeLineHost host;
    SystemClock clock;
    TransferSession s{port, host, clock};
    CommProfile profile;
    LineOptions options;

    explicit Rig(const QString& url) {
        s.setPortResolver([url](const QString&) { return url; });
        options.dc3Is93 = false;
        options.noLineCheck = true; // a pseudo-terminal behind the box has no carrier
    }
    // The log's lines without their date and time.
    QStringList lines() const {
        QStringList out;
        for (const QString& l : s.log().text().split('\n', Qt::SkipEmptyParts))
            out << l.mid(l.indexOf("  "));
        return out;
    }
};

// A socket that listens on 127.0.0.1 and never answers: with `fill`, its
// backlog is taken by one waiting connection, so further connection
// attempts hang like those to a box that is switched off.
struct SilentListener {
    int fd = -1;
    int client = -1;
    int port = 0;
    explicit SilentListener(bool fill, int receiveBuffer = 0) {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (receiveBuffer > 0)
            ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd, fill ? 0 : 8);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        if (fill) {
            client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            ::connect(client, reinterpret_cast<sockaddr*>(&a), sizeof a);
            ::usleep(50000);
        }
    }
    ~SilentListener() {
        if (client >= 0)
            ::close(client);
        ::close(fd);
    }
};

} // namespace

TEST(DeviceServer, EveryByteValuePassesBothWaysThroughSer2Net) {
    for (const Ser2Net::Kind kind : {Ser2Net::Kind::Rfc2217, Ser2Net::Kind::RawTcp}) {
        TempHome home;
        PtyPair pty;
        Ser2Net box(home.path(), pty.slavePath(), kind, "115200n81");
        ASSERT_TRUE(box.isReady()) << box.output().toStdString();
        MappedSerialPort port;
        ASSERT_TRUE(port.open(box.url())) << port.lastError().toStdString();
        ASSERT_TRUE(port.setLineParameters(plainLine())) << port.lastError().toStdString();
        // 0xFF is the Telnet IAC: it must go out doubled and come in single.
        for (unsigned char b : everyByte())
            ASSERT_TRUE(port.writeByte(b)) << port.lastError().toStdString();
        EXPECT_EQ(hex(pty.read(256, 3000)), hex(everyByte())) << box.url().toStdString();
        ASSERT_TRUE(pty.write(everyByte()));
        EXPECT_EQ(hex(readAll(port, 256)), hex(everyByte())) << box.url().toStdString();
        EXPECT_EQ(port.queuedOutput(), 0);
        port.close();
    }
}

TEST(DeviceServer, TheProfilesFramingReachesTheMachinesLine) {
    struct Case {
        int speed, code, dataLength, parity, stopBits;
        const char* tty;
    };
    // Send codes: 0 ISO, 2 ASCII, 3 user framing. Linux keeps a
    // pseudo-terminal at 8 bits without parity whatever it is told, so the
    // machine's side shows rate and stop bits only; openLine has already
    // checked that ser2net confirmed the data bits and parity, and the
    // python3-serial peer below shows them arriving.
    for (const Case& c : {Case{9, 0, 0, 0, 1, "115200-8N2"}, Case{7, 2, 0, 0, 0, "38400-8N1"},
                          Case{8, 3, 1, 2, 1, "57600-8N2"}, Case{5, 3, 0, 1, 0, "19200-8N1"}}) {
        MachineProcess m(TORNYX_MACHINE,
                         {"--mode", "receive", "--code", "raw", "--no-pace", "--start-delay", "30", "--idle",
                          "300", "--no-percent-end", "--timeout", "10000"},
                         {});
        ASSERT_FALSE(m.slave().isEmpty());
        TempHome folder;
        Ser2Net box(folder.path(), m.slave(), Ser2Net::Kind::Rfc2217);
        ASSERT_TRUE(box.isReady()) << box.output().toStdString();
        Rig r(box.url());
        r.profile.send.speed = c.speed;
        r.profile.send.code = c.code;
        r.profile.send.dataLength = c.dataLength;
        r.profile.send.parity = c.parity;
        r.profile.send.stopBits = c.stopBits;
        ASSERT_TRUE(r.s.openLine(SendKind, r.profile, r.options)) << r.s.log().text().toStdString();
        for (unsigned char ch : QByteArray("O1\n"))
            ASSERT_FALSE(r.s.writeChar(ch));
        r.s.waitMs(100, false);
        r.s.closeLine();
        EXPECT_EQ(m.result()["tty"].toStdString(), c.tty);
    }
}

TEST(DeviceServer, RawSocketKeepsTheBoxesSettingsAndReportsTheLinesOn) {
    TempHome folder;
    PtyPair pty;
    Ser2Net box(folder.path(), pty.slavePath(), Ser2Net::Kind::RawTcp, "19200n82");
    ASSERT_TRUE(box.isReady());
    Rig r(box.url());
    r.profile.send.speed = 9;
    ASSERT_TRUE(r.s.openLine(SendKind, r.profile, r.options));
    EXPECT_TRUE(r.lines().contains("  127.0.0.1:" + QString::number(box.port()) +
                                   " 通信設定は接続先の機器で固定（本ﾌﾟﾛｸﾞﾗﾑからは設定しない）"))
        << r.s.log().text().toStdString();
    EXPECT_EQ(r.host.dsr, true);
    EXPECT_EQ(r.host.cts, true);
    ASSERT_FALSE(r.s.writeChar('%'));
    EXPECT_EQ(hex(pty.read(1)), "A5");
}

TEST(DeviceServer, ABoxThatDiesIsALostConnectionNamedInTheLog) {
    TempHome folder;
    PtyPair pty;
    Ser2Net box(folder.path(), pty.slavePath(), Ser2Net::Kind::Rfc2217, "19200n82");
    ASSERT_TRUE(box.isReady());
    Rig r(box.url());
    r.profile.read.speed = 5;
    ASSERT_TRUE(r.s.openLine(ReceiveKind, r.profile, r.options)) << r.s.log().text().toStdString();
    ASSERT_TRUE(pty.write("%\n"));
    ASSERT_TRUE(r.s.waitForInput(3000));
    EXPECT_FALSE(r.s.isConnectionLost());
    box.kill();
    r.s.waitMs(300, false);
    // What came before the loss is still there to read.
    EXPECT_EQ(r.s.queuedInput(), 2);
    EXPECT_FALSE(r.s.isConnectionLost()) << "not lost while bytes wait";
    while (r.s.queuedInput() > 0)
        r.s.readChar();
    EXPECT_TRUE(r.s.isConnectionLost());
    EXPECT_TRUE(r.s.isConnectionLost());
    EXPECT_EQ(r.lines().mid(r.lines().size() - 2).join('|'),
              QStringLiteral(u"  通信回線切断の為中止|  127.0.0.1:") + QString::number(box.port()) +
                  QStringLiteral(u" 接続が切断されました"))
        << "logged once";
}

TEST(DeviceServer, AClosedPortFailsAtOnceWithTheOpenMessageAndTheAddress) {
    const int closed = freeLoopbackPort();
    Rig r("rfc2217://127.0.0.1:" + QString::number(closed));
    r.profile.send.port = "COM4";
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(r.s.openLine(SendKind, r.profile, r.options));
    EXPECT_LT(t.elapsed(), 500);
    ASSERT_EQ(r.host.messages.size(), 1u);
    EXPECT_EQ(r.host.messages[0].text, "COM4の通信ﾎﾟｰﾄが開きません｡!!");
    EXPECT_EQ(r.lines().mid(r.lines().size() - 2).join('|'),
              "  COM4　ﾎﾟｰﾄが開かず中止|  127.0.0.1:" + QString::number(closed) + " 接続を拒否されました");

    const LineOptions none;
    t.restart();
    EXPECT_FALSE(probePort(4, r.port, none,
                           [&](const QString&) { return "tcp://127.0.0.1:" + QString::number(closed); }));
    EXPECT_LT(t.elapsed(), 500);
}

TEST(DeviceServer, AnIpv6LiteralReachesItsBox) {
    const int listener = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_addr = in6addr_loopback;
    socklen_t len = sizeof a;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(listener);
        GTEST_SKIP() << "no IPv6 loopback here";
    }
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
    NetworkSerialPort p;
    ASSERT_TRUE(p.open("tcp://[::1]:" + QString::number(ntohs(a.sin6_port)))) << p.lastError().toStdString();
    EXPECT_EQ(p.peerName(), "[::1]:" + QString::number(ntohs(a.sin6_port)));
    ASSERT_TRUE(p.writeByte(0xFF));
    const int box = ::accept(listener, nullptr, nullptr);
    unsigned char b = 0;
    EXPECT_EQ(::recv(box, &b, 1, 0), 1);
    EXPECT_EQ(b, 0xFF) << "a raw socket does not escape";
    ::close(box);
    ::close(listener);
}

TEST(DeviceServer, ASilentServerTimesTheOpenOutAndAnUnreachableOneIsProbedBriefly) {
    {
        // Connects, but never answers the Telnet negotiation.
        SilentListener box(false);
        Rig r("rfc2217://127.0.0.1:" + QString::number(box.port));
        QElapsedTimer t;
        t.start();
        EXPECT_FALSE(r.s.openLine(SendKind, r.profile, r.options));
        EXPECT_GE(t.elapsed(), 1400);
        EXPECT_LT(t.elapsed(), 3000);
        EXPECT_EQ(r.lines().last(), "  127.0.0.1:" + QString::number(box.port) + " 応答がありません");
    }
    {
        SilentListener box(true);
        MappedSerialPort port{NetworkSerialPort::Timing{1500, 300, 3000}};
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(port.probe("tcp://127.0.0.1:" + QString::number(box.port)),
                  platform::PortState::Unavailable);
        EXPECT_GE(t.elapsed(), 250);
        EXPECT_LT(t.elapsed(), 1000);
    }
}

TEST(DeviceServer, ABoxThatTakesNoMoreDataFailsAfterTheWriteTimeOut) {
    SilentListener box(false, 4096);
    NetworkSerialPort p;
    ASSERT_TRUE(p.open("tcp://127.0.0.1:" + QString::number(box.port)));
    platform::Timeouts shortWrite;
    shortWrite.writeTotalConstantMs = 300;
    p.setTimeouts(shortWrite);
    // Written without waiting for the queue, until the socket stops taking
    // bytes: the local buffer is kept small, so that comes soon.
    int written = 0;
    while (written < 1000000 && p.writeByte('A'))
        ++written;
    EXPECT_LT(written, 1000000) << "the socket never stopped taking bytes";
    EXPECT_EQ(p.lastError(), QStringLiteral(u"送信ﾃﾞｰﾀを受け付けません"));
    EXPECT_TRUE(p.lineLost());
    EXPECT_EQ(p.queuedOutput(), 0);
}

namespace {

// python3-serial's RFC 2217 server in front of its loopback port, in a
// child process.
struct PythonPeer {
    QProcess process;
    QString url;
    PythonPeer() {
        process.start("/usr/bin/python3", {TORNYX_RFC2217_PEER});
        if (process.waitForReadyRead(10000))
            url = "rfc2217://127.0.0.1:" + QString::fromLatin1(process.readLine()).trimmed();
    }
    // What the peer's port was left at, once the client has closed.
    QString settings() {
        process.waitForFinished(5000);
        return QString::fromLatin1(process.readAllStandardOutput()).trimmed();
    }
};

// Waits until the box's modem-line report satisfies `ok`.
bool reportArrives(platform::SerialPort& p, const std::function<bool(const platform::ModemLines&)>& ok) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 3000) {
        p.waitForInput(20000);
        p.queuedInput();
        if (const std::optional<platform::ModemLines> m = p.modemStatus(); m && ok(*m))
            return true;
    }
    return false;
}

} // namespace

TEST(DeviceServer, PythonSerialsServerReportsTheModemLinesAndItsCtsHoldsTheWriter) {
    PythonPeer peer;
    ASSERT_FALSE(peer.url.isEmpty());
    MappedSerialPort p;
    ASSERT_TRUE(p.open(peer.url)) << p.lastError().toStdString();
    // The peer's loop reads CTS from our RTS and DSR from our DTR.
    LineParameters line = plainLine();
    line.outputCtsFlow = true;
    line.rts = platform::LineControl::Off;
    ASSERT_TRUE(p.setLineParameters(line));
    EXPECT_TRUE(reportArrives(p, [](const platform::ModemLines& m) { return !m.cts && m.dsr && m.carrier; }));
    EXPECT_EQ(p.queuedOutput(), 1) << "CTS off under hardware flow control holds the byte";
    ASSERT_TRUE(p.raiseRts());
    EXPECT_TRUE(reportArrives(p, [](const platform::ModemLines& m) { return m.cts; }));
    EXPECT_EQ(p.queuedOutput(), 0);
}

TEST(DeviceServer, PythonSerialsServerNegotiatesAndEchoesEveryByte) {
    PythonPeer peer;
    ASSERT_FALSE(peer.url.isEmpty());
    MappedSerialPort p;
    ASSERT_TRUE(p.open(peer.url)) << p.lastError().toStdString();
    LineParameters line = plainLine();
    line.baud = 57600;
    line.dataBits = 7;
    line.parity = platform::Parity::Even;
    line.stopBits = platform::StopBits::Two;
    line.rts = platform::LineControl::Off;
    ASSERT_TRUE(p.setLineParameters(line)) << p.lastError().toStdString();
    ASSERT_TRUE(p.purge());
    for (unsigned char b : everyByte())
        ASSERT_TRUE(p.writeByte(b));
    EXPECT_EQ(hex(readAll(p, 256)), hex(everyByte()));
    p.close();
    EXPECT_EQ(peer.settings().toStdString(), "settings baud=57600 bits=7 parity=E stop=2 dtr=1 rts=0");
}
