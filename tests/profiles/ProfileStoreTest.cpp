#include "profiles/ProfileStore.h"
#include "platform/IniFile.h"
#include "platform/TextCodec.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

using namespace tornyx;
using platform::IniFile;
using test::TempHome;

TEST(ProfileStore, DefaultsOfProfileFiveWithoutFile) {
    TempHome home;
    IniFile ini(home.file("Setting.ini"));
    ini.load();
    ProfileTable t;
    loadProfileRecord(ini, 5, t);
    const CommProfile& p = t[5];
    EXPECT_EQ(p.read.speed, 2);
    EXPECT_EQ(p.read.code, 0);
    EXPECT_EQ(p.read.stopBits, 1);
    EXPECT_EQ(p.read.port, "COM1");
    EXPECT_EQ(p.read.buff, 3);
    EXPECT_EQ(p.send.speed, 2);
    EXPECT_EQ(p.send.code, 0);
    EXPECT_EQ(p.send.stopBits, 1);
    EXPECT_EQ(p.send.startChar, 0);
    EXPECT_EQ(p.send.endChar, 0);
    EXPECT_EQ(p.send.crlfType, 0);
    EXPECT_EQ(p.setting.name, QString::fromUtf16(u"設定5"));
    EXPECT_EQ(p.setting.fontName, QString::fromUtf16(u"ＭＳ ゴシック"));
    EXPECT_EQ(p.setting.fontSize, 12);
    EXPECT_EQ(p.setting.fontColor, 0x00FF00);
    EXPECT_EQ(p.setting.screenColor, 0);
    EXPECT_FALSE(p.setting.posChg);
    EXPECT_EQ(p.setting.posHeight, 626);
    EXPECT_EQ(p.setting.posWidth, 470);
    EXPECT_EQ(t[11].setting.name, QString::fromUtf16(u"OSP専用_NO.1"));
    EXPECT_EQ(t[12].setting.name, QString::fromUtf16(u"OSP専用_NO.2"));
    EXPECT_FALSE(QFile::exists(home.file("Setting.ini"))); // nothing is created on load
}

TEST(ProfileStore, TapeCoercionsAreWrittenWhateverTheDialogShowed) {
    TempHome home;
    IniFile ini(home.file("Setting.ini"));
    ini.load();
    ProfileTable t;
    CommProfile& p = t[3];
    p.send.speed = 6;
    p.send.signal = 0;
    p.send.buff = 7;
    p.send.feed = 2;
    p.read.speed = 6;
    p.read.code = 3;
    p.read.word = 0;
    p.read.rSignal = 0;
    saveProfileRecord(ini, 3, p, false, false, {});
    EXPECT_EQ(ini.readInteger("Send3", "Signal", -1), 1);
    EXPECT_EQ(ini.readInteger("Send3", "Buff", -1), 0);
    EXPECT_EQ(ini.readInteger("Send3", "Feed", -1), 2);
    EXPECT_EQ(ini.readInteger("Read3", "Code", -1), 0);
    EXPECT_EQ(ini.readInteger("Read3", "Word", -1), 1);
    EXPECT_EQ(ini.readInteger("Read3", "RSignal", -1), 0);

    p.send.speed = 3;
    p.send.feed = 2;
    p.read.speed = 3;
    p.read.rSignal = 0;
    saveProfileRecord(ini, 3, p, false, false, {});
    EXPECT_EQ(ini.readInteger("Send3", "Feed", -1), 0);
    EXPECT_EQ(ini.readInteger("Read3", "RSignal", -1), 1);
}

TEST(ProfileStore, UncheckedBlocksLeaveTheFileAlone) {
    TempHome home;
    home.write("Setting.ini", "[Setting2]\r\nFont Chg=1\r\nFont Size=20\r\nPos Chg=1\r\nPos Top=44\r\n");
    IniFile ini(home.file("Setting.ini"));
    ASSERT_TRUE(ini.load());
    ProfileTable t;
    loadProfileRecord(ini, 2, t);
    CommProfile p = t[2];
    p.setting.fontSize = 9;
    p.setting.posChg = false;
    saveProfileRecord(ini, 2, p, false, false, QRect(1, 2, 700, 500));
    loadProfileRecord(ini, 2, t);
    EXPECT_EQ(t[2].setting.fontSize, 20);
    EXPECT_TRUE(t[2].setting.posChg);
    EXPECT_EQ(t[2].setting.posTop, 44);

    saveProfileRecord(ini, 2, p, true, true, QRect(1, 2, 700, 500));
    loadProfileRecord(ini, 2, t);
    EXPECT_EQ(t[2].setting.fontSize, 9);
    EXPECT_FALSE(t[2].setting.posChg);
    EXPECT_EQ(t[2].setting.posLeft, 1);
    EXPECT_EQ(t[2].setting.posTop, 2);
    EXPECT_EQ(t[2].setting.posWidth, 700);
    EXPECT_EQ(t[2].setting.posHeight, 500);
}

TEST(ProfileStore, KeysAreWrittenExactlyAndReadBack) {
    TempHome home;
    IniFile ini(home.file("Setting.ini"));
    ini.load();
    ProfileTable t;
    CommProfile p = t[7];
    p.read.seChar = 2;
    p.send.chkCount = 5;
    p.send.sendMsg = QString::fromUtf16(u"(注意)");
    p.send.nNon = "Y";
    p.read.parity = 2;
    p.read.dataLength = 1;
    p.send.parity = 1;
    p.setting.name = QString::fromUtf16(u"ﾏｼﾆﾝｸﾞｾﾝﾀ");
    saveProfileRecord(ini, 7, p, true, false, {});
    ASSERT_TRUE(ini.save());
    const QByteArray file = home.read("Setting.ini");
    EXPECT_TRUE(file.contains("S&E_Char=2\r\n"));
    EXPECT_TRUE(file.contains("Chk Count=5\r\n"));
    EXPECT_TRUE(file.startsWith("[Setting7]\r\nName=" + platform::toSjis(p.setting.name) + "\r\n"));

    IniFile again(home.file("Setting.ini"));
    ASSERT_TRUE(again.load());
    ProfileTable t2;
    loadProfileRecord(again, 7, t2);
    EXPECT_EQ(t2[7].read.seChar, 2);
    EXPECT_EQ(t2[7].send.chkCount, 5);
    EXPECT_EQ(t2[7].send.sendMsg, p.send.sendMsg);
    EXPECT_EQ(t2[7].send.nNon, "Y");
    EXPECT_EQ(t2[7].read.parity, 2);
    EXPECT_EQ(t2[7].read.dataLength, 1);
    EXPECT_EQ(t2[7].send.parity, 1);
    EXPECT_EQ(t2[7].setting.name, p.setting.name);
}
