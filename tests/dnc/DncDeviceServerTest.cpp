// A drip feed through ser2net, an Ethernet serial device server on the
// loopback interface, into the simulated control's DNC buffer.
#include "dnc/DncRun.h"
#include "editor/ProgramIndex.h"
#include "platform/MappedSerialPort.h"

#include "send/SendFakes.h"
#include "support/DeviceServer.h"
#include "support/FakeWindow.h"
#include "support/MachineProcess.h"
#include "support/QtPrinters.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

using namespace tornyx;
using namespace tornyx::test;

TEST(DncThroughDeviceServer, TheDripFeedFillsTheControlsBufferWithoutOverrun) {
    TempHome home;
    // A 512-byte buffer that runs 40 blocks a second behind 19200 bit/s: the
    // control holds the run with XOFF over and over, with a quarter of the
    // buffer (73 ms of the line) left for what is under way.
    MachineProcess m(TORNYX_MACHINE, {},
                     {"--mode", "dnc", "--code", "iso", "--buffer", "512", "--blocks-per-s", "40", "--baud",
                      "19200", "--stop", "2", "--start-delay", "30", "--out", home.file("dnc.out"),
                      "--timeout", "30000"});
    ASSERT_FALSE(m.slave().isEmpty());
    Ser2Net box(home.path(), m.slave(), Ser2Net::Kind::Rfc2217, "19200n82");
    ASSERT_TRUE(box.isReady()) << box.output().toStdString();

    platform::MappedSerialPort port;
    ScriptedLineHost lineHost;
    platform::SystemClock clock;
    TransferSession session(port, lineHost, clock);
    const QString url = box.url();
    session.setPortResolver([url](const QString&) { return url; });
    FakeWindow window;
    ProgramIndex programs;
    TransferState state;
    DncRun run(session, window, window, programs, window, state);

    QList<QByteArray> lines{"O1"};
    QByteArray expected = "\nO1\n";
    for (int i = 1; i <= 150; ++i) {
        const QByteArray block =
            i == 30 ? "M98P100" : "N" + QByteArray::number(i) + "G01X" + QByteArray::number(i) + ".5";
        lines << block;
        expected += i == 30 ? QByteArray("Y2.\n") : block + "\n";
    }
    lines << "M30"
          << "O100"
          << "Y2."
          << "M99";
    expected += "M30\n\n%";
    window.lines = lines;
    programs.setEntries({"00001-O1", "00153-O100"});

    SendContext ctx;
    ctx.profile = defaultProfile(1);
    ctx.profile.send.speed = 5; // 19200
    ctx.profile.send.signal = 0;
    ctx.profile.send.dncSend = 1;
    ctx.profileNumber = 1;
    ctx.options.dc3Is93 = ctx.lineOptions.dc3Is93 = false;
    ctx.lineOptions.noLineCheck = true; // the pseudo-terminal behind the box has no carrier
    ctx.documentPath = "/work/progs/DNC1.nc";
    run.run(ctx, 0);

    EXPECT_TRUE(state.success) << session.log().text().toStdString();
    const auto res = m.result(30000);
    EXPECT_EQ(res.value("overflow"), "0") << m.output().toStdString();
    EXPECT_NE(res.value("xoffs"), "0") << "the buffer must have held the run";
    EXPECT_EQ(home.read("dnc.out"), expected);
}
