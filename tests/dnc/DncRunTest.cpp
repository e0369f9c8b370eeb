#include "app/TransferDesk.h"

#include "platform/TextCodec.h"
#include "support/EmulatedDesk.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace tornyx;
using namespace tornyx::test;

namespace {

// A DNC run over the emulated port with the fake clock. ASCII, so the bytes
// are the text; the operator confirms the start; end code LF + "%"; the
// stop path writes DC4.
class DncRunFixture : public ::testing::Test, protected EmulatedDesk {
protected:
    FakeWindow& editor = win;
    FakeWindow& host = win;
    TransferState& state = desk.state();
    TransferSession& session = desk.session();
    SendContext ctx;

    DncRunFixture() {
        ctx.profile = defaultProfile(1);
        ctx.profile.send.signal = 1;
        ctx.profile.send.code = 2;
        ctx.profile.send.dncSend = 1;
        ctx.profileNumber = 1;
        ctx.documentPath = "/work/progs/DNC1.nc";
    }
    // Lines of the editor; the program-number list is built from them like
    // the index does, unless the test wants it empty.
    void text(QList<QByteArray> lines, bool withIndex = true) {
        editor.lines = std::move(lines);
        QStringList index;
        if (withIndex)
            for (int i = 0; i < editor.lineCount(); ++i) {
                const QByteArray& l = editor.lines[i];
                if (!l.isEmpty() && (l[0] == 'O' || l[0] == ':'))
                    index << QString::number(i + 1).rightJustified(5, '0') + '-' + platform::fromSjis(l);
            }
        desk.programs().setEntries(index);
    }
    std::string run1(int startLine = 1, int kind = 1) {
        win.dncStart.startLine = startLine;
        applyContext(desk, ctx);
        if (kind == 2)
            desk.repeatPressed(false);
        else
            desk.sendPressed(false);
        return port.written().toStdString();
    }
    QString log() const { return session.log().text(); }
    QString lastLogLine() const {
        QString t = platform::fromSjis(home.read("Tornyx_D.log"));
        t.chop(2);
        t = t.mid(t.lastIndexOf('\n') + 1);
        return t.mid(t.indexOf("  "));
    }
    QStringList boxes() const { return lineHost.texts(); }
};

// With the line check on, the stop DC4 is the stage logged; without it the
// stage that failed shows.
const QString Stop3025 = QStringLiteral(u"  送信中止　ｴﾗｰ番号 3025");
const QString Stop3026 = QStringLiteral(u"  送信中止　ｴﾗｰ番号 3026");
const QString Stop3027 = QStringLiteral(u"  送信中止　ｴﾗｰ番号 3027");

TEST_F(DncRunFixture, CallIsFollowedAndCommentedCallIsSent) {
    text({"O1 (MAIN)", "G00 X1.", "M98 P100 (SUB)", "(M98 P100)", "M30", "O100", "X5.", "M99"});
    EXPECT_EQ(run1(), "\nO1 (MAIN)\nG00 X1.\nX5.(SUB)\n(M98 P100)\nM30\n\n%");
    EXPECT_TRUE(state.success);
    EXPECT_TRUE(desk.isPostTransferDue());
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  DNC送信完了"));
    EXPECT_TRUE(log().contains(QStringLiteral(u"  DNC送信\n")));
    EXPECT_TRUE(log().contains(QStringLiteral(u"  経過時間 ")));
    EXPECT_EQ(host.panels[2], QStringLiteral(u"送信完了"));
    EXPECT_EQ(host.panel1History.mid(host.panel1History.indexOf(QStringLiteral(u"<< DNC運転ﾓｰﾄﾞ >>"))),
              (QStringList{QStringLiteral(u"<< DNC運転ﾓｰﾄﾞ >>"), QStringLiteral(u"<< DNC運転ﾓｰﾄﾞ >> ﾚﾍﾞﾙ0"),
                           QStringLiteral(u"<< DNC運転ﾓｰﾄﾞ >> ﾚﾍﾞﾙ1"),
                           QStringLiteral(u"<< DNC運転ﾓｰﾄﾞ >> ﾚﾍﾞﾙ0"), QString()}));
    EXPECT_EQ(win.dncAsks, 1);
}

TEST_F(DncRunFixture, LeadingZerosCompareAsIntegers) {
    text({"O1", "M98 P0100", "M30", "O100", "X5.", "M99"});
    EXPECT_EQ(run1(), "\nO1\nX5.\nM30\n\n%");
}

TEST_F(DncRunFixture, MacroVariableStopsTheRun) {
    text({"O1", "M98 P#1", "M30", "O100", "M99"});
    EXPECT_EQ(run1(), "\nO1\n\x14");
    EXPECT_EQ(boxes().last(), QStringLiteral(u"ﾏｸﾛ変数は検索出来ません｡"));
    EXPECT_EQ(lineHost.messages.back().caption, QStringLiteral(u"飛び先検索"));
    EXPECT_TRUE(log().contains(QStringLiteral(u"  ﾏｸﾛ変数は検索出来ません\n")));
    EXPECT_EQ(lastLogLine(), Stop3025);
    EXPECT_FALSE(state.success);
}

TEST_F(DncRunFixture, MissingProgramStopsWithItsBox) {
    text({"O1", "M98 P7", "M30"});
    ctx.options.noLineCheck = true;
    EXPECT_EQ(run1(), "\nO1\n");
    EXPECT_EQ(boxes().last(), QStringLiteral(u"ﾌﾟﾛｸﾞﾗﾑが見当たりません?\n送信を中止します｡"));
    EXPECT_EQ(lineHost.messages.back().caption, QStringLiteral(u"ﾌﾟﾛｸﾞﾗﾑ検索"));
    EXPECT_EQ(lastLogLine(), Stop3026);
}

TEST_F(DncRunFixture, RepeatCountRunsTheSubprogramThreeTimes) {
    text({"O1", "M98 P100 L3", "M30", "O100", "X5.", "M99"});
    EXPECT_EQ(run1(), "\nO1\nX5.\nX5.\nX5.\nM30\n\n%");
    EXPECT_TRUE(host.panel1History.contains(QStringLiteral(u"<< DNC運転ﾓｰﾄﾞ >> ﾚﾍﾞﾙ1[L=3]")));
    EXPECT_TRUE(host.panel1History.contains(QStringLiteral(u"<< DNC運転ﾓｰﾄﾞ >> ﾚﾍﾞﾙ1[L=1]")));
}

TEST_F(DncRunFixture, CallWordsGoAtTheEndOfTheSubprogramsFirstLine) {
    text({"O1", "X10. M98 P100", "M30", "O100", "G01 X5.", "Y1.", "M99"});
    EXPECT_EQ(run1(), "\nO1\nG01 X5.X10.\nY1.\nM30\n\n%");
}

TEST_F(DncRunFixture, CallWordsAreCleanedWithAnEmptyList) {
    text({"O1", "X10. M98 P100", "M30", "O100", "G01 X5.", "M99"}, false);
    EXPECT_EQ(run1(), "\nO1\nG01 X5.X10.\nM30\n\n%");
    EXPECT_EQ(desk.programs().entries(), QStringList{"00001:O1"})
        << "the run lists the program lines it sends";
}

TEST_F(DncRunFixture, ProgramOnTheFirstLineIsFound) {
    text({"O100", "X5.", "M99", "O1", "M98 P100", "M30"}, false);
    EXPECT_EQ(run1(4), "\nO1\nX5.\nM30\n\n%");
    text({"O100", "X5.", "M99", "O1", "M98 P100", "M30"});
    EXPECT_EQ(run1(4), "\nO1\nX5.\nM30\n\n%\nO1\nX5.\nM30\n\n%");
}

TEST_F(DncRunFixture, M99AtLevelZeroEndsWithoutBeingSent) {
    text({"O1", "X1.", "M99", "X2."});
    EXPECT_EQ(run1(), "\nO1\nX1.\n\n%");
    EXPECT_TRUE(state.success);
}

TEST_F(DncRunFixture, M30AboveLevelZeroReturnsWithTheOption) {
    text({"O1", "M98 P100", "X9.", "M30", "O100", "X5.", "M30", "X6."});
    ctx.options.dncEndAsReturn = true;
    EXPECT_EQ(run1(), "\nO1\nX5.\nX9.\nM30\n\n%");
    ctx.options.dncEndAsReturn = false;
    const qsizetype before = port.written().size();
    run1();
    EXPECT_EQ(port.written().mid(before).toStdString(), "\nO1\nX5.\nM30\n\n%");
}

TEST_F(DncRunFixture, GotoStaysInsideTheCurrentProgram) {
    text({"O1", "GOTO 20", "N10 X1.", "N20 X2.", "M30", "O2", "N20 X9."});
    EXPECT_EQ(run1(), "\nO1\nN20 X2.\nM30\n\n%");
    text({"O1", "GOTO 20", "M30", "O2", "N20 X9."});
    ctx.options.noLineCheck = true;
    const qsizetype before = port.written().size();
    const size_t boxesBefore = lineHost.messages.size();
    run1();
    EXPECT_EQ(port.written().mid(before).toStdString(), "\nO1\n");
    EXPECT_EQ(lastLogLine(), Stop3027);
    EXPECT_EQ(lineHost.messages.size(), boxesBefore + 1) << "only the start question, no search box";
}

TEST_F(DncRunFixture, GotoToAMissingNumberAtTheEndOfTheText) {
    text({"O1", "GOTO 20", "N10", "M30"});
    EXPECT_EQ(run1(), "\nO1\n\x14");
    EXPECT_EQ(boxes().last(), QStringLiteral(u"飛び先が見当たりません?\n送信を中止します｡"));
    EXPECT_TRUE(log().contains(QStringLiteral(u"  飛び先が見当たりません\n")));
}

TEST_F(DncRunFixture, M2EndsAndM20DoesNot) {
    text({"O1", "M20", "X1.", "M2", "X3."});
    EXPECT_EQ(run1(), "\nO1\nM20\nX1.\nM2\n\n%");
}

TEST_F(DncRunFixture, NonNumericProgramNumberEndsThroughTheErrorPath) {
    text({"O1", "M98 P7", "M30", "O12A", "O7", "M99"}, false);
    EXPECT_EQ(run1(), "\nO1\n");
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  DNC送信中にｴﾗｰが発生した為中止"));
    EXPECT_FALSE(state.success);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(DncRunFixture, ThreeNestedCallsReturnToTheRightLines) {
    text({"O1", "M98 P10", "X1.", "M30", "O10", "A1.", "M98 P20", "A2.", "M99", "O20", "B1.", "M98 P30",
          "B2.", "M99", "O30", "C1.", "M99"});
    EXPECT_EQ(run1(), "\nO1\nA1.\nB1.\nC1.\nB2.\nA2.\nX1.\nM30\n\n%");
    EXPECT_TRUE(host.panel1History.contains(QStringLiteral(u"<< DNC運転ﾓｰﾄﾞ >> ﾚﾍﾞﾙ3")));
    EXPECT_EQ(host.programLabel, QStringLiteral(u"送信中のﾌﾟﾛｸﾞﾗﾑ番号 => O1"));
}

TEST_F(DncRunFixture, RecursionStopsAtTheDepthLimit) {
    text({"O1", "M98 P100", "M30", "O100", "X1.", "M98 P100", "M99"});
    ctx.options.noLineCheck = true;
    std::string expected = "\nO1\n";
    for (int i = 0; i < 9; ++i)
        expected += "X1.\n";
    EXPECT_EQ(run1(), expected);
    EXPECT_TRUE(log().contains(QStringLiteral(u"  ｻﾌﾞﾌﾟﾛｸﾞﾗﾑ呼出のﾈｽﾄが深すぎる為中止\n")));
    EXPECT_EQ(lastLogLine(), Stop3026);
}

TEST_F(DncRunFixture, SetUpCancelledOrWithoutStartProgram) {
    text({"O1", "M30"});
    ctx.options.noLineCheck = true;
    win.dncStart.confirmed = false;
    EXPECT_EQ(run1(), "");
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 3002"));
    win.dncStart.confirmed = true;
    run1(0);
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 3001"));
    run1(9); // deleted after the list was built
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 3001"));
    EXPECT_EQ(port.written().toStdString(), "");
    EXPECT_TRUE(log().contains(QStringLiteral(u"  ｽﾀｰﾄﾌﾟﾛｸﾞﾗﾑが見当たりません\n")));
}

TEST_F(DncRunFixture, EmptyDocumentNeverReachesTheSetUp) {
    text({});
    EXPECT_EQ(run1(), "");
    EXPECT_EQ(boxes().last(), QStringLiteral(u"送信ﾃﾞｰﾀが有りません｡"));
    EXPECT_EQ(win.dncAsks, 0);
    EXPECT_EQ(port.openCount(), 0);
}

TEST_F(DncRunFixture, FiltersAndEndOfBlockOfTheProfile) {
    text({"O1", "N10 G01 X1. F100.", "M98 P100", "%", "M30", "O100", "N20 X5.;NOTE", "M99"});
    ctx.profile.send.nNon = "Y";
    ctx.profile.send.fNon = "Y";
    ctx.profile.send.crlfType = 1;
    ctx.profile.send.invTime = 2;
    const std::int64_t t0 = clock.nowUs();
    EXPECT_EQ(run1(), "\nO1\r\n G01 X1. F100\r\n X5.\r\n\r\n%") << "the lone % ends the run";
    EXPECT_GE(clock.nowUs() - t0, 2000 * 20);
}

TEST_F(DncRunFixture, StopRequestDuringTheRun) {
    text({"O1", "X1.", "X2.", "X3.", "M30"});
    int writes = 0;
    port.onWrite = [&](unsigned char, std::int64_t) {
        if (++writes == 6)
            session.requestStop();
    };
    EXPECT_EQ(run1(), "\nO1\nX1") << "not one more character after the stop";
    EXPECT_EQ(lastLogLine(), QStringLiteral(u"  送信中止　ｴﾗｰ番号 3028"))
        << "no DC4 after a write that stopped";
    EXPECT_FALSE(state.success);
}

TEST_F(DncRunFixture, StepModeSendsOneLinePerStepAcrossACall) {
    text({"O1", "M98 P100", "X9.", "M30", "O100", "X5.", "M99"});
    ctx.options.stepSendEnabled = true;
    state.stepPending = true; // past O1; the run then holds after the subprogram's first line
    // Stop once the run has been holding for a while, not while the line's
    // end is still going out.
    int held = 0;
    lineHost.onPump = [&](int) {
        if (!state.stepPending && port.written().endsWith("X5.\n") && ++held == 10)
            session.requestStop();
    };
    EXPECT_EQ(run1(), "\nO1\nX5.\n\x14") << "the call itself is no step; the stop sends DC4";
    EXPECT_TRUE(state.stepFlag);
    EXPECT_EQ(lastLogLine(), Stop3025);
}

TEST_F(DncRunFixture, RepeatPassesSkipTheDialog) {
    text({"O1", "M98 P100", "M30", "O100", "X5.", "M99"});
    lineHost.onPump = [&](int) {
        if (log().count(QStringLiteral(u"  DNC送信完了\n")) == 2)
            session.requestStop();
    };
    EXPECT_EQ(run1(1, 2), "\nO1\nX5.\nM30\n\n%\nO1\nX5.\nM30\n\n%");
    EXPECT_EQ(win.dncAsks, 1);
    EXPECT_EQ(host.panel6History, (QStringList{QStringLiteral(u"送信:001"), QStringLiteral(u"送信:002")}));
    EXPECT_TRUE(log().contains(QStringLiteral(u"  ﾘﾋﾟｰﾄDNC送信準備完了\n")));
}

TEST_F(DncRunFixture, BreakpointAndUnsavedMark) {
    text({"O1", "X1.", "M30"});
    editor.breakpoint = 2;
    editor.modified = true;
    run1();
    QStringList breaks;
    for (const auto& m : lineHost.messages)
        if (m.buttons == LineHost::Buttons::Yes)
            breaks << m.text;
    EXPECT_EQ(breaks, QStringList{QStringLiteral(u"ﾌﾞﾚｰｸﾎﾟｲﾝﾄで一時停止中です\n[はい]で再開します\n")});
    EXPECT_TRUE(editor.modified) << "unsaved edits keep their mark";
}

} // namespace

// A program that loops without sending anything must leave the window
// answering and the stop button working: a GOTO back to itself, and a
// subprogram of nothing but M99 called a hundred million times.
TEST_F(DncRunFixture, LoopsWithoutDataStillPumpAndStop) {
    const QList<QList<QByteArray>> programs = {
        {"O1", "N10 G01X1.", "N20 GOTO20", "M30"},
        {"O1", "M98 P100 L99999999", "M30", "O100", "M99"},
    };
    for (const auto& lines : programs) {
        text(lines);
        const qsizetype before = port.written().size();
        const int pumpsBefore = lineHost.pumps;
        lineHost.onPump = [&](int n) {
            if (n == pumpsBefore + 200)
                desk.stopPressed();
        };
        run1();
        EXPECT_GE(lineHost.pumps, pumpsBefore + 200) << "the loop pumps events";
        EXPECT_FALSE(desk.isRunning());
        EXPECT_FALSE(state.success);
        EXPECT_FALSE(port.isOpen());
        EXPECT_TRUE(lastLogLine().startsWith(QStringLiteral(u"  送信中止　ｴﾗｰ番号 ")))
            << lastLogLine().toStdString();
        EXPECT_TRUE(port.written().mid(before).endsWith('\x14')) << "the stop DC4 reaches the machine";
    }
}
