#pragma once

#include "nc/TextLines.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <memory>

namespace tornyx::test {

// A program as the editor holds it (UTF-8, LF), with the lines the readers
// walk.
struct NcText {
    PlainIndexedText text;
    nc::TextLines lines{text};
    explicit NcText(const QList<QByteArray>& l, qsizetype gapAt = -1) : text(l.join('\n') + '\n', gapAt) {}
};

// The program-number list as the index builds it from these lines.
inline QStringList entriesOf(const QList<QByteArray>& lines) {
    QStringList out;
    for (int i = 0; i < lines.size(); ++i)
        if (!lines[i].isEmpty() && (lines[i][0] == 'O' || lines[i][0] == ':'))
            out << makeEntry(i + 1, QString::fromLatin1(lines[i]));
    return out;
}

} // namespace tornyx::test
