#pragma once

#include <QPoint>
#include <QString>

namespace tornyx::platform {

// Where a dialog was left: "Left" and "Top" in a section of its own in the
// option file ("PrintSetPos", "FileSearchPos", ...).
QPoint readDialogPosition(const QString& iniPath, const QString& section, QPoint fallback);

// Stores the dialog's top-left corner and keeps the rest of the file. A
// position that cannot be written is not worth a message to the operator.
void writeDialogPosition(const QString& iniPath, const QString& section, QPoint topLeft);

} // namespace tornyx::platform
