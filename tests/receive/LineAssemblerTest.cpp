#include "receive/LineAssembler.h"

#include "support/TempHome.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace tornyx;
using tornyx::test::hex;
using Outcome = LineAssembler::Outcome;
using EndReason = LineAssembler::EndReason;

namespace {

// Feeds text after the start character; answers the outcome of the last
// character fed (or of the one that ended the data).
Outcome feedAll(LineAssembler& a, const QByteArray& text) {
    Outcome last = Outcome::Dropped;
    for (const char c : text) {
        last = a.feed(static_cast<unsigned char>(c));
        if (last == Outcome::Ended)
            break;
    }
    return last;
}

QByteArray joined(const QList<QByteArray>& lines) {
    QByteArray out;
    for (const QByteArray& l : lines)
        out += l + "|";
    return out;
}

} // namespace

TEST(LineAssembler, ClosingPercentIsSeenOnTheNextCharacterAndKeepsTheLineBeforeIt) {
    LineAssembler a({});
    a.start('%');
    EXPECT_EQ(int(feedAll(a, "\nG1\nX1%")), int(Outcome::Stored));
    EXPECT_TRUE(a.endPending());
    EXPECT_EQ(int(a.feed('Y')), int(Outcome::Ended));
    EXPECT_EQ(int(a.endReason()), int(EndReason::Percent));
    // The rest of the line goes out as it is, with the blank that word
    // spacing put before the "%".
    EXPECT_EQ(joined(a.lines()), "G1|X1 |");
}

TEST(LineAssembler, TrailingFeedOrCrConfirmsTheClosingPercent) {
    for (const unsigned char after : {0x00, 0x0D}) {
        LineAssembler a({});
        a.start('%');
        feedAll(a, "\nO1\n%");
        EXPECT_EQ(int(a.feed(after)), int(Outcome::Ended)) << int(after);
        EXPECT_EQ(joined(a.lines()), "O1|");
    }
}

TEST(LineAssembler, ShortPercentLineStartedOnLfIsDroppedAndLeadingFeedIsNoData) {
    LineAssembler a({});
    a.start('\n');
    // Feed lines before the "%" must not make that "%" the end of the data.
    EXPECT_EQ(int(feedAll(a, "\n\n%\nO5\n%\n")), int(Outcome::Ended));
    EXPECT_EQ(joined(a.lines()), "O5|");
}

TEST(LineAssembler, WordZeroSpacesWordsButNotInsideComments) {
    LineAssembler a({});
    a.start('%');
    feedAll(a, "\nN10G01X-1.5Y2(CUT  A1)F100\n");
    EXPECT_EQ(joined(a.lines()), "N10 G01 X-1.5 Y2(CUT  A1) F100|");
}

TEST(LineAssembler, WordOneDeletesBlanksOutsideComments) {
    LineAssembler a({.word = 1});
    a.start('%');
    feedAll(a, "\nG0 1 X 2 (A B)\n");
    EXPECT_EQ(joined(a.lines()), "G01X2(A B)|");
}

TEST(LineAssembler, QuoteIsAcceptedAndAsciiAcceptsAnything) {
    LineAssembler a({.word = 3});
    a.start('%');
    feedAll(a, "\n(\"A\")\n");
    EXPECT_EQ(joined(a.lines()), "(\"A\")|");

    LineAssembler b({.code = 1, .word = 3});
    b.start('%');
    feedAll(b, QByteArray("\n(\x82\xa0)\x7f\n", 7));
    EXPECT_EQ(hex(joined(b.lines())), "28 82 A0 29 7F 7C");
}

TEST(LineAssembler, UnexpectedCharacterEndsWithoutTheUnfinishedLine) {
    LineAssembler a({});
    a.start('%');
    EXPECT_EQ(int(feedAll(a, "\nO1\nG1\nX2y")), int(Outcome::Ended));
    EXPECT_EQ(int(a.endReason()), int(EndReason::UnexpectedCharacter));
    EXPECT_EQ(a.endCharacter(), 'y');
    EXPECT_EQ(a.tapeLine(), 4);
    EXPECT_EQ(joined(a.lines()), "O1|G1|");
}

