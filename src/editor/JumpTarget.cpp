#include "editor/JumpTarget.h"

#include "editor/ByteSearch.h"

#include <optional>

namespace tornyx {

namespace jumptext {
QString caption() {
    return QStringLiteral(u"飛び先検索");
}
QString chooseCall() {
    return QStringLiteral(u"GOTO文､M98文,G65文を選択してください｡");
}
QString returnNotSearched() {
    return QStringLiteral(u"M99 P... は検索出来ません｡");
}
QString macroVariable() {
    return QStringLiteral(u"ﾏｸﾛ変数は検索出来ません｡");
}
QString mainCaption() {
    return QStringLiteral(u"ﾒｲﾝﾌﾟﾛｸﾞﾗﾑ検索");
}
QString mainNotFound() {
    return QStringLiteral(u"ﾒｲﾝﾌﾟﾛｸﾞﾗﾑが見当たりません！");
}
QString targetNotFound() {
    return QStringLiteral(u"飛び先が見当たりません！");
}
QString notInProgram(const QString& target) {
    return QStringLiteral(u"同ﾌﾟﾛｸﾞﾗﾑ内のｼｰｹﾝｽ番号") + target +
           QStringLiteral(u" は\n検索出来ませんでした｡!!");
}
} // namespace jumptext

namespace {

// A target number is read over digits, blanks and the macro sign, so that
// "P#100" can be told apart from "P100".
constexpr QByteArrayView NumberSet("0123456789 #");
constexpr QByteArrayView SequenceSet("0123456789 ");

// The line with every comment "(…)" replaced by one blank: an address
// letter inside a comment is no address.
QByteArray withoutComments(QByteArrayView line) {
    QByteArray out;
    out.reserve(line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] != '(') {
            out += line[i];
            continue;
        }
        const qsizetype close = line.indexOf(')', i);
        out += ' ';
        if (close < 0)
            break;
        i = close;
    }
    return out;
}

QByteArray takeSet(QByteArrayView s, qsizetype from, QByteArrayView set) {
    qsizetype end = from;
    while (end < s.size() && set.contains(s[end]))
        ++end;
    return from < s.size() ? s.sliced(from, end - from).toByteArray() : QByteArray();
}

// The value of a text of digits; none for an empty text, one with any other
// character (a blank inside, a letter) or one too long to compare.
std::optional<qint64> integerOf(QByteArrayView digits) {
    if (digits.isEmpty())
        return std::nullopt;
    qsizetype i = 0;
    while (i + 1 < digits.size() && digits[i] == '0')
        ++i;
    if (digits.size() - i > 18)
        return std::nullopt;
    qint64 v = 0;
    for (; i < digits.size(); ++i) {
        if (digits[i] < '0' || digits[i] > '9')
            return std::nullopt;
        v = v * 10 + (digits[i] - '0');
    }
    return v;
}

// The number of a program line behind its "O" or ":": up to a comment or
// else a ";".
std::optional<qint64> programNumberOf(QByteArrayView rest) {
    qsizetype cut = rest.indexOf('(');
    if (cut < 0)
        cut = rest.indexOf(';');
    return integerOf((cut < 0 ? rest : rest.first(cut)).toByteArray().trimmed());
}

bool isProgramStart(char c) {
    return c == 'O' || c == ':';
}

JumpOutcome message(const QString& text, const QString& caption) {
    JumpOutcome o;
    o.message = text;
    o.caption = caption;
    return o;
}

JumpOutcome wholeLine(const IndexedText& text, int line, int entry) {
    JumpOutcome o;
    o.line = line;
    o.selectStart = text.lineStart(line);
    o.selectEnd = o.selectStart + text.lineBytes(line).size();
    o.entry = entry;
    return o;
}

// The first line that starts with "O" or ":" and carries the program number.
int programLine(const IndexedText& text, qint64 number) {
    return nextLineStartingWith(
        text, 0, 'O', ':', [&](int line) { return programNumberOf(text.lineBytes(line).mid(1)) == number; });
}

