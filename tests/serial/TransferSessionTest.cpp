#include "serial/TransferSession.h"

#include "support/EmulatedSerialPort.h"
#include "support/FakeClock.h"
#include "support/FakeLineHost.h"
#include "support/TempHome.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace tornyx;
using tornyx::platform::LineControl;
using tornyx::platform::ModemLines;
using tornyx::platform::Parity;
using tornyx::platform::StopBits;
using tornyx::test::EmulatedSerialPort;
using tornyx::test::FakeClock;
using tornyx::test::FakeLineHost;
using tornyx::test::hex;
using tornyx::test::TempHome;

namespace {

struct Rig {
    TempHome home;
    FakeClock clock;
    EmulatedSerialPort port{clock};
    FakeLineHost host;
    TransferSession s{port, host, clock, [] { return QDateTime(QDate(2026, 12, 8), QTime(3, 4, 5)); }};
    CommProfile profile;
    LineOptions options;

    Rig() {
        s.setPortResolver([](const QString& n) { return n.startsWith("COM") ? "/dev/emu/" + n : QString(); });
    }
    // The log text without its time stamps, one entry per line.
    QStringList lines() const {
        QStringList out;
        const QString stamp = s.log().stamp();
        for (QString l : s.log().text().split('\n', Qt::SkipEmptyParts)) {
            EXPECT_TRUE(l.startsWith(stamp)) << l.toStdString();
            out << l.mid(stamp.size());
        }
        return out;
    }
    bool openSend() { return s.openLine(SendKind, profile, options); }
    bool openReceive() { return s.openLine(ReceiveKind, profile, options); }
    QString messages() const {
        QStringList m;
        for (const auto& x : host.messages)
            m << x.text;
        return m.join('|');
    }
};

std::string str(const QStringList& l) {
    return l.join(" / ").toStdString();
}

} // namespace

// --- OpenLine ----------------------------------------------------------------

TEST(OpenLine, SendLogsEveryStepInOrderAndConfiguresTheLine) {
    Rig r;
    r.profile.send.speed = 3;
    r.profile.send.stopBits = 1;
    r.profile.send.buff = 6;
    ASSERT_TRUE(r.openSend());
    EXPECT_EQ(str(r.lines()),
              str({"  COM1 ﾎﾟｰﾄｵｰﾌﾟﾝ", "  通信速度は 9600", "  ﾃﾞｰﾀ長8　ﾊﾟﾘﾃｨ無し", "  ｽﾄｯﾌﾟﾋﾞｯﾄ2",
                   "  通信ﾌﾟﾛﾄｺﾙ標準", "  一時停止ｺｰﾄﾞ0x93", "  開始ｺｰﾄﾞ0x11", "  通信設定完了",
                   "  通信ﾀｲﾑｱｳﾄ設定取得完了", "  通信ﾀｲﾑｱｳﾄ設定完了", "  通信回線初期化完了"}));
    const auto& p = r.port.applied();
    EXPECT_EQ(r.port.openedPath(), "/dev/emu/COM1");
    EXPECT_EQ(p.baud, 9600);
    EXPECT_EQ(p.dataBits, 8);
    EXPECT_EQ(int(p.parity), int(Parity::None));
    EXPECT_EQ(int(p.stopBits), int(StopBits::Two));
    EXPECT_EQ(p.xoffChar, 0x93);
    EXPECT_EQ(p.xonChar, 0x11);
    EXPECT_EQ(p.xonLimit, 4);
    EXPECT_EQ(p.xoffLimit, 8);
    EXPECT_FALSE(p.outputXonXoff);
    EXPECT_FALSE(p.inputXonXoff);
    EXPECT_TRUE(p.discardNul);
    EXPECT_FALSE(p.outputCtsFlow);
    EXPECT_EQ(r.port.appliedTimeouts().readTotalConstantMs, 3000);
    EXPECT_EQ(r.port.appliedTimeouts().readIntervalMs, 0);
    EXPECT_EQ(r.port.purgeCount(), 1);
    EXPECT_EQ(r.host.dsr, std::optional<bool>(true));
    EXPECT_EQ(r.host.cts, std::optional<bool>(true));
    EXPECT_TRUE(r.host.messages.empty());
    EXPECT_EQ(int(r.s.codeMode()), int(CodeMode::Iso));
}

