#include "status/Caption.h"

#include "platform/Paths.h"

#include <algorithm>

namespace tornyx {

QString makeCaption(int mode, const QString& name, bool fileNameOnly, const QString& versionSuffix) {
    QString n = name;
    if (fileNameOnly && !n.isEmpty() && n != QStringLiteral(u"無題"))
        n = n.mid(std::max(n.lastIndexOf('/'), n.lastIndexOf('\\')) + 1);
    const QString program = QString::fromLatin1(platform::ProgramName);
    const QString tail = " - " + program + versionSuffix;
    switch (mode) {
    case 1:
        return QStringLiteral(u"<編集>") + n + tail;
    case 2:
        return QStringLiteral(u"<新規作成>") + n + tail;
    case 3:
        return QStringLiteral(u"<編集>") + tail;
    case 4:
        return QStringLiteral(u"<編集><変更>") + n + tail;
    case 5:
        return program + versionSuffix + " (Win2000/XP/Vista)";
    case 6:
        return QStringLiteral(u"<受信>") + n + tail;
    default:
        return QString();
    }
}

} // namespace tornyx
