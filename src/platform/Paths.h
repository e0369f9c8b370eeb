#pragma once

#include <QString>

namespace tornyx::platform {

// The program's name: it names the option file, the transfer list, the
// completion list and the log files ("Tornyx.INI", "Tornyx_S.log", ...).
inline constexpr const char* ProgramName = "Tornyx";

// The folder that holds Tornyx.INI, Setting.ini, the logs and the other
// program files. It is resolved once when the program starts and handed to
// whatever reads or writes those files.
class SettingsHome {
public:
    // $TORNYX_HOME when set, else the executable's folder when it is
    // writable (the portable layout), else $XDG_CONFIG_HOME/tornyx. The
    // folder is created when it does not exist yet.
    static SettingsHome resolve();

    explicit SettingsHome(QString folder);

    const QString& folder() const { return m_folder; }
    // folder() + "/" + fileName.
    QString file(const QString& fileName) const;

    // The program files by their role.
    QString optionFile() const;     // Tornyx.INI
    QString profileFile() const;    // Setting.ini
    QString transferList() const;   // Tornyx.tmp
    QString completionList() const; // Tornyx.DEF

private:
    QString m_folder;
};

} // namespace tornyx::platform
