#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace tornyx {

// Most fields are the zero-based position of the chosen entry in the profile
// editor's drop-down lists; the comments give the meaning of each value.

struct ReadGroup {
    int speed = 2;    // see TapeSpeed: 0..5 = 1200..19200, 6 = tape reader, 7..9 = 38400..115200
    int code = 0;     // 0 auto EIA/ISO, 1 ASCII, 2 EIA, 3 ISO, 4 user framing
    int stopBits = 1; // 0 = 1, 1 = 2, other = 1.5
    QString port = "COM1";
    int change = 0;     // 0 as received, 1 ":" -> "O", 2 "O" -> ":"
    int word = 0;       // blank handling 0..3
    int signal = 0;     // 0 start on the machine's signal, 1 do not wait
    int rSignal = 0;    // 0 send the start signal to the tape reader, 1 do not
    int buff = 3;       // 0..6 = 128, 256, 512, 1024, 2048, 3072, 4096
    int endCode = 0;    // stored line break: 0 LF, 1 LF+CR, 2 CR
    int control = 0;    // 0 XON/XOFF, 1 RTS/CTS
    int seChar = 3;     // "%" framing: 0 head, 1 tail, 2 both, 3 none
    int dataLength = 0; // user framing: 0 = 7 bits, 1 = 8 bits
    int parity = 0;     // user framing: 0 none, 1 even, 2 odd
};

struct SendGroup {
    int speed = 2; // as for receive, 6 = tape punch (4800 8N2)
    int code = 0;  // 0 ISO, 1 EIA, 2 ASCII, 3 user framing
    int stopBits = 1;
    QString port = "COM1";
    int signal = 0;    // 0 wait for the machine's start character, 1 operator confirms
    int startChar = 0; // 0..7, see the send steps
    int endChar = 0;   // 0..4
    int feed = 0;      // 0 none, 1 50 mm, 2 100 mm, 3 150 mm (tape punch only)
    int buff = 0;      // 0..19 = 2 ... 500
    int invTime = 0;   // ms pause after every data character
    int control = 0;
    int chkCount = 0; // stored and shown only
    int crlfType = 0; // end of block: 0 LF, 1 CR+LF, 2 CR+LF+LF, 3 CR
    int dncSend = 0;  // 1 = the send button starts the DNC run
    QString sendMsg;  // replaced by blanks in every sent line
    QString fNon;     // "Y": do not send the feed rate's decimal point
    QString nNon;     // "Y": do not send sequence numbers
    int dataLength = 0;
    int parity = 0;
};

struct SettingGroup {
    QString name;
    QString mailFlg = "N";
    QString mailAddress;
    QString mailSubject;
    QString dirPathSub;
    bool fontChg = false;
    QString fontName = QStringLiteral(u"ＭＳ ゴシック");
    int fontSize = 12;
    int fontColor = 0x00FF00; // 0x00BBGGRR
    int screenColor = 0x000000;
    bool posChg = false;
    int posTop = 0;
    int posLeft = 0;
    int posHeight = 626;
    int posWidth = 470;
};

struct CommProfile {
    ReadGroup read;
    SendGroup send;
    SettingGroup setting;
};

inline constexpr int ProfileCount = 12;

// Profiles 11 and 12 serve the controller family that exchanges a file name
// ahead of the data.
inline bool isOspProfile(int number) {
    return number == 11 || number == 12;
}

// The "通信速度" values: 0..5 are 1200, 2400, 4800, 9600, 14400 and 19200
// bit/s; 6 is the tape punch (send) or tape reader (receive), fixed at
// 4800 bit/s 8N2; 7..9 are 38400, 57600 and 115200 for modern controls and
// device servers. The fast rates come after the tape entry so that every
// value stored before they existed keeps its meaning.
inline constexpr int TapeSpeed = 6;
inline constexpr int SpeedCount = 10;

// Line rate in bit/s of a speed value; 4800 for the tape entry, 0 for a
// value the program does not know.
int speedBaud(int speed);
inline bool isKnownSpeed(int speed) {
    return speed >= 0 && speed < SpeedCount;
}

// The profile editor's speed list of a direction, item position = stored
// value: "1200" ... "19200", "ﾃｰﾌﾟﾘｰﾀﾞより受信" or "ﾃｰﾌﾟﾊﾟﾝﾁに送信",
// "38400", "57600", "115200".
enum class SpeedList { Receive, Send };
QStringList speedItems(SpeedList list);

// What a send's `code` entry means; Unknown for a value outside the list (a
// hand-edited Setting.ini).
enum class SendCode { Iso, Eia, Ascii, User, Unknown };
SendCode sendCodeOf(const SendGroup& send);

// What a receive's `code` entry means.
enum class ReceiveCode { Auto, Ascii, Eia, Iso, User, Unknown };
ReceiveCode receiveCodeOf(const ReadGroup& read);

// The speed and stop bits as the transfer bar shows them: ": 9600,",
// ":19200,", ":115200," or ": 機器," and " 1", " 2" or " 1.5". A speed
// outside the list shows nothing.
QString speedPanelText(int speed);
QString stopBitsPanelText(int stopBits);

// The name a profile has when Setting.ini does not give one.
QString defaultProfileName(int n);

// A profile with every default of profile n (1..12).
CommProfile defaultProfile(int n);

// The twelve profiles, indexed 1..12.
class ProfileTable {
public:
    ProfileTable();
    CommProfile& operator[](int n) { return m_profiles.at(n - 1); }
    const CommProfile& operator[](int n) const { return m_profiles.at(n - 1); }

private:
    std::array<CommProfile, ProfileCount> m_profiles;
};

} // namespace tornyx
