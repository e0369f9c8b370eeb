#include "platform/PosixSerialPort.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/PortNames.h"
#include "serial/TransferSession.h"

#include "support/FakeLineHost.h"
#include "support/PtyPair.h"
#include "support/TempHome.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace tornyx;
using tornyx::platform::IniFile;
using tornyx::platform::PortState;
using tornyx::platform::PosixSerialPort;
using tornyx::platform::SystemClock;
using tornyx::test::FakeLineHost;
using tornyx::test::hex;
using tornyx::test::PtyPair;
using tornyx::test::TempHome;

namespace {

struct PtyRig {
    TempHome home;
    PtyPair pty;
    PosixSerialPort port;
    FakeLineHost host;
    SystemClock clock;
    TransferSession s{port, host, clock};
    CommProfile profile;
    LineOptions options;

    PtyRig() {
        EXPECT_TRUE(pty.isValid());
        const QString dev = pty.slavePath();
        s.setPortResolver([dev](const QString& n) { return n == "COM1" ? dev : QString(); });
        profile.send.speed = 5; // 19200 keeps the tests short
        profile.read.speed = 5;
        options.dc3Is93 = false;
    }
    QByteArray send(const QByteArray& text) {
        for (unsigned char c : text)
            if (s.writeChar(c))
                break;
        return pty.read(int(text.size()), 500);
    }
};

// A terminal's settings as another program left them: cooked input with echo
// and signals, output processing, 2400 bit/s, hang-up on close, no CLOCAL.
void setCooked(int fd) {
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    t.c_iflag = ICRNL | IXON | IXANY;
    t.c_oflag = OPOST | ONLCR;
    t.c_cflag = (t.c_cflag & ~tcflag_t(CSIZE | CLOCAL | CRTSCTS)) | CS7 | PARENB | CREAD | HUPCL;
    t.c_lflag = ICANON | ECHO | ECHOE | ISIG | IEXTEN;
    t.c_cc[VMIN] = 1;
    t.c_cc[VSTOP] = 0x13;
    ::cfsetispeed(&t, B2400);
    ::cfsetospeed(&t, B2400);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &t), 0);
}

std::string settingsOf(int fd) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return "unreadable";
    return hex(QByteArray(reinterpret_cast<const char*>(&t), sizeof t)).toStdString();
}

bool isExclusive(int fd) {
    int on = 0;
    return ::ioctl(fd, TIOCGEXCL, &on) == 0 && on;
}

// Another program holding a terminal: a child process that opens it, takes
// the lock of its kind, and keeps it until the object goes.
class HeldByChild {
public:
    enum class Kind { Open, Exclusive, Flock };

    HeldByChild(const QString& device, Kind kind) {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        const QByteArray path = device.toLocal8Bit();
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY);
            const bool held = fd >= 0 && (kind != Kind::Exclusive || ::ioctl(fd, TIOCEXCL) == 0) &&
                              (kind != Kind::Flock || ::flock(fd, LOCK_EX | LOCK_NB) == 0);
            const char answer = held ? 'y' : 'n';
            (void)!::write(ready[1], &answer, 1);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char answer = 0;
        m_held = m_pid > 0 && ::read(ready[0], &answer, 1) == 1 && answer == 'y';
        ::close(ready[0]);
    }
    ~HeldByChild() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    HeldByChild(const HeldByChild&) = delete;
    HeldByChild& operator=(const HeldByChild&) = delete;
    bool isHeld() const { return m_held; }

private:
    pid_t m_pid = -1;
    bool m_held = false;
};

bool probe(const QString& device, PosixSerialPort& port) {
    return probePort(7, port, LineOptions{},
                     [device](const QString& n) { return n == "COM7" ? device : QString(); });
}

} // namespace

