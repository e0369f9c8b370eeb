#include "editor/EditCommands.h"

#include <gtest/gtest.h>

using namespace tornyx;

namespace {

QByteArray rangeText(const QByteArray& text, int caretLine) {
    const PlainIndexedText t(text);
    const auto r = programRange(t, caretLine);
    return r ? text.mid(r->start, r->end - r->start) : QByteArray("<none>");
}

} // namespace

TEST(ProgramSelection, CoversTheProgramUnderTheCaretUpToTheNext) {
    const QByteArray text = "%\nO0001\nG00 X0\nM30\nO0002\nG01 X1.\nM30\n%";
    EXPECT_EQ(rangeText(text, 5), "O0002\nG01 X1.\nM30\n%") << "the second of two programs runs to the end";
    EXPECT_EQ(rangeText(text, 2), "O0001\nG00 X0\nM30\n");
    EXPECT_EQ(rangeText(text, 1), "O0001\nG00 X0\nM30\n") << "the caret on the program line itself";
    EXPECT_EQ(rangeText(text, 0), "<none>") << "no program starts above the caret";
    EXPECT_EQ(rangeText("  :0010\nN1\n:0020", 1), "  :0010\nN1\n") << "blanks before the program line";
    EXPECT_EQ(rangeText("", 0), "<none>");
}

TEST(BreakpointClick, OnlyOneOnALineThatIsNeitherFirstNorEmpty) {
    EXPECT_EQ(breakpointAfterClick(-1, 1, false), -1) << "not on the first line";
    EXPECT_EQ(breakpointAfterClick(-1, 4, true), -1) << "not on an empty line";
    EXPECT_EQ(breakpointAfterClick(-1, 4, false), 4);
    EXPECT_EQ(breakpointAfterClick(4, 7, false), 4) << "one at a time";
    EXPECT_EQ(breakpointAfterClick(4, 4, false), -1) << "a second click clears it";
}

TEST(CharacterCode, ShiftJisCodeOfTheCharacterAtTheCaret) {
    EXPECT_EQ(characterCodeText(u"A"), "(0041)");
    EXPECT_EQ(characterCodeText(u"あ"), "(82A0)");
    EXPECT_EQ(characterCodeText(u"ｱ"), "(00B1)");
    EXPECT_EQ(characterCodeText(u"\t"), "(0009)");
    EXPECT_EQ(characterCodeText(u"\n"), "(000D)");
    EXPECT_EQ(characterCodeText(u"\U0001F600"), "(----)");
    EXPECT_EQ(characterCodeText(u""), "");
}

TEST(FindText, ASelectionOfTwoLinesIsJoinedWithoutItsFirstLineBreak) {
    EXPECT_EQ(findTextFromSelection("G01\nX1."), "G01X1.");
    EXPECT_EQ(findTextFromSelection("G01\r\nX1.\r\nY2."), "G01X1.\r\nY2.");
    EXPECT_EQ(findTextFromSelection("G01"), "G01");
}

TEST(Completion, CyclesThroughItsCandidatesAndBeepsAtTheEnd) {
    const QStringList words{"GOTO", "WHILE", "WHEN", "WHERE", "END"};
    Completion c;
    auto press = [&](const QString& before = QString()) { return c.press(words, before); };
    auto step = press("#1=1 WH");
    EXPECT_EQ(step.rest, "ILE");
    EXPECT_FALSE(step.beep);
    EXPECT_EQ(press().rest, "EN");
    EXPECT_EQ(press().rest, "ERE");
    step = press();
    EXPECT_TRUE(step.rest.isEmpty());
    EXPECT_TRUE(step.beep);
    EXPECT_EQ(press().rest, "ILE") << "starts over with the first";
    c.end();
    EXPECT_FALSE(c.isActive());
}

TEST(Completion, ShorterEndingsAreTriedAndNoMatchBeepsUntilTheEnd) {
    const QStringList words{"GOTO", "while", "END"};
    Completion c;
    EXPECT_EQ(c.press(words, "XGO").rest, "TO") << "XGO, then GO";
    c.end();
    EXPECT_EQ(c.press(words, "wh").rest, "ILE") << "lower-case entries complete in upper case";
    c.end();
    for (int i = 0; i < 3; ++i) {
        const auto step = c.press(words, "G01 Q");
        EXPECT_TRUE(step.beep);
        EXPECT_TRUE(step.rest.isEmpty());
    }
    c.end();
    EXPECT_TRUE(c.press(words, "G01 ").beep) << "no letters before the caret";
    c.end();
    EXPECT_TRUE(c.press({}, "GO").beep);
}
