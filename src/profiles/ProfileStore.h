#pragma once

#include "profiles/CommProfile.h"

#include <QRect>

namespace tornyx::platform {
class IniFile;
}

namespace tornyx {

// Reading and writing the profiles of Setting.ini: sections "Read"n, "Send"n
// and "Setting"n. Load and save share one table of keys and defaults.

// The section names of profile n.
QString readSection(int n);
QString sendSection(int n);
QString settingSection(int n);

// Reads the receive and send groups of profile n, the names of all twelve
// profiles, and the rest of the general group of profile n. Missing keys and
// integers that do not parse take the defaults.
void loadProfileRecord(const platform::IniFile& ini, int n, ProfileTable& table);

// The coercions that make a tape reader / tape punch profile consistent.
void coerceProfile(CommProfile& p);

// Applies the coercions to record n and writes it. The font block is written
// only with writeFont, the position block (with the given window geometry as
// the stored position) only with writePosition; without them the values in
// the file stay as they were.
void saveProfileRecord(platform::IniFile& ini, int n, CommProfile& p, bool writeFont, bool writePosition,
                       const QRect& windowGeometry);

// Stores a window geometry into "Pos Top", "Pos Left", "Pos Height", "Pos Width"
// of profile n.
void saveProfilePosition(platform::IniFile& ini, int n, const QRect& windowGeometry);

} // namespace tornyx
