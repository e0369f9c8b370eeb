#include "editor/DocumentFile.h"

#include "platform/AtomicFile.h"
#include "platform/TextCodec.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tornyx {

using platform::fromSjis;
using platform::isSjisLeadByte;
using platform::toSjis;

namespace text {
QString bigEndianQuestion() {
    return QStringLiteral(u"Unicode(Big Endian)ファイルです。\n読込には時間が掛かります。\n"
                          u"読込後はUnicode(Big Endian)ファイルではありません。\n読込を開始しますか？");
}
QString littleEndianQuestion() {
    return QStringLiteral(u"Unicode(Little Endian)ファイルです。\n"
                          u"読込後はUnicode(Little Endian)ファイルではありません。\n読込を開始しますか？");
}
QString utf8Question() {
    return QStringLiteral(u"Unicode(UTF-8)ファイルです。\n読込後はUnicode(UTF-8)"
                          u"ファイルではありません。\n読込を開始しますか？");
}
QString receivedFormatWrong() {
    return QStringLiteral(
        u"受信されたデータ形式(コード)が違います。\n1.ｺｰﾄﾞ(ISO/EIA/ASCII/任意)を確認してください。\n"
        u"2.NC機の機器設定を確認してください。");
}
QString fileFormatWrong() {
    return QStringLiteral(u"ﾌｧｲﾙ形式が違います｡又は読込可能データが有りません。\n"
                          u"そのまま読み込みは可能ですが､ﾃﾞｰﾀの一部読み込めない可能性が有ります｡\n"
                          u"「はい(Y)」で読み込みを開始します。");
}
QString unmappableQuestion(qsizetype count) {
    return QStringLiteral(u"Shift-JISで表せない文字が") + QString::number(count) +
           QStringLiteral(u"文字あります｡\n保存すると「?」に置き換わります｡\n保存しますか？");
}
QString writeFailed(const QString& path, const QString& reason) {
    return path + QStringLiteral(u"\nに保存できませんでした｡\n") + reason;
}
QString folderMissing(const QString& folder) {
    return QStringLiteral(u"設定ﾌｫﾙﾀﾞ\n") + folder + QStringLiteral(u"が見つかりません｡");
}
QString fileMissing(const QString& path) {
    return QStringLiteral(u"呼出ﾃﾞｰﾀ\n") + path + QStringLiteral(u"が見つかりません｡");
}
QString saveChangesQuestion(const QString& fileName) {
    return fileName + QStringLiteral(u" への変更を保存しますか？");
}
} // namespace text

namespace {

// Conversion works in pieces of about this size, so that a 100 MB file never
// exists as a 200 MB UTF-16 string.
constexpr qsizetype ChunkBytes = 4 << 20;

// The first c in v, or nullptr; an empty view may have no data at all, which
// memchr must not be given.
const char* find(QByteArrayView v, char c) {
    return v.isEmpty() ? nullptr : static_cast<const char*>(std::memchr(v.data(), c, v.size()));
}

// Opens path for reading only when it is a regular file: a FIFO would block
// the window before it appears and a device such as /dev/zero never ends.
// *notRegular tells the two refusals apart.
bool openRegular(const QString& path, QFile& f, bool* notRegular = nullptr) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (notRegular)
            *notRegular = true;
        ::close(fd);
        return false;
    }
    return f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
}

// Address of the first byte >= 0x80 in [p, end), or end.
const char* firstNonAscii(const char* p, const char* end) {
    while (p + 8 <= end) {
        quint64 w;
        std::memcpy(&w, p, 8);
        if (w & 0x8080808080808080ull)
            break;
        p += 8;
    }
    while (p < end && static_cast<unsigned char>(*p) < 0x80)
        ++p;
    return p;
}

// Splits text into runs of whole lines that are plain ASCII (ascii) and
// single lines that hold other bytes (other), so that only the few lines
// with Japanese text go through a converter. A line feed is never part of a
// multi-byte character in Shift-JIS or UTF-8, so every cut is at a character
// boundary.
template <class Ascii, class Other> void forEachRun(QByteArrayView text, Ascii ascii, Other other) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const char* q = firstNonAscii(p, end);
        if (q == end) {
            ascii(QByteArrayView(p, end - p));
            return;
        }
        const char* lineStart = q;
        while (lineStart > p && lineStart[-1] != '\n')
            --lineStart;
        if (lineStart > p)
            ascii(QByteArrayView(p, lineStart - p));
        const char* lf = find(QByteArrayView(q, end - q), '\n');
        const char* lineEnd = lf ? lf + 1 : end;
        other(QByteArrayView(lineStart, lineEnd - lineStart));
        p = lineEnd;
    }
}

