#include "nc/NcState.h"
#include "nc/RestartHeader.h"
#include "nc/RestartScan.h"

#include "support/TempHome.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace tornyx;
using namespace tornyx::nc;

namespace {

QByteArray g(const Tracked<int>& t) {
    return t.known() ? codeText('G', t.value) : "G?";
}
QByteArray txt(const Tracked<ShortText>& t) {
    return t.known() ? t.value.view().toByteArray() : "?";
}

// The fields a case looks at, in a compact form: "?" for what the reader
// does not know.
QByteArray describe(const NcState& s, const QByteArray& fields) {
    QList<QByteArray> out;
    for (const QByteArray& f : fields.split(' ')) {
        if (f == "motion")
            out << g(s.motion);
        else if (f == "plane")
            out << g(s.plane);
        else if (f == "dist")
            out << g(s.distance);
        else if (f == "units")
            out << g(s.units);
        else if (f == "feedmode")
            out << g(s.feedMode);
        else if (f == "cycle")
            out << g(s.cycle);
        else if (f == "wcs")
            out << g(s.workOffset) + (s.workOffset.known() && s.workOffset.value == 541
                                          ? "P" + s.workOffsetP.view().toByteArray()
                                          : QByteArray());
        else if (f == "tlo")
            out << g(s.lengthComp) + "H" + txt(s.h);
        else if (f == "ccomp")
            out << g(s.cutterComp) + "D" + txt(s.d);
        else if (f == "tool")
            out << "T" + txt(s.tool) + "/T" + txt(s.spindleTool);
        else if (f == "spindle")
            out << "S" + txt(s.s) + (s.spindle.known() ? codeText('M', s.spindle.value) : "M?");
        else if (f == "cool")
            out << QByteArray(s.mist.known() ? (s.mist.value ? "M07" : "-") : "?") + "/" +
                       (s.flood.known() ? (s.flood.value ? "M08" : "-") : "?");
        else if (f == "f")
            out << "F" + txt(s.f);
        else if (f == "xyz" || f == "xyzabc") {
            const int n = f == "xyz" ? 3 : 6;
            for (int a = 0; a < n; ++a)
                out << QByteArray(1, "XYZABC"[a]) +
                           (s.axis[size_t(a)].known() ? formatNumber(s.axis[size_t(a)].value, false) : "?");
        } else if (f == "why") {
            // Unknown axes with their reason and 1-based line.
            for (int a = 0; a < 3; ++a)
                if (!s.axis[size_t(a)].known())
                    out << QByteArray(1, "XYZ"[a]) + ":" + QByteArray::number(int(s.axis[size_t(a)].why)) +
                               "@" + QByteArray::number(s.axis[size_t(a)].line + 1);
        }
    }
    return out.join(' ');
}

struct ReaderCase {
    const char* name;
    QList<QByteArray> lines;
    QByteArray fields;
    QList<QByteArray> after; // the state after each line
    bool wholeUnits = false;
};

class ReaderTable : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(ReaderTable, StateAfterEachBlock) {
    test::TempHome home;
    const ReaderCase& c = GetParam();
    ReaderSettings settings;
    settings.wholeUnits = c.wholeUnits;
    NcReader reader(settings);
    Block block;
    ASSERT_EQ(c.lines.size(), c.after.size());
    for (int i = 0; i < c.lines.size(); ++i) {
        readBlock(reader, block, c.lines[i], {}, i, {});
        EXPECT_EQ(describe(reader.state(), c.fields).toStdString(), c.after[i].toStdString())
            << "after line " << i + 1 << ": " << c.lines[i].toStdString();
    }
}

constexpr int NotGiven = int(Unknown::NotGiven), MacroWhy = int(Unknown::Macro),
              Ref = int(Unknown::RefReturn), UnitsWhy = int(Unknown::Units),
              DistWhy = int(Unknown::DistanceMode), G53Why = int(Unknown::MachineCoord),
              Retract = int(Unknown::RetractMode);
QByteArray why(const char* axis, int reason, int line) {
    return QByteArray(axis) + ":" + QByteArray::number(reason) + "@" + QByteArray::number(line);
}

const ReaderCase Cases[] = {
    {"AbsoluteAndIncrementalMixed",
     {"G21 G90 G00 X10. Y20. Z5.", "G91 X5. Y-5.", "G90 X1.", "G91 Z-1.5", "G01 X-.25 F200."},
     "dist xyz motion",
     {"G90 X10. Y20. Z5. G00", "G91 X15. Y15. Z5. G00", "G90 X1. Y15. Z5. G00", "G91 X1. Y15. Z3.5 G00",
      "G91 X0.75 Y15. Z3.5 G01"}},
    {"IncrementFromAnUnknownPositionStaysUnknown",
     {"G91 G01 X5. F100.", "G90 X1.", "G91 X2. Z3."},
     "xyz why",
     {"X? Y? Z? " + why("X", NotGiven, 0) + " " + why("Y", NotGiven, 0) + " " + why("Z", NotGiven, 0),
      "X1. Y? Z? " + why("Y", NotGiven, 0) + " " + why("Z", NotGiven, 0),
      "X3. Y? Z? " + why("Y", NotGiven, 0) + " " + why("Z", NotGiven, 0)}},
    {"AxisWordBeforeDistanceModeIsUnknown",
     {"G21 X5.", "G90 X5."},
     "xyz why",
     {"X? Y? Z? " + why("X", DistWhy, 1) + " " + why("Y", NotGiven, 0) + " " + why("Z", NotGiven, 0),
      "X5. Y? Z? " + why("Y", NotGiven, 0) + " " + why("Z", NotGiven, 0)}},
    {"InchAndMetricWithoutDecimalPoint",
     {"G90 X1000", "G21 X1000", "G20 X1000", "X12.5", "Y0"},
     "units xyz",
     {"G? X? Y? Z?", "G21 X1. Y? Z?", "G20 X0.1 Y? Z?", "G20 X12.5 Y? Z?", "G20 X12.5 Y0. Z?"}},
    {"WholeUnitsWithoutDecimalPoint", {"G90 X10", "G21 Y-3"}, "xyz", {"X10. Y? Z?", "X10. Y-3. Z?"}, true},
    {"UnitsMissingNamesTheReason",
     {"G90 X1000"},
     "why",
     {why("X", UnitsWhy, 1) + " " + why("Y", NotGiven, 0) + " " + why("Z", NotGiven, 0)}},
    {"ExtendedWorkOffsets",
     {"G54", "G54.1 P2", "G55", "G54.1 P#1", "G59"},
     "wcs",
     {"G54", "G54.1P2", "G55", "G?", "G59"}},
    {"CannedCycleLevelsAndCancel",
     {"G21 G90 G17 G00 X0. Y0. Z50.", "G98 G81 X10. Y10. Z-5. R2. F100.", "X20.", "G99 X30.", "G91 X5. K3",
      "G80 G90 G00 Z50."},
     "cycle motion xyz",
     {"G? G00 X0. Y0. Z50.", "G81 G00 X10. Y10. Z50.", "G81 G00 X20. Y10. Z50.", "G81 G00 X30. Y10. Z2.",
      "G81 G00 X45. Y10. Z2.", "G80 G00 X45. Y10. Z50."}},
    {"CycleWithoutRetractModeLosesZ",
     {"G21 G90 G00 X0. Y0. Z20.", "G83 X5. Z-10. R1. Q2. F80."},
     "cycle why",
     {"G?", "G83 " + why("Z", Retract, 2)}},
    {"GroupOneCodeEndsTheCycle",
     {"G21 G90 G00 X0. Y0. Z20.", "G99 G81 X5. Z-1. R1. F50.", "G01 X6. F100."},
     "cycle motion xyz",
     {"G? G00 X0. Y0. Z20.", "G81 G00 X5. Y0. Z1.", "G80 G01 X6. Y0. Z1."}},
    {"ReferenceReturnAndMachineCoordinates",
     {"G21 G90 G00 X10. Y10. Z10.", "G91 G28 Z0.", "G90 G00 Z5.", "G28 X0 Y0", "G53 Z0.", "G90 X1. Y2."},
     "xyz why",
     {"X10. Y10. Z10.", "X10. Y10. Z? " + why("Z", Ref, 2), "X10. Y10. Z5.",
      "X? Y? Z5. " + why("X", Ref, 4) + " " + why("Y", Ref, 4),
      "X? Y? Z? " + why("X", Ref, 4) + " " + why("Y", Ref, 4) + " " + why("Z", G53Why, 5),
      "X1. Y2. Z? " + why("Z", G53Why, 5)}},
    {"MacroVariablesInAddresses",
     {"G21 G90 G00 X#100 Y5.", "G01 F#101", "#100=5", "X[#1+2.] Y6. F100.", "G#1 X1."},
     "xyz f motion why",
     {"X? Y5. Z? F? G00 " + why("X", MacroWhy, 1) + " " + why("Z", NotGiven, 0),
      "X? Y5. Z? F? G01 " + why("X", MacroWhy, 1) + " " + why("Z", NotGiven, 0),
      "X? Y5. Z? F? G01 " + why("X", MacroWhy, 1) + " " + why("Z", NotGiven, 0),
      "X? Y6. Z? F100. G01 " + why("X", MacroWhy, 4) + " " + why("Z", NotGiven, 0),
      "X? Y? Z? F100. G? " + why("X", MacroWhy, 5) + " " + why("Y", MacroWhy, 5) + " " +
          why("Z", MacroWhy, 5)}},
    {"ToolSpindleAndCoolant",
     {"T5 M06", "T6", "S1200 M03", "M08", "M07", "M09", "M05", "M06", "M06 T7"},
     "tool spindle cool",
     {"T5/T5 S?M? ?/?", "T6/T5 S?M? ?/?", "T6/T5 S1200M03 ?/?", "T6/T5 S1200M03 ?/M08",
      "T6/T5 S1200M03 M07/M08", "T6/T5 S1200M03 -/-", "T6/T5 S1200M05 -/-", "T6/T6 S1200M05 -/-",
      "T7/T7 S1200M05 -/-"}},
    {"ToolChangeWithoutToolIsUnknown", {"M06", "T3", "M06"}, "tool", {"T?/T?", "T3/T?", "T3/T3"}},
    {"OffsetsModesAndComments",
     {"G18 G95 G43 H5 G41 D12", "(G17 G94 G49)", "G49 G40 G17 G94 ; G18", "G01 F0.2 (F500.)"},
     "plane feedmode tlo ccomp f",
     {"G18 G95 G43H5 G41D12 F?", "G18 G95 G43H5 G41D12 F?", "G17 G94 G49H5 G40D12 F?",
      "G17 G94 G49H5 G40D12 F0.2"}},
};

INSTANTIATE_TEST_SUITE_P(Nc, ReaderTable, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.name); });

