#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace tornyx {

// The two file types the operator defines ("User1_Name", "User1_Mask",
// "User2_Name", "User2_Mask" in the section "Setting" of Tornyx.INI).
struct UserFileTypes {
    QString name1 = QStringLiteral(u"ﾕｰｻﾞ1");
    QString mask1 = QStringLiteral("*.*");
    QString name2 = QStringLiteral(u"ﾕｰｻﾞ2");
    QString mask2 = QStringLiteral("*.*");
};

// One entry of the file-type list: what the dialog shows, and the
// patterns it filters by (";" between several, empty for none).
struct FileType {
    QString display;
    QString pattern;
};

inline constexpr int FileTypeCount = 7;

// The seven entries, numbered 1..7 as FilterIndex counts them (index 0 here
// is entry 1).
std::array<FileType, FileTypeCount> fileTypes(const UserFileTypes& user);

// The list as one text: display and pattern of each entry, "|" between
// them, so that the empty pattern of the last entry ends the text.
QString fileTypeListText(const UserFileTypes& user);

// The entries as QFileDialog name filters, in the same order: the display
// text, then the patterns in brackets separated by blanks (the form Qt
// parses), so that a dialog hiding the details shows the display text.
QStringList nameFilters(const UserFileTypes& user);

// The default extension of the save dialog (without a dot, empty for none)
// when the entry is the one remembered at start, and when the operator
// picks it in the save dialog; nullopt for a number outside 1..7 (the
// extension then stays as it was). For the user types it is the extension
// part of the pattern ("*.nc2" gives "nc2"), nothing for "*.*".
std::optional<QString> startExtension(int entry, const UserFileTypes& user);
std::optional<QString> pickedExtension(int entry, const UserFileTypes& user);

// The extension a pattern names: the text after the last "." of its first
// pattern, empty when that holds a wildcard or there is none.
QString patternExtension(const QString& pattern);

// Appends "." + extension to a path whose file name has no "." at all, as
// the save dialog does with a name typed without an extension.
QString withDefaultExtension(const QString& path, const QString& extension);

// The characters a pattern may not hold.
inline const QString RefusedPatternCharacters = QStringLiteral("/:,;?<>|");

// Completes a typed pattern: "nc2" and ".nc2" give "*.nc2"; a text that
// already holds "*." stays.
QString completePattern(const QString& pattern);

// What a file dialog is given and gives back: the list, the entry it opens
// at and, for a save dialog, the extension it appends.
struct FileTypeChoice {
    UserFileTypes user;
    int index = 1;            // FilterIndex, 1..7
    QString defaultExtension; // without a dot; empty for none

    // The operator picked an entry in a save dialog.
    void pickForSave(int entry);
};

} // namespace tornyx