// CR LF and a lone CR become LF, in place.
void toLfInPlace(QByteArray& b) {
    char* out = b.data();
    const char* in = b.constData();
    const char* end = in + b.size();
    char* w = out;
    for (const char* p = in; p < end; ++p) {
        if (*p == '\r') {
            *w++ = '\n';
            if (p + 1 < end && p[1] == '\n')
                ++p;
        } else {
            *w++ = *p;
        }
    }
    b.truncate(w - out);
}

// Where a piece of Shift-JIS text starting at begin may end: after the last
// line feed before the limit, or at a character boundary (never inside a
// double-byte character or between CR and LF) when the line is longer.
qsizetype sjisCut(const char* data, qsizetype begin, qsizetype size) {
    const qsizetype limit = begin + ChunkBytes;
    if (limit >= size)
        return size;
    for (qsizetype i = limit; i > begin; --i)
        if (data[i - 1] == '\n')
            return i;
    qsizetype i = begin; // line feeds and carriage returns are never trail bytes
    while (i < limit)
        i += isSjisLeadByte(static_cast<unsigned char>(data[i])) ? 2 : 1;
    if (i > size)
        i = size;
    if (data[i - 1] == '\r' && i < size && data[i] == '\n')
        ++i;
    return i;
}

// Shift-JIS to UTF-8 with LF line ends, in pieces.
qsizetype feedSjis(QByteArrayView sjis, TextSink& sink) {
    qsizetype fed = 0;
    qsizetype pos = 0;
    while (pos < sjis.size()) {
        const qsizetype cut = sjisCut(sjis.data(), pos, sjis.size());
        const QByteArrayView piece = sjis.sliced(pos, cut - pos);
        QByteArray utf8;
        utf8.reserve(piece.size() + piece.size() / 8);
        forEachRun(
            piece, [&](QByteArrayView a) { utf8.append(a); },
            [&](QByteArrayView line) { utf8.append(fromSjis(line).toUtf8()); });
        toLfInPlace(utf8);
        sink.append(utf8);
        fed += utf8.size();
        pos = cut;
    }
    return fed;
}

// UTF-8 size of a Shift-JIS buffer, for the editor to reserve its space once.
qsizetype utf8SizeOfSjis(QByteArrayView sjis) {
    qsizetype n = 0;
    for (qsizetype i = 0; i < sjis.size(); ++i) {
        const auto b = static_cast<unsigned char>(sjis[i]);
        if (b < 0x80) {
            n += 1;
        } else if (isSjisLeadByte(b) && i + 1 < sjis.size()) {
            n += 3;
            ++i;
        } else {
            n += 3; // half-width katakana and damaged bytes
        }
    }
    return n;
}

// Delphi-style trim: blanks and control characters at both ends.
QString trimControls(const QString& s) {
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && s[b].unicode() <= 0x20)
        ++b;
    while (e > b && s[e - 1].unicode() <= 0x20)
        --e;
    return s.sliced(b, e - b);
}

qsizetype feedUnicode(const QString& text, TextSink& sink) {
    QByteArray utf8 = text.toUtf8();
    toLfInPlace(utf8);
    sink.begin(utf8.size());
    sink.append(utf8);
    return utf8.size();
}

// UTF-16 units behind the 2-byte mark up to the first 0 unit; a dangling odd
// byte at the end holds no character and is dropped.
QString utf16Text(const QByteArray& data, bool bigEndian) {
    const qsizetype units = (data.size() - 2) / 2;
    QString s;
    s.resize(units);
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData()) + 2;
    qsizetype n = 0;
    for (; n < units; ++n) {
        const char16_t u =
            bigEndian ? char16_t(p[2 * n] << 8 | p[2 * n + 1]) : char16_t(p[2 * n + 1] << 8 | p[2 * n]);
        if (u == 0)
            break;
        s[n] = QChar(u);
    }
    s.truncate(n);
    return s;
}

} // namespace

QByteArray sjisToEditorText(QByteArrayView sjis) {
    struct Collect : TextSink {
        QByteArray out;
        void begin(qsizetype n) override { out.reserve(n); }
        void append(QByteArrayView b) override { out.append(b); }
    } c;
    feedSjis(sjis, c);
    return c.out;
}

