#include "nc/ProgramFlow.h"
#include "nc/RestartScan.h"

#include "nc/DeskRig.h"

#include <gtest/gtest.h>

using namespace tornyx;
using namespace tornyx::nc;
using namespace tornyx::test;

namespace {

// What the real DNC run writes over the emulated line: "\n", the lines,
// "\n%".
QByteArray runWrites(DeskRig& rig, const QList<QByteArray>& lines, int startLine, bool endReturns) {
    rig.ctx.options.dncEndAsReturn = endReturns;
    rig.load(lines);
    rig.win.dncStart.startLine = startLine;
    rig.desk.sendPressed(false);
    return rig.port.written();
}

// The same program through the flow: each transmitted line as the filter
// leaves it with the pending words and the end of block.
QByteArray flowed(NcText& t, const FlowOptions& o, ProgramFlow::Stop* stop = nullptr) {
    ProgramFlow flow(t.lines, o);
    QByteArray out = "\n";
    while (flow.current() != 0)
        if (flow.advance())
            out += filterLine(flow.sentLine(), 0, LineFilter{}).chars + flow.sentWords() + '\n';
    if (stop)
        *stop = flow.stop();
    return out;
}

struct FlowCase {
    const char* name;
    QList<QByteArray> lines;
    int startLine = 1;
    bool endReturns = false;
};

class FlowMatchesTheRun : public ::testing::TestWithParam<FlowCase> {};

TEST_P(FlowMatchesTheRun, SameLinesAsTheDncRunWrites) {
    const FlowCase& c = GetParam();
    DeskRig rig(true);
    const QByteArray run = runWrites(rig, c.lines, c.startLine, c.endReturns);
    ASSERT_TRUE(rig.desk.state().success) << rig.desk.session().log().text().toStdString();
    NcText t(c.lines);
    FlowOptions o;
    o.startLine = c.startLine;
    o.endReturnsAboveLevel0 = c.endReturns;
    o.entries = entriesOf(c.lines);
    ProgramFlow::Stop stop = ProgramFlow::Stop::None;
    EXPECT_EQ((flowed(t, o, &stop) + "\n%").toStdString(), run.toStdString());
    EXPECT_EQ(stop, ProgramFlow::Stop::End);
    // Without the list the run searches the lines; so does the flow.
    o.entries.clear();
    EXPECT_EQ((flowed(t, o) + "\n%").toStdString(), run.toStdString());
}

const FlowCase FlowCases[] = {
    {"CallAndCommentedCall",
     {"O1 (MAIN)", "G00 X1.", "M98 P100 (SUB)", "(M98 P100)", "M30", "O100", "X5.", "M99"}},
    {"RepeatCountAndWordsBeforeTheCall", {"O1", "X1. M98 P100 L3", "Y2.", "M30", "O100", "G91 X1.", "M99"}},
    {"NestedCallsAndM198",
     {"O1", "M98 P100", "X9.", "M30", "O100", "A1.", "M198 P200 L2", "A2.", "M99", "O200", "B1.", "M99"}},
    {"GotoForwardInsideTheProgram", {"O1", "GOTO 30", "N10 X1.", "N20 X2.", "N30 X3.", "M30"}},
    {"MacroCallAndM99AtLevelZero", {"O1", "G65 P100 A1.", "X2.", "M99", "O100", "#1=2", "M99"}},
    {"EndCodeReturnsAboveLevelZero", {"O1", "M98 P100", "X2.", "M30", "O100", "Y1.", "M30"}, 1, true},
    {"StartInTheMiddle", {"O1", "X1.", "M30", "O2", "M98 P1", "Y1.", "M02"}, 4},
};

INSTANTIATE_TEST_SUITE_P(Nc, FlowMatchesTheRun, ::testing::ValuesIn(FlowCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Where the run itself stops, the flow stops with the reason.
TEST(ProgramFlow, StopsWhereTheRunStops) {
    struct Row {
        QList<QByteArray> lines;
        ProgramFlow::Stop stop;
        int line; // 1-based
    };
    QList<QByteArray> deep = {"O100", "X1.", "M98 P100"};
    const Row rows[] = {
        {{"O1", "M98 P200", "M30"}, ProgramFlow::Stop::CallMissing, 2},
        {{"O1", "M98 P#1", "M30"}, ProgramFlow::Stop::CallMacro, 2},
        {{"O1", "M98 P200", "M30", "O12A", "O200", "M99"}, ProgramFlow::Stop::NotANumber, 2},
        {{"O1", "GOTO 50", "N10", "M30", "O2", "N50"}, ProgramFlow::Stop::GotoMissing, 2},
        {{"O1", "N10 X1.", "GOTO 10", "M30"}, ProgramFlow::Stop::Loop, 3},
        {deep, ProgramFlow::Stop::TooDeep, 3},
        {{"O1", "GOTO 99999999999999999999", "M30"}, ProgramFlow::Stop::NotANumber, 2},
    };
    for (const Row& r : rows) {
        NcText t(r.lines);
        FlowOptions o;
        ProgramFlow flow(t.lines, o);
        int sent = 0;
        while (flow.current() != 0)
            sent += flow.advance();
        EXPECT_EQ(flow.stop(), r.stop) << r.lines.join('|').toStdString();
        EXPECT_EQ(flow.stopLine() + 1, r.line) << r.lines.join('|').toStdString();
        if (r.stop == ProgramFlow::Stop::Loop) {
            EXPECT_EQ(sent, 3); // O1, then N10 X1. twice: the second GOTO is the same as the first
        }
    }
}

// The run ends through its unexpected-error path on O12A; the flow names it.
TEST(ProgramFlow, NotANumberFailsTheRunToo) {
    DeskRig rig(true);
    runWrites(rig, {"O1", "M98 P200", "M30", "O12A", "O200", "M99"}, 1, false);
    EXPECT_FALSE(rig.desk.state().success);
    EXPECT_TRUE(
        rig.desk.session().log().text().contains(QStringLiteral(u"  DNC送信中にｴﾗｰが発生した為中止\n")));
}

// The run's tables at the second pass through a subprogram called three
// times: the M99s after a restart there repeat once more and return.
TEST(ProgramFlow, StartPointInTheSecondRepetition) {
    const QList<QByteArray> lines = {"O1",  "G90 G00 X0.", "M98 P100 L3",       "X9.",
                                     "M30", "O100",        "G91 G01 X1. F100.", "M99"};
    NcText t(lines);
    ScanSettings s;
    s.flow.entries = entriesOf(lines);
    const RestartScan r = scanToBlock(t.lines, s, 6, 2);
    ASSERT_EQ(r.status, RestartScan::Ok);
    DncStartPoint want;
    want.line = 7;
    want.level = 1;
    want.returnLine[0] = 4;
    want.savedLabelLine[0] = 1;
    want.count.fill(1);
    want.count[1] = 2;
    want.levelStart[1] = 7;
    want.labelLine = 6;
    EXPECT_EQ(r.start, want);
    EXPECT_EQ(r.state.axis[X].value, 1.0); // one pass of G91 X1. behind
    EXPECT_EQ(r.reached, 2);
    EXPECT_EQ(scanToBlock(t.lines, s, 6, 4).status, RestartScan::FewerPasses);
    EXPECT_EQ(scanToBlock(t.lines, s, 6, 4).reached, 3);
}

// The words beside a call go out with the called program's first line: a
// restart there sends them too, and the state has them already read.
TEST(ProgramFlow, PendingWordsAtTheFirstLineOfTheCall) {
    const QList<QByteArray> lines = {"O1", "G21 G90 G00 X0.", "Y5. M98 P200", "M30", "O200", "X1.", "M99"};
    NcText t(lines);
    ScanSettings s;
    const RestartScan r = scanToBlock(t.lines, s, 5, 1);
    ASSERT_EQ(r.status, RestartScan::Ok);
    EXPECT_EQ(r.start.pendingWords, "Y5.");
    EXPECT_FALSE(r.state.axis[Y].known());
}

// A line that lies across the editor's gap reads the same.
TEST(TextLines, LineAcrossTheGap) {
    const QList<QByteArray> lines = {"O1", "G01 X1. Y2.", "M30"};
    NcText t(lines, 7);
    EXPECT_EQ(t.lines.count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(t.lines.line(i).toByteArray(), lines[i]);
}

} // namespace
