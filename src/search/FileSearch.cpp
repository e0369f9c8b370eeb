#include "search/FileSearch.h"

#include "platform/TextCodec.h"
#include "search/FileMask.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringDecoder>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <set>

namespace tornyx {

namespace text {
QString binaryFile() {
    return QStringLiteral(u"ﾊﾞｲﾅﾘﾌｧｲﾙです");
}
QString lineTooLong() {
    return QStringLiteral(u"行が長すぎます");
}
QString linkLoop() {
    return QStringLiteral(u"検索済みのﾌｫﾙﾀﾞへのﾘﾝｸです");
}
QString invalidMask(const QString& pattern) {
    return pattern + QStringLiteral(u"：不適切なﾌｧｲﾙ名です");
}
} // namespace text

QStringList splitPatterns(const QString& text) {
    QStringList out;
    for (const QString& p : text.split(u';')) {
        const QString t = p.trimmed();
        if (!t.isEmpty())
            out << t;
    }
    return out;
}

QString resultEntry(const SearchHit& hit) {
    return hit.path + u'(' + QString::number(hit.line) + QStringLiteral("): ") + hit.text;
}

namespace {

constexpr qsizetype ChunkBytes = 1 << 20;
// A "line" longer than this is no NC text; the file is passed over rather
// than held in memory whole.
constexpr qsizetype MaxLineBytes = 16 << 20;
// What the result list shows of a very long line.
constexpr qsizetype MaxShownChars = 1000;

enum class Encoding { ShiftJis, Utf8, Utf16LittleEndian, Utf16BigEndian };

QString errorText(int err) {
    return qt_error_string(err);
}

// 0x80 in every byte of x that is 0, nothing elsewhere (exact, no borrow).
inline quint64 zeroBytes(quint64 x) {
    constexpr quint64 low7 = 0x7F7F7F7F7F7F7F7FULL;
    return ~(((x & low7) + low7) | x | low7);
}

// How many bytes of a zeroBytes() mask are set: the top byte of the product
// sums the eight 0-or-1 bytes (no popcount instruction is assumed).
inline int countMarks(quint64 marks) {
    return static_cast<int>(((marks >> 7) * 0x0101010101010101ULL) >> 56);
}

inline quint64 load8(const char* p) {
    quint64 w;
    std::memcpy(&w, p, 8);
    return w;
}

// Line breaks in [p, e) as the editor counts them: LF, CR LF, a lone CR.
// [p, e) never splits a CR LF pair.
qint64 countBreaks(const char* p, const char* e) {
    constexpr quint64 ones = 0x0101010101010101ULL;
    constexpr quint64 lf = ones * '\n';
    constexpr quint64 cr = ones * '\r';
    qint64 lfs = 0;
    qint64 crs = 0;
    qint64 pairs = 0;
    for (; e - p >= 9; p += 8) {
        const quint64 w = load8(p);
        const quint64 atCr = zeroBytes(w ^ cr);
        lfs += countMarks(zeroBytes(w ^ lf));
        if (atCr) {
            crs += countMarks(atCr);
            pairs += countMarks(atCr & zeroBytes(load8(p + 1) ^ lf));
        }
    }
    for (; p < e; ++p) {
        lfs += *p == '\n';
        if (*p == '\r') {
            ++crs;
            pairs += p + 1 < e && p[1] == '\n';
        }
    }
    return lfs + crs - pairs;
}

// Where the line after the last break in [p, e) starts; p when there is none.
const char* lastLineStart(const char* p, const char* e) {
    const void* lf = memrchr(p, '\n', e - p);
    const void* cr = memrchr(p, '\r', e - p);
    const char* last = std::max(static_cast<const char*>(lf), static_cast<const char*>(cr));
    return last ? last + 1 : p;
}

const char* lineEndFrom(const char* p, const char* e) {
    while (p < e && *p != '\n' && *p != '\r')
        ++p;
    return p;
}

const char* afterBreak(const char* le, const char* e) {
    if (le < e && *le == '\r' && le + 1 < e && le[1] == '\n')
        return le + 2;
    return le < e ? le + 1 : e;
}

// In Shift-JIS an ASCII letter may be the second byte of a double-byte
// character; a hit counts only where a character starts.
bool startsCharacter(const char* lineStart, const char* at) {
    const char* q = lineStart;
    while (q < at)
        q += platform::isSjisLeadByte(static_cast<unsigned char>(*q)) ? 2 : 1;
    return q == at;
}

// The end of what can be searched now: behind the last complete line. A CR
// at the very end waits for the next read (it may be the first half of CR LF).
qsizetype completeLines(const char* b, qsizetype n) {
    if (const void* lf = memrchr(b, '\n', n))
        return static_cast<const char*>(lf) - b + 1;
    if (n >= 2)
        if (const void* cr = memrchr(b, '\r', n - 1))
            return static_cast<const char*>(cr) - b + 1;
    return 0;
}

class Search {
public:
    Search(const SearchRequest& r, SearchHost& host) : m_request(r), m_host(host) {
        qsizetype unmappable = 0;
        m_sjisNeedle = platform::toSjis(r.text, &unmappable);
        m_sjisPossible = unmappable == 0;
        m_utf8Needle = r.text.toUtf8();
        m_buffer.resize(ChunkBytes);
        m_clock.start();
    }

