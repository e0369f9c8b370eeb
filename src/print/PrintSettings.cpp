#include "print/PrintSettings.h"

#include "platform/IniFile.h"

namespace tornyx {

namespace {

const QString Section = QStringLiteral("Print");

struct Key {
    const char* name;
    bool PrintSettings::*flag;  // a boolean key, stored as 1 or 0
    int PrintSettings::*number; // an integer key
    int defaultValue;
};

constexpr Key Keys[] = {
    {"FullPath", &PrintSettings::fullPath, nullptr, 1},
    {"FileName", &PrintSettings::fileName, nullptr, 0},
    {"Page", &PrintSettings::page, nullptr, 1},
    {"LineNo", &PrintSettings::lineNo, nullptr, 1},
    {"TopMargin", nullptr, &PrintSettings::topMargin, 10},
    {"BottomMargin", nullptr, &PrintSettings::bottomMargin, 10},
    {"LeftMargin", nullptr, &PrintSettings::leftMargin, 15},
    {"RightMargin", nullptr, &PrintSettings::rightMargin, 10},
};

} // namespace

PrintSettings PrintSettingsStore::load() const {
    platform::IniFile ini(m_path);
    ini.load();
    PrintSettings s;
    for (const Key& k : Keys) {
        if (k.flag)
            s.*k.flag = ini.readBool(Section, k.name, k.defaultValue != 0);
        else
            s.*k.number = ini.readInteger(Section, k.name, k.defaultValue);
    }
    return s;
}

bool PrintSettingsStore::save(const PrintSettings& s, QString* error) const {
    platform::IniFile ini(m_path);
    ini.load();
    for (const Key& k : Keys) {
        if (k.flag)
            ini.writeBool(Section, k.name, s.*k.flag);
        else
            ini.writeInteger(Section, k.name, s.*k.number);
    }
    return ini.save(error);
}

} // namespace tornyx
