#pragma once

#include "editor/DocumentFile.h"
#include "editor/ProgramIndex.h"

#include <Qsci/qsciscintilla.h>

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

    // The lowest line changed by an edit since the last reset; -1 for none.
    int firstChangedLine() const { return m_firstChanged; }
    void resetFirstChangedLine() { m_firstChanged = -1; }

    // Blank space of px pixels inside the left and right edges of the text.
    void setTextMargins(int px);

public slots:
    void paste() override;

signals:
    // A typed key that holds the program-number extraction off: every key
    // that produces a character, except Backspace and Ctrl+V.
    void typingKey();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;

private:
    class Text;
    bool fits(qsizetype addedUtf8Bytes) const;
    void onModified(int position, int modificationType);

    ProgramIndex* m_index = nullptr;
    qsizetype m_textLimit = DefaultTextLimit;
    int m_firstChanged = -1;
    std::unique_ptr<Text> m_indexed;
};

} // namespace tornyx
