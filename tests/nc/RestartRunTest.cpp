// Restarts through the transfer desk over the emulated line: the bytes of
// the head and of the program from the chosen block, at level 0 and inside
// a called program, for the send run and the DNC run; and the drip-feed
// warning of a DNC run whose line is slower than its moves.
#include "nc/RestartPlan.h"
#include "platform/TextCodec.h"

#include "nc/DeskRig.h"

#include <gtest/gtest.h>

using namespace tornyx;
using namespace tornyx::test;

namespace {

struct Rig : DeskRig {
    using DeskRig::DeskRig;
    // The restart as the dialog builds it: the scan, the operator's header,
    // the log lines.
    RunRestart plan(const QList<QByteArray>& lines, int line1, int pass, int startProgram,
                    const QStringList& header) {
        load(lines);
        NcText t(lines);
        nc::ScanSettings s;
        s.reader = desk.readerSettings(ctx.profile.send.dncSend == 1);
        s.flow.dnc = ctx.profile.send.dncSend == 1;
        s.flow.startLine = startProgram;
        s.flow.entries = desk.programs().entries();
        nc::RestartChoice c;
        c.line = line1 - 1;
        c.pass = pass;
        const nc::RestartPlan p = nc::planRestart(t.lines, s, {}, c);
        EXPECT_TRUE(p.ok) << p.message.toStdString();
        RunRestart r;
        r.line = line1;
        for (const QString& h : header)
            r.head.lines << platform::toSjis(h);
        r.head.log = nc::restartLogLines(p, header);
        if (s.flow.dnc)
            r.dnc = DncRestart{p.startLine, p.scan.start, r.head};
        return r;
    }
    std::string run(const RunRestart& r) {
        desk.restartPressed(r);
        return port.written().toStdString();
    }
    QString log(TransferLog::Kind kind) const {
        return platform::fromSjis(home.read(kind == TransferLog::Dnc ? "Tornyx_D.log" : "Tornyx_S.log"));
    }
};

struct RestartCase {
    const char* name;
    bool dnc;
    QList<QByteArray> lines;
    int line; // 1-based block
    int pass;
    const char* sent; // between the leading LF and the end code
    const char16_t* logLine;
};

class RestartRun : public ::testing::TestWithParam<RestartCase> {};

TEST_P(RestartRun, HeadThenTheProgramFromTheBlock) {
    const RestartCase& c = GetParam();
    Rig rig(c.dnc);
    const RunRestart r = rig.plan(c.lines, c.line, c.pass, 1, {"G21 G90", "G00 X2. Y0. (HEAD)"});
    EXPECT_EQ(rig.run(r), std::string("\nG21 G90\nG00 X2. Y0. (HEAD)\n") + c.sent + "\n%");
    EXPECT_TRUE(rig.desk.state().success);
    const QString log = rig.log(c.dnc ? TransferLog::Dnc : TransferLog::Send);
    EXPECT_TRUE(log.contains(QString::fromUtf16(c.logLine))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral(u"  再開ﾍｯﾀﾞｰ G00 X2. Y0. (HEAD)\r\n"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral(u"  ﾍｯﾀﾞｰ修正 追加 G21 G90\r\n"))) << log.toStdString();
}

const QList<QByteArray> Straight = {"O1", "G21 G90 G00 X0. Y0.", "G01 X1. F100.", "X2.", "X3.", "M30"};
const QList<QByteArray> Called = {"O1",   "G90 G00 X0.",       "M98 P100 L3", "X9.", "M30",
                                  "O100", "G91 G01 X1. F100.", "Y1.",         "M99"};

const RestartCase Cases[] = {
    {"SendRunAtLevelZero", false, Straight, 5, 1, "X3.\nM30\n", u"  途中再開 行5: X3.\r\n"},
    {"DncRunAtLevelZero", true, Straight, 4, 1, "X2.\nX3.\nM30\n", u"  途中再開 行4 ﾚﾍﾞﾙ0: X2.\r\n"},
    // The second of three passes: this one's rest, the third pass, the
    // return to the line after the call.
    {"DncRunInTheSecondPassOfACall", true, Called, 8, 2, "Y1.\nG91 G01 X1. F100.\nY1.\nX9.\nM30\n",
     u"  途中再開 行8 (2回目) ﾚﾍﾞﾙ1[L=2]: Y1.\r\n"},
    {"DncRunWithTheWordsOfTheCall",
     true,
     {"O1", "Y5. M98 P200", "M30", "O200", "X1.", "X2.", "M99"},
     5,
     1,
     "X1.Y5.\nX2.\nM30\n",
     u"  途中再開 行5 ﾚﾍﾞﾙ1: X1.\r\n"},
};

INSTANTIATE_TEST_SUITE_P(Nc, RestartRun, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Inside the call the run shows the level and the repeat count it continues
// with, and the set-up dialog is not asked again.
TEST(RestartRun, LevelShownAndTheDncSetUpDialogNotAsked) {
    Rig rig(true);
    const RunRestart r = rig.plan(Called, 8, 2, 1, {});
    rig.run(r);
    EXPECT_EQ(rig.win.dncAsks, 0);
    EXPECT_TRUE(rig.win.panel1History.contains(QStringLiteral(u"<< DNC運転ﾓｰﾄﾞ >> ﾚﾍﾞﾙ1[L=2]")));
    EXPECT_TRUE(rig.win.panel1History.contains(QStringLiteral(u"<< DNC運転ﾓｰﾄﾞ >> ﾚﾍﾞﾙ0")));
}

// A restart point the text no longer has stops the run before anything of
// the program goes out.
TEST(RestartRun, PointOutsideTheTextStops) {
    Rig rig(true);
    RunRestart r = rig.plan(Called, 8, 1, 1, {"G21"});
    r.dnc->point.returnLine[0] = 40;
    rig.run(r);
    EXPECT_FALSE(rig.desk.state().success);
    EXPECT_EQ(rig.port.written().toStdString().find("G21"), std::string::npos);
    EXPECT_TRUE(rig.desk.session().log().text().contains(QStringLiteral(u"  再開ﾌﾞﾛｯｸが見当たりません\n")));
}

// Moves of 0.5 mm at F3000 take 10 ms; at 4800 bit/s their 18 characters
// take 41 ms: the transfer bar says so while the run goes on, and the
// warning is gone when it has ended.
TEST(DripWatch, WarnsDuringASlowDripFeed) {
    Rig rig(true, 2);
    QList<QByteArray> lines = {"O1", "G21 G91 G94 G01 F3000."};
    for (int i = 0; i < 40; ++i)
        lines << "G01 X0.500 Y0.000";
    lines << "M30";
    rig.load(lines);
    rig.desk.sendPressed(false);
    const QStringList shown = rig.win.panelHistory[int(TransferPanel::Supply)];
    ASSERT_GE(shown.size(), 2) << shown.join('|').toStdString();
    EXPECT_TRUE(shown[shown.size() - 2].startsWith(QStringLiteral(u"ﾃﾞｰﾀ供給不足 行")))
        << shown.join('|').toStdString();
    EXPECT_TRUE(shown[shown.size() - 2].contains(QStringLiteral(u"必要100.0 > 送信")));
    EXPECT_EQ(shown.last(), QString());

    // The same moves at F300 keep up.
    Rig slow(true, 2);
    lines[1] = "G21 G91 G94 G01 F300.";
    slow.load(lines);
    slow.desk.sendPressed(false);
    for (const QString& t : slow.win.panelHistory[int(TransferPanel::Supply)])
        EXPECT_TRUE(t.isEmpty()) << t.toStdString();
}

} // namespace
