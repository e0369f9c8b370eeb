#pragma once

#include "nc/NcBlock.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <cstdint>
#include <vector>

namespace tornyx::nc {

// Why the reader does not know a value. The reader never guesses: a value
// is known only when the program read so far sets it.
enum class Unknown : std::uint8_t {
    None,         // known
    NotGiven,     // not set in the part of the program that was read
    Macro,        // a macro variable or expression sets it
    RefReturn,    // G27, G28, G29 or G30 moved the axis to or from a reference point
    MachineCoord, // G53 moved the axis in machine coordinates
    CoordShift,   // G52 shifted the coordinate system
    Skip,         // G31 stopped the move where the skip signal came
    MachineCall,  // a program the machine runs from its own memory (send run)
    RetractMode,  // a canned cycle without G98 or G99
    Units,        // a value without decimal point before G20 or G21
    DistanceMode, // an axis word before G90 or G91
    OtherCode,    // an axis word in a block with a G code the reader does not know
    NoTool,       // M06 without a T before it
    Unreadable,   // a block the reader could not read
};

// A short value as written in the program ("300.", "1200", "0505").
struct ShortText {
    char s[16] = {};
    unsigned char n = 0;
    QByteArrayView view() const { return QByteArrayView(s, n); }
    void assign(QByteArrayView v);
    bool operator==(const ShortText& o) const { return view() == o.view(); }
};

// A value with where it came from: the 0-based line that set it or lost it.
template <class T> struct Tracked {
    T value{};
    Unknown why = Unknown::NotGiven;
    int line = -1;
    bool known() const { return why == Unknown::None; }
    void set(const T& v, int l) {
        value = v;
        why = Unknown::None;
        line = l;
    }
    void lose(Unknown w, int l) {
        why = w;
        line = l;
    }
};

enum Axis { X, Y, Z, A, B, C, AxisCount };

// Something in the program that the reader does not rebuild and that is
// still in effect, or a block it could not read; carried to the operator
// with the line where it was last met.
struct Carried {
    enum Kind : std::uint8_t {
        GCode,          // a G code of no tracked group (code in tenths)
        ModalGroup,     // a G code of a modal group that is not in the header (G68, G51, ...)
        MCode,          // an M code the reader does not know
        Letter,         // an address the reader does not read (U, V, W, ...)
        MacroStatement, // #1=..., IF, WHILE: the control computes them
        BlockDelete,    // "/": the block-delete switch decides
        AfterSemicolon, // text after ";" that is sent but not read
        UnreadableText, // characters that belong to no word
        CoordinateSet,  // G92 or G52: the coordinate system was shifted
        DataSetting,    // G10: offsets changed by the program
        MachineCall,    // M98/M198/G65 the machine runs from its own memory
        ModalCall,      // G66: every move calls a macro
    };
    Kind kind;
    int code = 0; // G or M code in tenths, the letter, or the group
    int line = 0; // 0-based, where it was met last
};

// The control's modal state as the reader follows it. Codes are kept in
// tenths (G54.1 is 541, G01 is 10), M codes as their number.
struct NcState {
    Tracked<int> motion;     // 0, 10, 20, 30
    Tracked<int> plane;      // 170, 180, 190
    Tracked<int> distance;   // 900, 910
    Tracked<int> units;      // 200, 210
    Tracked<int> workOffset; // 540 ... 590, 541 with workOffsetP
    ShortText workOffsetP;
    Tracked<int> lengthComp; // 430, 440, 490
    Tracked<ShortText> h;
    Tracked<int> cutterComp; // 400, 410, 420
    Tracked<ShortText> d;
    Tracked<int> feedMode; // 930, 940, 950
    Tracked<int> cycle;    // 800 or the cycle (730, 740, 760, 810 ... 890)
    Tracked<int> retract;  // 980, 990
    // The cycle's data as last written (Z, R, Q, P) and the levels it works
    // between.
    std::array<Tracked<ShortText>, 4> cycleWords;
    std::array<double, 4> cycleNumbers{}; // the same in program units (P in ms)
    Tracked<double> initialLevel;
    Tracked<double> rLevel;
    Tracked<double> bottom;
    Tracked<ShortText> tool;         // the last T
    Tracked<ShortText> spindleTool;  // the T an M06 put into the spindle
    bool toolChangeFollowed = false; // M06 came after the last T
    Tracked<ShortText> s;
    double sValue = 0;
    Tracked<int> spindle; // M03, M04, M05
    Tracked<bool> mist;   // M07 (M09 off)
    Tracked<bool> flood;  // M08 (M09 off)
    Tracked<ShortText> f;
    double fValue = 0;
    std::array<Tracked<double>, AxisCount> axis;
    std::array<bool, AxisCount> axisNamed{}; // the program moves this axis
    long long sequence = -1;                 // the last N
    std::vector<Carried> carried;