TEST(OpenLine, TapePunchWithAsciiRunsAtFixed4800Eight2) {
    Rig r;
    r.profile.send.speed = 6;
    r.profile.send.code = 2;
    r.profile.send.stopBits = 0;
    r.options.dc3Is93 = false;
    ASSERT_TRUE(r.openSend());
    const QStringList l = r.lines();
    EXPECT_EQ(str(l.mid(1, 5)), str({"  通信機器で固定4800", "  ﾃﾞｰﾀ長7　ﾊﾟﾘﾃｨ偶数", "  ｽﾄｯﾌﾟﾋﾞｯﾄ1",
                                     "  通信機器選択の為以下に固定", "  ﾃﾞｰﾀ長8　ﾊﾟﾘﾃｨ無し　ｽﾄｯﾌﾟﾋﾞｯﾄ2"}));
    EXPECT_EQ(l.at(7), "  一時停止ｺｰﾄﾞ0x13");
    const auto& p = r.port.applied();
    EXPECT_EQ(p.baud, 4800);
    EXPECT_EQ(p.dataBits, 8);
    EXPECT_EQ(int(p.parity), int(Parity::None));
    EXPECT_EQ(int(p.stopBits), int(StopBits::Two));
    EXPECT_EQ(int(r.s.codeMode()), int(CodeMode::Raw));
}

TEST(OpenLine, UserFramingAndStopBitsAndSpeeds) {
    struct Case {
        int speed, code, length, parity, stop;
        const char* dataLine;
        const char* stopLine;
        int baud;
        Parity par;
    };
    const Case cases[] = {
        {0, 3, 0, 0, 2, "  ﾃﾞｰﾀ長7　ﾊﾟﾘﾃｨ無し", "  ｽﾄｯﾌﾟﾋﾞｯﾄ1.5", 1200, Parity::None},
        {1, 3, 1, 1, 0, "  ﾃﾞｰﾀ長8　ﾊﾟﾘﾃｨ偶数", "  ｽﾄｯﾌﾟﾋﾞｯﾄ1", 2400, Parity::Even},
        {4, 3, 1, 7, 1, "  ﾃﾞｰﾀ長8　ﾊﾟﾘﾃｨ奇数", "  ｽﾄｯﾌﾟﾋﾞｯﾄ2", 14400, Parity::Odd},
        {5, 1, 0, 0, 1, "  ﾃﾞｰﾀ長8　ﾊﾟﾘﾃｨ無し", "  ｽﾄｯﾌﾟﾋﾞｯﾄ2", 19200, Parity::None},
        // The fast rates stand after the tape entry.
        {7, 0, 0, 0, 0, "  ﾃﾞｰﾀ長8　ﾊﾟﾘﾃｨ無し", "  ｽﾄｯﾌﾟﾋﾞｯﾄ1", 38400, Parity::None},
        {8, 2, 0, 0, 1, "  ﾃﾞｰﾀ長7　ﾊﾟﾘﾃｨ偶数", "  ｽﾄｯﾌﾟﾋﾞｯﾄ2", 57600, Parity::Even},
        {9, 1, 0, 0, 1, "  ﾃﾞｰﾀ長8　ﾊﾟﾘﾃｨ無し", "  ｽﾄｯﾌﾟﾋﾞｯﾄ2", 115200, Parity::None},
    };
    for (const Case& c : cases) {
        Rig r;
        r.profile.send.speed = c.speed;
        r.profile.send.code = c.code;
        r.profile.send.dataLength = c.length;
        r.profile.send.parity = c.parity;
        r.profile.send.stopBits = c.stop;
        ASSERT_TRUE(r.openSend());
        const QStringList l = r.lines();
        EXPECT_EQ(l.at(1), "  通信速度は " + QString::number(c.baud));
        EXPECT_EQ(l.at(2), QString::fromUtf8(c.dataLine));
        EXPECT_EQ(l.at(3), QString::fromUtf8(c.stopLine));
        EXPECT_EQ(r.port.applied().baud, c.baud);
        EXPECT_EQ(int(r.port.applied().parity), int(c.par));
    }
}

TEST(OpenLine, UnknownCodeLeavesFramingAsReadAndLogsNoDataLine) {
    Rig r;
    r.profile.send.code = 9;
    ASSERT_TRUE(r.openSend());
    EXPECT_EQ(r.lines().at(2), "  ｽﾄｯﾌﾟﾋﾞｯﾄ2");
    EXPECT_EQ(r.port.applied().dataBits, 8);
}

