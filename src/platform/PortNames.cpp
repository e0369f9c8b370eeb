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

QString portDevicePath(const QString& name, const IniFile& options) {
    const QString key = name.trimmed();
    if (key.isEmpty())
        return {};
    const QString mapped = options.readString("Ports", key, "").trimmed();
    if (!mapped.isEmpty())
        return mapped;
    if (const int n = comPortNumber(key))
        return "/dev/ttyS" + QString::number(n - 1);
    if (key.startsWith("/dev/"))
        return key;
    return {};
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
