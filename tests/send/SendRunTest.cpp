#include "app/TransferDesk.h"

#include "platform/TextCodec.h"

#include "send/SendFakes.h"
#include "support/EmulatedSerialPort.h"
#include "support/FakeClock.h"
#include "support/FakeWindow.h"
#include "support/QtPrinters.h"
#include "support/StandIns.h"
#include "support/TempHome.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace tornyx;
using namespace tornyx::test;

namespace {

using Answer = LineHost::Answer;

// One send over the serial line's emulated port, timed by a fake clock: the
// bytes the machine received, the host's panels and boxes, the log text and
// the log file. The fixture's profile sends ASCII (bytes unchanged) unless a
// test chooses ISO or EIA.
class SendRunFixture : public ::testing::Test {
protected:
    TempHome home;
    FakeClock clock;
    EmulatedSerialPort port{clock};
    ScriptedLineHost lineHost;
    FakeWindow win;
    TransferDesk desk{
        {port, clock, standInCommands(home), platform::SettingsHome(home.path()),
         [this] { return QDateTime(QDate(2010, 7, 9), QTime(12, 5, 33)).addMSecs(clock.nowMs() - 1000); }},
        deskViews(lineHost, win)};
    // The window and the desk's state under the names the cases use.
    FakeWindow& editor = win;
    FakeWindow& host = win;
    TransferState& state = desk.state();
    TransferSession& session = desk.session();
    SendContext ctx;
    qsizetype mark = 0;
    int writes = 0;

    SendRunFixture() {
        session.setPortResolver([](const QString&) { return QStringLiteral("/dev/emulated"); });
        ctx.profile = defaultProfile(1);
        ctx.profile.send.signal = 1; // the operator confirms the start
        ctx.profile.send.code = 2;   // ASCII: the bytes as the run hands them over
        ctx.profileNumber = 1;
        ctx.documentPath = "/work/progs/PART1.nc";
    }
    // Send (1) or repeat (2), as the buttons do, with the fixture's context.
    void send(int kind = 1, bool shift = false) {
        mark = port.written().size();
        applyContext(desk, ctx);
        if (kind == 2)
            desk.repeatPressed(shift);
        else
            desk.sendPressed(shift);
    }
    QByteArray sent() const { return port.written().mid(mark); }
    // Calls f(n) before the machine takes the n-th byte (0-based) of this send.
    void onWrite(std::function<void(int)> f) {
        writes = 0;
        port.onWrite = [this, f](unsigned char, std::int64_t) { f(writes++); };
    }
    QString text() const { return desk.session().log().text(); }
    // The last line of the stored log, without its time stamp.
    QString lastLogLine(const char* file = "Tornyx_S.log") const {
        QString t = platform::fromSjis(home.read(file));
        t.chop(2); // CR LF
        t = t.mid(t.lastIndexOf('\n') + 1);
        return t.mid(t.indexOf("  "));
    }
};

} // namespace

TEST_F(SendRunFixture, WorkedStreamIsoForO1M30) {
    ctx.profile.send.code = 0;
    editor.modified = true;
    const std::int64_t t0 = clock.nowUs();
    send();
    EXPECT_EQ(hex(sent()), "0A CF B1 0A 4D 33 30 0A 0A A5");
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信完了"));
    EXPECT_EQ(host.panels[2], QStringLiteral(u"送信完了"));
    EXPECT_EQ(
        lineHost.texts(),
        QStringList{QStringLiteral(
            u"NC装置側の準備を行ってください｡\n準備が出来ましたら「はい(Y)」を\n押すと送信が開始します｡")});
    EXPECT_TRUE(state.success);
    EXPECT_TRUE(desk.isPostTransferDue());
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(editor.modified) << "unsaved edits keep their mark";
    EXPECT_GE(clock.nowUs() - t0, 4005000) << "5 ms after M30 and 4000 ms before closing";
    // The port closes 4000 ms after the last byte has left.
    EXPECT_GE(clock.nowUs() - port.writtenAt().back(), 4000000);
    EXPECT_TRUE(state.startLine.startsWith(QStringLiteral(u"開始 "))) << state.startLine.toStdString();
    const QStringList lines = text().split('\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(u"  送信")));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(u"  全ﾃﾞｰﾀを送信")));
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(u"  送信ﾌｧｲﾙ名は/work/progs/PART1.nc")));
    EXPECT_TRUE(text().contains(QStringLiteral(u"  送信ｺｰﾄﾞはISOｺｰﾄﾞ\n")));
    EXPECT_EQ(host.panels[3], QStringLiteral("ISO  : 4800, 2"));
    EXPECT_EQ(host.panels[4], "COM1");
    EXPECT_EQ(host.panels[5], "N");
    EXPECT_EQ(desk.programs().entries(), QStringList{"00001:O1"}) << "the empty index is built while sending";
    EXPECT_EQ(session.codeMode(), CodeMode::Iso);
}

