#include "serial/LinePacer.h"

#include "platform/SerialPort.h"

#include <gtest/gtest.h>

#include <functional>

using namespace tornyx;

namespace {

std::int64_t characterNs(int baud) {
    platform::LineParameters p;
    p.baud = baud;
    p.dataBits = 8;
    p.stopBits = platform::StopBits::Two;
    return p.characterTimeNs();
}

// A writer that hands a byte over whenever the pacer has room, late by what
// lateness(n) says for the n-th byte; returns the time it got to.
std::int64_t writeFor(LinePacer& p, std::int64_t fromUs, std::int64_t forUs,
                      const std::function<std::int64_t(int n)>& lateness, int* written = nullptr) {
    std::int64_t now = fromUs;
    for (int n = 0; now < fromUs + forUs; ++n) {
        now += p.untilRoomUs(now, 0) + lateness(n);
        p.noteWritten(now);
        if (written)
            ++*written;
    }
    return now;
}

} // namespace

TEST(LinePacer, TheLeadGrowsWithTheLatenessSeenAndShrinksWhenTheComputerCalms) {
    const std::int64_t charNs = characterNs(19200);
    LinePacer p(charNs, LinePacer::defaultMaxLeadUs(charNs));
    const std::int64_t twoChars = 2 * charNs / 1000;
    std::int64_t now = writeFor(p, 1000000, 1000000, [](int) { return 20; });
    EXPECT_LE(p.leadUs(), twoChars + 100) << "quiet: one byte waits behind the one on the line";

    now = writeFor(p, now, 1000000, [](int n) { return n % 50 == 0 ? 4000 : 20; });
    EXPECT_GE(p.leadUs(), charNs / 1000 + 4000) << "busy: the lead covers a 4 ms late wake-up";
    EXPECT_LE(p.leadUs(), p.maxLeadUs());

    now = writeFor(p, now, 6000000, [](int) { return 20; });
    EXPECT_LE(p.leadUs(), twoChars + 200) << "calm again";

    writeFor(p, now, 100000, [](int n) { return n == 10 ? 20000 : 0; });
    EXPECT_EQ(p.leadUs(), p.maxLeadUs()) << "a 20 ms stall asks for more than the most it may";
}

TEST(LinePacer, AGapTheRunAskedForIsNoLateness) {
    const std::int64_t charNs = characterNs(19200);
    LinePacer p(charNs, LinePacer::defaultMaxLeadUs(charNs));
    std::int64_t now = writeFor(p, 1000000, 100000, [](int) { return 0; });
    p.noteIdle(); // a 4000 ms wait, the machine's pause, a step
    now += 4000000;
    writeFor(p, now, 100000, [](int) { return 0; });
    EXPECT_LE(p.leadUs(), 2 * charNs / 1000 + 5) << "not the 4 s";
}

// In whole microseconds a character of 115200 bit/s 8N2 is 96 us instead of
// 95.49: a model in microseconds would let the line idle 0.5% of the time.
TEST(LinePacer, AFastLineIsModelledWithoutDrift) {
    const std::int64_t charNs = characterNs(115200);
    LinePacer p(charNs, LinePacer::defaultMaxLeadUs(charNs));
    int written = 0;
    writeFor(
        p, 1000000, 10000000, [](int) { return 0; }, &written);
    EXPECT_NEAR(written, 10 * 115200 / 11, 4);
}

TEST(LinePacer, ADeviceBehindTheModelHoldsTheWriterBack) {
    const std::int64_t charNs = 1000000; // 1 ms characters
    LinePacer p(charNs, 5000);
    p.noteWritten(0);
    EXPECT_EQ(p.untilRoomUs(2000, 0), 0) << "the model says the line is idle";
    // CTS held off: the device still holds ten bytes.
    EXPECT_EQ(p.untilRoomUs(2000, 10), 10000 - (p.leadUs() - 1000));
    EXPECT_GE(p.untilRoomUs(2000, 10), 8000);
}
