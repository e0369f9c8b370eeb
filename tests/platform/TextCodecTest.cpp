#include "platform/TextCodec.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

using namespace tornyx::platform;
using tornyx::test::hex;

TEST(TextCodec, WindowsMappingOfBackslashTildeAndKana) {
    const QByteArray bytes("\x5C\x7E\x82\xA0\xB1\x81\x60", 7);
    const QString text = fromSjis(bytes);
    EXPECT_EQ(text, QString::fromUtf16(u"\\~あｱ～"));
    EXPECT_EQ(hex(toSjis(text)), hex(bytes));
}

TEST(TextCodec, DamagedBytesBecomeOneReplacementEach) {
    // A lone lead byte at the end and an invalid trail byte.
    const QString text = fromSjis(QByteArray("A\x82\x20"
                                             "B\x82",
                                             5));
    EXPECT_EQ(text, QString::fromUtf16(u"A\uFFFD B\uFFFD"));
}

TEST(TextCodec, UnmappableCharactersAreCounted) {
    qsizetype bad = -1;
    const QByteArray out = toSjis(QString::fromUtf16(u"O1(\u00E9\U0001F600)"), &bad);
    EXPECT_EQ(bad, 2);
    EXPECT_EQ(out, QByteArray("O1(?"
                              "?)"));
    toSjis(u"plain", &bad);
    EXPECT_EQ(bad, 0);
}

TEST(TextCodec, ExactFormKeepsDamagedBytesAndRefusesWhatItCannotHold) {
    const QByteArray damaged("A\x82\x20"
                             "B\x82\x80\xA0\xFD",
                             8);
    const QString text = fromSjisExact(damaged);
    EXPECT_EQ(text.size(), 8);
    EXPECT_EQ(text.at(1).unicode(), 0xDC82);
    ASSERT_TRUE(toSjisExact(text).has_value());
    EXPECT_EQ(hex(*toSjisExact(text)), hex(damaged));
    EXPECT_EQ(hex(*toSjisExact(QString::fromUtf16(u"旋盤\\~"))), hex(toSjis(QString::fromUtf16(u"旋盤\\~"))));
    EXPECT_FALSE(toSjisExact(QString::fromUtf16(u"Müller")).has_value());
    // A surrogate pair is a character beyond the code page, not two bytes.
    EXPECT_FALSE(toSjisExact(QString::fromUtf16(u"\U00010082")).has_value());
}
