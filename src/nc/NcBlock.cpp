#include "nc/NcBlock.h"

namespace tornyx::nc {

namespace {

bool isUpper(char c) {
    return c >= 'A' && c <= 'Z';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

void keepText(Word& w, char c) {
    if (w.textLength < sizeof(w.text) - 1)
        w.text[w.textLength++] = c;
}

// A macro value runs up to the next letter outside brackets: "#100",
// "-#5", "[#1+#2*2]".
qsizetype readMacro(QByteArrayView t, qsizetype i, Word& w) {
    int depth = 0;
    w.macro = true;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        if (c == '[')
            ++depth;
        else if (c == ']')
            --depth;
        else if (depth <= 0 && (isUpper(c) || c == '(' || c == ';' || c == '\''))
            break;
        if (!isBlank(c))
            keepText(w, c);
    }
    return i;
}

qsizetype readNumber(QByteArrayView t, qsizetype i, Word& w) {
    double whole = 0;
    double fraction = 0;
    double scale = 1;
    bool digits = false;
    bool negative = false;
    bool signAllowed = true;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        if (isBlank(c))
            continue;
        if (signAllowed && (c == '-' || c == '+')) {
            negative = c == '-';
            signAllowed = false;
            keepText(w, c);
            continue;
        }
        signAllowed = false;
        if (isDigit(c)) {
            digits = true;
            if (w.point) {
                scale /= 10;
                fraction += (c - '0') * scale;
            } else {
                whole = whole * 10 + (c - '0');
            }
        } else if (c == '.' && !w.point) {
            w.point = true;
        } else {
            break;
        }
        keepText(w, c);
    }
    // Longer than any address of a control: not a value the reader can use.
    w.missing = !digits || whole >= 1e9;
    w.value = negative ? -(whole + fraction) : whole + fraction;
    return i;
}

} // namespace

void Block::clear() {
    words.clear();
    blockDelete = false;
    macroStatement = false;
    unreadable = false;
    textAfterSemicolon = false;
}

void parseBlock(QByteArrayView t, const BlockRules& rules, Block& block, bool append) {
    if (!append)
        block.clear();
    // As the send filter: ")" closes a comment only in a line that holds "(".
    const bool hasParen = t.contains('(');
    bool comment = false;
    const qsizetype firstWord = qsizetype(block.words.size());
    for (qsizetype i = 0; i < t.size();) {
        const char c = t[i];
        if (comment) {
            comment = c != ')';
            ++i;
            continue;
        }
        if (hasParen && c == '(') {
            comment = true;
            ++i;
            continue;
        }
        if (c == ';' || c == '\'') {
            if (rules.sendAfterComment) {
                for (qsizetype j = i + 1; j < t.size(); ++j)
                    if (!isBlank(t[j]))
                        block.textAfterSemicolon = true;
            }
            break;
        }
        if (isBlank(c) || c == '%') {
            ++i;
            continue;
        }
        const bool onlySequence =
            qsizetype(block.words.size()) == firstWord ||
            (qsizetype(block.words.size()) == firstWord + 1 && block.words.back().letter == 'N');
        if (c == '/' && onlySequence && !append) {
            block.blockDelete = true;
            ++i;
            continue;
        }
        if (c == '#') {
            block.macroStatement = true;
            return;
        }
        char letter = c;
        if (c == ':' && block.words.empty() && !append)
            letter = 'O'; // ":1234" is a program number like "O1234"
        else if (!isUpper(c)) {
            block.unreadable = true;
            ++i;
            continue;
        }
        if (i + 1 < t.size() && isUpper(t[i + 1])) {
            // IF, GOTO, WHILE, DO, END, ...: a statement of the macro language.
            block.macroStatement = true;
            return;
        }
        Word w;
        w.letter = letter;
        qsizetype j = i + 1;
        while (j < t.size() && isBlank(t[j]))
            ++j;
        const bool macro =
            j < t.size() &&
            (t[j] == '#' || t[j] == '[' ||
             ((t[j] == '-' || t[j] == '+') && j + 1 < t.size() && (t[j + 1] == '#' || t[j + 1] == '[')));
        i = macro ? readMacro(t, j, w) : readNumber(t, j, w);
        block.words.push_back(w);
    }
}

bool hasNoWords(QByteArrayView line, const BlockRules& rules) {
    Block b;
    parseBlock(line, rules, b);
    return b.isEmpty();
}

long long sequenceNumber(QByteArrayView line) {
    Block b;
    parseBlock(line, BlockRules{}, b);
    if (b.words.empty() || b.words.front().letter != 'N' || b.words.front().missing || b.words.front().macro)
        return -1;
    return static_cast<long long>(b.words.front().value);
}

qsizetype findOutsideComments(QByteArrayView line, QByteArrayView text, const BlockRules& rules) {
    if (text.isEmpty())
        return -1;
    const bool hasParen = line.contains('(');
    bool comment = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (comment) {
            comment = c != ')';
            continue;
        }
        if (hasParen && c == '(') {
            comment = true;
            continue;
        }
        if ((c == ';' || c == '\'') && !rules.sendAfterComment)
            return -1;
        if (line.sliced(i).startsWith(text) && !text.contains('('))
            return i;
    }
    return -1;
}

} // namespace tornyx::nc
