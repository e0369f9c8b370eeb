#include "app/Options.h"

#include "platform/IniFile.h"

namespace tornyx {

using platform::IniFile;

namespace {
const QString Main = "Main";
const QString Recent = "Recent File List";
const QString Setting = "Setting";
const QString Opts = "Options";
const QString Print = "Print";

// Text options in file order; "op11" and "op18" are booleans and sit between
// them at their numeric places (see load/save).
const std::array<const char*, 20> TextKeys = {
    "op1",  "op2",  "op3",  "Power_Off", "op4",  "op5",  "op6",  "op7",  "op9",  "op10",
    "op12", "op13", "op14", "op15",      "op17", "op19", "op20", "op21", "op22", nullptr,
};

QString textDefault(const char* key) { return QString::fromLatin1(key) == "op19" ? "Y" : "N"; }

int inRange(int v, int lo, int hi, int def) { return v >= lo && v <= hi ? v : def; }
} // namespace

const std::array<const char*, 20>& textOptionKeys() { return TextKeys; }

std::optional<QString> defaultExtension(const Options& o) {
    switch (o.maskNo) {
    case 1: return QString("nc");
    case 2: return QString("txt");
    case 3: return o.user1Mask;
    case 4: return o.user2Mask;
    case 5: return QString("nc");
    case 6: return QString("MIN");
    case 7: return QString();
    default: return std::nullopt;
    }
}

Options::Options() {
    for (const char* k : TextKeys)
        if (k)
            text[QString::fromLatin1(k)] = textDefault(k);
}

bool Options::isOn(const QString& key) const { return get(key) == "Y"; }

QString Options::get(const QString& key) const {
    const auto it = text.find(key);
    return it == text.end() ? QString("N") : it->second;
}

void Options::load(const IniFile& ini) {
    const Options def;
    left = ini.readInteger(Main, "Left", def.left);
    top = ini.readInteger(Main, "Top", def.top);
    width = ini.readInteger(Main, "Width", def.width);
    height = ini.readInteger(Main, "Height", def.height);
    for (int i = 0; i < 5; ++i)
        recentFiles[i] = ini.readString(Recent, "File" + QString::number(i + 1), "");

    dirPath = ini.readString(Setting, "DirPath", def.dirPath);
    setNo = inRange(ini.readInteger(Setting, "SetNo", def.setNo), 1, 12, def.setNo);
    dc3 = ini.readString(Setting, "DC3(0X93)", def.dc3);
    for (const char* k : TextKeys) {
        if (!k)
            continue;
        const QString key = QString::fromLatin1(k);
        if (key == "op12")
            stepSendEnabled = ini.readBool(Opts, "op11", false);
        if (key == "op19")
            autoIndexOff = ini.readBool(Opts, "op18", false);
        text[key] = ini.readString(Opts, key, textDefault(k));
    }
    maskNo = inRange(ini.readInteger(Setting, "Mask_No", def.maskNo), 1, 7, def.maskNo);
    user1Name = ini.readString(Setting, "User1_Name", def.user1Name);
    user1Mask = ini.readString(Setting, "User1_Mask", def.user1Mask);
    user2Name = ini.readString(Setting, "User2_Name", def.user2Name);
    user2Mask = ini.readString(Setting, "User2_Mask", def.user2Mask);
    modemePort1 = ini.readString(Setting, "ModemePort1", "");
    modemePort2 = ini.readString(Setting, "ModemePort2", "");

    printFullPath = ini.readBool(Print, "FullPath", def.printFullPath);
    printFileName = ini.readBool(Print, "FileName", def.printFileName);
    printPage = ini.readBool(Print, "Page", def.printPage);
    printLineNo = ini.readBool(Print, "LineNo", def.printLineNo);
    topMargin = ini.readInteger(Print, "TopMargin", def.topMargin);
    bottomMargin = ini.readInteger(Print, "BottomMargin", def.bottomMargin);
    leftMargin = ini.readInteger(Print, "LeftMargin", def.leftMargin);
    rightMargin = ini.readInteger(Print, "RightMargin", def.rightMargin);
}

void Options::saveGeometry(IniFile& ini) const {
    ini.writeInteger(Main, "Top", top);
    ini.writeInteger(Main, "Left", left);
    ini.writeInteger(Main, "Width", width);
    ini.writeInteger(Main, "Height", height);
}

void Options::save(IniFile& ini) const {
    for (int i = 0; i < 5; ++i)
        ini.writeString(Recent, "File" + QString::number(i + 1), recentFiles[i]);
    ini.writeString(Setting, "DirPath", dirPath);
    ini.writeInteger(Setting, "SetNo", setNo);
    ini.writeString(Setting, "DC3(0X93)", dc3);
    for (const char* k : TextKeys) {
        if (!k)
            continue;
        const QString key = QString::fromLatin1(k);
        if (key == "op12")
            ini.writeBool(Opts, "op11", stepSendEnabled);
        if (key == "op19")
            ini.writeBool(Opts, "op18", autoIndexOff);
        ini.writeString(Opts, key, get(key));
    }
    ini.writeInteger(Setting, "Mask_No", maskNo);
    ini.writeString(Setting, "User1_Name", user1Name);
    ini.writeString(Setting, "User1_Mask", user1Mask);
    ini.writeString(Setting, "User2_Name", user2Name);
    ini.writeString(Setting, "User2_Mask", user2Mask);
    ini.writeString(Setting, "ModemePort1", modemePort1);
    ini.writeString(Setting, "ModemePort2", modemePort2);
    ini.writeBool(Print, "FullPath", printFullPath);
    ini.writeBool(Print, "FileName", printFileName);
    ini.writeBool(Print, "Page", printPage);
    ini.writeBool(Print, "LineNo", printLineNo);
    ini.writeInteger(Print, "TopMargin", topMargin);
    ini.writeInteger(Print, "BottomMargin", bottomMargin);
    ini.writeInteger(Print, "LeftMargin", leftMargin);
    ini.writeInteger(Print, "RightMargin", rightMargin);
}

} // namespace tornyx
