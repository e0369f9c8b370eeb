#include "search/FileSearch.h"
#include "platform/TextCodec.h"
#include "search/FileMask.h"
#include "search/SearchHistory.h"
#include "support/QtPrinters.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

using namespace tornyx;
using test::TempHome;

namespace {

QByteArray sj(const QString& s) {
    return platform::toSjis(s);
}

// A folder tree under a temporary folder.
struct Tree {
    QTemporaryDir dir;
    QString path(const QString& rel) const { return dir.filePath(rel); }
    void write(const QString& rel, const QByteArray& bytes) const {
        const QString p = path(rel);
        QDir().mkpath(QFileInfo(p).path());
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << p.toStdString();
        f.write(bytes);
    }
};

struct Recorder : SearchHost {
    std::vector<SearchHit> hits;
    QStringList invalid;
    int pumps = 0;
    std::function<bool(int)> onPump; // true: stop
    void found(const SearchHit& h) override { hits.push_back(h); }
    void invalidMask(const QString& p) override { invalid << p; }
    bool pump() override { return onPump ? onPump(++pumps) : (++pumps, false); }
    QStringList entries(const QString& root) const {
        QStringList l;
        for (const SearchHit& h : hits)
            l << resultEntry(h).mid(root.size() + 1);
        return l;
    }
};

SearchRequest request(const Tree& t, const QString& text, const QString& patterns) {
    SearchRequest r;
    r.text = text;
    r.folder = t.dir.path();
    r.patterns = splitPatterns(patterns);
    return r;
}

// What a hand would find: the file decoded line by line (LF, CR LF, CR).
QStringList expectedHits(const QByteArray& sjis, const QString& text) {
    QStringList out;
    const QString all = platform::fromSjis(sjis);
    qsizetype start = 0;
    qint64 line = 1;
    for (qsizetype i = 0; i <= all.size(); ++i) {
        const bool end = i == all.size();
        if (!end && all[i] != u'\n' && all[i] != u'\r')
            continue;
        const QString l = all.mid(start, i - start);
        if (l.contains(text))
            out << QStringLiteral("F.NC(%1): ").arg(line) + l;
        if (!end && all[i] == u'\r' && i + 1 < all.size() && all[i + 1] == u'\n')
            ++i;
        start = i + 1;
        ++line;
    }
    return out;
}

} // namespace

TEST(FileMask, WildcardsSetsAndLetterCase) {
    auto m = [](const char* mask, const char* name) { return FileMask::parse(mask)->matches(QString(name)); };
    EXPECT_TRUE(m("*.NC", "o1234.nc"));
    EXPECT_FALSE(m("*.NC", "o1234.nc.bak"));
    EXPECT_TRUE(m("O12??.*", "O1234.MIN"));
    EXPECT_FALSE(m("O12??.*", "O123.MIN"));
    EXPECT_TRUE(m("*", ""));
    EXPECT_TRUE(m("[A-C]*.NC", "b1.nc"));
    EXPECT_FALSE(m("[!A-C]*.NC", "b1.nc"));
    EXPECT_TRUE(m("*A*B*", "xxAyyAzzB"));
    EXPECT_FALSE(m("*A*B", "xxAyyBzz"));
    EXPECT_TRUE(FileMask::parse(QStringLiteral(u"*ﾃｽﾄ*"))->matches(QStringLiteral(u"加工ﾃｽﾄ1.NC")));
    EXPECT_FALSE(FileMask::parse("["));
    EXPECT_FALSE(FileMask::parse("*.[NC"));
}

TEST(SearchHistory, NewestFirstTenAtMostNoRepeats) {
    QStringList h;
    for (int i = 0; i < 12; ++i)
        h = withNewest(h, QString::number(i));
    EXPECT_EQ(h.size(), 10);
    EXPECT_EQ(h.front(), "11");
    EXPECT_EQ(h.back(), "2");
    h = withNewest(h, "5");
    EXPECT_EQ(h.mid(0, 3), (QStringList{"5", "11", "10"}));
    EXPECT_EQ(h.count("5"), 1);
}

