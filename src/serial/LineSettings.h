#pragma once

#include "profiles/CommProfile.h"

#include <QString>

namespace tornyx {

// Which group of the profile a transfer opens the line with: send (the
// send and DNC runs) or receive.
enum class LineDirection { Send, Receive };
inline constexpr LineDirection SendKind = LineDirection::Send;
inline constexpr LineDirection ReceiveKind = LineDirection::Receive;

// The active profile's fields for one direction, copied when a transfer
// opens the line, plus the direction.
// Fields of the other direction stay at 0 / empty.
struct LineSettings {
    LineDirection kind = SendKind;
    // both directions
    int speed = 0;
    int code = 0;
    int stopBits = 0;
    QString port;
    int signal = 0;
    int buff = 0;
    int control = 0;
    // send only
    int startChar = 0;
    int endChar = 0;
    int feed = 0;
    int invTime = 0;
    int crlfType = 0;
    int dncSend = 0;
    // receive only
    int change = 0;
    int word = 0;
    int rSignal = 0;
    int endCode = 0;
    int seChar = 0;

    static LineSettings fromProfile(const CommProfile& profile, LineDirection kind);
};

} // namespace tornyx
