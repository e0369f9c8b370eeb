#include "serial/NcCode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tornyx;
using namespace tornyx::nc;

namespace {

std::string h(int b) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X", b & 0xFF);
    return buf;
}

struct Pair {
    unsigned char from;
    unsigned char to;
};

} // namespace

// --- ISO -------------------------------------------------------------------

class IsoEncoding : public testing::TestWithParam<Pair> {};

TEST_P(IsoEncoding, SetsEvenParityInBit7) {
    EXPECT_EQ(h(encodeIso(GetParam().from)), h(GetParam().to)) << "char " << h(GetParam().from);
}

INSTANTIATE_TEST_SUITE_P(Table, IsoEncoding,
                         testing::Values(Pair{'G', 0x47}, Pair{'%', 0xA5}, Pair{' ', 0xA0}, Pair{Dc3, 0x93},
                                         Pair{Lf, 0x0A}, Pair{Cr, 0x8D}, Pair{'O', 0xCF}, Pair{'1', 0xB1},
                                         Pair{'0', 0x30}, Pair{Dc1, 0x11}, Pair{Dc2, 0x12}, Pair{Dc4, 0x14},
                                         Pair{Can, 0x18}, Pair{0xB1, 0xB1}, Pair{0x80, 0x80}));

TEST(IsoEncoding, EveryResultHasEvenParity) {
    for (int c = 0; c < 128; ++c)
        EXPECT_FALSE(hasOddBits(encodeIso(static_cast<unsigned char>(c)))) << h(c);
}

// --- EIA -------------------------------------------------------------------

// The complete encoding table.
const Pair EiaTable[] = {
    {'0', 0x20}, {'1', 0x01}, {'2', 0x02}, {'3', 0x13}, {'4', 0x04}, {'5', 0x15}, {'6', 0x16}, {'7', 0x07},
    {'8', 0x08}, {'9', 0x19}, {'A', 0x61}, {'B', 0x62}, {'C', 0x73}, {'D', 0x64}, {'E', 0x75}, {'F', 0x76},
    {'G', 0x67}, {'H', 0x68}, {'I', 0x79}, {'J', 0x51}, {'K', 0x52}, {'L', 0x43}, {'M', 0x54}, {'N', 0x45},
    {'O', 0x46}, {':', 0x46}, {'P', 0x57}, {'Q', 0x58}, {'R', 0x49}, {'S', 0x32}, {'T', 0x23}, {'U', 0x34},
    {'V', 0x25}, {'W', 0x26}, {'X', 0x37}, {'Y', 0x38}, {'Z', 0x29}, {'%', 0x0B}, {'(', 0x1A}, {')', 0x4A},
    {'+', 0x70}, {'-', 0x40}, {'/', 0x31}, {'.', 0x6B}, {'&', 0x0E}, {',', 0x3B}, {Lf, 0x80},  {' ', 0x10},
    {Dc1, 0x11}, {Dc2, 0x12}, {Dc3, 0x13}, {Dc4, 0x14},
};

class EiaEncoding : public testing::TestWithParam<Pair> {};

TEST_P(EiaEncoding, GivesTheTableByte) {
    const auto b = encodeEia(GetParam().from);
    ASSERT_TRUE(b.has_value()) << "char " << h(GetParam().from);
    EXPECT_EQ(h(*b), h(GetParam().to)) << "char " << h(GetParam().from);
}

INSTANTIATE_TEST_SUITE_P(Table, EiaEncoding, testing::ValuesIn(EiaTable));

TEST(EiaEncoding, TableIsCompleteAndEverythingElseIsDropped) {
    int mapped = 0;
    for (int c = 0; c < 256; ++c)
        mapped += encodeEia(static_cast<unsigned char>(c)).has_value();
    EXPECT_EQ(mapped, 52);
    for (unsigned char c : {Cr, (unsigned char)'\t', (unsigned char)'g', (unsigned char)'#',
                            (unsigned char)'*', (unsigned char)'=', (unsigned char)';', (unsigned char)0xB1})
        EXPECT_FALSE(encodeEia(c).has_value()) << h(c);
}

TEST(EiaEncoding, ProgramTextExamples) {
    const auto line = [](const std::string& text) {
        std::string out;
        for (unsigned char c : text)
            if (auto b = encode(c, CodeMode::Eia))
                out += (out.empty() ? "" : " ") + h(*b);
        return out;
    };
    EXPECT_EQ(line("O1234"), "46 01 02 13 04");
    EXPECT_EQ(line(":1234"), "46 01 02 13 04");
    EXPECT_EQ(line("g01"), "20 01");
    EXPECT_EQ(line("G01\r\n"), "67 20 01 80");
}