TEST(SearchHistoryStore, RoundTripStopsAtTheFirstEmptyKey) {
    TempHome home;
    const QString ini = home.file("Tornyx.INI");
    home.write("Tornyx.INI",
               "[FILE SEARCH]\r\nFSStr0=T05\r\nFSStr1=\r\nFSStr2=LOST\r\nFSDir0=/nc\r\n[Other]\r\nK=V\r\n");
    SearchHistory h = SearchHistoryStore(ini).load();
    EXPECT_EQ(h.texts, QStringList{"T05"});
    EXPECT_EQ(h.folders, QStringList{"/nc"});
    EXPECT_TRUE(h.patterns.isEmpty());
    h.patterns = {"*.NC", QStringLiteral(u"*.ﾌﾟﾛｸﾞﾗﾑ")};
    ASSERT_TRUE(SearchHistoryStore(ini).save(h));
    EXPECT_EQ(SearchHistoryStore(ini).load().patterns, h.patterns);
    EXPECT_EQ(SearchHistoryStore(ini).load().texts, QStringList{"T05"}) << "the stale FSStr2 is emptied";
    EXPECT_TRUE(home.read("Tornyx.INI").contains("[Other]\r\nK=V"));
}

TEST(FileSearch, PatternsAreSearchedInTheirOrderThroughSubfoldersSorted) {
    Tree t;
    t.write("b.txt", "T05 M06\r\n");
    t.write("a.NC", "G00\r\nT05 M06\r\nT05\r\n");
    t.write("sub/c.nc", "T05\n");
    t.write("sub/deeper/d.NC", "X1\nT05 (CUT)\n");
    t.write("x.bak", "T05\n");
    Recorder r;
    SearchOutcome o = searchFiles(request(t, "T05", "*.NC;*.TXT"), r);
    EXPECT_EQ(r.entries(t.dir.path()), (QStringList{"a.NC(2): T05 M06", "a.NC(3): T05", "sub/c.nc(1): T05",
                                                    "sub/deeper/d.NC(2): T05 (CUT)", "b.txt(1): T05 M06"}));
    EXPECT_FALSE(o.stopped);
    EXPECT_EQ(o.filesSearched, 4);
    EXPECT_TRUE(o.skipped.empty());

    Recorder flat;
    SearchRequest top = request(t, "T05", " *.nc ; ");
    top.subfolders = false;
    top.firstHitOnly = true;
    searchFiles(top, flat);
    EXPECT_EQ(flat.entries(t.dir.path()), QStringList{"a.NC(2): T05 M06"})
        << "one hit per file, no subfolders";
}

TEST(FileSearch, InvalidMaskIsToldForEveryFileAndTheNextPatternStillRuns) {
    Tree t;
    t.write("1.NC", "A\n");
    t.write("2.NC", "A\n");
    t.write("s/3.TXT", "A\n");
    Recorder r;
    searchFiles(request(t, "A", "[;*.TXT"), r);
    EXPECT_EQ(r.invalid, (QStringList{"[", "[", "["}));
    EXPECT_EQ(r.entries(t.dir.path()), QStringList{"s/3.TXT(1): A"});
    EXPECT_EQ(text::invalidMask("["), QStringLiteral(u"[：不適切なﾌｧｲﾙ名です"));
}

