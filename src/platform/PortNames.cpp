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

} // namespace tornyx::platform
