#include "nc/DripBudget.h"
#include "nc/DripMonitor.h"

#include "nc/NcTestText.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

using namespace tornyx;
using namespace tornyx::nc;
using namespace tornyx::test;

namespace {

// 200 moves of 0.5 mm in X: "X0.500 Y0.000" is 13 characters and the LF.
QList<QByteArray> segments(const QByteArray& feed, const QByteArray& prefix = {}) {
    QList<QByteArray> lines = {"O1", "G21 G91 G94 G01 F" + feed};
    for (int i = 0; i < 200; ++i)
        lines << prefix + "X0.500 Y0.000";
    lines << "M30";
    return lines;
}

// 9600 bit/s, ISO (8 bits, no parity), 2 stop bits: 11 bits a character.
CommProfile profile9600() {
    CommProfile p = defaultProfile(1);
    p.send.speed = 3;
    p.send.code = 0;
    p.send.stopBits = 1;
    return p;
}

BudgetReport estimate(const QList<QByteArray>& lines, const CommProfile& p, bool skipSpaces = false) {
    NcText t(lines);
    return estimateBudget(t.lines, budgetSettingsFor(p, readerSettingsFor(RestartSettings{}, false, true),
                                                     skipSpaces, FlowOptions{}));
}

// At F3000 a 0.5 mm move takes 10 ms, and its 14 characters take 16.04 ms
// at 9600 bit/s: every move starves. At F300 it takes 100 ms: none does.
TEST(DripBudget, ShortSegmentsAtHighFeedAreFlagged) {
    TempHome home;
    const BudgetReport fast = estimate(segments("3000."), profile9600());
    // By hand: 3 + 22 + 200 x 14 + 4 = 2829 characters x 11 / 9600 s.
    EXPECT_NEAR(fast.totals[BudgetReport::Current].deliverySeconds, 3.2416, 3.2416 * 0.01);
    EXPECT_NEAR(fast.executionSeconds, 2.0, 0.02); // 200 x 0.5 mm / 50 mm/s
    EXPECT_EQ(fast.motionBlocks, 200);
    EXPECT_EQ(fast.totals[BudgetReport::Current].flagged, 200);
    EXPECT_NEAR(fast.flaggedShare(), 1.0, 1e-9);
    EXPECT_NEAR(fast.charsPerSecond, 9600.0 / 11, 0.01);
    ASSERT_EQ(fast.worst.size(), 1u);
    const BudgetRegion& r = fast.worst[0];
    EXPECT_EQ(r.firstLine + 1, 3);
    EXPECT_EQ(r.lastLine + 1, 202);
    EXPECT_EQ(r.blocks, 200);
    EXPECT_EQ(r.minFeed, 3000);
    EXPECT_NEAR(r.meanSegment(), 0.5, 1e-9);
    // (3 + 22 + 14) + 199 x 14 characters in 2 s.
    EXPECT_NEAR(r.neededCharsPerSecond(), 2825 / 2.0, 2825 / 2.0 * 0.01);

    const BudgetReport slow = estimate(segments("300."), profile9600());
    EXPECT_NEAR(slow.executionSeconds, 20.0, 0.2);
    EXPECT_EQ(slow.totals[BudgetReport::Current].flagged, 0);
    EXPECT_TRUE(slow.worst.empty());
}

// Each filter that shortens blocks is shown with its effect: at F1500 a
// move takes 20 ms; "N0010 X0.500 Y0.000" takes 22.9 ms, without the
// sequence number 17.2 ms.
TEST(DripBudget, FiltersThatShortenBlocks) {
    QList<QByteArray> lines = segments("1500.");
    for (int i = 2; i < 202; ++i)
        lines[i] = "N" + QByteArray::number(i * 10).rightJustified(4, '0') + ' ' + lines[i] + " (CUT)";
    const BudgetReport r = estimate(lines, profile9600());
    EXPECT_EQ(r.totals[BudgetReport::Current].flagged, 200);
    EXPECT_TRUE(r.available[BudgetReport::SequenceNumbers]);
    EXPECT_FALSE(r.available[BudgetReport::AfterSemicolon]); // ";" already ends the sent text
    EXPECT_EQ(r.totals[BudgetReport::Current].chars - r.totals[BudgetReport::SequenceNumbers].chars, 200 * 5);
    EXPECT_EQ(r.totals[BudgetReport::Current].chars - r.totals[BudgetReport::Spaces].chars, 200 * 3 + 4);
    EXPECT_EQ(r.totals[BudgetReport::Current].chars - r.totals[BudgetReport::Comments].chars, 200 * 5);
    // 26 characters a move: 29.8 ms; without the comments 21 (24.1 ms), still starving; without
    // the sequence numbers 21 as well.
    EXPECT_EQ(r.totals[BudgetReport::Comments].flagged, 200);

    // With the profile's own filter and the space option on, those rows
    // are not offered again and the moves no longer starve.
    CommProfile p = profile9600();
    p.send.nNon = "Y";
    QList<QByteArray> plain = segments("1500.");
    for (int i = 2; i < 202; ++i)
        plain[i] = "N" + QByteArray::number(i * 10).rightJustified(4, '0') + plain[i];
    const BudgetReport filtered = estimate(plain, p, true);
    EXPECT_FALSE(filtered.available[BudgetReport::SequenceNumbers]);
    EXPECT_FALSE(filtered.available[BudgetReport::Spaces]);
    // "X0.500Y0.000" and the LF: 14.9 ms. Only the first move starves: the
    // set-up lines before it go out in its time.
    EXPECT_EQ(filtered.totals[BudgetReport::Current].flagged, 1);
}

// The line's framing and code decide what a character costs and which
// characters go out at all.
TEST(DripBudget, FramingAndCode) {
    struct Row {
        int speed, code, stopBits, crlf;
        const char* rate;
        std::int64_t chars; // of the O1 / G01 X1. F100. / M30 program
    };
    const Row rows[] = {
        {3, 0, 1, 0, "9600bps 8N2", 3 + 14 + 4},  {3, 0, 1, 1, "9600bps 8N2", 3 + 14 + 4 + 3}, // CR LF
        {3, 1, 1, 1, "9600bps 8N2", 3 + 14 + 4},                                           // EIA drops the CR
        {5, 2, 0, 0, "19200bps 7E1", 3 + 14 + 4}, {6, 0, 0, 0, "4800bps 8N2", 3 + 14 + 4}, // tape punch
    };
    for (const Row& r : rows) {
        CommProfile p = profile9600();
        p.send.speed = r.speed;
        p.send.code = r.code;
        p.send.stopBits = r.stopBits;
        p.send.crlfType = r.crlf;
        const BudgetReport b = estimate({"O1", "G01 X1. F100.", "M30"}, p);
        EXPECT_EQ(lineRateOf(p.send).text().toStdString(), r.rate);
        EXPECT_EQ(b.totals[BudgetReport::Current].chars, r.chars) << r.rate << " crlf " << r.crlf;
        EXPECT_NEAR(b.totals[BudgetReport::Current].deliverySeconds,
                    r.chars * lineRateOf(p.send).charSeconds(), 1e-9);
    }
}

// A subprogram run three times is one region met three times; arcs count
// their length, not their chord.
TEST(DripBudget, RegionsInSubprogramsAndArcs) {
    QList<QByteArray> lines = {
        "O1", "G21 G90 G17 G94 G00 X0. Y0.", "M98 P100 L3", "M30", "O100", "G91 G01 F6000."};
    for (int i = 0; i < 20; ++i)
        lines << "G02 X0. Y0. I0.5 J0."; // full circle of 1 mm: 3.14 mm, 31 ms at F6000
    for (int i = 0; i < 20; ++i)
        lines << "G01 X0.200"; // 2 ms
    lines << "M99";
    const BudgetReport r = estimate(lines, profile9600());
    EXPECT_EQ(r.motionBlocks, 120);
    EXPECT_NEAR(r.executionSeconds, 3 * (20 * 3.14159 / 100 + 20 * 0.002), 0.01);
    ASSERT_FALSE(r.worst.empty());
    EXPECT_EQ(r.worst[0].times, 3);
    EXPECT_EQ(r.worst[0].firstLine + 1, 27);
    EXPECT_EQ(r.worst[0].lastLine + 1, 46);
    // The first circle of each pass also carries the line "G91 G01 F6000.".
    EXPECT_EQ(r.totals[BudgetReport::Current].flagged, 63);
}

// While the line keeps up, or while the machine holds it, nothing is
// shown; a line slower than the moves is.
TEST(DripMonitor, WarnsWhileTheLineFallsBehind) {
    struct Row {
        std::int64_t everyUs;
        std::int64_t heldUs; // per block
        bool behind;
    };
    const Row rows[] = {{16000, 0, true}, {8000, 0, false}, {16000, 9000, false}};
    for (const Row& r : rows) {
        DripMonitor m(ReaderSettings{}, {});
        m.blockSent(0, "G21 G91 G94 G01 F3000.", {}, 0, 0);
        for (int i = 1; i <= 20; ++i)
            m.blockSent(i, "X0.5", {}, i * (r.everyUs + r.heldUs), i * r.heldUs);
        EXPECT_EQ(m.status().behind, r.behind) << r.everyUs << " " << r.heldUs;
        if (r.behind) {
            EXPECT_NEAR(m.status().neededBlocksPerSecond, 100, 0.01);
            EXPECT_EQ(DripMonitor::warningText(m.status()),
                      QStringLiteral(u"ﾃﾞｰﾀ供給不足 行2-21: 必要100.0 > 送信62.5 ﾌﾞﾛｯｸ/秒"));
        }
    }
}

} // namespace