QList<QByteArray> linesForFallback(QByteArrayView fileBytes) {
    constexpr qsizetype Piece = 499; // what one read of a 500-byte line buffer takes
    QByteArray data = fileBytes.toByteArray();
    // Text mode: CR LF is read as LF; a lone CR stays.
    {
        char* w = data.data();
        const char* end = data.constData() + data.size();
        for (const char* p = data.constData(); p < end; ++p) {
            if (*p == '\r' && p + 1 < end && p[1] == '\n')
                continue;
            *w++ = *p;
        }
        data.truncate(w - data.data());
    }
    QList<QByteArray> lines;
    const char* d = data.constData();
    const qsizetype n = data.size();
    qsizetype pos = 0;
    while (pos < n) {
        const qsizetype limit = std::min(pos + Piece, n);
        const char* lf = find(QByteArrayView(d + pos, limit - pos), '\n');
        qsizetype end = lf ? lf - d + 1 : limit;
        if (!lf && end - pos == Piece) {
            // Keep a double-byte character whole instead of splitting it
            // between two lines.
            qsizetype i = pos;
            while (i < end)
                i += isSjisLeadByte(static_cast<unsigned char>(d[i])) ? 2 : 1;
            if (i > end)
                --end;
        }
        QByteArrayView piece(d + pos, end - pos);
        pos = end;
        if (const char* z = find(piece, '\0'))
            piece.truncate(z - piece.data());
        if (piece.endsWith('\n'))
            piece.chop(1);
        if (!piece.isEmpty())
            lines.append(piece.toByteArray());
    }
    return lines;
}

ReadResult readDocument(const QString& path, bool receivedPending, DocumentHost& host, TextSink& sink) {
    ReadResult r;
    QByteArray data;
    {
        QFile f;
        if (openRegular(path, f, &r.notRegular)) {
            const qint64 size = f.size();
            data = f.readAll();
            r.opened = f.error() == QFileDevice::NoError && data.size() == size;
            r.fileSize = r.opened ? size : 0;
        }
    }
    if (!r.opened)
        data.clear();
    if (r.notRegular)
        return r;

    bool cutByZero = false;
    const auto* u = reinterpret_cast<const unsigned char*>(data.constData());
    if (data.size() >= 2 && u[0] == 0xFE && u[1] == 0xFF) {
        r.unicodeMark = true;
        r.encoding = FileEncoding::Utf16BigEndian;
        if (host.warningYesNo(text::bigEndianQuestion()))
            r.textBytes = feedUnicode(trimControls(utf16Text(data, true)), sink);
        else
            r.refused = true;
    } else if (data.size() >= 2 && u[0] == 0xFF && u[1] == 0xFE) {
        r.unicodeMark = true;
        r.encoding = FileEncoding::Utf16LittleEndian;
        if (host.warningYesNo(text::littleEndianQuestion()))
            r.textBytes = feedUnicode(utf16Text(data, false), sink);
        else
            r.refused = true;
    } else if (data.size() >= 2 && u[0] == 0xEF && u[1] == 0xBB) {
        // The third byte of the mark is not required; when present it goes
        // with the mark.
        r.unicodeMark = true;
        r.encoding = FileEncoding::Utf8;
        if (host.warningYesNo(text::utf8Question())) {
            QByteArrayView body = QByteArrayView(data).sliced(data.size() >= 3 && u[2] == 0xBF ? 3 : 2);
            if (const char* z = find(body, '\0'))
                body.truncate(z - body.data());
            r.textBytes = feedUnicode(QString::fromUtf8(body), sink);
        } else {
            r.refused = true;
        }
    } else {
        QByteArrayView body(data);
        if (const char* z = find(body, '\0')) {
            body.truncate(z - body.data());
            // Text behind a 0 byte would be dropped without a word; the
            // line-by-line reading keeps every line up to its own 0 byte.
            cutByZero = !body.isEmpty();
        }
        if (!cutByZero) {
            sink.begin(utf8SizeOfSjis(body));
            r.textBytes = feedSjis(body, sink);
        }
    }
    data.clear();
    data.squeeze();

    if (r.textBytes == 0 && !r.unicodeMark) {
        bool readLines;
        if (receivedPending) {
            host.warningYes(text::receivedFormatWrong());
            readLines = true;
        } else {
            readLines = host.warningYesNo(text::fileFormatWrong());
        }
        if (readLines) {
            r.lineByLine = true;
            QFile f;
            if (openRegular(path, f)) {
                const QList<QByteArray> lines = linesForFallback(f.readAll());
                QByteArray joined;
                for (const QByteArray& l : lines) {
                    if (!joined.isEmpty())
                        joined += '\n';
                    joined += l;
                }
                sink.begin(utf8SizeOfSjis(joined));
                r.textBytes = feedSjis(joined, sink);
            }
        }
    }
    return r;
}

