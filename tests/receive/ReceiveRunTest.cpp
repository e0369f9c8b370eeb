#include "receive/ReceiveRig.h"

#include "status/TransferLog.h"
#include "support/DiskFaults.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace tornyx;
using tornyx::test::eia;
using tornyx::test::hex;
using tornyx::test::iso;
using tornyx::test::ReceiveRig;
using Outcome = tornyx::ReceiveResult::Outcome;

namespace {

QByteArray lines(int n, int from = 1) {
    QByteArray out;
    for (int i = from; i < from + n; ++i)
        out += "N" + QByteArray::number(i) + "G01X" + QByteArray::number(i % 97) + ".\n";
    return out;
}

QByteArray storedLines(int n, int from = 1) {
    QByteArray out;
    for (int i = from; i < from + n; ++i)
        out += "N" + QByteArray::number(i) + " G01 X" + QByteArray::number(i % 97) + ".\r\n";
    return out;
}

} // namespace

// --- the examples of a whole run ----------------------------------------------

TEST(ReceiveRun, IsoProgramWithWordSpacingIsStoredAndTheMachineGetsDc4) {
    ReceiveRig r;
    r.stream = iso("%\nO1234\nG01X10.Y-5.\n%\n");
    const ReceiveResult res = r.run();
    EXPECT_EQ(int(res.outcome), int(Outcome::Completed));
    EXPECT_EQ(r.file(), "O1234\r\nG01 X10. Y-5.\r\n");
    EXPECT_EQ(hex(r.port.written()), "14");
    EXPECT_TRUE(res.receivedPending);
    EXPECT_TRUE(res.success);
    EXPECT_EQ(res.receiveFile, r.setup.receiveFile);
    EXPECT_EQ(r.host.panel2History.join(","), "受信待機中,受信待機中,＜＜ 受信中 ＞＞,保存中,受信完了");
    EXPECT_EQ(r.host.panels[3], "自動 : 9600, 1");
    EXPECT_EQ(r.host.panels[4], "COM1");
    EXPECT_EQ(r.host.panels[5], "Y");
    EXPECT_EQ(r.host.programLabel, "受信中のﾌﾟﾛｸﾞﾗﾑ番号 => O1234");
    EXPECT_EQ(r.port.closeCount(), 1);
    const QStringList log = r.log();
    const QStringList tail = log.mid(log.indexOf("  通信回線初期化完了") + 1);
    EXPECT_EQ(tail.join(" / ").toStdString(),
              QStringList({"  受信ｺｰﾄﾞは自動判別", "  NC機からの信号で開始する", "  受信ﾃﾞｰﾀ待ち",
                           "  自動判別でISOｺｰﾄﾞを検出", "  開始文字(%OP:LNG$)を受信 開始文字%",
                           "  ﾃﾞｰﾀ受信開始", "  NC機より完了（％）を受信した為終了", "  受信完了"})
                  .join(" / ")
                  .toStdString());
    EXPECT_EQ(r.host.panels[1], "");
    EXPECT_EQ(r.host.inhibited, true) << "no screen saver during the transfer";
}

TEST(ReceiveRun, BlankAfterADigitIsDroppedAndCommentsKeepTheirBlanks) {
    ReceiveRig r;
    r.stream = iso("%\nG01 X10 (A B:C)Y2\nG 1\n%\n");
    r.run();
    EXPECT_EQ(r.file(), "G01 X10(A B:C) Y2\r\nG 1\r\n");
}

TEST(ReceiveRun, WordModesTrimDeleteOrKeepBlanks) {
    const struct {
        int word;
        QByteArray expect;
    } cases[] = {
        {1, "G01X10(A B)\r\n"},
        {2, "G01 X10 (A B)\r\n"},
        {3, "  G01 X10 (A B) \r\n"},
    };
    for (const auto& c : cases) {
        ReceiveRig r;
        r.read().word = c.word;
        r.stream = iso("%\n  G01 X10 (A B) \n%\n");
        r.run();
        EXPECT_EQ(r.file(), c.expect) << "Word " << c.word;
    }
}

