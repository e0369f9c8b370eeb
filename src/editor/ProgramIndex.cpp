#include "editor/ProgramIndex.h"

#include "editor/ByteSearch.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace tornyx {

namespace {

bool isProgramLine(const QByteArray& line) {
    return line.size() >= 2 && (line[0] == 'O' || line[0] == ':');
}

qsizetype nextLineStart(const IndexedText& text, int line) {
    return line + 1 < text.lineCount() ? text.lineStart(line + 1) : text.length();
}

} // namespace

PlainIndexedText::PlainIndexedText(QByteArray utf8, qsizetype gapAt) : m_text(std::move(utf8)), m_gap(gapAt) {
    m_starts.push_back(0);
    const qsizetype n = m_text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (m_text[i] == '\r' && i + 1 < n && m_text[i + 1] == '\n')
            ++i;
        if (m_text[i] == '\n' || m_text[i] == '\r')
            m_starts.push_back(i + 1);
    }
}

int PlainIndexedText::lineAt(qsizetype offset) const {
    return static_cast<int>(std::upper_bound(m_starts.begin(), m_starts.end(), offset) - m_starts.begin()) -
           1;
}

QByteArray PlainIndexedText::lineBytes(int line) const {
    const qsizetype b = m_starts.at(line);
    qsizetype e = line + 1 < lineCount() ? m_starts.at(line + 1) : m_text.size();
    while (e > b && (m_text[e - 1] == '\n' || m_text[e - 1] == '\r'))
        --e;
    return m_text.mid(b, e - b);
}

std::vector<IndexedText::Piece> PlainIndexedText::pieces(qsizetype from) const {
    const QByteArrayView all(m_text);
    if (m_gap > from && m_gap < m_text.size())
        return {{from, all.sliced(from, m_gap - from)}, {m_gap, all.sliced(m_gap)}};
    return {{from, all.sliced(std::min(from, m_text.size()))}};
}

bool hasProgramNumber(const IndexedText& text) {
    ByteSearch s(text.pieces(0), 'O', ':');
    for (qsizetype h = s.next(0); h >= 0; h = s.next(h + 1)) {
        const char d = s.at(h + 1);
        if (d >= '0' && d <= '9')
            return true;
    }
    return false;
}

QString makeEntry(int line1, const QString& lineText, QChar separator) {
    return QStringLiteral("%1").arg(line1, 5, 10, QLatin1Char('0')) + separator + lineText;
}

int entryLine(const QString& entry) {
    qsizetype i = 0;
    long long n = 0;
    while (i < entry.size() && entry[i].isDigit() && entry[i].unicode() < 0x80 && n < 1'000'000'000) {
        n = n * 10 + (entry[i].unicode() - '0');
        ++i;
    }
    return i == 0 ? -1 : static_cast<int>(n);
}

QString entryText(const QString& entry) {
    qsizetype i = 0;
    while (i < entry.size() && entry[i].unicode() >= '0' && entry[i].unicode() <= '9')
        ++i;
    return entry.mid(i + 1);
}

void ProgramIndex::reset() {
    if (onReset)
        onReset();
}

void ProgramIndex::setEntries(const QStringList& e) {
    m_entries = e;
    reset();
}

void ProgramIndex::clear() {
    m_entries.clear();
    reset();
}

void ProgramIndex::removeEntry(int i) {
    m_entries.removeAt(i);
    reset();
}

void ProgramIndex::addEntry(const QString& entry) {
    if (m_entries.contains(entry))
        return;
    m_entries.append(entry);
    if (onAdded)
        onAdded(entry);
}

void ProgramIndex::scheduleExtraction(int ms) {
    m_scheduled = true;
    if (onScheduled)
        onScheduled(ms);
}

void ProgramIndex::cancelExtraction() {
    m_scheduled = false;
    if (onCancelled)
        onCancelled();
}

void ProgramIndex::extractionStarted() {
    m_scheduled = false;
    m_extracting = true;
}

void ProgramIndex::extractionDone() {
    m_extracting = false;
}

void ProgramIndex::extract(const IndexedText& text, int caretLine, int firstChangedLine) {
    const int lines = text.lineCount();
    qsizetype from = 0;
    if (!m_entries.isEmpty() && lines == indexedLineCount) {
        m_entries.clear();
    } else if (!m_entries.isEmpty()) {
        int r = caretLine - std::abs(lines - indexedLineCount);
        if (firstChangedLine >= 0)
            r = std::min(r, firstChangedLine);
        r = std::clamp(r, 0, lines - 1);
        while (!m_entries.isEmpty() && entryLine(m_entries.last()) > r)
            m_entries.removeLast();
        from = text.lineStart(r);
    } else {
        m_entries.clear();
        // The first line that starts a program decides the key; without one
        // the key stays as it is.
        ByteSearch s(text.pieces(0), 'O', ':');
        for (qsizetype h = s.next(0); h >= 0; h = s.next(h + 1)) {
            const char after = s.at(h + 1);
            if (after == 0 || after == '\n' || after == '\r')
                continue;
            if (text.lineStart(text.lineAt(h)) == h) {
                m_key = QString(QLatin1Char(s.at(h)));
                break;
            }
        }
    }
    scan(text, from);
    ready = true;
    reset();
}

void ProgramIndex::scan(const IndexedText& text, qsizetype from) {
    if (m_key.isEmpty())
        return;
    const char k = static_cast<char>(m_key[0].unicode());
    const char lower = k == 'O' ? 'o' : k;
    ByteSearch s(text.pieces(from), k, lower);
    for (qsizetype h = s.next(from); h >= 0;) {
        const int line = text.lineAt(h);
        const QByteArray t = text.lineBytes(line);
        if (isProgramLine(t))
            m_entries.append(makeEntry(line + 1, QString::fromUtf8(t)));
        // A line is looked at once: its first character alone decides, and
        // going on inside it could skip the start of the next line.
        const qsizetype next = nextLineStart(text, line);
        if (next >= text.length())
            break;
        h = s.next(next);
    }
}

int ProgramIndex::entryForLine(int line1) const {
    if (m_entries.isEmpty())
        return -1;
    if (entryLine(m_entries.first()) >= line1)
        return 0;
    const int last = static_cast<int>(m_entries.size()) - 1;
    if (line1 >= entryLine(m_entries.last()))
        return last;
    for (int i = 1; i <= last; ++i)
        if (entryLine(m_entries[i]) > line1)
            return i - 1;
    return last;
}

QChar ProgramIndex::typedAtLineStart(QChar typed) {
    if (typed != u'O' && typed != u':')
        return typed;
    if (m_key.isEmpty()) {
        m_key = typed;
        return typed;
    }
    if (m_key[0] != typed)
        return typed == u'O' ? u':' : u'O';
    return typed;
}

} // namespace tornyx
