#include "editor/JumpTarget.h"
#include "support/JapaneseText.h"

#include <gtest/gtest.h>

using namespace tornyx;
using test::u;

namespace {

// Lines joined with LF; the text a jump reads.
struct Text {
    explicit Text(const QStringList& lines) : bytes(lines.join('\n').toUtf8()), text(bytes) {}
    QByteArray selected(const JumpOutcome& o) const {
        return bytes.mid(o.selectStart, o.selectEnd - o.selectStart);
    }
    QByteArray bytes;
    PlainIndexedText text;
};

// A main program on line 1 calling a subprogram that starts on line 31.
QStringList mainAndSub() {
    QStringList l{"O0001(MAIN)", "N10 G00 X0",   "N20 M98 P1000 L2", "N30 G65 P#100",
                  "N40 M99 P50", "N50 G00 X10.", "N60 GOTO 30",      "M30"};
    while (l.size() < 30)
        l << "";
    l << "O1000(SUB)"
      << "N10 G01 X1."
      << "N30 G00 X0"
      << "M99";
    return l;
}

void expectMessage(const JumpOutcome& o, const QString& text, const QString& caption) {
    EXPECT_FALSE(o.found());
    EXPECT_EQ(o.message, text);
    EXPECT_EQ(o.caption, caption);
    EXPECT_FALSE(o.plainBox);
}

} // namespace

TEST(JumpTarget, CallFindsItsProgramThroughTheLinesWithoutAList) {
    const Text t(mainAndSub());
    const JumpOutcome viaLines = findJumpTarget(t.text, 2, {});
    EXPECT_EQ(viaLines.line, 30);
    EXPECT_EQ(viaLines.entry, -1);
    EXPECT_EQ(t.selected(viaLines), "O1000(SUB)");
}
TEST(JumpTarget, NumbersCompareAsIntegersAndTextThatIsNoNumberIsPassedOver) {
    const Text t({"O12AB", ":0012 (TWELVE)", "M98 P12", "O0012", "O0013;", "M98 P013"});
    EXPECT_EQ(findJumpTarget(t.text, 2, {}).line, 1) << "O12AB is no program number";
    EXPECT_EQ(findJumpTarget(t.text, 2, {"00001-O12AB", "00004-O0012"}).line, 3);
    EXPECT_EQ(findJumpTarget(t.text, 5, {}).line, 4);
    EXPECT_EQ(findJumpTarget(t.text, 5, {"00005-O0013;"}).entry, 0);
}

TEST(JumpTarget, CallsWithoutAUsableNumberSayWhy) {
    const Text missing({"O0001", "M98 P2000", "M98 P", "M98 P10 00", "M30"});
    for (const QStringList& l : {QStringList{}, QStringList{"00001-O0001"}})
        expectMessage(findJumpTarget(missing.text, 1, l), u(u"ﾒｲﾝﾌﾟﾛｸﾞﾗﾑが見当たりません！"),
                      u(u"ﾒｲﾝﾌﾟﾛｸﾞﾗﾑ検索"));
    expectMessage(findJumpTarget(missing.text, 2, {}), u(u"ﾏｸﾛ変数は検索出来ません｡"), u(u"飛び先検索"));
    expectMessage(findJumpTarget(missing.text, 3, {}), u(u"ﾒｲﾝﾌﾟﾛｸﾞﾗﾑが見当たりません！"),
                  u(u"ﾒｲﾝﾌﾟﾛｸﾞﾗﾑ検索"));
}
TEST(JumpTarget, AnEntryForALineThatHasMovedIsCheckedAgainstTheLines) {
    const Text t({"N1", "O0001", "M98 P2", "M30", "O0002", "M99"});
    // The list was made before a line was added at the top.
    const JumpOutcome o = findJumpTarget(t.text, 2, {"00001-O0001", "00004-O0002"});
    EXPECT_EQ(o.line, 4);
    EXPECT_EQ(o.entry, -1);
}

TEST(JumpTarget, GotoSelectsTheNWordOfTheBlock) {
    const Text t({"O0001", "N10 G00", "#1=1", "N20 GOTO 30 (SKIP)", "N3 0 X1.", "N30  G00 X0", "N40 GOTO40",
                  "M30", "O0002", "N50 GOTO 30", "N65 GOTO #5", "N70 GOTO 60", "N60#1 G01"});
    EXPECT_EQ(jumpBranch("N20 GOTO 30 (SKIP)"), JumpBranch::Goto) << "a P inside a comment is no address";
    EXPECT_EQ(jumpSearchingText(JumpBranch::Goto), u(u"GOTO 先検索中"));
    const JumpOutcome o = findJumpTarget(t.text, 3, {});
    EXPECT_EQ(o.line, 5) << "N3 0 is no sequence number";
    EXPECT_EQ(t.selected(o), "N30");
    EXPECT_EQ(t.selected(findJumpTarget(t.text, 6, {})), "N40");
    EXPECT_EQ(t.selected(findJumpTarget(t.text, 11, {})), "N60") << "the number ends at a #";

    const JumpOutcome next = findJumpTarget(t.text, 9, {});
    EXPECT_FALSE(next.found());
    EXPECT_EQ(next.message, u(u"飛び先が見当たりません！"));
    expectMessage(findJumpTarget(t.text, 10, {}), u(u"ﾏｸﾛ変数は検索出来ません｡"), u(u"飛び先検索"));
}

TEST(JumpTarget, GotoWithoutAProgramStartSearchesFromTheFirstLine) {
    const Text t({"N30 G00 X0", "N40 GOTO 30", "M30"});
    EXPECT_EQ(findJumpTarget(t.text, 1, {}).line, 0);
}

TEST(JumpTarget, EmptyTextAndAnEmptyCaretLine) {
    EXPECT_FALSE(findJumpTarget(PlainIndexedText(""), 0, {}).found());
    EXPECT_TRUE(findJumpTarget(PlainIndexedText(""), 0, {}).message.isEmpty()) << "nothing happens";
    expectMessage(findJumpTarget(PlainIndexedText("G00\n\nM30"), 1, {}),
                  u(u"GOTO文､M98文,G65文を選択してください｡"), u(u"飛び先検索"));
}