TEST(PortNames, ComNamesMapThroughThePortsSection) {
    TempHome home;
    home.write("Tornyx.INI", "[Ports]\r\nCOM1=/dev/pts/7\r\ncom12 = /dev/ttyUSB0\r\n");
    IniFile ini(home.file("Tornyx.INI"));
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(platform::portDevicePath("COM1", ini), "/dev/pts/7");
    EXPECT_EQ(platform::portDevicePath("COM12", ini), "/dev/ttyUSB0");
    EXPECT_EQ(platform::portDevicePath("COM2", ini), "/dev/ttyS1");
    EXPECT_EQ(platform::portDevicePath("COM30", ini), "/dev/ttyS29");
    EXPECT_EQ(platform::portDevicePath("/dev/ttyACM0", ini), "/dev/ttyACM0");
    EXPECT_EQ(platform::portDevicePath(QString::fromUtf8("設定ﾎﾟｰﾄ無し"), ini), "");
    EXPECT_EQ(platform::portDevicePath("COMX", ini), "");
    EXPECT_EQ(platform::portDevicePath("COM1", platform::SettingsHome(home.path())), "/dev/pts/7")
        << "reads Tornyx.INI of the settings home";
}

TEST(PosixSerialPort, OpensExclusivelyAndReportsMissingDevices) {
    PtyPair pty;
    PosixSerialPort a, b;
    ASSERT_TRUE(a.open(pty.slavePath())) << a.lastError().toStdString();
    EXPECT_FALSE(b.open(pty.slavePath()));
    EXPECT_FALSE(b.lastError().isEmpty());
    a.close();
    EXPECT_TRUE(b.open(pty.slavePath())) << b.lastError().toStdString();

    PosixSerialPort c;
    EXPECT_FALSE(c.open("/dev/tornyx-no-such-port"));
    EXPECT_FALSE(c.open("/dev/null")) << "not a terminal";
    EXPECT_FALSE(c.isOpen());
}

TEST(PosixSerialPort, PtyHasNoModemLinesAndReadsThroughItsBuffer) {
    PtyPair pty;
    PosixSerialPort p;
    ASSERT_TRUE(p.open(pty.slavePath()));
    EXPECT_FALSE(p.modemStatus().has_value());
    auto params = *p.lineParameters();
    params.baud = 14400;
    params.xoffChar = 0x93;
    params.discardNul = true;
    ASSERT_TRUE(p.setLineParameters(params)) << p.lastError().toStdString();
    EXPECT_EQ(p.lineParameters()->xoffChar, 0x93);
    EXPECT_EQ(p.lineParameters()->baud, 14400);

    ASSERT_TRUE(pty.write(QByteArray("\0A\0B\r\n", 6)));
    ASSERT_TRUE(p.waitForInput(1000000));
    EXPECT_EQ(p.queuedInput(), 4) << "NUL bytes dropped, CR LF unchanged";
    QByteArray got;
    while (p.queuedInput() > 0)
        got.append(char(*p.readByte()));
    EXPECT_EQ(hex(got), "41 42 0D 0A");
    EXPECT_EQ(p.queuedOutput(), 0);
    ASSERT_TRUE(p.writeByte(0x8D));
    EXPECT_EQ(hex(pty.read(1)), "8D");
}

// The tty layer hands a peer's bytes to the reader from a work queue, and
// FIONREAD counts only what has been handed over: right after the machine's
// write it often says 0. The port must see an XOFF the moment it was sent.
TEST(PosixSerialPort, SeesWhatThePeerWroteJustBefore) {
    PtyPair pty;
    PosixSerialPort p;
    ASSERT_TRUE(p.open(pty.slavePath()));
    int missed = 0;
    for (int i = 0; i < 2000; ++i) {
        ASSERT_TRUE(pty.write("\x13"));
        if (p.queuedInput() != 1)
            ++missed;
        while (p.queuedInput() > 0)
            p.readByte();
    }
    EXPECT_EQ(missed, 0);
}

// --- the port probe ---------------------------------------------------------------

TEST(ProbePort, LeavesAFreeTerminalExactlyAsItWas) {
    PtyPair pty;
    setCooked(pty.slave());
    const std::string before = settingsOf(pty.slave());
    PosixSerialPort port;
    EXPECT_EQ(port.probe(pty.slavePath()), PortState::Free) << port.lastError().toStdString();
    EXPECT_TRUE(probe(pty.slavePath(), port));
    EXPECT_EQ(settingsOf(pty.slave()), before) << "no line setting changed";
    EXPECT_FALSE(isExclusive(pty.slave()));
    PosixSerialPort transfer; // no lock left behind
    EXPECT_TRUE(transfer.open(pty.slavePath())) << transfer.lastError().toStdString();
}

