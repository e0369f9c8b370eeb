#include "print/Listing.h"
#include "editor/ProgramIndex.h"
#include "print/PageGeometry.h"
#include "print/PrintSettings.h"
#include "print/PrintText.h"
#include "support/QtPrinters.h"
#include "support/TempHome.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace tornyx;
using test::TempHome;

namespace {

// Remembers what a listing draws, one entry per drawn text.
struct RecordingCanvas : ListingCanvas {
    struct Text {
        qint64 page;
        int x;
        int y;
        QString text;
        bool endsAtX;
    };
    std::vector<Text> texts;
    qint64 page = 1;
    void drawText(int x, int y, const QString& t) override { texts.push_back({page, x, y, t, false}); }
    void drawTextEndingAt(int right, int y, const QString& t) override {
        texts.push_back({page, right, y, t, true});
    }
    bool newPage() override {
        ++page;
        return true;
    }
    QStringList onPage(qint64 p) const {
        QStringList l;
        for (const Text& t : texts)
            if (t.page == p)
                l << t.text;
        return l;
    }
};

QByteArray numberedLines(int n, const char* prefix = "N") {
    QByteArray t;
    for (int i = 1; i <= n; ++i)
        t += prefix + QByteArray::number(i) + '\n';
    return t;
}

ListingPlan planFor(int bodyLines, const PrintSettings& s) {
    ListingPlan p;
    p.box = {100, 50, 2000, 3000};
    p.lineHeight = 40;
    p.linesPerPage = bodyLines + headerLines(s);
    p.bodyLines = bodyLinesPerPage(p.linesPerPage, s);
    return p;
}

// A Windows printer at 600 dpi on A4 with the usual unprintable edges.
PageDevice a4At600() {
    PageDevice d;
    d.dpiX = d.dpiY = 600;
    d.physicalWidth = 4960;
    d.physicalHeight = 7016;
    d.offX = 100;
    d.offY = 100;
    d.horzRes = 4760;
    d.vertRes = 6816;
    return d;
}

} // namespace

TEST(PrintSettingsStore, MissingFileGivesDefaultsAndSaveKeepsOtherSections) {
    TempHome home;
    const QString ini = home.file("Tornyx.INI");
    EXPECT_EQ(PrintSettingsStore(ini).load(), PrintSettings{});

    home.write("Tornyx.INI", "[Main]\r\nLeft=77\r\n[Print]\r\nfullpath=0\r\nFileName=1\r\nTopMargin=25\r\n");
    PrintSettings s = PrintSettingsStore(ini).load();
    EXPECT_FALSE(s.fullPath); // keys compare without letter case
    EXPECT_TRUE(s.fileName);
    EXPECT_EQ(s.topMargin, 25);
    EXPECT_EQ(s.leftMargin, 15);

    s.rightMargin = 0;
    s.page = false;
    ASSERT_TRUE(PrintSettingsStore(ini).save(s));
    const QByteArray written = home.read("Tornyx.INI");
    EXPECT_TRUE(written.contains("[Main]\r\nLeft=77\r\n")) << written.toStdString();
    EXPECT_TRUE(written.contains("RightMargin=0\r\n")) << written.toStdString();
    EXPECT_TRUE(written.contains("Page=0\r\n")) << written.toStdString();
    EXPECT_EQ(PrintSettingsStore(ini).load(), s);
}

TEST(PrintSettingsStore, UnwritableFileSaysWhy) {
    TempHome home;
    QString why;
    EXPECT_FALSE(PrintSettingsStore(home.file("no/such/folder/Tornyx.INI")).save(PrintSettings{}, &why));
    EXPECT_FALSE(why.isEmpty());
}

TEST(PageGeometry, MarginsAreMeasuredFromThePaperEdge) {
    const PageBox b = pageBox(a4At600(), PrintSettings{});
    // 15 mm at 600 dpi is 354.3 dots, less the 100 the printer cannot reach.
    EXPECT_EQ(b.left, 254);
    EXPECT_EQ(b.top, 136);    // 10 mm = 236.2 dots
    EXPECT_EQ(b.right, 4624); // 4760 - (236.2 - 100)
    EXPECT_EQ(b.bottom, 6680);
}

