#include "send/SendText.h"

#include "platform/TextCodec.h"

#include <QFileInfo>
#include <QLocale>

namespace tornyx {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Length in bytes of the character that starts at i.
qsizetype charLength(QByteArrayView s, qsizetype i) {
    return platform::isSjisLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

// Blanks every occurrence of msg that starts on a character boundary.
QByteArray blankOut(QByteArrayView line, const QByteArray& msg) {
    QByteArray out(line.data(), line.size());
    if (msg.isEmpty())
        return out;
    const qsizetype blanks = std::min<qsizetype>(platform::fromSjis(msg).size(), 29);
    QByteArray result;
    result.reserve(out.size());
    for (qsizetype i = 0; i < out.size();) {
        if (QByteArrayView(out).sliced(i).startsWith(msg)) {
            result += QByteArray(blanks, ' ');
            i += msg.size();
        } else {
            const qsizetype n = charLength(out, i);
            result += out.mid(i, n);
            i += n;
        }
    }
    return result;
}

} // namespace

QByteArray endOfBlock(int crlfType) {
    switch (crlfType) {
    case 1:
        return QByteArray("\r\n");
    case 2:
        return QByteArray("\r\n\n");
    case 3:
        return QByteArray("\r");
    default:
        return QByteArray("\n");
    }
}

FilteredLine filterLine(QByteArrayView line, int trim, const LineFilter& f) {
    FilteredLine out;
    const QByteArray x = blankOut(line, f.sendMsg);
    const qsizetype len = x.size();
    const bool hasParen = x.contains('(');
    bool comment = false;
    bool skipN = false;
    bool inF = false;
    out.chars.reserve(len);
    for (qsizetype i = 0; i < len - trim;) {
        const qsizetype n = charLength(x, i);
        if (n == 2) {
            // A two-byte character: text of a comment or a message; sent as
            // it stands, and it ends a sequence number or a feed word.
            out.chars += x.mid(i, 2);
            skipN = false;
            inF = false;
            i += 2;
            continue;
        }
        const char ch = x[i];
        const qsizetype m = i + 1; // 1-based position
        i += 1;
        if (hasParen) {
            if (ch == '(')
                comment = true;
            else if (ch == ')')
                comment = false;
        } else {
            comment = false;
        }
        if (!comment && (ch == '\'' || ch == ';') && !f.sendAfterComment)
            break;
        if (ch == '%') {
            if (len == 1) {
                out.percentOnly = true;
                out.chars.clear();
                return out;
            }
            // "%" ends the program on the machine's side: never inside a line.
            continue;
        }
        if (ch == '\t')
            continue;
        if (f.dropSequenceNumbers) {
            if (m == 1 && ch == 'N') {
                skipN = true;
                continue;
            }
            if (skipN) {
                if (isDigit(ch))
                    continue;
                skipN = false;
            }
        }
        if (f.dropFeedPoint && !comment && inF && !isDigit(ch)) {
            if (ch == '.') {
                if (len > m + 1) {
                    if (!isDigit(x[m])) {
                        inF = false;
                        continue;
                    }
                } else if (len == m) {
                    continue;
                } else {
                    inF = false;
                }
            } else {
                // Any other letter starts the next word: the point of X5. or
                // any other address is not the feed's and is sent as written.
                inF = false;
            }
        }
        if (f.dropFeedPoint && !comment && ch == 'F')
            inF = true;
        out.chars += ch;
    }
    return out;
}

QString ospHeaderName(const QString& documentPath) {
    static const QStringList kept = {".MIN", ".SUB", ".SDF", ".RBT", ".SSB", ".RPD"};
    const QFileInfo fi(documentPath);
    const QString suffix = fi.suffix().isEmpty() ? QString() : '.' + fi.suffix();
    QString name = fi.fileName();
    if (!kept.contains(suffix.toUpper())) {
        const QString base = suffix.isEmpty() ? name : name.left(name.size() - suffix.size());
        name = base + ".MIN";
    }
    return name.toUpper();
}

QString amountText(int64_t characters, bool metres) {
    if (metres)
        return QString::number(double(characters) * 0.00254, 'f', 2) + QStringLiteral(u"ﾒｰﾄﾙ");
    const QString digits = QString::number(characters < 0 ? -characters : characters);
    QString grouped;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return (characters < 0 ? "-" : "") + grouped + QStringLiteral(u"ﾊﾞｲﾄ");
}

QString timeText(int32_t s) {
    const auto two = [](int v) { return QString::number(v).rightJustified(2, '0'); };
    if (s >= 3600)
        return QStringLiteral(u"(約 ") + QString::number(s / 3600) + QStringLiteral(u"時") +
               two((s % 3600) / 60) + QStringLiteral(u"分)");
    if (s >= 60)
        return QStringLiteral(u"(約 ") + QString::number(s / 60) + QStringLiteral(u"分") + two(s % 60) +
               QStringLiteral(u"秒)");
    return QStringLiteral(u"(約 ") + QString::number(s) + QStringLiteral(u"秒)");
}

QString repeatText(int count) {
    return QStringLiteral(u"送信:") + QString::number(count).rightJustified(3, '0');
}

bool endsProgramOrSubprogram(QByteArrayView line) {
    return line.contains("M99") || line.contains("M02") || line.contains("M2") || line.contains("M30");
}

} // namespace tornyx
