#include "dnc/DncCalls.h"

#include <gtest/gtest.h>

using namespace tornyx;
using namespace tornyx::dnc;

namespace {

struct KindCase {
    const char* line;
    CallKind kind;
};

class CallLines : public ::testing::TestWithParam<KindCase> {};

TEST_P(CallLines, Recognised) {
    EXPECT_EQ(int(callKind(GetParam().line)), int(GetParam().kind)) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Dnc, CallLines,
    ::testing::Values(KindCase{"M98 P100", CallKind::M98}, KindCase{"M98 P100 (SUB)", CallKind::M98},
                      KindCase{"(M98 P100)", CallKind::None}, KindCase{"G00 (CALL M98 P100)", CallKind::None},
                      KindCase{"M198 P100", CallKind::M198}, KindCase{"G65 P9010 A1.", CallKind::G65},
                      KindCase{"M98 P1 (THEN G65)", CallKind::None}, KindCase{"X10. M98 P100", CallKind::M98},
                      KindCase{"M99", CallKind::None}, KindCase{"", CallKind::None}));

TEST(DncWords, CallWordsAndRepeatCounts) {
    EXPECT_EQ(callWords("X10. M98 P100", CallKind::M98, {}), "X10.  P100");
    EXPECT_EQ(callWords("M198P100M198", CallKind::M198, {}), "P100");
    EXPECT_EQ(callWords("G65 P100", CallKind::G65, "OLD"), "OLD");
    EXPECT_EQ(repeatCount(" P100 L3"), 3);
    EXPECT_EQ(repeatCount(" P100 L12 (X)"), 12);
    EXPECT_EQ(repeatCount(" P100 (L3)"), 1);
    EXPECT_EQ(repeatCount(" P100"), 1);
    EXPECT_EQ(repeatCount(" P100 L"), 1);
}

TEST(DncWords, Cleaning) {
    EXPECT_EQ(cleanCallWords("X10.  P100", "100"), "X10.");
    EXPECT_EQ(cleanCallWords(" P100 L3", "100"), "");
    EXPECT_EQ(cleanCallWords("N10  P100", "100"), "");
    EXPECT_EQ(cleanCallWords("N1 0 X1. P100 ;NOTE", "100"), "X1.");
    EXPECT_EQ(cleanCallWords("Y2. P0100 'X", "0100"), "Y2.");
    EXPECT_EQ(cleanCallWords("", "100"), "");
}

TEST(DncTargets, NumbersAndMacros) {
    EXPECT_EQ(callTarget("M98 P0100").number, 100);
    EXPECT_EQ(callTarget("M98 P0100").text, "0100");
    EXPECT_EQ(callTarget("M98 P#1").status, Target::Macro);
    EXPECT_EQ(callTarget("M98 PX").status, Target::Macro);
    EXPECT_EQ(gotoTarget("GOTO 20").number, 20);
    EXPECT_EQ(gotoTarget("GOTO#5").status, Target::Macro);
    EXPECT_EQ(lineProgramNumber("O100 (SUB)"), 100);
    EXPECT_EQ(lineProgramNumber(":0100"), 100);
    EXPECT_EQ(lineProgramNumber("G00"), std::nullopt);
    EXPECT_EQ(lineProgramNumber("O (EMPTY)"), std::nullopt);
    EXPECT_THROW(lineProgramNumber("O12A"), NotANumber);
    EXPECT_EQ(entryProgramNumber("00012-O1234 (MAIN)"), 1234);
    EXPECT_EQ(entryProgramNumber("  00012-O1234;X"), 1234);
    EXPECT_THROW(entryProgramNumber("00003-O12A"), NotANumber);
}

LineAt over(const QList<QByteArray>& lines) {
    return [&lines](int i) { return lines.at(i); };
}

TEST(DncSearch, OverLinesAndList) {
    const QList<QByteArray> lines{"O100 (SUB)", "X1.", "M99", "O1", "M98 P0100", "M30"};
    const LineAt at = over(lines);
    SearchResult r = findCall("M98 P0100", nullptr, int(lines.size()), at);
    EXPECT_EQ(r.status, SearchResult::Found);
    EXPECT_EQ(r.index, 0) << "a program on the first line is found";
    const QStringList list{"00001-O100 (SUB)", "00004-O1"};
    r = findCall("M98 P1", &list, int(lines.size()), at);
    EXPECT_EQ(r.status, SearchResult::Found);
    EXPECT_EQ(r.index, 3);
    EXPECT_EQ(findCall("M98 P7", &list, int(lines.size()), at).status, SearchResult::Missing);
    EXPECT_EQ(findCall("M98 P7", nullptr, int(lines.size()), at).status, SearchResult::Missing);
    EXPECT_EQ(findCall("M99 P7", &list, int(lines.size()), at).status, SearchResult::M99Call);
    EXPECT_EQ(findCall("M98 P#1", &list, int(lines.size()), at).status, SearchResult::Macro);
    const QStringList stale{"00040-O7"};
    EXPECT_EQ(findCall("M98 P7", &stale, int(lines.size()), at).status, SearchResult::BadIndex);
    const QList<QByteArray> bad{"O12A", "O7"};
    EXPECT_THROW(findCall("M98 P7", nullptr, 2, over(bad)), NotANumber);
}

TEST(DncSearch, GotoStaysInItsProgram) {
    const QList<QByteArray> lines{"O1",  "N10 X1.", "GOTO 20", "N0020 X2.", "O2",
                                  "N30", "GOTO 30", "GOTO 20", "GOTO #1"};
    const LineAt at = over(lines);
    GotoResult r = findGoto(2, int(lines.size()), at);
    EXPECT_EQ(r.status, GotoResult::Found);
    EXPECT_EQ(r.index, 3);
    r = findGoto(6, int(lines.size()), at);
    EXPECT_EQ(r.status, GotoResult::Found);
    EXPECT_EQ(r.index, 5);
    EXPECT_EQ(findGoto(7, int(lines.size()), at).status, GotoResult::EndOfText) << "N20 belongs to O1";
    EXPECT_EQ(findGoto(8, int(lines.size()), at).status, GotoResult::Macro);
    const QList<QByteArray> two{"O1", "GOTO 5", "O2", "N5"};
    EXPECT_EQ(findGoto(1, 4, over(two)).status, GotoResult::NextProgram);
}

TEST(DncEnd, CodesOutsideComments) {
    for (const char* l : {"M02", "M30", "%", "M2", "X1.M2", "M2 (END)", "M2X", "(A) M30", "(A)M02(B)"})
        EXPECT_TRUE(isEndLine(l)) << l;
    for (const char* l : {"M20", "M200", "(M30)", "X1. (M02)", "(A) (M2)", "G00 X1.", "M03"})
        EXPECT_FALSE(isEndLine(l)) << l;
    EXPECT_TRUE(returnsAboveLevel0("M30"));
    EXPECT_TRUE(returnsAboveLevel0("G00 M02"));
    EXPECT_FALSE(returnsAboveLevel0("M2"));
}

} // namespace

#include "dnc/DataCheck.h"

namespace {

TEST(DncDataCheck, CallsListedOnceWithTheirTicks) {
    const QList<QByteArray> lines{"O1",  "N5 M98 P100 L2", "M98 P100", "M98 P10 (X)", "G65 P9 A1.",
                                  "M30", "O100",           "M99",      "O9",          "M99"};
    const QList<CallEntry> entries = dataCheck(int(lines.size()), over(lines), nullptr);
    QStringList texts;
    for (const CallEntry& e : entries)
        texts << e.text() + (e.found ? "+" : "-");
    EXPECT_EQ(texts, (QStringList{"00002:M98P100+", "00004:M98P10-", "00005:G65P9+"}));
    EXPECT_EQ(callText("X1.M198 P1000 L3"), "M198P1000");
    EXPECT_EQ(callText("G00 X1."), "");
}

} // namespace