TEST(FileSearch, ShiftJisTrailBytesNeverMatchAndJapaneseFindsJapanese) {
    Tree t;
    // "ア" is 83 41: its second byte is the letter A.
    t.write("j.NC", sj(QStringLiteral(u"(ア)\r\nNA(ﾃｽﾄ)\r\n(工具交換 T05)\r\n")));
    Recorder a;
    searchFiles(request(t, "A", "*.NC"), a);
    EXPECT_EQ(a.entries(t.dir.path()), QStringList{QStringLiteral(u"j.NC(2): NA(ﾃｽﾄ)")});
    Recorder jp;
    searchFiles(request(t, QStringLiteral(u"工具"), "*.NC"), jp);
    EXPECT_EQ(jp.entries(t.dir.path()), QStringList{QStringLiteral(u"j.NC(3): (工具交換 T05)")});
}

TEST(FileSearch, UnicodeFilesAreSearchedByTheirMark) {
    Tree t;
    const QString body = QStringLiteral(u"O1000\r\n(荒加工)\r\nM30\r\n");
    t.write("u8.NC", QByteArray("\xEF\xBB\xBF") + body.toUtf8());
    QByteArray le("\xFF\xFE");
    QByteArray be("\xFE\xFF");
    for (QChar c : body) {
        le += char(c.unicode() & 0xFF);
        le += char(c.unicode() >> 8);
        be += char(c.unicode() >> 8);
        be += char(c.unicode() & 0xFF);
    }
    t.write("u16le.NC", le);
    t.write("u16be.NC", be);
    Recorder r;
    searchFiles(request(t, QStringLiteral(u"荒加工"), "*.NC"), r);
    EXPECT_EQ(r.entries(t.dir.path()),
              (QStringList{QStringLiteral(u"u16be.NC(2): (荒加工)"), QStringLiteral(u"u16le.NC(2): (荒加工)"),
                           QStringLiteral(u"u8.NC(2): (荒加工)")}));
}