    SearchOutcome run() {
        if (m_request.text.isEmpty())
            return m_out;
        QString root = m_request.folder;
        while (root.size() > 1 && root.endsWith(u'/'))
            root.chop(1);
        for (const QString& pattern : m_request.patterns) {
            m_pattern = pattern;
            m_mask = FileMask::parse(pattern);
            m_visited.clear();
            walk(QFile::encodeName(root), root);
            if (m_out.stopped)
                break;
        }
        return m_out;
    }

private:
    // True when the operator stopped the search; the window gets its events
    // at most every pumpInterval.
    bool tick() {
        if (!m_out.stopped && m_clock.elapsed() >= m_request.pumpInterval.count()) {
            m_out.stopped = m_host.pump();
            m_clock.restart();
        }
        return m_out.stopped;
    }

    void skip(const QString& path, const QString& reason) { m_out.skipped.push_back({path, reason}); }

    struct Entry {
        QByteArray name;
        QString shown;
        unsigned char type;
    };

    void walk(const QByteArray& folder, const QString& shownFolder) {
        DIR* dir = opendir(folder.constData());
        if (!dir) {
            skip(shownFolder, errorText(errno));
            return;
        }
        struct stat self {};
        if (fstat(dirfd(dir), &self) == 0 && !m_visited.insert({self.st_dev, self.st_ino}).second) {
            closedir(dir);
            skip(shownFolder, text::linkLoop());
            return;
        }
        std::vector<Entry> entries;
        while (const dirent* d = readdir(dir)) {
            if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0)
                continue;
            QByteArray name(d->d_name);
            QString shown = QFile::decodeName(name);
            entries.push_back({std::move(name), std::move(shown), d->d_type});
        }
        closedir(dir);
        // The order a folder listing shows: by name, letter case aside.
        std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            const int c = a.shown.compare(b.shown, Qt::CaseInsensitive);
            return c != 0 ? c < 0 : a.name < b.name;
        });

