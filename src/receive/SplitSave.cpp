#include "receive/SplitSave.h"

#include "editor/DocumentFile.h"
#include "platform/AtomicFile.h"
#include "platform/TextCodec.h"
#include "receive/OspFileName.h"

#include <QFileInfo>
#include <QSet>

#include <chrono>
#include <cstring>
#include <future>

namespace tornyx {

namespace {

constexpr int MaxNameBytes = 255;
// Lines between two progress reports: often enough for a smooth bar, rarely
// enough to cost nothing.
constexpr int ProgressEvery = 2048;
// Names listed in the closing message; the rest are counted.
constexpr int ListedNames = 20;

bool isBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

bool isAscii(QByteArrayView bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) & 0x80)
            return false;
    return true;
}

QString serialText(int n) {
    return QString::number(n).rightJustified(3, '0');
}

// The lines of an IndexedText one after the other, read from the editor's
// buffer where it lies. A line that straddles the buffer's gap is copied.
class LineWalk {
public:
    explicit LineWalk(const IndexedText& text) : m_text(text), m_length(text.length()) { refresh(); }

    // The next line without its line end; false behind the last one (an
    // empty line after the final line end is no line).
    bool next(QByteArrayView* line) {
        if (m_pos >= m_length)
            return false;
        const qsizetype start = m_pos;
        qsizetype end = -1;
        qsizetype after = -1;
        for (const auto& p : m_pieces) {
            const qsizetype pEnd = p.offset + p.bytes.size();
            if (pEnd <= m_pos)
                continue;
            const char* base = p.bytes.data() + (m_pos - p.offset);
            const qsizetype n = pEnd - m_pos;
            const void* lf = std::memchr(base, '\n', n);
            const qsizetype span = lf ? static_cast<const char*>(lf) - base : n;
            const void* cr = std::memchr(base, '\r', span);
            if (cr) {
                end = m_pos + (static_cast<const char*>(cr) - base);
                after = end + 1;
                if (byteAt(after) == '\n')
                    ++after;
                break;
            }
            if (lf) {
                end = m_pos + span;
                after = end + 1;
                break;
            }
            m_pos = pEnd; // the line goes on in the next piece
        }
        if (end < 0)
            end = after = m_length;
        m_pos = after;
        *line = view(start, end);
        return true;
    }

    // Fetches the buffer's pieces again: processing events may have moved
    // the editor's gap.
    void refresh() { m_pieces = m_text.pieces(m_pos); }

private:
    char byteAt(qsizetype offset) const {
        for (const auto& p : m_pieces)
            if (offset >= p.offset && offset < p.offset + p.bytes.size())
                return p.bytes[offset - p.offset];
        return 0;
    }

    QByteArrayView view(qsizetype from, qsizetype to) {
        for (const auto& p : m_pieces)
            if (from >= p.offset && to <= p.offset + p.bytes.size())
                return p.bytes.sliced(from - p.offset, to - from);
        m_joined.resize(0);
        for (const auto& p : m_pieces) {
            const qsizetype a = std::max(from, p.offset);
            const qsizetype b = std::min(to, p.offset + p.bytes.size());
            if (a < b)
                m_joined.append(p.bytes.sliced(a - p.offset, b - a));
        }
        return m_joined;
    }

    const IndexedText& m_text;
    qsizetype m_length;
    qsizetype m_pos = 0;
    std::vector<IndexedText::Piece> m_pieces;
    QByteArray m_joined;
};

// The offset of the first byte above 0x7F at or after from; -1 when none.
qsizetype nextHighByte(const std::vector<IndexedText::Piece>& pieces, qsizetype from) {
    constexpr quint64 HighBits = 0x8080808080808080ull;
    for (const auto& p : pieces) {
        const qsizetype n = p.bytes.size();
        const char* d = p.bytes.data();
        qsizetype i = std::max(from, p.offset) - p.offset;
        for (; i + 8 <= n; i += 8) {
            quint64 word;
            std::memcpy(&word, d + i, 8);
            if (word & HighBits)
                break;
        }
        for (; i < n; ++i)
            if (static_cast<unsigned char>(d[i]) & 0x80)
                return p.offset + i;
    }
    return -1;
}

// Cuts the name's stem until the whole name fits the file system's limit.
QString fitted(const QString& name, const QString& tail) {
    QString stem = name.left(name.size() - tail.size());
    while (!stem.isEmpty() && (stem + tail).toUtf8().size() > MaxNameBytes)
        stem.chop(1);
    return stem + tail;
}