TEST(ProbePort, ATerminalAnotherProgramHoldsIsBusyAndUntouched) {
    using Kind = HeldByChild::Kind;
    for (const Kind kind : {Kind::Open, Kind::Exclusive, Kind::Flock}) {
        SCOPED_TRACE(int(kind));
        PtyPair pty;
        setCooked(pty.slave());
        const std::string before = settingsOf(pty.slave());
        HeldByChild holder(pty.slavePath(), kind);
        ASSERT_TRUE(holder.isHeld());
        PosixSerialPort port;
        EXPECT_EQ(port.probe(pty.slavePath()), PortState::Busy);
        EXPECT_TRUE(port.lastError().contains("in use by process")) << port.lastError().toStdString();
        EXPECT_FALSE(probe(pty.slavePath(), port));
        EXPECT_EQ(settingsOf(pty.slave()), before);
        EXPECT_EQ(isExclusive(pty.slave()), kind == Kind::Exclusive) << "the holder's exclusive use stays";
    }
}

TEST(ProbePort, ALockOrExclusiveUseInThisProgramIsBusyToo) {
    PtyPair pty;
    {
        PosixSerialPort transfer; // a transfer holds it: lock and exclusive use
        ASSERT_TRUE(transfer.open(pty.slavePath()));
        PosixSerialPort port;
        EXPECT_EQ(port.probe(pty.slavePath()), PortState::Busy);
        EXPECT_TRUE(isExclusive(pty.slave())) << "the probe leaves the transfer's exclusive use alone";
        PosixSerialPort second;
        EXPECT_FALSE(second.open(pty.slavePath())) << "and its lock";
    }
    const int fd = ::open(pty.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    PosixSerialPort port;
    EXPECT_EQ(port.probe(pty.slavePath()), PortState::Busy);
    EXPECT_TRUE(port.lastError().contains("locked")) << port.lastError().toStdString();
    ::close(fd);
    EXPECT_EQ(port.probe(pty.slavePath()), PortState::Free) << port.lastError().toStdString();
}

TEST(ProbePort, WhatIsNoTerminalIsUnavailableAndNeverBlocks) {
    TempHome home;
    home.write("plain.txt", "x");
    const QString fifo = home.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    PosixSerialPort port;
    for (const QString& path : {home.file("plain.txt"), fifo, home.path(), QString("/dev/null"),
                                QString("/dev/tornyx-no-such-port")}) {
        EXPECT_EQ(port.probe(path), PortState::Unavailable) << path.toStdString();
        EXPECT_FALSE(port.lastError().isEmpty());
    }
}

TEST(OpenLineOverPty, MissingAndHeldPortsGiveTheNotOpenMessage) {
    {
        PtyRig r;
        r.profile.send.port = "COM2"; // not mapped to anything that exists
        EXPECT_FALSE(r.s.openLine(SendKind, r.profile, r.options));
        ASSERT_EQ(r.host.messages.size(), 1u);
        EXPECT_EQ(r.host.messages[0].text, "COM2の通信ﾎﾟｰﾄが開きません｡!!");
    }
    {
        PtyRig r;
        PosixSerialPort holder;
        ASSERT_TRUE(holder.open(r.pty.slavePath()));
        EXPECT_FALSE(r.s.openLine(SendKind, r.profile, r.options));
        ASSERT_EQ(r.host.messages.size(), 1u);
        EXPECT_EQ(r.host.messages[0].text, "COM1の通信ﾎﾟｰﾄが開きません｡!!");
        EXPECT_TRUE(r.s.log().text().endsWith("  COM1　ﾎﾟｰﾄが開かず中止\n"));
    }
}

TEST(OpenLineOverPty, SendsByteExactInIsoEiaAndRaw) {
    const QByteArray text("%\nO1234(AB)\nG01X-1.5\n%");
    struct Case {
        int code;
        const char* expected;
    };
    const Case cases[] = {
        {0, "A5 0A CF B1 B2 33 B4 28 41 42 A9 0A 47 30 B1 D8 2D B1 2E 35 0A A5"},
        {1, "0B 80 46 01 02 13 04 1A 61 62 4A 80 67 20 01 37 40 01 6B 15 80 0B"},
        {2, "25 0A 4F 31 32 33 34 28 41 42 29 0A 47 30 31 58 2D 31 2E 35 0A 25"},
    };
    for (const Case& c : cases) {
        PtyRig r;
        r.profile.send.code = c.code;
        ASSERT_TRUE(r.s.openLine(SendKind, r.profile, r.options)) << r.s.log().text().toStdString();
        EXPECT_TRUE(r.s.log().text().contains("  COM1 ﾎﾟｰﾄｵｰﾌﾟﾝ\n"));
        EXPECT_FALSE(r.host.dsr.has_value()) << "no modem lines on a pty";
        QByteArray got;
        for (unsigned char ch : text)
            ASSERT_FALSE(r.s.writeChar(ch));
        got = r.pty.read(100, 300);
        EXPECT_EQ(hex(got).toStdString(), c.expected) << "code " << c.code;
        r.s.closeLine();
    }
}

TEST(OpenLineOverPty, ReceivesAndDecodes) {
    PtyRig r;
    r.profile.read.code = 0; // automatic
    ASSERT_TRUE(r.s.openLine(ReceiveKind, r.profile, r.options));
    ASSERT_TRUE(r.pty.write(QByteArray("\x14\xa5\x0a\xcf\xb1\x0a\xa5", 7)));
    QByteArray got;
    while (got.size() < 7 && r.s.waitForInput(1000))
        got.append(char(r.s.readChar()));
    EXPECT_EQ(got, QByteArray("\x14%\nO1\n%"));
    EXPECT_EQ(int(r.s.codeMode()), int(CodeMode::Iso));
}

TEST(OpenLineOverPty, PausesOnXoffUntilDc1AndStopsOnCan) {
    PtyRig r;
    ASSERT_TRUE(r.s.openLine(SendKind, r.profile, r.options));
    r.s.setCodeMode(CodeMode::Raw);
    ASSERT_TRUE(r.pty.write("\x13"));
    ASSERT_TRUE(r.port.waitForInput(1000000)); // the pty hands bytes over asynchronously
    std::thread machine([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        r.pty.write("\x11");
    });
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(r.s.writeChar('A'));
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
    machine.join();
    EXPECT_GE(ms.count(), 140);
    EXPECT_GE(r.host.pumps, 5) << "the window stays live during the pause";
    EXPECT_EQ(hex(r.pty.read(1)), "41");

    ASSERT_TRUE(r.pty.write("\x13\x18"));
    ASSERT_TRUE(r.port.waitForInput(1000000));
    EXPECT_TRUE(r.s.writeChar('B'));
    EXPECT_EQ(hex(r.pty.drain(50)), "");
}

TEST(OpenLineOverPty, AHungUpLineStopsTheWriterWithALogLine) {
    PtyRig r;
    ASSERT_TRUE(r.s.openLine(SendKind, r.profile, r.options));
    EXPECT_FALSE(r.s.writeChar('A'));
    r.pty.hangUp();
    const auto t0 = std::chrono::steady_clock::now();
    bool stopped = false;
    for (int i = 0; i < 10 && !stopped; ++i)
        stopped = r.s.writeChar('A');
    EXPECT_TRUE(stopped);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(4));
    EXPECT_TRUE(r.s.log().text().endsWith("  通信ﾎﾟｰﾄ書込み不良の為中止\n"))
        << r.s.log().text().toStdString();
}

