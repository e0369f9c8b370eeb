#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace tornyx::platform {

QString executableFolder() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    // Without an application object (some tools and tests) ask the kernel.
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    return QFileInfo(QString::fromLocal8Bit(buf, n)).absolutePath();
}

QString installedDataFolder(const QString& executableFolder) {
    if (executableFolder.isEmpty())
        return {};
    const QString data = QDir::cleanPath(executableFolder + "/../share/tornyx");
    return QFileInfo(data).isDir() ? data : QString();
}

namespace {

bool isWritableFolder(const QString& folder) {
    if (folder.isEmpty())
        return false;
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

} // namespace

SettingsHome SettingsHome::resolve() {
    return resolveFor(executableFolder());
}

SettingsHome SettingsHome::resolveFor(const QString& exeDir) {
    QString home = qEnvironmentVariable("TORNYX_HOME");
    if (home.isEmpty()) {
        if (installedDataFolder(exeDir).isEmpty() && isWritableFolder(exeDir)) {
            home = exeDir;
        } else {
            // A relative XDG_CONFIG_HOME is invalid and to be ignored.
            QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
            if (config.isEmpty() || QDir::isRelativePath(config))
                config = QDir::homePath() + "/.config";
            home = config + "/tornyx";
        }
    }
    QDir().mkpath(home);
    return SettingsHome(home);
}

SettingsHome::SettingsHome(QString folder) : m_folder(QDir::cleanPath(folder)) {}

QString SettingsHome::file(const QString& fileName) const {
    return m_folder + '/' + fileName;
}

QString SettingsHome::optionFile() const {
    return file(QString(ProgramName) + ".INI");
}
QString SettingsHome::profileFile() const {
    return file("Setting.ini");
}
QString SettingsHome::transferList() const {
    return file(QString(ProgramName) + ".tmp");
}
QString SettingsHome::completionList() const {
    return file(QString(ProgramName) + ".DEF");
}

} // namespace tornyx::platform