TEST(ReceiveRun, LowerCaseOrTabEndsIsoDataAndTheLogNamesTheCharacterAndLine) {
    for (const char bad : {'x', '\t'}) {
        ReceiveRig r;
        r.stream = iso(QByteArray("%\nO1\nG01") + bad + "5\nG02\n%\n");
        const ReceiveResult res = r.run();
        EXPECT_EQ(int(res.outcome), int(Outcome::Completed));
        EXPECT_EQ(r.file(), "O1\r\n");
        const QString code = bad == 'x' ? "0x78" : "0x09";
        EXPECT_TRUE(r.logHas("  NC機より不正文字(" + code + ")を受信した為終了 3行目")) << r.logText();
    }
}

TEST(ReceiveRun, AsciiStoresLowerCaseAndTab) {
    ReceiveRig r;
    r.read().code = 1;
    r.read().word = 3;
    r.stream = "%\nO1\nG01x\t5\n%\n";
    r.run();
    EXPECT_EQ(r.file(), "O1\r\nG01x\t5\r\n");
    EXPECT_TRUE(r.logHas("  受信ｺｰﾄﾞはASCII"));
    EXPECT_EQ(r.host.panels[3], "ASCII: 9600, 1");
}

TEST(ReceiveRun, CarriageReturnEndsLinesWithEndCode2) {
    ReceiveRig r;
    r.read().endCode = 2;
    r.stream = iso("%\rO1\rG1\r%\r");
    r.run();
    EXPECT_EQ(r.file(), "O1\r\nG1\r\n");

    ReceiveRig both;
    both.read().endCode = 2;
    both.stream = iso("%\r\nO1\r\nG1\r\n%\r\n");
    both.run();
    EXPECT_EQ(both.file(), "\r\nO1\r\n\r\nG1\r\n\r\n");

    ReceiveRig lf;
    lf.read().endCode = 0;
    lf.stream = iso("%\r\nO1\r\nG1\r\n%\r\n");
    lf.run();
    EXPECT_EQ(lf.file(), "O1\r\nG1\r\n");
}

TEST(ReceiveRun, LetterOAloneIsJoinedWithTheNumber) {
    ReceiveRig r;
    r.stream = iso("%\nO\n1234\nG1\n%\n");
    r.run();
    EXPECT_EQ(r.file(), "O1234\r\nG1\r\n");
}

TEST(ReceiveRun, ProgramLetterChangesOnlyTheFirstCharacter) {
    ReceiveRig r;
    r.read().change = 1;
    r.read().word = 2;
    r.stream = iso("%\n:1234(:A)\nL10\n%\n");
    r.run();
    EXPECT_EQ(r.file(), "O1234(:A)\r\nL10\r\n");

    ReceiveRig c;
    c.read().change = 2;
    c.stream = iso("%\nO12\n%\n");
    c.run();
    EXPECT_EQ(c.file(), ":12\r\n");
}

TEST(ReceiveRun, PercentLinesAreAddedAtHeadAndTail) {
    ReceiveRig r;
    r.read().seChar = 2;
    r.stream = iso("%\nO1\n%\n");
    r.run();
    EXPECT_EQ(r.file(), "%\r\nO1\r\n%\r\n");
    EXPECT_TRUE(r.logHas("  受信ﾃﾞｰﾀの先頭に％を付加"));
    EXPECT_TRUE(r.logHas("  受信ﾃﾞｰﾀの最後部に％を追加"));
}

TEST(ReceiveRun, LeadingPercentOnlyLineIsDroppedAndPercentO1234KeptAsO1234) {
    ReceiveRig r;
    r.stream = iso("%O1234\nG1\n%\n");
    r.run();
    EXPECT_EQ(r.file(), "O1234\r\nG1\r\n");
}

