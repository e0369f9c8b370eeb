#include "platform/IniFile.h"
#include "platform/TextCodec.h"
#include "support/DiskFaults.h"
#include "support/TempHome.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using tornyx::platform::IniFile;
using tornyx::platform::toSjis;
using tornyx::test::hex;
using tornyx::test::TempHome;

namespace {

QByteArray sj(const char16_t* s) {
    return toSjis(QString::fromUtf16(s));
}

} // namespace

TEST(IniFile, MissingFileGivesDefaultsAndSaveCreatesIt) {
    TempHome home;
    IniFile ini(home.file("X.INI"));
    EXPECT_FALSE(ini.load());
    EXPECT_EQ(ini.readInteger("Main", "Left", 10), 10);
    EXPECT_EQ(ini.readString("Setting", "DirPath", "C:"), "C:");
    ini.writeInteger("Main", "Left", 33);
    ini.writeString("Setting", "DirPath", "/nc");
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(home.read("X.INI"), QByteArray("[Main]\r\nLeft=33\r\n[Setting]\r\nDirPath=/nc\r\n"));
}

TEST(IniFile, KeysAndSectionsIgnoreCaseAndBlanks) {
    TempHome home;
    home.write("X.INI", "[main]\r\n  LEFT = 42 \r\n[Setting]\ndc3(0x93)=N\n");
    IniFile ini(home.file("X.INI"));
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.readInteger("Main", "Left", 10), 42);
    EXPECT_EQ(ini.readString("Setting", "DC3(0X93)", "Y"), "N");
    ini.writeInteger("MAIN", "left", 43);
    ASSERT_TRUE(ini.save());
    // The existing line is rewritten in place; no second key appears.
    EXPECT_EQ(home.read("X.INI"), QByteArray("[main]\r\n  LEFT =43\r\n[Setting]\r\ndc3(0x93)=N\r\n"));
}

TEST(IniFile, UnknownLinesAndSectionsSurviveInOrder) {
    TempHome home;
    const QByteArray original =
        "; comment\r\n[Other]\r\nfoo=1\r\njunk line\r\n[Main]\r\nTop=5\r\n\r\n[Tail]\r\nz=9\r\n";
    home.write("X.INI", original);
    IniFile ini(home.file("X.INI"));
    ASSERT_TRUE(ini.load());
    ini.writeInteger("Main", "Top", 5);  // unchanged value
    ini.writeInteger("Main", "Left", 7); // new key lands before the blank line
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(home.read("X.INI"), QByteArray("; comment\r\n[Other]\r\nfoo=1\r\njunk "
                                             "line\r\n[Main]\r\nTop=5\r\nLeft=7\r\n\r\n[Tail]\r\nz=9\r\n"));
}

TEST(IniFile, IntegersThatDoNotParseTakeTheDefault) {
    TempHome home;
    home.write("X.INI", "[S]\na=12x\nb=\nc=-7\nd=99999999999\ne=$1F\nf=0x10\ng= 8 \n");
    IniFile ini(home.file("X.INI"));
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.readInteger("S", "a", 3), 3);
    EXPECT_EQ(ini.readInteger("S", "b", 3), 3);
    EXPECT_EQ(ini.readInteger("S", "c", 3), -7);
    EXPECT_EQ(ini.readInteger("S", "d", 3), 3);
    EXPECT_EQ(ini.readInteger("S", "e", 3), 31);
    EXPECT_EQ(ini.readInteger("S", "f", 3), 16);
    EXPECT_EQ(ini.readInteger("S", "g", 3), 8);
    EXPECT_TRUE(ini.readBool("S", "c", false));
    EXPECT_TRUE(ini.readBool("S", "a", true)); // junk keeps the default
    EXPECT_FALSE(ini.readBool("S", "a", false));
}

TEST(IniFile, JapaneseValuesRoundTripByteForByte) {
    TempHome home;
    QByteArray original = "[Setting1]\r\nName=" + sj(u"旋盤１号機") +
                          "\r\nFont Name=" + sj(u"ＭＳ ゴシック") +
                          "\r\nDirPath_Sub=" + sj(u"Ｃ：￥ＮＣ\\受信") + "\r\n";
    home.write("S.ini", original);
    IniFile ini(home.file("S.ini"));
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.readString("Setting1", "Name", ""), QString::fromUtf16(u"旋盤１号機"));
    EXPECT_EQ(ini.readString("Setting1", "DirPath_Sub", ""), QString::fromUtf16(u"Ｃ：￥ＮＣ\\受信"));
    // Write every value back as read: the file does not change by one byte.
    for (const QString& k : ini.keys("Setting1"))
        ini.writeString("Setting1", k, ini.readString("Setting1", k, ""));
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(hex(home.read("S.ini")), hex(original));
}

