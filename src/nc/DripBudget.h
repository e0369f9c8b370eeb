#pragma once

#include "nc/RestartHeader.h"
#include "nc/RestartScan.h"
#include "profiles/CommProfile.h"
#include "send/SendText.h"

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace tornyx::nc {

// The send line of a profile: rate and framing of one character.
struct LineRate {
    int baud = 4800;
    int dataBits = 8;
    int parityBits = 0;
    int stopBits = 2; // 1.5 stop bits go out as 2 on this platform
    char parity = 'N';
    double charSeconds() const { return double(1 + dataBits + parityBits + stopBits) / baud; }
    // "9600bps 8N2"
    QString text() const;
};

LineRate lineRateOf(const SendGroup& send);

struct BudgetSettings {
    ScanSettings scan;       // order of the blocks, the reader, the profile's text not to be sent
    LineFilter filter;       // the send filter as the run applies it
    bool skipSpaces = false; // option "(送信)送信ﾃﾞｰﾀ内のｽﾍﾟｰｽは送信しない"
    bool eia = false;        // characters without an EIA code are not sent
    QByteArray endOfBlock = "\n";
    LineRate rate;
    int pauseMs = 0; // the profile's pause after every data character
};

// The budget settings of a run with the profile, the reader's settings
// and the space option.
BudgetSettings budgetSettingsFor(const CommProfile& profile, const ReaderSettings& reader, bool skipSpaces,
                                 const FlowOptions& flow);

// Consecutive blocks that the line delivers more slowly than the control
// executes them.
struct BudgetRegion {
    int firstLine = 0; // 0-based
    int lastLine = 0;
    int times = 0; // how often the run goes through it
    std::int64_t blocks = 0;
    std::int64_t chars = 0;
    double deliverySeconds = 0;
    double executionSeconds = 0;
    double minFeed = 0;
    double maxFeed = 0;
    double pathLength = 0;
    double deficitSeconds() const { return deliverySeconds - executionSeconds; }
    double meanSegment() const { return blocks ? pathLength / double(blocks) : 0; }
    // Characters per second the line would have to deliver here.
    double neededCharsPerSecond() const { return executionSeconds > 0 ? chars / executionSeconds : 0; }
};

struct BudgetReport {
    // The send filter as set, and with one more filter switched on.
    enum Filter { Current, SequenceNumbers, Spaces, AfterSemicolon, Comments, FilterCount };
    struct Totals {
        std::int64_t chars = 0;
        double deliverySeconds = 0;
        std::int64_t flagged = 0; // motion blocks delivered more slowly than executed
    };
    std::array<Totals, FilterCount> totals;
    std::array<bool, FilterCount> available{}; // the filter is not on already

    std::int64_t blocks = 0;        // transmitted
    std::int64_t motionBlocks = 0;  // with an execution time
    std::int64_t unknownBlocks = 0; // moves whose time the reader cannot tell
    double executionSeconds = 0;
    double charsPerSecond = 0;       // of the line
    std::vector<BudgetRegion> worst; // by deficit, at most five
    ProgramFlow::Stop stop = ProgramFlow::Stop::End;
    int stopLine = -1;
    bool cancelled = false;

    double flaggedShare(Filter f = Current) const {
        return motionBlocks ? double(totals[f].flagged) / double(motionBlocks) : 0;
    }
};

// Reads the whole program in the order of the run and compares, block by
// block, the time the line needs to deliver it (with the non-moving blocks
// before it) with the time the control needs to execute it.
BudgetReport estimateBudget(TextLines& lines, const BudgetSettings& settings);

} // namespace tornyx::nc