TEST(ReceiveRun, StartWithProgramLetterAndFilteredHeaderLines) {
    ReceiveRig r;
    r.stream = iso("O12\nO&FW1\n&HE:2\nG1\n%\n");
    r.run();
    EXPECT_EQ(r.file(), "O12\r\nG1\r\n");
    EXPECT_TRUE(r.logHas("  開始文字(%OP:LNG$)を受信 開始文字O"));
}

TEST(ReceiveRun, AutoCodeIsDecidedByTheStartAfterNoise) {
    // 0x07 has three 1-bits: it would fix EIA if noise did not reset the
    // decision; 0xA5 (ISO "%") then decides ISO.
    ReceiveRig r;
    r.stream = QByteArray("\x07\x07\x07", 3) + iso("%\nO1\n%\n");
    r.run();
    EXPECT_EQ(r.file(), "O1\r\n");
    EXPECT_TRUE(r.logHas("  自動判別でISOｺｰﾄﾞを検出"));
    EXPECT_EQ(r.host.panels[1], "");

    ReceiveRig e;
    e.stream = QByteArray("\x03\x03", 2) + eia("%\nO1\nG01X-1.\n%\n");
    e.run();
    EXPECT_EQ(e.file(), "O1\r\nG01 X-1.\r\n");
    EXPECT_TRUE(e.logHas("  自動判別でEIAｺｰﾄﾞを検出")) << e.logText();
}

TEST(ReceiveRun, EiaProfileReceivesEiaTape) {
    ReceiveRig r;
    r.read().code = 2;
    r.stream = eia("%\nO10\nG00X1.Y2.\nM30\n%\n");
    r.run();
    EXPECT_EQ(r.file(), "O10\r\nG00 X1. Y2.\r\nM30\r\n");
    EXPECT_TRUE(r.logHas("  受信ｺｰﾄﾞはEIA"));
}

TEST(ReceiveRun, CancelSignalEndsTheDataKeepingTheLine) {
    ReceiveRig r;
    r.stream = iso("%\nO1\nG1") + "\x14";
    r.run();
    EXPECT_EQ(r.file(), "O1\r\nG1\r\n");
    EXPECT_TRUE(r.logHas("  NC機より完了（中止）信号を受信した為終了"));
}

TEST(ReceiveRun, DsrDropEndsTheReceptionWhenTheOptionAsks) {
    ReceiveRig r;
    r.setup.options.line.dsrCheck = true;
    r.stream = iso("%\nO1\nG1");
    r.onPump = [&](int) {
        if (r.allConsumed())
            r.port.setModemLines(platform::ModemLines{true, false, true});
    };
    const ReceiveResult res = r.run();
    EXPECT_EQ(int(res.outcome), int(Outcome::Completed));
    EXPECT_EQ(r.file(), "O1\r\nG1\r\n");
    EXPECT_TRUE(r.logHas("  NC機よりDSR信号OFFを受信した為中止"));
    EXPECT_TRUE(r.logHas("  ※DSR信号を併用処理を行う:Y→N"));
}

TEST(ReceiveRun, CarrierOffDiscardsTheStartUnlessTheLineCheckIsOff) {
    ReceiveRig r;
    r.port.setModemLines(platform::ModemLines{true, true, false});
    r.stream = iso("%\nO1\n%\n");
    r.onPump = [&](int pump) {
        if (pump == 400)
            r.session.requestStop();
    };
    EXPECT_EQ(int(r.run().outcome), int(Outcome::Aborted));

    ReceiveRig off;
    off.setup.options.line.noLineCheck = true;
    off.port.setModemLines(platform::ModemLines{true, true, false});
    off.stream = iso("%\nO1\n%\n");
    off.run();
    EXPECT_EQ(off.file(), "O1\r\n");
    EXPECT_EQ(hex(off.port.written()), "") << "no DC4 without the line check";

    // A line without modem lines (a pseudo-terminal) cannot veto the start.
    ReceiveRig pty;
    pty.port.setModemLines(std::nullopt);
    pty.stream = iso("%\nO1\n%\n");
    pty.run();
    EXPECT_EQ(pty.file(), "O1\r\n");
}

