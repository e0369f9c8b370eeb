#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace tornyx::platform {

namespace {

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

bool isWritableFolder(const QString& folder) {
    if (folder.isEmpty())
        return false;
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

} // namespace

QString settingsHome() {
    QString home = qEnvironmentVariable("TORNYX_HOME");
    if (home.isEmpty()) {
        const QString exeDir = executableFolder();
        if (isWritableFolder(exeDir)) {
            home = exeDir;
        } else {
            QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
            if (config.isEmpty())
                config = QDir::homePath() + "/.config";
            home = config + "/tornyx";
        }
    }
    QDir().mkpath(home);
    return QDir::cleanPath(home);
}

QString homeFile(const QString& fileName) { return settingsHome() + '/' + fileName; }

QString optionFilePath() { return homeFile(QString(ProgramName) + ".INI"); }
QString profileFilePath() { return homeFile("Setting.ini"); }
QString transferListPath() { return homeFile(QString(ProgramName) + ".tmp"); }
QString completionListPath() { return homeFile(QString(ProgramName) + ".DEF"); }

} // namespace tornyx::platform
