#include "print/PrintText.h"

#include <algorithm>

namespace tornyx {

namespace {

bool endsWithLineBreak(const IndexedText& text, qsizetype end) {
    if (end <= 0)
        return false;
    const int line = text.lineAt(end);
    // end sits at the start of a line that is not the first: what comes
    // before it is a line break.
    return line > 0 && text.lineStart(line) == end;
}

} // namespace

qint64 DocumentLines::count() const {
    const qsizetype n = m_text.length();
    if (n == 0)
        return 0;
    return m_text.lineCount() - (endsWithLineBreak(m_text, n) ? 1 : 0);
}

QString DocumentLines::line(qint64 i) const {
    return QString::fromUtf8(m_text.lineBytes(static_cast<int>(i)));
}

SelectionLines::SelectionLines(const IndexedText& text, qsizetype from, qsizetype to)
    : m_text(text), m_from(std::clamp<qsizetype>(std::min(from, to), 0, text.length())),
      m_to(std::clamp<qsizetype>(std::max(from, to), 0, text.length())) {
    if (m_from == m_to)
        return;
    m_firstLine = m_text.lineAt(m_from);
    const int last = m_text.lineAt(m_to);
    m_count = last - m_firstLine + 1 - (endsWithLineBreak(m_text, m_to) ? 1 : 0);
}

qint64 SelectionLines::count() const {
    return m_count;
}

QString SelectionLines::line(qint64 i) const {
    const int l = m_firstLine + static_cast<int>(i);
    QByteArray bytes = m_text.lineBytes(l);
    const qsizetype start = m_text.lineStart(l);
    // Cut the end first: both cuts are offsets from the line's start.
    if (m_to - start < bytes.size())
        bytes.truncate(std::max<qsizetype>(0, m_to - start));
    if (m_from > start)
        bytes.remove(0, std::min<qsizetype>(m_from - start, bytes.size()));
    return QString::fromUtf8(bytes);
}

} // namespace tornyx
