#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace tornyx {

// The editor text as the program-number index and the search read it: UTF-8
// bytes, lines separated by LF, CR LF or CR (as the editor counts them).
class IndexedText {
public:
    struct Piece {
        qsizetype offset; // of the piece's first byte in the whole text
        QByteArrayView bytes;
    };
    virtual ~IndexedText() = default;
    virtual qsizetype length() const = 0;
    virtual int lineCount() const = 0;
    virtual int lineAt(qsizetype offset) const = 0;
    virtual qsizetype lineStart(int line) const = 0;
    // The line's bytes without its line end.
    virtual QByteArray lineBytes(int line) const = 0;
    // The bytes [from, length()) as one or more contiguous pieces (an editor
    // keeps a gap in its buffer; asking for one piece would move it).
    virtual std::vector<Piece> pieces(qsizetype from) const = 0;
    // The end of a match of needle (UTF-8) that starts exactly at offset,
    // letters compared without regard to case; -1 when none starts there.
    // The editor answers with its own search, so that its case rules hold
    // for every character; this one folds each character on its own.
    virtual qsizetype foldedMatchEnd(qsizetype offset, QByteArrayView needle) const;
};

// An IndexedText over a byte array; gapAt splits it into two pieces the way
// an editor buffer may be split.
class PlainIndexedText : public IndexedText {
public:
    explicit PlainIndexedText(QByteArray utf8, qsizetype gapAt = -1);
    qsizetype length() const override { return m_text.size(); }
    int lineCount() const override { return static_cast<int>(m_starts.size()); }
    int lineAt(qsizetype offset) const override;
    qsizetype lineStart(int line) const override { return m_starts.at(line); }
    QByteArray lineBytes(int line) const override;
    std::vector<Piece> pieces(qsizetype from) const override;

private:
    QByteArray m_text;
    std::vector<qsizetype> m_starts;
    qsizetype m_gap;
};

// True when the text holds "O" or ":" directly followed by a digit anywhere
// (case-sensitive): only then can there be a program number to list.
bool hasProgramNumber(const IndexedText& text);

// One list entry: the 1-based line number with at least five digits, the
// separator ("-" from the index, ":" from the transfer runs), the line text.
QString makeEntry(int line1, const QString& lineText, QChar separator = u'-');
// The line number of an entry: the digits up to the separator; -1 when the
// entry does not start with one.
int entryLine(const QString& entry);
// The line text of an entry: everything behind the separator.
QString entryText(const QString& entry);

// The list of program-start lines ("O1234" or ":1234" at the start of a line)
// with the state that drives its rebuilding. It is the model of the program
// list: the window's combo box only shows it, and follows it through the
// hooks below.
class ProgramIndex {
public:
    const QStringList& entries() const { return m_entries; }
    bool isEmpty() const { return m_entries.isEmpty(); }
    void setEntries(const QStringList& e);
    void clear();
    void removeEntry(int i);
    // An entry a transfer run found while the list was empty; one that is
    // there already is not added twice.
    void addEntry(const QString& entry);

    // The automatic extraction (Timer4): scheduled after loads and edits,
    // cancelled by typing, by a receive and by the stop button. The window
    // runs the timer; the model knows whether an extraction is still due.
    void scheduleExtraction(int ms);
    void cancelExtraction();
    // The timer fired (or the extract button was pressed): the extraction
    // runs now, until extractionDone().
    void extractionStarted();
    void extractionDone();
    bool isExtractionScheduled() const { return m_scheduled; }
    // Neither due nor running: the list follows the text.
    bool isExtractionFinished() const { return !m_scheduled && !m_extracting; }

    // Hooks for the window: the whole list changed, one entry was added,
    // the timer must start or stop.
    std::function<void()> onReset;
    std::function<void(const QString&)> onAdded;
    std::function<void(int ms)> onScheduled;
    std::function<void()> onCancelled;

    // "O", ":" or empty.
    const QString& key() const { return m_key; }
    void setKey(const QString& k) { m_key = k; }

    int indexedLineCount = 0; // lines when the automatic extraction last ran
    bool ready = false;       // set at the end of every extraction

    // Rebuilds the list from the text. caretLine is 0-based. With an empty
    // list the key is taken from the first program line and every line is
    // scanned; with an unchanged line count everything is scanned again;
    // otherwise the entries from the changed region on are removed and only
    // that region is scanned. firstChangedLine (0-based, -1 unknown) is the
    // lowest line changed since the last extraction: edits above the caret
    // line must not leave stale entries behind.
    void extract(const IndexedText& text, int caretLine, int firstChangedLine = -1);

    // The entry of the program that holds the 1-based line, -1 when the list
    // is empty.
    int entryForLine(int line1) const;

    // The key swap when "O" or ":" is typed at the start of a line: the first
    // one typed sets the key, later ones follow it. Returns the character to
    // insert.
    QChar typedAtLineStart(QChar typed);

private:
    void scan(const IndexedText& text, qsizetype from);
    void reset();

    QStringList m_entries;
    QString m_key;
    bool m_scheduled = false;
    bool m_extracting = false;
};

} // namespace tornyx
