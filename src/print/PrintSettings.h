#pragma once

#include <QString>

namespace tornyx {

// What a printed listing carries and where it sits on the paper. Margins are
// millimetres from the paper's edges.
struct PrintSettings {
    bool fullPath = true;  // header: the document's full path with the date and time
    bool fileName = false; // header: the document's file name with the date and time
    bool page = true;      // "- n -" under the body
    bool lineNo = true;    // "0001: " in front of every line
    int topMargin = 10;
    int bottomMargin = 10;
    int leftMargin = 15;
    int rightMargin = 10;

    bool operator==(const PrintSettings&) const = default;
};

// The "Print" section of the option file. Load and save go through one key
// table, so a key is never read under one name and written under another.
class PrintSettingsStore {
public:
    explicit PrintSettingsStore(QString iniPath) : m_path(std::move(iniPath)) {}

    // Missing keys (or a missing file) give the defaults above.
    PrintSettings load() const;
    // Writes the eight keys and keeps everything else in the file. On failure
    // returns false with the reason in *error; the file stays as it was.
    bool save(const PrintSettings& settings, QString* error = nullptr) const;

private:
    QString m_path;
};

} // namespace tornyx
