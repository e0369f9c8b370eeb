#include "serial/LineSettings.h"

namespace tornyx {

LineSettings LineSettings::fromProfile(const CommProfile& profile, LineDirection kind) {
    LineSettings s;
    s.kind = kind;
    if (kind == ReceiveKind) {
        const ReadGroup& r = profile.read;
        s.speed = r.speed;
        s.code = r.code;
        s.stopBits = r.stopBits;
        s.port = r.port;
        s.change = r.change;
        s.word = r.word;
        s.signal = r.signal;
        s.rSignal = r.rSignal;
        s.buff = r.buff;
        s.endCode = r.endCode;
        s.control = r.control;
        s.seChar = r.seChar;
    } else {
        const SendGroup& w = profile.send;
        s.speed = w.speed;
        s.code = w.code;
        s.stopBits = w.stopBits;
        s.port = w.port;
        s.signal = w.signal;
        s.startChar = w.startChar;
        s.endChar = w.endChar;
        s.feed = w.feed;
        s.buff = w.buff;
        s.invTime = w.invTime;
        s.control = w.control;
        s.crlfType = w.crlfType;
        s.dncSend = w.dncSend;
    }
    return s;
}

} // namespace tornyx
