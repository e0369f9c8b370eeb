#include "dnc/DncCalls.h"

#include "platform/TextCodec.h"

namespace tornyx::dnc {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

qsizetype find(QByteArrayView text, QByteArrayView what, qsizetype from = 0) {
    return text.indexOf(what, from);
}

// A number as the search compares it. Blanks between digits are dropped as
// the control itself ignores them.
long long toNumber(QByteArray text) {
    text.replace(' ', QByteArray());
    bool ok = false;
    const long long n = text.toLongLong(&ok);
    if (!ok)
        throw NotANumber{text};
    return n;
}

Target targetAfter(QByteArrayView line, QByteArrayView word) {
    Target t;
    const qsizetype at = find(line, word);
    if (at < 0) {
        t.status = Target::Macro;
        return t;
    }
    qsizetype end = at + word.size();
    while (end < line.size() && (isDigit(line[end]) || line[end] == ' ' || line[end] == '#'))
        ++end;
    t.text = line.sliced(at + word.size(), end - at - word.size()).toByteArray().trimmed();
    if (t.text.isEmpty() || t.text.contains('#')) {
        t.status = Target::Macro;
        return t;
    }
    t.number = toNumber(t.text);
    return t;
}

char firstNonBlank(QByteArrayView line) {
    for (char c : line)
        if (c != ' ' && c != '\t')
            return c;
    return 0;
}

bool startsProgram(QByteArrayView line) {
    const char c = firstNonBlank(line);
    return c == 'O' || c == ':';
}

// "M2" followed by a non-digit or the end of the text.
bool hasM2(QByteArrayView text) {
    for (qsizetype at = find(text, "M2"); at >= 0; at = find(text, "M2", at + 1))
        if (at + 2 >= text.size() || !isDigit(text[at + 2]))
            return true;
    return false;
}

bool endsIn(QByteArrayView text) {
    return text.contains("M02") || text.contains("M30") || text.contains('%') || hasM2(text);
}

} // namespace

bool isProgramNumberLine(QByteArrayView line) {
    return !line.isEmpty() && (line[0] == 'O' || line[0] == ':' || line[0] == 'L');
}

CallKind callKind(QByteArrayView line) {
    const qsizetype paren = find(line, "(");
    const auto callOutsideComment = [&](QByteArrayView word) {
        const qsizetype at = find(line, word);
        if (at < 0)
            return false;
        // Every occurrence must stand before the comment.
        return paren < 0 || line.lastIndexOf(word) < paren;
    };
    const bool m198 = callOutsideComment("M198");
    const bool m98 = callOutsideComment("M98");
    const bool g65 = callOutsideComment("G65");
    // A call word inside the comment spoils the whole line, like one that
    // stands before it: the line is then a plain (commented) line.
    if (paren >= 0) {
        for (QByteArrayView w : {QByteArrayView("M198"), QByteArrayView("M98"), QByteArrayView("G65")}) {
            const qsizetype last = line.lastIndexOf(w);
            if (last > paren)
                return CallKind::None;
        }
    }
    if (m198)
        return CallKind::M198;
    if (m98)
        return CallKind::M98;
    if (g65)
        return CallKind::G65;
    return CallKind::None;
}

QByteArray callWords(QByteArrayView line, CallKind kind, const QByteArray& pending) {
    QByteArray words = line.toByteArray();
    switch (kind) {
    case CallKind::M198:
        return words.replace("M198", QByteArray());
    case CallKind::M98:
        return words.replace("M98", QByteArray());
    default:
        return pending;
    }
}

int repeatCount(QByteArrayView words) {
    const qsizetype l = find(words, "L");
    if (l < 0)
        return 1;
    const qsizetype paren = find(words, "(");
    if (paren >= 0 && paren < l)
        return 1;
    qsizetype end = l + 1;
    while (end < words.size() && isDigit(words[end]))
        ++end;
    if (end == l + 1)
        return 1;
    bool ok = false;
    const int n = words.sliced(l + 1, end - l - 1).toByteArray().toInt(&ok);
    return ok ? n : 1;
}

Target callTarget(QByteArrayView line) {
    return targetAfter(line, "P");
}
Target gotoTarget(QByteArrayView line) {
    return targetAfter(line, "GOTO");
}

QByteArray cleanCallWords(const QByteArray& words, const QByteArray& target) {
    if (words.isEmpty())
        return words;
    QByteArray w = words;
    w.replace("P" + target, QByteArray());
    w.replace(' ', QByteArray());
    if (w.contains('L'))
        return {};
    if (w.startsWith('N')) {
        qsizetype end = 1;
        while (end < w.size() && (isDigit(w[end]) || w[end] == ' '))
            ++end;
        w.remove(0, end);
    }
    const qsizetype semi = w.indexOf(';');
    if (semi >= 0)
        w.truncate(semi);
    const qsizetype quote = w.indexOf('\'');
    if (quote >= 0)
        w.truncate(quote);
    return w;
}

