#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

namespace tornyx::platform {

// Conversion between the Windows Japanese code page (CP932, Shift-JIS with
// 0x5C as backslash and 0x7E as tilde) and Qt's Unicode strings. All files the
// program reads and writes, and every text it shows, are in this code page.

// Bytes that are no valid CP932 sequence become U+FFFD, one per byte, so
// that a damaged file still loads and nothing around the damage is lost.
QString fromSjis(QByteArrayView bytes);

// Characters CP932 cannot hold become '?'; *unmappable (when given) receives
// how many there were, so that a caller can warn before it writes.
QByteArray toSjis(QStringView text, qsizetype* unmappable = nullptr);

// For texts that must come back byte for byte (settings values): a byte that
// is no valid CP932 sequence becomes the lone surrogate U+DC00 + byte instead
// of U+FFFD, and toSjisExact gives it back as that byte.
QString fromSjisExact(QByteArrayView bytes);
// CP932 bytes of text, with such surrogates written as their bytes; nullopt
// when text holds a character CP932 cannot hold.
std::optional<QByteArray> toSjisExact(QStringView text);

// True when the byte starts a two-byte CP932 character.
constexpr bool isSjisLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

} // namespace tornyx::platform
