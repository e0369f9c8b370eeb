#pragma once

#include <QString>

#include <array>
#include <map>
#include <optional>

namespace tornyx::platform {
class IniFile;
}

namespace tornyx {

// The program-wide state kept in Tornyx.INI between runs.
struct Options {
    // "Main": window geometry
    int left = 10;
    int top = 10;
    int width = 550;
    int height = 470;

    std::array<QString, 5> recentFiles; // newest first

    // "Setting"
    QString dirPath = "C:";     // LastFolder
    int setNo = 1;              // ActiveProfile, 1..12
    QString dc3 = "Y";          // XOFF character 0x93 instead of 0x13
    int maskNo = 1;             // FilterIndex, 1..7
    QString user1Name = QStringLiteral(u"ﾕｰｻﾞ1");
    QString user1Mask = "*.*";
    QString user2Name = QStringLiteral(u"ﾕｰｻﾞ2");
    QString user2Mask = "*.*";
    QString modemePort1;        // excluded ports, never touched
    QString modemePort2;

    // "Options": text options by key ("op1", "Power_Off", ...); on only when "Y".
    std::map<QString, QString> text;
    bool stepSendEnabled = false; // "op11"
    bool autoIndexOff = false;    // "op18"

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

    bool isOn(const QString& key) const; // text option is exactly "Y"
    QString get(const QString& key) const;
    void set(const QString& key, const QString& value) { text[key] = value; }

    // Reads every key; out-of-range numbers take their defaults.
    void load(const platform::IniFile& ini);
    // Writes every key except the "Main" geometry (see saveGeometry), in the
    // order of reading.
    void save(platform::IniFile& ini) const;
    void saveGeometry(platform::IniFile& ini) const;
};

// The extension the save dialog appends to a name typed without one, from
// the file type last chosen; nullopt leaves the dialog's extension as it is.
std::optional<QString> defaultExtension(const Options& o);

// The keys of the text options in the order they are read and written.
const std::array<const char*, 20>& textOptionKeys();

} // namespace tornyx
