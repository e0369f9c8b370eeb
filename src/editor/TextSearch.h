#pragma once

#include "editor/ProgramIndex.h"

#include <QByteArrayView>

namespace tornyx {

// One occurrence: the byte offsets of its first character and behind its
// last. The search ignores letter case, so the occurrence may be longer or
// shorter than the text searched for.
struct TextMatch {
    qsizetype start = -1;
    qsizetype end = -1;
    bool found() const { return start >= 0; }
};

// Searches the editor text for needle (UTF-8), letters compared without
// regard to case, reading the buffer where it lies. Plain ASCII is compared
// here; wherever a non-ASCII character could take part in a match, the text's
// own foldedMatchEnd decides, so the editor's case rules hold throughout.
//
// The first occurrence that starts at or after from.
TextMatch findForward(const IndexedText& text, QByteArrayView needle, qsizetype from);
// The last occurrence that starts before `before`; it may reach past it.
TextMatch findBackward(const IndexedText& text, QByteArrayView needle, qsizetype before);
// The end of an occurrence that starts exactly at `at`; -1 when none does.
qsizetype matchEndAt(const IndexedText& text, QByteArrayView needle, qsizetype at);

} // namespace tornyx
