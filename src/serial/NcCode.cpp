#include "serial/NcCode.h"

#include <array>

namespace tornyx::nc {

namespace {

struct EiaEntry {
    unsigned char ch;
    unsigned char code;
};

// Text character -> EIA byte. ":" shares the code of "O"; the control
// characters DC1..DC4 keep their values (the EIA "3" equals DC3).
constexpr EiaEntry EiaTable[] = {
    {'0', 0x20}, {'1', 0x01}, {'2', 0x02}, {'3', 0x13}, {'4', 0x04},         {'5', 0x15}, {'6', 0x16},
    {'7', 0x07}, {'8', 0x08}, {'9', 0x19}, {'A', 0x61}, {'B', 0x62},         {'C', 0x73}, {'D', 0x64},
    {'E', 0x75}, {'F', 0x76}, {'G', 0x67}, {'H', 0x68}, {'I', 0x79},         {'J', 0x51}, {'K', 0x52},
    {'L', 0x43}, {'M', 0x54}, {'N', 0x45}, {'O', 0x46}, {':', 0x46},         {'P', 0x57}, {'Q', 0x58},
    {'R', 0x49}, {'S', 0x32}, {'T', 0x23}, {'U', 0x34}, {'V', 0x25},         {'W', 0x26}, {'X', 0x37},
    {'Y', 0x38}, {'Z', 0x29}, {'%', 0x0B}, {'(', 0x1A}, {')', 0x4A},         {'+', 0x70}, {'-', 0x40},
    {'/', 0x31}, {'.', 0x6B}, {'&', 0x0E}, {',', 0x3B}, {Lf, EiaEndOfBlock}, {' ', 0x10}, {Dc1, 0x11},
    {Dc2, 0x12}, {Dc3, 0x13}, {Dc4, 0x14},
};
static_assert(std::size(EiaTable) == 52);

struct Tables {
    std::array<short, 256> encode{};
    std::array<unsigned char, 256> decode{};
    constexpr Tables() {
        for (auto& e : encode)
            e = -1;
        for (const EiaEntry& e : EiaTable)
            encode[e.ch] = e.code;
        // The decoding table holds the printable characters and LF; the
        // control bytes are handled before it is consulted. "O" (not ":")
        // is what 0x46 means.
        for (const EiaEntry& e : EiaTable)
            if (e.ch != ':' && e.ch != Dc1 && e.ch != Dc2 && e.ch != Dc3 && e.ch != Dc4)
                decode[e.code] = e.ch;
    }
};

constexpr Tables T;

} // namespace

std::optional<unsigned char> encodeEia(unsigned char c) {
    const short v = T.encode[c];
    if (v < 0)
        return std::nullopt;
    return static_cast<unsigned char>(v);
}

unsigned char decodeEia(unsigned char b) {
    return T.decode[b];
}

std::optional<unsigned char> encode(unsigned char c, CodeMode mode) {
    switch (mode) {
    case CodeMode::Iso:
        return encodeIso(c);
    case CodeMode::Eia:
        return encodeEia(c);
    case CodeMode::Raw:
    case CodeMode::Undecided:
        break;
    }
    return c;
}

unsigned char decode(unsigned char b, CodeMode& mode, unsigned char pauseChar) {
    if (b == Dc1 || b == Enq || b == pauseChar || b == Nul || b == Dc2 || b == Dc4 || b == Can)
        return b;
    if (mode == CodeMode::Undecided)
        mode = hasOddBits(b) ? CodeMode::Eia : CodeMode::Iso;
    switch (mode) {
    case CodeMode::Iso:
        return static_cast<unsigned char>(b & 0x7F);
    case CodeMode::Eia:
        return decodeEia(b);
    case CodeMode::Raw:
    case CodeMode::Undecided:
        break;
    }
    return b;
}

} // namespace tornyx::nc
