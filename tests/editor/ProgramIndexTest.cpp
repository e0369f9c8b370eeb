#include "editor/ProgramIndex.h"

#include <gtest/gtest.h>

using namespace tornyx;

namespace {

QStringList extractAll(const QByteArray& text, qsizetype gap = -1) {
    ProgramIndex index;
    index.extract(PlainIndexedText(text, gap), 0);
    return index.entries();
}

// Lines "N<i>" with program lines at the given 1-based numbers.
QByteArray numbered(int lines, std::initializer_list<int> programs) {
    QByteArray t;
    for (int i = 1; i <= lines; ++i) {
        if (i > 1)
            t += '\n';
        bool program = false;
        for (int p : programs)
            program |= p == i;
        t += program ? QByteArray("O") + QByteArray::number(1000 + i)
                     : QByteArray("N") + QByteArray::number(i);
    }
    return t;
}

} // namespace

TEST(ProgramIndex, FiveLineTextListsBothPrograms) {
    ProgramIndex index;
    index.extract(PlainIndexedText("O0001\nG00X0\nM30\nO0002\nM30"), 0);
    EXPECT_EQ(index.entries(), (QStringList{"00001-O0001", "00004-O0002"}));
    EXPECT_EQ(index.key(), "O");
    EXPECT_TRUE(index.ready);
}

TEST(ProgramIndex, LineIsCopiedUnchangedAndOnlyItsFirstCharacterCounts) {
    EXPECT_EQ(extractAll("%\nO1234(SAMPLE)\nN10 G00 (OK)\nM98 P0002\no0003\nO\n"),
              (QStringList{"00002-O1234(SAMPLE)"}));
    EXPECT_EQ(extractAll(QByteArray("%\n") + QByteArray(10, '\n') + "O1234(SAMPLE)"),
              (QStringList{"00012-O1234(SAMPLE)"}));
}

TEST(ProgramIndex, ColonKeyDoesNotListALaterOLineWithoutColon) {
    ProgramIndex index;
    index.extract(PlainIndexedText(":0001\nG00\nM30\nO0002\nM30\n:0003(O)"), 0);
    EXPECT_EQ(index.key(), ":");
    EXPECT_EQ(index.entries(), (QStringList{"00001-:0001", "00006-:0003(O)"}));
}

TEST(ProgramIndex, AHitInsideAProgramLineDoesNotSkipTheNextLine) {
    EXPECT_EQ(extractAll(":0001\nO0002(:LONG COMMENT)\n:0003\nM30"),
              (QStringList{"00001-:0001", "00002-O0002(:LONG COMMENT)", "00003-:0003"}));
}

TEST(ProgramIndex, NoProgramLineLeavesKeyEmptyAndFindsNothing) {
    ProgramIndex index;
    const PlainIndexedText t("G00 X1 (O1 INSIDE)\nM30");
    EXPECT_TRUE(hasProgramNumber(t));
    index.extract(t, 0);
    EXPECT_TRUE(index.key().isEmpty());
    EXPECT_TRUE(index.entries().isEmpty());
    EXPECT_TRUE(index.ready);
}

TEST(ProgramIndex, TwentyStringTest) {
    EXPECT_FALSE(hasProgramNumber(PlainIndexedText("G00 X1\nM30\nOX\n:A\no1")));
    EXPECT_TRUE(hasProgramNumber(PlainIndexedText("X:5")));
    EXPECT_TRUE(hasProgramNumber(PlainIndexedText("G0 O9")));
    EXPECT_FALSE(hasProgramNumber(PlainIndexedText("")));
    // The pair may lie across the editor's gap.
    EXPECT_TRUE(hasProgramNumber(PlainIndexedText("G0 O1", 4)));
}

TEST(ProgramIndex, GapInTheBufferChangesNothing) {
    const QByteArray t = numbered(50, {1, 17, 33});
    for (qsizetype gap : {0, 1, 5, 60, 100, 150})
        EXPECT_EQ(extractAll(t, gap), (QStringList{"00001-O1001", "00017-O1017", "00033-O1033"})) << gap;
}

TEST(ProgramIndex, SameLineCountRebuildsEverythingWithTheKeptKey) {
    ProgramIndex index;
    index.extract(PlainIndexedText("O1\nN1\nO2"), 0);
    index.indexedLineCount = 3;
    index.extract(PlainIndexedText("O1\nO5\nN2"), 1);
    EXPECT_EQ(index.entries(), (QStringList{"00001-O1", "00002-O5"}));
    EXPECT_EQ(index.key(), "O");
}

TEST(ProgramIndex, ChangedLineCountRescansFromTheCaretRegion) {
    ProgramIndex index;
    index.extract(PlainIndexedText(numbered(30, {1, 10, 20})), 0);
    index.indexedLineCount = 30;
    // Two lines typed behind line 12; the caret is on the second new line.
    QByteArray t = numbered(30, {1, 10, 20});
    t.replace("N12\n", "N12\nNEW\nNEW\n");
    index.extract(PlainIndexedText(t), 13);
    EXPECT_EQ(index.entries(), (QStringList{"00001-O1001", "00010-O1010", "00022-O1020"}));
}

