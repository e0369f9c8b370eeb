#include "app/LineOptionsFromOptions.h"

#include <gtest/gtest.h>

using namespace tornyx;

TEST(LineOptionsFrom, OnlyAnExactYSwitchesAnOptionOn) {
    Options o;
    LineOptions l = lineOptionsFrom(o);
    EXPECT_TRUE(l.dc3Is93) << "0x93 is the default on a fresh installation";
    EXPECT_FALSE(l.skipSpaces || l.dtrAlwaysOn || l.autoSwitch || l.noLineCheck || l.dsrCheck);

    o.dc3 = "y";
    o.set("op4", "Y");
    o.set("op5", "Y");
    o.set("op6", "Y");
    o.set("op13", "Y");
    o.set("op14", "YES");
    o.modemePort1 = "com3";
    l = lineOptionsFrom(o);
    EXPECT_FALSE(l.dc3Is93);
    EXPECT_TRUE(l.skipSpaces && l.dtrAlwaysOn && l.autoSwitch && l.noLineCheck);
    EXPECT_FALSE(l.dsrCheck);
    EXPECT_EQ(l.excludedPort1, "com3");
}