TEST_F(SendRunFixture, WorkedStreamEiaForO1M30) {
    ctx.profile.send.code = 1;
    send();
    EXPECT_EQ(hex(sent()), "46 01 80 54 13 20 80 80 0B");
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信完了"));
    EXPECT_EQ(host.panels[3], QStringLiteral("EIA  : 4800, 2"));
}

TEST_F(SendRunFixture, LogTimeStampsComeFromTheSessionClock) {
    send();
    const QStringList lines = text().split('\n', Qt::SkipEmptyParts);
    const QString first =
        TransferLog::formatStamp(QLocale::system(), QDateTime(QDate(2010, 7, 9), QTime(12, 5, 33)));
    EXPECT_TRUE(lines.first().startsWith(first)) << lines.first().toStdString();
    EXPECT_FALSE(lines.last().startsWith(first)) << "the 4000 ms wait moved the clock";
}

TEST_F(SendRunFixture, UnmodifiedDocumentStaysUnmodified) {
    editor.modified = false;
    send();
    EXPECT_FALSE(editor.modified);
    EXPECT_EQ(host.editPanels.value(4, "untouched"), "");
}

TEST_F(SendRunFixture, OperatorNoStopsWithTheStopDc4) {
    lineHost.answers = {Answer::No};
    editor.modified = true;
    send();
    EXPECT_EQ(hex(sent()), "14");
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1025"));
    EXPECT_FALSE(state.success);
    EXPECT_EQ(host.panels[2], QStringLiteral(u"送信中止"));
    EXPECT_TRUE(editor.modified);
    EXPECT_TRUE(desk.isPostTransferDue());
}

TEST_F(SendRunFixture, OperatorNoWithoutLineCheckLogsTheStage) {
    lineHost.answers = {Answer::No};
    ctx.options.noLineCheck = true;
    send();
    EXPECT_EQ(hex(sent()), "");
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1004"));
}

TEST_F(SendRunFixture, MachineStartSignalsStartTheData) {
    ctx.profile.send.signal = 0;
    for (char c : {char(0x11), '%', char(0x05)}) {
        port.deliver(QByteArray("x") + c, clock.nowUs() + 50000);
        send();
        EXPECT_EQ(hex(sent()), hex("\nO1\nM30\n\n%")) << int(c);
        EXPECT_TRUE(text().contains(QStringLiteral(u"  NC機からの開始信号待ち\n")));
        EXPECT_TRUE(text().contains(QStringLiteral(u"  NC機より送信開始信号を受信\n")));
    }
    EXPECT_EQ(host.panels[5], "Y");
}

TEST_F(SendRunFixture, StopDuringStartWait) {
    ctx.profile.send.signal = 0;
    lineHost.onPump = [this](int n) {
        if (n == 30)
            desk.stopPressed();
    };
    send();
    EXPECT_EQ(hex(sent()), "14");
    EXPECT_TRUE(text().contains(QStringLiteral(u"  送信待機中に手動操作にて中止\n")));
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1025"));
    ctx.options.noLineCheck = true;
    lineHost.pumps = 0;
    send();
    EXPECT_EQ(hex(sent()), "");
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1033"));
}