// --- stops and failures -----------------------------------------------------------

TEST(ReceiveRun, StopWhileWaitingDeletesTheFileWith2005OrZero) {
    for (const bool lineCheckOff : {false, true}) {
        ReceiveRig r;
        r.setup.options.line.noLineCheck = lineCheckOff;
        r.onPump = [&](int pump) {
            if (pump == 3)
                r.session.requestStop();
        };
        const ReceiveResult res = r.run();
        EXPECT_EQ(int(res.outcome), int(Outcome::Aborted));
        EXPECT_FALSE(r.exists());
        const int number = lineCheckOff ? 0 : 2005;
        EXPECT_EQ(res.errorNumber, number);
        EXPECT_TRUE(r.logHas("  手動操作にて受信待機中に中止"));
        EXPECT_TRUE(r.logHas(QStringLiteral(u"  受信中止\u3000ｴﾗｰ番号 ") + QString::number(number)))
            << r.logText();
        EXPECT_EQ(hex(r.port.written()), lineCheckOff ? "" : "14");
        EXPECT_EQ(r.host.panels[2], "受信中止");
        EXPECT_EQ(r.host.captionMode, 5);
        EXPECT_FALSE(res.receivedPending);
        EXPECT_EQ(r.host.editorClears > 0, true) << "the editor is left empty";
        EXPECT_FALSE(r.port.isOpen());
        // The log file holds this account.
        EXPECT_TRUE(r.logFile().contains("ｴﾗｰ番号"));
    }
}

TEST(ReceiveRun, StopDuringReceptionDiscardsOrKeepsByTheOption) {
    for (const bool keep : {false, true}) {
        ReceiveRig r;
        r.setup.options.keepOnStop = keep;
        r.read().seChar = 2;
        r.stream = iso("%\nO1\nG1\nG2");
        r.onPump = [&](int) {
            if (r.allConsumed())
                r.session.requestStop();
        };
        const ReceiveResult res = r.run();
        if (keep) {
            EXPECT_EQ(int(res.outcome), int(Outcome::Completed));
            // Neither the unfinished line nor the tail "%" line.
            EXPECT_EQ(r.file(), "%\r\nO1\r\nG1\r\n");
            EXPECT_TRUE(res.receivedPending);
        } else {
            EXPECT_EQ(int(res.outcome), int(Outcome::Aborted));
            EXPECT_FALSE(r.exists());
        }
    }
}

TEST(ReceiveRun, StopAfterTheClosingPercentKeepsTheCompleteProgram) {
    // The machine sends nothing after its "%": only the operator's stop
    // can end the wait, and the program is whole.
    ReceiveRig r;
    r.stream = iso("%\nO1\nG1\n%");
    r.onPump = [&](int) {
        if (r.allConsumed())
            r.session.requestStop();
    };
    const ReceiveResult res = r.run();
    EXPECT_EQ(int(res.outcome), int(Outcome::Completed));
    EXPECT_EQ(r.file(), "O1\r\nG1\r\n");
    EXPECT_TRUE(r.logHas("  NC機より完了（％）を受信した為終了"));
    EXPECT_FALSE(r.logHas("  手動操作にて受信待機中に中止"));
}

TEST(ReceiveRun, PortThatCannotBeSetUpStopsWith2001AndNoDc4) {
    ReceiveRig r;
    r.port.setPurgeFails(true);
    const ReceiveResult res = r.run();
    EXPECT_EQ(res.errorNumber, 2001);
    EXPECT_TRUE(r.logHas("  通信設定不可で中止"));
    EXPECT_TRUE(r.logHas(QStringLiteral(u"  受信中止\u3000ｴﾗｰ番号 2001"))) << r.logText();
    EXPECT_EQ(hex(r.port.written()), "");
    EXPECT_FALSE(r.exists());
    EXPECT_EQ(r.messages(), "回線初期化ｴﾗｰ!!");
}

