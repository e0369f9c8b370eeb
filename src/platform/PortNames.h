#pragma once

#include <QString>

#include <utility>
#include <vector>

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

namespace tornyx::platform {

// The section "Ports" of one option file as the profile editor changes it:
// the mapping of each port name, with changes held until save().
class PortMap {
public:
    // Reads the section from the option file at optionFile.
    explicit PortMap(QString optionFile);

    // The device the name leads to with the changes made so far.
    QString device(const QString& name) const;
    // Maps name to device (trimmed); an empty device drops back to the
    // default device of the name.
    void set(const QString& name, const QString& device);
    bool isMapped(const QString& name) const;
    bool isChanged() const { return !m_changes.empty(); }

    // Writes the changed names into the option file, read afresh, so that
    // every other key and section stays as it is now on disk; the write is
    // atomic. False with a reason in *error when the file could not be
    // written; the changes are then kept for another try.
    bool save(QString* error = nullptr);

private:
    QString mapping(const QString& name) const;

    QString m_file;
    std::vector<std::pair<QString, QString>> m_stored; // name, mapped device as read
    std::vector<std::pair<QString, QString>> m_changes;
};

} // namespace tornyx::platform
