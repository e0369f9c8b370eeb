#include "receive/OspFileName.h"

#include <QRegularExpression>

namespace tornyx {

namespace {

constexpr int MaxNameBytes = 255;

bool isRemoved(QChar c) {
    const char16_t u = c.unicode();
    return u < 0x20 || u == 0x7F || QStringLiteral("/\\:*?\"<>|").contains(c);
}

bool isDeviceName(const QString& name) {
    static const QRegularExpression device(QStringLiteral("^(CON|PRN|AUX|NUL|COM[0-9]|LPT[0-9])$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QString stem = name.section('.', 0, 0).trimmed();
    return device.match(stem).hasMatch();
}

} // namespace

OspFileName finalOspFileName(const QString& received) {
    QString plain = received;
    plain.remove(' ');

    QString cleaned;
    cleaned.reserve(plain.size());
    for (const QChar c : plain)
        if (!isRemoved(c))
            cleaned += c;
    while (cleaned.contains(".."))
        cleaned.replace("..", ".");
    while (cleaned.startsWith('.'))
        cleaned.remove(0, 1);
    while (cleaned.endsWith('.'))
        cleaned.chop(1);

    OspFileName out;
    out.changed = cleaned != plain;
    if (cleaned.isEmpty() || isDeviceName(cleaned)) {
        out.changed = true;
        return out;
    }
    if (!cleaned.contains('.'))
        cleaned += ".MIN";
    if (cleaned.toUtf8().size() > MaxNameBytes) {
        out.changed = true;
        return out;
    }
    out.name = cleaned;
    return out;
}

} // namespace tornyx
