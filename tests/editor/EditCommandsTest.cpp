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

TEST(CharacterCode, ShiftJisCodeOfTheCharacterAtTheCaret) {
    EXPECT_EQ(characterCodeText(u"A"), "(0041)");
    EXPECT_EQ(characterCodeText(u"あ"), "(82A0)");
    EXPECT_EQ(characterCodeText(u"ｱ"), "(00B1)");
    EXPECT_EQ(characterCodeText(u"\t"), "(0009)");
    EXPECT_EQ(characterCodeText(u"\n"), "(000D)");
    EXPECT_EQ(characterCodeText(u"\U0001F600"), "(----)");
    EXPECT_EQ(characterCodeText(u""), "");
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
