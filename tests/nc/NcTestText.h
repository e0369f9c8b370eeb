#pragma once

#include "nc/TextLines.h"

#include <QByteArray>
#include <QList>

#include <memory>

namespace tornyx::test {

// A program as the editor holds it (UTF-8, LF), with the lines the readers
// walk.
struct NcText {
    PlainIndexedText text;
    nc::TextLines lines{text};
    explicit NcText(const QList<QByteArray>& l, qsizetype gapAt = -1) : text(l.join('\n') + '\n', gapAt) {}
};

} // namespace tornyx::test