// The program's name made safe; a name that is refused as it is (a device
// name, too long) is stored under "_" + the name, cut to fit.
QString safeName(const QString& wanted, const QString& tail, int line1) {
    const SafeFileName s = safeFileName(wanted);
    if (!s.name.isEmpty())
        return s.name;
    const SafeFileName prefixed = safeFileName(fitted("_" + wanted, tail));
    if (!prefixed.name.isEmpty())
        return prefixed.name;
    return QStringLiteral("_") + QString::number(line1).rightJustified(5, '0');
}

class Splitter {
public:
    Splitter(const ExcludedPrograms& unticked, const SplitSettings& s) : m_unticked(unticked), m_s(s) {}

    // false when the program that ended could not be written.
    bool startProgram(int line1, QByteArrayView raw, QByteArrayView trimmed) {
        if (!finishProgram())
            return false;
        ++m_result.programs;
        const QString rawText = QString::fromUtf8(raw);
        m_writing = !m_unticked.excludes(line1, rawText);
        m_bytes.resize(0);
        if (!m_writing)
            return true;
        m_path = m_s.folder + '/' + nameFor(line1, QString::fromUtf8(trimmed));
        if (m_s.percentAtTop)
            m_bytes += "%\r\n";
        return true;
    }

    void addLine(QByteArrayView trimmed) {
        if (!m_writing)
            return;
        if (isAscii(trimmed))
            m_bytes += trimmed;
        else
            m_bytes += platform::toSjis(QString::fromUtf8(trimmed));
        m_bytes += "\r\n";
    }

    bool finishProgram() {
        if (!m_writing)
            return true;
        m_writing = false;
        if (m_s.percentAtEnd)
            m_bytes += "%\r\n";
        platform::AtomicFile f(m_path);
        if (f.open() && f.write(m_bytes) && f.commit(platform::AtomicFile::Sync::Later)) {
            m_result.written << m_path;
            return true;
        }
        fail(m_path, f.errorString());
        return false;
    }

    // The files written are on the disk before the split counts as done.
    // Flushing a hundred megabytes takes a while: the window goes on
    // repainting meanwhile.
    void syncWritten(SplitProgress* progress, int line) {
        if (m_result.written.isEmpty())
            return;
        QString error;
        auto synced =
            std::async(std::launch::async, [&] { return platform::syncFileSystem(m_s.folder, &error); });
        while (progress && synced.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
            progress->reached(line);
        if (!synced.get() && m_result.ok())
            fail(m_s.folder, error);
    }

    int writtenCount() const { return static_cast<int>(m_result.written.size()); }

    SplitResult take() { return std::move(m_result); }

private:
    void fail(const QString& path, const QString& error) {
        m_result.failedPath = path;
        // The writer's text starts with the path; the message names it once.
        const QString prefix = path + QStringLiteral(": ");
        m_result.failure = error.startsWith(prefix) ? error.mid(prefix.size()) : error;
        if (m_result.failure.isEmpty())
            m_result.failure = QStringLiteral("write failed");
    }

    QString nameFor(int line1, const QString& programLine) {
        const int serial = m_s.serialNumbers ? m_result.programs : 0;
        const QString tail = (serial > 0 ? "_" + serialText(serial) : QString()) + m_s.extension;
        const QString wanted = programFileName(programLine, serial, m_s.extension);
        QString name = safeName(wanted, tail, line1);
        if (name != wanted)
            m_result.cleaned.append({line1, wanted, name});
        if (m_used.contains(name.toCaseFolded())) {
            const QString first = name;
            name = freeName(name);
            m_result.renamed.append({line1, first, name});
        }
        // Names compare without letter case: on a Windows share or a memory
        // card O1.NC and o1.nc are one file.
        m_used.insert(name.toCaseFolded());
        return name;
    }

    // The name with the first "_nnn" from 002 on that neither this split
    // nor the folder holds yet.
    QString freeName(const QString& name) const {
        qsizetype dot = name.lastIndexOf('.');
        if (!m_s.extension.isEmpty() && name.endsWith(m_s.extension))
            dot = name.size() - m_s.extension.size();
        const QString stem = dot > 0 ? name.left(dot) : name;
        const QString ext = dot > 0 ? name.mid(dot) : QString();
        for (int k = 2;; ++k) {
            const QString candidate = stem + "_" + serialText(k) + ext;
            if (!m_used.contains(candidate.toCaseFolded()) &&
                !QFileInfo::exists(m_s.folder + '/' + candidate))
                return candidate;
        }
    }

    const ExcludedPrograms& m_unticked;
    const SplitSettings& m_s;
    SplitResult m_result;
    QSet<QString> m_used;
    QByteArray m_bytes;
    QString m_path;
    bool m_writing = false;
};

} // namespace

