#include "editor/ByteSearch.h"

#include <algorithm>
#include <cstring>

namespace tornyx {

ByteSearch::ByteSearch(std::vector<IndexedText::Piece> pieces, char a, char b) : m_pieces(std::move(pieces)) {
    m_needles[0].c = a;
    m_needles[1].c = b;
    for (const auto& p : m_pieces)
        m_end = std::max(m_end, p.offset + p.bytes.size());
}

qsizetype ByteSearch::next(qsizetype from) {
    constexpr qsizetype Window = 256 << 10;
    for (qsizetype w = from; w < m_end;) {
        const qsizetype wEnd = std::min(m_end, w + Window);
        const qsizetype a = findIn(m_needles[0], w, wEnd);
        const qsizetype b = m_needles[1].c == m_needles[0].c ? a : findIn(m_needles[1], w, wEnd);
        if (a >= 0 || b >= 0)
            return a < 0 ? b : b < 0 ? a : std::min(a, b);
        w = wEnd;
    }
    return -1;
}

char ByteSearch::at(qsizetype offset) const {
    for (const auto& p : m_pieces)
        if (offset >= p.offset && offset < p.offset + p.bytes.size())
            return p.bytes[offset - p.offset];
    return 0;
}

qsizetype ByteSearch::findIn(Needle& n, qsizetype from, qsizetype to) {
    if (n.to > n.from && n.from <= from) {
        if (n.hit >= from)
            return n.hit < to ? n.hit : -1;
        if (n.hit < 0 && n.to >= to)
            return -1;
    }
    const qsizetype start = (n.hit < 0 && n.to > n.from && n.from <= from && n.to > from) ? n.to : from;
    n.hit = find(n.c, start, to);
    n.from = from;
    n.to = to;
    return n.hit;
}

qsizetype ByteSearch::find(char c, qsizetype from, qsizetype to) const {
    for (const auto& p : m_pieces) {
        const qsizetype end = std::min(to, p.offset + p.bytes.size());
        const qsizetype start = std::max(from, p.offset);
        if (start >= end)
            continue;
        const char* base = p.bytes.data();
        if (const void* hit = std::memchr(base + (start - p.offset), c, end - start))
            return p.offset + (static_cast<const char*>(hit) - base);
    }
    return -1;
}

int nextLineStartingWith(const IndexedText& text, int fromLine, char a, char b,
                         const std::function<bool(int)>& accept) {
    if (fromLine < 0 || fromLine >= text.lineCount())
        return -1;
    const qsizetype from = text.lineStart(fromLine);
    ByteSearch s(text.pieces(from), a, b);
    for (qsizetype h = s.next(from); h >= 0;) {
        const int line = text.lineAt(h);
        if (text.lineStart(line) == h && (!accept || accept(line)))
            return line;
        if (line + 1 >= text.lineCount())
            break;
        h = s.next(text.lineStart(line + 1));
    }
    return -1;
}

char firstNonBlank(const IndexedText& text, int line) {
    const qsizetype start = text.lineStart(line);
    for (const auto& p : text.pieces(start)) {
        for (char c : p.bytes) {
            if (c == ' ' || c == '\t')
                continue;
            return c == '\n' || c == '\r' ? 0 : c;
        }
    }
    return 0;
}

} // namespace tornyx
