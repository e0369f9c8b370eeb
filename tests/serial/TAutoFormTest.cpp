#include "serial/ui/TAutoForm.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using tornyx::TAutoForm;

namespace {

struct Form {
    TAutoForm form;
    int refusals = 0;
    Form() {
        form.setRefusalNotice([this] { ++refusals; });
        form.show();
        form.LabeledEdit1->setFocus();
    }
};

} // namespace

TEST(TAutoForm, KeyFilterTakesDigitsZeroToFiveAndDashUpToThree) {
    Form f;
    QTest::keyClicks(f.form.LabeledEdit1, "1-2");
    EXPECT_EQ(f.form.LabeledEdit1->text(), "1-2");
    EXPECT_EQ(f.refusals, 0);
    QTest::keyClick(f.form.LabeledEdit1, '3');
    EXPECT_EQ(f.form.LabeledEdit1->text(), "1-2") << "a fourth character is refused by the length";
    EXPECT_EQ(f.refusals, 0);
    QTest::keyClick(f.form.LabeledEdit1, Qt::Key_Backspace);
    EXPECT_EQ(f.form.LabeledEdit1->text(), "1-");
    QTest::keyClick(f.form.LabeledEdit1, '6');
    QTest::keyClick(f.form.LabeledEdit1, Qt::Key_A);
    QTest::keyClick(f.form.LabeledEdit1, ' ');
    EXPECT_EQ(f.form.LabeledEdit1->text(), "1-");
    EXPECT_EQ(f.refusals, 3);
}

TEST(TAutoForm, EnterMovesToOnWhenFilledAndIsRefusedWhenEmpty) {
    Form f;
    QTest::keyClick(f.form.LabeledEdit1, Qt::Key_Return);
    EXPECT_EQ(f.refusals, 1);
    EXPECT_TRUE(f.form.isVisible());
    QTest::keyClicks(f.form.LabeledEdit1, "3");
    QTest::keyClick(f.form.LabeledEdit1, Qt::Key_Return);
    EXPECT_EQ(f.refusals, 1);
    EXPECT_EQ(f.form.focusWidget(), f.form.Button1);
    EXPECT_TRUE(f.form.isVisible()) << "Enter only moves the focus";
    QTest::keyClick(f.form.Button1, Qt::Key_Return);
    EXPECT_EQ(f.form.result(), QDialog::Accepted) << "a second Enter presses ＯＮ";
    EXPECT_FALSE(f.form.isVisible());
}

TEST(TAutoForm, AskReturnsTheNumberOnOnAndNothingOnCancel) {
    TAutoForm form;
    EXPECT_EQ(form.windowTitle(), "自動切替");
    EXPECT_EQ(form.size(), QSize(210, 115));
    EXPECT_EQ(form.Button1->text(), "ＯＮ");
    EXPECT_EQ(form.Button2->text(), "ｷｬﾝｾﾙ");
    EXPECT_EQ(form.Label1->text(), "ﾂﾘｰ設定も可です。番号－番号");

    QTimer::singleShot(0, [&] {
        QTest::keyClicks(form.LabeledEdit1, "-1");
        form.Button1->click();
    });
    EXPECT_EQ(form.askSwitchNumber(QRect(100, 100, 550, 470)), std::optional<QString>("-1"));

    QTimer::singleShot(0, [&] {
        EXPECT_EQ(form.LabeledEdit1->text(), "") << "the field is empty each time";
        QTest::keyClicks(form.LabeledEdit1, "2");
        form.Button2->click();
    });
    EXPECT_EQ(form.askSwitchNumber(QRect(100, 100, 550, 470)), std::nullopt);
}

TEST(TAutoForm, CentresOnTheMainWindow) {
    EXPECT_EQ(TAutoForm::centredOn(QRect(10, 10, 550, 470), QSize(210, 115)),
              QPoint(10 + 275 - 105, 10 + 235 - 57));
    EXPECT_EQ(TAutoForm::centredOn(QRect(-200, -100, 100, 50), QSize(210, 115)), QPoint(-200, -100));
}
