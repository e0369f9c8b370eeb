#include "editor/TextSearch.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace tornyx;

namespace {

QByteArray u8(const char16_t* s) {
    return QString::fromUtf16(s).toUtf8();
}

// Every start of a character, tried one by one with the text's own folding:
// what the search must agree with.
TextMatch naiveForward(const IndexedText& t, QByteArrayView needle, qsizetype from, const QByteArray& bytes) {
    for (qsizetype q = from; q < bytes.size(); ++q) {
        if ((static_cast<unsigned char>(bytes[q]) & 0xC0) == 0x80)
            continue;
        if (const qsizetype e = t.foldedMatchEnd(q, needle); e >= 0)
            return {q, e};
    }
    return {};
}

TextMatch naiveBackward(const IndexedText& t, QByteArrayView needle, qsizetype before,
                        const QByteArray& bytes) {
    for (qsizetype q = std::min(before, bytes.size()) - 1; q >= 0; --q) {
        if ((static_cast<unsigned char>(bytes[q]) & 0xC0) == 0x80)
            continue;
        if (const qsizetype e = t.foldedMatchEnd(q, needle); e >= 0)
            return {q, e};
    }
    return {};
}

} // namespace

TEST(TextSearch, LetterCaseIsIgnoredWhereverTheBufferGapLies) {
    const QByteArray text = "N10 G00 X0\nN20 G01 X1. Y2.\nN30 g01 X3.\n";
    for (qsizetype gap = -1; gap < text.size(); ++gap) {
        const PlainIndexedText t(text, gap);
        const TextMatch m = findForward(t, "g01", 0);
        EXPECT_EQ(m.start, 15) << "gap " << gap;
        EXPECT_EQ(m.end, 18);
        EXPECT_EQ(findForward(t, "g01", 16).start, 31) << "gap " << gap;
        EXPECT_EQ(findForward(t, "G01", 32).start, -1);
    }
}

TEST(TextSearch, BackwardFindsTheOccurrenceThatStartsBeforeTheCaret) {
    const PlainIndexedText t("X1 Y1\nX2 Y2 X3 Y3\n");
    // Caret between the two X of the second line.
    EXPECT_EQ(findBackward(t, "x", 12).start, 6);
    // One that starts before the caret may reach past it.
    EXPECT_EQ(findBackward(t, "X2 Y", 7).start, 6);
    // Only occurrences behind the caret: none.
    EXPECT_FALSE(findBackward(t, "x3", 12).found());
    EXPECT_FALSE(findBackward(t, "x", 0).found());
    // From the end the last one comes first.
    EXPECT_EQ(findBackward(t, "y", t.length()).start, 15);
}

TEST(TextSearch, JapaneseAndFullWidthTextIsFound) {
    const QByteArray text = u8(u"O1(ﾂｰﾙ交換 Ａあ)\nN1 (ｴﾝﾄﾞﾐﾙ ａ)\n");
    const PlainIndexedText t(text);
    const TextMatch kanji = findForward(t, u8(u"交換"), 0);
    EXPECT_EQ(text.mid(kanji.start, kanji.end - kanji.start), u8(u"交換"));
    EXPECT_EQ(findForward(t, u8(u"ﾐﾙ"), 0).start, text.indexOf(u8(u"ﾐﾙ")));
    // Full-width letters have case as well.
    EXPECT_EQ(findForward(t, u8(u"ａあ"), 0).start, text.indexOf(u8(u"Ａあ")));
    EXPECT_EQ(findBackward(t, u8(u"Ａ"), t.length()).start, text.indexOf(u8(u"ａ")));
    // The Kelvin sign folds to a Latin k.
    const PlainIndexedText kelvin(u8(u"G1 \u212A1"));
    EXPECT_EQ(findForward(kelvin, "k1", 0).start, 3);
}

TEST(TextSearch, EmptyOrOverlongNeedlesFindNothing) {
    const PlainIndexedText t("G01\n");
    EXPECT_FALSE(findForward(t, "", 0).found());
    EXPECT_FALSE(findBackward(t, "", 4).found());
    EXPECT_FALSE(findForward(t, "G01\nG01", 0).found());
    EXPECT_FALSE(findForward(PlainIndexedText(""), "G", 0).found());
}

// Random texts over characters that take every path of the search (ASCII,
// Japanese, characters that fold to Latin letters), all gap positions
// included, against the position-by-position search.
TEST(TextSearch, AgreesWithACharacterByCharacterSearch) {
    const QStringList alphabet = {"a",
                                  "A",
                                  "b",
                                  "k",
                                  " ",
                                  "\n",
                                  "1",
                                  QString::fromUtf16(u"あ"),
                                  QString::fromUtf16(u"\u212A"),
                                  QString::fromUtf16(u"é"),
                                  QString::fromUtf16(u"É"),
                                  QString::fromUtf16(u"ｱ"),
                                  QString::fromUtf16(u"●")};
    const QStringList needles = {"a",
                                 "AB",
                                 "k",
                                 "kA",
                                 "1 a",
                                 "\nb",
                                 QString::fromUtf16(u"あa"),
                                 QString::fromUtf16(u"É"),
                                 QString::fromUtf16(u"\u212Aa"),
                                 QString::fromUtf16(u"ｱ●")};
    QRandomGenerator rng(1234);
    for (int round = 0; round < 60; ++round) {
        QString s;
        const int n = 20 + rng.bounded(80);
        for (int i = 0; i < n; ++i)
            s += alphabet[rng.bounded(alphabet.size())];
        const QByteArray bytes = s.toUtf8();
        const qsizetype gap = rng.bounded(static_cast<int>(bytes.size()));
        const PlainIndexedText t(bytes, (static_cast<unsigned char>(bytes[gap]) & 0xC0) == 0x80 ? -1 : gap);
        for (const QString& needle : needles) {
            const QByteArray nd = needle.toUtf8();
            const qsizetype from = rng.bounded(static_cast<int>(bytes.size()));
            const TextMatch f = findForward(t, nd, from);
            const TextMatch rf = naiveForward(t, nd, from, bytes);
            ASSERT_EQ(f.start, rf.start)
                << s.toStdString() << " / " << needle.toStdString() << " from " << from;
            ASSERT_EQ(f.end, rf.end);
            const TextMatch b = findBackward(t, nd, from);
            const TextMatch rb = naiveBackward(t, nd, from, bytes);
            ASSERT_EQ(b.start, rb.start)
                << s.toStdString() << " / " << needle.toStdString() << " before " << from;
            ASSERT_EQ(b.end, rb.end);
        }
    }
}