TEST(OpenLine, ReceiveUsesXonXoffBothWaysAndHandshakeLines) {
    Rig r;
    r.profile.read.buff = 2;
    ASSERT_TRUE(r.openReceive());
    const QStringList l = r.lines();
    EXPECT_FALSE(l.contains("  通信ﾌﾟﾛﾄｺﾙ標準"));
    EXPECT_EQ(str(l.mid(4, 2)), str({"  一時停止ｺｰﾄﾞ0x93", "  開始ｺｰﾄﾞ0x11"}));
    const auto& p = r.port.applied();
    EXPECT_TRUE(p.inputXonXoff);
    EXPECT_TRUE(p.outputXonXoff);
    EXPECT_EQ(p.xonLimit, 512);
    EXPECT_EQ(p.xoffLimit, 2048);
    EXPECT_EQ(int(p.dtr), int(LineControl::Handshake));
    EXPECT_EQ(int(p.rts), int(LineControl::Handshake));
    EXPECT_EQ(int(r.s.codeMode()), int(CodeMode::Undecided));

    Rig cts;
    cts.profile.read.control = 1;
    cts.profile.read.buff = 99; // outside the table: limits as read
    ASSERT_TRUE(cts.openReceive());
    EXPECT_FALSE(cts.port.applied().inputXonXoff);
    EXPECT_FALSE(cts.port.applied().outputXonXoff);
    EXPECT_TRUE(cts.port.applied().outputCtsFlow);
    EXPECT_EQ(cts.port.applied().xoffLimit, 0);
}

TEST(OpenLine, DtrAlwaysOnAndAutoSwitchOptions) {
    Rig r;
    r.options.dtrAlwaysOn = true;
    r.options.autoSwitch = true;
    r.host.switchNumber = "3";
    ASSERT_TRUE(r.openReceive());
    const QStringList l = r.lines();
    const int dtr = int(l.indexOf("  DTR信号を常にONに設定"));
    const int sw = int(l.indexOf("  ﾎﾟｰﾄ自動選択の為､DTR､RTSを常にＯＮに設定"));
    ASSERT_GE(dtr, 0);
    EXPECT_EQ(sw, dtr + 1);
    EXPECT_EQ(l.at(sw + 1), "  通信設定完了");
    EXPECT_EQ(r.port.dtrRaised(), 1);
    EXPECT_EQ(r.port.rtsRaised(), 1);
    EXPECT_EQ(int(r.port.applied().dtr), int(LineControl::On));
    EXPECT_EQ(int(r.port.applied().rts), int(LineControl::On));
}

TEST(OpenLine, FailuresShowOneMessageAndLogOneLine) {
    struct Case {
        const char* port;
        int speed;
        void (*breakIt)(EmulatedSerialPort&);
        const char* message;
        const char* logLine;
        bool leftOpen;
    };
    const Case cases[] = {
        {"設定ﾎﾟｰﾄ無し", 2, nullptr, "通信ﾎﾟｰﾄが未設定です。!!", "  　通信ﾎﾟｰﾄが未設定の為中止", false},
        {"COM3", 2, [](EmulatedSerialPort& p) { p.setOpenFails(true); }, "COM3の通信ﾎﾟｰﾄが開きません｡!!",
         "  COM3　ﾎﾟｰﾄが開かず中止", false},
        {"COM1", 10, nullptr, "通信設定（速度）を確認してください!!", "  通信速度設定不良の為中止", true},
        {"COM1", -1, nullptr, "通信設定（速度）を確認してください!!", "  通信速度設定不良の為中止", true},
        {"COM1", 2, [](EmulatedSerialPort& p) { p.setLineParametersFail(true); }, "通信設定ｴﾗｰ!!",
         "  通信設定が不良の為中止", true},
        {"COM1", 2, [](EmulatedSerialPort& p) { p.setTimeoutsFail(true); }, "ﾀｲﾑｱｳﾄ!!",
         "  通信ﾀｲﾑｱｳﾄ設定取得不良の為中止", true},
        {"COM1", 2, [](EmulatedSerialPort& p) { p.setPurgeFails(true); }, "回線初期化ｴﾗｰ!!",
         "  通信回線初期化ｴﾗｰの為中止", true},
    };
    for (const Case& c : cases) {
        Rig r;
        r.profile.send.port = QString::fromUtf8(c.port);
        r.profile.send.speed = c.speed;
        if (c.breakIt)
            c.breakIt(r.port);
        EXPECT_FALSE(r.openSend()) << c.logLine;
        EXPECT_EQ(r.messages().toStdString(), c.message);
        ASSERT_EQ(r.host.messages.size(), 1u);
        EXPECT_EQ(int(r.host.messages[0].kind), int(LineHost::Kind::Error));
        EXPECT_EQ(r.lines().last().toStdString(), c.logLine);
        EXPECT_EQ(r.s.isOpen(), c.leftOpen) << c.logLine;
    }
}

