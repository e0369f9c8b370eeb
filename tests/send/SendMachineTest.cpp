// Whole send runs over a real pseudo-terminal against the simulated machine.
#include "app/TransferDesk.h"

#include "platform/MappedSerialPort.h"
#include "platform/TextCodec.h"

#include "send/SendFakes.h"
#include "support/DeviceServer.h"
#include "support/FakeWindow.h"
#include "support/MachineProcess.h"
#include "support/QtPrinters.h"
#include "support/StandIns.h"
#include "support/TempHome.h"

#include <QMap>
#include <QProcess>

#include <optional>

#include <gtest/gtest.h>

using namespace tornyx;
using namespace tornyx::test;
using platform::MappedSerialPort;
using platform::SystemClock;

namespace {

// Real time, running `factor` times faster: the 4000 ms before the port
// closes take 100 ms. The machine reads without pacing so nothing waits on
// the line rate the run believes in.
class FastClock final : public platform::Clock {
public:
    explicit FastClock(int factor) : m_factor(factor) {}
    std::int64_t nowUs() override { return m_base + (m_real.nowUs() - m_base) * m_factor; }
    void sleepUs(std::int64_t us) override { m_real.sleepUs(std::max<std::int64_t>(us / m_factor, 1)); }

private:
    SystemClock m_real;
    std::int64_t m_base = m_real.nowUs();
    int m_factor;
};

class Machine : public test::MachineProcess {
public:
    explicit Machine(const QStringList& args)
        : MachineProcess(TORNYX_MACHINE,
                         QStringList{"--mode", "receive", "--baud", "19200", "--start-delay", "30",
                                     "--timeout", "15000", "--idle", "500"},
                         args) {}
};

// A send run wired to the pty (or to a device server in front of it): the
// real port, a fast real clock.
struct Rig {
    TempHome home;
    MappedSerialPort port;
    ScriptedLineHost lineHost;
    FastClock clock;
    FakeWindow win;
    TransferDesk desk{{port, clock, standInCommands(home), platform::SettingsHome(home.path())},
                      deskViews(lineHost, win)};
    FakeWindow& editor = win;
    FakeWindow& host = win;
    TransferState& state = desk.state();
    TransferSession& session = desk.session();
    SendContext ctx;

    Rig(const QString& device, int factor = 40) : clock(factor) {
        session.setPortResolver([device](const QString&) { return device; });
        ctx.profile = defaultProfile(1);
        ctx.profile.send.speed = 5;  // 19200
        ctx.profile.send.signal = 0; // the machine's DC1 starts the data
        ctx.options.dc3Is93 = ctx.lineOptions.dc3Is93 = false;
        // A device server in front of a pseudo-terminal reports no carrier.
        ctx.lineOptions.noLineCheck = device.contains("://");
        ctx.documentPath = "/work/progs/PART1.nc";
    }
    void send() {
        applyContext(desk, ctx);
        desk.sendPressed(false);
    }
    QString lastLogLine() const {
        QString t = platform::fromSjis(home.read("Tornyx_S.log"));
        t.chop(2);
        t = t.mid(t.lastIndexOf('\n') + 1);
        return t.mid(t.indexOf("  "));
    }
};

} // namespace

TEST(SendOverPty, WorkedStreamsReachTheMachineByteExact) {
    struct Case {
        int code;
        const char* machineCode;
        const char* bytes;
    };
    // Directly, and through ser2net as an RFC 2217 device server.
    for (const bool viaBox : {false, true})
        for (const Case& c : {Case{0, "iso", "0A CF B1 0A 4D 33 30 0A 0A A5"},
                              Case{1, "eia", "46 01 80 54 13 20 80 80 0B"}}) {
            TempHome out;
            Machine m(
                {"--code", c.machineCode, "--no-pace", "--no-percent-end", "--raw-out", out.file("raw.bin")});
            ASSERT_FALSE(m.slave().isEmpty());
            std::optional<Ser2Net> box;
            if (viaBox) {
                ASSERT_TRUE(box.emplace(out.path(), m.slave(), Ser2Net::Kind::Rfc2217).isReady());
            }
            Rig r(box ? box->url() : m.slave());
            r.ctx.profile.send.code = c.code;
            r.send();
            EXPECT_EQ(r.lastLogLine(), QStringLiteral(u"  送信完了")) << r.session.log().text().toStdString();
            const auto res = m.result();
            EXPECT_EQ(hex(out.read("raw.bin")), c.bytes)
                << c.machineCode << (viaBox ? " through ser2net" : "");
            EXPECT_TRUE(r.session.log().text().contains(QStringLiteral(u"  NC機より送信開始信号を受信\n")));
            EXPECT_FALSE(r.port.isOpen());
        }
}

