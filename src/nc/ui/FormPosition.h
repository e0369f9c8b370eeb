#pragma once

#include <QRect>
#include <QString>

class QWidget;

namespace tornyx {

// Where the restart and budget dialogs stand: centred over the main window
// as it is when they open; their left and top edges written into their own
// section of the option file when they close.
void centreOver(QWidget& dialog, const QRect& mainWindow);
void storePosition(const QWidget& dialog, const QString& optionFile, const QString& section);

} // namespace tornyx
