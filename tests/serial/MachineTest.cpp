// The serial line against the simulated machine over a real pty.
#include "platform/PosixSerialPort.h"
#include "serial/TransferSession.h"

#include "support/FakeLineHost.h"
#include "support/MachineProcess.h"
#include "support/TempHome.h"

#include <QFile>
#include <QMap>
#include <QProcess>

#include <gtest/gtest.h>

using namespace tornyx;
using tornyx::platform::PosixSerialPort;
using tornyx::platform::SystemClock;
using tornyx::test::FakeLineHost;
using tornyx::test::hex;
using tornyx::test::TempHome;

namespace {

class Machine : public test::MachineProcess {
public:
    explicit Machine(const QStringList& args)
        : MachineProcess(TORNYX_MACHINE, QStringList{"--start-delay", "30", "--timeout", "10000"}, args) {}
};

struct Rig {
    TempHome home;
    PosixSerialPort port;
    FakeLineHost host;
    SystemClock clock;
    TransferSession s{port, host, clock};
    CommProfile profile;
    LineOptions options;

    explicit Rig(const QString& device) {
        s.setPortResolver([device](const QString&) { return device; });
        profile.send.speed = 5;
        profile.read.speed = 5;
        options.dc3Is93 = false;
    }
    // How many bytes the writer may at most hand over ahead of the line.
    int leadBytes() const {
        const LinePacer& p = s.pacer();
        return int((p.maxLeadUs() * 1000 + p.characterNs() - 1) / p.characterNs());
    }
    // Waits for the machine's DC1, then sends the text; true when every
    // character went out.
    bool send(const QByteArray& text) {
        if (!s.waitForInput(3000) || s.readChar() != 0x11)
            return false;
        for (unsigned char c : text)
            if (s.writeChar(c))
                return false;
        return true;
    }
};

const QByteArray Program("%\nO1234(TEST-1)\nG90G01X-10.5Y2.F100\nM30\n%");

} // namespace

TEST(Machine, ReceivesWhatOpenLineAndWriteCharSendInIsoEiaAndRaw) {
    struct Case {
        int code;
        const char* machineCode;
        QByteArray expected;
    };
    const Case cases[] = {{0, "iso", Program}, {1, "eia", Program}, {2, "raw", Program}};
    for (const Case& c : cases) {
        TempHome out;
        Machine m({"--mode", "receive", "--baud", "19200", "--code", c.machineCode, "--out",
                   out.file("got.nc"), "--raw-out", out.file("raw.bin")});
        ASSERT_FALSE(m.slave().isEmpty());
        Rig r(m.slave());
        r.profile.send.code = c.code;
        ASSERT_TRUE(r.s.openLine(SendKind, r.profile, r.options)) << r.s.log().text().toStdString();
        EXPECT_TRUE(r.send(Program)) << c.machineCode;
        const auto res = m.result();
        r.s.closeLine();
        EXPECT_EQ(res.value("end"), "percent") << c.machineCode;
        EXPECT_EQ(out.read("got.nc"), c.expected) << c.machineCode;
        EXPECT_EQ(res.value("bytes").toInt(), Program.size()) << c.machineCode;
    }
}

TEST(Machine, PunchedProgramIsReadBackByteExact) {
    for (const char* code : {"iso", "eia"}) {
        TempHome home;
        home.write("in.nc", "O0007\r\nG01X1.Y-2.\r\nM30\r\n");
        Machine m({"--mode", "punch", "--baud", "19200", "--code", code, "--leader", "5", "--frame",
                   "--input", home.file("in.nc")});
        Rig r(m.slave());
        r.profile.read.code = 0; // automatic
        // The receive line lets the driver take XON/XOFF; with XOFF 0x13 it
        // would swallow the EIA "3".
        r.options.dc3Is93 = true;
        ASSERT_TRUE(r.s.openLine(ReceiveKind, r.profile, r.options));
        QByteArray got;
        int percents = 0;
        while (percents < 2 && r.s.waitForInput(3000)) {
            const unsigned char c = r.s.readChar();
            if (c == 0)
                continue;
            got.append(char(c));
            percents += c == '%';
        }
        while (r.s.waitForInput(200))
            EXPECT_EQ(r.s.readChar(), 0) << "only the trailing leader follows";
        EXPECT_EQ(got, QByteArray("%\nO0007\nG01X1.Y-2.\nM30\n%")) << code;
        EXPECT_EQ(int(r.s.codeMode()), int(QByteArray(code) == "iso" ? CodeMode::Iso : CodeMode::Eia));
        r.s.closeLine();
        EXPECT_EQ(m.result().value("end"), "done");
    }
}

TEST(Machine, CanDuringThePauseAndAHangUpStopTheWriter) {
    {
        Machine m({"--mode", "receive", "--baud", "19200", "--xoff-at", "10", "--xoff-ms", "5000", "--fault",
                   "can@10"});
        Rig r(m.slave());
        ASSERT_TRUE(r.s.openLine(SendKind, r.profile, r.options));
        EXPECT_FALSE(r.send(Program));
        EXPECT_TRUE(r.s.writeFailed());
        EXPECT_FALSE(r.s.log().text().contains("書込み不良")) << "CAN is not a write failure";
    }
    {
        Machine m({"--mode", "receive", "--baud", "19200", "--fault", "hangup@10", "--no-percent-end"});
        Rig r(m.slave());
        ASSERT_TRUE(r.s.openLine(SendKind, r.profile, r.options));
        EXPECT_FALSE(r.send(Program.repeated(10)));
        EXPECT_TRUE(r.s.log().text().endsWith("  通信ﾎﾟｰﾄ書込み不良の為中止\n"))
            << r.s.log().text().toStdString();
    }
}

