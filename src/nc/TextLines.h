#pragma once

#include "editor/ProgramIndex.h"

#include <QByteArray>
#include <QByteArrayView>

#include <vector>

namespace tornyx::nc {

// The editor's lines as the readers of this folder walk them: views into
// the editor's own buffer, without a copy of the text. A line that lies
// across the editor's gap is copied into one small buffer, so a view is
// valid until the next call of line(). The text must not change while a
// TextLines over it is in use.
class TextLines {
public:
    explicit TextLines(const IndexedText& text);

    // The lines a run goes through: up to the empty line after a final line
    // break, as the send and DNC runs count them.
    int count() const { return m_count; }
    // 0-based line without its line end.
    QByteArrayView line(int index);
    const IndexedText& text() const { return m_text; }

private:
    const IndexedText& m_text;
    std::vector<IndexedText::Piece> m_pieces;
    int m_count = 0;
    int m_lineCount = 0;
    QByteArray m_joined;
};

} // namespace tornyx::nc