// What the control has in effect and the reader does not rebuild is kept
// with the line where it was met last; cancel codes take it away again.
TEST(NcReader, CarriesWhatItDoesNotRebuild) {
    NcReader reader(ReaderSettings{});
    Block block;
    const QList<QByteArray> lines = {"G68 X0 Y0 R30.", "M50", "G05.1 Q1", "/ G01 X1.", "U5.", "G69",
                                     "IF[#1GT2]GOTO5"};
    for (int i = 0; i < lines.size(); ++i)
        readBlock(reader, block, lines[i], {}, i, {});
    QStringList carried;
    for (const Carried& c : reader.state().carried)
        carried << QStringLiteral("%1:%2@%3").arg(int(c.kind)).arg(c.code).arg(c.line + 1);
    EXPECT_EQ(carried.join(' '), QStringLiteral("2:50@2 0:51@3 5:0@4 3:85@5 4:0@7"))
        << carried.join(' ').toStdString();
}

// Blocks as the send filter leaves them: comments, ";" and "'" end the
// words unless the option sends them; a program number is no move.
TEST(NcBlock, WordsOutsideCommentsAndSemicolons) {
    struct Row {
        QByteArray line;
        bool sendAfterComment;
        QByteArray words;
    };
    const Row rows[] = {
        {"G01 X1. (X2.) Y-3", false, "G1 X1 Y-3"},
        {"G01 X1. ; Y2.", false, "G1 X1"},
        {"G01 X1. ' Y2.", true, "G1 X1 ;"},
        {"N10 G0 X .5", false, "N10 G0 X0.5"},
        {":1234 (SUB)", false, "O1234"},
        {"G1 X#5 Y[#1+2]", false, "G1 X# Y#"},
        {"G1 x1.", false, "G1 ?"},
        {"/N20 G1", false, "/ N20 G1"},
        {"G1 X12345678901234. M99999999999", false, "G1 X? M?"},
    };
    for (const Row& r : rows) {
        Block b;
        parseBlock(r.line, BlockRules{r.sendAfterComment}, b);
        QList<QByteArray> out;
        if (b.blockDelete)
            out << "/";
        for (const Word& w : b.words)
            out << QByteArray(1, w.letter) + (w.macro     ? QByteArray("#")
                                              : w.missing ? QByteArray("?")
                                                          : QByteArray::number(w.value));
        if (b.textAfterSemicolon)
            out << ";";
        if (b.unreadable)
            out << "?";
        EXPECT_EQ(out.join(' ').toStdString(), r.words.toStdString()) << r.line.toStdString();
    }
}

} // namespace