    // Index of the cycle word letter in cycleWords: Z 0, R 1, Q 2, P 3.
    static int cycleWordIndex(char letter);
    bool cycleActive() const { return cycle.known() && cycle.value != 800; }
};

// What a block makes the machine do, for the drip-feed budget.
struct BlockEffect {
    enum Kind { None, Rapid, Feed, Dwell, Cycle, Unknown } kind = None;
    double seconds = 0; // execution time (Rapid, Feed, Dwell, Cycle)
    double length = 0;  // path length in program units (Rapid, Feed, Cycle)
    double feed = 0;    // per minute, in program units (Feed, Cycle)
    bool isMotion() const { return kind == Rapid || kind == Feed || kind == Dwell || kind == Cycle; }
};

struct ReaderSettings {
    BlockRules rules;
    // How a value without decimal point reads: false, in least input
    // increments (X10 is 0.010 mm, 0.0010 inch); true, in whole units.
    bool wholeUnits = false;
    // Rapid traverse in mm/min for the time of G00 moves; 0: unknown.
    double rapidRate = 0;
    // A send run: M98, M198 and G65 go to the machine, which runs the
    // called program from its own memory.
    bool machineCalls = false;
};

// Follows the modal state block by block.
class NcReader {
public:
    explicit NcReader(const ReaderSettings& settings) : m_settings(settings) {}

    // Applies one block read from 0-based line; fills effect when given.
    void apply(const Block& block, int line, BlockEffect* effect = nullptr);

    const NcState& state() const { return m_state; }
    NcState& state() { return m_state; }
    const ReaderSettings& settings() const { return m_settings; }

private:
    void carry(Carried::Kind kind, int code, int line);
    void drop(Carried::Kind kind, int code);
    void modalGroup(int group, int code, int cancel, int line);
    bool value(const Word& w, bool rotary, double& out, Unknown& why) const;
    void loseAll(Unknown why, int line);
    void loseNamed(const Word* const* axes, Unknown why, int line);
    // What a block's G codes ask of it beyond the modal groups they set.
    struct GCodeEffect {
        int group01 = -1;   // G00 ... G03 given
        int cycleCode = -1; // a canned cycle given
        bool cycleCancel = false, dwell = false, g10 = false, g52 = false, g53 = false, g92 = false;
        bool ref = false, skip = false, call = false;
        bool parameters = false; // the axis words are a centre or a scale, no move
        bool otherCode = false;  // a G code the reader does not follow
    };
    GCodeEffect applyGCodes(const int* gCodes, int gCount, const Word* const* addr, int line);
    // Returns whether M06 was given; M98/M198 set call when the machine runs calls.
    bool applyMCodes(const int* mCodes, int mCount, bool& call, int line);
    void applyTool(const Word* t, bool toolChange, int line);
    void applyWords(const Word* const* addr, const Word* const* axes, bool dwell, int line);
    // Blocks that set coordinates, dwell, or move where the reader cannot
    // follow; true when the block was one of them.
    bool applyNonMotion(const GCodeEffect& g, const Word* const* addr, const Word* const* axes, int line,
                        BlockEffect& fx);
    void applyMotion(const GCodeEffect& g, const Word* const* addr, const Word* const* axes, int line,
                     BlockEffect& fx);
    void move(const Word* const* addr, const Word* const* axes, int line, BlockEffect& fx);
    void cycleBlock(const Word* const* addr, const Word* const* axes, int line, BlockEffect& fx);

    ReaderSettings m_settings;
    NcState m_state;
};

// "G54.1", "M03", "G01" for a code in tenths (letter G) or an M number.
QByteArray codeText(char letter, int code);

} // namespace tornyx::nc
