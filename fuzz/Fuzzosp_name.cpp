// Any OSP file-name line: the cleaned name is either refused or a plain name
// that stays in the chosen folder, holds a "." and none of the characters or
// device names the rules remove.
#include "platform/TextCodec.h"
#include "receive/OspFileName.h"

#include <QDir>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray line(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const tornyx::OspFileName f = tornyx::finalOspFileName(tornyx::platform::fromSjis(line));
    const QString& n = f.name;
    if (n.isEmpty())
        return 0;
    for (const QChar c : n)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || QStringLiteral("/\\:*?\"<>| ").contains(c))
            std::abort();
    if (n.startsWith('.') || n.endsWith('.') || n.contains("..") || !n.contains('.') ||
        n.toUtf8().size() > 255)
        std::abort();
    const QString folder = QStringLiteral("/nc/in");
    if (!QDir::cleanPath(QDir(folder).filePath(n)).startsWith(folder + '/'))
        std::abort();
    static const char* const Devices[] = {"CON", "PRN", "AUX", "NUL"};
    const QString stem = n.section('.', 0, 0);
    for (const char* d : Devices)
        if (stem.compare(QLatin1String(d), Qt::CaseInsensitive) == 0)
            std::abort();
    return 0;
}