TEST(IniFile, JunkBinaryAndHugeLinesDoNotHurt) {
    TempHome home;
    QByteArray junk(10 * 1024 * 1024, 'x');
    const char tail[] = "\n[Main]\nLeft=\x81\xff\x00\x01\nTop=77\n";
    junk += QByteArray(tail, sizeof tail - 1);
    const char binary[] = "\x00\x00\xff\xfe[\n=\n==\n[]\n";
    junk += QByteArray(binary, sizeof binary - 1);
    home.write("X.INI", junk);
    IniFile ini(home.file("X.INI"));
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.readInteger("Main", "Left", 10), 10);
    EXPECT_EQ(ini.readInteger("Main", "Top", 10), 77);
    ini.writeInteger("Main", "Top", 78);
    ASSERT_TRUE(ini.save());
    IniFile again(home.file("X.INI"));
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again.readInteger("Main", "Top", 0), 78);
    EXPECT_GT(home.read("X.INI").size(), 10 * 1024 * 1024);
}

TEST(IniFile, ValuesWithLineBreaksCannotSplitTheFile) {
    TempHome home;
    IniFile ini(home.file("X.INI"));
    ini.load();
    ini.writeString("S", "k", "a\r\n[Evil]\r\nx=1");
    ASSERT_TRUE(ini.save());
    IniFile again(home.file("X.INI"));
    ASSERT_TRUE(again.load());
    EXPECT_FALSE(again.hasKey("Evil", "x"));
    EXPECT_EQ(again.readString("S", "k", ""), "a  [Evil]  x=1");
}

TEST(IniFile, FailedSaveReportsAndLeavesTheOldFile) {
    TempHome home;
    home.write("X.INI", "[Main]\r\nTop=1\r\n");
    IniFile ini(home.file("missing-folder/X.INI"));
    ini.load();
    ini.writeInteger("Main", "Top", 2);
    QString error;
    EXPECT_FALSE(ini.save(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ini.readInteger("Main", "Top", 0), 2); // still in memory
    EXPECT_EQ(home.read("X.INI"), QByteArray("[Main]\r\nTop=1\r\n"));
}

TEST(IniFile, ValuesShiftJisCannotHoldComeBackExactly) {
    TempHome home;
    // As a Windows program or an old version left it: bytes that are no
    // Shift-JIS (a lead byte before a blank, a byte no table has).
    const QByteArray damaged("C:\\NC\\\x81 X\xA0.NC", 13);
    home.write("T.INI", "[Recent File List]\r\nFile1=" + damaged + "\r\n");
    IniFile ini(home.file("T.INI"));
    ASSERT_TRUE(ini.load());
    const std::vector<QString> values = {
        QString::fromUtf16(u"/home/op/Müller"),
        QString::fromUtf16(u"/データ/Müller/100%"),
        QString::fromUtf16(u"O1(\U0001F600)"),
        "trailing blank ",
        " leading blank",
        "\"quoted\"",
        "%UTF-8%looks escaped",
        "tab\there",
    };
    for (size_t i = 0; i < values.size(); ++i)
        ini.writeString("Setting", "V" + QString::number(i), values[i]);
    ini.writeString("Setting", "Plain", QString::fromUtf16(u"旋盤１号機"));
    // The recent list moves the entry down: its bytes move with it.
    ini.writeString("Recent File List", "File2", ini.readString("Recent File List", "File1", ""));
    ini.writeString("Recent File List", "File1", "/nc/new.nc");
    ASSERT_TRUE(ini.save());

    IniFile again(home.file("T.INI"));
    ASSERT_TRUE(again.load());
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(again.readString("Setting", "V" + QString::number(i), ""), values[i]) << i;
    const QByteArray file = home.read("T.INI");
    EXPECT_TRUE(file.contains("\r\nFile2=" + damaged + "\r\n")) << hex(file).toStdString();
    EXPECT_TRUE(file.contains("\r\nV0=%UTF-8%/home/op/M%C3%BCller\r\n")) << file.toStdString();
    EXPECT_TRUE(file.contains("\r\nPlain=" + sj(u"旋盤１号機") + "\r\n")) << "Shift-JIS wherever it can";
    EXPECT_EQ(again.readString("Recent File List", "File2", ""),
              ini.readString("Recent File List", "File2", ""));
}

TEST(IniFile, SaveOnAFullDiskKeepsTheOldFile) {
    TempHome home;
    QByteArray old = "[Ports]\r\nCOM1=/dev/ttyUSB0\r\n[Main]\r\n";
    while (old.size() < 1400)
        old += "Filler" + QByteArray::number(old.size()) + "=1\r\n";
    home.write("Tornyx.INI", old);
    IniFile ini(home.file("Tornyx.INI"));
    ASSERT_TRUE(ini.load());
    ini.writeString("Main", "Extra", QString(200, 'x'));
    QString error;
    {
        tornyx::test::FileSizeLimit full(1500);
        EXPECT_FALSE(ini.save(&error));
    }
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(home.read("Tornyx.INI"), old);
}
