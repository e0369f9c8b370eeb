#pragma once

#include "app/Options.h"

#include <QString>
#include <QStringList>

#include <array>

namespace tornyx {

// One row of the option dialog: its label, and the text option it edits,
// or, for the two excluded ports, the field of a typed port name.
struct OptionRow {
    const char16_t* label;
    Opt option;
    QString Options::*port = nullptr;

    bool isFreeText() const { return port != nullptr; }
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
