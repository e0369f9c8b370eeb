#pragma once

#include <QString>

namespace tornyx::platform {

class IniFile;
class SettingsHome;

// The device of a port name ("COM1" ... "COM30") on this machine: the value
// of the name's key in the section "Ports" of the given option file, else
// /dev/ttyS<n-1>. A name that is neither mapped nor "COM"n is taken as a
// device path when it starts with "/dev/"; anything else gives an empty
// path (the port cannot be opened).
QString portDevicePath(const QString& name, const IniFile& options);
// The same with the option file of the settings home, read afresh (a
// mapping changed while the program runs counts at the next transfer).
QString portDevicePath(const QString& name, const SettingsHome& home);

// The number n of "COM"n (letter case ignored), 0 when the name is no such.
int comPortNumber(const QString& name);

} // namespace tornyx::platform
