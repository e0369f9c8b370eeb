#include "editor/DocumentFile.h"

#include "support/DiskFaults.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tornyx;
using tornyx::test::hex;
using tornyx::test::TempHome;

namespace {

struct FakeHost : DocumentHost {
    QStringList asked;   // every box, in order
    QList<bool> answers; // for Yes/No boxes; Yes when exhausted
    bool warningYesNo(const QString& t) override {
        asked << t;
        return answers.isEmpty() ? true : answers.takeFirst();
    }
    void warningYes(const QString& t) override { asked << "OK:" + t; }
};

struct Collect : TextSink {
    QByteArray out;
    int begins = 0;
    void begin(qsizetype n) override {
        ++begins;
        out.reserve(out.size() + n);
    }
    void append(QByteArrayView b) override { out.append(b); }
};

QString q(const char16_t* s) {
    return QString::fromUtf16(s);
}

QByteArray u8(const char8_t* s) {
    return QByteArray(reinterpret_cast<const char*>(s));
}

QByteArray utf16(const QString& s, bool bigEndian) {
    QByteArray b;
    for (QChar c : s) {
        const char16_t u = c.unicode();
        if (bigEndian)
            b.append(char(u >> 8)).append(char(u & 0xFF));
        else
            b.append(char(u & 0xFF)).append(char(u >> 8));
    }
    return b;
}

class DocumentRead : public ::testing::Test {
protected:
    ReadResult read(const QByteArray& bytes, bool received = false) {
        home.write("doc.nc", bytes);
        sink = Collect();
        return readDocument(home.file("doc.nc"), received, host, sink);
    }
    TempHome home;
    FakeHost host;
    Collect sink;
};

} // namespace

TEST_F(DocumentRead, ShiftJisBecomesUtf8WithLfAndNoQuestion) {
    const ReadResult r = read(QByteArray("O0001(\xB1\x82\xA0)\r\nG00\r\nM30\rX\n", 23));
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(r.fileSize, 23);
    EXPECT_EQ(r.encoding, FileEncoding::ShiftJis);
    EXPECT_EQ(sink.out, u8(u8"O0001(ｱあ)\nG00\nM30\nX\n"));
    EXPECT_TRUE(host.asked.isEmpty());
}

TEST_F(DocumentRead, DamagedShiftJisKeepsEverythingAroundTheDamage) {
    read(QByteArray("A\x82\x20"
                    "B\x82",
                    5));
    EXPECT_EQ(sink.out, u8(u8"A\uFFFD B\uFFFD"));
}

TEST_F(DocumentRead, Utf16BigEndianAskedConvertedAndTrimmed) {
    const ReadResult r = read(QByteArray("\xFE\xFF", 2) + utf16(q(u" \tO1(あ)\r\nG0 \r\n"), true));
    ASSERT_EQ(host.asked.size(), 1);
    EXPECT_EQ(host.asked[0], text::bigEndianQuestion());
    EXPECT_TRUE(r.unicodeMark);
    EXPECT_EQ(sink.out, u8(u8"O1(あ)\nG0"));
}

TEST_F(DocumentRead, Utf16LittleEndianKeepsBlanksStopsAtZeroUnitDropsOddByte) {
    read(QByteArray("\xFF\xFE", 2) + utf16(q(u" O1\r\n"), false) + QByteArray("\0\0Z\0", 4));
    EXPECT_EQ(host.asked, QStringList{text::littleEndianQuestion()});
    EXPECT_EQ(sink.out, QByteArray(" O1\n"));

    read(QByteArray("\xFF\xFE", 2) + utf16(q(u"AB"), false) + QByteArray("C", 1));
    EXPECT_EQ(sink.out, QByteArray("AB"));
}

TEST_F(DocumentRead, Utf8MarkIsDroppedWithOrWithoutItsThirdByte) {
    read(QByteArray("\xEF\xBB\xBF", 3) + u8(u8"O1(é)\r\n"));
    EXPECT_EQ(host.asked, QStringList{text::utf8Question()});
    EXPECT_EQ(sink.out, u8(u8"O1(é)\n"));

    read(QByteArray("\xEF\xBB", 2) + QByteArray("O2\r\n"));
    EXPECT_EQ(sink.out, QByteArray("O2\n"));
}

TEST_F(DocumentRead, RefusedOrEmptyUnicodeGivesNoEmptyDataMessage) {
    host.answers = {false};
    ReadResult r = read(QByteArray("\xFF\xFE", 2) + utf16(q(u"O1"), false));
    EXPECT_TRUE(r.refused);
    EXPECT_EQ(r.fileSize, 6);
    EXPECT_TRUE(sink.out.isEmpty());
    EXPECT_EQ(host.asked.size(), 1);

    host.asked.clear();
    r = read(QByteArray("\xEF\xBB", 2)); // the mark's third byte is missing
    EXPECT_EQ(host.asked, QStringList{text::utf8Question()});
    EXPECT_TRUE(sink.out.isEmpty());
}