// --- WriteChar ---------------------------------------------------------------

namespace {

// A send line at 9600 8N2 (one character = 1146 us).
struct SendRig : Rig {
    explicit SendRig(CodeMode mode = CodeMode::Iso, bool dc3Is93 = false) {
        profile.send.speed = 3;
        options.dc3Is93 = dc3Is93;
        EXPECT_TRUE(openSend());
        s.setCodeMode(mode);
    }
    std::int64_t charUs() const { return s.lineParameters().characterTimeUs(); }
};

} // namespace

TEST(WriteChar, EncodesForTheCodeModeAndDropsWhatEiaHasNot) {
    SendRig iso(CodeMode::Iso);
    for (unsigned char c : QByteArray("%\nO1 G"))
        EXPECT_FALSE(iso.s.writeChar(c));
    EXPECT_EQ(hex(iso.port.written()), "A5 0A CF B1 A0 47");

    SendRig eia(CodeMode::Eia);
    for (unsigned char c : QByteArray("%\ng:1\r"))
        EXPECT_FALSE(eia.s.writeChar(c));
    EXPECT_EQ(hex(eia.port.written()), "0B 80 46 01");

    SendRig raw(CodeMode::Raw);
    for (unsigned char c : QByteArray("%O1\r\n"))
        EXPECT_FALSE(raw.s.writeChar(c));
    EXPECT_EQ(hex(raw.port.written()), "25 4F 31 0D 0A");
}

TEST(WriteChar, SpaceOptionKeepsBlanksOffTheLine) {
    SendRig r(CodeMode::Raw);
    r.s.setRawNext(false);
    for (unsigned char c : QByteArray("G0 X1  "))
        EXPECT_FALSE(r.s.writeChar(c));
    EXPECT_EQ(hex(r.port.written()), "47 30 20 58 31 20 20");

    SendRig skip(CodeMode::Raw);
    skip.options.skipSpaces = true;
    ASSERT_TRUE(skip.openSend());
    skip.s.setCodeMode(CodeMode::Raw);
    for (unsigned char c : QByteArray("G0 X1  "))
        EXPECT_FALSE(skip.s.writeChar(c));
    EXPECT_EQ(hex(skip.port.written()), "47 30 58 31");
}

TEST(WriteChar, RawNextSendsOneCharacterUnencodedAndClears) {
    SendRig r(CodeMode::Iso);
    r.s.setRawNext(true);
    r.port.deliver(QByteArray(1, char(0x13))); // not even looked at
    r.clock.sleepUs(5000);
    EXPECT_FALSE(r.s.writeChar('1'));
    EXPECT_FALSE(r.s.isRawNext());
    EXPECT_EQ(hex(r.port.written()), "31");
}

// A computer that keeps the writer off the processor now and then: every
// tenth sleep ends lateUs late.
std::int64_t everyTenth(int n, std::int64_t lateUs) {
    return n % 10 == 0 ? lateUs : 0;
}

// The time the emulated line stood idle between its first and last byte.
std::int64_t idleUs(const std::vector<std::int64_t>& startedAt, std::int64_t charUs) {
    std::int64_t idle = 0;
    for (std::size_t i = 1; i < startedAt.size(); ++i)
        idle += startedAt[i] - startedAt[i - 1] - charUs;
    return idle;
}

TEST(WriteChar, TheLineStaysBusyThroughLateWakeUpsOnceItHasSeenOne) {
    SendRig r(CodeMode::Raw);
    const std::int64_t maxLead = r.s.pacer().maxLeadUs();
    ASSERT_GE(maxLead, 5 * r.charUs()) << "a lead of several characters at 9600";
    const std::int64_t late = maxLead - 2 * r.charUs();
    r.clock.oversleep = [&](int n) { return everyTenth(n, late); };
    std::int64_t mostAhead = 0;
    r.port.onWrite = [&](unsigned char, std::int64_t leavesAt) {
        mostAhead = std::max(mostAhead, leavesAt - r.clock.nowUs());
    };
    for (int i = 0; i < 300; ++i)
        ASSERT_FALSE(r.s.writeChar('A'));
    ASSERT_GT(r.clock.sleeps(), 100);
    EXPECT_LE(idleUs(r.port.writtenAt(), r.charUs()), late) << "only the first late wake-up cost line time";
    // The emulated line rounds a character up to whole microseconds and falls
    // behind the model; its queue count, which leaves out the byte on the
    // line, then holds the writer back: at most that one byte more.
    EXPECT_LE(mostAhead, maxLead + r.charUs()) << "never more than the most lead handed over";
    EXPECT_EQ(r.port.written(), QByteArray(300, 'A'));
}

