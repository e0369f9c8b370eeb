#pragma once

#include <QString>

#include <array>
#include <optional>

namespace tornyx::platform {
class IniFile;
}

namespace tornyx {

// The text options of Tornyx.INI. Each is on only when its value is exactly
// "Y"; any other value is kept and shown as it is, and acts as off.
enum class Opt {
    SelectPrograms,    // op1  send only the programs ticked in the selection
    SplitAfterReceive, // op2  open the split save after a receive
    Metres,            // op3  sizes as punched-tape length
    PowerOff,          // Power_Off  power off after a transfer ordered with END
    SkipSpaces,        // op4  blanks in the data are not sent
    DtrAlwaysOn,       // op5
    AutoSwitch,        // op6  line-switch dialog before every transfer
    SendAfterComment,  // op7  ";" and "'" do not end the line
    IgnoreMachineStop, // op9  DC3/DC4/CAN ignored while waiting for the start
    KeepOnStop,        // op10 a stopped receive keeps its data
    PunchCompletion,   // op12 DC4 after sending to a tape punch
    NoLineCheck,       // op13
    DsrCheck,          // op14
    DncEndAsReturn,    // op15 M02/M30 above level 0 return like M99
    NoLeadingLf,       // op17
    Completion,        // op19 F1 completion from Tornyx.DEF
    FeedPointField,    // op20 the profile editor's "F without point" field
    SequenceField,     // op21 the profile editor's "no sequence numbers" field
    FileNameCaption,   // op22 the caption shows only the file name
    Dc3Is93,           // DC3(0X93) in "Setting": XOFF is 0x93
};
inline constexpr int OptCount = int(Opt::Dc3Is93) + 1;

// The program-wide state kept in Tornyx.INI between runs. Every key is read
// and written through one table (section, key, default), in the order of
// reading; see Options.cpp.
struct Options {
    // "Main": window geometry
    int left = 10;
    int top = 10;
    int width = 550;
    int height = 470;

    std::array<QString, 5> recentFiles; // newest first

    // "Setting"
    QString dirPath = "C:"; // LastFolder
    int setNo = 1;          // ActiveProfile, 1..12
    int maskNo = 1;         // FilterIndex, 1..7
    QString user1Name = QStringLiteral(u"ﾕｰｻﾞ1");
    QString user1Mask = "*.*";
    QString user2Name = QStringLiteral(u"ﾕｰｻﾞ2");
    QString user2Mask = "*.*";
    QString modemePort1; // excluded ports, never touched
    QString modemePort2;

    // "Options" (besides the text options)
    bool stepSendEnabled = false; // op11, menu send_step
    bool autoIndexOff = false;    // op18, menu ono_op

    // "Print"
    bool printFullPath = true;
    bool printFileName = false;
    bool printPage = true;
    bool printLineNo = true;
    int topMargin = 10;
    int bottomMargin = 10;
    int leftMargin = 15;
    int rightMargin = 10;

    Options();

    bool isOn(Opt o) const { return m_text[int(o)] == QLatin1String("Y"); }
    const QString& text(Opt o) const { return m_text[int(o)]; }
    void setText(Opt o, const QString& value) { m_text[int(o)] = value; }
    void setOn(Opt o, bool on) { setText(o, on ? QStringLiteral("Y") : QStringLiteral("N")); }

    // Reads every key; missing keys and out-of-range numbers take their
    // defaults.
    void load(const platform::IniFile& ini);
    // Writes every key except the "Main" geometry (see saveGeometry), in the
    // order of reading.
    void save(platform::IniFile& ini) const;
    void saveGeometry(platform::IniFile& ini) const;

    // The key and section of a text option ("op1" in "Options").
    static QString key(Opt o);
    static QString section(Opt o);

private:
    std::array<QString, OptCount> m_text;
};

// The extension the save dialog appends to a name typed without one, from
// the file type last chosen; nullopt leaves the dialog's extension as it is.
std::optional<QString> defaultExtension(const Options& o);

} // namespace tornyx
