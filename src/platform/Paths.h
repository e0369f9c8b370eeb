#pragma once

#include <QString>

namespace tornyx::platform {

// The program's name: it names the option file, the transfer list, the
// completion list and the log files ("Tornyx.INI", "Tornyx_S.log", ...).
inline constexpr const char* ProgramName = "Tornyx";

// The folder that holds Tornyx.INI, Setting.ini, the logs and the other
// program files: $TORNYX_HOME when set, else the executable's folder when it
// is writable (the portable layout), else $XDG_CONFIG_HOME/tornyx. The folder
// is created when it does not exist yet.
QString settingsHome();

// settingsHome() + "/" + fileName.
QString homeFile(const QString& fileName);

// The program files by their role.
QString optionFilePath();    // Tornyx.INI
QString profileFilePath();   // Setting.ini
QString transferListPath();  // Tornyx.tmp
QString completionListPath(); // Tornyx.DEF

} // namespace tornyx::platform
