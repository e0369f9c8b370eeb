#include "profiles/CommProfile.h"

#include <array>
#include <iterator>

namespace tornyx {

QString defaultProfileName(int n) {
    if (n == 11)
        return QStringLiteral(u"OSP専用_NO.1");
    if (n == 12)
        return QStringLiteral(u"OSP専用_NO.2");
    return QStringLiteral(u"設定") + QString::number(n);
}

CommProfile defaultProfile(int n) {
    CommProfile p;
    p.setting.name = defaultProfileName(n);
    return p;
}

ProfileTable::ProfileTable() {
    for (int n = 1; n <= ProfileCount; ++n)
        m_profiles[n - 1] = defaultProfile(n);
}

SendCode sendCodeOf(const SendGroup& send) {
    switch (send.code) {
    case 0:
        return SendCode::Iso;
    case 1:
        return SendCode::Eia;
    case 2:
        return SendCode::Ascii;
    case 3:
        return SendCode::User;
    default:
        return SendCode::Unknown;
    }
}

ReceiveCode receiveCodeOf(const ReadGroup& read) {
    switch (read.code) {
    case 0:
        return ReceiveCode::Auto;
    case 1:
        return ReceiveCode::Ascii;
    case 2:
        return ReceiveCode::Eia;
    case 3:
        return ReceiveCode::Iso;
    case 4:
        return ReceiveCode::User;
    default:
        return ReceiveCode::Unknown;
    }
}

namespace {

constexpr std::array<int, SpeedCount> Bauds = {1200,  2400, 4800,  9600,  14400,
                                               19200, 4800, 38400, 57600, 115200};

} // namespace

int speedBaud(int speed) {
    return isKnownSpeed(speed) ? Bauds[std::size_t(speed)] : 0;
}

QStringList speedItems(SpeedList list) {
    QStringList items;
    for (int s = 0; s < SpeedCount; ++s)
        items << (s != TapeSpeed               ? QString::number(speedBaud(s))
                  : list == SpeedList::Receive ? QStringLiteral(u"ﾃｰﾌﾟﾘｰﾀﾞより受信")
                                               : QStringLiteral(u"ﾃｰﾌﾟﾊﾟﾝﾁに送信"));
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

QString stopBitsPanelText(int stopBits) {
    return stopBits == 0   ? QStringLiteral(" 1")
           : stopBits == 1 ? QStringLiteral(" 2")
                           : QStringLiteral(" 1.5");
}

} // namespace tornyx
