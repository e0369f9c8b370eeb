#include "nc/RestartScan.h"

#include "nc/NcTestText.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

using namespace tornyx;
using namespace tornyx::nc;
using namespace tornyx::test;

namespace {

const QList<QByteArray> Program = {
    "O1 (MAIN)",       // 1
    "(T5 DRILL)",      // 2
    "N10 T5 M06",      // 3
    "N20 G90 G00 X1.", // 4
    "N30 T6 M06 ; T5", // 5
    "N40 G00 X2.",     // 6
    "N50 T5 M06",      // 7
    "N20 X3.",         // 8
    "M30",             // 9
    "O100",            // 10
    "X4.",             // 11
    "M99",             // 12
};

// The operator names the block by the caret line, by N, or by a text; the
// n-th line counts, and only what stands outside comments.
TEST(RestartChoice, NamesTheLine) {
    NcText t(Program);
    struct Row {
        RestartChoice choice;
        int line; // 1-based, 0 for none
    };
    const auto seq = [](long long n, int occurrence) {
        RestartChoice c;
        c.kind = RestartChoice::Sequence;
        c.sequence = n;
        c.occurrence = occurrence;
        return c;
    };
    const auto text = [](QByteArray s, int occurrence) {
        RestartChoice c;
        c.kind = RestartChoice::Text;
        c.text = std::move(s);
        c.occurrence = occurrence;
        return c;
    };
    RestartChoice caret;
    caret.line = 5;
    RestartChoice outside;
    outside.line = 40;
    const Row rows[] = {
        {caret, 6},         {outside, 0},          {seq(20, 1), 4},    {seq(20, 2), 8}, {seq(20, 3), 0},
        {seq(60, 1), 0},    {text("T5", 1), 3},    {text("T5", 2), 7}, // not the comment, not after ";"
        {text("T5", 3), 0}, {text("DRILL", 1), 0},
    };
    for (const Row& r : rows)
        EXPECT_EQ(findRestartLine(t.lines, r.choice, BlockRules{}) + 1, r.line)
            << int(r.choice.kind) << " " << r.choice.text.toStdString() << r.choice.sequence;
    // With the option that sends what follows ";", the third T5 is a block.
    EXPECT_EQ(findRestartLine(t.lines, text("T5", 2), BlockRules{true}) + 1, 5);
}

// Blocks the run does not come to, comment lines and stops on the way are
// told apart, so the operator hears why.
TEST(RestartScan, WhyARestartCannotBeginThere) {
    NcText t(Program);
    ScanSettings s;
    struct Row {
        int line; // 1-based
        int startLine;
        RestartScan::Status status;
    };
    const Row rows[] = {
        {2, 1, RestartScan::NoWords},     {11, 1, RestartScan::NotReached}, // O100 is never called
        {4, 10, RestartScan::NotReached},                                   // above the start program
        {8, 1, RestartScan::Ok},          {12, 1, RestartScan::NotReached},
    };
    for (const Row& r : rows) {
        s.flow.startLine = r.startLine;
        EXPECT_EQ(scanToBlock(t.lines, s, r.line - 1, 1).status, r.status) << r.line;
    }
    NcText broken({"O1", "X1.", "M98 P300", "X2.", "M30"});
    s.flow.startLine = 1;
    const RestartScan r = scanToBlock(broken.lines, s, 3, 1);
    EXPECT_EQ(r.status, RestartScan::FlowStopped);
    EXPECT_EQ(r.flowStop, ProgramFlow::Stop::CallMissing);
    EXPECT_EQ(r.flowStopLine, 2);
    EXPECT_EQ(r.flowStopTarget, "300");
}

// A send run restarts inside the program that holds the block and reads
// that program from its number line; a call there runs in the machine.
TEST(RestartScan, SendRunReadsTheProgramThatHoldsTheBlock) {
    NcText t({"O100", "G91 X5.", "M99", "O1", "G21 G90 G00 X1. Y1.", "M98 P100", "Y2.", "X3.", "M30"});
    ScanSettings s;
    s.flow.dnc = false;
    s.reader.machineCalls = true;
    s.flow.startLine = programStartAbove(t.lines, 7);
    EXPECT_EQ(s.flow.startLine, 4);
    const RestartScan r = scanToBlock(t.lines, s, 7, 1);
    ASSERT_EQ(r.status, RestartScan::Ok);
    EXPECT_EQ(r.state.axis[Y].value, 2.0);
    EXPECT_EQ(r.state.axis[X].why, Unknown::MachineCall);
    EXPECT_EQ(r.state.axis[X].line, 5);
    EXPECT_EQ(r.state.distance.value, 900); // G91 of O100 was never read
}

// Without a choice the DNC start program is the first main program: the
// first that ends before any M99.
TEST(RestartScan, MainProgramIsTheOneThatEnds) {
    struct Row {
        QList<QByteArray> lines;
        int main; // 1-based
    };
    const Row rows[] = {
        {{"O100", "X1.", "M99", "O1", "M98 P100", "M30"}, 4},
        {{"O1", "M98 P100", "M30", "O100", "M99"}, 1},
        {{"O100", "M99", "O200", "M99"}, 1}, // no main program: the first
        {{"G01 X1."}, 0},
    };
    for (const Row& r : rows) {
        NcText t(r.lines);
        EXPECT_EQ(mainProgramLine(t.lines, entriesOf(r.lines)), r.main) << r.lines.join('|').toStdString();
    }
}

// The profile's text not to be sent is blanked before the block is read.
TEST(RestartScan, TextNotToBeSentIsNotRead) {
    NcText t({"O1", "G21 G90 G00 X1. DEBUGX9.", "M30"});
    ScanSettings s;
    s.sendMsg = "DEBUGX9.";
    EXPECT_EQ(scanToBlock(t.lines, s, 2, 1).state.axis[X].value, 1.0);
    s.sendMsg.clear();
    EXPECT_FALSE(scanToBlock(t.lines, s, 2, 1).state.axis[X].known()); // DEBUG is a macro keyword
}

} // namespace
