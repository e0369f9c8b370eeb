#include "platform/PortNames.h"

#include "platform/IniFile.h"
#include "platform/Paths.h"

#include <QRegularExpression>

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

QString PortMapping::address() const {
    if (!isNetwork())
        return device;
    return (host.contains(':') ? "[" + host + "]" : host) + ":" + QString::number(port);
}

PortMapping parsePortMapping(const QString& value) {
    PortMapping m;
    const QString v = value.trimmed();
    const qsizetype sep = v.indexOf("://");
    if (sep < 0) {
        if (v.isEmpty()) {
            m.error = QStringLiteral(u"ﾃﾞﾊﾞｲｽが指定されていません");
            return m;
        }
        m.kind = PortMapping::Kind::Device;
        m.device = v;
        return m;
    }
    const QString scheme = v.left(sep).toLower();
    const QString rest = v.mid(sep + 3);
    const QString usage = QStringLiteral(u"rfc2217://ﾎｽﾄ:ﾎﾟｰﾄ又はtcp://ﾎｽﾄ:ﾎﾟｰﾄで指定してください");
    if (scheme != "rfc2217" && scheme != "tcp") {
        m.error = usage;
        return m;
    }
    // A name or IPv4 address, or an IPv6 address in brackets; then the port.
    static const QRegularExpression form(QStringLiteral(
        R"(^(?:\[([0-9A-Fa-f:.]+(?:%[A-Za-z0-9_.-]+)?)\]|([A-Za-z0-9](?:[A-Za-z0-9.-]*[A-Za-z0-9])?)):([0-9]{1,5})$)"));
    const QRegularExpressionMatch match = form.match(rest);
    if (!match.hasMatch()) {
        m.error = rest.isEmpty() || rest.startsWith(':') ? QStringLiteral(u"ﾎｽﾄ名がありません") : usage;
        return m;
    }
    const int port = match.captured(3).toInt();
    if (port < 1 || port > 65535) {
        m.error = QStringLiteral(u"ﾎﾟｰﾄ番号は1～65535で指定してください");
        return m;
    }
    m.kind = scheme == "rfc2217" ? PortMapping::Kind::Rfc2217 : PortMapping::Kind::RawTcp;
    m.host = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
    m.port = port;
    return m;
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
    for (const auto& change : m_changes) {
        std::erase_if(m_stored,
                      [&](const auto& s) { return s.first.compare(change.first, Qt::CaseInsensitive) == 0; });
        m_stored.push_back(change);
    }
    m_changes.clear();
    return true;
}

} // namespace tornyx::platform