TEST_F(SendRunFixture, MachineStopCodesDuringStartWait) {
    ctx.profile.send.signal = 0;
    ctx.options.noLineCheck = true;
    for (char c : {char(0x13), char(0x93), char(0x14), char(0x18)}) {
        port.deliver(QByteArray(1, c));
        send();
        EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1003")) << int(c);
        EXPECT_EQ(hex(sent()), "");
    }
    ctx.options.ignoreMachineStop = true;
    port.deliver(QByteArray("\x18\x13\x11"));
    send();
    EXPECT_EQ(hex(sent()), hex("\nO1\nM30\n\n%")) << "ignored, then DC1 starts";
}

TEST_F(SendRunFixture, StopButtonMidLine) {
    editor.lines = {"O1", "G01X100.Y200.", "M30"};
    // Pressed while the 9th byte drains: the write answers "stop", so no
    // DC4 follows and the stage is the data character.
    onWrite([this](int n) {
        if (n == 8)
            desk.stopPressed();
    });
    send();
    EXPECT_EQ(hex(sent()), hex("\nO1\nG01X1"));
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1014"));
    EXPECT_GE(port.closeCount(), 1);
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(state.estimating);
    EXPECT_EQ(host.panels[2], QStringLiteral(u"送信中止"));
}

TEST_F(SendRunFixture, StopButtonDuringTheCharacterPause) {
    editor.lines = {"O1", "G01X100.Y200.", "M30"};
    ctx.profile.send.invTime = 50;
    // Pressed during the pause after a character: no further data byte,
    // the stop DC4 instead.
    lineHost.onPump = [this](int) {
        // Well after the "0" has left: inside the 50 ms pause.
        if (sent().endsWith("G0") && clock.nowUs() > port.writtenAt().back() + 10000)
            desk.stopPressed();
    };
    send();
    EXPECT_EQ(hex(sent()), hex("\nO1\nG0\x14"));
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1025"));
}

TEST_F(SendRunFixture, DeviceVanishingMidLine) {
    onWrite([this](int n) {
        if (n == 3)
            port.setWriteFails(true);
    });
    send();
    EXPECT_EQ(hex(sent()), hex("\nO1\n"));
    EXPECT_TRUE(text().contains(QStringLiteral(u"  通信ﾎﾟｰﾄ書込み不良の為中止\n")));
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1014"))
        << "no stop DC4 after a failed write";
    EXPECT_FALSE(port.isOpen());
}

TEST_F(SendRunFixture, EndOfBlockFailureCarriesItsStage) {
    onWrite([this](int n) {
        if (n == 2)
            port.setWriteFails(true);
    });
    send();
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1016")) << "the end-of-block after O1";
}

TEST_F(SendRunFixture, MachineStopCodeDuringData) {
    // DC3 pauses the send; the machine's CAN 20 ms later, during the pause,
    // stops it.
    ctx.profile.send.code = 0;
    ctx.options.dc3Is93 = ctx.lineOptions.dc3Is93 = true;
    onWrite([this](int n) {
        if (n == 2) {
            port.deliver(QByteArray::fromHex("93"));
            port.deliver(QByteArray::fromHex("18"), clock.nowUs() + 20000);
        }
    });
    send();
    EXPECT_TRUE(sent().startsWith(QByteArray::fromHex("0ACFB1"))) << hex(sent()).toStdString();
    EXPECT_LE(sent().size(), 5) << "at most the bytes already on their way when the XOFF came";
    EXPECT_FALSE(sent().contains(char(0x14))) << "a write that answered stop: no DC4";
    EXPECT_TRUE(lastLogLine().startsWith(QStringLiteral(u"  送信中止　ｴﾗｰ番号 101")))
        << lastLogLine().toStdString();
    EXPECT_FALSE(state.success);
}

TEST_F(SendRunFixture, LostCarrierStopsTheSend) {
    ctx.profile.send.signal = 0;
    port.deliver(QByteArray("\x11"));
    onWrite([this](int n) {
        if (n == 1)
            port.setModemLines(platform::ModemLines{true, true, false});
    });
    send();
    EXPECT_EQ(hex(sent()), hex("\nO"));
    EXPECT_TRUE(text().contains(QStringLiteral(u"  回線ﾁｪｯｸ異常の為送信中止\n")));
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1014"));
}

