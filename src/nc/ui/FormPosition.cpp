#include "nc/ui/FormPosition.h"

#include "platform/IniFile.h"

#include <QWidget>

#include <algorithm>

namespace tornyx {

void centreOver(QWidget& dialog, const QRect& w) {
    dialog.move(w.left() + std::max(0, (w.width() - dialog.width()) / 2),
                w.top() + std::max(0, (w.height() - dialog.height()) / 2));
}

void storePosition(const QWidget& dialog, const QString& optionFile, const QString& section) {
    if (optionFile.isEmpty())
        return;
    platform::IniFile ini(optionFile);
    ini.load();
    ini.writeInteger(section, "Left", dialog.x());
    ini.writeInteger(section, "Top", dialog.y());
    ini.save(); // a position that cannot be written is not worth a message
}

} // namespace tornyx