TEST(ReceiveRun, CompleteReceiveIsKeptWhenTheCourtesyDc4CannotBeWritten) {
    ReceiveRig r;
    r.port.setWriteFails(true);
    r.stream = iso("%\nO1\n%\n");
    const ReceiveResult res = r.run();
    EXPECT_EQ(int(res.outcome), int(Outcome::Completed));
    EXPECT_EQ(r.file(), "O1\r\n");
    EXPECT_TRUE(res.receivedPending);
    EXPECT_TRUE(r.logHas("  完了信号(DC4)が送信できません 受信ﾃﾞｰﾀは保存済み")) << r.logText();
    EXPECT_TRUE(r.logFile().contains("(DC4)が送信できません"));
}

TEST(ReceiveRun, UnwritableReceiveFileEndsThroughTheErrorPathWithAMessage) {
    ReceiveRig r;
    // A folder that is a file cannot hold the receive file, whoever runs.
    r.home.write("blocker", "x");
    r.setup.receiveFile = r.home.file("blocker") + "/x.nc";
    r.stream = iso("%\nO1\n%\n");
    const ReceiveResult res = r.run();
    EXPECT_EQ(int(res.outcome), int(Outcome::Failed));
    EXPECT_FALSE(res.receivedPending);
    EXPECT_TRUE(r.logHas("  受信中にｴﾗｰが発生した為に中止")) << r.logText();
    EXPECT_TRUE(r.messages().contains("x.nc")) << r.messages().toStdString();
    EXPECT_EQ(r.host.panels[2], "受信中止");
    EXPECT_FALSE(r.port.isOpen());
}

// --- flow control and long tapes ---------------------------------------------

TEST(ReceiveRun, XoffAboveHalfTheQueueAndXonBelowAQuarter) {
    ReceiveRig r;
    r.setup.options.line.noLineCheck = true;
    r.chunk = 2000;
    r.stream = iso("%\n" + lines(150) + "%\n");
    bool stalled = false;
    r.onPump = [&](int) {
        // The program is busy for a moment: 600 characters pile up.
        if (!stalled && r.host.panel2History.contains("＜＜ 受信中 ＞＞")) {
            stalled = true;
            r.clock.advanceTo(r.clock.nowUs() + 700000);
        }
    };
    r.run();
    EXPECT_EQ(hex(r.port.written()), "93 11");
    EXPECT_EQ(r.file(), storedLines(150));

    ReceiveRig plain;
    plain.setup.options.line.noLineCheck = true;
    plain.setup.options.line.dc3Is93 = false;
    plain.chunk = 2000;
    plain.stream = iso("%\n" + lines(150) + "%\n");
    stalled = false;
    plain.onPump = [&](int) {
        if (!stalled && plain.host.panel2History.contains("＜＜ 受信中 ＞＞")) {
            stalled = true;
            plain.clock.advanceTo(plain.clock.nowUs() + 700000);
        }
    };
    plain.run();
    EXPECT_EQ(hex(plain.port.written()), "13 11");
}

TEST(ReceiveRun, FailedXoffTakesTheAbortPathWith2002) {
    ReceiveRig r;
    r.chunk = 2000;
    r.stream = iso("%\n" + lines(150) + "%\n");
    bool stalled = false;
    r.onPump = [&](int) {
        if (!stalled && r.host.panel2History.contains("＜＜ 受信中 ＞＞")) {
            stalled = true;
            r.port.setWriteFails(true);
            r.clock.advanceTo(r.clock.nowUs() + 700000);
        }
    };
    const ReceiveResult res = r.run();
    EXPECT_EQ(int(res.outcome), int(Outcome::Aborted));
    EXPECT_EQ(res.errorNumber, 2002);
    EXPECT_TRUE(r.logHas(QStringLiteral(u"  受信中止\u3000ｴﾗｰ番号 2002"))) << r.logText();
    EXPECT_FALSE(r.exists());
}