TEST_F(DocumentRead, EmptyFileAsksWithTheFileWordingAndYesAddsNothing) {
    const ReadResult r = read(QByteArray());
    EXPECT_EQ(host.asked, QStringList{text::fileFormatWrong()});
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(r.fileSize, 0);
    EXPECT_TRUE(r.lineByLine);
    EXPECT_TRUE(sink.out.isEmpty());
}

TEST_F(DocumentRead, ReceivedDataGetsTheReceiveWordingWithOneButton) {
    read(QByteArray(), true);
    EXPECT_EQ(host.asked, QStringList{"OK:" + text::receivedFormatWrong()});
}

TEST_F(DocumentRead, LeadingZeroByteFallsBackToLines) {
    read(QByteArray("\0ABC\r\nDEF\0GH\r\n\r\nXYZ\r\n", 21));
    EXPECT_EQ(host.asked, QStringList{text::fileFormatWrong()});
    EXPECT_EQ(sink.out, QByteArray("DEF\nXYZ"));
}

TEST_F(DocumentRead, ZeroByteInsideTheTextAsksInsteadOfCuttingSilently) {
    read(QByteArray("O1\r\nG0\0X\r\nM30\r\n", 15));
    EXPECT_EQ(host.asked, QStringList{text::fileFormatWrong()});
    EXPECT_EQ(sink.out, QByteArray("O1\nG0\nM30"));

    host.answers = {false};
    read(QByteArray("O1\r\nG0\0X\r\n", 10));
    EXPECT_TRUE(sink.out.isEmpty());
}

TEST_F(DocumentRead, MissingFileGivesTheEmptyDataMessageAndNothing) {
    sink = Collect();
    const ReadResult r = readDocument(home.file("gone.nc"), false, host, sink);
    EXPECT_FALSE(r.opened);
    EXPECT_EQ(r.fileSize, 0);
    EXPECT_EQ(host.asked, QStringList{text::fileFormatWrong()});
    EXPECT_TRUE(sink.out.isEmpty());

    host.asked.clear();
    QDir(home.path()).mkdir("folder.nc");
    EXPECT_FALSE(readDocument(home.file("folder.nc"), false, host, sink).opened);
    EXPECT_TRUE(sink.out.isEmpty());
}

TEST_F(DocumentRead, DevicesFifosAndFoldersAreRefusedWithoutAQuestion) {
    QDir(home.path()).mkdir("folder.nc");
    ASSERT_EQ(::mkfifo(QFile::encodeName(home.file("fifo.nc")).constData(), 0600), 0);
    // /dev/zero never ends and a FIFO without a writer never answers: both
    // would hold the window before it appears.
    for (const QString& path : {QString("/dev/zero"), home.file("fifo.nc"), home.file("folder.nc")}) {
        sink = Collect();
        host.asked.clear();
        const ReadResult r = readDocument(path, false, host, sink);
        EXPECT_TRUE(r.notRegular) << path.toStdString();
        EXPECT_FALSE(r.opened);
        EXPECT_TRUE(host.asked.isEmpty()) << path.toStdString();
        EXPECT_EQ(sink.begins, 0);
    }
    read("O1\r\n");
    EXPECT_FALSE(sink.out.isEmpty());
    EXPECT_FALSE(readDocument(home.file("doc.nc"), false, host, sink).notRegular);
}

TEST(FallbackLines, PiecesOf499BytesKeepDoubleByteCharactersWhole) {
    QByteArray longLine(600, 'A');
    QList<QByteArray> l = linesForFallback(longLine + "\r\nB\n");
    ASSERT_EQ(l.size(), 3);
    EXPECT_EQ(l[0].size(), 499);
    EXPECT_EQ(l[1].size(), 101);
    EXPECT_EQ(l[2], "B");

    QByteArray split(498, 'A');
    split += QByteArray("\x82\xA0"
                        "B",
                        3);
    l = linesForFallback(split);
    ASSERT_EQ(l.size(), 2);
    EXPECT_EQ(l[0], QByteArray(498, 'A'));
    EXPECT_EQ(hex(l[1]), "82 A0 42");
}

TEST(FallbackLines, LastLineFeedAddsNoLineAndLoneCrStays) {
    EXPECT_EQ(linesForFallback("A\nB\n"), (QList<QByteArray>{"A", "B"}));
    EXPECT_EQ(linesForFallback("A\rB"), (QList<QByteArray>{"A\rB"}));
    EXPECT_TRUE(linesForFallback(QByteArray("\0\0\n\n", 4)).isEmpty());
}

TEST(DocumentEncode, ShiftJisCrLfRoundTripsByteForByte) {
    const QByteArray original("%\r\nO0001(\xB1\x82\xA0\x81\x60)\r\n\tG00 X1.\r\n\r\nM30\r\n%", 36);
    const EncodedDocument e = encodeDocument(sjisToEditorText(original));
    EXPECT_EQ(hex(e.bytes), hex(original));
    EXPECT_EQ(e.unmappable, 0);
}

