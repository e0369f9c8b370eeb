#pragma once

#include "editor/ProgramIndex.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tornyx {

// A range of the text in bytes, [start, end).
struct TextRange {
    qsizetype start = 0;
    qsizetype end = 0;
};

// The program under the caret line (0-based): from the nearest line above
// or at it that starts, behind any blanks, with "O" or ":", up to the next
// line that starts with either (its line break included), or to the end.
// None when no program starts above the caret.
std::optional<TextRange> programRange(const IndexedText& text, int caretLine);

// The breakpoint (1-based line, -1 for none) after a click on gutter line
// `clicked`: a click on the breakpoint clears it; with none set, a line that
// is neither the first nor empty takes one; while one is set, clicks on
// other lines change nothing.
int breakpointAfterClick(int current, int clicked, bool clickedLineEmpty);

// The status text of the character at the caret: its Shift-JIS code as
// hexadecimal digits in parentheses, a single byte as "(00" + two digits +
// ")" (A gives (0041), あ gives (82A0)). A line end shows the CR that the
// file holds there; a character Shift-JIS cannot hold shows "(----)"; none
// (the end of the text) gives an empty text.
QString characterCodeText(QStringView character);

// The find text a dialog takes from the selection: the selection without
// its first line break.
QString findTextFromSelection(const QString& selection);

// Keyword completion with F1 from a word list. The first F1 takes the run
// of letters before the caret and tries it, then ever shorter endings of it,
// as a prefix; the entries that begin with the first prefix found, one after
// another in the list, are the candidates. Each F1 gives the rest of the next
// candidate, and after the last an empty rest with a beep before it starts
// over; without a candidate every F1 beeps until the completion ends.
class Completion {
public:
    struct Step {
        QString rest; // what stands behind the caret now, in upper case
        bool beep = false;
    };

    bool isActive() const { return m_active; }
    // F1. beforeCaret is the caret line's text in front of the caret; only
    // the first F1 of a completion reads it.
    Step press(const QStringList& words, const QString& beforeCaret);
    // Any other key, or the caret moved by other means.
    void end() { m_active = false; }

private:
    bool m_active = false;
    bool m_failed = false;
    qsizetype m_prefix = 0; // length of the prefix the candidates share
    int m_first = 0;        // the candidates: [m_first, m_end)
    int m_end = 0;
    int m_next = 0; // the candidate the next F1 gives; m_end: the empty rest
};

} // namespace tornyx
