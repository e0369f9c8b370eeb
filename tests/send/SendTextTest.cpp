#include "send/SendText.h"

#include "platform/TextCodec.h"

#include "support/QtPrinters.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

using namespace tornyx;
using tornyx::test::hex;

namespace {

struct FilterCase {
    const char* name;
    QByteArray line;
    LineFilter filter;
    QByteArray sent;
    bool percentOnly = false;
};

LineFilter nNon() {
    LineFilter f;
    f.dropSequenceNumbers = true;
    return f;
}
LineFilter fNon() {
    LineFilter f;
    f.dropFeedPoint = true;
    return f;
}
LineFilter msg(const char* m) {
    LineFilter f;
    f.sendMsg = m;
    return f;
}
LineFilter afterComment() {
    LineFilter f;
    f.sendAfterComment = true;
    return f;
}

class CharacterFilter : public ::testing::TestWithParam<FilterCase> {};

} // namespace

TEST_P(CharacterFilter, SendsWhatTheLineAllows) {
    const FilterCase& c = GetParam();
    const FilteredLine out = filterLine(c.line, 0, c.filter);
    EXPECT_EQ(out.chars, c.sent) << hex(out.chars).toStdString();
    EXPECT_EQ(out.percentOnly, c.percentOnly);
}

INSTANTIATE_TEST_SUITE_P(
    SendLines, CharacterFilter,
    ::testing::Values(
        FilterCase{"Plain", "O1", {}, "O1"}, FilterCase{"PercentAlone", "%", {}, "", true},
        FilterCase{"PercentInsideDropped", "G01%X5", {}, "G01X5"},
        FilterCase{"PercentInCommentDropped", "(50%)", {}, "(50)"},
        FilterCase{"TabNeverSent", "G01\tX5", {}, "G01X5"},
        FilterCase{"SemicolonEndsLine", "G01X1;COMMENT", {}, "G01X1"},
        FilterCase{"QuoteEndsLine", "G01X1'NOTE", {}, "G01X1"},
        FilterCase{"SemicolonInsideComment", "G01(A;B)X1", {}, "G01(A;B)X1"},
        FilterCase{"SemicolonAfterComment", "G01(A)X1;B", {}, "G01(A)X1"},
        FilterCase{"OptionSendsAfterSemicolon", "G01X1;COMMENT", afterComment(), "G01X1;COMMENT"},
        FilterCase{"SequenceNumberDropped", "N0010G01X5.", nNon(), "G01X5."},
        FilterCase{"NInsideLineKept", "G01N5", nNon(), "G01N5"},
        FilterCase{"SequenceNumbersKeptWithoutOption", "N0010G01", {}, "N0010G01"},
        FilterCase{"FeedPointAtEnd", "G01F100.", fNon(), "G01F100"},
        FilterCase{"FeedPointWithDecimals", "G01F100.5", fNon(), "G01F100.5"},
        FilterCase{"FeedPointBeforeWord", "F100.M08", fNon(), "F100M08"},
        FilterCase{"PointInCommentKept", "(F100.)", fNon(), "(F100.)"},
        FilterCase{"OtherAddressPointKept", "G01F100X5.", fNon(), "G01F100X5."},
        FilterCase{"LetterAfterFeedKept", "G01F100M", fNon(), "G01F100M"},
        FilterCase{"FeedPointWithoutOption", "G01F100.", {}, "G01F100."},
        FilterCase{"SendMsgBlanked", "ABC123", msg("ABC"), "   123"},
        FilterCase{"SendMsgEveryOccurrence", "ABC1ABC", msg("ABC"), "   1   "},
        FilterCase{"SendMsgCaseSensitive", "abc123", msg("ABC"), "abc123"},
        FilterCase{"SendMsgAtMost29Blanks", "X" + QByteArray(40, 'Q') + "Y",
                   msg("QQQQQQQQQQQQQQQQQQQQQQQQQQQQQQQQQQQQQQQQ"), "X" + QByteArray(29, ' ') + "Y"},
        FilterCase{"EmptyLine", "", {}, ""},
        FilterCase{"NulPassesAsData", QByteArray("G0\0X", 4), {}, QByteArray("G0\0X", 4)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CharacterFilterJapanese, TwoByteCharactersPassWholeAndAreNotLetters) {
    // "(送信)" in a comment, and a two-byte character whose trail byte is 0x46 ("F").
    const QByteArray comment = platform::toSjis(QStringLiteral(u"G01(送信)X1"));
    EXPECT_EQ(hex(filterLine(comment, 0, {}).chars), hex(comment));
    const QByteArray withF = QByteArray("F1") + QByteArray::fromHex("8346") + ".";
    EXPECT_EQ(hex(filterLine(withF, 0, fNon()).chars), hex(withF))
        << "the point after a kana is not the feed's";
    const QByteArray blanks = platform::toSjis(QStringLiteral(u"注意X1注意"));
    EXPECT_EQ(filterLine(blanks, 0, msg(platform::toSjis(QStringLiteral(u"注意")).constData())).chars,
              "  X1  ")
        << "as many blanks as the message has characters";
}

TEST(CharacterFilterTrim, ALoneLineFeedSendsNothing) {
    const FilteredLine out = filterLine("\n", 1, {});
    EXPECT_EQ(out.chars, "");
    EXPECT_FALSE(out.percentOnly);
}

TEST(SendTextBlocks, EndOfBlockByType) {
    EXPECT_EQ(hex(endOfBlock(0)), "0A");
    EXPECT_EQ(hex(endOfBlock(1)), "0D 0A");
    EXPECT_EQ(hex(endOfBlock(2)), "0D 0A 0A");
    EXPECT_EQ(hex(endOfBlock(3)), "0D");
    EXPECT_EQ(hex(endOfBlock(9)), "0A");
    EXPECT_EQ(hex(endOfBlock(-1)), "0A");
}

TEST(SendTextHeader, OspNameKeepsProgramExtensionsElseMin) {
    EXPECT_EQ(ospHeaderName("/home/op/progs/PART1.nc"), "PART1.MIN");
    EXPECT_EQ(ospHeaderName("/home/op/progs/part2.sub"), "PART2.SUB");
    EXPECT_EQ(ospHeaderName("/x/a.rpd"), "A.RPD");
    EXPECT_EQ(ospHeaderName("/x/noext"), "NOEXT.MIN");
    EXPECT_EQ(ospHeaderName(QStringLiteral(u"無題")), QStringLiteral(u"無題.MIN"));
}

TEST(SendTextProgress, AmountsAndTimes) {
    EXPECT_EQ(amountText(0, false), QStringLiteral(u"0ﾊﾞｲﾄ"));
    EXPECT_EQ(amountText(1234567, false), QStringLiteral(u"1,234,567ﾊﾞｲﾄ"));
    EXPECT_EQ(amountText(999, false), QStringLiteral(u"999ﾊﾞｲﾄ"));
    EXPECT_EQ(amountText(0, true), QStringLiteral(u"0.00ﾒｰﾄﾙ"));
    EXPECT_EQ(amountText(1000, true), QStringLiteral(u"2.54ﾒｰﾄﾙ"));
    EXPECT_EQ(timeText(59), QStringLiteral(u"(約 59秒)"));
    EXPECT_EQ(timeText(60), QStringLiteral(u"(約 1分00秒)"));
    EXPECT_EQ(timeText(3599), QStringLiteral(u"(約 59分59秒)"));
    EXPECT_EQ(timeText(3725), QStringLiteral(u"(約 1時02分)"));
    EXPECT_EQ(timeText(0), QStringLiteral(u"(約 0秒)"));
    EXPECT_EQ(repeatText(1), QStringLiteral(u"送信:001"));
    EXPECT_EQ(repeatText(2), QStringLiteral(u"送信:002"));
}

TEST(SendTextProgress, ProgramEndsWaitAfterTheLine) {
    EXPECT_TRUE(endsProgramOrSubprogram("M30"));
    EXPECT_TRUE(endsProgramOrSubprogram("G00M99"));
    EXPECT_TRUE(endsProgramOrSubprogram("M02"));
    EXPECT_TRUE(endsProgramOrSubprogram("M2"));
    EXPECT_FALSE(endsProgramOrSubprogram("M03S1000"));
}
