#include "send/TSendTime.h"

#include <gtest/gtest.h>

using tornyx::SendCounters;
using tornyx::TSendTime;

TEST(RemainingTime, ThousandCharactersPerTenSecondsWithFiveThousandLeft) {
    SendCounters c;
    c.reset(6000);
    c.sentCount = 1000;
    TSendTime::tick(c);
    EXPECT_EQ(c.remainingSeconds.load(), 50);
    EXPECT_EQ(c.lastSampleCount.load(), 1000);
    c.sentCount = 2000;
    TSendTime::tick(c);
    EXPECT_EQ(c.remainingSeconds.load(), 40);
}

TEST(RemainingTime, StalledSendKeepsTheLastEstimate) {
    SendCounters c;
    c.reset(6000);
    c.sentCount = 1000;
    TSendTime::tick(c);
    c.sentCount = 1010; // 10 characters in ten seconds: not enough to judge
    TSendTime::tick(c);
    EXPECT_EQ(c.remainingSeconds.load(), 50);
    EXPECT_EQ(c.lastSampleCount.load(), 1000);
    c.sentCount = 1011; // 11 characters: rate 1/s
    TSendTime::tick(c);
    EXPECT_EQ(c.remainingSeconds.load(), 4989);
}

TEST(RemainingTime, SlowButMovingSendAndBackwardProgress) {
    SendCounters c;
    c.reset(100);
    c.sentCount = 15; // rate 1 (integer division), 85 s left
    TSendTime::tick(c);
    EXPECT_EQ(c.remainingSeconds.load(), 85);
    c.sentCount = 0; // restart: negative for one tick, never a crash
    TSendTime::tick(c);
    EXPECT_EQ(c.remainingSeconds.load(), -100);
}

TEST(RemainingTime, LargeCountsDoNotOverflow) {
    SendCounters c;
    c.reset(INT32_MAX);
    c.sentCount = INT32_MAX - 10000;
    TSendTime::tick(c);
    EXPECT_EQ(c.remainingSeconds.load(), 0);
    c.lastSampleCount = INT32_MIN + 5;
    c.sentCount = INT32_MAX;
    TSendTime::tick(c);
    EXPECT_EQ(c.remainingSeconds.load(), 0);
}
