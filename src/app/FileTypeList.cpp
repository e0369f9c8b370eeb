#include "app/FileTypeList.h"

#include <QFileInfo>

namespace tornyx {

std::array<FileType, FileTypeCount> fileTypes(const UserFileTypes& user) {
    return {{
        {QStringLiteral(u"NC文章(*.nc;*.nc1;*.nc0)"), QStringLiteral("*.NC;*.NC1;*.NC0")},
        {QStringLiteral(u"ﾃｷｽﾄ(*.txt)"), QStringLiteral("*.TXT")},
        {user.name1 + "(" + user.mask1 + ")", user.mask1},
        {user.name2 + "(" + user.mask2 + ")", user.mask2},
        {QStringLiteral(u"すべて表示(*.*)"), QStringLiteral("*.*")},
        {QStringLiteral(u"OSP用(*.MIN;*.SUB;*.SDF;*.RBT;*.SSB;*.RPD)"),
         QStringLiteral("*.MIN;*.SUB;*.SDF;*.RBT;*.SSB;*.RPD")},
        {QStringLiteral(u"拡張子無し    "), QString()},
    }};
}

QString fileTypeListText(const UserFileTypes& user) {
    QStringList parts;
    for (const FileType& t : fileTypes(user))
        parts << t.display << t.pattern;
    return parts.join('|');
}

QStringList nameFilters(const UserFileTypes& user) {
    QStringList filters;
    for (const FileType& t : fileTypes(user)) {
        QString patterns = t.pattern;
        patterns.replace(';', ' ');
        filters << t.display + " (" + patterns + ")";
    }
    return filters;
}

QString patternExtension(const QString& pattern) {
    const QString first = pattern.section(';', 0, 0).trimmed().section(' ', 0, 0);
    const qsizetype dot = first.lastIndexOf('.');
    if (dot < 0)
        return {};
    const QString ext = first.mid(dot + 1);
    if (ext.contains('*') || ext.contains('?'))
        return {};
    return ext;
}

namespace {
std::optional<QString> extensionOf(int entry, const UserFileTypes& user, bool picked) {
    switch (entry) {
    case 1:
    case 5:
        return picked ? QStringLiteral("NC") : QStringLiteral("nc");
    case 2:
        return picked ? QStringLiteral("TXT") : QStringLiteral("txt");
    case 3:
        return patternExtension(user.mask1);
    case 4:
        return patternExtension(user.mask2);
    case 6:
        return QStringLiteral("MIN");
    case 7:
        return QString();
    default:
        return std::nullopt;
    }
}
} // namespace

std::optional<QString> startExtension(int entry, const UserFileTypes& user) {
    return extensionOf(entry, user, false);
}

std::optional<QString> pickedExtension(int entry, const UserFileTypes& user) {
    return extensionOf(entry, user, true);
}

QString withDefaultExtension(const QString& path, const QString& extension) {
    if (path.isEmpty() || extension.isEmpty() || QFileInfo(path).fileName().contains('.'))
        return path;
    return path + "." + extension;
}

QString completePattern(const QString& pattern) {
    if (pattern.contains(QLatin1String("*.")))
        return pattern;
    return (pattern.contains('.') ? "*" : "*.") + pattern;
}

void FileTypeChoice::pickForSave(int entry) {
    if (entry < 1 || entry > FileTypeCount)
        return;
    index = entry;
    if (const auto ext = pickedExtension(entry, user))
        defaultExtension = *ext;
}

} // namespace tornyx