TEST_F(SendRunFixture, UnexpectedErrorEndsThroughTheFailPath) {
    port.onWrite = [](unsigned char, std::int64_t) { throw std::runtime_error("device gone"); };
    editor.modified = true;
    send();
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中にｴﾗｰが発生した為中止"));
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(editor.modified);
    EXPECT_EQ(host.panels[2], QStringLiteral(u"送信中止"));
    EXPECT_FALSE(desk.isRunning());
}

TEST_F(SendRunFixture, OpenLineFailure) {
    port.setOpenFails(true);
    send();
    EXPECT_TRUE(text().contains(QStringLiteral(u"  通信設定不可で中止\n")));
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1025"))
        << "the stop DC4 goes to a closed port";
    EXPECT_EQ(hex(sent()), "");
    ctx.options.noLineCheck = true;
    send();
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1020"));
}

struct CodeCase {
    int startChar;
    int endChar;
    int crlf;
    bool punch;
    QByteArray stream;
};

class SendCodes : public SendRunFixture, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(SendCodes, StartAndEndCodes) {
    const CodeCase& c = GetParam();
    ctx.profile.send.startChar = c.startChar;
    ctx.profile.send.endChar = c.endChar;
    ctx.profile.send.crlfType = c.crlf;
    if (c.punch)
        ctx.profile.send.speed = 6;
    editor.lines = {"O1"};
    send();
    EXPECT_EQ(hex(sent()), hex(c.stream));
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信完了"));
}

INSTANTIATE_TEST_SUITE_P(
    SendRun, SendCodes,
    ::testing::Values(CodeCase{0, 0, 0, false, "\nO1\n\n%"}, CodeCase{1, 0, 0, false, "\n%O1\n\n%"},
                      CodeCase{2, 0, 0, false, "\n%%O1\n\n%"}, CodeCase{3, 0, 0, false, "\n% *O1\n\n%"},
                      CodeCase{4, 0, 0, false, "\n" + QByteArray(200, ' ') + "\nO1\n\n%"},
                      CodeCase{5, 0, 1, false, "\n\r\nO1\r\n\r\n%"},
                      CodeCase{6, 0, 0, false, "\n" + QByteArray(200, ' ') + "%O1\n\n%"},
                      CodeCase{7, 0, 0, false, "\n%O1\n\n%"}, CodeCase{0, 1, 0, false, "\nO1\n\x14"},
                      CodeCase{0, 1, 0, true, "\nO1\n\n%"}, CodeCase{0, 2, 2, false, "\nO1\r\n\n\r\n\n%%"},
                      CodeCase{0, 3, 3, false, "\nO1\r%"}, CodeCase{0, 4, 0, false, "\nO1\n%%"},
                      CodeCase{0, 9, 0, false, "\nO1\n"}));

TEST_F(SendRunFixture, EiaHasNoLeadingLineFeedAndTheOptionDropsIt) {
    ctx.profile.send.code = 1;
    send();
    EXPECT_EQ(hex(sent()), "46 01 80 54 13 20 80 80 0B");
    EXPECT_EQ(session.codeMode(), CodeMode::Eia);
    ctx.profile.send.code = 0;
    ctx.options.noLeadingLf = true;
    send();
    EXPECT_EQ(hex(sent()), "CF B1 0A 4D 33 30 0A 0A A5");
}

TEST_F(SendRunFixture, TapePunchLeaderProgramFeedTrailerAndDc4) {
    ctx.profile.send.speed = 6;
    ctx.profile.send.feed = 1;
    ctx.options.punchCompletion = true;
    send();
    const QByteArray feed(20, ' ');
    EXPECT_EQ(hex(sent()), hex(feed + "\n" + feed + "O1\nM30\n\n%" + feed + "\x14"));
    EXPECT_TRUE(text().contains(QStringLiteral(u"  ﾌｨｰﾄﾞ出力\n")));
    EXPECT_EQ(host.panels[3], QStringLiteral(u"ASCII: 機器, 2"));
    EXPECT_GE(port.writtenAt().back() - port.writtenAt()[port.writtenAt().size() - 2], 4000000)
        << "the DC4 follows the trailer after 4000 ms";
}