TEST(SendOverPty, CanDuringThePauseStopsWithTheDataStage) {
    Machine m({"--xoff-at", "6", "--xoff-ms", "5000", "--fault", "can@6", "--no-pace"});
    Rig r(m.slave());
    // Seconds of data, so a machine slow to be scheduled still pauses the
    // run in the middle of it. The writer may be up to 12 characters ahead
    // of the line when the pause comes, so the stop falls on a data
    // character (1014) or on a block end (1016), never in the end code.
    r.editor.lines = {"O1"};
    for (int i = 0; i < 200; ++i)
        r.editor.lines << "G01X100.Y200.Z300.F1000.";
    r.editor.lines << "M30";
    r.send();
    const QString last = r.lastLogLine();
    EXPECT_TRUE(last == QStringLiteral(u"  送信中止　ｴﾗｰ番号 1014") ||
                last == QStringLiteral(u"  送信中止　ｴﾗｰ番号 1016"))
        << r.session.log().text().toStdString();
    EXPECT_FALSE(r.session.log().text().contains(QStringLiteral(u"書込み不良"))) << "CAN is no write failure";
    EXPECT_TRUE(r.state.dataSent);
    EXPECT_FALSE(r.state.success);
    m.result();
}

TEST(SendOverPty, VanishingDeviceStopsAndClosesThePort) {
    Machine m({"--fault", "hangup@8", "--no-pace"});
    Rig r(m.slave());
    // Long enough that the writer, whose clock runs forty times fast, cannot
    // have handed the whole program over before the machine hangs up.
    r.editor.lines = {"O1"};
    for (int i = 0; i < 60; ++i)
        r.editor.lines << "G01X" + QByteArray::number(i) + ".Y200.";
    r.editor.lines << "M30";
    r.send();
    const QString log = r.session.log().text();
    EXPECT_TRUE(log.contains(QStringLiteral(u"  通信ﾎﾟｰﾄ書込み不良の為中止\n"))) << log.toStdString();
    EXPECT_TRUE(r.lastLogLine().startsWith(QStringLiteral(u"  送信中止　ｴﾗｰ番号 10")))
        << r.lastLogLine().toStdString();
    EXPECT_FALSE(r.port.isOpen());
    EXPECT_TRUE(r.desk.isPostTransferDue());
}

TEST(SendOverPty, StopButtonMidLine) {
    TempHome out;
    Machine m({"--no-pace", "--raw-out", out.file("raw.bin")});
    Rig r(m.slave());
    r.ctx.profile.send.code = 2; // bytes as written
    r.editor.lines = {"O1"};
    QByteArray program = "\nO1\n";
    for (int i = 0; i < 8; ++i) {
        r.editor.lines << "G01X100.Y200.Z300.";
        program += "G01X100.Y200.Z300.\n";
    }
    r.editor.lines << "M30";
    program += "M30\n\n%";
    r.lineHost.onPump = [&](int) {
        if (r.state.dataSent && r.session.log().text().contains(QStringLiteral(u"送信開始\n")) &&
            r.host.programLabel.contains("O1"))
            r.desk.stopPressed();
    };
    r.send();
    EXPECT_TRUE(r.lastLogLine().startsWith(QStringLiteral(u"  送信中止　ｴﾗｰ番号 10")))
        << r.lastLogLine().toStdString();
    m.result();
    const QByteArray got = out.read("raw.bin");
    EXPECT_TRUE(program.startsWith(got.left(got.size() - 1)))
        << "only a prefix of the program, then at most the stop DC4: " << hex(got).toStdString();
    // One pump interval of the line and the writer's lead at the most; the
    // emulated line checks that nothing is handed over after the stop.
    EXPECT_LT(got.size(), program.size() / 2);
}

