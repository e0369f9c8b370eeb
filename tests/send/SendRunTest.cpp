#include "send/SendRun.h"

#include "platform/TextCodec.h"

#include "support/QtPrinters.h"
#include "support/TempHome.h"
#include "send/SendFakes.h"

#include <gtest/gtest.h>

using namespace tornyx;
using namespace tornyx::test;

namespace {

// One send against fakes: the characters the run hands to WriteChar (before
// encoding), the host's panels and boxes, the log text and file.
class SendRunFixture : public ::testing::Test {
protected:
    TempHome home;
    FakePort port;
    FakeEditor editor{{"O1", "M30"}};
    FakeHost host;
    FakeClock clock;
    TransferLog log{[this] { return clock.currentDateTime(); }, QLocale(QLocale::Japanese, QLocale::Japan)};
    TransferState state;
    SendRun run{port, editor, host, clock, log, state};
    SendContext ctx;

    SendRunFixture() {
        ctx.profile = defaultProfile(1);
        ctx.profile.send.signal = 1; // the operator confirms the start
        ctx.profileNumber = 1;
        ctx.documentPath = "/work/progs/PART1.nc";
    }
    void send(int kind = 1) { run.SendButtonPressed(kind, ctx); }
    // The last line of the stored send log, without its stamp.
    QString lastLogLine(const char* file = "Tornyx_S.log") const {
        QString text = platform::fromSjis(home.read(file));
        text.chop(2); // CR LF
        return text.mid(text.lastIndexOf('\n') + 1).mid(19);
    }
};

} // namespace