TEST_F(SendRunFixture, OspHeaderInsteadOfStartCodes) {
    ctx.profileNumber = 11;
    ctx.profile.send.startChar = 2;
    send();
    EXPECT_EQ(hex(sent()), hex("$PART1.MIN\nO1\nM30\n\n%"));
    EXPECT_TRUE(text().contains(QStringLiteral(u"  NC機にﾌｧｲﾙ名送信 ﾌｧｲﾙ名=PART1.MIN\n")));
    EXPECT_EQ(host.programLabel, QStringLiteral(u"送信中のﾌﾟﾛｸﾞﾗﾑ番号 => O1"));
}

TEST_F(SendRunFixture, PercentLinesAndFilters) {
    editor.lines = {"%", "O1(CUT 50%)", "N0010G01F100.", "%", ""};
    ctx.profile.send.nNon = "Y";
    ctx.profile.send.fNon = "Y";
    send();
    EXPECT_EQ(hex(sent()), hex("\nO1(CUT 50)\nG01F100\n\n%"));
}

TEST_F(SendRunFixture, OnlyPercentLines) {
    editor.lines = {"%", "%", "%"};
    send();
    EXPECT_EQ(hex(sent()), hex("\n\n%"));
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信完了"));
}

TEST_F(SendRunFixture, SingleCharacterDocument) {
    editor.lines = {"%"};
    send();
    EXPECT_EQ(state.counters.totalCount.load(), 0);
    EXPECT_EQ(hex(sent()), hex("\n\n%")) << "start and end codes only";
    // Any other single character is data and goes out.
    editor.lines = {"M"};
    send();
    EXPECT_EQ(hex(sent()), hex("\nM\n\n%"));
}

TEST_F(SendRunFixture, LastLinesAreNotLostWithLineFeedDocuments) {
    editor.lines = {"O1", "G0", "X1", "M30", ""};
    send();
    EXPECT_EQ(hex(sent()), hex("\nO1\nG0\nX1\nM30\n\n%"));
    editor.lines = {"A", "B", "C"};
    send();
    EXPECT_EQ(hex(sent()), hex("\nA\nB\nC\n\n%"));
}

TEST_F(SendRunFixture, RepeatSendsAgainUntilStopped) {
    lineHost.answers = {Answer::Yes, Answer::Yes, Answer::No};
    send(2);
    EXPECT_EQ(hex(sent()), hex(QByteArray("\nO1\nM30\n\n%") + "\nO1\nM30\n\n%" + "\x14"));
    EXPECT_EQ(host.panels[6], QStringLiteral(u"送信:003"));
    EXPECT_EQ(text().count(QStringLiteral(u"  ﾘﾋﾟｰﾄ送信準備完了\n")), 2);
    EXPECT_EQ(text().count(QStringLiteral(u"  送信完了\n")), 2);
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1025"));
}

TEST_F(SendRunFixture, RepeatShowsTheSecondPass) {
    QStringList seen;
    lineHost.answers = {Answer::Yes, Answer::Yes, Answer::No};
    lineHost.onPump = [&](int) { seen << host.panels[6]; };
    send(2);
    EXPECT_TRUE(seen.contains(QStringLiteral(u"送信:002")));
}

TEST_F(SendRunFixture, StopBetweenRepeatPassesEndsAsCompleted) {
    lineHost.onPump = [this](int) {
        if (text().contains(QStringLiteral(u"ﾘﾋﾟｰﾄ送信準備完了")))
            desk.stopPressed();
    };
    send(2);
    EXPECT_EQ(hex(sent()), hex("\nO1\nM30\n\n%"));
    EXPECT_TRUE(state.success);
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  ﾘﾋﾟｰﾄ送信準備完了"));
}