TEST(WriteChar, AWriterOnlyOneCharacterAheadLetsTheLineIdle) {
    SendRig r(CodeMode::Raw);
    r.s.setMaxWriteLeadUs(2 * r.charUs());
    ASSERT_TRUE(r.openSend());
    r.clock.oversleep = [&](int n) { return everyTenth(n, 3 * r.charUs()); };
    for (int i = 0; i < 300; ++i)
        ASSERT_FALSE(r.s.writeChar('A'));
    EXPECT_GT(idleUs(r.port.writtenAt(), r.charUs()), 10 * r.charUs()) << "each late wake-up costs line time";
}

// Bytes handed over before the machine's XOFF still leave after it; nothing
// is handed over during the pause. On a quiet computer that is the one
// waiting behind the one on the line, on a busy one at most the lead.
TEST(WriteChar, AfterTheMachinesXoffOnlyTheLeadLeaves) {
    for (const bool busy : {false, true}) {
        SCOPED_TRACE(busy ? "busy" : "quiet");
        SendRig r(CodeMode::Raw);
        const std::int64_t maxLead = r.s.pacer().maxLeadUs();
        std::vector<std::int64_t> handedAt;
        std::int64_t xoffAt = 0;
        std::int64_t xonAt = 0;
        r.port.onWrite = [&](unsigned char, std::int64_t) {
            handedAt.push_back(r.clock.nowUs());
            if (handedAt.size() == 40) {
                xoffAt = r.clock.nowUs() + 100;
                xonAt = xoffAt + 300000;
                r.port.deliver(QByteArray("\x13"), xoffAt - r.charUs());
                r.port.deliver(QByteArray("\x11"), xonAt - r.charUs());
            }
        };
        if (busy)
            r.clock.oversleep = [&](int n) { return everyTenth(n, maxLead / 2); };
        for (int i = 0; i < 80; ++i)
            ASSERT_FALSE(r.s.writeChar('A' + i % 26));
        ASSERT_GT(xoffAt, 0);
        for (std::size_t i = 0; i < handedAt.size(); ++i)
            EXPECT_FALSE(handedAt[i] > xoffAt && handedAt[i] < xonAt)
                << "byte " << i << " handed over in the pause";
        const auto& at = r.port.writtenAt();
        const auto onLine =
            std::count_if(at.begin(), at.end(), [&](std::int64_t t) { return t >= xoffAt && t < xonAt; });
        EXPECT_LE(onLine, busy ? (maxLead + r.charUs() - 1) / r.charUs() : 2);
        QByteArray expected;
        for (int i = 0; i < 80; ++i)
            expected += char('A' + i % 26);
        EXPECT_EQ(r.port.written(), expected);
        // The hold is counted, so a drip feed held by a full buffer is not
        // taken for one that starves.
        EXPECT_GE(r.s.heldUs(), xonAt - xoffAt - 2 * r.charUs());
        EXPECT_LE(r.s.heldUs(), xonAt - xoffAt + maxLead + 2 * r.charUs());
    }
}

TEST(WriteChar, TheStopButtonActsWhileTheWriterWaitsForRoom) {
    SendRig r(CodeMode::Raw);
    qsizetype sentAtStop = -1;
    r.host.onPump = [&](int pump) {
        if (pump == 3) {
            r.s.requestStop();
            sentAtStop = r.port.written().size();
        }
    };
    bool stopped = false;
    for (int i = 0; i < 200 && !stopped; ++i)
        stopped = r.s.writeChar('A');
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(r.s.writeFailed());
    EXPECT_GT(sentAtStop, 0);
    EXPECT_EQ(r.port.written().size(), sentAtStop) << "not one more byte after the stop";
}

TEST(Waits, AWaitCountsFromWhenTheLastByteHasLeftTheLine) {
    SendRig r(CodeMode::Raw);
    for (int i = 0; i < 5; ++i)
        ASSERT_FALSE(r.s.writeChar('A'));
    const std::int64_t lineIdle = r.port.writtenAt().back() + r.charUs();
    ASSERT_LT(r.clock.nowUs(), lineIdle) << "the bytes are still on their way";
    EXPECT_FALSE(r.s.waitMs(5));
    EXPECT_EQ(r.clock.nowUs(), lineIdle + 5000);
}