TEST(OpenLineOverPty, AWriteThatCannotLeaveStillTimesOut) {
    PtyRig r;
    ASSERT_TRUE(r.s.openLine(SendKind, r.profile, r.options));
    r.s.setCodeMode(CodeMode::Raw);
    platform::Timeouts t = *r.port.timeouts();
    t.writeTotalConstantMs = 200;
    ASSERT_TRUE(r.port.setTimeouts(t));
    // A machine that stops reading without an XOFF: the terminal fills up.
    int filled = 0;
    while (r.port.writeByte('x'))
        ++filled;
    ASSERT_GT(filled, 1000);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(r.s.writeChar('A'));
    const auto took = std::chrono::steady_clock::now() - t0;
    EXPECT_GE(took, std::chrono::milliseconds(190));
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_TRUE(r.s.log().text().endsWith("  通信ﾎﾟｰﾄ書込み不良の為中止\n"))
        << r.s.log().text().toStdString();
}

TEST(OpenLineOverPty, AHangUpWhileTheMachineHoldsUsStopsWithoutSpinning) {
    PtyRig r;
    ASSERT_TRUE(r.s.openLine(SendKind, r.profile, r.options));
    r.s.setCodeMode(CodeMode::Raw);
    ASSERT_TRUE(r.pty.write("\x13"));
    ASSERT_TRUE(r.port.waitForInput(1000000));
    r.host.onPump = [&](int pump) {
        if (pump == 3)
            r.pty.hangUp();
    };
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(r.s.writeChar('A'));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
    EXPECT_TRUE(r.s.log().text().endsWith("  通信回線切断の為中止\n")) << r.s.log().text().toStdString();
    // A hung-up terminal reports input forever; a wait must still sleep.
    const auto t1 = std::chrono::steady_clock::now();
    EXPECT_FALSE(r.port.waitForInput(50000));
    EXPECT_GE(std::chrono::steady_clock::now() - t1, std::chrono::milliseconds(45));
}

