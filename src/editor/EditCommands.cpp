#include "editor/EditCommands.h"

#include "editor/ByteSearch.h"
#include "platform/TextCodec.h"

#include <algorithm>

namespace tornyx {

std::optional<TextRange> programRange(const IndexedText& text, int caretLine) {
    if (text.length() == 0 || caretLine < 0 || caretLine >= text.lineCount())
        return std::nullopt;
    int start = caretLine;
    while (start >= 0 && firstNonBlank(text, start) != 'O' && firstNonBlank(text, start) != ':')
        --start;
    if (start < 0)
        return std::nullopt;
    const int next = nextLineStartingWith(text, start + 1, 'O', ':');
    return TextRange{text.lineStart(start), next < 0 ? text.length() : text.lineStart(next)};
}

int breakpointAfterClick(int current, int clicked, bool clickedLineEmpty) {
    if (current > 0)
        return clicked == current ? -1 : current;
    if (clicked <= 1 || clickedLineEmpty)
        return current;
    return clicked;
}

QString characterCodeText(QStringView character) {
    if (character.isEmpty())
        return QString();
    if (character == u"\n")
        return QStringLiteral("(000D)");
    qsizetype unmappable = 0;
    const QByteArray code = platform::toSjis(character, &unmappable);
    if (unmappable > 0 || code.isEmpty())
        return QStringLiteral("(----)");
    const QByteArray digits = code.size() == 1 ? "00" + code.toHex() : code.left(2).toHex();
    return '(' + QString::fromLatin1(digits).toUpper() + ')';
}

QString findTextFromSelection(const QString& selection) {
    const qsizetype lf = selection.indexOf('\n');
    if (lf < 0)
        return selection;
    const bool crlf = lf > 0 && selection[lf - 1] == '\r';
    return selection.left(crlf ? lf - 1 : lf) + selection.mid(lf + 1);
}

Completion::Step Completion::press(const QStringList& words, const QString& beforeCaret) {
    if (!m_active) {
        m_active = true;
        m_failed = true;
        qsizetype longest = 0;
        for (const QString& w : words)
            longest = std::max(longest, w.size());
        qsizetype i = beforeCaret.size();
        while (i > 0 && beforeCaret[i - 1].isLetter())
            --i;
        // A prefix longer than every word cannot match.
        i = std::max(i, beforeCaret.size() - longest);
        for (; i < beforeCaret.size() && m_failed; ++i) {
            const QString prefix = beforeCaret.mid(i);
            const auto begins = [&](const QString& w) { return w.startsWith(prefix, Qt::CaseInsensitive); };
            const auto first = std::find_if(words.begin(), words.end(), begins);
            if (first == words.end())
                continue;
            const auto end = std::find_if_not(first, words.end(), begins);
            m_first = static_cast<int>(first - words.begin());
            m_end = static_cast<int>(end - words.begin());
            m_next = m_first;
            m_prefix = prefix.size();
            m_failed = false;
        }
    }
    if (m_failed)
        return {QString(), true};
    if (m_next >= m_end) {
        m_next = m_first;
        return {QString(), true};
    }
    return {words[m_next++].mid(m_prefix).toUpper(), false};
}

} // namespace tornyx
