#pragma once

#include "profiles/CommProfile.h"

#include <QString>

namespace tornyx {

enum TransferKind { SendKind = 1, ReceiveKind = 2 };

// The active profile's fields for one direction, copied when a transfer
// opens the line, plus the transfer kind (1 send and DNC, 2 receive).
// Fields of the other direction stay at 0 / empty.
struct LineSettings {
    int kind = SendKind;
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

    static LineSettings fromProfile(const CommProfile& profile, int kind);
};

} // namespace tornyx