struct PauseCase {
    CodeMode mode;
    bool dc3Is93;
    unsigned char incoming;
    bool pauses;
};

class WriteCharPause : public testing::TestWithParam<PauseCase> {};

TEST_P(WriteCharPause, PausesOnlyOnThePauseCharacterUntilDc1) {
    const PauseCase& c = GetParam();
    SendRig r(c.mode, c.dc3Is93);
    r.port.deliver(QByteArray(1, char(c.incoming)));
    r.clock.sleepUs(2000);
    const std::int64_t resumeAt = r.clock.nowUs() + 500000;
    r.port.deliver(QByteArray(1, char(0x11)), resumeAt);
    ASSERT_FALSE(r.s.writeChar('G'));
    ASSERT_EQ(r.port.writtenAt().size(), 1u);
    if (c.pauses)
        EXPECT_GE(r.port.writtenAt()[0], resumeAt) << "paused until DC1";
    else
        EXPECT_LT(r.port.writtenAt()[0], resumeAt) << "no pause";
}

INSTANTIATE_TEST_SUITE_P(
    Rules, WriteCharPause,
    testing::Values(PauseCase{CodeMode::Iso, false, 0x13, true}, PauseCase{CodeMode::Eia, false, 0x13, true},
                    PauseCase{CodeMode::Raw, false, 0x13, true}, PauseCase{CodeMode::Iso, false, 0x93, true},
                    PauseCase{CodeMode::Eia, false, 0x93, false},
                    PauseCase{CodeMode::Raw, false, 0x93, false}, PauseCase{CodeMode::Iso, true, 0x93, true},
                    PauseCase{CodeMode::Eia, true, 0x93, true}, PauseCase{CodeMode::Raw, true, 0x93, true},
                    PauseCase{CodeMode::Iso, true, 0x13, false}, PauseCase{CodeMode::Eia, true, 0x13, false},
                    PauseCase{CodeMode::Raw, true, 0x13, false}, PauseCase{CodeMode::Iso, false, 0x18, false},
                    PauseCase{CodeMode::Iso, false, 'A', false}));

TEST(WriteChar, CanDuringAPauseStopsAndNothingIsWritten) {
    SendRig r(CodeMode::Iso);
    r.port.deliver(QByteArray("\x13"));
    r.port.deliver(QByteArray("\x18"), r.clock.nowUs() + 300000);
    r.clock.sleepUs(2000);
    EXPECT_TRUE(r.s.writeChar('G'));
    EXPECT_TRUE(r.s.writeFailed());
    EXPECT_EQ(hex(r.port.written()), "");
}

TEST(WriteChar, AHangUpDuringAPauseStopsWithItsReason) {
    SendRig r(CodeMode::Iso);
    r.port.deliver(QByteArray("\x13"));
    r.clock.sleepUs(2000);
    const std::int64_t lostAt = r.clock.nowUs() + 200000;
    r.port.hangUpAt(lostAt);
    EXPECT_TRUE(r.s.writeChar('G'));
    EXPECT_GE(r.clock.nowUs(), lostAt);
    EXPECT_LE(r.clock.nowUs(), lostAt + 20000) << "noticed within one pump interval";
    EXPECT_TRUE(r.s.log().text().endsWith("  通信回線切断の為中止\n")) << r.s.log().text().toStdString();
    EXPECT_EQ(hex(r.port.written()), "");
}

TEST(WriteChar, PauseKeepsTheWindowLiveAndTheStopButtonActs) {
    SendRig r(CodeMode::Iso);
    r.port.deliver(QByteArray("\x13"));
    r.clock.sleepUs(2000);
    const std::int64_t t0 = r.clock.nowUs();
    r.host.onPump = [&](int pump) {
        if (pump == 63)
            r.s.requestStop();
    };
    EXPECT_TRUE(r.s.writeChar('G'));
    const std::int64_t took = r.clock.nowUs() - t0;
    // 62 pumps 16 ms apart, stop acted on at the next one.
    EXPECT_GE(took, 61 * 16000);
    EXPECT_LE(took, 63 * 16000 + 2000);
    EXPECT_EQ(hex(r.port.written()), "");
}

