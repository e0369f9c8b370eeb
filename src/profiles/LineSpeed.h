#pragma once

#include <QString>
#include <QStringList>

namespace tornyx {

// The "通信速度" values of a profile. 0..5 are the classic line rates, 6 is
// the tape punch (send) or tape reader (receive), fixed at 4800 bit/s 8N2,
// and 7..9 are the fast rates of modern controls and device servers. The
// fast rates come after the tape entry so that every value stored before
// they existed keeps its meaning.
constexpr int TapeSpeed = 6;
constexpr int SpeedCount = 10;

enum class SpeedList { Receive, Send };

// Line rate in bit/s of a stored value; 4800 for the tape entry, 0 for a
// value the program does not know.
int speedBaud(int speed);
bool isKnownSpeed(int speed);

// The text of value `speed` in the profile editor's speed list ("1200" ...
// "115200", "ﾃｰﾌﾟﾘｰﾀﾞより受信" or "ﾃｰﾌﾟﾊﾟﾝﾁに送信"); empty when unknown.
QString speedItemText(int speed, SpeedList list);
// The whole list, item position = stored value.
QStringList speedItems(SpeedList list);

// The speed part of transfer panel 3: ": 9600,", ":19200,", ":115200,",
// ": 機器," for the tape entry; empty when unknown.
QString speedPanelText(int speed);

} // namespace tornyx