TEST_F(SendRunFixture, BreakpointPausesOnItsLine) {
    editor.lines = {"O1", "G0X1", "M30"};
    editor.breakpoint = 2;
    send();
    QStringList breaks;
    for (const auto& m : lineHost.messages)
        if (m.buttons == LineHost::Buttons::Yes)
            breaks << m.text;
    EXPECT_EQ(breaks, QStringList{QStringLiteral(u"ﾌﾞﾚｰｸﾎﾟｲﾝﾄで一時停止中です\n[はい]で再開します\n")});
}

TEST_F(SendRunFixture, StepModeSendsOneLinePerStep) {
    ctx.options.stepSendEnabled = true;
    editor.lines = {"O1", "G0X1", "M30"};
    state.stepPending = true;
    lineHost.onPump = [this](int) {
        if (!state.stepPending && sent().endsWith("G0X1\n"))
            desk.stopPressed();
    };
    send();
    EXPECT_EQ(hex(sent()), hex("\nO1\nG0X1\n\x14"));
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1025"));
    EXPECT_TRUE(state.stepFlag);
    ctx.options.noLineCheck = true;
    state.stepPending = false;
    lineHost.onPump = [this](int n) {
        if (n == 50)
            desk.stopPressed();
    };
    lineHost.pumps = 0;
    send();
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1032"));
}

TEST_F(SendRunFixture, StepButtonActsLikeTheSpaceBar) {
    ctx.options.stepSendEnabled = true;
    lineHost.onPump = [this](int) { desk.stepPressed(); };
    send();
    EXPECT_EQ(hex(sent()), hex("\nO1\nM30\n\n%"));
}

TEST_F(SendRunFixture, SelectedSendSkipsUntickedPrograms) {
    ctx.options.selectPrograms = true;
    editor.lines = {"%", "O1", "G0X1", "O2", "G0X2", "O3", "M30", "%"};
    send();
    EXPECT_EQ(host.selectionEntries, (QStringList{"O1", "O2", "O3"}));
    EXPECT_TRUE(sent().isEmpty()) << "nothing before the dialog's send";
    desk.sendSelected({"O2"});
    EXPECT_EQ(hex(sent()), hex("\nO1\nG0X1\nO3\nM30\n\n%"));
    EXPECT_TRUE(host.panel2History.contains(QStringLiteral(u"＜＜ ｽﾙｰ ＞＞")));
    EXPECT_TRUE(text().section('\n', 0, 0).endsWith(QStringLiteral(u"  通信")));
}

TEST_F(SendRunFixture, ClosingTheWindowDuringARunStopsItFirst) {
    ctx.profile.send.signal = 0;
    bool portOpenAtClose = true;
    host.onClose = [&] { portOpenAtClose = port.isOpen(); };
    lineHost.onPump = [this](int n) {
        if (n == 5) {
            EXPECT_TRUE(desk.requestClose());
        }
    };
    send();
    EXPECT_EQ(host.closes, 1);
    EXPECT_FALSE(portOpenAtClose);
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1025"));
    EXPECT_FALSE(desk.requestClose()) << "no run: the window may close at once";
}

TEST_F(SendRunFixture, ExitAfterTransferClosesAndPowersOff) {
    ctx.options.powerOff = true;
    send(1, true);
    EXPECT_EQ(host.closes, 1);
    EXPECT_TRUE(waitForFile(home.file("shutdown.log"))) << "the power-off command ran";
    EXPECT_TRUE(state.exitAfterTransfer);
}

TEST_F(SendRunFixture, EmptyEditorAndLogView) {
    editor.lines = {};
    send();
    EXPECT_EQ(lineHost.texts(), QStringList{QStringLiteral(u"送信ﾃﾞｰﾀが有りません｡")});
    host.logView = true;
    editor.lines = {"O1"};
    send();
    EXPECT_TRUE(text().isEmpty());
}

TEST_F(SendRunFixture, DncProfileWaitsForTheIndex) {
    ctx.profile.send.dncSend = 1;
    desk.programs().scheduleExtraction(1000);
    send();
    EXPECT_EQ(lineHost.texts(),
              QStringList{QStringLiteral(u"ﾌﾟﾛｸﾞﾗﾑ番号抽出中です｡\n再度､送信ﾎﾞﾀﾝを押して下さい｡")});
    EXPECT_TRUE(host.editing);
    desk.programs().cancelExtraction();
    send();
    EXPECT_EQ(win.dncAsks, 1) << "the DNC run starts with its set-up dialog";
    EXPECT_TRUE(text().contains(QStringLiteral(u"  DNC送信\n")));
}

