#include "profiles/CommProfile.h"

#include <gtest/gtest.h>

using namespace tornyx;

TEST(LineSpeed, StoredValuesKeepTheirMeaningAndTheFastRatesFollowTheTape) {
    EXPECT_EQ(speedItems(SpeedList::Receive).join('|'),
              QStringLiteral(u"1200|2400|4800|9600|14400|19200|ﾃｰﾌﾟﾘｰﾀﾞより受信|38400|57600|115200"));
    EXPECT_EQ(speedItems(SpeedList::Send).at(TapeSpeed), QStringLiteral(u"ﾃｰﾌﾟﾊﾟﾝﾁに送信"));
    EXPECT_EQ(speedBaud(TapeSpeed), 4800);
    for (int unknown : {-1, 10, 99}) {
        EXPECT_FALSE(isKnownSpeed(unknown));
        EXPECT_EQ(speedBaud(unknown), 0);
        EXPECT_TRUE(speedPanelText(unknown).isEmpty());
    }
}

TEST(LineSpeed, PanelTextsRightAlignTheRate) {
    const QStringList expected = {": 1200,", ": 2400,", ": 4800,", ": 9600,", ":14400,",
                                  ":19200,", ": 機器,", ":38400,", ":57600,", ":115200,"};
    for (int s = 0; s < SpeedCount; ++s)
        EXPECT_EQ(speedPanelText(s), expected.at(s)) << s;
}
