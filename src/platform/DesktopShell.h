#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace tornyx::platform {

// The program's place on a Linux desktop: the launcher on the desktop, the
// "Open with" and "Send to" entries of the file managers, the NC file types,
// and the help beside the program. The menu commands that write them stay
// silent whatever happens (as a shortcut on any desktop does); the functions
// answer false when not everything was written, for the tests.

// Starts a desktop tool (gio, update-mime-database) without waiting for it.
using ToolRunner = std::function<void(const QString& program, const QStringList& arguments)>;
// The runner the program uses: the tool is started detached when it is
// installed, and nothing happens when it is not.
void runToolDetached(const QString& program, const QStringList& arguments);

// The user's folders the entries go to, read from the environment.
struct ShellFolders {
    // The desktop (xdg-user-dir DESKTOP, else ~/Desktop); empty when that
    // folder does not exist, since nothing would show a launcher there.
    QString desktop;
    // $XDG_DATA_HOME, or ~/.local/share when it is unset or relative. Empty
    // when it points nowhere: a missing folder outside the home folder is
    // not made.
    QString dataHome;

    static ShellFolders fromEnvironment();
};

// An argument of a desktop entry's Exec line, quoted where the desktop entry
// rules ask for it and escaped as a string value of the file.
QString quoteExecArgument(const QString& argument);

// The program's desktop entry (the installed one) starting executable with
// the file it is given: the "Open with" entry and the launcher.
QByteArray desktopEntryFor(const QString& executable);
// The entry of Thunar's "Send to" menu: every file, all of them to one program.
QByteArray sendToEntryFor(const QString& executable);
// The script of Nautilus' (and Nemo's) "Scripts" menu: opens the first
// selected file by its full path.
QByteArray fileManagerScriptFor(const QString& executable);

// "ﾃﾞｨｽｸﾄｯﾌﾟにｼｮｰﾄｶｯﾄ作成": the launcher Tornyx.desktop on the desktop,
// replacing an earlier one, executable and marked trusted for the desktops
// that ask for it (GNOME, Xfce).
bool createDesktopShortcut(const QString& executable, const ShellFolders& folders, const ToolRunner& run);

// "SendTo(送る)に登録": the desktop entry in the user's applications (with the
// NC file types, so that "Open with Tornyx" is offered for them), the NC file
// types themselves, Thunar's send-to entry and the Nautilus and Nemo scripts.
bool registerSendTo(const QString& executable, const ShellFolders& folders, const ToolRunner& run);

// The manual: Tornyx.html or help/index.html beside the executable (a copy
// run from its build folder), else <prefix>/share/tornyx/help/index.html of
// an installed program. Empty when there is none.
QString findHelpFile(const QString& executableFolder);

} // namespace tornyx::platform
