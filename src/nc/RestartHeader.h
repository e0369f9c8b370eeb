#pragma once

#include "nc/NcState.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace tornyx::platform {
class IniFile;
}

namespace tornyx::nc {

// What a profile keeps for restarts and for the drip-feed budget, in the
// section "Restart"n of Setting.ini:
//   HeaderLines  number of template lines; Header1 ... HeaderN the lines
//   RapidRate    rapid traverse in mm/min (budget)
//   WholeUnits   1: a value without decimal point is whole mm or inches
//                (0: least input increments, X10 is 0.010 mm)
// A profile without HeaderLines gets the default template.
struct RestartSettings {
    QStringList header;
    int rapidRate = 15000;
    bool wholeUnits = false;
};

QString restartSection(int profile);
QStringList defaultHeaderTemplate();
RestartSettings loadRestartSettings(const platform::IniFile& ini, int profile);
void saveRestartSettings(platform::IniFile& ini, int profile, const RestartSettings& settings);
// Read from the profile file (Setting.ini) itself; the defaults when it
// cannot be read.
RestartSettings readRestartSettings(const QString& profileFile, int profile);

// How the reader reads a program for a send run (calls go to the machine)
// or a DNC run, with the profile's restart settings and the comment option.
ReaderSettings readerSettingsFor(const RestartSettings& restart, bool sendAfterComment, bool dnc);

// A thing the operator must know before the header goes out.
struct RestartNote {
    QString text;
    int line = -1; // 0-based line it comes from; -1 for none
};

struct RenderedHeader {
    QStringList lines;
    QList<RestartNote> notes;
};

// The text of a 0-based editor line, for the notes.
using LineText = std::function<QString(int line)>;

// Fills the template from the state. A template line is left out when one
// of its placeholders has no value: because there is nothing to restore
// ({nexttool} without a preselected tool, {cycle} after G80, {a} on a
// machine the program never turns), or because the reader does not know
// it, which is then named in a note. The notes also name what is in effect
// and not rebuilt.
RenderedHeader renderHeader(const QStringList& tmpl, const NcState& state, const LineText& lineText = {});

// A position as the header writes it: with a decimal point, no trailing
// zeros, 3 decimals in mm and 4 in inches ("12.5", "10.", "-0.0625").
QByteArray formatNumber(double value, bool inch);

} // namespace tornyx::nc