TEST(Machine, HelpExplainsItselfAndWritePortsKeepsOtherKeys) {
    QProcess help;
    help.start(TORNYX_MACHINE, {"--help"});
    ASSERT_TRUE(help.waitForFinished(5000));
    EXPECT_EQ(help.exitCode(), 0);
    const QString text = QString::fromLocal8Bit(help.readAllStandardOutput());
    for (const char* word :
         {"--mode receive", "--mode punch", "--mode dnc", "--fault", "--write-ports", "[Ports]"})
        EXPECT_TRUE(text.contains(word)) << word;

    TempHome home;
    home.write("Tornyx.INI", "[Main]\r\nLeft=5\r\n[Ports]\r\nCOM2=/dev/ttyUSB0\r\nCOM1=/dev/pts/999\r\n");
    Machine m({"--mode", "receive", "--write-ports", home.file("Tornyx.INI"), "--timeout", "300"});
    ASSERT_FALSE(m.slave().isEmpty());
    m.result();
    EXPECT_EQ(home.read("Tornyx.INI"),
              "[Main]\r\nLeft=5\r\n[Ports]\r\nCOM2=/dev/ttyUSB0\r\nCOM1=" + m.slave().toLocal8Bit() + "\r\n");
}

// Paced, or reading at once (where what was already waiting at the XOFF
// counts as before it).
TEST(Machine, CountsWhatAWriterThatIgnoresXoffSends) {
    for (const bool paced : {true, false}) {
        SCOPED_TRACE(paced ? "paced" : "unpaced");
        // A hold longer than the writing, so a loaded computer cannot make the
        // writer's bytes come after the XON.
        QStringList args{"--mode",    "receive", "--baud",           "19200",  "--xoff-at", "20",
                         "--xoff-ms", "3000",    "--no-percent-end", "--idle", "300"};
        if (!paced)
            args << "--no-pace";
        Machine m(args);
        PosixSerialPort port;
        ASSERT_TRUE(port.open(m.slave()));
        SystemClock clock;
        ASSERT_TRUE(port.waitForInput(3000000));
        port.purge();
        for (int i = 0; i < 300; ++i) { // 300 characters at 19200 8N2, XOFF or not
            ASSERT_TRUE(port.writeByte('A'));
            clock.sleepUs(573);
        }
        const auto res = m.result();
        EXPECT_GT(res.value("after_xoff").toInt(), 30)
            << "the machine's count must see a writer that runs on";
    }
}

TEST(Machine, PunchHoldsOnThePcsXoffUntilXon) {
    TempHome home;
    QByteArray text;
    for (int i = 0; i < 40; ++i)
        text += "G01X" + QByteArray::number(i) + ".5\n";
    home.write("in.nc", text);
    Machine m({"--mode", "punch", "--baud", "19200", "--frame", "--input", home.file("in.nc")});
    Rig r(m.slave());
    r.profile.read.code = 3; // ISO
    ASSERT_TRUE(r.s.openLine(ReceiveKind, r.profile, r.options));
    QByteArray got;
    auto take = [&](int ms) {
        while (r.s.waitForInput(ms))
            got.append(char(r.s.readChar()));
    };
    while (got.size() < 50 && r.s.waitForInput(3000))
        got.append(char(r.s.readChar()));
    ASSERT_TRUE(r.port.writeByte(0x13));
    take(250); // what was on the way
    const qsizetype held = got.size();
    take(300);
    EXPECT_EQ(got.size(), held) << "nothing while the PC holds the machine";
    ASSERT_TRUE(r.port.writeByte(0x11));
    take(500);
    EXPECT_EQ(got, "%\n" + text + "%");
    r.s.closeLine();
    const auto res = m.result();
    EXPECT_EQ(res.value("pauses"), "1");
    EXPECT_EQ(res.value("end"), "done");
}

TEST(Machine, DncBufferThrottlesTheWriterWithoutLosingABlock) {
    TempHome out;
    // The machine sends its XOFF with a quarter of the buffer left: room for
    // what the writer has handed over ahead of the line (at most 13 bytes at
    // 19200) and for the simulator's own lateness on a loaded computer.
    Machine m({"--mode", "dnc", "--baud", "19200", "--buffer", "96", "--blocks-per-s", "30", "--out",
               out.file("got.nc")});
    Rig r(m.slave());
    ASSERT_TRUE(r.s.openLine(SendKind, r.profile, r.options));
    QByteArray text("%\n");
    for (int i = 0; i < 30; ++i)
        text += "N" + QByteArray::number(i) + "G01X1.Y2.\n";
    text += "%";
    EXPECT_TRUE(r.send(text));
    const auto res = m.result();
    EXPECT_EQ(out.read("got.nc"), text);
    EXPECT_EQ(res.value("overflow"), "0");
    EXPECT_GE(res.value("xoffs").toInt(), 1);
    // A paced machine that wakes late for a byte models the line that much
    // later, and counts a few of the bytes before its XOFF as after it.
    EXPECT_LE(res.value("after_xoff").toInt(), r.leadBytes() + 8);
}
