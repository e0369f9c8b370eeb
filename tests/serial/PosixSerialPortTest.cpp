#include "platform/PosixSerialPort.h"
#include "platform/IniFile.h"
#include "platform/PortNames.h"
#include "serial/TransferSession.h"

#include "support/FakeLineHost.h"
#include "support/PtyPair.h"
#include "support/TempHome.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <thread>

using namespace tornyx;
using tornyx::platform::IniFile;
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
    EXPECT_EQ(platform::portDevicePath("COM1"), "/dev/pts/7") << "reads Tornyx.INI of the settings home";
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
