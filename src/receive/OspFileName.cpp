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

bool isTrimmed(QChar c) {
    return c == '.' || c == ' ';
}

} // namespace

SafeFileName safeFileName(const QString& name) {
    QString cleaned;
    cleaned.reserve(name.size());
    for (const QChar c : name)
        if (!isRemoved(c))
            cleaned += c;
    while (cleaned.contains(".."))
        cleaned.replace("..", ".");
    // Windows drops trailing dots and blanks itself, and a leading dot hides
    // the file.
    while (!cleaned.isEmpty() && isTrimmed(cleaned.front()))
        cleaned.remove(0, 1);
    while (!cleaned.isEmpty() && isTrimmed(cleaned.back()))
        cleaned.chop(1);

    SafeFileName out;
    out.changed = cleaned != name;
    if (cleaned.isEmpty() || isDeviceName(cleaned) || cleaned.toUtf8().size() > MaxNameBytes) {
        out.changed = true;
        return out;
    }
    out.name = cleaned;
    return out;
}

OspFileName finalOspFileName(const QString& received) {
    QString plain = received;
    plain.remove(' ');
    OspFileName out = safeFileName(plain);
    if (out.name.isEmpty() || out.name.contains('.'))
        return out;
    out.name += ".MIN";
    if (out.name.toUtf8().size() > MaxNameBytes) {
        out.name.clear();
        out.changed = true;
    }
    return out;
}

} // namespace tornyx
