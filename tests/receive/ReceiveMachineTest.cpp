// Receives over a real pseudo-terminal from the simulated machine.
#include "receive/ReceiveRun.h"
#include "receive/Receiver.h"

#include "platform/MappedSerialPort.h"
#include "platform/TextCodec.h"
#include "serial/TransferSession.h"
#include "status/TransferLog.h"

#include "editor/ProgramIndex.h"
#include "support/DeviceServer.h"
#include "support/FakeLineHost.h"
#include "support/FakeWindow.h"
#include "support/MachineProcess.h"
#include "support/SkippingClock.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <sys/resource.h>

using namespace tornyx;
using tornyx::platform::MappedSerialPort;
using tornyx::test::FakeLineHost;
using tornyx::test::FakeWindow;
using tornyx::test::TempHome;
using Outcome = tornyx::ReceiveResult::Outcome;

namespace {

class Machine : public test::MachineProcess {
public:
    explicit Machine(const QStringList& args)
        : MachineProcess(TORNYX_MACHINE, QStringList{"--start-delay", "100", "--timeout", "60000"}, args) {}
    QString result() { return output(); }
};

int resultValue(const QString& result, const QString& key) {
    for (const QString& kv : result.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts))
        if (kv.startsWith(key + "="))
            return kv.section('=', 1).toInt();
    return -1;
}

std::int64_t cpuUs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (std::int64_t(u.ru_utime.tv_sec) + u.ru_stime.tv_sec) * 1000000 + u.ru_utime.tv_usec +
           u.ru_stime.tv_usec;
}

struct PtyRig {
    TempHome home;
    MappedSerialPort port;
    FakeLineHost line;
    test::SkippingClock clock;
    TransferSession session{port, line, clock};
    FakeWindow host;
    ProgramIndex programs;
    TransferState state;
    ReceiveRun::Setup setup;
    std::function<void(int)> onPump;
    bool skipped = false;
    std::int64_t m_startUs = clock.nowUs();

    explicit PtyRig(const QString& device) {
        session.setPortResolver([device](const QString&) { return device; });
        session.log().setFolder(home.path());
        ReadGroup& r = setup.profile.read;
        r.speed = 5;
        r.stopBits = 1;
        r.code = 0;
        r.seChar = 3;
        setup.receiveFile = home.file("received.nc");
        // A device server in front of a pseudo-terminal reports no carrier.
        setup.options.line.noLineCheck = device.contains("://");
        setup.workingFolder = home.path();
        // No carrier on a pty; the DC4 at the end still goes to the machine.
        line.onPump = [this](int pump) {
            if (!skipped && !host.panel2History.isEmpty() && host.panel2History.back() == "保存中") {
                skipped = true;
                clock.skip(4000000);
            }
            if (onPump)
                onPump(pump);
            if (clock.nowUs() - m_startUs > 40000000) {
                ADD_FAILURE() << "the receive did not end";
                session.requestStop();
            }
        };
    }
    ReceiveResult run() { return ReceiveRun(session, host, host, programs, state, setup).run(); }
    QByteArray file(const QString& path) const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no file>");
    }
    QString log() const { return session.log().text(); }
};

QByteArray program(int lines) {
    QByteArray out = "O1234(PTY)\n";
    for (int i = 1; i <= lines; ++i)
        out += "N" + QByteArray::number(i) + "G01X" + QByteArray::number(i % 113) + ".5Y-" +
               QByteArray::number(i % 7) + "F100\n";
    return out + "M30\n";
}

// What the receive file must hold for program(): the blanks Word 0 puts
// between words, CR LF line ends, no "%" lines.
QByteArray stored(int lines) {
    QByteArray out = "O1234(PTY)\r\n";
    for (int i = 1; i <= lines; ++i)
        out += "N" + QByteArray::number(i) + " G01 X" + QByteArray::number(i % 113) + ".5 Y-" +
               QByteArray::number(i % 7) + " F100\r\n";
    return out + "M30\r\n";
}

} // namespace

TEST(ReceiveOverPty, PunchedIsoAndEiaProgramsArriveByteExact) {
    for (const char* code : {"iso", "eia"}) {
        TempHome in;
        in.write("in.nc", program(40));
        Machine m({"--mode", "punch", "--baud", "19200", "--code", code, "--leader", "10", "--frame",
                   "--input", in.file("in.nc")});
        ASSERT_FALSE(m.slave().isEmpty());
        PtyRig r(m.slave());
        const ReceiveResult res = r.run();
        EXPECT_EQ(int(res.outcome), int(Outcome::Completed)) << code << r.log().toStdString();
        EXPECT_EQ(r.file(r.setup.receiveFile), stored(40)) << code;
        EXPECT_TRUE(r.log().contains(QString("  自動判別で") + (QByteArray(code) == "iso" ? "ISO" : "EIA") +
                                     "ｺｰﾄﾞを検出"))
            << code;
        // The receive ends on the first feed byte after the "%" and closes
        // the line while the machine may still be punching feed.
        EXPECT_EQ(resultValue(m.result(), "pauses"), 0) << code;
    }
}

TEST(ReceiveOverPty, LongTapeAtPtySpeedIsThrottledAndCrossesTheFlushes) {
    TempHome in;
    in.write("in.nc", program(2498));
    Machine m({"--mode", "punch", "--no-pace", "--code", "iso", "--leader", "5", "--frame", "--input",
               in.file("in.nc")});
    PtyRig r(m.slave());
    r.setup.options.line.dc3Is93 = false;
    const ReceiveResult res = r.run();
    EXPECT_EQ(int(res.outcome), int(Outcome::Completed)) << r.log().toStdString();
    const QByteArray got = r.file(r.setup.receiveFile);
    EXPECT_EQ(got.count('\n'), 2500);
    EXPECT_EQ(got, stored(2498));
    const QString machine = m.result();
    EXPECT_GT(resultValue(machine, "pauses"), 0) << "the receive never sent XOFF: " << machine.toStdString();
}

