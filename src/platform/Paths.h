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
    // $TORNYX_HOME when set; else $XDG_CONFIG_HOME/tornyx for an installed
    // program; else the executable's folder when it is writable (a copy run
    // from its build folder or a stick); else $XDG_CONFIG_HOME/tornyx. The
    // folder is created when it does not exist yet.
    static SettingsHome resolve();
    // The same for an executable in executableFolder.
    static SettingsHome resolveFor(const QString& executableFolder);

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

// The folder of the running executable.
QString executableFolder();

// <prefix>/share/tornyx of a program installed under <prefix>, found from
// <prefix>/bin; empty when the program does not run from an installed layout.
// Its presence is what makes a program "installed": a program that root runs
// from /usr/bin must not write its settings there, though it could.
QString installedDataFolder(const QString& executableFolder);

} // namespace tornyx::platform
