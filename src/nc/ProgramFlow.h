#pragma once

#include "dnc/DncStartPoint.h"
#include "nc/TextLines.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>

#include <optional>
#include <unordered_set>

namespace tornyx::nc {

struct FlowOptions {
    // true: the DNC run's order (calls, GOTO, M99 followed in the text);
    // false: the send run's (every line in turn).
    bool dnc = true;
    int startLine = 1; // 1-based first line
    // Option "(DNC )DNC通信でﾚﾍﾞﾙ0以外のM02(M30)はM99として処理する".
    bool endReturnsAboveLevel0 = false;
    // The program-number list the run searches; empty: the lines.
    QStringList entries;
};

// The lines in the order a send or DNC run transmits them. It makes the
// same decisions as the DNC run (the same call, GOTO and end tests), so a
// start point taken from it is one the run can continue from.
class ProgramFlow {
public:
    // Why the flow ended: at the run's own end, or where the run would stop.
    enum class Stop {
        None,
        End,         // end of the text, M02/M30/%, M99 at level 0
        TooDeep,     // a call at the deepest level
        CallMacro,   // M98 P#1: the run cannot search it
        CallMissing, // the called program is not in the text
        M99Call,     // a call line that holds M99
        GotoMacro,
        GotoMissing,
        NotANumber, // a program or sequence number such as O12A
        Loop,       // a GOTO that comes back the same way for ever
    };

    ProgramFlow(TextLines& lines, const FlowOptions& options);

    // The 1-based line the run is at; 0 once it has ended or stopped.
    int current() const { return m_current; }
    int level() const { return m_level; }

    // Does what the run does with the current line. true when the line is
    // transmitted: then sentIndex(), sentLine() and sentWords() describe it.
    bool advance();
    int sentIndex() const { return m_sentIndex; }
    // Valid until the next advance().
    QByteArrayView sentLine() const { return m_sentLine; }
    // The pending call words the run sends after the line (UTF-8).
    const QByteArray& sentWords() const { return m_sentWords; }

    Stop stop() const { return m_stop; }
    int stopLine() const { return m_stopLine; } // 0-based
    QByteArray stopTarget() const { return m_stopTarget; }

    // The DNC run's tables at current().
    DncStartPoint startPoint() const;

private:
    struct Found {
        int index = -1;
        Stop stop = Stop::None;
        QByteArray target;
    };
    bool advanceDnc();
    Found callSearch(QByteArrayView line);
    Found gotoSearch(int index);
    void end(Stop why, int line, QByteArray target = {});
    void buildCallIndex();
    bool loops(int index);

    TextLines& m_lines;
    FlowOptions m_options;
    int m_current = 0;
    int m_level = 0;
    int m_labelLine = 0;
    QByteArray m_words;
    std::array<int, DncStartPoint::Levels> m_returnLine{};
    std::array<int, DncStartPoint::Levels> m_savedLabel{};
    std::array<int, DncStartPoint::Levels> m_count{};
    std::array<int, DncStartPoint::Levels> m_levelStart{};

    int m_sentIndex = -1;
    QByteArrayView m_sentLine;
    QByteArray m_sentWords;
    Stop m_stop = Stop::None;
    int m_stopLine = -1;
    QByteArray m_stopTarget;

    // Program number -> 0-based program-number line, in the order the run's
    // search meets them; -2 for a list entry naming a line outside the text.
    bool m_indexBuilt = false;
    QHash<long long, int> m_programs;
    bool m_badNumber = false; // the search meets a number such as O12A first
    QHash<int, Found> m_gotos;
    std::unordered_set<std::size_t> m_seen;
};

} // namespace tornyx::nc
