#pragma once

#include <QString>

namespace tornyx::platform {

class IniFile;
class SettingsHome;

// The device of a port name ("COM1" ... "COM30") on this machine: the value
// of the name's key in the section "Ports" of the given option file, else
// /dev/ttyS<n-1>. A name that is neither mapped nor "COM"n is taken as a
// device path when it starts with "/dev/"; anything else gives an empty
// path (the port cannot be opened). A mapped value may also name a port on
// an Ethernet serial device server (see parsePortMapping).
QString portDevicePath(const QString& name, const IniFile& options);
// The same with the option file of the settings home, read afresh (a
// mapping changed while the program runs counts at the next transfer).
QString portDevicePath(const QString& name, const SettingsHome& home);

// The number n of "COM"n (letter case ignored), 0 when the name is no such.
int comPortNumber(const QString& name);

// What a value of the [Ports] section names:
//   /dev/ttyUSB0                a local device (anything without "://")
//   rfc2217://HOST:PORT         a device server speaking Telnet with the
//                               COM-PORT-OPTION: the program sets the line
//   tcp://HOST:PORT             a raw socket; the line is set in the box
// HOST is a name, an IPv4 address or an IPv6 address in brackets
// ("[::1]"); PORT is 1..65535. The scheme's letter case is ignored.
struct PortMapping {
    enum class Kind { Invalid, Device, Rfc2217, RawTcp };
    Kind kind = Kind::Invalid;
    QString device; // Device
    QString host;   // Rfc2217, RawTcp: without the brackets of an IPv6 address
    int port = 0;
    QString error; // Invalid: what is wrong, for the operator

    bool isNetwork() const { return kind == Kind::Rfc2217 || kind == Kind::RawTcp; }
    // "HOST:PORT" as it names the box in messages and log lines.
    QString address() const;
};

// Parses and checks one mapping value; a settings dialog uses it to check
// what the operator typed, the port uses it to open.
PortMapping parsePortMapping(const QString& value);

} // namespace tornyx::platform
