#pragma once

#include "platform/TextCodec.h"

#include <QByteArray>
#include <QString>

namespace tornyx::test {

// Japanese literals for expectations: as text, and as the Shift-JIS bytes a
// file holds.
inline QString u(const char16_t* s) {
    return QString::fromUtf16(s);
}
inline QByteArray sj(const char16_t* s) {
    return platform::toSjis(u(s));
}

} // namespace tornyx::test