// The machine's pause request over a real line, by code mode and by the
// 0x93 option: the writer holds until the peer's DC1 only for the pause
// character of the mode.
TEST(OpenLineOverPty, PauseRulesInEveryCodeMode) {
    struct Case {
        CodeMode mode;
        bool dc3Is93;
        unsigned char incoming;
        bool pauses;
    };
    const Case cases[] = {
        {CodeMode::Iso, false, 0x13, true},  {CodeMode::Eia, false, 0x13, true},
        {CodeMode::Raw, false, 0x13, true},  {CodeMode::Iso, false, 0x93, true},
        {CodeMode::Eia, false, 0x93, false}, {CodeMode::Raw, false, 0x93, false},
        {CodeMode::Iso, true, 0x93, true},   {CodeMode::Eia, true, 0x93, true},
        {CodeMode::Raw, true, 0x93, true},   {CodeMode::Iso, true, 0x13, false},
        {CodeMode::Eia, true, 0x13, false},  {CodeMode::Raw, true, 0x13, false},
        {CodeMode::Iso, false, 0x18, false}, // CAN while not paused is dropped
    };
    for (const Case& c : cases) {
        const std::string name = "mode " + std::to_string(int(c.mode)) + " 0x93 " +
                                 std::to_string(c.dc3Is93) + " byte " + std::to_string(int(c.incoming));
        PtyRig r;
        r.options.dc3Is93 = c.dc3Is93;
        ASSERT_TRUE(r.s.openLine(SendKind, r.profile, r.options)) << name;
        r.s.setCodeMode(c.mode);
        ASSERT_TRUE(r.pty.write(QByteArray(1, char(c.incoming))));
        ASSERT_TRUE(r.port.waitForInput(1000000));
        std::thread machine([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            r.pty.write("\x11");
        });
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_FALSE(r.s.writeChar('G')) << name;
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
                .count();
        machine.join();
        if (c.pauses)
            EXPECT_GE(ms, 140) << name << ": held until DC1";
        else
            EXPECT_LT(ms, 100) << name << ": no pause";
        EXPECT_EQ(r.pty.read(1).size(), 1) << name << ": the character went out";
    }
}