TEST(ReceiveRun, ExactlyOneThousandAndTwoThousandFiveHundredLinesCrossTheFlush) {
    for (const int n : {999, 1000, 1001, 2500}) {
        ReceiveRig r;
        r.read().seChar = 2;
        r.stream = iso("%\n" + lines(n) + "%\n");
        r.run();
        EXPECT_EQ(r.file(), "%\r\n" + storedLines(n) + "%\r\n") << n << " lines";
        // One clear at the start of reception, one per flush (on the first
        // character after the 1000th line), one at the end.
        EXPECT_EQ(r.host.editorClears, 2 + n / 1000) << n << " lines";
    }
}

TEST(ReceiveRun, TwoReceivesInARowLeaveOnlyTheSecondLog) {
    ReceiveRig r;
    r.session.log().start("  受信\n");
    r.session.log().append("  受信ﾌｧｲﾙ名はfirst.nc\n");
    r.stream = iso("%\nO1\n%\n");
    r.run();

    r.session.log().start("  受信\n");
    r.session.log().append("  受信ﾌｧｲﾙ名はsecond.nc\n");
    r.stream = iso("%\nO2\n%\n");
    r.streamSent = 0;
    r.streamEndUs = 0;
    r.run();
    EXPECT_EQ(r.file(), "O2\r\n");
    const QString log = r.logFile();
    EXPECT_TRUE(log.contains("second.nc"));
    EXPECT_FALSE(log.contains("first.nc"));
}

TEST(ReceiveRun, PowerOffOptionIsLogged) {
    ReceiveRig r;
    r.setup.options.powerOff = true;
    r.stream = iso("%\nO1\n%\n");
    r.run();
    EXPECT_TRUE(r.logHas("  自動で電源断"));
}

// --- OSP ---------------------------------------------------------------------------

TEST(ReceiveRun, OspFileNameLineNamesTheStoredFile) {
    const struct {
        QByteArray line;
        QString name;
    } cases[] = {{"$O1234%", "O1234.MIN"}, {"$PART 1.NC%", "PART1.NC"}};
    for (const auto& c : cases) {
        ReceiveRig r;
        r.setup.profileNumber = 11;
        r.setup.receiveFile = r.home.file("osp_data.tmp");
        r.stream = iso(c.line + "\nG1\n$X\nM30\n%\n");
        const ReceiveResult res = r.run();
        const QString target = r.home.file(c.name);
        EXPECT_EQ(res.receiveFile, target);
        EXPECT_EQ(r.file(target), "G1\r\nM30\r\n");
        EXPECT_FALSE(QFile::exists(r.home.file("osp_data.tmp")));
        EXPECT_TRUE(
            r.logHas("  NC機よりﾌｧｲﾙ名受信 ﾌｧｲﾙ名は" + QString(c.line.mid(1, c.line.size() - 2)).remove(' ')))
            << r.logText();
        EXPECT_EQ(r.host.captionMode, 6);
    }
}

TEST(ReceiveRun, OspWithoutNameStaysInTheTemporaryFileAndAStopLeavesNothing) {
    ReceiveRig r;
    r.setup.profileNumber = 12;
    r.setup.receiveFile = r.home.file("osp_data.tmp");
    r.stream = iso("%\nG1\n%\n");
    const ReceiveResult res = r.run();
    EXPECT_EQ(res.receiveFile, r.setup.receiveFile);
    EXPECT_EQ(r.file(), "%\r\nG1\r\n");

    ReceiveRig s;
    s.setup.profileNumber = 11;
    s.setup.receiveFile = s.home.file("osp_data.tmp");
    s.stream = iso("$O77%\nG1\n");
    s.onPump = [&](int) {
        if (s.allConsumed())
            s.session.requestStop();
    };
    EXPECT_EQ(int(s.run().outcome), int(Outcome::Aborted));
    EXPECT_EQ(QDir(s.home.path()).entryList({"O77*", "osp_data.tmp"}, QDir::Files).join(","), "");
}