TEST_F(SendRunFixture, WorkedStreamForO1M30) {
    editor.modified = true;
    send();
    EXPECT_EQ(hex(port.written), hex("\nO1\nM30\n\n%"));
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信完了"));
    EXPECT_EQ(host.panels[2], QStringLiteral(u"送信完了"));
    EXPECT_EQ(host.questions.size(), 1);
    EXPECT_TRUE(state.success);
    EXPECT_EQ(host.timer1Starts, 1);
    EXPECT_FALSE(port.open);
    EXPECT_TRUE(editor.modified) << "unsaved edits keep their mark";
    EXPECT_GE(clock.slept, 4005) << "5 ms after M30 and 4000 ms before closing";
    EXPECT_EQ(state.startLine, QStringLiteral(u"開始 2010/07/09 12:05:33\n"));
    const QString text = log.text();
    EXPECT_TRUE(text.startsWith(QStringLiteral(u"2010/07/09 12:05:33  送信\n2010/07/09 12:05:33  全ﾃﾞｰﾀを送信\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral(u"  送信ﾌｧｲﾙ名は/work/progs/PART1.nc\n")));
    EXPECT_TRUE(text.contains(QStringLiteral(u"  送信ｺｰﾄﾞはISOｺｰﾄﾞ\n")));
    EXPECT_EQ(host.panels[3], QStringLiteral("ISO  : 4800, 2"));
    EXPECT_EQ(host.panels[5], "N");
    EXPECT_EQ(host.index, QStringList{"00001:O1"}) << "the empty index is built while sending";
    EXPECT_EQ(port.code, SendCode::Iso);
}

TEST_F(SendRunFixture, UnmodifiedDocumentStaysUnmodified) {
    editor.modified = false;
    send();
    EXPECT_FALSE(editor.modified);
    EXPECT_EQ(host.editPanels.value(4, "untouched"), "");
}

TEST_F(SendRunFixture, OperatorNoStopsWithTheStopDc4) {
    host.answers = {false};
    editor.modified = true;
    send();
    EXPECT_EQ(hex(port.written), "14");
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1025"));
    EXPECT_FALSE(state.success);
    EXPECT_EQ(host.panels[2], QStringLiteral(u"送信中止"));
    EXPECT_TRUE(editor.modified);
    EXPECT_EQ(host.timer1Starts, 1);
}

TEST_F(SendRunFixture, OperatorNoWithoutLineCheckLogsTheStage) {
    host.answers = {false};
    ctx.options.noLineCheck = true;
    send();
    EXPECT_EQ(hex(port.written), "");
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1004"));
}

TEST_F(SendRunFixture, MachineStartSignalsStartTheData) {
    ctx.profile.send.signal = 0;
    for (char c : {char(0x11), '%', char(0x05)}) {
        port.written.clear();
        port.input = {'x', c};
        send();
        EXPECT_EQ(hex(port.written), hex("\nO1\nM30\n\n%")) << int(c);
        EXPECT_TRUE(log.text().contains(QStringLiteral(u"  NC機より送信開始信号を受信\n2010")));
    }
    EXPECT_EQ(host.panels[5], "Y");
}

TEST_F(SendRunFixture, StopDuringStartWait) {
    ctx.profile.send.signal = 0;
    host.onPump = [this](int n) {
        if (n == 30)
            run.StopPressed();
    };
    send();
    EXPECT_EQ(hex(port.written), "14");
    EXPECT_TRUE(log.text().contains(QStringLiteral(u"  送信待機中に手動操作にて中止\n")));
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1025"));
    ctx.options.noLineCheck = true;
    port.written.clear();
    host.pumps = 0;
    send();
    EXPECT_EQ(hex(port.written), "");
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1033"));
}

TEST_F(SendRunFixture, MachineStopCodesDuringStartWait) {
    ctx.profile.send.signal = 0;
    ctx.options.noLineCheck = true;
    for (char c : {char(0x13), char(0x93), char(0x14), char(0x18)}) {
        port.input = {c};
        send();
        EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1003")) << int(c);
        EXPECT_EQ(hex(port.written), "");
    }
    ctx.options.ignoreMachineStop = true;
    port.input = {char(0x18), char(0x13), char(0x11)};
    send();
    EXPECT_EQ(hex(port.written), hex("\nO1\nM30\n\n%")) << "ignored, then DC1 starts";
}

TEST_F(SendRunFixture, StopButtonMidLine) {
    editor.lines = {"O1", "G01X100.Y200.", "M30"};
    port.onWrite = [this](qsizetype n) {
        if (n == 8)
            run.StopPressed();
        return false;
    };
    send();
    // LF O1 LF G01X1 written, then the stop: DC4.
    EXPECT_EQ(hex(port.written), hex("\nO1\nG01X1\x14"));
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1025"));
    EXPECT_EQ(port.closes, 1);
    EXPECT_FALSE(host.timer2);
}

TEST_F(SendRunFixture, WriteAnsweringStopEndsWithoutDc4) {
    // What the serial layer answers for a vanished device, lost carrier or CAN in a pause.
    port.onWrite = [](qsizetype n) { return n == 4; };
    send();
    EXPECT_EQ(hex(port.written), hex("\nO1\n"));
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1014"));
    port.written.clear();
    port.onWrite = [](qsizetype n) { return n == 3; };
    send();
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1016")) << "the end-of-block after O1";
}

TEST_F(SendRunFixture, UnexpectedErrorEndsThroughTheFailPath) {
    port.throwOnWrite = true;
    editor.modified = true;
    send();
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中にｴﾗｰが発生した為中止"));
    EXPECT_FALSE(port.open);
    EXPECT_TRUE(editor.modified);
    EXPECT_EQ(host.panels[2], QStringLiteral(u"送信中止"));
    EXPECT_FALSE(run.isRunning());
}

TEST_F(SendRunFixture, OpenLineFailure) {
    port.openOk = false;
    send();
    EXPECT_TRUE(log.text().contains(QStringLiteral(u"  通信設定不可で中止\n")));
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1025")) << "the stop DC4 goes to a closed port";
    EXPECT_EQ(hex(port.written), "");
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
    EXPECT_EQ(hex(port.written), hex(c.stream));
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信完了"));
}

INSTANTIATE_TEST_SUITE_P(SendRun, SendCodes, ::testing::Values(
    CodeCase{0, 0, 0, false, "\nO1\n\n%"},
    CodeCase{1, 0, 0, false, "\n%O1\n\n%"},
    CodeCase{2, 0, 0, false, "\n%%O1\n\n%"},
    CodeCase{3, 0, 0, false, "\n% *O1\n\n%"},
    CodeCase{4, 0, 0, false, "\n" + QByteArray(200, ' ') + "\nO1\n\n%"},
    CodeCase{5, 0, 1, false, "\n\r\nO1\r\n\r\n%"},
    CodeCase{6, 0, 0, false, "\n" + QByteArray(200, ' ') + "%O1\n\n%"},
    CodeCase{7, 0, 0, false, "\n%O1\n\n%"},
    CodeCase{0, 1, 0, false, "\nO1\n\x14"},
    CodeCase{0, 1, 0, true, "\nO1\n\n%"},
    CodeCase{0, 2, 2, false, "\nO1\r\n\n\r\n\n%%"},
    CodeCase{0, 3, 3, false, "\nO1\r%"},
    CodeCase{0, 4, 0, false, "\nO1\n%%"},
    CodeCase{0, 9, 0, false, "\nO1\n"}));

TEST_F(SendRunFixture, EiaHasNoLeadingLineFeedAndTheOptionDropsIt) {
    ctx.profile.send.code = 1;
    send();
    EXPECT_EQ(hex(port.written), hex("O1\nM30\n\n%"));
    EXPECT_EQ(port.code, SendCode::Eia);
    ctx.profile.send.code = 0;
    ctx.options.noLeadingLf = true;
    port.written.clear();
    send();
    EXPECT_EQ(hex(port.written), hex("O1\nM30\n\n%"));
}

TEST_F(SendRunFixture, TapePunchLeaderProgramFeedTrailerAndDc4) {
    ctx.profile.send.speed = 6;
    ctx.profile.send.feed = 1;
    ctx.options.punchCompletion = true;
    send();
    const QByteArray feed(20, ' ');
    EXPECT_EQ(hex(port.written), hex(feed + "\n" + feed + "O1\nM30\n\n%" + feed + "\x14"));
    EXPECT_TRUE(log.text().contains(QStringLiteral(u"  ﾌｨｰﾄﾞ出力\n")));
    EXPECT_EQ(host.panels[3], QStringLiteral(u"ISO  : 機器, 2"));
    EXPECT_GE(clock.slept, 8005);
}

TEST_F(SendRunFixture, OspHeaderInsteadOfStartCodes) {
    ctx.profileNumber = 11;
    ctx.profile.send.startChar = 2;
    send();
    EXPECT_EQ(hex(port.written), hex("$PART1.MIN\nO1\nM30\n\n%"));
    EXPECT_TRUE(log.text().contains(QStringLiteral(u"  NC機にﾌｧｲﾙ名送信 ﾌｧｲﾙ名=PART1.MIN\n")));
    EXPECT_EQ(host.statusLabel, QStringLiteral(u"送信中のﾌﾟﾛｸﾞﾗﾑ番号 => O1"));
}

TEST_F(SendRunFixture, PercentLinesAndFilters) {
    editor.lines = {"%", "O1(CUT 50%)", "N0010G01F100.", "%", ""};
    ctx.profile.send.nNon = "Y";
    ctx.profile.send.fNon = "Y";
    send();
    EXPECT_EQ(hex(port.written), hex("\nO1(CUT 50)\nG01F100\n\n%"));
}

TEST_F(SendRunFixture, OnlyPercentLines) {
    editor.lines = {"%", "%", "%"};
    send();
    EXPECT_EQ(hex(port.written), hex("\n\n%"));
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信完了"));
}

TEST_F(SendRunFixture, SingleCharacterDocument) {
    editor.lines = {"%"};
    send();
    EXPECT_EQ(run.totalCount(), 0);
    EXPECT_EQ(hex(port.written), hex("\n\n%")) << "start and end codes only";
    // Any other single character is data and goes out.
    editor.lines = {"M"};
    port.written.clear();
    send();
    EXPECT_EQ(hex(port.written), hex("\nM\n\n%"));
}

TEST_F(SendRunFixture, LastLinesAreNotLostWithLineFeedDocuments) {
    editor.lines = {"O1", "G0", "X1", "M30", ""};
    send();
    EXPECT_EQ(hex(port.written), hex("\nO1\nG0\nX1\nM30\n\n%"));
    editor.lines = {"A", "B", "C"};
    port.written.clear();
    send();
    EXPECT_EQ(hex(port.written), hex("\nA\nB\nC\n\n%"));
}

TEST_F(SendRunFixture, RepeatSendsAgainUntilStopped) {
    host.answers = {true, true, false};
    send(2);
    EXPECT_EQ(hex(port.written), hex(QByteArray("\nO1\nM30\n\n%") + "\nO1\nM30\n\n%" + "\x14"));
    EXPECT_EQ(host.panels[6], QStringLiteral(u"送信:003"));
    EXPECT_EQ(run.repeatCount(), 3);
    EXPECT_EQ(log.text().count(QStringLiteral(u"  ﾘﾋﾟｰﾄ送信準備完了\n")), 2);
    EXPECT_EQ(log.text().count(QStringLiteral(u"  送信完了\n")), 2);
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1025"));
}

TEST_F(SendRunFixture, RepeatShowsTheSecondPass) {
    QStringList seen;
    host.answers = {true, true, false};
    host.onPump = [&](int) { seen << host.panels[6]; };
    send(2);
    EXPECT_TRUE(seen.contains(QStringLiteral(u"送信:002")));
}

TEST_F(SendRunFixture, StopBetweenRepeatPassesEndsAsCompleted) {
    host.onPump = [this](int) {
        if (log.text().contains(QStringLiteral(u"ﾘﾋﾟｰﾄ送信準備完了")))
            run.StopPressed();
    };
    send(2);
    EXPECT_EQ(hex(port.written), hex("\nO1\nM30\n\n%"));
    EXPECT_TRUE(state.success);
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  ﾘﾋﾟｰﾄ送信準備完了"));
}

TEST_F(SendRunFixture, BreakpointPausesOnItsLine) {
    editor.lines = {"O1", "G0X1", "M30"};
    editor.breakpoint = 2;
    send();
    EXPECT_EQ(host.breakpoints, QStringList{QStringLiteral(u"ﾌﾞﾚｰｸﾎﾟｲﾝﾄで一時停止中です\n[はい]で再開します\n")});
}

TEST_F(SendRunFixture, StepModeSendsOneLinePerStep) {
    ctx.options.stepSendEnabled = true;
    editor.lines = {"O1", "G0X1", "M30"};
    host.steps = 1;
    host.onPump = [this](int) {
        if (host.steps == 0 && port.written.endsWith("G0X1\n"))
            run.StopPressed();
    };
    send();
    EXPECT_EQ(hex(port.written), hex("\nO1\nG0X1\n\x14"));
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1025"));
    EXPECT_TRUE(state.stepFlag);
    ctx.options.noLineCheck = true;
    port.written.clear();
    host.steps = 0;
    host.onPump = [this](int n) {
        if (n == 50)
            run.StopPressed();
    };
    host.pumps = 0;
    send();
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1032"));
}

TEST_F(SendRunFixture, StepButtonActsLikeTheSpaceBar) {
    ctx.options.stepSendEnabled = true;
    host.onPump = [this](int) { run.StepPressed(); };
    send();
    EXPECT_EQ(hex(port.written), hex("\nO1\nM30\n\n%"));
}

TEST_F(SendRunFixture, SelectedSendSkipsUntickedPrograms) {
    ctx.options.selectPrograms = true;
    editor.lines = {"%", "O1", "G0X1", "O2", "G0X2", "O3", "M30", "%"};
    send();
    EXPECT_EQ(host.selectionEntries, (QStringList{"O1", "O2", "O3"}));
    EXPECT_TRUE(port.written.isEmpty()) << "nothing before the dialog's send";
    run.SendSelected({"O2"});
    EXPECT_EQ(hex(port.written), hex("\nO1\nG0X1\nO3\nM30\n\n%"));
    EXPECT_TRUE(host.panel2History.contains(QStringLiteral(u"＜＜ ｽﾙｰ ＞＞")));
    EXPECT_TRUE(log.text().startsWith(QStringLiteral(u"2010/07/09 12:05:33  通信\n")));
}

TEST_F(SendRunFixture, ClosingTheWindowDuringARunStopsItFirst) {
    ctx.profile.send.signal = 0;
    bool portOpenAtClose = true;
    host.onClose = [&] { portOpenAtClose = port.open; };
    host.onPump = [this](int n) {
        if (n == 5) {
            EXPECT_TRUE(run.requestClose());
        }
    };
    send();
    EXPECT_EQ(host.closes, 1);
    EXPECT_FALSE(portOpenAtClose);
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 1025"));
    EXPECT_FALSE(run.requestClose()) << "no run: the window may close at once";
}

TEST_F(SendRunFixture, ExitAfterTransferClosesAndPowersOff) {
    host.shift = true;
    ctx.options.powerOff = true;
    send();
    EXPECT_EQ(host.closes, 1);
    EXPECT_EQ(host.powerOffs, 1);
    EXPECT_TRUE(state.exitAfterTransfer);
}

TEST_F(SendRunFixture, EmptyEditorAndLogView) {
    editor.lines = {};
    send();
    EXPECT_EQ(host.errors, QStringList{QStringLiteral(u"送信ﾃﾞｰﾀが有りません｡")});
    host.logView = true;
    editor.lines = {"O1"};
    send();
    EXPECT_TRUE(log.text().isEmpty());
}

TEST_F(SendRunFixture, DncProfileWaitsForTheIndex) {
    ctx.profile.send.dncSend = 1;
    host.indexFinished = false;
    send();
    EXPECT_EQ(host.errors, QStringList{QStringLiteral(u"ﾌﾟﾛｸﾞﾗﾑ番号抽出中です｡\n再度､送信ﾎﾞﾀﾝを押して下さい｡")});
    EXPECT_TRUE(host.editing);
    host.indexFinished = true;
    send();
    EXPECT_EQ(host.dncStarts, 1);
    EXPECT_TRUE(log.text().contains(QStringLiteral(u"  DNC送信\n")));
}

TEST_F(SendRunFixture, ProgressTexts) {
    editor.lines = {"O1", "M30"}; // total 6
    QStringList panel1;
    host.onPump = [&](int) { panel1 << host.panels[1]; };
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
    EXPECT_EQ(hex(port.written), "");
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 0"));
}
