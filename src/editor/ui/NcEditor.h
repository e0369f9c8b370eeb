#pragma once

#include "editor/DocumentFile.h"
#include "editor/EditCommands.h"
#include "editor/ProgramIndex.h"
#include "editor/TextSearch.h"

#include <Qsci/qsciscintilla.h>

#include <functional>
#include <memory>

namespace tornyx {

// The NC program editor: plain text without word wrap, Tab accepted, typed
// letters in upper case. Inside it holds UTF-8 with LF line ends; outside the
// document is Shift-JIS, so text crosses at three places only: loadFile,
// encodeForFile, and lineSjis for the transfer runs.
class NcEditor : public QsciScintilla {
    Q_OBJECT
public:
    static constexpr qsizetype DefaultTextLimit = 150'000'000;
    static constexpr int BreakpointMarker = 1;
    // The notices QScintilla is sent for changes of the text: only those
    // before an insertion or deletion. The ones after them make QScintilla
    // count the characters from the start of the text, which takes seconds
    // per keystroke near the end of a 100 MB program; the notices before
    // carry the same position. (Scintilla passes a notice when any of its
    // bits is in the mask, flags such as "performed by the user" included,
    // so the mask names these two and nothing else.) The change itself is
    // reported once the edit is done (textChanged).
    static constexpr int ChangeNoticeMask = SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE;

    explicit NcEditor(QWidget* parent = nullptr);
    ~NcEditor() override;

    // The index whose key the "O"/":" swap at the start of a line follows;
    // nullptr: no swap.
    void setProgramIndex(ProgramIndex* index) { m_index = index; }
    // Characters that typing and pasting may grow the text to. Loading never
    // cuts a file short.
    void setTextLimit(qsizetype characters) { m_textLimit = characters; }
    qsizetype textLimit() const { return m_textLimit; }

    // Replaces the text with the file's (see readDocument). Setting the text
    // is no edit: no change signal, no undo step, not modified; the caret is
    // at the start.
    ReadResult loadFile(const QString& path, bool receivedPending, DocumentHost& host);
    // Replaces the text with UTF-8 text the same way.
    void setTextQuietly(QByteArrayView utf8);
    // Empties the editor the same way.
    void clearQuietly() { setTextQuietly({}); }

    // The whole text for a file: Shift-JIS, CR LF.
    EncodedDocument encodeForFile() const;
    // The whole text as UTF-8 in one piece; valid until the next change.
    QByteArrayView utf8Text() const;

    int lineCount() const;
    // A line without its line end.
    QString lineText(int line) const;
    QByteArray lineUtf8(int line) const;
    // A line as the transfer runs send it: Shift-JIS bytes without line end.
    QByteArray lineSjis(int line) const;
    // The text for the program-number index.
    const IndexedText& indexedText() const;

    // 0-based line of the caret and its column in characters.
    int caretLine() const;
    int caretColumn() const;
    // Selects the first sjisBytes bytes of line as the transfer runs count
    // them (a double-byte character is two) and scrolls them into view.
    void selectLinePrefix(int line, int sjisBytes);
    // Puts the caret at the start of line, makes line the second visible
    // line and selects the line's text.
    void showProgramLine(int line);
    // The same for a range of bytes: the caret at the start of the range's
    // line, that line the second visible one, the range selected.
    void showRange(qsizetype start, qsizetype end);

    // The lowest line changed by an edit since the last reset; -1 for none.
    int firstChangedLine() const { return m_firstChanged; }
    void resetFirstChangedLine() { m_firstChanged = -1; }

    // Blank space of px pixels inside the left and right edges of the text.
    void setTextMargins(int px);

    // How the computer beeps (a test listens here).
    void setBeep(std::function<void()> beep) { m_beep = std::move(beep); }
    void beep() const;

    // --- the breakpoint gutter ---
    // Shows the gutter left of the text: the breakpoint marker, then the line
    // numbers, in the editor's font and colours. A click on a line sets or
    // clears the breakpoint (breakpointAfterClick); a read-only editor (a
    // transfer runs) takes no clicks.
    void showBreakpointGutter();
    // Follows the editor's font and colours after they changed.
    void refreshGutter();
    // 1-based; -1 for none. The marker moves with its line as text is edited
    // above it.
    int breakpointLine() const;
    void setBreakpoint(int line1);
    void clearBreakpoint() { setBreakpoint(-1); }

    // --- find and replace (letters compared without regard to case) ---
    // Down from behind the selection, or up from the caret: the occurrence
    // that starts before it.
    TextMatch findText(const QString& text, bool up) const;
    // True when the selection is an occurrence of text.
    bool selectionMatches(const QString& text) const;
    // Replaces the selection; false (and a beep) when the text limit forbids.
    bool replaceSelection(const QString& text);
    // Every occurrence from the start, one undo step; inserted text is not
    // searched again. The number replaced, or -1 when the text would grow
    // beyond its limit (then nothing is changed).
    int replaceAll(const QString& find, const QString& replacement);

    // --- status ---
    // The character at the caret ("\n" at a line end), empty at the end.
    QString characterAtCaret() const;
    // Typing inserts (a thin caret) or overwrites (a block caret); the
    // Insert key switches.
    bool isInsertMode() const { return !overwriteMode(); }

    // --- F1 completion ---
    // One F1: the rest of the next candidate goes in at the caret and is
    // selected, the caret in front of it, so that the next F1 replaces it.
    void completeWord(const QStringList& words);
    bool isCompleting() const { return m_completion.isActive(); }

public slots:
    void paste() override;
    void cut() override;
    void undo() override;
    void redo() override;
    void removeSelectedText() override;

signals:
    // A typed key that holds the program-number extraction off: every key
    // that produces a character, except Backspace and Ctrl+V.
    void typingKey();
    // After the editor handled a key press or release.
    void keyHandled(int key, bool press);
    // After a mouse press or release in the text.
    void mouseHandled();
    // After the wheel, a scroll-bar action or Page Up/Down moved the caret.
    void viewMoved();
    // F1 was pressed; the window decides whether completion is available.
    void completionKey();
    void breakpointChanged(int line1);

protected:
    bool event(QEvent* e) override;
    bool viewportEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    class Text;
    bool fits(qsizetype addedUtf8Bytes) const;
    void onModified(int position, int modificationType);
    void afterQuietChange();
    void typeKey(QKeyEvent* e);
    void noteChange(int line);
    // Reports a finished edit: the breakpoint's new line, the gutter width,
    // textChanged.
    void flushChange();
    void onGutterClick(int line);
    void updateGutterWidth();
    void updateCaretStyle();
    void caretToLineStart(int line);
    void afterPageKey();
    void stepWheel(int lines);

    ProgramIndex* m_index = nullptr;
    qsizetype m_textLimit = DefaultTextLimit;
    int m_firstChanged = -1;
    std::unique_ptr<Text> m_indexed;
    std::function<void()> m_beep;
    bool m_changePending = false;
    bool m_gutter = false;
    int m_gutterDigits = 0;
    int m_breakpointHandle = -1;
    int m_lastBreakpoint = -1;
    int m_wheelRest = 0;
    bool m_scrollAction = false;
    Completion m_completion;
};

} // namespace tornyx