TEST(WriteChar, LineChecksWhenTheModemStatusCanBeRead) {
    {
        SendRig r;
        r.port.setModemLines(ModemLines{true, true, false});
        EXPECT_TRUE(r.s.writeChar('G'));
        EXPECT_EQ(str(r.lines().mid(r.lines().size() - 2)),
                  str({"  回線ﾁｪｯｸ異常の為送信中止", "  ※回線ﾁｪｯｸを行わない:N→Y"}));
        EXPECT_EQ(hex(r.port.written()), "");
    }
    {
        SendRig r; // the profile does not wait for the machine's signal
        r.profile.send.signal = 1;
        ASSERT_TRUE(r.openSend());
        r.port.setModemLines(ModemLines{true, true, false});
        EXPECT_FALSE(r.s.writeChar('G'));
    }
    {
        SendRig r;
        r.options.noLineCheck = true;
        ASSERT_TRUE(r.openSend());
        r.port.setModemLines(ModemLines{false, false, false});
        EXPECT_FALSE(r.s.writeChar('G'));
        EXPECT_EQ(r.host.dsr, std::optional<bool>(false));
        EXPECT_EQ(r.host.cts, std::optional<bool>(false));
        EXPECT_EQ(hex(r.port.written()), "47");
    }
    {
        SendRig r;
        r.options.dsrCheck = true;
        ASSERT_TRUE(r.openSend());
        r.port.setModemLines(ModemLines{true, false, true});
        EXPECT_TRUE(r.s.writeChar('G'));
        EXPECT_EQ(r.host.dsr, std::optional<bool>(false));
        EXPECT_EQ(str(r.lines().mid(r.lines().size() - 2)),
                  str({"  DSR信号OFFの為送信中止", "  ※DSR信号を併用処理を行う:Y→N"}));
    }
    {
        SendRig r; // a pseudo-terminal: no checks, lamps untouched
        r.port.setModemLines(std::nullopt);
        r.host.lampUpdates = 0;
        EXPECT_FALSE(r.s.writeChar('G'));
        EXPECT_EQ(r.host.lampUpdates, 0);
    }
    {
        Rig r; // a receive line does not check carrier
        r.port.setModemLines(ModemLines{true, true, false});
        ASSERT_TRUE(r.openReceive());
        EXPECT_FALSE(r.s.writeChar(0x13));
    }
}

TEST(WriteChar, AFailedWriteStopsWithOneLogLine) {
    SendRig r;
    r.port.setWriteFails(true);
    EXPECT_TRUE(r.s.writeChar('G'));
    EXPECT_TRUE(r.s.writeFailed());
    EXPECT_TRUE(r.s.writeChar(0x14));
    r.s.setRawNext(true);
    EXPECT_TRUE(r.s.writeChar('1'));
    EXPECT_EQ(r.lines().filter("通信ﾎﾟｰﾄ書込み不良の為中止").size(), 1);
}

// --- ReadChar and waits ---------------------------------------------------------

TEST(ReadChar, DecodesAndSettlesTheUndecidedModeOnData) {
    Rig r;
    ASSERT_TRUE(r.openReceive());
    r.port.deliver(QByteArray("\x11\x05\x0b\x46\x01\x80", 6));
    r.clock.sleepUs(100000);
    QByteArray got;
    while (r.s.queuedInput() > 0)
        got.append(char(r.s.readChar()));
    EXPECT_EQ(hex(got), "11 05 25 4F 31 0A");
    EXPECT_EQ(int(r.s.codeMode()), int(CodeMode::Eia));
    EXPECT_EQ(r.s.readChar(), 0) << "nothing to read";
}

TEST(Waits, SleepPumpAndEndOnInputOrStop) {
    Rig r;
    ASSERT_TRUE(r.openSend());
    std::int64_t t0 = r.clock.nowUs();
    int pumps0 = r.host.pumps;
    EXPECT_FALSE(r.s.waitMs(3000));
    EXPECT_EQ(r.clock.nowUs() - t0, 3000000);
    EXPECT_GE(r.host.pumps - pumps0, 186);
    EXPECT_LE(r.host.pumps - pumps0, 189);

    r.port.deliver(QByteArray("\x11"), r.clock.nowUs() + 700000);
    t0 = r.clock.nowUs();
    EXPECT_TRUE(r.s.waitForInput(5000));
    const std::int64_t arrival = 700000 + r.s.lineParameters().characterTimeUs();
    EXPECT_GE(r.clock.nowUs() - t0, arrival);
    EXPECT_LE(r.clock.nowUs() - t0 - arrival, 1000) << "start character seen within 1 ms";
    EXPECT_EQ(r.s.readChar(), 0x11);

    r.host.onPump = [&](int) { r.s.requestStop(); };
    EXPECT_TRUE(r.s.waitMs(3000));
    EXPECT_FALSE(r.s.waitMs(50, false));
    EXPECT_FALSE(r.s.waitForInput(-1));
}