TEST(ProgramIndex, EditAboveTheCaretRegionLeavesNoStaleEntry) {
    ProgramIndex index;
    index.extract(PlainIndexedText(numbered(30, {1, 10, 20})), 0);
    index.indexedLineCount = 30;
    // Three lines removed near the top, caret moved far down afterwards.
    QByteArray t = numbered(30, {1, 10, 20});
    t.replace("N2\nN3\nN4\n", "");
    index.extract(PlainIndexedText(t), 25, 1);
    EXPECT_EQ(index.entries(), (QStringList{"00001-O1001", "00007-O1010", "00017-O1020"}));
}

TEST(ProgramIndex, DeletedProgramLineDisappears) {
    ProgramIndex index;
    index.extract(PlainIndexedText(numbered(30, {1, 10, 20})), 0);
    index.indexedLineCount = 30;
    QByteArray t = numbered(30, {1, 10, 20});
    t.replace("O1020\n", "");
    index.extract(PlainIndexedText(t), 19, 19);
    EXPECT_EQ(index.entries(), (QStringList{"00001-O1001", "00010-O1010"}));
}

TEST(ProgramIndex, LinesBeyondFiveDigitsKeepTheirFullNumber) {
    const QByteArray t = numbered(100'002, {1, 100'001});
    const QStringList e = extractAll(t);
    ASSERT_EQ(e.size(), 2);
    EXPECT_EQ(e[1], "100001-O101001");
    EXPECT_EQ(entryLine(e[1]), 100001);
    EXPECT_EQ(entryText(e[1]), "O101001");
}

TEST(ProgramIndexEntry, ReadersTakeTheNumberUpToTheSeparator) {
    EXPECT_EQ(makeEntry(12, "O1234(SAMPLE)"), "00012-O1234(SAMPLE)");
    EXPECT_EQ(makeEntry(12, ":0001", u':'), "00012::0001");
    EXPECT_EQ(entryLine("00012::0001"), 12);
    EXPECT_EQ(entryText("00012::0001"), ":0001");
    EXPECT_EQ(entryText("00012-O1234(SAMPLE)"), "O1234(SAMPLE)");
    EXPECT_EQ(entryLine("-O1"), -1);
}

TEST(ProgramIndexEntry, SelectTheProgramHoldingALine) {
    ProgramIndex index;
    EXPECT_EQ(index.entryForLine(5), -1);
    index.setEntries({"00004-O1", "00010-O2", "00020-O3"});
    EXPECT_EQ(index.entryForLine(1), 0);
    EXPECT_EQ(index.entryForLine(4), 0);
    EXPECT_EQ(index.entryForLine(9), 0);
    EXPECT_EQ(index.entryForLine(10), 1);
    EXPECT_EQ(index.entryForLine(19), 1);
    EXPECT_EQ(index.entryForLine(20), 2);
    EXPECT_EQ(index.entryForLine(999), 2);
}

TEST(ProgramIndexKey, FirstTypedSetsTheKeyLaterOnesFollowIt) {
    ProgramIndex index;
    EXPECT_EQ(index.typedAtLineStart(u'G'), u'G');
    EXPECT_TRUE(index.key().isEmpty());
    EXPECT_EQ(index.typedAtLineStart(u':'), u':');
    EXPECT_EQ(index.key(), ":");
    EXPECT_EQ(index.typedAtLineStart(u'O'), u':');
    index.setKey("O");
    EXPECT_EQ(index.typedAtLineStart(u':'), u'O');
    EXPECT_EQ(index.typedAtLineStart(u'O'), u'O');
}

TEST(ProgramIndex, HitsOfBothCasesAcrossSearchWindowsAndTheGap) {
    // About 900 KB: the searches go window by window over it.
    QByteArray t = "O0001\n";
    for (int i = 0; i < 40'000; ++i)
        t += "N1 G01 X10.0 Y20.0\n";
    t += "(tool o)\n:0002 (o)\n";
    for (int i = 0; i < 10'000; ++i)
        t += "N2 G01 X10.0 Y20.0\n";
    t += "O0003\n";
    const int colonLine = 40'003;
    for (qsizetype gap : {qsizetype(-1), qsizetype(300'000), t.size() - 3}) {
        const QStringList e = extractAll(t, gap);
        ASSERT_EQ(e.size(), 3) << gap;
        EXPECT_EQ(e[1], makeEntry(colonLine, ":0002 (o)"));
        EXPECT_EQ(entryLine(e[2]), 50'004);
        EXPECT_TRUE(hasProgramNumber(PlainIndexedText(t.mid(6), gap > 6 ? gap - 6 : -1)));
    }
}
