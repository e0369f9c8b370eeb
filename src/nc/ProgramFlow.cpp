#include "nc/ProgramFlow.h"

#include "dnc/DncCalls.h"
#include "platform/TextCodec.h"

#include <functional>

namespace tornyx::nc {

ProgramFlow::ProgramFlow(TextLines& lines, const FlowOptions& options)
    : m_lines(lines), m_options(options), m_current(options.startLine), m_labelLine(options.startLine) {
    m_count.fill(1);
    if (m_current < 1 || m_current > m_lines.count())
        end(Stop::End, m_current - 1);
}

void ProgramFlow::end(Stop why, int line, QByteArray target) {
    m_stop = why;
    m_stopLine = line;
    m_stopTarget = std::move(target);
    m_current = 0;
}

bool ProgramFlow::advance() {
    m_sentIndex = -1;
    m_sentLine = {};
    m_sentWords.clear();
    if (m_current == 0)
        return false;
    if (m_current > m_lines.count()) {
        end(Stop::End, m_current - 1);
        return false;
    }
    if (m_options.dnc)
        return advanceDnc();
    m_sentIndex = m_current - 1;
    m_sentLine = m_lines.line(m_sentIndex);
    ++m_current;
    return true;
}

namespace {

// Most lines of a long program are moves: without "M", "G6", "GO" and "%"
// a line is no call, no GOTO, no M99 and no end, and one look at its bytes
// says so.
bool isPlainMove(QByteArrayView line) {
    const char* p = line.data();
    const qsizetype n = line.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = p[i];
        if (c == 'M' || c == '%')
            return false;
        if (c == 'G' && i + 1 < n && (p[i + 1] == '6' || p[i + 1] == 'O'))
            return false;
    }
    return true;
}

} // namespace

bool ProgramFlow::advanceDnc() {
    const int index = m_current - 1;
    const QByteArrayView line = m_lines.line(index);
    if (dnc::isProgramNumberLine(line))
        m_labelLine = m_current;
    if (isPlainMove(line)) {
        m_sentIndex = index;
        m_sentLine = line;
        m_sentWords.swap(m_words);
        m_words.clear();
        ++m_current;
        return true;
    }

    const dnc::CallKind kind = dnc::callKind(line);
    if (kind != dnc::CallKind::None) {
        m_words = dnc::callWords(line, kind, m_words);
        if (m_level + 1 >= DncStartPoint::Levels) {
            end(Stop::TooDeep, index);
            return false;
        }
        m_returnLine[size_t(m_level)] = m_current + 1;
        m_savedLabel[size_t(m_level)] = m_labelLine;
        ++m_level;
        m_count[size_t(m_level)] = dnc::repeatCount(m_words);
        const Found f = callSearch(line);
        if (f.index < 0) {
            end(f.stop, index, f.target);
            return false;
        }
        m_words = dnc::cleanCallWords(m_words, f.target);
        m_levelStart[size_t(m_level)] = f.index + 2;
        m_current = f.index + 2;
        m_labelLine = f.index + 1;
        return false;
    }
    if (line.contains("GOTO")) {
        Found f;
        if (line.contains('P')) {
            f = callSearch(line);
            if (f.index >= 0)
                m_words = dnc::cleanCallWords(m_words, f.target);
        } else {
            f = gotoSearch(index);
        }
        if (f.index < 0) {
            end(f.stop, index, f.target);
            return false;
        }
        if (loops(index)) {
            end(Stop::Loop, index);
            return false;
        }
        m_current = f.index + 1;
        return false;
    }
    const auto returnUp = [&] {
        --m_level;
        m_current = m_returnLine[size_t(m_level)];
        m_labelLine = m_savedLabel[size_t(m_level)];
    };
    if (line.contains("M99")) {
        if (--m_count[size_t(m_level)] > 0) {
            m_current = m_levelStart[size_t(m_level)];
            return false;
        }
        if (m_level == 0) {
            end(Stop::End, index);
            return false;
        }
        returnUp();
        return false;
    }
    if (m_options.endReturnsAboveLevel0 && m_level > 0 && dnc::returnsAboveLevel0(line)) {
        returnUp();
        return false;
    }
    m_sentIndex = index;
    m_sentLine = line;
    m_sentWords = m_words;
    m_words.clear();
    if (dnc::isEndLine(line))
        end(Stop::End, index);
    else
        ++m_current;
    return true;
}

