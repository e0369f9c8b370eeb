#pragma once

#include <QString>

namespace tornyx {

// The file name an OSP controller punches out in its "$" line, made safe to
// store: it comes from the line, so nothing in it may steer the file out of
// the folder the operator chose.
struct OspFileName {
    QString name;         // the name to store under; empty when it was refused
    bool changed = false; // something had to be removed or the name refused
};

// ".MIN" is appended when the name has no "."; blanks are removed. Path
// separators, drive and stream colons, control characters, characters the
// Windows shares refuse (* ? " < > |), ".." and leading or trailing dots are
// removed. Device names (CON, PRN, AUX, NUL, COM1..9, LPT1..9), names longer
// than 255 bytes and names with nothing left are refused.
OspFileName finalOspFileName(const QString& received);

} // namespace tornyx