QString documentExtension(const QString& path) {
    const QString name = path.mid(std::max(path.lastIndexOf('/'), path.lastIndexOf('\\')) + 1);
    const qsizetype dot = name.lastIndexOf('.');
    return dot < 0 ? QString() : name.mid(dot);
}

QString programFileName(const QString& programLine, int serial, const QString& extension) {
    QString base =
        programLine.left(programLine.indexOf('(') < 0 ? programLine.size() : programLine.indexOf('('));
    if (base.startsWith(':'))
        base[0] = 'O';
    if (serial > 0)
        base += "_" + serialText(serial);
    return base + extension;
}

SplitResult splitPrograms(const IndexedText& text, const ExcludedPrograms& unticked,
                          const SplitSettings& settings, SplitProgress* progress) {
    Splitter split(unticked, settings);
    LineWalk walk(text);
    QByteArrayView raw;
    bool inProgram = false;
    bool stopped = false;
    int line = 0;
    int reported = -1; // files written at the last report
    for (;; ++line) {
        // Reports come every few thousand lines and after every file, which
        // may have taken a while on a slow disk.
        if (progress && (line % ProgressEvery == 0 || split.writtenCount() != reported)) {
            reported = split.writtenCount();
            if (progress->reached(line))
                walk.refresh();
        }
        if (!walk.next(&raw))
            break;
        qsizetype skip = 0;
        while (skip < raw.size() && isBlankOrControl(raw[skip]))
            ++skip;
        const QByteArrayView trimmed = raw.sliced(skip);
        const char first = trimmed.isEmpty() ? 0 : trimmed[0];
        if (first == 'O' || first == ':' || first == 'L') {
            if (!split.startProgram(line + 1, raw, trimmed)) {
                stopped = true;
                break;
            }
            inProgram = true;
        }
        if (inProgram && first != '%')
            split.addLine(trimmed);
    }
    if (inProgram && !stopped)
        split.finishProgram();
    split.syncWritten(progress, line);
    return split.take();
}

qsizetype unmappableCharacters(const IndexedText& text) {
    // Only lines with bytes above 0x7F can hold such a character; the
    // others are passed at memory speed.
    qsizetype count = 0;
    const qsizetype length = text.length();
    for (qsizetype from = 0; from < length;) {
        const qsizetype high = nextHighByte(text.pieces(from), from);
        if (high < 0)
            break;
        const int line = text.lineAt(high);
        qsizetype n = 0;
        platform::toSjis(QString::fromUtf8(text.lineBytes(line)), &n);
        count += n;
        from = line + 1 < text.lineCount() ? text.lineStart(line + 1) : length;
    }
    return count;
}

namespace splittext {

QString nothingTicked() {
    return QStringLiteral(u"分割保存するﾃﾞｰﾀが見つかりません｡\n選択して分割保存するか中止してください｡");
}

QString nothingToSend() {
    return QStringLiteral(u"送信ﾃﾞｰﾀが見つかりません｡\n選択して送信するか中止してください｡");
}

QString folderCaption(const QString& folder) {
    return QStringLiteral(u"現ﾃﾞｨﾚｸﾄﾘ ") + folder;
}

QString stopped(const SplitResult& r) {
    return text::writeFailed(r.failedPath, r.failure) +
           QStringLiteral(u"\n分割保存を中止しました｡保存済みのﾌｧｲﾙ ") + QString::number(r.written.size()) +
           QStringLiteral(u" 個はそのまま残ります｡");
}

namespace {
void listNames(QString& out, const QString& heading, const QList<RenamedFile>& names) {
    if (names.isEmpty())
        return;
    if (!out.isEmpty())
        out += '\n';
    out += heading;
    for (int i = 0; i < names.size() && i < ListedNames; ++i)
        out += '\n' + QString::number(names[i].line).rightJustified(5, '0') + QStringLiteral(u"行 ") +
               names[i].wanted + QStringLiteral(u" → ") + names[i].used;
    if (names.size() > ListedNames)
        out +=
            QStringLiteral(u"\n他 ") + QString::number(names.size() - ListedNames) + QStringLiteral(u" 個");
}
} // namespace

QString renamedReport(const SplitResult& r) {
    QString out;
    listNames(out, QStringLiteral(u"ﾌｧｲﾙ名に使えない文字を除いて保存しました｡"), r.cleaned);
    listNames(out, QStringLiteral(u"同じﾌｧｲﾙ名のﾌﾟﾛｸﾞﾗﾑが有った為､次のﾌｧｲﾙ名で保存しました｡"), r.renamed);
    return out;
}

} // namespace splittext

} // namespace tornyx