// --- line switching -------------------------------------------------------------

namespace {

struct SwitchRig : Rig {
    explicit SwitchRig(std::optional<QString> number) {
        profile.send.speed = 3;
        options.autoSwitch = true;
        options.dc3Is93 = false;
        host.switchNumber = std::move(number);
    }
};

} // namespace

TEST(LineSwitch, FirstCharacterRawOthersEncodedWithThreeSecondWaits) {
    struct Case {
        const char* number;
        const char* bytes;
        std::vector<std::int64_t> startsMs; // after the dialog closed
        std::int64_t totalMs;
    };
    const Case cases[] = {
        {"3", "33", {0}, 3000},        {"1-2", "31 B2", {0, 3000}, 6000},
        {"-1", "31", {3000}, 6000},    {"1-3", "31 33", {0, 3000}, 6000},
        {"12", "31 B2", {0, 1}, 3002},
    };
    for (const Case& c : cases) {
        SwitchRig r(QString::fromLatin1(c.number));
        const std::int64_t t0 = r.clock.nowUs();
        ASSERT_TRUE(r.openSend()) << c.number;
        EXPECT_EQ(r.host.switchAsks, 1);
        EXPECT_EQ(hex(r.port.written()).toStdString(), c.bytes) << c.number;
        ASSERT_EQ(r.port.writtenAt().size(), c.startsMs.size());
        for (std::size_t i = 0; i < c.startsMs.size(); ++i)
            EXPECT_NEAR(double(r.port.writtenAt()[i] - t0) / 1000, double(c.startsMs[i]), 2.0)
                << c.number << " #" << i;
        EXPECT_NEAR(double(r.clock.nowUs() - t0) / 1000, double(c.totalMs), 3.0) << c.number;
        EXPECT_FALSE(r.s.isRawNext());
        EXPECT_TRUE(r.host.messages.empty());
    }
}

TEST(LineSwitch, CancelEmptyOrInvalidNumberStopsTheTransfer) {
    for (const std::optional<QString>& n : {std::optional<QString>(), std::optional<QString>(""),
                                            std::optional<QString>("6"), std::optional<QString>("1234")}) {
        SwitchRig r(n);
        EXPECT_FALSE(r.openSend());
        EXPECT_EQ(r.messages(), "自動選択番号の入力が間違っています｡\n通信を一旦中止します｡");
        EXPECT_EQ(r.lines().last(), "  自動選択番号の入力不良の為中止");
        EXPECT_FALSE(r.s.isRawNext());
        EXPECT_EQ(hex(r.port.written()), "");
    }
}

TEST(LineSwitch, AFailedWriteEndsTheOpeningAndDisarmsTheRawFlag) {
    SwitchRig r(QString("1-2"));
    r.port.setWriteFails(true);
    EXPECT_FALSE(r.openSend());
    EXPECT_FALSE(r.s.isRawNext());
    EXPECT_EQ(r.lines().last(), "  通信ﾎﾟｰﾄ書込み不良の為中止");
}

TEST(LineSwitch, NeverAskedWhenTheOptionIsOff) {
    Rig r;
    r.host.switchNumber = QString("3");
    ASSERT_TRUE(r.openSend());
    EXPECT_EQ(r.host.switchAsks, 0);
    EXPECT_EQ(hex(r.port.written()), "");
}

// --- ProbePort ------------------------------------------------------------------

TEST(ProbePort, ExcludedPortsAreNeverOpened) {
    FakeClock clock;
    EmulatedSerialPort port(clock);
    LineOptions o;
    o.excludedPort1 = "com3";
    o.excludedPort2 = " COM5 ";
    const auto resolve = [](const QString& n) { return "/dev/emu/" + n; };
    EXPECT_FALSE(probePort(3, port, o, resolve));
    EXPECT_FALSE(probePort(5, port, o, resolve));
    EXPECT_EQ(port.openCount(), 0);
    EXPECT_TRUE(probePort(4, port, o, resolve));
    EXPECT_EQ(port.openedPath(), "/dev/emu/COM4");
    EXPECT_FALSE(port.isOpen());
    port.setOpenFails(true);
    EXPECT_FALSE(probePort(4, port, o, resolve));
    EXPECT_FALSE(probePort(6, port, o, [](const QString&) { return QString(); }));
}
