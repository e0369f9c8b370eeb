#pragma once

#include <QByteArray>

#include <array>

namespace tornyx {

// Where a DNC run goes on when it does not begin at the top of its start
// program: the line and the call tables as the run would have them there,
// so that the M99s that follow return where they should.
struct DncStartPoint {
    static constexpr int Levels = 10; // 0..9, as the run's tables

    int line = 0;  // 1-based line the run continues at
    int level = 0; // 0 in the start program, +1 per call
    // Of each calling level: the line after its call, and the program-number
    // line (1-based) its status label showed.
    std::array<int, Levels> returnLine{};
    std::array<int, Levels> savedLabelLine{};
    // Of each level: the repeats still to run (1 without L), and the first
    // line of the called program.
    std::array<int, Levels> count{};
    std::array<int, Levels> levelStart{};
    int labelLine = 0;       // the program-number line the label shows at line
    QByteArray pendingWords; // Shift-JIS: sent at the end of the next transmitted line

    bool operator==(const DncStartPoint&) const = default;
};

} // namespace tornyx
