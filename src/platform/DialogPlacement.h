#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <utility>
#include <vector>

namespace tornyx::platform {

// Top-left corner that centres a dialog of size on anchor (the main
// window's geometry when the dialog was opened), halves truncated toward
// zero; a negative result falls back to the anchor's own edge.
QPoint centredOn(const QRect& anchor, const QSize& size);

// Writes a dialog's left and top edges, and any further keys of its
// section, into the option file at optionFile, keeping everything else.
// False with a reason in *error when the file could not be written.
bool storeDialogPosition(const QString& optionFile, const QString& section, const QPoint& topLeft,
                         const std::vector<std::pair<QString, QString>>& moreKeys = {},
                         QString* error = nullptr);

// The message when a settings file could not be written.
QString settingsNotWrittenText(const QString& path, const QString& reason);

} // namespace tornyx::platform
