#include "profiles/ProfileStore.h"

#include "platform/IniFile.h"

#include <variant>

namespace tornyx {

using platform::IniFile;

namespace {

template <class G> struct Field {
    const char* key;
    std::variant<int G::*, QString G::*, bool G::*> member;
};

template <class G>
void readField(const IniFile& ini, const QString& section, const Field<G>& f, G& g, const G& def) {
    const QString key = QString::fromLatin1(f.key);
    std::visit(
        [&](auto m) {
            using T = std::remove_cvref_t<decltype(g.*m)>;
            if constexpr (std::is_same_v<T, int>)
                g.*m = ini.readInteger(section, key, def.*m);
            else if constexpr (std::is_same_v<T, bool>)
                g.*m = ini.readBool(section, key, def.*m);
            else
                g.*m = ini.readString(section, key, def.*m);
        },
        f.member);
}

template <class G> void writeField(IniFile& ini, const QString& section, const Field<G>& f, const G& g) {
    const QString key = QString::fromLatin1(f.key);
    std::visit(
        [&](auto m) {
            using T = std::remove_cvref_t<decltype(g.*m)>;
            if constexpr (std::is_same_v<T, int>)
                ini.writeInteger(section, key, g.*m);
            else if constexpr (std::is_same_v<T, bool>)
                ini.writeBool(section, key, g.*m);
            else
                ini.writeString(section, key, g.*m);
        },
        f.member);
}

const Field<ReadGroup> ReadFields[] = {
    {"Speed", &ReadGroup::speed},     {"Code", &ReadGroup::code},       {"STbit", &ReadGroup::stopBits},
    {"Port", &ReadGroup::port},       {"Change", &ReadGroup::change},   {"Word", &ReadGroup::word},
    {"Signal", &ReadGroup::signal},   {"RSignal", &ReadGroup::rSignal}, {"Buff", &ReadGroup::buff},
    {"EndCode", &ReadGroup::endCode}, {"Control", &ReadGroup::control}, {"S&E_Char", &ReadGroup::seChar},
};

// Written and read after the send group.
const Field<ReadGroup> ReadTailFields[] = {
    {"Parity", &ReadGroup::parity},
    {"DataLength", &ReadGroup::dataLength},
};

const Field<SendGroup> SendFields[] = {
    {"Speed", &SendGroup::speed},
    {"Code", &SendGroup::code},
    {"STbit", &SendGroup::stopBits},
    {"Port", &SendGroup::port},
    {"Signal", &SendGroup::signal},
    {"StartChar", &SendGroup::startChar},
    {"EndChar", &SendGroup::endChar},
    {"Feed", &SendGroup::feed},
    {"Buff", &SendGroup::buff},
    {"InvTime", &SendGroup::invTime},
    {"Control", &SendGroup::control},
    {"Chk Count", &SendGroup::chkCount},
    {"CRLF_Type", &SendGroup::crlfType},
    {"DNC_Send", &SendGroup::dncSend},
    {"SendMsg", &SendGroup::sendMsg},
    {"F_non", &SendGroup::fNon},
    {"N_non", &SendGroup::nNon},
    {"Parity", &SendGroup::parity},
    {"DataLength", &SendGroup::dataLength},
};

const Field<SettingGroup> SettingHeadFields[] = {
    {"Mail_Flg", &SettingGroup::mailFlg},
    {"Mail_Address", &SettingGroup::mailAddress},
    {"Mail_Subject", &SettingGroup::mailSubject},
    {"DirPath_Sub", &SettingGroup::dirPathSub},
};

const Field<SettingGroup> FontFields[] = {
    {"Font Chg", &SettingGroup::fontChg},         {"Font Name", &SettingGroup::fontName},
    {"Font Size", &SettingGroup::fontSize},       {"Font Color", &SettingGroup::fontColor},
    {"Screen Color", &SettingGroup::screenColor},
};

const Field<SettingGroup> PosFields[] = {
    {"Pos Chg", &SettingGroup::posChg},     {"Pos Top", &SettingGroup::posTop},
    {"Pos Left", &SettingGroup::posLeft},   {"Pos Height", &SettingGroup::posHeight},
    {"Pos Width", &SettingGroup::posWidth},
};

const QString NameKey = QStringLiteral("Name");

} // namespace

QString readSection(int n) {
    return "Read" + QString::number(n);
}
QString sendSection(int n) {
    return "Send" + QString::number(n);
}
QString settingSection(int n) {
    return "Setting" + QString::number(n);
}

void loadProfileRecord(const IniFile& ini, int n, ProfileTable& table) {
    const CommProfile def = defaultProfile(n);
    CommProfile& p = table[n];
    for (const auto& f : ReadFields)
        readField(ini, readSection(n), f, p.read, def.read);
    for (const auto& f : SendFields)
        readField(ini, sendSection(n), f, p.send, def.send);
    for (const auto& f : ReadTailFields)
        readField(ini, readSection(n), f, p.read, def.read);

    for (int i = 1; i <= ProfileCount; ++i)
        table[i].setting.name = ini.readString(settingSection(i), NameKey, defaultProfileName(i));

    for (const auto& f : SettingHeadFields)
        readField(ini, settingSection(n), f, p.setting, def.setting);
    for (const auto& f : FontFields)
        readField(ini, settingSection(n), f, p.setting, def.setting);
    for (const auto& f : PosFields)
        readField(ini, settingSection(n), f, p.setting, def.setting);
}

void coerceProfile(CommProfile& p) {
    if (p.read.speed == 6) {
        p.read.code = 0;
        p.read.stopBits = 1;
        p.read.change = 0;
        p.read.word = 1;
        p.read.signal = 0;
        p.read.buff = 3;
        p.read.endCode = 0;
    } else {
        p.read.rSignal = 1;
    }
    if (p.send.speed == 6) {
        p.send.signal = 1;
        p.send.buff = 0;
    } else {
        p.send.feed = 0;
    }
}

void saveProfilePosition(IniFile& ini, int n, const QRect& g) {
    ini.writeInteger(settingSection(n), "Pos Top", g.top());
    ini.writeInteger(settingSection(n), "Pos Left", g.left());
    ini.writeInteger(settingSection(n), "Pos Height", g.height());
    ini.writeInteger(settingSection(n), "Pos Width", g.width());
}

void saveProfileRecord(IniFile& ini, int n, CommProfile& p, bool writeFont, bool writePosition,
                       const QRect& windowGeometry) {
    coerceProfile(p);
    const QString set = settingSection(n);
    ini.writeString(set, NameKey, p.setting.name);
    for (const auto& f : SettingHeadFields)
        writeField(ini, set, f, p.setting);
    if (writeFont)
        for (const auto& f : FontFields)
            writeField(ini, set, f, p.setting);
    if (writePosition) {
        p.setting.posTop = windowGeometry.top();
        p.setting.posLeft = windowGeometry.left();
        p.setting.posHeight = windowGeometry.height();
        p.setting.posWidth = windowGeometry.width();
        for (const auto& f : PosFields)
            writeField(ini, set, f, p.setting);
    }
    for (const auto& f : ReadFields)
        writeField(ini, readSection(n), f, p.read);
    for (const auto& f : SendFields)
        writeField(ini, sendSection(n), f, p.send);
    for (const auto& f : ReadTailFields)
        writeField(ini, readSection(n), f, p.read);
}

} // namespace tornyx
