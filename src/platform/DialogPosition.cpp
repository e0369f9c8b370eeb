#include "platform/DialogPosition.h"

#include "platform/IniFile.h"

namespace tornyx::platform {

QPoint readDialogPosition(const QString& iniPath, const QString& section, QPoint fallback) {
    IniFile ini(iniPath);
    ini.load();
    return {ini.readInteger(section, "Left", fallback.x()), ini.readInteger(section, "Top", fallback.y())};
}

void writeDialogPosition(const QString& iniPath, const QString& section, QPoint topLeft) {
    IniFile ini(iniPath);
    ini.load();
    ini.writeInteger(section, "Left", topLeft.x());
    ini.writeInteger(section, "Top", topLeft.y());
    ini.save();
}

} // namespace tornyx::platform