EncodedDocument encodeDocument(QByteArrayView utf8) {
    EncodedDocument out;
    qsizetype lineEnds = 0;
    for (char c : utf8)
        lineEnds += c == '\n';
    out.bytes.reserve(utf8.size() + lineEnds + 16);

    auto appendCrLf = [&out](QByteArrayView sjis) {
        const char* p = sjis.data();
        const char* end = p + sjis.size();
        if (!find(sjis, '\r')) {
            // The usual case: line feeds only.
            while (p < end) {
                const char* lf = find(QByteArrayView(p, end - p), '\n');
                const char* q = lf ? lf : end;
                out.bytes.append(p, q - p);
                if (q == end)
                    break;
                out.bytes.append("\r\n", 2);
                p = q + 1;
            }
            return;
        }
        while (p < end) {
            const char* q = p;
            while (q < end && *q != '\n' && *q != '\r')
                ++q;
            out.bytes.append(p, q - p);
            if (q == end)
                break;
            out.bytes.append("\r\n", 2);
            p = q + ((*q == '\r' && q + 1 < end && q[1] == '\n') ? 2 : 1);
        }
    };

    qsizetype pos = 0;
    while (pos < utf8.size()) {
        qsizetype cut = std::min(pos + ChunkBytes, utf8.size());
        if (cut < utf8.size()) {
            // Cut behind a line feed, or at least at a character boundary and
            // never between CR and LF.
            qsizetype i = cut;
            while (i > pos && utf8[i - 1] != '\n')
                --i;
            if (i > pos) {
                cut = i;
            } else {
                while (cut > pos && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80)
                    --cut;
                if (utf8[cut - 1] == '\r' && utf8[cut] == '\n')
                    ++cut;
            }
        }
        forEachRun(utf8.sliced(pos, cut - pos), appendCrLf, [&](QByteArrayView line) {
            qsizetype bad = 0;
            appendCrLf(toSjis(QString::fromUtf8(line), &bad));
            out.unmappable += bad;
        });
        pos = cut;
    }
    return out;
}

bool writeDocumentFile(const QString& path, const QByteArray& bytes, QString* error) {
    // A folder the program may not create files in can still hold a file it
    // may overwrite: the writer then writes in place, after reserving room.
    platform::AtomicFile f(path);
    const bool ok = f.open() && f.write(bytes) && f.commit();
    if (!ok && error)
        *error = f.reason();
    return ok;
}

QString sizeText(double bytes, bool metres) {
    if (metres)
        return QString::number(bytes * 0.00254, 'f', 2) + QStringLiteral(u"ﾒｰﾄﾙ");
    static const char* const units[] = {"KB", "MB", "GB", "TB"};
    int k = 0;
    double n = bytes;
    while (n > 1024 && k < 4) {
        n /= 1024;
        ++k;
    }
    if (k == 0)
        return QString::number(n, 'f', 0) + QStringLiteral(u"ﾊﾞｲﾄ");
    return QString::number(n, 'f', 3) + QString::fromLatin1(units[k - 1]);
}

void addRecent(std::array<QString, 5>& recent, const QString& path) {
    if (path.isEmpty())
        return;
    auto found = std::find_if(recent.begin(), recent.end(),
                              [&](const QString& e) { return e.compare(path, Qt::CaseInsensitive) == 0; });
    if (found == recent.end())
        found = recent.end() - 1;
    std::move_backward(recent.begin(), found, found + 1);
    recent.front() = path;
}

QString folderOf(const QString& path) {
    const qsizetype i = path.lastIndexOf('/');
    if (i < 0)
        return QString();
    return i == 0 ? QStringLiteral("/") : path.left(i);
}

QString fileNameOf(const QString& path) {
    const qsizetype i = std::max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
    return path.mid(i + 1);
}

} // namespace tornyx