JumpOutcome findCall(const IndexedText& text, const QByteArray& line, const QStringList& entries) {
    if (line.contains("M99"))
        return message(jumptext::returnNotSearched(), jumptext::caption());
    const QByteArray target = takeSet(line, line.indexOf('P') + 1, NumberSet).trimmed();
    if (target.isEmpty() || target.contains('#'))
        return message(jumptext::macroVariable(), jumptext::caption());
    const auto number = integerOf(target);
    if (!number)
        return message(jumptext::mainNotFound(), jumptext::mainCaption());
    bool stale = false;
    for (int i = 0; i < entries.size(); ++i) {
        const QString program = entryText(entries[i]);
        if (program.isEmpty() || programNumberOf(program.mid(1).toUtf8()) != number)
            continue;
        const int at = entryLine(entries[i]) - 1;
        // An entry made before the last edits may name a line that has moved.
        if (at >= 0 && at < text.lineCount() && text.lineBytes(at) == program.toUtf8())
            return wholeLine(text, at, i);
        stale = true;
    }
    if (!entries.isEmpty() && !stale)
        return message(jumptext::mainNotFound(), jumptext::mainCaption());
    const int at = programLine(text, *number);
    if (at < 0)
        return message(jumptext::mainNotFound(), jumptext::mainCaption());
    return wholeLine(text, at, -1);
}

JumpOutcome findGoto(const IndexedText& text, int caretLine, const QByteArray& line) {
    const QByteArray target = takeSet(line, line.indexOf("GOTO") + 4, NumberSet).trimmed();
    if (target.isEmpty() || target.contains('#'))
        return message(jumptext::macroVariable(), jumptext::caption());
    const auto number = integerOf(target);
    if (!number)
        return message(jumptext::targetNotFound(), jumptext::caption());

    // Without a program start above, the text from its first line is the
    // program.
    int start = -1;
    for (int l = caretLine; l >= 0; --l) {
        if (isProgramStart(firstNonBlank(text, l))) {
            start = l;
            break;
        }
    }
    for (int l = start + 1; l < text.lineCount(); ++l) {
        const char first = firstNonBlank(text, l);
        if (isProgramStart(first)) {
            JumpOutcome o = message(jumptext::notInProgram(QString::fromUtf8(target)), QString());
            o.plainBox = true;
            return o;
        }
        if (first != 'N')
            continue;
        const QByteArray block = text.lineBytes(l);
        const qsizetype n = block.indexOf('N');
        QByteArray word = takeSet(block, n + 1, NumberSet);
        if (const qsizetype hash = word.indexOf('#'); hash >= 0)
            word.truncate(hash);
        if (integerOf(word.trimmed()) != number)
            continue;
        // The N word: the sequence number without the blank behind it.
        qsizetype length =
            takeSet(block.first(std::min<qsizetype>(block.size(), n + 20)), n + 1, SequenceSet).size();
        while (length > 0 && block[n + length] == ' ')
            --length;
        JumpOutcome o;
        o.line = l;
        o.selectStart = text.lineStart(l) + n;
        o.selectEnd = o.selectStart + 1 + length;
        return o;
    }
    return message(jumptext::targetNotFound(), jumptext::caption());
}

} // namespace

JumpBranch jumpBranch(QByteArrayView caretLine) {
    const QByteArray code = withoutComments(caretLine);
    if (code.contains('P'))
        return JumpBranch::Call;
    if (code.contains("GOTO"))
        return JumpBranch::Goto;
    return JumpBranch::None;
}

QString jumpSearchingText(JumpBranch branch) {
    switch (branch) {
    case JumpBranch::Call:
        return QStringLiteral(u"ﾌﾟﾛｸﾞﾗﾑ番号検索中");
    case JumpBranch::Goto:
        return QStringLiteral(u"GOTO 先検索中");
    case JumpBranch::None:
        break;
    }
    return QString();
}

JumpOutcome findJumpTarget(const IndexedText& text, int caretLine, const QStringList& entries) {
    if (text.length() == 0 || caretLine < 0 || caretLine >= text.lineCount())
        return {};
    const QByteArray line = withoutComments(text.lineBytes(caretLine));
    switch (jumpBranch(line)) {
    case JumpBranch::Call:
        return findCall(text, line, entries);
    case JumpBranch::Goto:
        return findGoto(text, caretLine, line);
    case JumpBranch::None:
        break;
    }
    return message(jumptext::chooseCall(), jumptext::caption());
}

} // namespace tornyx
