#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace tornyx {

struct Options;

// One row of the option dialog: its label, and the key (in section
// "Options" or "Setting" of Tornyx.INI) whose text it edits.
struct OptionRow {
    const char16_t* label;
    const char* section;
    const char* key;
    bool freeText; // a typed port name instead of "Y"/"N"
};

inline constexpr int OptionRowCount = 22;

const std::array<OptionRow, OptionRowCount>& optionRows();

// The labels as the grid shows them: each "Y"/"N" row padded with blanks so
// that "(Y/N)" stands in one column in a fixed-pitch font, where a
// half-width character takes one column and a full-width one two.
QStringList optionRowCaptions();

using OptionRowValues = std::array<QString, OptionRowCount>;

// The texts of the 22 rows as the options hold them, and back.
OptionRowValues optionRowValues(const Options& options);
void applyOptionRowValues(Options& options, const OptionRowValues& values);

} // namespace tornyx
