#include "app/FileTypeList.h"
#include "app/OptionRows.h"
#include "app/Options.h"
#include "platform/TextCodec.h"
#include "support/JapaneseText.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace tornyx;
using test::u;

namespace {} // namespace

TEST(FileTypeList, SevenEntriesInTheirExactForm) {
    UserFileTypes user;
    user.name1 = "CAM";
    user.mask1 = "*.nc2";
    EXPECT_EQ(
        fileTypeListText(user),
        u(u"NC文章(*.nc;*.nc1;*.nc0)|*.NC;*.NC1;*.NC0|ﾃｷｽﾄ(*.txt)|*.TXT|CAM(*.nc2)|*.nc2|ﾕｰｻﾞ2(*.*)|*.*|"
          u"すべて表示(*.*)|*.*|OSP用(*.MIN;*.SUB;*.SDF;*.RBT;*.SSB;*.RPD)|*.MIN;*.SUB;*.SDF;*.RBT;*.SSB;*."
          u"RPD|"
          u"拡張子無し    |"));
    // Qt reads the patterns from the last brackets, separated by blanks.
    const QStringList filters = nameFilters(user);
    ASSERT_EQ(filters.size(), FileTypeCount);
    EXPECT_EQ(filters[0], u(u"NC文章(*.nc;*.nc1;*.nc0) (*.NC *.NC1 *.NC0)"));
    EXPECT_EQ(filters[2], "CAM(*.nc2) (*.nc2)");
    EXPECT_EQ(filters[6], u(u"拡張子無し     ()"));
}

TEST(FileTypeList, DefaultExtensionAtStartAndWhenPicked) {
    UserFileTypes user;
    user.mask1 = "*.nc2";
    user.mask2 = "*.*";
    const std::tuple<int, std::optional<QString>, std::optional<QString>> cases[] = {
        {1, "nc", "NC"},
        {2, "txt", "TXT"},
        {3, "nc2", "nc2"}, // the pattern's extension, not "*.nc2"
        {4, "", ""},       // "*.*" names no extension
        {5, "nc", "NC"},
        {6, "MIN", "MIN"},
        {7, "", ""},
        {0, std::nullopt, std::nullopt},
        {8, std::nullopt, std::nullopt}};
    for (const auto& [entry, start, picked] : cases) {
        EXPECT_EQ(startExtension(entry, user), start) << entry;
        EXPECT_EQ(pickedExtension(entry, user), picked) << entry;
    }
    EXPECT_EQ(patternExtension("*.nc*"), "");
    EXPECT_EQ(patternExtension("PROG"), "");
    EXPECT_EQ(patternExtension("*.tap *.nc"), "tap");

    FileTypeChoice choice{user, 1, "nc"};
    choice.pickForSave(9);
    EXPECT_EQ(choice.index, 1) << "no such entry: nothing changes";
    EXPECT_EQ(choice.defaultExtension, "nc");
    choice.pickForSave(3);
    EXPECT_EQ(choice.index, 3);
    EXPECT_EQ(choice.defaultExtension, "nc2");
}

TEST(FileTypeList, NameTypedWithoutExtensionGetsTheDefault) {
    EXPECT_EQ(withDefaultExtension("/nc/PROG", "NC"), "/nc/PROG.NC");
    EXPECT_EQ(withDefaultExtension("/nc/PROG.TXT", "NC"), "/nc/PROG.TXT");
    EXPECT_EQ(withDefaultExtension("/nc.d/PROG", "nc"), "/nc.d/PROG.nc")
        << "a dot in a folder is no extension";
    EXPECT_EQ(withDefaultExtension("/nc/PROG.", "NC"), "/nc/PROG.");
    EXPECT_EQ(withDefaultExtension("/nc/PROG", ""), "/nc/PROG");
    EXPECT_EQ(withDefaultExtension("", "NC"), "");
}

TEST(FileTypeList, PatternCompletion) {
    EXPECT_EQ(completePattern("nc2"), "*.nc2");
    EXPECT_EQ(completePattern(".nc2"), "*.nc2");
    EXPECT_EQ(completePattern("*.nc2"), "*.nc2");
    EXPECT_EQ(completePattern("*.*"), "*.*");
}

TEST(OptionRows, TwentyTwoRowsOnTheirKeysWithYnAligned) {
    const QStringList captions = optionRowCaptions();
    ASSERT_EQ(captions.size(), OptionRowCount);
    EXPECT_EQ(captions[3], u(u"(共通)除外ポート番号１")) << "free-text rows take no (Y/N)";
    EXPECT_EQ(captions[4], u(u"(共通)除外ポート番号２"));
    qsizetype column = -1;
    for (int i = 0; i < OptionRowCount; ++i) {
        const QString label = QString::fromUtf16(optionRows()[i].label);
        EXPECT_TRUE(captions[i].startsWith(label)) << i;
        if (optionRows()[i].isFreeText())
            continue;
        ASSERT_TRUE(captions[i].endsWith("(Y/N)")) << i;
        const qsizetype at = platform::toSjis(captions[i]).indexOf("(Y/N)");
        if (column < 0)
            column = at;
        EXPECT_EQ(at, column) << "row " << i << " in Shift-JIS columns";
    }

    Options o;
    o.setText(Opt::Metres, "Y");
    o.setText(Opt::FileNameCaption, "x"); // hand-edited: shown as it is
    o.modemePort1 = "com3";
    const OptionRowValues v = optionRowValues(o);
    EXPECT_EQ(v[0], "Y");
    EXPECT_EQ(v[3], "com3");
    EXPECT_EQ(v[5], "Y") << "DC3(0X93) defaults to Y";
    EXPECT_EQ(v[20], "Y") << "op19 defaults to Y";
    EXPECT_EQ(v[21], "x");
    OptionRowValues changed = v;
    changed[4] = "COM7";
    changed[5] = "N";
    changed[12] = "Y";
    applyOptionRowValues(o, changed);
    EXPECT_EQ(o.modemePort2, "COM7");
    EXPECT_EQ(o.text(Opt::Dc3Is93), "N");
    EXPECT_TRUE(o.isOn(Opt::SelectPrograms));
    EXPECT_EQ(optionRowValues(o), changed);
}
