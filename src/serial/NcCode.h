#pragma once

#include <optional>

namespace tornyx {

// How characters are put on the line and taken off it during one transfer.
enum class CodeMode {
    Iso,       // even parity in bit 7 when sending, bit 7 stripped when receiving
    Eia,       // through the EIA tables
    Raw,       // unchanged (the UART adds or checks parity)
    Undecided, // receive only: the first data byte chooses Iso or Eia
};

namespace nc {

constexpr unsigned char Nul = 0x00;
constexpr unsigned char Enq = 0x05; // the machine asks for the program
constexpr unsigned char Lf = 0x0A;
constexpr unsigned char Cr = 0x0D;
constexpr unsigned char Dc1 = 0x11; // XON: the machine may send again / start
constexpr unsigned char Dc2 = 0x12;
constexpr unsigned char Dc3 = 0x13;       // XOFF: pause
constexpr unsigned char Dc3Parity = 0x93; // DC3 with the ISO parity bit set
constexpr unsigned char Dc4 = 0x14;       // end of transfer
constexpr unsigned char Can = 0x18;       // cancel
constexpr unsigned char EiaEndOfBlock = 0x80;

// The pause (XOFF) character: 0x93 when the option says so, else 0x13.
constexpr unsigned char pauseCharacter(bool dc3Is93) {
    return dc3Is93 ? Dc3Parity : Dc3;
}

// Number of 1-bits is odd.
constexpr bool hasOddBits(unsigned char b) {
    int n = 0;
    for (unsigned v = b; v; v >>= 1)
        n += int(v & 1u);
    return (n & 1) != 0;
}

// ISO: bit 7 set when the 8-bit value has an odd number of 1-bits.
constexpr unsigned char encodeIso(unsigned char c) {
    return hasOddBits(c) ? static_cast<unsigned char>(c | 0x80) : c;
}

// EIA byte of a text character; nullopt for a character without an EIA code
// (CR, TAB, lower case, most punctuation), which is not sent at all.
std::optional<unsigned char> encodeEia(unsigned char c);
// Text character of an EIA byte; 0 for a byte outside the table.
unsigned char decodeEia(unsigned char b);

// Encoding for the writer; nullopt means "drop the character". Undecided
// behaves as raw (it never occurs while sending).
std::optional<unsigned char> encode(unsigned char c, CodeMode mode);

// Decoding for the reader, in this order: DC1 and ENQ; the pause character;
// NUL, DC2, DC4 and CAN pass unchanged. Then an undecided mode is settled by
// the parity of b (odd: EIA, even: ISO) and b is decoded in the mode.
unsigned char decode(unsigned char b, CodeMode& mode, unsigned char pauseChar);

} // namespace nc
} // namespace tornyx
