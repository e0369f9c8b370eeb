#include "search/SearchHistory.h"

#include "platform/IniFile.h"

namespace tornyx {

namespace {

const QString Section = QStringLiteral("FILE SEARCH");

struct Key {
    const char* prefix;
    QStringList SearchHistory::*list;
};

constexpr Key Keys[] = {
    {"FSStr", &SearchHistory::texts},
    {"FSDir", &SearchHistory::folders},
    {"FSFile", &SearchHistory::patterns},
};

QString keyName(const Key& k, int i) {
    return QString::fromLatin1(k.prefix) + QString::number(i);
}

} // namespace

QStringList withNewest(const QStringList& history, const QString& text) {
    QStringList out{text};
    for (const QString& h : history)
        if (h != text && out.size() < SearchHistory::Size)
            out << h;
    return out;
}

SearchHistory SearchHistoryStore::load() const {
    platform::IniFile ini(m_path);
    ini.load();
    SearchHistory h;
    for (const Key& k : Keys) {
        for (int i = 0; i < SearchHistory::Size; ++i) {
            const QString v = ini.readString(Section, keyName(k, i), QString());
            if (v.isEmpty())
                break;
            (h.*k.list) << v;
        }
    }
    return h;
}

bool SearchHistoryStore::save(const SearchHistory& h, QString* error) const {
    platform::IniFile ini(m_path);
    ini.load();
    for (const Key& k : Keys) {
        const QStringList& list = h.*k.list;
        for (int i = 0; i < SearchHistory::Size; ++i)
            ini.writeString(Section, keyName(k, i), i < list.size() ? list[i] : QString());
    }
    return ini.save(error);
}

} // namespace tornyx
