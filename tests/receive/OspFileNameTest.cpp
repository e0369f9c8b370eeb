#include "receive/OspFileName.h"

#include <gtest/gtest.h>

using namespace tornyx;

TEST(OspFileName, PlainNamesGetTheirExtensionAndLoseBlanks) {
    EXPECT_EQ(finalOspFileName("O1234").name, "O1234.MIN");
    EXPECT_EQ(finalOspFileName("PART 1.NC").name, "PART1.NC");
    EXPECT_FALSE(finalOspFileName("PART 1.NC").changed);
}

TEST(OspFileName, NamesThatReachOutOfTheFolderAreCleanedOrRefused) {
    const struct {
        QString in;
        QString out;
    } cases[] = {
        {"../../etc/passwd", "etcpasswd.MIN"},
        {"..\\..\\WIN.INI", "WIN.INI"},
        {"C:PROG.NC", "CPROG.NC"},
        {"/abs/path.NC", "abspath.NC"},
        {".hidden", "hidden.MIN"},
        {"A\x01"
         "B.NC",
         "AB.NC"},
        {"P*?<>|\".NC", "P.NC"},
        {"//", ""},
        {"..", ""},
        {"CON", ""},
        {"com1.nc", ""},
        {QString(300, 'A'), ""},
    };
    for (const auto& c : cases) {
        const OspFileName f = finalOspFileName(c.in);
        EXPECT_EQ(f.name, c.out) << c.in.toStdString();
        EXPECT_TRUE(f.changed) << c.in.toStdString();
        EXPECT_FALSE(f.name.contains('/'));
    }
}
