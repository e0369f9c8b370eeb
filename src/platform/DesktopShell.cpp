#include "platform/DesktopShell.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/ProgramInfo.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace tornyx::platform {

namespace {

QString appId() {
    return QString::fromLatin1(program::AppId);
}

QByteArray resource(const QString& name) {
    QFile f(":/shell/" + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool isInside(const QString& path, const QString& folder) {
    const QString p = QDir::cleanPath(path);
    const QString f = QDir::cleanPath(folder);
    return !f.isEmpty() && f != "/" && (p == f || p.startsWith(f + '/'));
}

// Writes bytes to path, making its folder (below base only); with
// executable the file gets the x bits a launcher or a script needs.
bool writeUserFile(const QString& base, const QString& path, const QByteArray& bytes,
                   bool executable = false) {
    if (base.isEmpty() || !isInside(path, base))
        return false;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !writeFileAtomically(path, bytes))
        return false;
    if (!executable)
        return true;
    const auto rw = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    return QFile::setPermissions(path, rw | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
}

// The installed entry with its Exec line starting executable.
QByteArray entryWith(const QString& executable, const QString& fileCode, bool withFileTypes) {
    QByteArray out;
    for (const QByteArray& line : resource("entry.desktop").split('\n')) {
        if (line.isEmpty())
            continue;
        if (line.startsWith("Exec="))
            out += "Exec=" + (quoteExecArgument(executable) + ' ' + fileCode).toUtf8() + '\n';
        else if (!line.startsWith("MimeType=") || withFileTypes)
            out += line + '\n';
    }
    return out;
}

// A text as one word of a POSIX shell.
QString shellWord(const QString& text) {
    QString quoted = text;
    quoted.replace('\'', "'\\''");
    return '\'' + quoted + '\'';
}

// The icon under the name the entries give, in the user's icon theme: a
// copy that is not installed has it nowhere else.
bool installIcon(const QString& dataHome) {
    return writeUserFile(dataHome, dataHome + "/icons/hicolor/scalable/apps/" + appId() + ".svg",
                         resource("icon.svg"));
}

} // namespace

void runToolDetached(const QString& program, const QStringList& arguments) {
    const QString path = QStandardPaths::findExecutable(program);
    if (!path.isEmpty())
        QProcess::startDetached(path, arguments);
}

ShellFolders ShellFolders::fromEnvironment() {
    ShellFolders f;
    const QString home = QDir::homePath();
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir())
        f.desktop = QDir::cleanPath(desktop);

    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || QDir::isRelativePath(data))
        data = home + "/.local/share";
    data = QDir::cleanPath(data);
    if (QFileInfo(data).isDir() || (isInside(data, home) && QFileInfo(home).isDir()))
        f.dataHome = data;
    return f;
}

QString quoteExecArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString arg = argument;
    arg.replace('%', "%%"); // a field code otherwise
    bool needsQuotes = arg.isEmpty();
    for (const QChar c : arg)
        needsQuotes = needsQuotes || reserved.contains(c);
    if (needsQuotes) {
        QString quoted;
        for (const QChar c : arg) {
            if (c == '"' || c == '`' || c == '$' || c == '\\')
                quoted += '\\';
            quoted += c;
        }
        arg = '"' + quoted + '"';
    }
    // The escapes of a string value come on top of the quoting.
    QString value;
    for (const QChar c : arg) {
        if (c == '\\')
            value += QStringLiteral("\\\\");
        else if (c == '\n')
            value += QStringLiteral("\\n");
        else if (c == '\t')
            value += QStringLiteral("\\t");
        else if (c == '\r')
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value;
}

QByteArray desktopEntryFor(const QString& executable) {
    return entryWith(executable, QStringLiteral("%f"), true);
}

QByteArray sendToEntryFor(const QString& executable) {
    return entryWith(executable, QStringLiteral("%F"), false);
}

QByteArray fileManagerScriptFor(const QString& executable) {
    return QByteArrayLiteral(
               "#!/bin/sh\n"
               "# Opens the first selected file in Tornyx, by its full path.\n"
               "# Written by Tornyx (SendTo(送る)に登録).\n"
               "file=$(printf '%s\\n' "
               "\"${NAUTILUS_SCRIPT_SELECTED_FILE_PATHS:-$NEMO_SCRIPT_SELECTED_FILE_PATHS}\" | head -n 1)\n"
               "if [ -z \"$file\" ] && [ $# -gt 0 ]; then\n"
               "    case $1 in /*) file=$1 ;; *) file=$PWD/$1 ;; esac\n"
               "fi\n"
               "exec ") +
           shellWord(executable).toUtf8() + " ${file:+\"$file\"}\n";
}

bool createDesktopShortcut(const QString& executable, const ShellFolders& folders, const ToolRunner& run) {
    if (folders.desktop.isEmpty())
        return false;
    const QString path = folders.desktop + "/Tornyx.desktop";
    const QByteArray entry = desktopEntryFor(executable);
    if (!writeUserFile(folders.desktop, path, entry, true))
        return false;
    installIcon(folders.dataHome);
    // GNOME's desktop icons start a launcher only when it is trusted; Xfce
    // when the checksum it keeps matches the file.
    run("gio", {"set", path, "metadata::trusted", "true"});
    run("gio", {"set", "-t", "string", path, "metadata::xfce-exe-checksum",
                QString::fromLatin1(QCryptographicHash::hash(entry, QCryptographicHash::Sha256).toHex())});
    return true;
}

bool registerSendTo(const QString& executable, const ShellFolders& folders, const ToolRunner& run) {
    const QString data = folders.dataHome;
    if (data.isEmpty())
        return false;
    bool ok =
        writeUserFile(data, data + "/applications/" + appId() + ".desktop", desktopEntryFor(executable));
    const bool types = writeUserFile(data, data + "/mime/packages/" + appId() + ".xml", resource("mime.xml"));
    ok = types && ok;
    ok = installIcon(data) && ok;
    ok = writeUserFile(data, data + "/Thunar/sendto/" + appId() + ".desktop", sendToEntryFor(executable)) &&
         ok;
    const QByteArray script = fileManagerScriptFor(executable);
    ok = writeUserFile(data, data + "/nautilus/scripts/Tornyx", script, true) && ok;
    ok = writeUserFile(data, data + "/nemo/scripts/Tornyx", script, true) && ok;
    if (types)
        run("update-mime-database", {data + "/mime"});
    run("update-desktop-database", {data + "/applications"});
    return ok;
}

QString findHelpFile(const QString& executableFolder) {
    QStringList candidates = {executableFolder + '/' + ProgramName + ".html",
                              executableFolder + "/help/index.html"};
    const QString installed = installedDataFolder(executableFolder);
    if (!installed.isEmpty())
        candidates << installed + "/help/index.html";
    for (const QString& c : candidates)
        if (QFileInfo(c).isFile())
            return QDir::cleanPath(c);
    return {};
}

} // namespace tornyx::platform
