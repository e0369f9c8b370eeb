#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tornyx::platform {

// " Ver" + the program's version, as the caption and the About box show it.
QString versionText();

// The operating system as the window names it at start.
struct OsInfo {
    QString text;     // "OS=" + the system's name; "" when it could not be read
    int osClass = -1; // 0 on Linux; -1 when the system could not be read
};

// The name from an os-release file: PRETTY_NAME, unquoted as the shell would.
// A file without it names the system "Linux", the os-release default; control
// characters are dropped and the name is cut at 80 characters, since it ends
// up in the window caption.
OsInfo osInfoFromRelease(const QByteArray& contents);

// Reads the first os-release file that can be read: /etc/os-release, then
// /usr/lib/os-release, as os-release(5) says.
OsInfo readOsInfo(const QStringList& files = {QStringLiteral("/etc/os-release"),
                                              QStringLiteral("/usr/lib/os-release")});

} // namespace tornyx::platform