namespace {

// The number in text[from, to): blanks around and between digits are
// ignored; nullopt when there are no digits; anything else is NotANumber.
// Parsed in place: the search runs over every entry of a long list.
template <typename Text, typename At>
std::optional<long long> numberIn(const Text& text, qsizetype from, qsizetype to, At charAt) {
    long long n = 0;
    bool digits = false;
    for (qsizetype i = from; i < to; ++i) {
        const char16_t c = charAt(text, i);
        if (c == u' ')
            continue;
        if (c < u'0' || c > u'9' || n > (1LL << 58))
            throw NotANumber{QByteArray::number(qlonglong(i))};
        n = n * 10 + (c - u'0');
        digits = true;
    }
    if (!digits)
        return std::nullopt;
    return n;
}

} // namespace

std::optional<long long> lineProgramNumber(QByteArrayView line) {
    if (line.isEmpty() || (line[0] != 'O' && line[0] != ':'))
        return std::nullopt;
    qsizetype end = line.indexOf('(');
    if (end < 0)
        end = line.size();
    const auto at = [](QByteArrayView t, qsizetype i) { return char16_t(static_cast<unsigned char>(t[i])); };
    return numberIn(line, 1, end, at);
}

std::optional<long long> entryProgramNumber(const QString& entry) {
    qsizetype start = 0;
    while (start < entry.size() && entry[start] == u' ')
        ++start;
    start += 7;
    if (start >= entry.size())
        return std::nullopt;
    qsizetype end = entry.indexOf(u'(', start);
    if (end < 0)
        end = entry.indexOf(u';', start);
    if (end < 0)
        end = entry.size();
    const auto at = [](const QString& t, qsizetype i) { return t[i].unicode(); };
    return numberIn(entry, start, end, at);
}

SearchResult findCall(QByteArrayView line, const QStringList* list, int lineCount, const LineAt& lineAt) {
    SearchResult r;
    if (line.contains("M99")) {
        r.status = SearchResult::M99Call;
        return r;
    }
    const Target t = callTarget(line);
    r.target = t.text;
    if (t.status == Target::Macro) {
        r.status = SearchResult::Macro;
        return r;
    }
    if (!list) {
        for (int i = 0; i < lineCount; ++i) {
            const QByteArray l = lineAt(i);
            if (l.isEmpty() || (l[0] != 'O' && l[0] != ':'))
                continue;
            if (lineProgramNumber(l) == t.number) {
                r.status = SearchResult::Found;
                r.index = i;
                return r;
            }
        }
        return r;
    }
    for (const QString& entry : *list) {
        if (entryProgramNumber(entry) != t.number)
            continue;
        bool ok = false;
        const int lineNo = entry.left(5).toInt(&ok);
        // An entry left over from an older text must not send the run into
        // some other line.
        if (!ok || lineNo < 1 || lineNo > lineCount) {
            r.status = SearchResult::BadIndex;
            return r;
        }
        r.status = SearchResult::Found;
        r.index = lineNo - 1;
        return r;
    }
    return r;
}

GotoResult findGoto(int lineIndex, int lineCount, const LineAt& lineAt) {
    GotoResult r;
    const Target t = gotoTarget(lineAt(lineIndex));
    if (t.status == Target::Macro) {
        r.status = GotoResult::Macro;
        return r;
    }
    int start = 0;
    for (int i = lineIndex; i >= 0; --i) {
        if (startsProgram(lineAt(i))) {
            start = i;
            break;
        }
    }
    for (int i = start + 1; i < lineCount; ++i) {
        const QByteArray l = lineAt(i);
        if (startsProgram(l)) {
            r.status = GotoResult::NextProgram;
            return r;
        }
        qsizetype at = 0;
        while (at < l.size() && (l[at] == ' ' || l[at] == '\t'))
            ++at;
        if (at >= l.size() || l[at] != 'N')
            continue;
        qsizetype end = at + 1;
        while (end < l.size() && (isDigit(l[end]) || l[end] == ' '))
            ++end;
        const QByteArray number = l.mid(at + 1, end - at - 1).trimmed();
        if (!number.isEmpty() && toNumber(number) == t.number) {
            r.status = GotoResult::Found;
            r.index = i;
            return r;
        }
    }
    r.status = GotoResult::EndOfText;
    return r;
}

bool isEndLine(QByteArrayView line) {
    qsizetype open = find(line, "(");
    if (open < 0)
        return endsIn(line);
    if (endsIn(line.first(open)))
        return true;
    // After each ")" up to the next "(".
    for (qsizetype close = find(line, ")"); close >= 0; close = find(line, ")", close + 1)) {
        qsizetype next = find(line, "(", close + 1);
        if (next < 0)
            next = line.size();
        if (endsIn(line.sliced(close + 1, next - close - 1)))
            return true;
    }
    return false;
}

bool returnsAboveLevel0(QByteArrayView line) {
    return line.contains("M30") || line.contains("M02");
}

} // namespace tornyx::dnc
