#pragma once

#include <QString>

namespace tornyx {

// A file name that came from the line (an OSP "$" line, a program-number
// line), made safe to store: nothing in it may steer the file out of the
// folder the operator chose.
struct SafeFileName {
    QString name;         // the name to store under; empty when it was refused
    bool changed = false; // something had to be removed or the name refused
};

// Path separators, drive and stream colons, control characters, characters
// the Windows shares refuse (* ? " < > |), ".." and leading or trailing dots
// and blanks are removed. Device names (CON, PRN, AUX, NUL, COM1..9,
// LPT1..9, with any extension), names longer than 255 bytes and names with
// nothing left are refused. Blanks inside the name stay.
SafeFileName safeFileName(const QString& name);

using OspFileName = SafeFileName;

// The name an OSP controller punches out: blanks are removed, then the name
// is made safe as above, and ".MIN" is appended when it has no ".".
OspFileName finalOspFileName(const QString& received);

} // namespace tornyx
