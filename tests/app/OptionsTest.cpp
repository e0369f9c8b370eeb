#include "app/Options.h"
#include "platform/IniFile.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

using namespace tornyx;
using platform::IniFile;
using test::TempHome;

TEST(Options, DefaultsWithoutFileAndEveryKeyWritten) {
    TempHome home;
    IniFile ini(home.file("Tornyx.INI"));
    ini.load();
    Options o;
    o.load(ini);
    EXPECT_EQ(o.left, 10);
    EXPECT_EQ(o.top, 10);
    EXPECT_EQ(o.width, 550);
    EXPECT_EQ(o.height, 470);
    EXPECT_EQ(o.setNo, 1);
    EXPECT_TRUE(o.isOn(Opt::Dc3Is93));
    EXPECT_TRUE(o.isOn(Opt::Completion));
    EXPECT_FALSE(o.isOn(Opt::SelectPrograms));
    EXPECT_FALSE(o.isOn(Opt::PowerOff));
    EXPECT_EQ(o.user1Name, QString::fromUtf16(u"ﾕｰｻﾞ1"));
    o.saveGeometry(ini);
    o.save(ini);
    ASSERT_TRUE(ini.save());
    const QByteArray f = home.read("Tornyx.INI");
    for (const char* key :
         {"Top=10",     "Left=10",       "Width=550",     "Height=470",     "File1=",       "File5=",
          "SetNo=1",    "DC3(0X93)=Y",   "op1=N",         "Power_Off=N",    "op11=0",       "op18=0",
          "op19=Y",     "op22=N",        "Mask_No=1",     "User2_Mask=*.*", "ModemePort2=", "FullPath=1",
          "FileName=0", "LeftMargin=15", "RightMargin=10"})
        EXPECT_TRUE(f.contains(QByteArray(key) + "\r\n")) << key;
    EXPECT_FALSE(f.contains("op8=")) << "op8 and op16 do not exist";
    EXPECT_FALSE(f.contains("op16="));
    // The options keep the order of reading: op10, op11, op12 ... op17, op18, op19.
    EXPECT_LT(f.indexOf("op10="), f.indexOf("op11="));
    EXPECT_LT(f.indexOf("op11="), f.indexOf("op12="));
    EXPECT_LT(f.indexOf("op17="), f.indexOf("op18="));
    EXPECT_LT(f.indexOf("op18="), f.indexOf("op19="));
}

TEST(Options, OutOfRangeNumbersTakeTheirDefaults) {
    TempHome home;
    home.write("Tornyx.INI",
               "[Setting]\r\nSetNo=99\r\nMask_No=-1\r\n[Options]\r\nop3=y\r\nop4=Y\r\nop11=5\r\n");
    IniFile ini(home.file("Tornyx.INI"));
    ASSERT_TRUE(ini.load());
    Options o;
    o.load(ini);
    EXPECT_EQ(o.setNo, 1);
    EXPECT_EQ(o.maskNo, 1);
    EXPECT_FALSE(o.isOn(Opt::Metres)) << "only exactly Y is on";
    EXPECT_TRUE(o.isOn(Opt::SkipSpaces));
    EXPECT_TRUE(o.stepSendEnabled);
}

TEST(Options, SaveDialogExtensionFollowsTheLastFileType) {
    Options o;
    o.user1Mask = "*.PRG";
    const std::pair<int, std::optional<QString>> cases[] = {
        {1, "nc"}, {2, "txt"}, {3, "*.PRG"}, {4, "*.*"}, {5, "nc"}, {6, "MIN"}, {7, ""}, {8, std::nullopt}};
    for (const auto& [mask, ext] : cases) {
        o.maskNo = mask;
        EXPECT_EQ(defaultExtension(o), ext) << mask;
    }
}

TEST(Options, EveryKeyReadsBackWhatWasWrittenAndOddValuesAreKept) {
    TempHome home;
    home.write("Tornyx.INI", "[Options]\r\nop3=y\r\nop22=Y\r\n[Setting]\r\nDC3(0X93)=N\r\n");
    IniFile ini(home.file("Tornyx.INI"));
    ASSERT_TRUE(ini.load());
    Options o;
    o.load(ini);
    EXPECT_EQ(o.text(Opt::Metres), "y");
    EXPECT_TRUE(o.isOn(Opt::FileNameCaption));
    EXPECT_FALSE(o.isOn(Opt::Dc3Is93));
    o.recentFiles[2] = "/nc/P3.NC";
    o.setNo = 12;
    o.rightMargin = 0;
    o.setOn(Opt::DncEndAsReturn, true);
    o.save(ini);
    ASSERT_TRUE(ini.save());
    IniFile again(home.file("Tornyx.INI"));
    ASSERT_TRUE(again.load());
    Options back;
    back.load(again);
    EXPECT_EQ(back.text(Opt::Metres), "y") << "a hand-edited value is shown and stored unchanged";
    EXPECT_EQ(back.recentFiles[2], "/nc/P3.NC");
    EXPECT_EQ(back.setNo, 12);
    EXPECT_EQ(back.rightMargin, 0);
    EXPECT_TRUE(back.isOn(Opt::DncEndAsReturn));
    EXPECT_EQ(Options::key(Opt::DncEndAsReturn), "op15");
    EXPECT_EQ(Options::section(Opt::Dc3Is93), "Setting");
}