// A tape punch runs the line at 4800 8N2 whatever the code says; spaces
// stay off the line with the space option.
TEST(OpenLineOverPty, TapePunchFramingAndTheSpaceOption) {
    for (const LineDirection kind : {SendKind, ReceiveKind}) {
        PtyRig r;
        r.profile.send.speed = 6;
        r.profile.read.speed = 6;
        r.profile.send.code = 2; // ASCII: 7 bits even, overridden
        r.profile.read.code = 3;
        r.options.skipSpaces = true;
        ASSERT_TRUE(r.s.openLine(kind, r.profile, r.options));
        const auto p = r.port.lineParameters();
        ASSERT_TRUE(p.has_value());
        EXPECT_EQ(p->baud, 4800);
        EXPECT_EQ(p->dataBits, 8);
        EXPECT_EQ(int(p->parity), int(platform::Parity::None));
        EXPECT_EQ(int(p->stopBits), int(platform::StopBits::Two));
        const QString log = r.s.log().text();
        EXPECT_TRUE(log.contains("  通信機器で固定4800\n")) << log.toStdString();
        EXPECT_LT(log.indexOf("  通信機器選択の為以下に固定\n"),
                  log.indexOf("  ﾃﾞｰﾀ長8　ﾊﾟﾘﾃｨ無し　ｽﾄｯﾌﾟﾋﾞｯﾄ2\n"))
            << log.toStdString();
        EXPECT_GT(log.indexOf("  通信機器選択の為以下に固定\n"), 0) << log.toStdString();
        if (kind == SendKind) {
            EXPECT_LT(log.indexOf("  ﾃﾞｰﾀ長7　ﾊﾟﾘﾃｨ偶数\n"), log.indexOf("  通信機器選択の為以下に固定\n"))
                << "the code's line first, then the fixed framing";
            r.s.setCodeMode(CodeMode::Raw);
            EXPECT_EQ(r.send("G01 X1. Y2."), "G01X1.Y2.");
        }
    }
}

namespace {

// Time that runs twenty times faster while the program sleeps: the 3 s
// waits of the line switch take 150 ms, and the pty still has real time to
// hand each byte over.
class FastClock final : public platform::Clock {
public:
    std::int64_t nowUs() override { return m_real.nowUs() + m_skippedUs; }
    void sleepUs(std::int64_t us) override {
        m_real.sleepUs(us / 20);
        m_skippedUs += us - us / 20;
    }

private:
    SystemClock m_real;
    std::int64_t m_skippedUs = 0;
};

} // namespace

TEST(OpenLineOverPty, SwitchNumbersGoOutRawThenEncodedWithTheirWaits) {
    struct Case {
        const char* number;
        const char* bytes;
        std::vector<int> secondsBefore; // waits passed before each byte arrived
        int seconds;                    // waits until the line was ready
    };
    const Case cases[] = {
        {"3", "33", {0}, 3},
        {"1-2", "31 B2", {0, 3}, 6},
        {"-1", "31", {3}, 6},
    };
    for (const Case& c : cases) {
        PtyPair pty;
        PosixSerialPort port;
        FakeLineHost host;
        FastClock clock;
        TransferSession s{port, host, clock};
        const QString dev = pty.slavePath();
        s.setPortResolver([dev](const QString&) { return dev; });
        CommProfile profile;
        profile.send.speed = 5;
        profile.send.code = 0; // ISO: encoded bytes carry even parity
        LineOptions options;
        options.dc3Is93 = false;
        options.autoSwitch = true;
        host.switchNumber = QString::fromLatin1(c.number);
        // When each byte reached the machine, in the clock's time.
        QByteArray got;
        std::vector<std::int64_t> arrived;
        std::int64_t t0 = clock.nowUs();
        host.onPump = [&](int) {
            const QByteArray b = pty.drain(0);
            for (char ch : b) {
                got.append(ch);
                arrived.push_back(clock.nowUs() - t0);
            }
        };
        ASSERT_TRUE(s.openLine(SendKind, profile, options)) << c.number;
        const std::int64_t total = clock.nowUs() - t0;
        got += pty.drain(20);
        EXPECT_EQ(hex(got).toStdString(), c.bytes) << c.number;
        ASSERT_EQ(arrived.size(), c.secondsBefore.size()) << c.number;
        for (std::size_t i = 0; i < arrived.size(); ++i)
            EXPECT_NEAR(double(arrived[i]) / 1e6, c.secondsBefore[i], 0.3) << c.number << " #" << i;
        EXPECT_NEAR(double(total) / 1e6, c.seconds, 0.3) << c.number;
        EXPECT_FALSE(s.isRawNext());
    }
}
