#include "platform/DialogPlacement.h"

#include "platform/IniFile.h"

namespace tornyx::platform {

QPoint centredOn(const QRect& anchor, const QSize& size) {
    int top = anchor.top() + anchor.height() / 2 - size.height() / 2;
    int left = anchor.left() + anchor.width() / 2 - size.width() / 2;
    if (top < 0)
        top = anchor.top();
    if (left < 0)
        left = anchor.left();
    return {left, top};
}

bool storeDialogPosition(const QString& optionFile, const QString& section, const QPoint& topLeft,
                         const std::vector<std::pair<QString, QString>>& moreKeys, QString* error) {
    IniFile ini(optionFile);
    ini.load();
    ini.writeInteger(section, "Left", topLeft.x());
    ini.writeInteger(section, "Top", topLeft.y());
    for (const auto& [key, value] : moreKeys)
        ini.writeString(section, key, value);
    return ini.save(error);
}

QString settingsNotWrittenText(const QString& path, const QString& reason) {
    return path + QStringLiteral(u"\nに設定を書き込めませんでした｡\n") + reason;
}

} // namespace tornyx::platform
