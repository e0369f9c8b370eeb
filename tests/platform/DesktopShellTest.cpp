#include "platform/DesktopShell.h"
#include "platform/Paths.h"
#include "platform/ProgramInfo.h"
#include "support/TempDesktop.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUuid>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace tornyx;
using namespace tornyx::platform;
using test::TempDesktop;

namespace {

const QString Id = QString::fromLatin1(program::AppId);

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool isExecutable(const QString& path) {
    return QFileInfo(path).permissions().testFlag(QFile::ExeOwner);
}

// Every file below folder, relative to it, sorted.
QStringList filesBelow(const QString& folder) {
    QStringList out;
    const QDir base(folder);
    for (const QFileInfo& fi :
         base.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (fi.isDir()) {
            for (const QString& f : filesBelow(fi.filePath()))
                out << fi.fileName() + '/' + f;
        } else {
            out << fi.fileName();
        }
    }
    out.sort();
    return out;
}

// The tools the shell integration asks for, instead of starting them.
struct RecordingRunner {
    QStringList calls;
    ToolRunner runner() {
        return [this](const QString& program, const QStringList& args) {
            calls << program + ' ' + args.join(' ');
        };
    }
};

// A stand-in for the program in a folder whose name needs every kind of
// quoting: it writes the arguments it was started with, one a line. (Not a
// "%": GLib looks for the program before it undoes the "%%" of the entry.)
struct StandInProgram {
    QString path;
    QString argsFile;
    StandInProgram(const QString& root) {
        argsFile = root + "/args";
        path = root + QString::fromUtf16(u"/NC 工具 $HOME \"q\" 'a' `b` \\/bin/tornyx");
        writeFile(path, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + argsFile.toUtf8() +
                            "'\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // The arguments of the last start, waiting up to 5 s for a detached one.
    QStringList arguments() const {
        for (int i = 0; i < 500 && !QFile::exists(argsFile); ++i)
            usleep(10'000);
        QStringList lines = QString::fromUtf8(readFile(argsFile)).split('\n');
        lines.removeAll(QString());
        return lines;
    }
};

// Runs a program to its end; its exit code, -1 when it did not run.
int run(const QString& program, const QStringList& args, const QString& folder = {},
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
        QString* output = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (!folder.isEmpty())
        p.setWorkingDirectory(folder);
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(20000))
        return -1;
    if (output)
        *output = QString::fromUtf8(p.readAll());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

// ------------------------------------------------------------ the launcher

TEST(DesktopShortcut, IsATrustedLauncherThatStartsTheProgram) {
    TempDesktop user;
    RecordingRunner tools;
    const StandInProgram program(user.home());
    ASSERT_TRUE(createDesktopShortcut(program.path, ShellFolders::fromEnvironment(), tools.runner()));

    const QString launcher = user.desktop() + "/Tornyx.desktop";
    EXPECT_TRUE(isExecutable(launcher)) << "desktops start only executable launchers";
    const QString checksum = QCryptographicHash::hash(readFile(launcher), QCryptographicHash::Sha256).toHex();
    EXPECT_EQ(tools.calls,
              (QStringList{"gio set " + launcher + " metadata::trusted true",
                           "gio set -t string " + launcher + " metadata::xfce-exe-checksum " + checksum}));
    EXPECT_TRUE(QFile::exists(user.dataHome() + "/icons/hicolor/scalable/apps/" + Id + ".svg"))
        << "the icon the launcher names";

    // The quoting of a path with blanks, quotes, $, ` and \, as GLib reads it.
    if (QStandardPaths::findExecutable("gio").isEmpty())
        GTEST_SKIP() << "gio (libglib2.0-bin) is not installed";
    const QString nc = user.home() + "/O1234.NC";
    ASSERT_EQ(run("gio", {"launch", launcher, nc}), 0);
    EXPECT_EQ(program.arguments(), QStringList{nc});
}

TEST(DesktopShortcut, GoesToTheDesktopTheUserDirsName) {
    TempDesktop user;
    const QString desktop = user.home() + QString::fromUtf16(u"/デスクトップ");
    QDir().mkpath(desktop);
    writeFile(user.home() + "/.config/user-dirs.dirs",
              QString::fromUtf16(u"XDG_DESKTOP_DIR=\"$HOME/デスクトップ\"\n").toUtf8());
    RecordingRunner tools;
    EXPECT_TRUE(createDesktopShortcut("/usr/bin/tornyx", ShellFolders::fromEnvironment(), tools.runner()));
    EXPECT_TRUE(QFile::exists(desktop + "/Tornyx.desktop"));
    EXPECT_FALSE(QFile::exists(user.desktop() + "/Tornyx.desktop"));
}

TEST(DesktopShortcut, MissingOrReadOnlyDesktopWritesNothing) {
    TempDesktop user;
    RecordingRunner tools;
    QDir(user.desktop()).removeRecursively();
    EXPECT_FALSE(createDesktopShortcut("/usr/bin/tornyx", ShellFolders::fromEnvironment(), tools.runner()));
    EXPECT_FALSE(QFileInfo::exists(user.desktop())) << "a missing desktop is not made";
    EXPECT_TRUE(tools.calls.isEmpty());

    QDir().mkpath(user.desktop());
    QFile::setPermissions(user.desktop(), QFile::ReadOwner | QFile::ExeOwner);
    const bool written =
        createDesktopShortcut("/usr/bin/tornyx", ShellFolders::fromEnvironment(), tools.runner());
    QFile::setPermissions(user.desktop(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (geteuid() != 0) { // root writes into a read-only folder all the same
        EXPECT_FALSE(written);
        EXPECT_TRUE(QDir(user.desktop()).isEmpty());
    }
}

// ------------------------------------------------------------ send to

TEST(SendTo, EntriesNameTheProgramAndOpenTheFileByItsFullPath) {
    TempDesktop user;
    RecordingRunner tools;
    const StandInProgram program(user.home());
    EXPECT_TRUE(registerSendTo("/opt/old/tornyx", ShellFolders::fromEnvironment(), tools.runner()));
    EXPECT_TRUE(registerSendTo(program.path, ShellFolders::fromEnvironment(), tools.runner()));

    const QString data = user.dataHome();
    EXPECT_EQ(filesBelow(data),
              (QStringList{"Thunar/sendto/" + Id + ".desktop", "applications/" + Id + ".desktop",
                           "icons/hicolor/scalable/apps/" + Id + ".svg", "mime/packages/" + Id + ".xml",
                           "nautilus/scripts/Tornyx", "nemo/scripts/Tornyx"}));
    const QByteArray openWith = readFile(data + "/applications/" + Id + ".desktop");
    EXPECT_TRUE(openWith.contains("\nMimeType=text/x-nc-program;text/x-osp-program;\n"))
        << openWith.constData();
    EXPECT_FALSE(openWith.contains("/opt/old/")) << "the second registration replaces the first";
    const QByteArray sendTo = readFile(data + "/Thunar/sendto/" + Id + ".desktop");
    EXPECT_TRUE(sendTo.contains(" %F\n")) << "all the selected files to one program";
    EXPECT_FALSE(sendTo.contains("MimeType=")) << "offered for every file, as a send-to entry is";
    const QByteArray types = readFile(data + "/mime/packages/" + Id + ".xml");
    for (const char* glob : {"*.nc", "*.nc1", "*.nc0", "*.min", "*.sub", "*.sdf", "*.rbt", "*.ssb", "*.rpd"})
        EXPECT_TRUE(types.contains(QByteArray("pattern=\"") + glob + '"')) << glob;
    EXPECT_TRUE(isExecutable(data + "/nautilus/scripts/Tornyx"));
    EXPECT_EQ(tools.calls.mid(2), (QStringList{"update-mime-database " + data + "/mime",
                                               "update-desktop-database " + data + "/applications"}));

    if (!QStandardPaths::findExecutable("desktop-file-validate").isEmpty()) {
        for (const QString& entry :
             {data + "/applications/" + Id + ".desktop", data + "/Thunar/sendto/" + Id + ".desktop"}) {
            QString report;
            EXPECT_EQ(
                run("desktop-file-validate", {entry}, {}, QProcessEnvironment::systemEnvironment(), &report),
                0)
                << report.toStdString();
        }
    }

    // The file managers' ways of handing over a file: Thunar and "Open
    // with" through the entry, Nautilus and Nemo through the script with
    // the selection in the environment or as a name in the current folder.
    const QString nc = user.home() + QString::fromUtf16(u"/加工 A/O1234.NC");
    writeFile(nc, "%\nO1234\n%\n");
    if (!QStandardPaths::findExecutable("gio").isEmpty()) {
        for (const QString& entry :
             {data + "/applications/" + Id + ".desktop", data + "/Thunar/sendto/" + Id + ".desktop"}) {
            ASSERT_EQ(run("gio", {"launch", entry, nc}), 0);
            EXPECT_EQ(program.arguments(), QStringList{nc}) << entry.toStdString();
            QFile::remove(program.argsFile);
        }
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("NAUTILUS_SCRIPT_SELECTED_FILE_PATHS", nc + "\n" + user.home() + "/other.nc\n");
    ASSERT_EQ(run(data + "/nautilus/scripts/Tornyx", {"O1234.NC", "other.nc"}, user.home(), env), 0);
    EXPECT_EQ(program.arguments(), QStringList{nc});
    QFile::remove(program.argsFile);
    ASSERT_EQ(run(data + "/nemo/scripts/Tornyx", {"O1234.NC"}, QFileInfo(nc).absolutePath()), 0);
    EXPECT_EQ(program.arguments(), QStringList{nc});
}

TEST(SendTo, DataFolderPointingNowhereWritesNothing) {
    TempDesktop user;
    RecordingRunner tools;
    const QString nowhere = "/nonexistent-" + QUuid::createUuid().toString(QUuid::WithoutBraces) + "/share";
    user.set("XDG_DATA_HOME", nowhere);
    const ShellFolders folders = ShellFolders::fromEnvironment();
    EXPECT_TRUE(folders.dataHome.isEmpty());
    EXPECT_FALSE(registerSendTo("/usr/bin/tornyx", folders, tools.runner()));
    EXPECT_FALSE(createDesktopShortcut("/usr/bin/tornyx", folders, tools.runner()) &&
                 QFileInfo::exists(QFileInfo(nowhere).absolutePath()));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(nowhere).absolutePath())) << "not even as root";

    // A relative one is invalid and stands for the default.
    user.set("XDG_DATA_HOME", "relative/share");
    EXPECT_EQ(ShellFolders::fromEnvironment().dataHome, user.home() + "/.local/share");
    // A missing default inside the home folder is made, as XDG asks.
    user.unset("XDG_DATA_HOME");
    EXPECT_TRUE(registerSendTo("/usr/bin/tornyx", ShellFolders::fromEnvironment(), tools.runner()));
    EXPECT_TRUE(QFile::exists(user.dataHome() + "/applications/" + Id + ".desktop"));
}

// ------------------------------------------------------------ help

TEST(Help, BesideTheProgramFirstThenWhereItIsInstalled) {
    QTemporaryDir prefix;
    const QString bin = prefix.path() + "/bin";
    QDir().mkpath(bin);
    EXPECT_EQ(findHelpFile(bin), QString());
    writeFile(prefix.path() + "/share/tornyx/help/index.html", "<html/>");
    EXPECT_EQ(findHelpFile(bin), prefix.path() + "/share/tornyx/help/index.html");
    writeFile(bin + "/help/index.html", "<html/>");
    EXPECT_EQ(findHelpFile(bin), bin + "/help/index.html");
    writeFile(bin + "/Tornyx.html", "<html/>");
    EXPECT_EQ(findHelpFile(bin), bin + "/Tornyx.html");
}

// ------------------------------------------------------------ settings home

TEST(SettingsHome, InstalledProgramKeepsItsSettingsInTheConfigFolder) {
    TempDesktop user;
    user.unset("TORNYX_HOME");
    QTemporaryDir prefix;
    const QString bin = prefix.path() + "/bin";
    QDir().mkpath(bin);
    // A copy run from its build folder keeps them beside itself.
    EXPECT_EQ(SettingsHome::resolveFor(bin).folder(), bin);
    // Installed: even a writable folder (as /usr/bin is for root) stays clean.
    QDir().mkpath(prefix.path() + "/share/tornyx");
    EXPECT_EQ(SettingsHome::resolveFor(bin).folder(), user.home() + "/.config/tornyx");
    EXPECT_TRUE(QFileInfo(user.home() + "/.config/tornyx").isDir());
    EXPECT_EQ(filesBelow(bin), QStringList());
    user.set("XDG_CONFIG_HOME", "relative");
    EXPECT_EQ(SettingsHome::resolveFor(bin).folder(), user.home() + "/.config/tornyx");
    user.set("TORNYX_HOME", user.home() + "/own");
    EXPECT_EQ(SettingsHome::resolveFor(bin).folder(), user.home() + "/own");
}
