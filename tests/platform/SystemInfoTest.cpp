#include "platform/SystemInfo.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tornyx::platform;

namespace {

struct ReleaseCase {
    const char* contents;
    const char16_t* text;
};

class OsRelease : public ::testing::TestWithParam<ReleaseCase> {};

} // namespace

TEST(ProgramVersion, IsTheOneOfTheBuild) {
    EXPECT_EQ(versionText(), QStringLiteral(" Ver") + TORNYX_TEST_VERSION);
}

TEST_P(OsRelease, NamesTheSystemAsTheShellReadsTheFile) {
    const OsInfo os = osInfoFromRelease(QByteArray(GetParam().contents));
    EXPECT_EQ(os.text, QString::fromUtf16(GetParam().text));
    EXPECT_EQ(os.osClass, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Files, OsRelease,
    ::testing::Values(
        ReleaseCase{"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n",
                    u"OS=Debian GNU/Linux 12 (bookworm)"},
        ReleaseCase{"PRETTY_NAME='Ubuntu 22.04.4 LTS'\n", u"OS=Ubuntu 22.04.4 LTS"},
        ReleaseCase{"PRETTY_NAME=Alpine\n", u"OS=Alpine"},
        ReleaseCase{"  PRETTY_NAME=\"Shop \\\"A\\\" \\$5 \\\\ \\x\"\r\n", u"OS=Shop \"A\" $5 \\ \\x"},
        ReleaseCase{"PRETTY_NAME=\"Old\"\nPRETTY_NAME=\"New\"\n", u"OS=New"},
        ReleaseCase{"# PRETTY_NAME=\"comment\"\nNAME=Foo\n", u"OS=Linux"}, // the os-release default
        ReleaseCase{"PRETTY_NAME=\"\"\n", u"OS="},
        ReleaseCase{"PRETTY_NAME=\"Red\x1b[31m\tLinux\x7f\xe2\x80\x8e\"\n", u"OS=Red [31m Linux"},
        ReleaseCase{"PRETTY_NAME=\"\xff\xfe Linux \xe6\x97\xa5\xe6\x9c\xac\"\n",
                    u"OS=\ufffd\ufffd Linux 日本"},
        ReleaseCase{"", u"OS=Linux"}));

TEST(OsReleaseFiles, FirstReadableOneCountsAndNoneGivesNoText) {
    QTemporaryDir dir;
    const QString usrLib = dir.filePath("os-release");
    QFile f(usrLib);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("PRETTY_NAME=\"" + QByteArray(200, 'x') + "\"\n");
    f.close();
    const OsInfo os = readOsInfo({dir.filePath("missing"), usrLib});
    EXPECT_EQ(os.text, "OS=" + QString(80, 'x')) << "a caption is no place for a long story";
    EXPECT_EQ(os.osClass, 0);

    const OsInfo none = readOsInfo({dir.filePath("missing")});
    EXPECT_EQ(none.text, QString());
    EXPECT_EQ(none.osClass, -1);
}
