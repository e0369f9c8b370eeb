#include "nc/ui/TBudgetForm.h"
#include "nc/ui/TRestartForm.h"

#include "nc/NcTestText.h"
#include "support/TempHome.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tornyx;
using namespace tornyx::test;

namespace {

const QList<QByteArray> Program = {
    "O1 (MAIN)",                   // 1
    "G21 G17 G40 G49 G80 G90 G94", // 2
    "T5 M06",                      // 3
    "S1000 M03",                   // 4
    "G54 G00 X0. Y0.",             // 5
    "G43 H5 Z10. M08",             // 6
    "M98 P100 L3",                 // 7
    "G91 G28 Z0.",                 // 8
    "M30",                         // 9
    "O100 (STEP)",                 // 10
    "(ONE STEP)",                  // 11
    "G91 G01 X2. F200.",           // 12
    "G90",                         // 13
    "M99",                         // 14
};

struct Rig {
    TempHome home;
    NcText text{Program};
    TRestartForm form{nullptr, home.file("Tornyx.INI")};
    QStringList errors;
    TRestartForm::Source source;
    Rig() {
        form.errorBox = [this](const QString& t) { errors << t; };
        form.askYesNo = [](const QString&) { return true; };
        source.text = &text.text;
        source.headerTemplate = {"{units} {distance}", "{toolchange}",        "{spindle}",
                                 "G00 X{x} Y{y}",      "{lengthoffset} Z{z}", "{coolant}"};
        source.caretLine = 11;
    }
    // Runs choose() with the dialog driven from inside its event loop.
    std::optional<TRestartForm::Result> run(const std::function<void()>& inside) {
        QTimer::singleShot(0, &form, [&] {
            inside();
            if (form.isVisible())
                form.reject();
        });
        return form.choose(source, QRect(0, 0, 800, 600));
    }
};

// Restart in the second pass of a subprogram: the dialog names the block,
// shows the header with the position after the first pass and sends what
// the operator leaves in it.
TEST(TRestartForm, SecondPassOfASubprogramWithTheOperatorsEdit) {
    Rig r;
    const auto result = r.run([&] {
        EXPECT_EQ(r.form.Label2->text(), QStringLiteral(u"再開ﾌﾞﾛｯｸ: 行12 ﾚﾍﾞﾙ1[L=3]: G91 G01 X2. F200."));
        r.form.SpinEdit3->setValue(2);
        r.form.Button3Click();
        EXPECT_EQ(r.form.Label2->text(),
                  QStringLiteral(u"再開ﾌﾞﾛｯｸ: 行12 (2回目) ﾚﾍﾞﾙ1[L=2]: G91 G01 X2. F200."));
        EXPECT_EQ(r.form.Memo1->toPlainText(),
                  QStringLiteral("G21 G90\nT5 M06\nS1000 M03\nG00 X2. Y0.\nG43 H5 Z10.\nM08"));
        EXPECT_EQ(r.form.ListBox1->item(0)->text(), QStringLiteral(u"ありません"));
        r.form.Memo1->setPlainText("G21 G90\nT5 M06\nS900 M03\nG00 X2. Y0.\nG43 H5 Z10.\nM08");
        r.form.Button1->click();
    });
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->header.join('|'),
              QStringLiteral("G21 G90|T5 M06|S900 M03|G00 X2. Y0.|G43 H5 Z10.|M08"));
    EXPECT_EQ(result->plan.scan.start.count[1], 2);
    EXPECT_EQ(result->plan.scan.line, 11);
    EXPECT_TRUE(r.home.read("Tornyx.INI").contains("[RestartPos]"));
}