        const QByteArray prefix = folder.endsWith('/') ? folder : folder + '/';
        const QString shownPrefix = shownFolder.endsWith(u'/') ? shownFolder : shownFolder + u'/';
        for (const Entry& e : entries) {
            if (tick())
                return;
            const QByteArray path = prefix + e.name;
            unsigned char type = e.type;
            if (type == DT_UNKNOWN || type == DT_LNK) {
                struct stat st {};
                if (stat(path.constData(), &st) != 0) {
                    // A link to nothing: a file to search that cannot be read.
                    examineFile(path, shownPrefix + e.shown, e.shown, errno);
                    continue;
                }
                type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_FIFO;
            }
            if (type == DT_DIR) {
                if (m_request.subfolders)
                    walk(path, shownPrefix + e.shown);
            } else if (type == DT_REG) {
                examineFile(path, shownPrefix + e.shown, e.shown, 0);
            }
            if (m_out.stopped)
                return;
        }
    }

    void examineFile(const QByteArray& path, const QString& shown, const QString& name, int statError) {
        if (!m_mask) {
            m_host.invalidMask(m_pattern);
            return;
        }
        // The name decides; a mask with a folder part is tried on the path.
        if (!m_mask->matches(name) && !m_mask->matches(shown))
            return;
        if (statError != 0) {
            skip(shown, errorText(statError));
            return;
        }
        searchFile(path, shown);
    }

    void searchFile(const QByteArray& path, const QString& shown) {
        const int fd = open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) {
            skip(shown, errorText(errno));
            return;
        }
        struct stat st {};
        // Checked on the open file: a pipe put in place of the file after the
        // listing must not hold the search.
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            close(fd);
            return;
        }
        ++m_out.filesSearched;
        FileScan scan{fd, shown, st.st_size};
        scanFile(scan);
        close(fd);
    }

    struct FileScan {
        int fd;
        const QString& path;
        qint64 size = 0; // as the file was opened
        qint64 bytesRead = 0;
        Encoding encoding = Encoding::ShiftJis;
        qint64 line = 0; // 0-based line of the buffer's first byte
        bool done = false;
    };

    // Reads into the buffer behind `have` bytes; -1 on a read error.
    qsizetype readMore(FileScan& f, char* into, qsizetype room) {
        for (;;) {
            const ssize_t n = read(f.fd, into, static_cast<size_t>(room));
            if (n >= 0) {
                f.bytesRead += n;
                return n;
            }
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) // only a special file would say so
                return 0;
            skip(f.path, errorText(errno));
            return -1;
        }
    }

    void scanFile(FileScan& f) {
        qsizetype have = 0;
        bool eof = false;
        bool first = true;
        std::optional<QStringDecoder> decoder;
        QByteArray raw; // UTF-16 bytes before decoding
        while (!f.done) {
            // What is left in the buffer is one unfinished line.
            if (have >= MaxLineBytes) {
                skip(f.path, text::lineTooLong());
                return;
            }
            if (have == static_cast<qsizetype>(m_buffer.size()))
                m_buffer.resize(m_buffer.size() * 2);
            qsizetype n = 0;
            if (!decoder) {
                n = readMore(f, m_buffer.data() + have, static_cast<qsizetype>(m_buffer.size()) - have);
            } else {
                raw.resize(ChunkBytes);
                n = readMore(f, raw.data(), raw.size());
                if (n > 0) {
                    const QByteArray utf8 =
                        QString(decoder->decode(QByteArrayView(raw.constData(), n))).toUtf8();
                    if (have + utf8.size() > static_cast<qsizetype>(m_buffer.size()))
                        m_buffer.resize(have + utf8.size());
                    std::memcpy(m_buffer.data() + have, utf8.constData(), utf8.size());
                    n = utf8.size();
                    if (n == 0)
                        continue; // half a character: read on
                }
            }
            if (n < 0)
                return;
            // A file read up to the size it had when it was opened is done:
            // no read more to learn it, and no counting of lines behind the
            // last hit.
            eof = n == 0 || f.bytesRead >= f.size;
            qsizetype fresh = have; // where the text read now starts
            have += n;
            qsizetype start = 0;
            if (first) {
                if (have < 3 && !eof)
                    continue;
                first = false;
                start = detectEncoding(f, have);
                if (f.encoding == Encoding::Utf16LittleEndian || f.encoding == Encoding::Utf16BigEndian) {
                    decoder.emplace(f.encoding == Encoding::Utf16LittleEndian ? QStringConverter::Utf16LE
                                                                              : QStringConverter::Utf16BE);
                    const QByteArray utf8 =
                        QString(decoder->decode(QByteArrayView(m_buffer.data() + start, have - start)))
                            .toUtf8();
                    if (static_cast<qsizetype>(m_buffer.size()) < utf8.size())
                        m_buffer.resize(utf8.size());
                    std::memcpy(m_buffer.data(), utf8.constData(), utf8.size());
                    have = utf8.size();
                    start = 0;
                }
                fresh = start;
                if (f.encoding == Encoding::ShiftJis && !m_sjisPossible)
                    return; // the text holds characters a Shift-JIS file cannot
            }
            // Checked on all that was read, before any of it is searched: a
            // file that fits one block lists no hit before it is found binary.
            if (std::memchr(m_buffer.data() + fresh, 0, have - fresh)) {
                skip(f.path, text::binaryFile());
                return;
            }
            const qsizetype end = eof ? have : start + completeLines(m_buffer.data() + start, have - start);
            if (end > start)
                scanLines(f, m_buffer.data() + start, m_buffer.data() + end, eof);
            if (eof || f.done)
                return;
            std::memmove(m_buffer.data(), m_buffer.data() + end, have - end);
            have -= end;
            if (tick())
                return;
        }
    }

    // The encoding by the file's mark, as documents are read; the bytes of
    // the mark are not text.
    qsizetype detectEncoding(FileScan& f, qsizetype have) {
        const auto* u = reinterpret_cast<const unsigned char*>(m_buffer.data());
        if (have >= 2 && u[0] == 0xFE && u[1] == 0xFF) {
            f.encoding = Encoding::Utf16BigEndian;
            return 2;
        }
        if (have >= 2 && u[0] == 0xFF && u[1] == 0xFE) {
            f.encoding = Encoding::Utf16LittleEndian;
            return 2;
        }
        if (have >= 2 && u[0] == 0xEF && u[1] == 0xBB) {
            f.encoding = Encoding::Utf8;
            return have >= 3 && u[2] == 0xBF ? 3 : 2;
        }
        f.encoding = Encoding::ShiftJis;
        return 0;
    }

    // Searches complete lines [b, e); b starts a line.
    void scanLines(FileScan& f, const char* b, const char* e, bool last) {
        const bool sjis = f.encoding == Encoding::ShiftJis;
        const QByteArray& needle = sjis ? m_sjisNeedle : m_utf8Needle;
        const char* cur = b; // a line start; f.line counts the lines before it
        const char* p = b;
        while (p < e) {
            const void* found = memmem(p, e - p, needle.constData(), needle.size());
            if (!found)
                break;
            const char* m = static_cast<const char*>(found);
            const char* ls = lastLineStart(cur, m);
            f.line += countBreaks(cur, ls);
            cur = ls;
            if (sjis && !startsCharacter(ls, m)) {
                p = m + 1;
                continue;
            }
            const char* le = lineEndFrom(m, e);
            report(f, ls, le, sjis);
            if (m_request.firstHitOnly) {
                f.done = true;
                return;
            }
            cur = p = afterBreak(le, e);
            if (le < e)
                ++f.line;
            if (tick()) {
                f.done = true;
                return;
            }
        }
        // The lines behind the last hit count only when more text follows.
        if (!last)
            f.line += countBreaks(cur, e);
    }

    void report(const FileScan& f, const char* ls, const char* le, bool sjis) {
        const QByteArrayView bytes(ls, le - ls);
        QString lineText = sjis ? platform::fromSjis(bytes) : QString::fromUtf8(bytes);
        if (lineText.size() > MaxShownChars) {
            lineText.truncate(MaxShownChars);
            lineText += u'…';
        }
        ++m_out.hits;
        m_host.found({f.path, f.line + 1, lineText});
    }

    const SearchRequest& m_request;
    SearchHost& m_host;
    SearchOutcome m_out;
    QByteArray m_sjisNeedle;
    QByteArray m_utf8Needle;
    bool m_sjisPossible = true;
    QString m_pattern;
    std::optional<FileMask> m_mask;
    std::set<std::pair<dev_t, ino_t>> m_visited;
    std::vector<char> m_buffer;
    QElapsedTimer m_clock;
};

} // namespace

SearchOutcome searchFiles(const SearchRequest& request, SearchHost& host) {
    return Search(request, host).run();
}

} // namespace tornyx
