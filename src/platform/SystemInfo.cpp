#include "platform/SystemInfo.h"

#include "platform/ProgramInfo.h"

#include <QFile>

namespace tornyx::platform {

namespace {

constexpr qsizetype MaxNameLength = 80;

// One os-release value: quotes and backslash escapes undone as a POSIX shell
// would for an assignment (the format is meant to be sourceable).
QByteArray unquote(const QByteArray& raw) {
    QByteArray out;
    char quote = 0;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (quote == '\'') {
            if (c == '\'')
                quote = 0;
            else
                out += c;
        } else if (c == '\\' && i + 1 < raw.size()) {
            const char n = raw[i + 1];
            // Inside double quotes only these keep their backslash's meaning.
            if (quote != '"' || n == '"' || n == '\\' || n == '$' || n == '`') {
                out += n;
                ++i;
            } else {
                out += c;
            }
        } else if (c == '"' || (c == '\'' && quote == 0)) {
            quote = quote == c ? 0 : c;
        } else if (quote == 0 && (c == ' ' || c == '\t')) {
            break; // an unquoted blank ends the value
        } else {
            out += c;
        }
    }
    return out;
}

QString cleanName(const QByteArray& value) {
    QString name;
    for (const QChar c : QString::fromUtf8(value)) {
        if (c.category() == QChar::Other_Control)
            name += ' ';
        else if (c.category() != QChar::Other_Format)
            name += c;
    }
    name = name.simplified();
    if (name.size() > MaxNameLength)
        name.truncate(MaxNameLength);
    return name;
}

} // namespace

QString versionText() {
    return QStringLiteral(" Ver") + QString::fromLatin1(program::Version);
}

OsInfo osInfoFromRelease(const QByteArray& contents) {
    QByteArray pretty = "Linux";
    for (const QByteArray& line : contents.split('\n')) {
        const QByteArray l = line.trimmed();
        if (l.startsWith("PRETTY_NAME="))
            pretty = unquote(l.mid(int(sizeof "PRETTY_NAME=") - 1)); // the last assignment wins
    }
    return {QStringLiteral("OS=") + cleanName(pretty), 0};
}

OsInfo readOsInfo(const QStringList& files) {
    for (const QString& path : files) {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            return osInfoFromRelease(f.read(64 * 1024));
    }
    return {};
}

} // namespace tornyx::platform
