#include "app/CommandLine.h"

#include "platform/IniFile.h"

#include <QDir>
#include <QFileInfo>

namespace tornyx {

// On this platform "/" is the path separator, so it cannot also be the
// switch character everywhere. A "/" counts as a switch character only
// directly in front of a marker ("/S=", "/END", "/N=3") and is dropped there;
// a path such as S=/home/op/P.NC keeps all its slashes. A plain full path is
// an argument that starts with "/" and is not such a switch.

namespace {

const char* const MultiMarkers[] = {
    "S01=", "S02=", "S03=", "S04=", "S05=", "S06=", "S07=", "S08=", "S09=", "S10="};
const char* const AllMarkers[] = {"S01=", "S02=", "S03=", "S04=", "S05=", "S06=", "S07=", "S08=",
                                  "S09=", "S10=", "SE=Y", "S=",   "R=",   "END",  "N="};

bool contains(const QString& upper, const char* marker) {
    return upper.contains(QLatin1String(marker));
}

// A with the marker (and a switch slash directly before it) removed; the text
// before and after the marker is kept.
QString withoutMarker(const QString& arg, const char* marker) {
    const QString upper = arg.toUpper();
    qsizetype at = upper.indexOf(QLatin1String(marker));
    if (at < 0)
        return arg;
    qsizetype len = qstrlen(marker);
    if (at > 0 && arg[at - 1] == '/') {
        --at;
        ++len;
    }
    return arg.left(at) + arg.mid(at + len);
}

bool isSwitch(const QString& upper) {
    if (!upper.startsWith('/'))
        return false;
    const QString rest = upper.mid(1);
    for (const char* m : AllMarkers)
        if (rest.startsWith(QLatin1String(m)))
            return true;
    return false;
}

QString resolve(const QString& name, const QString& lastFolder) {
    if (name.startsWith('/'))
        return name;
    QString folder = lastFolder;
    if (folder.endsWith('/'))
        folder.chop(1);
    return folder + '/' + name;
}

} // namespace

QString sendDataMissingText(const QString& path) {
    return QStringLiteral(u"送信ﾃﾞｰﾀ\n") + path + QStringLiteral(u"が見つかりません｡");
}

QString profileMissingText(const QString& numberText) {
    return QStringLiteral(u"通信設定番号\n") + numberText + QStringLiteral(u"は存在しません｡");
}

QString overwriteQuestionText(const QString& path) {
    return QStringLiteral(u"すでに") + path + QStringLiteral(u"が有ります｡\n") +
           QStringLiteral(u"上書きしますか？");
}

QString transferListFailedText(const QString& error) {
    return QStringLiteral(u"送信ﾘｽﾄﾌｧｲﾙを作れません｡送信を中止します｡\n") + error;
}

void processCommandLine(const QStringList& args, CommandLineState& st, CommandLineHost& host,
                        const QString& transferListPath) {
    // One box for a list that cannot be trusted, however many members follow.
    bool listFailureShown = false;
    auto refuseList = [&] {
        if (!listFailureShown)
            host.errorBox(transferListFailedText(st.transferListError));
        listFailureShown = true;
        st.autoSendRequest = 'N';
    };
    for (const QString& arg : args) {
        const QString upper = arg.toUpper();

        // 0. A full path of an existing file is that file, whatever its
        //    name holds: "/nc/PARTS=2.NC" must not order a send of
        //    "/nc/PART2.NC", nor "/nc/PARTS01=A.NC" join a list.
        if (arg.startsWith('/') && !isSwitch(upper) && host.fileExists(arg)) {
            if (!st.commandLineOpened) {
                st.transferPath = arg;
                host.openPlainPath(arg);
                st.commandLineOpened = true;
            }
            continue;
        }

        // 1. A member of a multi-file send.
        bool multi = false;
        for (const char* m : MultiMarkers)
            multi = multi || contains(upper, m);
        if (multi && !st.requestPending()) {
            for (const char* m : MultiMarkers)
                if (contains(upper, m))
                    st.transferPath = resolve(withoutMarker(arg, m), st.lastFolder);
            if (!st.transferListError.isEmpty()) {
                refuseList();
            } else if (host.fileExists(st.transferPath)) {
                if (!host.appendToTransferList(st.transferPath, &st.transferListError)) {
                    if (st.transferListError.isEmpty())
                        st.transferListError = transferListPath;
                    refuseList();
                }
            } else {
                host.errorBox(sendDataMissingText(st.transferPath));
                st.autoSendRequest = 'N';
            }
            continue;
        }

        // 2. Send the collected list.
        if (contains(upper, "SE=Y") && !st.requestPending()) {
            st.transferPath = transferListPath;
            if (!st.transferListError.isEmpty()) {
                refuseList();
            } else if (host.fileExists(st.transferPath)) {
                host.loadForSend(st.transferPath);
                st.autoSendRequest = 'Y';
            } else {
                host.errorBox(sendDataMissingText(st.transferPath));
                st.autoSendRequest = 'N';
            }
            continue;
        }

        // 3. A plain path. A relative name of an existing file counts too,
        //    taken against the current folder, as a shell user expects.
        const bool hasSendOrReceive = contains(upper, "S=") || contains(upper, "R=");
        if (!hasSendOrReceive && !st.commandLineOpened && !isSwitch(upper) && !arg.isEmpty()) {
            QString plain;
            if (arg.startsWith('/'))
                plain = arg;
            else if (!contains(upper, "END") && !contains(upper, "N=") && host.fileExists(arg))
                plain = QFileInfo(arg).absoluteFilePath();
            if (!plain.isEmpty()) {
                st.transferPath = plain;
                host.openPlainPath(plain);
                st.commandLineOpened = true;
                continue;
            }
        }

        // 4. Send one file.
        if (contains(upper, "S=") && !st.requestPending()) {
            st.transferPath = resolve(withoutMarker(arg, "S="), st.lastFolder);
            if (host.fileExists(st.transferPath)) {
                host.loadForSend(st.transferPath);
                st.autoSendRequest = 'Y';
            } else {
                host.errorBox(sendDataMissingText(st.transferPath));
                st.autoSendRequest = 'N';
            }
            continue;
        }

        // 5. Receive into one file.
        if (contains(upper, "R=") && !st.requestPending()) {
            st.transferPath = resolve(withoutMarker(arg, "R="), st.lastFolder);
            if (host.fileExists(st.transferPath))
                st.autoReceiveRequest =
                    host.warningQuestion(overwriteQuestionText(st.transferPath)) ? 'Y' : 'N';
            else
                st.autoReceiveRequest = 'Y';
            continue;
        }

        // 6. END and N= (both checks on the same argument).
        if (contains(upper, "END") && arg.size() <= 4)
            st.exitAfterTransfer = true;
        if (contains(upper, "N=")) {
            QString number = withoutMarker(arg, "N=");
            const qsizetype slash = number.indexOf('/');
            if (slash >= 0)
                number.remove(slash, 1);
            const auto n = platform::IniFile::parseInteger(number);
            if (n && *n >= 1 && *n <= 12 && !number.trimmed().startsWith('$') &&
                !number.trimmed().startsWith("0x", Qt::CaseInsensitive))
                st.activeProfile = *n;
            else
                host.errorBox(profileMissingText(number));
        }
    }
}

} // namespace tornyx
