#include "nc/RestartHeader.h"
#include "nc/RestartPlan.h"
#include "nc/RestartScan.h"

#include "platform/IniFile.h"

#include "nc/NcTestText.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

using namespace tornyx;
using namespace tornyx::nc;
using namespace tornyx::test;

namespace {

NcState stateBefore(const QList<QByteArray>& lines, int line1) {
    NcText t(lines);
    ScanSettings s;
    const RestartScan r = scanToBlock(t.lines, s, line1 - 1, 1);
    EXPECT_EQ(r.status, RestartScan::Ok);
    return r.state;
}

QStringList notesOf(const RenderedHeader& h) {
    QStringList out;
    for (const RestartNote& n : h.notes)
        out << n.text;
    return out;
}

const QList<QByteArray> Milling = {
    "O1",
    "G21 G17 G40 G49 G80 G90 G94",
    "T5 M06",
    "T6",
    "G54.1 P2",
    "S1200 M03",
    "G00 X10. Y20.",
    "G43 H5 Z50.",
    "M08",
    "G01 Z-2. F150.",
    "G91 X5. Y5. F300.",
    "X1.", // restart here
    "M30",
};

// The default template over a full state: every line filled, in order.
TEST(RestartHeader, DefaultTemplateRebuildsTheState) {
    test::TempHome home;
    const RenderedHeader h = renderHeader(defaultHeaderTemplate(), stateBefore(Milling, 12));
    EXPECT_EQ(h.lines.join('|'),
              QStringLiteral("G40 G49 G80|G21|G91 G28 Z0.|G90|T5 M06|T6|G54.1 P2 G17 G94|"
                             "S1200 M03|G00 X15. Y25.|G43 H5 G00 Z3.|M08|G01 Z-2. F300.|G91 G01"));
    EXPECT_TRUE(h.notes.isEmpty()) << notesOf(h).join('\n').toStdString();
}

// What the reader cannot know leaves its line out and is named with the
// block that caused it.
TEST(RestartHeader, UnknownPositionAfterAReferenceReturnIsNamed) {
    QList<QByteArray> lines = {"O1",       "G21 G90 G94 G17 G54", "T1 M06",
                               "S500 M03", "G00 X0. Y0.",         "G43 H1 Z5."};
    while (lines.size() < 811)
        lines << "G01 X1. F100.";
    lines << "G91 G28 Z0."
          << "G90 G01 X2."
          << "M30";
    const NcState s = stateBefore(lines, 813);
    const RenderedHeader h =
        renderHeader(defaultHeaderTemplate(), s, [&](int l) { return QString::fromLatin1(lines[l]); });
    EXPECT_EQ(
        h.lines.join('|'),
        QStringLiteral("G40 G49 G80|G21|G91 G28 Z0.|G90|T1 M06|G54 G17 G94|S500 M03|G00 X1. Y0.|G91 G01"));
    const QStringList notes = notesOf(h);
    EXPECT_TRUE(notes.contains(
        QStringLiteral(u"Z位置: 原点復帰の後は位置が不明です｡ﾍｯﾀﾞｰの行を外しました (行812: G91 G28 Z0.)")))
        << notes.join('\n').toStdString();
    EXPECT_TRUE(
        notes.contains(QStringLiteral(u"ｸｰﾗﾝﾄ(M07-M09): ﾌﾟﾛｸﾞﾗﾑ中に指令がありません｡ﾍｯﾀﾞｰの行を外しました")))
        << notes.join('\n').toStdString();
}

// Without X and Y the tool does not come down: the approach lines need
// them, so they go with the move over the point.
TEST(RestartHeader, NoApproachOverAnUnknownPoint) {
    const NcState s = stateBefore({"O1", "G21 G90 G94 G17 G54", "T1 M06", "S500 M03", "G00 X5. Y5.",
                                   "G43 H1 Z5.", "G01 Z-1. F100.", "G91 G30 X0 Y0", "G90 G01 X2.", "M30"},
                                  9);
    const RenderedHeader h = renderHeader(defaultHeaderTemplate(), s);
    EXPECT_EQ(h.lines.join('|'),
              QStringLiteral("G40 G49 G80|G21|G91 G28 Z0.|G90|T1 M06|G54 G17 G94|S500 M03|G91 G01"));
    EXPECT_EQ(notesOf(h).first(),
              QStringLiteral(u"X位置: 原点復帰の後は位置が不明です｡ﾍｯﾀﾞｰの行を外しました (行8)"));
}

// Placeholders of a shop's own template, and what stays out of the header.
TEST(RestartHeader, ShopTemplatePlaceholders) {
    const QList<QByteArray> lines = {"O1",  "G20 G90 G18 G95 G00 X1. Z2.", "G42 D7", "T0101",          "M07",
                                     "M08", "G99 G81 Z-.5 R.1 F.004",      "X1.25",  "G68 X0 Z0 R45.", "X1.5",
                                     "M30"};
    const NcState s = stateBefore(lines, 10);
    const QStringList tmpl = {"(RESTART)", "T{t}",       "{cutcomp}", "{cycle} K0", "G00 X{x+0.1} Z{z-0.05}",
                              "{coolant}", "{nexttool}", "{spindle}", "{bogus}",    "F{f+}"};
    const RenderedHeader h = renderHeader(tmpl, s);
    EXPECT_EQ(
        h.lines.join('|'),
        QStringLiteral("(RESTART)|T0101|G42 D7|G99 G81 Z-.5 R.1 F.004 K0|G00 X1.35 Z0.05|M07|M08|T0101"));
    const QStringList notes = notesOf(h);
    EXPECT_TRUE(notes.contains(QStringLiteral(u"ﾃﾝﾌﾟﾚｰﾄの {bogus} は使えません")))
        << notes.join('\n').toStdString();
    EXPECT_TRUE(notes.contains(QStringLiteral(u"ﾃﾝﾌﾟﾚｰﾄの {f+} は使えません")))
        << notes.join('\n').toStdString();
    EXPECT_TRUE(notes.contains(
        QStringLiteral(u"主軸(S/M03-M05): ﾌﾟﾛｸﾞﾗﾑ中に指令がありません｡ﾍｯﾀﾞｰの行を外しました")));
    EXPECT_TRUE(notes.contains(QStringLiteral(u"G68 が有効です｡ﾍｯﾀﾞｰに入っていません (行9)")));
}

// A cycle or cutter compensation in effect that the template does not
// rebuild is named, never dropped silently.
TEST(RestartHeader, CycleAndCompensationOutsideTheTemplate) {
    const NcState s = stateBefore(
        {"O1", "G21 G90 G00 X0. Y0. Z10.", "G41 D3 G01 X1. F100.", "G98 G83 X2. Z-5. R1. Q1.", "X3.", "M30"},
        5);
    const QStringList notes = notesOf(renderHeader({"G00 X{x} Y{y}"}, s));
    EXPECT_EQ(notes, (QStringList{QStringLiteral(u"固定ｻｲｸﾙ G83 が有効です｡ﾍｯﾀﾞｰに入っていません (行4)"),
                                  QStringLiteral(u"工具径補正 G41 が有効です｡ﾍｯﾀﾞｰに入っていません (行3)")}));
}

TEST(RestartHeader, NumbersKeepTheirDecimalPoint) {
    struct Row {
        double v;
        bool inch;
        const char* text;
    };
    const Row rows[] = {{10, false, "10."},         {12.5, false, "12.5"},     {-0.0001, false, "0."},
                        {-0.0625, true, "-0.0625"}, {0.33333, false, "0.333"}, {-3, false, "-3."}};
    for (const Row& r : rows)
        EXPECT_EQ(formatNumber(r.v, r.inch).toStdString(), r.text) << r.v;
}

// The template is kept per profile in Setting.ini; a profile without it has
// the default, and the other keys of the file stay as they were.
TEST(RestartSettings, StoredPerProfile) {
    TempHome home;
    home.write("Setting.ini", "[Send3]\r\nSpeed=3\r\n");
    platform::IniFile ini(home.file("Setting.ini"));
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(loadRestartSettings(ini, 3).header, defaultHeaderTemplate());
    RestartSettings mine;
    mine.header = {QStringLiteral(u"G53 Z0. (ｸﾘｱ)"), "{units} {distance}"};
    mine.rapidRate = 24000;
    mine.wholeUnits = true;
    saveRestartSettings(ini, 3, mine);
    QString error;
    ASSERT_TRUE(ini.save(&error)) << error.toStdString();

    platform::IniFile again(home.file("Setting.ini"));
    ASSERT_TRUE(again.load());
    const RestartSettings read = loadRestartSettings(again, 3);
    EXPECT_EQ(read.header, mine.header);
    EXPECT_EQ(read.rapidRate, 24000);
    EXPECT_TRUE(read.wholeUnits);
    EXPECT_EQ(loadRestartSettings(again, 4).header, defaultHeaderTemplate());
    EXPECT_EQ(again.readInteger("Send3", "Speed", 0), 3);
    EXPECT_TRUE(home.read("Setting.ini").contains("Header1=G53 Z0. (\xb8\xd8\xb1)\r\n"));
}

// The log keeps the block, each header line sent and the operator's edits.
TEST(RestartLog, BlockHeaderAndEdits) {
    nc::RestartPlan plan;
    plan.summary = QStringLiteral(u"行12 (2回目) ﾚﾍﾞﾙ1[L=2]: X1.");
    plan.header.lines = {"G21", "S1200 M03", "G00 X1. Y2.", "M08"};
    EXPECT_EQ(
        restartLogLines(plan, {"G21", "S900 M03", "G00 X1. Y2.", "M08", "M01"}),
        (QStringList{QStringLiteral(u"  途中再開 行12 (2回目) ﾚﾍﾞﾙ1[L=2]: X1.\n"),
                     QStringLiteral(u"  再開ﾍｯﾀﾞｰ G21\n"), QStringLiteral(u"  再開ﾍｯﾀﾞｰ S900 M03\n"),
                     QStringLiteral(u"  再開ﾍｯﾀﾞｰ G00 X1. Y2.\n"), QStringLiteral(u"  再開ﾍｯﾀﾞｰ M08\n"),
                     QStringLiteral(u"  再開ﾍｯﾀﾞｰ M01\n"), QStringLiteral(u"  ﾍｯﾀﾞｰ修正 追加 S900 M03\n"),
                     QStringLiteral(u"  ﾍｯﾀﾞｰ修正 削除 S1200 M03\n"),
                     QStringLiteral(u"  ﾍｯﾀﾞｰ修正 追加 M01\n")}));
    EXPECT_EQ(restartLogLines(plan, plan.header.lines).last(), QStringLiteral(u"  ﾍｯﾀﾞｰ修正なし\n"));
}

} // namespace