TEST(PageGeometry, MarginsInsideTheUnprintableEdgeAndWiderThanThePaperAreClipped) {
    PrintSettings s;
    s.leftMargin = 0;
    s.topMargin = 0;
    s.rightMargin = 99;
    PageDevice narrow = a4At600();
    narrow.physicalWidth = 1800; // 76 mm paper
    narrow.horzRes = 1600;
    const PageBox b = pageBox(narrow, s);
    EXPECT_EQ(b.left, 0);
    EXPECT_EQ(b.top, 0);
    EXPECT_EQ(b.right, 1600) << "a right margin wider than the paper gives the printable width";
}

TEST(PageGeometry, TinyPageAndHugeMarginsStillGiveOneLineAPageAndFinitePages) {
    PrintSettings s;
    s.topMargin = s.bottomMargin = s.leftMargin = s.rightMargin = 99;
    s.fileName = true;
    PageDevice tiny;
    tiny.dpiX = tiny.dpiY = 72;
    tiny.physicalWidth = tiny.horzRes = 10;
    tiny.physicalHeight = tiny.vertRes = 10;
    const PageBox b = pageBox(tiny, s);
    EXPECT_EQ(linesPerPage(b, 12), 0);
    EXPECT_EQ(bodyLinesPerPage(linesPerPage(b, 12), s), 1);
    EXPECT_EQ(pageCount(5, bodyLinesPerPage(0, s)), 5);
    EXPECT_EQ(pageCount(0, 0), 1);
    EXPECT_EQ(linesPerPage(b, 0), 0) << "a font without height divides nothing";

    s.topMargin = 2'000'000'000; // a hand-edited option file
    EXPECT_EQ(pageBox(a4At600(), s).top, std::numeric_limits<int>::max());
}

TEST(PageGeometry, HeaderKindsAndPageNumberTakeTheirLines) {
    PrintSettings s;
    s.fullPath = s.fileName = s.page = true;
    EXPECT_EQ(bodyLinesPerPage(50, s), 45);
    s.fullPath = s.fileName = s.page = false;
    EXPECT_EQ(bodyLinesPerPage(50, s), 50);
}

TEST(Listing, HundredLinesAtFortyFiveAPageGiveThreePagesWithEveryLine) {
    PrintSettings s; // full path, page number, line numbers
    const PlainIndexedText text(numberedLines(100));
    const DocumentLines lines(text);
    ASSERT_EQ(lines.count(), 100) << "the closing line feed opens no line";
    RecordingCanvas c;
    const ListingHeader header{"/nc/PART.NC", "PART.NC", "2026/12/08 14:40:00"};
    const ListingPlan plan = planFor(45, s);
    ASSERT_EQ(plan.bodyLines, 45);
    const ListingResult r = drawListing(c, plan, s, header, lines);
    EXPECT_EQ(r.pages, 3);
    EXPECT_EQ(r.lines, 100);
    EXPECT_EQ(c.page, 3);
    QStringList body;
    for (const auto& t : c.texts)
        if (t.text.contains(": N"))
            body << t.text;
    ASSERT_EQ(body.size(), 100);
    EXPECT_EQ(body.front(), "0001: N1");
    EXPECT_EQ(body.back(), "0100: N100");
    EXPECT_EQ(c.onPage(3).mid(0, 3), (QStringList{"/nc/PART.NC", "2026/12/08 14:40:00", "0091: N91"}));
    EXPECT_EQ(c.onPage(3).back(), "- 3 -");

    // Slots: path, date, 45 lines, page number, each h below the last.
    const auto& date = c.texts[1];
    EXPECT_TRUE(date.endsAtX);
    EXPECT_EQ(date.x, 2000);
    EXPECT_EQ(date.y, 50 + 40);
    const auto& pageNo = c.texts[47];
    EXPECT_EQ(pageNo.text, "- 1 -");
    EXPECT_EQ(pageNo.x, (100 + 2000) / 2);
    EXPECT_EQ(pageNo.y, 50 + 40 * 47);
}

