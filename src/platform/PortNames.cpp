#include "platform/PortNames.h"

#include "platform/IniFile.h"
#include "platform/Paths.h"

namespace tornyx::platform {

int comPortNumber(const QString& name) {
    const QString n = name.trimmed();
    if (!n.startsWith("COM", Qt::CaseInsensitive))
        return 0;
    bool ok = false;
    const int v = n.mid(3).toInt(&ok);
    return ok && v >= 1 && v <= 255 && QString::number(v) == n.mid(3) ? v : 0;
}

namespace {
// The device of a trimmed port name given its mapping (empty: none).
QString resolvePort(const QString& key, const QString& mapped) {
    if (key.isEmpty())
        return {};
    if (!mapped.isEmpty())
        return mapped;
    if (const int n = comPortNumber(key))
        return "/dev/ttyS" + QString::number(n - 1);
    if (key.startsWith("/dev/"))
        return key;
    return {};
}
} // namespace

QString portDevicePath(const QString& name, const IniFile& options) {
    const QString key = name.trimmed();
    return resolvePort(key, key.isEmpty() ? QString() : options.readString("Ports", key, "").trimmed());
}

QString portDevicePath(const QString& name, const SettingsHome& home) {
    IniFile ini(home.optionFile());
    ini.load();
    return portDevicePath(name, ini);
}

} // namespace tornyx::platform

namespace tornyx::platform {

namespace {
const QString PortsSection = QStringLiteral("Ports");

template <class List> const QString* findName(const List& list, const QString& name) {
    for (const auto& [n, device] : list)
        if (n.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return &device;
    return nullptr;
}
} // namespace

PortMap::PortMap(QString optionFile) : m_file(std::move(optionFile)) {
    IniFile ini(m_file);
    ini.load();
    for (const QString& key : ini.keys(PortsSection))
        m_stored.emplace_back(key, ini.readString(PortsSection, key, QString()).trimmed());
}

QString PortMap::mapping(const QString& name) const {
    if (const QString* changed = findName(m_changes, name))
        return *changed;
    const QString* stored = findName(m_stored, name);
    return stored ? *stored : QString();
}

QString PortMap::device(const QString& name) const {
    return resolvePort(name.trimmed(), mapping(name));
}

void PortMap::set(const QString& name, const QString& device) {
    const QString key = name.trimmed();
    if (key.isEmpty())
        return;
    const QString* stored = findName(m_stored, key);
    const QString value = device.trimmed();
    std::erase_if(m_changes, [&](const auto& c) { return c.first.compare(key, Qt::CaseInsensitive) == 0; });
    if ((stored ? *stored : QString()) != value)
        m_changes.emplace_back(key, value);
}

bool PortMap::isMapped(const QString& name) const {
    return !mapping(name).isEmpty();
}

bool PortMap::save(QString* error) {
    if (m_changes.empty())
        return true;
    IniFile ini(m_file);
    ini.load();
    for (const auto& [name, device] : m_changes)
        ini.writeString(PortsSection, name, device);
    if (!ini.save(error))
        return false;
    for (const auto& [name, device] : m_changes) {
        std::erase_if(m_stored,
                      [&](const auto& s) { return s.first.compare(name, Qt::CaseInsensitive) == 0; });
        m_stored.emplace_back(name, device);
    }
    m_changes.clear();
    return true;
}

} // namespace tornyx::platform