// A pseudo-terminal delivers a byte as it is written: after the machine's
// XOFF at most three bytes may follow, on a loaded computer too. A machine
// that models the line's timing (paced) also receives what the writer had
// handed over before the XOFF, as a real line would: at most the lead (and,
// on a loaded computer, a few bytes the machine itself models late). The same
// through ser2net as an RFC 2217 device server, whose loopback round trip is
// far below one character.
TEST(SendOverPty, AtMostThreeBytesAfterTheMachinesXoff) {
    struct Case {
        bool viaBox;
        bool paced;
    };
    for (const Case c : {Case{false, false}, Case{false, true}, Case{true, true}}) {
        SCOPED_TRACE(std::string(c.viaBox ? "through ser2net, " : "direct, ") +
                     (c.paced ? "paced" : "unpaced"));
        TempHome folder;
        QStringList args{"--xoff-at", "200", "--xoff-ms", "150"};
        if (!c.paced)
            args << "--no-pace";
        Machine m(args);
        std::optional<Ser2Net> box;
        if (c.viaBox) {
            ASSERT_TRUE(box.emplace(folder.path(), m.slave(), Ser2Net::Kind::Rfc2217, "19200n82").isReady());
        }
        Rig r(box ? box->url() : m.slave(), 1);
        r.editor.lines = {"O1"};
        for (int i = 0; i < 30; ++i)
            r.editor.lines << "G01X" + QByteArray::number(i) + ".Y200.";
        r.editor.lines << "M30";
        r.send();
        EXPECT_EQ(r.lastLogLine(), QStringLiteral(u"  送信完了"));
        const auto res = m.result();
        EXPECT_EQ(res.value("xoffs"), "1");
        const LinePacer& pacer = r.session.pacer();
        const std::int64_t leadBytes =
            (pacer.maxLeadUs() * 1000 + pacer.characterNs() - 1) / pacer.characterNs();
        EXPECT_LE(res.value("after_xoff").toInt(), c.paced ? leadBytes + 8 : 3);
    }
}

// --- through ser2net, an Ethernet serial device server, on loopback -------

TEST(SendThroughDeviceServer, ABoxThatDiesMidSendEndsTheRunNamingIt) {
    Machine m({"--timeout", "20000"});
    TempHome folder;
    Ser2Net box(folder.path(), m.slave(), Ser2Net::Kind::Rfc2217, "19200n82");
    ASSERT_TRUE(box.isReady());
    Rig r(box.url(), 1);
    r.editor.lines = QList<QByteArray>(40, "G01X100.Y200.Z300.");
    r.lineHost.onPump = [&](int) {
        if (r.state.dataSent)
            box.kill();
    };
    r.editor.lines.prepend("O1");
    r.send();
    const QString log = r.session.log().text();
    EXPECT_TRUE(log.contains(QStringLiteral(u"  通信ﾎﾟｰﾄ書込み不良の為中止\n")) ||
                log.contains(QStringLiteral(u"  通信回線切断の為中止\n")))
        << log.toStdString();
    EXPECT_TRUE(log.contains("  127.0.0.1:" + QString::number(box.port()) +
                             QStringLiteral(u" 接続が切断されました\n")))
        << log.toStdString();
    EXPECT_TRUE(r.lastLogLine().startsWith(QStringLiteral(u"  送信中止　ｴﾗｰ番号 10")))
        << r.lastLogLine().toStdString();
    EXPECT_FALSE(r.port.isOpen());
    EXPECT_TRUE(r.desk.isPostTransferDue()) << "the window goes back to editing";
}
