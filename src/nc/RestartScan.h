#pragma once

#include "dnc/DncStartPoint.h"
#include "nc/NcState.h"
#include "nc/ProgramFlow.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

namespace tornyx::nc {

// How a block to restart from is named.
struct RestartChoice {
    enum Kind { Line, Sequence, Text } kind = Line;
    int line = -1;           // Line: 0-based
    long long sequence = -1; // Sequence: N number
    QByteArray text;         // Text: UTF-8, as typed ("T5")
    int occurrence = 1;      // Sequence, Text: the n-th line in the text
    int pass = 1;            // the n-th time the run reaches the line
};

// The line a choice names; -1 when the text has none. Sequence numbers and
// texts count only outside comments.
int findRestartLine(TextLines& lines, const RestartChoice& choice, const BlockRules& rules);

// The program-number line ("O" or ":" first) at or above a 0-based line,
// as 1-based line; 1 when there is none. A send run restarts inside the
// program that holds the block and reads it from there.
int programStartAbove(TextLines& lines, int line);

// The start program a DNC run most likely begins at when the operator has
// not chosen one: the first listed program that ends (M02, M30) before any
// M99, that is a main program and no subprogram; else the first entry.
// 1-based line, 0 for an empty list.
int mainProgramLine(TextLines& lines, const QStringList& entries);

// Copy of line with every sendMsg blanked out the way the send filter
// does (as many blanks as it has characters, at most 29).
QByteArray blankOut(QByteArrayView line, QByteArrayView sendMsg);

struct ScanSettings {
    ReaderSettings reader;
    FlowOptions flow;
    QByteArray sendMsg; // UTF-8; the profile's "text not to be sent"
    // Called every so many blocks with the blocks read; false cancels.
    std::function<bool(std::int64_t blocks)> progress;
};

struct RestartScan {
    enum Status {
        Ok,
        NoWords,     // the line holds only a comment (or nothing)
        NotReached,  // the run never comes to the line
        FewerPasses, // it comes there fewer times than asked
        FlowStopped, // the run would stop before it gets there
        Cancelled,
    } status = NotReached;
    int line = -1;   // 0-based block the restart begins at
    int reached = 0; // how often the run came to the line
    NcState state;   // the state before the block
    DncStartPoint start;
    std::int64_t blocks = 0; // transmitted blocks read
    ProgramFlow::Stop flowStop = ProgramFlow::Stop::None;
    int flowStopLine = -1;
    QByteArray flowStopTarget;
};

// Reads the program in the order of the run up to the pass-th time it comes
// to the 0-based line and keeps the state there.
RestartScan scanToBlock(TextLines& lines, const ScanSettings& settings, int line, int pass);

// Reads one transmitted line (with the words a DNC run sends after it) into
// the reader, as the machine receives it.
void readBlock(NcReader& reader, Block& block, QByteArrayView line, QByteArrayView words, int index,
               QByteArrayView sendMsg, BlockEffect* effect = nullptr);

} // namespace tornyx::nc