TEST(ReceiveOverPty, OspNameLineStoresUnderThatNameFromACommandLineReceive) {
    TempHome in;
    in.write("in.nc", "$O1234%\nG01X1.\nM30\n%\n");
    Machine m({"--mode", "punch", "--baud", "19200", "--code", "iso", "--leader", "5", "--input",
               in.file("in.nc")});
    PtyRig r(m.slave());
    Receiver receiver(r.session, r.host, r.host, r.programs, r.state, r.host);
    Receiver::Request request;
    request.profileNumber = 11;
    request.profile = r.setup.profile;
    const ReceiveResult res = receiver.orderedReceive(request, r.home.path());
    EXPECT_EQ(res.receiveFile, r.home.path() + "/O1234.MIN") << r.log().toStdString();
    EXPECT_EQ(r.file(res.receiveFile), "G01 X1.\r\nM30\r\n");
    EXPECT_FALSE(QFile::exists(r.home.path() + "/osp_data.tmp"));
}

TEST(ReceiveOverPty, HangUpMidProgramWaitsQuietlyUntilStopped) {
    TempHome in;
    in.write("in.nc", program(200));
    Machine m({"--mode", "punch", "--no-pace", "--code", "iso", "--frame", "--input", in.file("in.nc"),
               "--fault", "hangup@500"});
    PtyRig r(m.slave());
    std::int64_t hungAtUs = 0;
    std::int64_t cpuAtHangUs = 0;
    std::int64_t cpuSpentUs = -1;
    r.onPump = [&](int) {
        // Waiting for the start or receiving: either way the run must sit
        // still on the dead line until the operator stops it.
        if (hungAtUs == 0 && m.printed("hangup-injected")) {
            hungAtUs = r.clock.nowUs();
            cpuAtHangUs = cpuUs();
        } else if (hungAtUs != 0 && r.clock.nowUs() - hungAtUs > 1000000) {
            cpuSpentUs = cpuUs() - cpuAtHangUs;
            r.session.requestStop();
        }
    };
    const ReceiveResult res = r.run();
    EXPECT_EQ(int(res.outcome), int(Outcome::Aborted));
    EXPECT_FALSE(QFile::exists(r.setup.receiveFile));
    ASSERT_GE(cpuSpentUs, 0) << "the hang-up was never seen";
    // A second of waiting on a hung-up line must not be a second of work.
    EXPECT_LT(cpuSpentUs, 500000);
}

TEST(ReceiveThroughDeviceServer, ALongTapeIsThrottledWithXoffAndArrivesByteExact) {
    TempHome in;
    in.write("in.nc", program(2498));
    Machine m({"--mode", "punch", "--no-pace", "--code", "iso", "--leader", "5", "--frame", "--input",
               in.file("in.nc")});
    ASSERT_FALSE(m.slave().isEmpty());
    test::Ser2Net box(in.path(), m.slave(), test::Ser2Net::Kind::Rfc2217, "19200n82");
    ASSERT_TRUE(box.isReady()) << box.output().toStdString();
    PtyRig r(box.url());
    r.setup.options.line.dc3Is93 = false;
    const ReceiveResult res = r.run();
    EXPECT_EQ(int(res.outcome), int(Outcome::Completed)) << r.log().toStdString();
    EXPECT_EQ(r.file(r.setup.receiveFile), stored(2498));
    const QString machine = m.result();
    EXPECT_GT(resultValue(machine, "pauses"), 0) << "the receive never sent XOFF: " << machine.toStdString();
}

TEST(ReceiveThroughDeviceServer, ABoxThatDiesMidProgramEndsTheRunNamingIt) {
    TempHome in;
    in.write("in.nc", program(400));
    Machine m(
        {"--mode", "punch", "--baud", "19200", "--code", "iso", "--frame", "--input", in.file("in.nc")});
    test::Ser2Net box(in.path(), m.slave(), test::Ser2Net::Kind::Rfc2217, "19200n82");
    ASSERT_TRUE(box.isReady());
    PtyRig r(box.url());
    r.onPump = [&](int) {
        if (r.log().contains(QStringLiteral(u"ﾃﾞｰﾀ受信開始")))
            box.kill();
    };
    const ReceiveResult res = r.run();
    EXPECT_EQ(int(res.outcome), int(Outcome::Aborted)) << r.log().toStdString();
    EXPECT_TRUE(r.log().contains(QStringLiteral(u"  通信回線切断の為中止\n"))) << r.log().toStdString();
    EXPECT_TRUE(r.log().contains("  127.0.0.1:" + QString::number(box.port()) +
                                 QStringLiteral(u" 接続が切断されました\n")));
    EXPECT_FALSE(r.log().contains(QStringLiteral(u"手動操作"))) << "nobody pressed stop";
    EXPECT_TRUE(r.log().endsWith(QStringLiteral(u"  受信中止\u3000ｴﾗｰ番号 ") +
                                 QString::number(res.errorNumber) + "\n"));
    EXPECT_EQ(r.host.panels.value(int(TransferPanel::State)), QStringLiteral(u"受信中止"));
    EXPECT_FALSE(r.port.isOpen());
    EXPECT_FALSE(QFile::exists(r.setup.receiveFile));
}