TEST_F(SendRunFixture, ProgressTexts) {
    editor.lines = {"O1", "M30"}; // total 6
    QStringList panel1;
    lineHost.onPump = [&](int) { panel1 << host.panels[1]; };
    state.counters.remainingSeconds = 0;
    send();
    EXPECT_TRUE(panel1.contains(QStringLiteral(u"残り 6ﾊﾞｲﾄ"))) << panel1.join("|").toStdString();
    EXPECT_TRUE(panel1.contains(QStringLiteral(u"残り 3ﾊﾞｲﾄ(約 0秒)"))) << panel1.join("|").toStdString();
    EXPECT_TRUE(panel1.contains(QStringLiteral(u"残り 0ﾊﾞｲﾄ")));
    EXPECT_EQ(host.progressMax, 6);
}

TEST_F(SendRunFixture, BadCodeValueSendsNothing) {
    ctx.profile.send.code = 7;
    ctx.options.noLineCheck = true;
    send();
    EXPECT_EQ(hex(sent()), "");
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 0"));
}

TEST_F(SendRunFixture, BadInputIsSentAsWrittenOrStopped) {
    // A 70 KB line, NUL bytes and a Japanese comment: sent as they stand.
    const QByteArray longLine = "G01" + QByteArray(70 * 1024, '1');
    const QByteArray comment = platform::toSjis(QStringLiteral(u"(荒加工;注意)"));
    editor.lines = {"O1", longLine, QByteArray("G0\0X1", 5), comment, "M30"};
    send();
    EXPECT_EQ(sent(), "\nO1\n" + longLine + "\n" + QByteArray("G0\0X1", 5) + "\n" + comment + "\nM30\n\n%");
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信完了"));
}

TEST_F(SendRunFixture, ProfileValuesOutOfRange) {
    ctx.profile.send.crlfType = 17;
    ctx.profile.send.startChar = -3;
    ctx.profile.send.endChar = 99;
    ctx.profile.send.invTime = -5;
    send();
    EXPECT_EQ(hex(sent()), hex("\nO1\nM30\n")) << "plain LF blocks, no unknown start or end codes";
    ctx.profile.send.speed = 6;
    ctx.profile.send.feed = 9;
    send();
    EXPECT_EQ(sent().count(' '), 3 * 60)
        << "leader, program start and trailer: a feed beyond 150 mm is 150 mm";
}

TEST_F(SendRunFixture, LongCharacterPauseStillStops) {
    ctx.profile.send.invTime = 600000; // ten minutes per character
    lineHost.onPump = [this](int n) {
        if (n == 20)
            desk.stopPressed();
    };
    const std::int64_t t0 = clock.nowUs();
    send();
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1025"));
    EXPECT_LT(clock.nowUs() - t0, 60'000'000) << "the stop acts inside the pause";
}

TEST_F(SendRunFixture, DncStepsAdd2000AndWriteTheDncLog) {
    ctx.profile.send.signal = 0;
    SendSteps steps(session, win, win, state, RunKind::Dnc);
    steps.beginRun(ctx);
    ASSERT_TRUE(session.openLine(SendKind, ctx.profile, ctx.lineOptions));
    steps.beginSetUp();
    EXPECT_EQ(steps.finishSetUp(), Step::Continue);
    lineHost.onPump = [this](int n) {
        if (n == 10)
            session.requestStop();
    };
    EXPECT_EQ(steps.waitStartSignal(), Step::Stop);
    EXPECT_EQ(state.errorNumber, 3033);
    steps.abort();
    EXPECT_EQ(lastLogLine("Tornyx_D.log"), QStringLiteral(u"  送信中止　ｴﾗｰ番号 3025"));
    EXPECT_FALSE(QFile::exists(home.file("Tornyx_S.log")));
    EXPECT_EQ(hex(port.written()), "14");
}
