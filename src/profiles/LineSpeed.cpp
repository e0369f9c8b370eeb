#include "profiles/LineSpeed.h"

#include <array>

namespace tornyx {

namespace {

constexpr std::array<int, SpeedCount> Bauds = {1200,  2400, 4800,  9600,  14400,
                                               19200, 4800, 38400, 57600, 115200};

} // namespace

bool isKnownSpeed(int speed) {
    return speed >= 0 && speed < SpeedCount;
}

int speedBaud(int speed) {
    return isKnownSpeed(speed) ? Bauds[std::size_t(speed)] : 0;
}

QString speedItemText(int speed, SpeedList list) {
    if (!isKnownSpeed(speed))
        return {};
    if (speed == TapeSpeed)
        return list == SpeedList::Receive ? QStringLiteral(u"ﾃｰﾌﾟﾘｰﾀﾞより受信")
                                          : QStringLiteral(u"ﾃｰﾌﾟﾊﾟﾝﾁに送信");
    return QString::number(speedBaud(speed));
}

QStringList speedItems(SpeedList list) {
    QStringList items;
    for (int s = 0; s < SpeedCount; ++s)
        items << speedItemText(s, list);
    return items;
}

QString speedPanelText(int speed) {
    if (!isKnownSpeed(speed))
        return {};
    if (speed == TapeSpeed)
        return QStringLiteral(u": 機器,");
    // Right-aligned in five places as the classic texts are (": 9600,",
    // ":19200,"); a six-digit rate takes the place of the blank.
    return ":" + QString::number(speedBaud(speed)).rightJustified(5, ' ') + ",";
}

} // namespace tornyx
