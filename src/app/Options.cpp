#include "app/Options.h"

#include "platform/IniFile.h"

#include <climits>
#include <variant>

namespace tornyx {

using platform::IniFile;

namespace {

struct RecentSlot {
    int index;
};

// One key of Tornyx.INI and where its value lives. Text options carry their
// default text; the other defaults come from a default-constructed Options.
struct Key {
    const char* section;
    const char* key;
    std::variant<int Options::*, QString Options::*, bool Options::*, Opt, RecentSlot> target;
    const char* textDefault = "N"; // text options only
    int lo = INT_MIN;              // integers outside [lo, hi] take the default
    int hi = INT_MAX;
};

constexpr const char* Main = "Main";
constexpr const char* Recent = "Recent File List";
constexpr const char* Setting = "Setting";
constexpr const char* Opts = "Options";
constexpr const char* Print = "Print";

// The geometry, written only by saveGeometry (a profile may keep its own).
const Key GeometryKeys[] = {
    {Main, "Top", &Options::top},
    {Main, "Left", &Options::left},
    {Main, "Width", &Options::width},
    {Main, "Height", &Options::height},
};

// Everything else, in the order of reading and writing. "op8" and "op16" do
// not exist.
const Key Keys[] = {
    {Recent, "File1", RecentSlot{0}},
    {Recent, "File2", RecentSlot{1}},
    {Recent, "File3", RecentSlot{2}},
    {Recent, "File4", RecentSlot{3}},
    {Recent, "File5", RecentSlot{4}},
    {Setting, "DirPath", &Options::dirPath},
    {Setting, "SetNo", &Options::setNo, "", 1, 12},
    {Setting, "DC3(0X93)", Opt::Dc3Is93, "Y"},
    {Opts, "op1", Opt::SelectPrograms},
    {Opts, "op2", Opt::SplitAfterReceive},
    {Opts, "op3", Opt::Metres},
    {Opts, "Power_Off", Opt::PowerOff},
    {Opts, "op4", Opt::SkipSpaces},
    {Opts, "op5", Opt::DtrAlwaysOn},
    {Opts, "op6", Opt::AutoSwitch},
    {Opts, "op7", Opt::SendAfterComment},
    {Opts, "op9", Opt::IgnoreMachineStop},
    {Opts, "op10", Opt::KeepOnStop},
    {Opts, "op11", &Options::stepSendEnabled},
    {Opts, "op12", Opt::PunchCompletion},
    {Opts, "op13", Opt::NoLineCheck},
    {Opts, "op14", Opt::DsrCheck},
    {Opts, "op15", Opt::DncEndAsReturn},
    {Opts, "op17", Opt::NoLeadingLf},
    {Opts, "op18", &Options::autoIndexOff},
    {Opts, "op19", Opt::Completion, "Y"},
    {Opts, "op20", Opt::FeedPointField},
    {Opts, "op21", Opt::SequenceField},
    {Opts, "op22", Opt::FileNameCaption},
    {Setting, "Mask_No", &Options::maskNo, "", 1, 7},
    {Setting, "User1_Name", &Options::user1Name},
    {Setting, "User1_Mask", &Options::user1Mask},
    {Setting, "User2_Name", &Options::user2Name},
    {Setting, "User2_Mask", &Options::user2Mask},
    {Setting, "ModemePort1", &Options::modemePort1},
    {Setting, "ModemePort2", &Options::modemePort2},
    {Print, "FullPath", &Options::printFullPath},
    {Print, "FileName", &Options::printFileName},
    {Print, "Page", &Options::printPage},
    {Print, "LineNo", &Options::printLineNo},
    {Print, "TopMargin", &Options::topMargin},
    {Print, "BottomMargin", &Options::bottomMargin},
    {Print, "LeftMargin", &Options::leftMargin},
    {Print, "RightMargin", &Options::rightMargin},
};

const Key* keyOf(Opt o) {
    for (const Key& k : Keys)
        if (const Opt* p = std::get_if<Opt>(&k.target); p && *p == o)
            return &k;
    return nullptr;
}

void read(const IniFile& ini, const Key& k, Options& o, const Options& def) {
    const QString section = QString::fromLatin1(k.section);
    const QString key = QString::fromLatin1(k.key);
    std::visit(
        [&](auto t) {
            using T = decltype(t);
            if constexpr (std::is_same_v<T, int Options::*>) {
                const int v = ini.readInteger(section, key, def.*t);
                o.*t = v >= k.lo && v <= k.hi ? v : def.*t;
            } else if constexpr (std::is_same_v<T, bool Options::*>) {
                o.*t = ini.readBool(section, key, def.*t);
            } else if constexpr (std::is_same_v<T, QString Options::*>) {
                o.*t = ini.readString(section, key, def.*t);
            } else if constexpr (std::is_same_v<T, Opt>) {
                o.setText(t, ini.readString(section, key, QString::fromLatin1(k.textDefault)));
            } else {
                o.recentFiles[t.index] = ini.readString(section, key, QString());
            }
        },
        k.target);
}

void write(IniFile& ini, const Key& k, const Options& o) {
    const QString section = QString::fromLatin1(k.section);
    const QString key = QString::fromLatin1(k.key);
    std::visit(
        [&](auto t) {
            using T = decltype(t);
            if constexpr (std::is_same_v<T, int Options::*>)
                ini.writeInteger(section, key, o.*t);
            else if constexpr (std::is_same_v<T, bool Options::*>)
                ini.writeBool(section, key, o.*t);
            else if constexpr (std::is_same_v<T, QString Options::*>)
                ini.writeString(section, key, o.*t);
            else if constexpr (std::is_same_v<T, Opt>)
                ini.writeString(section, key, o.text(t));
            else
                ini.writeString(section, key, o.recentFiles[t.index]);
        },
        k.target);
}

} // namespace

Options::Options() {
    for (const Key& k : Keys)
        if (const Opt* p = std::get_if<Opt>(&k.target))
            m_text[int(*p)] = QString::fromLatin1(k.textDefault);
}

QString Options::key(Opt o) {
    const Key* k = keyOf(o);
    return k ? QString::fromLatin1(k->key) : QString();
}

QString Options::section(Opt o) {
    const Key* k = keyOf(o);
    return k ? QString::fromLatin1(k->section) : QString();
}

void Options::load(const IniFile& ini) {
    const Options def;
    for (const Key& k : GeometryKeys)
        read(ini, k, *this, def);
    for (const Key& k : Keys)
        read(ini, k, *this, def);
}

void Options::saveGeometry(IniFile& ini) const {
    for (const Key& k : GeometryKeys)
        write(ini, k, *this);
}

void Options::save(IniFile& ini) const {
    for (const Key& k : Keys)
        write(ini, k, *this);
}

std::optional<QString> defaultExtension(const Options& o) {
    switch (o.maskNo) {
    case 1:
        return QString("nc");
    case 2:
        return QString("txt");
    case 3:
        return o.user1Mask;
    case 4:
        return o.user2Mask;
    case 5:
        return QString("nc");
    case 6:
        return QString("MIN");
    case 7:
        return QString();
    default:
        return std::nullopt;
    }
}

} // namespace tornyx
