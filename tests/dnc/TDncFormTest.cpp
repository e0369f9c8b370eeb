#include "dnc/ui/TDncForm.h"

#include "support/TempHome.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tornyx;

namespace {

struct Form {
    test::TempHome home;
    QList<QByteArray> lines;
    QStringList entries;
    TDncForm form;
    Form() {
        form.setSource({[this] { return int(lines.size()); }, [this](int i) { return lines.at(i); },
                        [this] { return entries; }});
    }
    QStringList items() const {
        QStringList out;
        for (int i = 0; i < form.CheckListBox1->count(); ++i)
            out << form.CheckListBox1->item(i)->text() +
                       (form.CheckListBox1->item(i)->checkState() == Qt::Checked ? "+" : "-");
        return out;
    }
};

TEST(TDncForm, DataCheckAllFoundAndTwoCallsOfOneProgram) {
    Form f;
    f.lines = {"O1", "M98 P100", "M98 P100", "M30", "O100", "M99"};
    f.entries = {"00001-O1", "00005-O100"};
    f.form.Button3Click();
    EXPECT_EQ(f.items(), QStringList{"00002:M98P100+"});
    EXPECT_EQ(f.form.Label2->text(), QStringLiteral(u"すべて見つかりました｡"));
    EXPECT_FALSE(f.form.Button3->isEnabled());
}

TEST(TDncForm, DataCheckCountsTheMissing) {
    Form f;
    f.lines = {"O1", "M98 P100", "M98 P200", "M30"};
    f.form.Button3Click();
    EXPECT_EQ(f.items(), (QStringList{"00002:M98P100-", "00003:M98P200-"}));
    EXPECT_EQ(f.form.Label2->text(),
              QStringLiteral(u"2個のﾌﾟﾛｸﾞﾗﾑ番号が見つかりませんでした｡ﾌｧｲﾙを追加して下さい｡"));
    EXPECT_TRUE(f.form.Button3->isEnabled());
}

TEST(TDncForm, ChoiceGivesTheStartLine) {
    Form f;
    QTimer::singleShot(0, &f.form, [&] {
        f.form.ComboBox1->setCurrentIndex(1);
        f.form.Button1Click();
    });
    EXPECT_EQ(f.form.choose({"00001-O1", "00005-O100"}, QRect(0, 0, 800, 600)), 5);
    QStringList asked;
    f.form.askYesNo = [&](const QString& t) {
        asked << t;
        return true;
    };
    QTimer::singleShot(0, &f.form, [&] { f.form.Button1Click(); });
    EXPECT_EQ(f.form.choose({"00001-O1"}, QRect(0, 0, 800, 600)), 0) << "Yes: closed without a start program";
    EXPECT_EQ(asked, QStringList{QStringLiteral(
                         u"ｽﾀｰﾄﾌﾟﾛｸﾞﾗﾑ番号が選択されていません｡\nDNC送信を中止しますか「はい(Y)」")});
    QTimer::singleShot(0, &f.form, [&] { f.form.Button2->click(); });
    EXPECT_EQ(f.form.choose({"00001-O1"}, QRect(0, 0, 800, 600)), std::nullopt);
    EXPECT_EQ(TDncForm::placement(QRect(100, 20, 800, 300), 400), QPoint(300, 20)) << "not above the screen";
    EXPECT_EQ(TDncForm::placement(QRect(0, 20, 300, 300), 400), QPoint(0, 20));
    EXPECT_EQ(TDncForm::placement(QRect(100, 200, 800, 600), 400), QPoint(300, 315));
}

// "途中再開" and "送信ﾁｪｯｸ" work on a chosen start program only; the
// restart closes the dialog with it, the check leaves the dialog open.
TEST(TDncForm, RestartAndBudgetNeedAStartProgram) {
    Form f;
    QList<int> checked;
    f.form.budgetCheck = [&](int line) { checked << line; };
    QTimer::singleShot(0, &f.form, [&] {
        EXPECT_FALSE(f.form.Button5->isEnabled());
        EXPECT_FALSE(f.form.Button6->isEnabled());
        f.form.Button5Click(); // nothing chosen: stays open
        EXPECT_TRUE(f.form.isVisible());
        f.form.ComboBox1->setCurrentIndex(1);
        emit f.form.ComboBox1->activated(1);
        EXPECT_TRUE(f.form.Button6->isEnabled());
        f.form.Button6->click();
        EXPECT_TRUE(f.form.isVisible());
        f.form.Button5->click();
    });
    EXPECT_EQ(f.form.choose({"00001-O1", "00005-O100"}, QRect(0, 0, 800, 600)), 5);
    EXPECT_TRUE(f.form.restartRequested());
    EXPECT_EQ(checked, QList<int>{5});
    QTimer::singleShot(0, &f.form, [&] {
        f.form.ComboBox1->setCurrentIndex(0);
        f.form.Button1Click();
    });
    EXPECT_EQ(f.form.choose({"00001-O1", "00005-O100"}, QRect(0, 0, 800, 600)), 1);
    EXPECT_FALSE(f.form.restartRequested()) << "a plain start after a restart";
}

} // namespace
