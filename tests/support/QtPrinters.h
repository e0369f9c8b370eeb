#pragma once

#include <QByteArray>
#include <QString>

#include <ostream>

// GoogleTest prints failing Qt strings as readable text, not as arrays of
// code units.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray& b, std::ostream* os) {
    *os << '"' << b.toStdString() << '"';
}
