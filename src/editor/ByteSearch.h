#pragma once

#include "editor/ProgramIndex.h"

#include <functional>
#include <vector>

namespace tornyx {

// Finds bytes a or b across the pieces of a text. It looks window by window,
// so that a byte the text does not hold at all costs no more than the text
// up to the next occurrence of the other one, and remembers what it found.
class ByteSearch {
public:
    ByteSearch(std::vector<IndexedText::Piece> pieces, char a, char b);

    // Global offset of the first a or b at or after from; -1 when none.
    // from never decreases between calls.
    qsizetype next(qsizetype from);

    // The byte at a global offset; 0 behind the end.
    char at(qsizetype offset) const;

private:
    // What one search found: hit (or -1) is the first occurrence in
    // [from, to).
    struct Needle {
        char c = 0;
        qsizetype hit = -1;
        qsizetype from = 0;
        qsizetype to = 0;
    };

    qsizetype findIn(Needle& n, qsizetype from, qsizetype to);
    qsizetype find(char c, qsizetype from, qsizetype to) const;

    std::vector<IndexedText::Piece> m_pieces;
    Needle m_needles[2];
    qsizetype m_end = 0;
};

// The first line at or after fromLine whose first byte is a or b and that
// accept (when given) takes; -1 when there is none.
int nextLineStartingWith(const IndexedText& text, int fromLine, char a, char b,
                         const std::function<bool(int)>& accept = {});

// The first byte of a line at or behind its leading blanks (space or tab);
// 0 for a line that is empty or blank.
char firstNonBlank(const IndexedText& text, int line);

} // namespace tornyx