// Long files with every kind of line end, hits across the reader's block
// boundaries, compared with a line-by-line reading of the decoded text.
TEST(FileSearch, LineNumbersAcrossBlocksMatchALineByLineReading) {
    QRandomGenerator rng(1234);
    const QByteArray ends[] = {"\r\n", "\n", "\r", "\r\n"};
    const QByteArray words[] = {"G01", "X12.5", "T05", "M06", sj(QStringLiteral(u"(ｱ工具)")), "N", "T0", "5"};
    for (int round = 0; round < 3; ++round) {
        QByteArray f;
        while (f.size() < 2'600'000 + round * 400'000) {
            const int n = rng.bounded(0, 12);
            for (int i = 0; i < n; ++i)
                f += words[rng.bounded(8)] + (rng.bounded(3) ? " " : "");
            f += ends[rng.bounded(4)];
            if (rng.bounded(1000) == 0)
                f += QByteArray(rng.bounded(1, 200'000), 'Z') + "\n"; // a very long line now and then
        }
        Tree t;
        t.write("F.NC", f);
        Recorder r;
        searchFiles(request(t, "T05", "*.NC"), r);
        const QStringList want = expectedHits(f, "T05");
        ASSERT_GT(want.size(), 1000);
        EXPECT_EQ(r.entries(t.dir.path()), want) << "round " << round;
    }
}

TEST(FileSearch, BinaryMissingAndTooLongFilesAreSkippedWithTheirReason) {
    Tree t;
    t.write("a.NC", "T05\n");
    t.write("bin.NC", QByteArray("T05\n\0\x01\x02", 7));
    t.write("long.NC", QByteArray(17 << 20, 'X'));
    t.write("z.NC", "T05\n");
    ASSERT_EQ(
        symlink(t.path("gone.NC").toLocal8Bit().constData(), t.path("dangling.NC").toLocal8Bit().constData()),
        0);
    Recorder r;
    const SearchOutcome o = searchFiles(request(t, "T05", "*.NC"), r);
    EXPECT_EQ(r.entries(t.dir.path()), (QStringList{"a.NC(1): T05", "z.NC(1): T05"}));
    ASSERT_EQ(o.skipped.size(), 3u);
    EXPECT_EQ(o.skipped[0].path, t.path("bin.NC"));
    EXPECT_EQ(o.skipped[0].reason, text::binaryFile());
    EXPECT_EQ(o.skipped[1].path, t.path("dangling.NC"));
    EXPECT_FALSE(o.skipped[1].reason.isEmpty());
    EXPECT_EQ(o.skipped[2].reason, text::lineTooLong());
}

TEST(FileSearch, LinksBackIntoTheTreeAndPipesHoldNothingUp) {
    Tree t;
    t.write("a/p.NC", "T05\n");
    ASSERT_EQ(symlink(t.dir.path().toLocal8Bit().constData(), t.path("a/loop").toLocal8Bit().constData()), 0);
    ASSERT_EQ(mkfifo(t.path("a/pipe.NC").toLocal8Bit().constData(), 0600), 0);
    Recorder r;
    const SearchOutcome o = searchFiles(request(t, "T05", "*.NC"), r);
    EXPECT_EQ(r.entries(t.dir.path()), QStringList{"a/p.NC(1): T05"});
    ASSERT_EQ(o.skipped.size(), 1u);
    EXPECT_EQ(o.skipped[0].path, t.path("a/loop"));
    EXPECT_EQ(o.skipped[0].reason, text::linkLoop());
}

TEST(FileSearch, AFolderThatVanishesIsSkippedAndTheSearchGoesOn) {
    Tree t;
    t.write("a.NC", "T05\n");
    t.write("b/x.NC", "T05\n");
    t.write("c/y.NC", "T05\n");
    t.write("unreadable/z.NC", "T05\n");
    ASSERT_EQ(chmod(t.path("unreadable").toLocal8Bit().constData(), 0), 0);
    Recorder r;
    r.onPump = [&](int n) {
        if (n == 1)
            QDir(t.path("b")).removeRecursively();
        return false;
    };
    SearchRequest req = request(t, "T05", "*.NC");
    req.pumpInterval = std::chrono::milliseconds(0);
    const SearchOutcome o = searchFiles(req, r);
    chmod(t.path("unreadable").toLocal8Bit().constData(), 0700);
    QStringList want{"a.NC(1): T05", "c/y.NC(1): T05"};
    if (geteuid() == 0) // the superuser reads every folder
        want << "unreadable/z.NC(1): T05";
    EXPECT_EQ(r.entries(t.dir.path()), want);
    ASSERT_GE(o.skipped.size(), 1u);
    EXPECT_EQ(o.skipped[0].path, t.path("b"));
    EXPECT_EQ(o.skipped.size(), geteuid() == 0 ? 1u : 2u);
}

TEST(FileSearch, StopAtAPumpEndsTheWalk) {
    Tree t;
    for (int i = 0; i < 50; ++i)
        t.write(QStringLiteral("d%1/f.NC").arg(i, 2, 10, QChar('0')), "T05\n");
    Recorder r;
    r.onPump = [](int n) { return n == 10; };
    SearchRequest req = request(t, "T05", "*.NC;*.NC");
    req.pumpInterval = std::chrono::milliseconds(0);
    const SearchOutcome o = searchFiles(req, r);
    EXPECT_TRUE(o.stopped);
    EXPECT_EQ(r.pumps, 10) << "nothing runs on after the stop, not even the second pattern";
    EXPECT_LT(r.hits.size(), 10u);
}

TEST(FileSearch, NamesWithParenthesesAndJapaneseAreListedAsTheyAre) {
    Tree t;
    const QString name = QStringLiteral(u"加工(2)/ﾜｰｸ(A).NC");
    t.write(name, "(1)\nT05(2)\n");
    Recorder r;
    searchFiles(request(t, "T05", "*.NC"), r);
    ASSERT_EQ(r.hits.size(), 1u);
    EXPECT_EQ(r.hits[0].path, t.path(name));
    EXPECT_EQ(r.hits[0].line, 2);
    EXPECT_EQ(resultEntry(r.hits[0]), t.path(name) + "(2): T05(2)");
}
