#include "status/Caption.h"

#include <gtest/gtest.h>

using namespace tornyx;

namespace {
QString q(const char16_t* s) {
    return QString::fromUtf16(s);
}
} // namespace

TEST(Caption, EveryModeWithTheFullPath) {
    const QString p = "/nc/work/P1.NC";
    const QString v = " Ver0.1.0";
    EXPECT_EQ(makeCaption(1, p, false, v), q(u"<編集>/nc/work/P1.NC - Tornyx Ver0.1.0"));
    EXPECT_EQ(makeCaption(2, q(u"無題"), false, v), q(u"<新規作成>無題 - Tornyx Ver0.1.0"));
    EXPECT_EQ(makeCaption(3, p, false, v), q(u"<編集> - Tornyx Ver0.1.0"));
    EXPECT_EQ(makeCaption(4, p, false, v), q(u"<編集><変更>/nc/work/P1.NC - Tornyx Ver0.1.0"));
    EXPECT_EQ(makeCaption(5, p, false, v), q(u"Tornyx Ver0.1.0 (Win2000/XP/Vista)"));
    EXPECT_EQ(makeCaption(6, p, false, v), q(u"<受信>/nc/work/P1.NC - Tornyx Ver0.1.0"));
    EXPECT_EQ(makeCaption(7, p, false, v), QString());
    EXPECT_EQ(makeCaption(0, p, false, v), QString());
}

TEST(Caption, TitleOptionShowsOnlyTheFileName) {
    const QString v = " Ver1.27.0.0";
    EXPECT_EQ(makeCaption(6, "/nc/in/RECV.NC", true, v), q(u"<受信>RECV.NC - Tornyx Ver1.27.0.0"));
    EXPECT_EQ(makeCaption(1, "/nc/P1.NC", true, v), q(u"<編集>P1.NC - Tornyx Ver1.27.0.0"));
    EXPECT_EQ(makeCaption(2, q(u"無題"), true, v), q(u"<新規作成>無題 - Tornyx Ver1.27.0.0"));
    EXPECT_EQ(makeCaption(1, "", true, v), q(u"<編集> - Tornyx Ver1.27.0.0"));
    EXPECT_EQ(makeCaption(7, "/nc/P1.NC", true, v), QString());
}
