#include "nc/TextLines.h"

namespace tornyx::nc {

TextLines::TextLines(const IndexedText& text) : m_text(text), m_pieces(text.pieces(0)) {
    m_lineCount = text.lineCount();
    m_count = m_lineCount;
    if (m_count > 0 && text.lineStart(m_count - 1) >= text.length())
        --m_count;
}

QByteArrayView TextLines::line(int index) {
    if (index < 0 || index >= m_lineCount)
        return {};
    const qsizetype from = m_text.lineStart(index);
    qsizetype to = index + 1 < m_lineCount ? m_text.lineStart(index + 1) : m_text.length();
    for (const IndexedText::Piece& p : m_pieces) {
        const qsizetype end = p.offset + p.bytes.size();
        if (from < p.offset || from >= end)
            continue;
        if (to <= end) {
            QByteArrayView v = p.bytes.sliced(from - p.offset, to - from);
            while (!v.isEmpty() && (v.back() == '\n' || v.back() == '\r'))
                v.chop(1);
            return v;
        }
        break;
    }
    // Across the gap (or beyond the pieces): the editor's own copy.
    m_joined = m_text.lineBytes(index);
    return m_joined;
}

} // namespace tornyx::nc