void ProgramFlow::buildCallIndex() {
    m_indexBuilt = true;
    const int lines = m_lines.count();
    try {
        if (!m_options.entries.isEmpty()) {
            for (const QString& entry : std::as_const(m_options.entries)) {
                const std::optional<long long> n = dnc::entryProgramNumber(entry);
                if (!n || m_programs.contains(*n))
                    continue;
                bool ok = false;
                const int lineNo = entry.left(5).toInt(&ok);
                m_programs.insert(*n, ok && lineNo >= 1 && lineNo <= lines ? lineNo - 1 : -2);
            }
            return;
        }
        for (int i = 0; i < lines; ++i) {
            const QByteArrayView l = m_lines.line(i);
            if (l.isEmpty() || (l[0] != 'O' && l[0] != ':'))
                continue;
            const std::optional<long long> n = dnc::lineProgramNumber(l);
            if (n && !m_programs.contains(*n))
                m_programs.insert(*n, i);
        }
    } catch (const dnc::NotANumber&) {
        // The run's search reads in this order and fails here: numbers
        // behind it are out of its reach.
        m_badNumber = true;
    }
}

ProgramFlow::Found ProgramFlow::callSearch(QByteArrayView line) {
    Found f;
    if (line.contains("M99")) {
        f.stop = Stop::M99Call;
        return f;
    }
    dnc::Target t;
    try {
        t = dnc::callTarget(line);
    } catch (const dnc::NotANumber&) {
        f.stop = Stop::NotANumber;
        return f;
    }
    f.target = t.text;
    if (t.status == dnc::Target::Macro) {
        f.stop = Stop::CallMacro;
        return f;
    }
    if (!m_indexBuilt)
        buildCallIndex();
    const auto it = m_programs.constFind(t.number);
    if (it != m_programs.constEnd()) {
        f.index = *it;
        if (f.index < 0)
            f.stop = Stop::CallMissing;
        return f;
    }
    f.stop = m_badNumber ? Stop::NotANumber : Stop::CallMissing;
    return f;
}

ProgramFlow::Found ProgramFlow::gotoSearch(int index) {
    if (const auto it = m_gotos.constFind(index); it != m_gotos.constEnd())
        return *it;
    Found f;
    try {
        const dnc::GotoResult g =
            dnc::findGoto(index, m_lines.count(), [this](int i) { return m_lines.line(i).toByteArray(); });
        switch (g.status) {
        case dnc::GotoResult::Found:
            f.index = g.index;
            break;
        case dnc::GotoResult::Macro:
            f.stop = Stop::GotoMacro;
            break;
        case dnc::GotoResult::EndOfText:
        case dnc::GotoResult::NextProgram:
            f.stop = Stop::GotoMissing;
            break;
        }
        f.target = dnc::gotoTarget(m_lines.line(index)).text;
    } catch (const dnc::NotANumber&) {
        f.index = -1;
        f.stop = Stop::NotANumber;
    }
    m_gotos.insert(index, f);
    return f;
}

bool ProgramFlow::loops(int index) {
    // The run's path depends on nothing but the line, the call tables and
    // the pending words: meeting a GOTO again with all of them equal means
    // the run would go round the same way for ever.
    std::size_t h = std::hash<int>{}(index);
    const auto mix = [&h](std::size_t v) { h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
    mix(std::size_t(m_level));
    for (int l = 0; l <= m_level; ++l) {
        mix(std::size_t(m_returnLine[size_t(l)]));
        mix(std::size_t(m_count[size_t(l)]));
        mix(std::size_t(m_levelStart[size_t(l)]));
    }
    mix(qHash(m_words));
    return !m_seen.insert(h).second;
}

DncStartPoint ProgramFlow::startPoint() const {
    DncStartPoint p;
    p.line = m_current;
    p.level = m_level;
    p.returnLine = m_returnLine;
    p.savedLabelLine = m_savedLabel;
    p.count = m_count;
    p.levelStart = m_levelStart;
    // Entries above the level are left overs of earlier calls; the run
    // overwrites them before it reads them.
    for (int l = m_level + 1; l < DncStartPoint::Levels; ++l) {
        p.count[size_t(l)] = 1;
        p.levelStart[size_t(l)] = 0;
    }
    for (int l = m_level; l < DncStartPoint::Levels; ++l) {
        p.returnLine[size_t(l)] = 0;
        p.savedLabelLine[size_t(l)] = 0;
    }
    p.labelLine = m_labelLine;
    p.pendingWords = platform::toSjis(QString::fromUtf8(m_words));
    return p;
}

} // namespace tornyx::nc