TEST(Listing, NumbersRunPast9999To0000AndTabsReachTheEditorsStops) {
    PrintSettings s;
    s.fullPath = s.page = false;
    const PlainIndexedText text(numberedLines(10001) + "A\tB");
    RecordingCanvas c;
    drawListing(c, planFor(5000, s), s, {}, DocumentLines(text));
    ASSERT_EQ(c.texts.size(), 10002u);
    EXPECT_EQ(c.texts[9998].text, "9999: N9999");
    EXPECT_EQ(c.texts[9999].text, "0000: N10000");
    EXPECT_EQ(c.texts[10000].text, "0001: N10001");
    EXPECT_EQ(c.texts[10001].text, "0002: A       B");
    EXPECT_EQ(c.page, 3);
}

TEST(Listing, BothHeaderKindsFromTheFileTakeFourLines) {
    PrintSettings s;
    s.fullPath = s.fileName = true;
    s.page = s.lineNo = false;
    const PlainIndexedText text(numberedLines(10));
    RecordingCanvas c;
    ListingPlan plan = planFor(0, s);
    plan.linesPerPage = 9;
    plan.bodyLines = bodyLinesPerPage(plan.linesPerPage, s);
    drawListing(c, plan, s, {"/nc/A.NC", "A.NC", "T"}, DocumentLines(text));
    EXPECT_EQ(c.page, 2);
    EXPECT_EQ(c.onPage(1), (QStringList{"/nc/A.NC", "T", "A.NC", "T", "N1", "N2", "N3", "N4", "N5"}));
}

TEST(Listing, StoppingAfterAPageLeavesTheRest) {
    PrintSettings s;
    const PlainIndexedText text(numberedLines(200));
    RecordingCanvas c;
    const ListingResult r = drawListing(c, planFor(45, s), s, {}, DocumentLines(text),
                                        [](qint64 page, qint64) { return page < 2; });
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.pages, 2);
    EXPECT_EQ(c.page, 2);
}

TEST(SelectionLines, TakeTheSelectedPartsOfTheFirstAndLastLine) {
    const QByteArray t = "N1 G00\nN2 G01 X1\nN3 M30\nN4\n";
    const PlainIndexedText text(t, 9); // the editor's gap in the middle of line 2
    const SelectionLines sel(text, t.indexOf("G00"), t.indexOf("M30"));
    ASSERT_EQ(sel.count(), 3);
    EXPECT_EQ(sel.line(0), "G00");
    EXPECT_EQ(sel.line(1), "N2 G01 X1");
    EXPECT_EQ(sel.line(2), "N3 ");

    // Whole lines selected up to the start of the next: no empty last line.
    const SelectionLines whole(text, t.indexOf("N2"), t.indexOf("N4"));
    EXPECT_EQ(whole.count(), 2);
    EXPECT_EQ(whole.line(1), "N3 M30");
    // Selected backwards, or within one line.
    EXPECT_EQ(SelectionLines(text, t.indexOf("X1") + 2, t.indexOf("G01")).line(0), "G01 X1");
    EXPECT_EQ(SelectionLines(text, 3, 3).count(), 0);
}

TEST(SelectionLines, JapaneseTextIsCutAtItsBytes) {
    const QByteArray t = QStringLiteral(u"(工具交換)\nT01 M06\n").toUtf8();
    const PlainIndexedText text(t);
    const SelectionLines sel(text, QByteArray("(").size(), t.indexOf("T01") + 3);
    ASSERT_EQ(sel.count(), 2);
    EXPECT_EQ(sel.line(0), QStringLiteral(u"工具交換)"));
    EXPECT_EQ(sel.line(1), "T01");
}
