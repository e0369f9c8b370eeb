#include "receive/SplitSave.h"
#include "support/JapaneseText.h"

#include "platform/TextCodec.h"
#include "support/DiskFaults.h"
#include "support/QtPrinters.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace tornyx;
using test::TempHome;
using test::u;

namespace {

struct Split : ::testing::Test {
    TempHome home;
    QString folder = home.file("out");
    SplitSettings settings;
    ExcludedPrograms unticked;

    void SetUp() override {
        QDir().mkpath(folder);
        settings.folder = folder;
        settings.extension = ".NC";
    }
    SplitResult split(const QByteArray& utf8, qsizetype gapAt = -1) {
        return splitPrograms(PlainIndexedText(utf8, gapAt), unticked, settings);
    }
    // Every name in the folder, hidden ones (a temporary left behind) too.
    QStringList files() const {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    QByteArray read(const QString& name) const {
        QFile f(folder + '/' + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void put(const QString& name, const QByteArray& bytes) const {
        QFile f(folder + '/' + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

} // namespace

TEST_F(Split, TapeWithPercentLinesGivesOneFilePerProgram) {
    settings.percentAtTop = true;
    settings.percentAtEnd = true;
    const SplitResult r = split("%\nO1 (A)\nG00\nO2\nG01\n%\n");
    ASSERT_TRUE(r.ok()) << r.failure.toStdString();
    EXPECT_EQ(files(), (QStringList{"O1 .NC", "O2.NC"})) << "the blank before \"(\" stays in the name";
    EXPECT_EQ(read("O1 .NC"), "%\r\nO1 (A)\r\nG00\r\n%\r\n");
    EXPECT_EQ(read("O2.NC"), "%\r\nO2\r\nG01\r\n%\r\n");
    EXPECT_EQ(r.programs, 2);
    EXPECT_TRUE(r.cleaned.isEmpty());
}

TEST_F(Split, LinesAreStoredTrimmedWithoutPercentLinesOrWhatCameFirst) {
    const SplitResult r = split("TAPE\n%\n  O1(X)\n\tG00 X1 \n\n  %\n%END\nM30");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(files(), QStringList{"O1.NC"});
    EXPECT_EQ(read("O1.NC"), "O1(X)\r\nG00 X1 \r\n\r\nM30\r\n")
        << "leading blanks go, trailing ones stay, an empty line stays, no end line is invented";
}

TEST_F(Split, ColonAndLLinesStartPrograms) {
    const SplitResult r = split(":12(EIA)\nG00\nL5\nG01\n");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(files(), (QStringList{"L5.NC", "O12.NC"}));
    EXPECT_EQ(read("O12.NC"), ":12(EIA)\r\nG00\r\n");
}

TEST_F(Split, LineEndsAndTheEditorsGapDoNotChangeTheFiles) {
    const QByteArray lf = "O1\nG00 X1\nO22(A)\n\nM30\n";
    const QByteArray crlf = "O1\r\nG00 X1\r\nO22(A)\r\n\r\nM30\r\n";
    const QByteArray cr = "O1\rG00 X1\rO22(A)\r\rM30\r";
    for (const QByteArray& text : {lf, crlf, cr}) {
        for (qsizetype gap = 0; gap <= text.size(); ++gap) {
            QDir(folder).removeRecursively();
            QDir().mkpath(folder);
            ASSERT_TRUE(split(text, gap).ok());
            ASSERT_EQ(files(), (QStringList{"O1.NC", "O22.NC"})) << "gap " << gap;
            ASSERT_EQ(read("O1.NC"), "O1\r\nG00 X1\r\n") << "gap " << gap;
            ASSERT_EQ(read("O22.NC"), "O22(A)\r\n\r\nM30\r\n") << "gap " << gap;
        }
    }
}

TEST_F(Split, FilesAreShiftJis) {
    const SplitResult r = split(u(u"O1(ﾌﾞﾛｯｸ 加工)\nG00\n").toUtf8());
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(read("O1.NC"), platform::toSjis(u(u"O1(ﾌﾞﾛｯｸ 加工)\r\nG00\r\n")));
}

TEST_F(Split, SerialNumbersCountUntickedProgramsInTextOrder) {
    settings.serialNumbers = true;
    unticked.add({3, "O7"});
    const SplitResult r = split("O5\nA\nO7\nB\nO1\nC\n");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(files(), (QStringList{"O1_003.NC", "O5_001.NC"}));
    EXPECT_EQ(read("O1_003.NC"), "O1\r\nC\r\n");
}

TEST_F(Split, AnUntickedProgramLeavesAnEarlierFileOfItsNameAlone) {
    put("O2.NC", "O2(GOOD COPY)\r\n");
    unticked.add({3, "O2"});
    const SplitResult r = split("O1\nA\nO2\nBAD\n");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(read("O2.NC"), "O2(GOOD COPY)\r\n");
    EXPECT_EQ(r.written, QStringList{folder + "/O1.NC"});
}

TEST_F(Split, UntickingOneOfTwoEqualProgramLinesKeepsTheOther) {
    unticked.add({1, "O1"});
    const SplitResult r = split("O1\nFIRST\nO1\nSECOND\n");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(files(), QStringList{"O1.NC"});
    EXPECT_EQ(read("O1.NC"), "O1\r\nSECOND\r\n") << "the ticked program is not deleted with the unticked one";
}

TEST_F(Split, ASecondProgramOfTheSameNameGetsTheNextFreeSerial) {
    put("O1_002.NC", "EARLIER\r\n");
    const SplitResult r = split("O1\nA\nO1\nB\nO1(C)\nC\nOA\nD\nOa\nE\n");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(files(), (QStringList{"O1.NC", "O1_002.NC", "O1_003.NC", "O1_004.NC", "OA.NC", "Oa_002.NC"}));
    EXPECT_EQ(read("O1.NC"), "O1\r\nA\r\n");
    EXPECT_EQ(read("O1_002.NC"), "EARLIER\r\n") << "a file the split did not write is not taken";
    EXPECT_EQ(read("O1_003.NC"), "O1\r\nB\r\n");
    EXPECT_EQ(read("O1_004.NC"), "O1(C)\r\nC\r\n");
    EXPECT_EQ(read("Oa_002.NC"), "Oa\r\nE\r\n") << "names differing in letter case are one file on a share";
    ASSERT_EQ(r.renamed.size(), 3);
    EXPECT_EQ(r.renamed[0].line, 3);
    EXPECT_EQ(r.renamed[0].wanted, "O1.NC");
    EXPECT_EQ(r.renamed[0].used, "O1_003.NC");
    const QString report = splittext::renamedReport(r);
    EXPECT_TRUE(report.contains(u(u"00003行 O1.NC → O1_003.NC"))) << report.toStdString();
    EXPECT_TRUE(report.contains(u(u"00009行 Oa.NC → Oa_002.NC"))) << report.toStdString();
}

TEST_F(Split, NamesFromTheMachineStayInsideTheFolder) {
    const QString parent = home.path();
    const QStringList before = QDir(parent).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const QByteArray text = "O1/../../X\nA\n"
                            "O2\\..\\Y\nB\n"
                            "LPT1(PRINTER)\nC\n"
                            "O3\x01\x7F:<>|*?\"\nD\n"
                            "O" +
                            QByteArray(300, '9') + "\nE\n";
    const SplitResult r = split(text);
    ASSERT_TRUE(r.ok()) << r.failure.toStdString();
    EXPECT_EQ(files(),
              (QStringList{"O1.X.NC", "O2.Y.NC", "O3.NC", "_LPT1.NC", "_O" + QString(250, '9') + ".NC"}))
        << "a name too long for the file system is cut to 255 bytes";
    EXPECT_EQ(QDir(parent).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
    EXPECT_EQ(read("_LPT1.NC"), "LPT1(PRINTER)\r\nC\r\n");
    ASSERT_EQ(r.cleaned.size(), 5);
    EXPECT_EQ(r.cleaned[0].wanted, "O1/../../X.NC");
    EXPECT_EQ(r.cleaned[0].used, "O1.X.NC");
    EXPECT_TRUE(splittext::renamedReport(r).contains(u(u"ﾌｧｲﾙ名に使えない文字")));
}

TEST_F(Split, AReadOnlyFolderStopsAtTheFirstFileAndNamesIt) {
    put("O1.NC", "OLD\r\n");
    // A writable file in a locked folder is rewritten in place, so the old
    // file is locked too for the first one to fail.
    QFile::setPermissions(folder + "/O1.NC", QFile::ReadOwner);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    SplitResult r;
    {
        test::NoPermissionOverride asUser;
        r = split("O1\nA\nO2\nB\n");
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.failedPath, folder + "/O1.NC");
    EXPECT_TRUE(r.written.isEmpty());
    EXPECT_EQ(files(), QStringList{"O1.NC"});
    EXPECT_EQ(read("O1.NC"), "OLD\r\n");
    const QString message = splittext::stopped(r);
    EXPECT_TRUE(message.startsWith(folder + u(u"/O1.NC\nに保存できませんでした｡"))) << message.toStdString();
}

TEST_F(Split, AFullDiskKeepsTheFilesBeforeAndLeavesNoHalfFile) {
    put("O2.NC", "PREVIOUS\r\n");
    SplitResult r;
    {
        test::FileSizeLimit disk(64);
        r = split("O1\nSHORT\nO2\n" + QByteArray(100, 'X') + "\nO3\nC\n");
    }
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.failedPath, folder + "/O2.NC");
    EXPECT_EQ(r.written, QStringList{folder + "/O1.NC"});
    EXPECT_EQ(files(), (QStringList{"O1.NC", "O2.NC"})) << "no temporary is left, O3 is not written";
    EXPECT_EQ(read("O1.NC"), "O1\r\nSHORT\r\n");
    EXPECT_EQ(read("O2.NC"), "PREVIOUS\r\n");
    EXPECT_TRUE(splittext::stopped(r).contains(u(u"保存済みのﾌｧｲﾙ 1 個")));
}

TEST_F(Split, AMissingFolderIsAFailureNotASuccess) {
    settings.folder = home.file("gone");
    const SplitResult r = split("O1\nA\n");
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.failedPath, home.file("gone") + "/O1.NC");
}

TEST(SplitNames, ProgramLinesAndExtensions) {
    EXPECT_EQ(programFileName("O1 (A)", 0, ".NC"), "O1 .NC");
    EXPECT_EQ(programFileName(":0012(X)", 12, ".nc"), "O0012_012.nc");
    EXPECT_EQ(programFileName("O1", 1234, ""), "O1_1234");
    EXPECT_EQ(documentExtension("/a/b.c/PROG.NC"), ".NC");
    EXPECT_EQ(documentExtension("/a/b.c/PROG"), "");
    EXPECT_EQ(documentExtension(u(u"無題")), "");
    EXPECT_EQ(documentExtension("C:\\NC\\P.MIN"), ".MIN");
}

TEST(SplitText, UnmappableCharactersAreCounted) {
    EXPECT_EQ(unmappableCharacters(PlainIndexedText(u(u"O1(ﾌﾞﾛｯｸ 加工)\nG00\n").toUtf8())), 0);
    const QByteArray text = u(u"O1(€)\nG00 X1.0 Y2.0 Z3.0 F100\nG00(€€)\n(ﾜｰｸ)").toUtf8();
    for (qsizetype gap = 0; gap <= text.size(); ++gap)
        ASSERT_EQ(unmappableCharacters(PlainIndexedText(text, gap)), 3) << "gap " << gap;
}

TEST(ProgramSelection, ProgramsAreKnownByLineAndText) {
    ExcludedPrograms e;
    e.add({12, "O1"});
    e.add({0, "O9(ANY)"});
    EXPECT_TRUE(e.excludes(12, u"O1"));
    EXPECT_FALSE(e.excludes(30, u"O1")) << "another program with the same line";
    EXPECT_FALSE(e.excludes(12, u"O2")) << "the line no longer holds that program";
    EXPECT_TRUE(e.excludes(5, u"O9(ANY)"));
    EXPECT_EQ(e.texts(), (QStringList{"O1", "O9(ANY)"}));
    EXPECT_EQ(headersFromIndex({"00012-O1(A)", "123456-O2"}),
              (QList<ProgramHeader>{{12, "O1(A)"}, {123456, "O2"}}));
}