TEST(LineAssembler, CancelRightAfterAnLfStartStoresNoLineEnd) {
    LineAssembler a({});
    a.start('\n');
    EXPECT_EQ(int(a.feed(0x18)), int(Outcome::Ended));
    EXPECT_EQ(a.lines().size(), 0);
}

TEST(LineAssembler, DsrEndStoresTheUnfinishedLineEvenWhenEmpty) {
    LineAssembler a({.seChar = 1});
    a.start('%');
    feedAll(a, "\nO1\n");
    a.endOnDsrOff();
    EXPECT_TRUE(a.finishData());
    EXPECT_EQ(joined(a.lines()), "O1||%|");
}

TEST(LineAssembler, OspTakesTheNameAndSkipsDollarLines) {
    LineAssembler a({.osp = true});
    a.start('$');
    EXPECT_EQ(int(feedAll(a, "PART 1.NC%\n")), int(Outcome::LineCompleted));
    EXPECT_TRUE(a.lastWasFileNameLine());
    EXPECT_EQ(a.ospFileName(), "PART1.NC");
    feedAll(a, "G1\n$MORE\n%\n");
    EXPECT_EQ(joined(a.lines()), "G1|");
}

TEST(LineAssembler, OtherProfilesStoreDollarLines) {
    LineAssembler a({});
    a.start('%');
    feedAll(a, "\n$A1\n%\n");
    EXPECT_EQ(joined(a.lines()), "$A1|");
    EXPECT_TRUE(a.ospFileName().isEmpty());
}

TEST(LineAssembler, LongLineWithoutLineFeedStaysCheap) {
    LineAssembler a({});
    a.start('%');
    feedAll(a, "\nG");
    for (int i = 0; i < (1 << 20); ++i)
        ASSERT_EQ(int(a.feed('1')), int(Outcome::Stored));
    EXPECT_EQ(int(a.feed('\n')), int(Outcome::LineCompleted));
    ASSERT_EQ(a.lines().size(), 1);
    EXPECT_EQ(a.lines()[0].size(), (1 << 20) + 1);
}

// Random bytes under every setting: the machine must never crash, never put
// a line end inside a line, and stop taking bytes once it has ended.
TEST(LineAssembler, RandomBytesKeepTheInvariants) {
    QRandomGenerator rng(20261208);
    for (int round = 0; round < 3000; ++round) {
        LineAssembler::Settings s;
        s.code = int(rng.bounded(5));
        s.word = int(rng.bounded(4));
        s.change = int(rng.bounded(3));
        s.endCode = int(rng.bounded(3));
        s.seChar = int(rng.bounded(4));
        s.osp = rng.bounded(2) == 1;
        LineAssembler a(s);
        static const char Starts[] = "%OP:LNG$\n";
        a.start(static_cast<unsigned char>(Starts[rng.bounded(9)]));
        const int n = int(rng.bounded(400));
        bool ended = false;
        for (int i = 0; i < n && !ended; ++i) {
            // Mostly tape characters, some control and high bytes.
            static const char Likely[] = "%\n\r O0123:.-()GXYLN$&FWHE";
            const unsigned char c = rng.bounded(4) == 0 ? static_cast<unsigned char>(rng.bounded(256))
                                                        : static_cast<unsigned char>(Likely[rng.bounded(25)]);
            const Outcome o = a.feed(c);
            ended = o == Outcome::Ended;
            if (ended) {
                ASSERT_NE(int(a.endReason()), int(EndReason::None));
            }
            ASSERT_GE(a.lineCounter(), 0);
        }
        a.finishData();
        for (const QByteArray& line : a.lines()) {
            ASSERT_FALSE(line.contains('\n')) << "round " << round;
            ASSERT_FALSE(line.contains('\r')) << "round " << round;
        }
    }
}