// A comment line, a block the run never reaches and a text found only in
// comments give their reason; nothing is left to send.
TEST(TRestartForm, NoRestartFromBadChoices) {
    Rig r;
    const auto result = r.run([&] {
        r.form.SpinEdit1->setValue(11);
        r.form.Button3Click();
        EXPECT_EQ(r.form.Label2->text(),
                  QStringLiteral(u"行11 は注釈(又は空)の行です｡指令のあるﾌﾞﾛｯｸを選んで下さい｡"));
        EXPECT_FALSE(r.form.Button1->isEnabled());
        EXPECT_TRUE(r.form.Memo1->toPlainText().isEmpty());

        r.form.SpinEdit1->setValue(12);
        r.form.SpinEdit3->setValue(4);
        r.form.Button3Click();
        EXPECT_EQ(r.form.Label2->text(), QStringLiteral(u"行12 は 3回しか送信されません｡"));

        r.form.SpinEdit3->setValue(1);
        r.form.Edit2->setText("STEP");
        r.form.RadioButton3->setChecked(true);
        r.form.Button3Click();
        EXPECT_EQ(r.form.Label2->text(), QStringLiteral(u"検索文字列 STEP が注釈の外に見つかりません｡"));
        r.form.Button1Click(); // disabled, and a click through the code sends nothing either
    });
    EXPECT_FALSE(result.has_value());
}

// A placeholder left in the header is not sent.
TEST(TRestartForm, LeftoverPlaceholderStaysHome) {
    Rig r;
    r.source.caretLine = 4;
    bool stillOpen = false;
    r.run([&] {
        r.form.Memo1->setPlainText("G00 X{x}");
        r.form.Button1->click();
        stillOpen = r.form.isVisible();
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(r.errors,
              QStringList{QStringLiteral(u"ﾍｯﾀﾞｰの 1行目に { } が残っています｡\n値を書き込んで下さい｡")});
}

// The budget dialog over 0.5 mm moves at F3000 and 9600 bit/s.
TEST(TBudgetForm, ShowsTheStarvingRegionAndTheFilters) {
    TempHome home;
    QList<QByteArray> lines = {"O1", "G21 G91 G94 G01 F3000."};
    for (int i = 0; i < 200; ++i)
        lines << "N" + QByteArray::number(10 * i) + " X0.500 Y0.000";
    lines << "M30";
    NcText t(lines);
    CommProfile p = defaultProfile(1);
    p.send.speed = 3;
    TBudgetForm form(nullptr, home.file("Tornyx.INI"));
    int shown = -1;
    form.showLine = [&](int line) { shown = line; };
    ASSERT_TRUE(form.estimate(
        t.text, nc::budgetSettingsFor(p, nc::readerSettingsFor(nc::RestartSettings{}, false, true), false,
                                      nc::FlowOptions{})));
    EXPECT_EQ(form.Label1->text(), QStringLiteral(u"通信: 9600bps 8N2 (872.7文字/秒)"));
    EXPECT_TRUE(form.Label2->text().contains(QStringLiteral(u"送信が実行より遅いﾌﾞﾛｯｸ 100.0%")));
    EXPECT_TRUE(form.Label2->text().contains(QStringLiteral(u"ﾃﾞｰﾀの供給が間に合わない所があります")));
    ASSERT_EQ(form.Grid1->rowCount(), 1);
    EXPECT_EQ(form.Grid1->item(0, 0)->text(), QStringLiteral("3-202"));
    EXPECT_EQ(form.Grid1->item(0, 3)->text(), QStringLiteral("F3000"));
    EXPECT_EQ(form.Grid1->item(0, 4)->text(), QStringLiteral("0.500"));
    emit form.Grid1->cellDoubleClicked(0, 0);
    EXPECT_EQ(shown, 2);
    ASSERT_EQ(form.Grid2->rowCount(), 5);
    EXPECT_EQ(form.Grid2->item(1, 0)->text(), QStringLiteral(u"ｼｰｹﾝｽ番号を送信しない"));
    EXPECT_EQ(form.Grid2->item(3, 4)->text(), QStringLiteral(u"設定済み"));
}

} // namespace
