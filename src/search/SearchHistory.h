#pragma once

#include <QString>
#include <QStringList>

namespace tornyx {

// The three histories of the file search: search texts, folders, patterns;
// newest first, ten at the most.
struct SearchHistory {
    QStringList texts;
    QStringList folders;
    QStringList patterns;

    static constexpr int Size = 10;
};

// A history after text was searched for: text at the front, its earlier
// place dropped, ten entries at the most.
QStringList withNewest(const QStringList& history, const QString& text);

// The "FILE SEARCH" section of the option file: keys "FSStr0".."FSStr9",
// "FSDir0".., "FSFile0"..; a history is read up to its first empty entry.
class SearchHistoryStore {
public:
    explicit SearchHistoryStore(QString iniPath) : m_path(std::move(iniPath)) {}
    SearchHistory load() const;
    // Writes all thirty keys (the unused ones empty) and keeps the rest of
    // the file. On failure returns false with the reason in *error.
    bool save(const SearchHistory& history, QString* error = nullptr) const;

private:
    QString m_path;
};

} // namespace tornyx
