#include "receive/LineAssembler.h"

#include "serial/NcCode.h"

#include <array>

namespace tornyx {

namespace {

constexpr char Percent = '%';

// The characters a tape code can carry; anything else ends the data unless
// the profile receives plain ASCII.
constexpr const char* AcceptedCharacters =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ %()+-:/.#$&'*,;<=>?@[]!_^ |\\";
// Characters that do not begin a word: no blank is put in front of them.
constexpr const char* NumericCharacters = "0123456789.+-/*[]()=";
constexpr const char* StartCharacters = "%OP:LNG$";

using Table = std::array<bool, 256>;

constexpr Table tableOf(const char* chars) {
    Table t{};
    for (const char* p = chars; *p; ++p)
        t[static_cast<unsigned char>(*p)] = true;
    return t;
}

constexpr Table Accepted = tableOf(AcceptedCharacters);
constexpr Table Numeric = tableOf(NumericCharacters);
constexpr Table Start = tableOf(StartCharacters);

bool isBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

void trimFront(QByteArray& s) {
    qsizetype n = 0;
    while (n < s.size() && isBlankOrControl(s[n]))
        ++n;
    s.remove(0, n);
}

void trimBack(QByteArray& s) {
    qsizetype n = s.size();
    while (n > 0 && isBlankOrControl(s[n - 1]))
        --n;
    s.truncate(n);
}

bool onlyBlanks(const QByteArray& s) {
    for (const char c : s)
        if (!isBlankOrControl(c))
            return false;
    return true;
}

void removeFirst(QByteArray& s, char c) {
    const qsizetype at = s.indexOf(c);
    if (at >= 0)
        s.remove(at, 1);
}

} // namespace

bool LineAssembler::isStartCharacter(unsigned char c) {
    return c == nc::Lf || Start[c];
}
bool LineAssembler::isAcceptedCharacter(unsigned char c) {
    return Accepted[c];
}
bool LineAssembler::isNumericCharacter(unsigned char c) {
    return Numeric[c];
}

LineAssembler::LineAssembler(const Settings& settings) : m_settings(settings) {}

bool LineAssembler::start(unsigned char startCharacter) {
    m_lines.clear();
    m_buffer = QByteArray(1, char(startCharacter));
    refreshPercent();
    m_dataStarted = false;
    m_wordFlag = true;
    m_commentFlag = false;
    m_lineCounter = 0;
    m_tapeLines = 0;
    m_endReason = EndReason::None;
    m_ospName.clear();
    if (m_settings.seChar == 0 || m_settings.seChar == 2) {
        addLine(QByteArray(1, Percent));
        return true;
    }
    return false;
}

QList<QByteArray> LineAssembler::takeLines() {
    QList<QByteArray> out;
    out.swap(m_lines);
    return out;
}

void LineAssembler::addLine(const QByteArray& line) {
    m_lines.append(line);
}

// Reception that started on an LF holds that LF first; it is no part of
// any line.
QByteArray LineAssembler::unfinishedLine() const {
    return m_buffer.startsWith(char(nc::Lf)) ? m_buffer.mid(1) : m_buffer;
}

void LineAssembler::refreshPercent() {
    m_bufferHasPercent = m_buffer.contains(Percent);
}

void LineAssembler::append(unsigned char c) {
    m_buffer.append(char(c));
    if (c == Percent)
        m_bufferHasPercent = true;
}

LineAssembler::Outcome LineAssembler::end(EndReason reason) {
    m_endReason = reason;
    return Outcome::Ended;
}

LineAssembler::Outcome LineAssembler::feed(unsigned char c) {
    // The machine's closing "%" is recognised on the character after it.
    // That character is never stored, so a NUL of the trailing feed or a CR
    // may confirm it as well as anything else: many machines send nothing
    // but feed after the "%".
    if (m_bufferHasPercent && m_dataStarted) {
        if (m_buffer.size() >= 3) {
            removeFirst(m_buffer, Percent);
            const QByteArray rest = unfinishedLine();
            if (!rest.isEmpty())
                addLine(rest);
        }
        return end(EndReason::Percent);
    }

    if (c == nc::Nul)
        return Outcome::Dropped;
    if (c == nc::Cr) {
        if (m_settings.endCode != 2)
            return Outcome::Dropped;
        c = nc::Lf;
    }

    if (c == nc::Dc4 || c == nc::Can) {
        const QByteArray rest = unfinishedLine();
        if (!rest.isEmpty())
            addLine(rest);
        return end(EndReason::CancelSignal);
    }
    if (c == nc::Lf)
        return completeLine();
    return store(c);
}

LineAssembler::Outcome LineAssembler::store(unsigned char c) {
    if (m_settings.code != 1 && !Accepted[c] && c != '"') {
        m_endCharacter = c;
        return end(EndReason::UnexpectedCharacter);
    }
    if (c == '(')
        m_commentFlag = true;
    if (Numeric[c]) {
        append(c);
        m_wordFlag = false;
    } else {
        switch (m_settings.word) {
        case 0:
            if (m_wordFlag || m_commentFlag) {
                append(c);
            } else if (c != ' ') {
                append(' ');
                append(c);
            }
            if (m_wordFlag || m_commentFlag || c != ' ')
                m_wordFlag = true;
            break;
        case 1:
            if (c != ' ' || m_commentFlag)
                append(c);
            break;
        default:
            append(c);
            break;
        }
    }
    if (c == ')' && m_commentFlag)
        m_commentFlag = false;
    return Outcome::Stored;
}

LineAssembler::Outcome LineAssembler::completeLine() {
    ++m_tapeLines;
    m_lastWasProgramLine = false;
    m_lastWasFileName = false;

    if (m_bufferHasPercent && !m_dataStarted) {
        if (m_settings.osp) {
            if (!m_ospName.isEmpty()) {
                m_buffer.clear();
                m_bufferHasPercent = false;
                return Outcome::LineCompleted;
            }
        } else {
            m_dataStarted = true;
            if (m_buffer.size() < 4) {
                m_buffer.clear();
                m_bufferHasPercent = false;
                return Outcome::LineCompleted;
            }
            removeFirst(m_buffer, Percent);
            refreshPercent();
        }
    }
    // Reception started on an LF: that LF is no part of the line.
    if (m_buffer.startsWith(char(nc::Lf)))
        m_buffer.remove(0, 1);

    bool stored = false;
    if (m_settings.osp && m_buffer.startsWith('$') && m_ospName.isEmpty()) {
        QByteArray name = m_buffer.mid(1);
        removeFirst(name, Percent);
        name.replace(" ", "");
        m_ospName = name;
        m_dataStarted = true;
        m_lastWasFileName = true;
        m_lastLine = name;
    } else {
        if (m_settings.word != 3)
            trimFront(m_buffer);
        const char first = m_buffer.isEmpty() ? '\0' : m_buffer[0];
        if (first == ':' || first == 'O' || first == 'L') {
            if (first != 'L') {
                if (m_settings.change == 1)
                    m_buffer[0] = 'O';
                else if (m_settings.change == 2)
                    m_buffer[0] = ':';
            }
            m_lastWasProgramLine = true;
        }
        if (m_settings.word != 3)
            trimBack(m_buffer);
        m_lastLine = m_buffer;

        // Feed and blank lines before the program are no data: they must not
        // make the program's own leading "%" count as its end.
        if (!m_dataStarted && onlyBlanks(m_buffer)) {
            m_buffer.clear();
            m_lastWasProgramLine = false;
            return Outcome::LineCompleted;
        }

        if (m_settings.osp && m_buffer.startsWith('$')) {
            // a later file-name line: not stored
        } else if (m_buffer == "O" || m_buffer == ":") {
            // The number follows on the next line; keep the letter for it.
            m_lastWasProgramLine = false;
            return Outcome::LineCompleted;
        } else if (m_buffer.contains("O&FW") || m_buffer.contains(":&FW") || m_buffer.contains("&HE:")) {
            // the controller's own header lines: not stored
        } else {
            addLine(m_buffer);
            stored = true;
        }
    }

    m_wordFlag = true;
    m_commentFlag = false;
    ++m_lineCounter;
    if (stored && m_bufferHasPercent && m_dataStarted)
        return end(EndReason::PercentLine);
    m_buffer.clear();
    m_bufferHasPercent = false;
    m_dataStarted = true;
    return Outcome::LineCompleted;
}

void LineAssembler::endOnDsrOff() {
    addLine(unfinishedLine());
    m_endReason = EndReason::DsrOff;
}

bool LineAssembler::finishData() {
    if (m_settings.seChar == 1 || m_settings.seChar == 2) {
        addLine(QByteArray(1, Percent));
        return true;
    }
    return false;
}

} // namespace tornyx