TEST(ReceiveRun, OspNameFromTheLineCannotLeaveTheChosenFolder) {
    ReceiveRig r;
    r.setup.profileNumber = 11;
    const QString folder = r.home.file("recv");
    QDir().mkpath(folder);
    r.setup.workingFolder = folder;
    r.setup.receiveFile = folder + "/osp_data.tmp";
    r.stream = iso("$../../EVIL.NC%\nG1\n%\n");
    const ReceiveResult res = r.run();
    EXPECT_EQ(res.receiveFile, folder + "/EVIL.NC");
    EXPECT_EQ(r.file(res.receiveFile), "G1\r\n");
    EXPECT_FALSE(QFile::exists(r.home.file("EVIL.NC")));
    EXPECT_TRUE(r.logHas("  NC機のﾌｧｲﾙ名を変更 ../../EVIL.NC => EVIL.NC")) << r.logText();

    // A name that is nothing but separators, or the temporary file itself,
    // keeps the data where it is.
    for (const QByteArray& name :
         {QByteArray("$//%"), QByteArray("$OSP_DATA.TMP%"), QByteArray("$CON.NC%")}) {
        ReceiveRig t;
        t.setup.profileNumber = 11;
        t.setup.receiveFile = t.home.file("osp_data.tmp");
        t.stream = iso(name + "\nG1\n%\n");
        const ReceiveResult kept = t.run();
        EXPECT_EQ(kept.receiveFile, t.setup.receiveFile) << name.constData();
        EXPECT_EQ(t.file(), "G1\r\n") << name.constData();
    }
}

// --- settings that change how bytes are read ---------------------------------

TEST(ReceiveRun, UserFramingWithSevenBitsTakesCharactersAsTheyCome) {
    // 7-bit "%" (0x25) has three 1-bits: deciding on it would read EIA.
    ReceiveRig r;
    r.read().code = 4;
    r.read().dataLength = 0;
    r.stream = "%\nO1\nG1X2\n%\n";
    r.run();
    EXPECT_EQ(r.file(), "O1\r\nG1 X2\r\n");
    EXPECT_FALSE(r.logHas("  受信ｺｰﾄﾞは自動判別"));

    ReceiveRig eight;
    eight.read().code = 4;
    eight.read().dataLength = 1;
    eight.stream = iso("%\nO1\n%\n");
    eight.run();
    EXPECT_EQ(eight.file(), "O1\r\n");
    EXPECT_EQ(eight.host.panels[3], ": 9600, 1");
}

TEST(ReceiveRun, WithoutTheMachinesSignalTheCarrierIsNotAsked) {
    ReceiveRig r;
    r.read().signal = 1;
    r.read().speed = 6;
    r.read().stopBits = 1;
    r.port.setModemLines(platform::ModemLines{true, true, false});
    r.stream = iso("%\nO1\n%\n");
    r.run();
    EXPECT_EQ(r.file(), "O1\r\n");
    EXPECT_EQ(r.host.panels[5], "N");
    EXPECT_EQ(r.host.panels[3], "自動 : 機器, 2");
    EXPECT_TRUE(r.logHas("  NC機からの信号は使用しない"));
}