// The complete decoding table: every printable entry and LF, "O" for 0x46.
class EiaDecoding : public testing::TestWithParam<Pair> {};

TEST_P(EiaDecoding, GivesTheTableCharacter) {
    EXPECT_EQ(h(decodeEia(GetParam().to)), h(GetParam().from)) << "byte " << h(GetParam().to);
}

std::vector<Pair> eiaDecodingTable() {
    std::vector<Pair> v;
    for (const Pair& p : EiaTable)
        if (p.from != ':' && p.from != Dc1 && p.from != Dc2 && p.from != Dc3 && p.from != Dc4)
            v.push_back(p);
    return v;
}

INSTANTIATE_TEST_SUITE_P(Table, EiaDecoding, testing::ValuesIn(eiaDecodingTable()));

TEST(EiaDecoding, HasFortySevenEntriesAndZeroOutside) {
    int mapped = 0;
    for (int b = 0; b < 256; ++b)
        mapped += decodeEia(static_cast<unsigned char>(b)) != 0;
    EXPECT_EQ(mapped, 47);
    EXPECT_EQ(decodeEia(0x46), 'O');
    EXPECT_EQ(decodeEia(0x7F), 0);
    CodeMode eia = CodeMode::Eia;
    EXPECT_EQ(decode(0x7F, eia, Dc3Parity), 0);
}

// --- decoding order ----------------------------------------------------------

struct DecodeCase {
    CodeMode mode;
    unsigned char pause;
    unsigned char byte;
    unsigned char expected;
    CodeMode modeAfter;
};

class DecodeOrder : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeOrder, ControlCharactersFirstThenTheMode) {
    const DecodeCase& c = GetParam();
    CodeMode mode = c.mode;
    EXPECT_EQ(h(decode(c.byte, mode, c.pause)), h(c.expected))
        << "byte " << h(c.byte) << " pause " << h(c.pause);
    EXPECT_EQ(int(mode), int(c.modeAfter)) << "byte " << h(c.byte);
}

constexpr auto Iso = CodeMode::Iso;
constexpr auto Eia = CodeMode::Eia;
constexpr auto Raw = CodeMode::Raw;
constexpr auto Und = CodeMode::Undecided;

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeOrder,
    testing::Values(
        // the undecided mode is settled by the first data byte
        DecodeCase{Und, Dc3, 0xA5, '%', Iso}, DecodeCase{Und, Dc3, 0x0B, '%', Eia},
        DecodeCase{Und, Dc3Parity, 0x46, 'O', Eia}, DecodeCase{Und, Dc3Parity, 0xCF, 'O', Iso},
        // control bytes pass unchanged and leave it undecided
        DecodeCase{Und, Dc3, 0x05, 0x05, Und}, DecodeCase{Und, Dc3, 0x11, 0x11, Und},
        DecodeCase{Und, Dc3, 0x12, 0x12, Und}, DecodeCase{Und, Dc3, 0x14, 0x14, Und},
        DecodeCase{Und, Dc3, 0x18, 0x18, Und}, DecodeCase{Und, Dc3, 0x00, 0x00, Und},
        DecodeCase{Und, Dc3, 0x13, 0x13, Und}, DecodeCase{Und, Dc3Parity, 0x93, 0x93, Und},
        DecodeCase{Eia, Dc3, 0x18, 0x18, Eia}, DecodeCase{Iso, Dc3, 0x14, 0x14, Iso},
        // the pause character comes before the tables
        DecodeCase{Eia, Dc3, 0x13, 0x13, Eia}, DecodeCase{Eia, Dc3Parity, 0x13, '3', Eia},
        DecodeCase{Eia, Dc3Parity, 0x93, 0x93, Eia}, DecodeCase{Eia, Dc3, 0x93, 0x00, Eia},
        DecodeCase{Iso, Dc3, 0x93, 0x13, Iso}, DecodeCase{Iso, Dc3Parity, 0x13, 0x13, Iso},
        DecodeCase{Raw, Dc3, 0x93, 0x93, Raw}, DecodeCase{Raw, Dc3Parity, 0x13, 0x13, Raw},
        // ISO strips bit 7 without checking it; raw is unchanged
        DecodeCase{Iso, Dc3, 0xCF, 'O', Iso}, DecodeCase{Iso, Dc3, 0x4F, 'O', Iso},
        DecodeCase{Iso, Dc3, 0x8A, 0x0A, Iso}, DecodeCase{Raw, Dc3, 0xCF, 0xCF, Raw},
        DecodeCase{Eia, Dc3, 0x80, Lf, Eia}, DecodeCase{Eia, Dc3, 0x10, ' ', Eia}));