TEST(DocumentEncode, EveryLineEndBecomesCrLfAndUnmappablesAreCounted) {
    EncodedDocument e = encodeDocument(u8(u8"A\nB\r\nC\rD"));
    EXPECT_EQ(e.bytes, QByteArray("A\r\nB\r\nC\r\nD"));
    e = encodeDocument(u8(u8"O1(é😀)\nあ"));
    EXPECT_EQ(e.unmappable, 2);
    EXPECT_EQ(hex(e.bytes), "4F 31 28 3F 3F 29 0D 0A 82 A0");
    e = encodeDocument(u8(u8"N1\nあ\r\nい\rう\nN2"));
    EXPECT_EQ(hex(e.bytes), "4E 31 0D 0A 82 A0 0D 0A 82 A2 0D 0A 82 A4 0D 0A 4E 32");
}

TEST(DocumentEncode, TenMegabyteLineWithoutBreakSurvivesThePieces) {
    QByteArray line;
    line.reserve(10 << 20);
    while (line.size() < (10 << 20))
        line += QByteArray("X1.\x82\xA0\xB1Y", 8); // double-byte and kana across piece ends
    line += "\r\n";
    const QByteArray utf8 = sjisToEditorText(line);
    EXPECT_FALSE(utf8.contains("\xEF\xBF\xBD")); // no replacement character
    const EncodedDocument e = encodeDocument(utf8);
    EXPECT_EQ(e.bytes.size(), line.size());
    EXPECT_TRUE(e.bytes == line);
}

TEST(DocumentWrite, ReplacesTheFileAndReportsAFolderThatIsMissing) {
    TempHome home;
    home.write("p.nc", "OLD CONTENT");
    EXPECT_TRUE(writeDocumentFile(home.file("p.nc"), "NEW\r\n"));
    EXPECT_EQ(home.read("p.nc"), QByteArray("NEW\r\n"));
    QString error;
    EXPECT_FALSE(writeDocumentFile(home.file("no/such/p.nc"), "X", &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(DocumentWrite, FullDiskKeepsTheOldVersionAndSaysWhy) {
    TempHome home;
    QByteArray old;
    while (old.size() < 1420)
        old += "N" + QByteArray::number(old.size()) + " G01 X1. F100\r\n";
    home.write("p.nc", old);
    QString error;
    {
        test::FileSizeLimit full(1420);
        EXPECT_FALSE(writeDocumentFile(home.file("p.nc"), old + "N9999 M30\r\n", &error));
    }
    EXPECT_TRUE(error.contains("File too large")) << error.toStdString();
    EXPECT_EQ(home.read("p.nc"), old);
}

TEST(SizeText, BytesUnitsAndTapeMetres) {
    EXPECT_EQ(sizeText(0, false), q(u"0ﾊﾞｲﾄ"));
    EXPECT_EQ(sizeText(1024, false), q(u"1024ﾊﾞｲﾄ"));
    EXPECT_EQ(sizeText(1025, false), q(u"1.001KB"));
    EXPECT_EQ(sizeText(1536, false), q(u"1.500KB"));
    EXPECT_EQ(sizeText(1.5 * 1024 * 1024, false), q(u"1.500MB"));
    EXPECT_EQ(sizeText(1024.0 * 1024 * 1024 * 1024 * 2, false), q(u"2.000TB"));
    EXPECT_EQ(sizeText(1000, true), q(u"2.54ﾒｰﾄﾙ"));
    EXPECT_EQ(sizeText(0, true), q(u"0.00ﾒｰﾄﾙ"));
}

TEST(RecentFiles, CaseOnlyDifferenceMovesTheNewSpellingToTheFront) {
    std::array<QString, 5> r = {"/a/1.nc", "/a/2.nc", "/a/3.nc", "", ""};
    addRecent(r, "/A/3.NC");
    EXPECT_EQ(r, (std::array<QString, 5>{"/A/3.NC", "/a/1.nc", "/a/2.nc", "", ""}));
    addRecent(r, "/a/2.nc");
    EXPECT_EQ(r, (std::array<QString, 5>{"/a/2.nc", "/A/3.NC", "/a/1.nc", "", ""}));
}

TEST(RecentFiles, SixthFilePushesOutTheOldest) {
    std::array<QString, 5> r;
    for (int i = 1; i <= 6; ++i)
        addRecent(r, QString("/f%1").arg(i));
    EXPECT_EQ(r, (std::array<QString, 5>{"/f6", "/f5", "/f4", "/f3", "/f2"}));
}

TEST(Paths, FolderAndFileName) {
    EXPECT_EQ(folderOf("/home/nc/P1.NC"), "/home/nc");
    EXPECT_EQ(folderOf("/P1.NC"), "/");
    EXPECT_EQ(fileNameOf("/home/nc/P1.NC"), "P1.NC");
    EXPECT_EQ(fileNameOf(q(u"無題")), q(u"無題"));
}