// Random bytes from the machine, all settings: every run ends (on its own or
// by the stop button once the machine is silent), closes the line, hands over
// exactly once, and a kept file is made of whole CR LF lines.
TEST(ReceiveRun, RandomTapesAlwaysEndCleanly) {
    QRandomGenerator rng(7);
    for (int round = 0; round < 150; ++round) {
        ReceiveRig r;
        ReadGroup& g = r.read();
        g.code = int(rng.bounded(5));
        g.dataLength = int(rng.bounded(2));
        g.word = int(rng.bounded(4));
        g.change = int(rng.bounded(3));
        g.endCode = int(rng.bounded(3));
        g.seChar = int(rng.bounded(4));
        r.setup.profileNumber = rng.bounded(4) == 0 ? 11 : 1;
        r.setup.options.keepOnStop = rng.bounded(2) == 1;
        r.setup.options.line.dsrCheck = rng.bounded(2) == 1;
        r.setup.options.line.dc3Is93 = rng.bounded(2) == 1;
        const int n = int(rng.bounded(1500));
        for (int i = 0; i < n; ++i) {
            static const char Likely[] = "%\n\r O0123:.-()GXYLN$&FWHE";
            r.stream +=
                rng.bounded(3) == 0 ? char(rng.bounded(256)) : iso(QByteArray(1, Likely[rng.bounded(25)]))[0];
        }
        r.onPump = [&](int) {
            if (r.allConsumed())
                r.session.requestStop();
        };
        const ReceiveResult res = r.run();
        ASSERT_FALSE(r.port.isOpen()) << "round " << round;
        if (res.outcome == Outcome::Completed) {
            const QByteArray got = r.file(res.receiveFile);
            ASSERT_TRUE(got.isEmpty() || got.endsWith("\r\n")) << "round " << round;
            ASSERT_EQ(got.count('\n'), got.count("\r\n")) << "round " << round;
            ASSERT_EQ(got.count('\r'), got.count("\r\n")) << "round " << round;
        } else {
            ASSERT_FALSE(QFile::exists(res.receiveFile)) << "round " << round;
        }
    }
}

// --- a disk that fills up under a receive ------------------------------------

TEST(ReceiveRun, FullDiskLeavesTheFileAtAWholeLineAndSaysWhy) {
    ReceiveRig r;
    r.setup.options.line.noLineCheck = true;
    r.stream = iso("%\n" + lines(2500) + "%\n");
    ReceiveResult res;
    {
        // The first block of 1000 lines fits, the second does not.
        test::FileSizeLimit full(storedLines(1000).size() + 700);
        res = r.run();
    }
    EXPECT_EQ(int(res.outcome), int(Outcome::Failed));
    EXPECT_TRUE(r.file() == storedLines(1000)) << "no piece of a line stays: " << r.file().size()
                                               << " bytes, ending " << r.file().right(16).toStdString();
    EXPECT_TRUE(r.messages().contains(r.setup.receiveFile + ": ")) << r.messages().toStdString();
    EXPECT_TRUE(r.messages().contains("File too large")) << r.messages().toStdString();
    EXPECT_TRUE(r.logHas("  受信中にｴﾗｰが発生した為に中止")) << r.logText();
}

TEST(ReceiveRun, RealFullDiskLeavesTheFileAtAWholeLine) {
    test::TempHome outer;
    QDir(outer.path()).mkdir("disk");
    const QString disk = outer.file("disk");
    const int rc = test::runInChild([&] {
        if (!test::mountSmallTmpfs(disk, 64))
            return test::ChildSkipped;
        // Room for the first block of 1000 lines and not for the second.
        const qsizetype block = storedLines(1000).size();
        const qsizetype pages = (block + 4095) / 4096 + 1;
        QFile ballast(disk + "/ballast");
        if (!ballast.open(QIODevice::WriteOnly) ||
            ballast.write(QByteArray(64 * 1024 - pages * 4096, 'b')) < 0)
            return 2;
        ballast.close();
        ReceiveRig r;
        r.setup.options.line.noLineCheck = true;
        r.setup.receiveFile = disk + "/received.nc";
        r.stream = iso("%\n" + lines(2500) + "%\n");
        const ReceiveResult res = r.run();
        if (res.outcome != Outcome::Failed || r.file() != storedLines(1000) ||
            !r.messages().contains("No space left")) {
            std::fprintf(stderr, "outcome %d, %lld bytes, %s\n", int(res.outcome), (long long)r.file().size(),
                         qPrintable(r.messages()));
            return 1;
        }
        return 0;
    });
    EXPECT_CHILD_PASSED_ON_TMPFS(rc);
}
