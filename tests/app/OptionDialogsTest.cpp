#include "app/FileTypeList.h"
#include "app/OptionRows.h"
#include "app/Options.h"
#include "app/Prompts.h"
#include "app/ui/TOptionForm.h"
#include "app/ui/TUser.h"
#include "platform/IniFile.h"
#include "platform/TextCodec.h"
#include "support/FakePrompts.h"
#include "support/JapaneseText.h"
#include "support/QtPrinters.h"
#include "support/TempHome.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tornyx;
using test::FakePrompts;
using test::sj;
using test::TempHome;
using test::u;

namespace {

const QRect Anchor(100, 80, 626, 470);

// Runs what a person does while the modal dialog is up; the dialog is
// closed afterwards in any case, so a failed expectation cannot hang.
void whileOpen(QDialog& dialog, std::function<void()> act) {
    QTimer::singleShot(0, &dialog, [&dialog, act] {
        act();
        if (dialog.isVisible())
            dialog.done(QDialog::Rejected);
    });
}

struct OptionDialog : ::testing::Test {
    TempHome home;
    FakePrompts prompts;
    TOptionForm form{prompts, home.file("Tornyx.INI")};
    std::vector<OptionRowValues> applied;
    TOptionForm::Apply apply = [this](const OptionRowValues& v) { applied.push_back(v); };

    // Changes a value cell the way an operator does: the cell's editor,
    // then the keys.
    void type(int row, const QString& text) {
        form.ValueListEditor1->setCurrentCell(row, 1);
        QApplication::processEvents();
        QWidget* editor = form.ValueListEditor1->indexWidget(form.ValueListEditor1->currentIndex());
        ASSERT_TRUE(editor) << "row " << row;
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            QTest::keyClicks(box, text);
        } else {
            auto* line = qobject_cast<QLineEdit*>(editor);
            ASSERT_TRUE(line);
            line->selectAll();
            QTest::keyClicks(line, text);
        }
    }
};

} // namespace

TEST_F(OptionDialog, ShowsTheRowsWithDropDownsAndCentresOnTheWindow) {
    OptionRowValues values = optionRowValues(Options());
    whileOpen(form, [&] {
        EXPECT_EQ(form.windowTitle(), u(u"ｵﾌﾟｼｮﾝ設定"));
        auto* grid = form.ValueListEditor1;
        ASSERT_EQ(grid->rowCount(), 22);
        EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), u(u"設定項目"));
        EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), u(u"設定"));
        EXPECT_EQ(grid->columnWidth(0), 419);
        EXPECT_EQ(grid->columnWidth(1), 45);
        EXPECT_TRUE(grid->item(0, 0)->text().startsWith(u(u"(共通)ﾒｰﾄﾙ表示(N:ﾊﾞｲﾄ)")));
        EXPECT_TRUE(grid->item(21, 0)->text().startsWith(u(u"(編集)ﾀｲﾄﾙはﾌﾙﾊﾟｽ名で表示/Y:ﾌｧｲﾙ名のみ表示")));
        EXPECT_FALSE(grid->item(4, 0)->flags() & Qt::ItemIsEditable) << "the key column is fixed";
        EXPECT_EQ(grid->item(5, 1)->text(), "Y");
        EXPECT_EQ(grid->currentRow(), 0);
        EXPECT_EQ(grid->currentColumn(), 1);
        EXPECT_FALSE(form.Button1->isEnabled());
        auto* box = qobject_cast<QComboBox*>(grid->indexWidget(grid->currentIndex()));
        ASSERT_TRUE(box) << "row 0 is edited with a drop-down";
        EXPECT_FALSE(box->isEditable());
        EXPECT_EQ(box->count(), 2);
        EXPECT_EQ(box->itemText(0), "Y");
        EXPECT_EQ(box->itemText(1), "N");
        const QPoint offCentre = form.frameGeometry().center() - Anchor.center();
        EXPECT_LE(offCentre.manhattanLength(), 6) << "centred on the main window, give or take the frame";
        EXPECT_EQ(form.Button1->text(), u(u"変更"));
        EXPECT_EQ(form.Button2->text(), u(u"戻る"));
        form.Button2->click();
    });
    form.edit(Anchor, values, apply);
    EXPECT_TRUE(applied.empty());
    EXPECT_TRUE(prompts.boxes.empty()) << "nothing changed, nothing asked";
}

TEST_F(OptionDialog, CloseQuestionYesDropsTheChangesNoAppliesThem) {
    const OptionRowValues values = optionRowValues(Options());
    prompts.answers = {FakePrompts::Yes};
    whileOpen(form, [&] {
        type(0, "Y");
        EXPECT_TRUE(form.Button1->isEnabled());
        form.Button2->click();
    });
    form.edit(Anchor, values, apply);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].title, u(u"ｵﾌﾟｼｮﾝ設定"));
    EXPECT_EQ(prompts.boxes[0].text, u(u"ｵﾌﾟｼｮﾝ設定が変更されています｡\n保存せずに終了しますか？"));
    EXPECT_EQ(prompts.boxes[0].kind, FakePrompts::Information);
    EXPECT_EQ(prompts.boxes[0].buttons, FakePrompts::Yes | FakePrompts::No);
    EXPECT_TRUE(applied.empty()) << "Yes: leave without saving";

    prompts.boxes.clear();
    prompts.answers = {FakePrompts::No};
    whileOpen(form, [&] {
        EXPECT_EQ(form.ValueListEditor1->item(0, 1)->text(), "N")
            << "the dialog shows the values it is given";
        type(3, "com3");
        form.close(); // the close box asks the same
    });
    form.edit(Anchor, values, apply);
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0][3], "com3");
    EXPECT_EQ(applied[0][0], "N");
}

TEST_F(OptionDialog, ApplyHandsOverAllRowsAndOddValuesStayAsTheyAre) {
    OptionRowValues values = optionRowValues(Options());
    values[21] = "y"; // hand-edited: neither Y nor N
    whileOpen(form, [&] {
        EXPECT_EQ(form.ValueListEditor1->item(21, 1)->text(), "y");
        form.ValueListEditor1->setCurrentCell(21, 1);
        QApplication::processEvents();
        form.ValueListEditor1->setCurrentCell(20, 1); // opened and left without a pick
        QApplication::processEvents();
        EXPECT_EQ(form.ValueListEditor1->item(21, 1)->text(), "y");
        EXPECT_FALSE(form.Button1->isEnabled());
        type(5, "N");
        form.Button1->click();
        EXPECT_FALSE(form.Button1->isEnabled());
        form.Button2->click();
    });
    form.edit(Anchor, values, apply);
    ASSERT_EQ(applied.size(), 1u);
    OptionRowValues expected = values;
    expected[5] = "N";
    EXPECT_EQ(applied[0], expected);
    EXPECT_TRUE(prompts.boxes.empty()) << "applied, so nothing to ask";
}

TEST_F(OptionDialog, AppliedOptionsAndPositionGiveTheBytesOfAHandEdit) {
    const QByteArray original = "; kept\r\n[Setting]\r\nDC3(0X93)=Y\r\nUnknown=" + sj(u"未知") +
                                "\r\n[Options]\r\nop3=N\r\nop99=x\r\n";
    // What the main window writes at close, from the options it holds.
    auto closeWith = [&](const Options& options) {
        platform::IniFile ini(home.file("Tornyx.INI"));
        ini.load();
        options.save(ini);
        EXPECT_TRUE(ini.save());
        return home.read("Tornyx.INI");
    };
    auto loaded = [&] {
        platform::IniFile ini(home.file("Tornyx.INI"));
        ini.load();
        Options o;
        o.load(ini);
        return o;
    };
    home.write("Tornyx.INI", original);
    const QByteArray untouched = closeWith(loaded());

    home.write("Tornyx.INI", original);
    Options options = loaded();
    QPoint at;
    whileOpen(form, [&] {
        type(0, "Y");
        type(3, "COM3");
        type(5, "N");
        at = form.pos();
        form.Button1->click();
        form.Button2->click();
    });
    form.edit(Anchor, optionRowValues(options),
              [&](const OptionRowValues& v) { applyOptionRowValues(options, v); });
    const QByteArray written = closeWith(options);

    // The same file edited by hand: three values, and the dialog's position.
    QByteArray byHand = untouched;
    byHand.replace("op3=N\r\n", "op3=Y\r\n");
    byHand.replace("DC3(0X93)=Y\r\n", "DC3(0X93)=N\r\n");
    byHand.replace("ModemePort1=\r\n", "ModemePort1=COM3\r\n");
    byHand.insert(byHand.indexOf("[Recent File List]"), "[OptionPos]\r\nLeft=" + QByteArray::number(at.x()) +
                                                            "\r\nTop=" + QByteArray::number(at.y()) + "\r\n");
    ASSERT_NE(byHand, untouched);
    EXPECT_EQ(written, byHand);
}

// ---------------------------------------------------------------- TUser

namespace {
struct UserDialog : ::testing::Test {
    TempHome home;
    FakePrompts prompts;
    TUser form{prompts, home.file("Tornyx.INI")};
    UserFileTypes stored;
};
} // namespace

TEST_F(UserDialog, PatternNc2NamedCamBecomesEntryThree) {
    whileOpen(form, [&] {
        EXPECT_EQ(form.windowTitle(), u(u"ﾕｰｻﾞ定義"));
        EXPECT_FALSE(form.windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_EQ(form.LabeledEdit1->text(), u(u"ﾕｰｻﾞ1"));
        EXPECT_EQ(form.LabeledEdit2->text(), "*.*");
        const QStringList captions = {u(u"ﾕｰｻﾞ定義１(表示名)"), u(u"拡張子"), u(u"ﾕｰｻﾞ定義２(表示名)"),
                                      u(u"拡張子")};
        int i = 0;
        for (QLineEdit* e : {form.LabeledEdit1, form.LabeledEdit2, form.LabeledEdit3, form.LabeledEdit4}) {
            QLabel* label = nullptr;
            for (QLabel* l : form.findChildren<QLabel*>())
                if (l->buddy() == e)
                    label = l;
            ASSERT_TRUE(label);
            EXPECT_EQ(label->text(), captions[i++]);
        }
        form.LabeledEdit1->clear();
        QTest::keyClicks(form.LabeledEdit1, "CAM");
        form.LabeledEdit2->clear();
        QTest::keyClicks(form.LabeledEdit2, "nc2");
        QTest::keyClick(form.LabeledEdit2, Qt::Key_Return);
        EXPECT_EQ(form.LabeledEdit2->text(), "*.nc2") << "Enter completes the pattern";
        EXPECT_EQ(form.focusWidget(), form.Button1);
        QTest::keyClick(form.Button1, Qt::Key_Return); // a second Enter applies
    });
    form.edit(Anchor, stored);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(stored.name1, "CAM");
    EXPECT_EQ(stored.mask1, "*.nc2");
    EXPECT_TRUE(fileTypeListText(stored).contains("|CAM(*.nc2)|*.nc2|"));
}

TEST_F(UserDialog, EmptyFieldsTakeTheirDefaultsAndTypedPatternsAreCompleted) {
    whileOpen(form, [&] {
        form.LabeledEdit1->clear();
        form.LabeledEdit2->clear();
        form.LabeledEdit3->clear();
        form.LabeledEdit4->setText(".tap");
        QTest::keyClick(form.LabeledEdit2, Qt::Key_Return);
        EXPECT_NE(form.focusWidget(), form.Button1) << "Enter in an empty pattern does nothing";
        form.Button1->click();
    });
    form.edit(Anchor, stored);
    EXPECT_EQ(stored.name1, u(u"ﾕｰｻﾞ定義1"));
    EXPECT_EQ(stored.mask1, "*.*");
    EXPECT_EQ(stored.name2, u(u"ﾕｰｻﾞ定義2"));
    EXPECT_EQ(stored.mask2, "*.tap");
}

TEST_F(UserDialog, RefusedCharacterShowsTheBoxAndLeavesTheField) {
    whileOpen(form, [&] {
        form.LabeledEdit2->setText("*.nc");
        form.LabeledEdit2->setFocus();
        QTest::keyClick(form.LabeledEdit2, ':');
        QTest::keyClick(form.LabeledEdit2, '|');
        EXPECT_EQ(form.LabeledEdit2->text(), "*.nc");
        QTest::keyClick(form.LabeledEdit1, ':'); // a name may hold it
        EXPECT_TRUE(form.LabeledEdit1->text().endsWith(':'));
        form.LabeledEdit2->setFocus();
        form.LabeledEdit2->selectAll();
        form.LabeledEdit2->insert("a;b"); // pasted text is filtered too
        EXPECT_EQ(form.LabeledEdit2->text(), "*.nc");
        form.Button3->click();
    });
    form.edit(Anchor, stored);
    ASSERT_EQ(prompts.boxes.size(), 2u);
    EXPECT_EQ(prompts.boxes[0].kind, FakePrompts::Error);
    EXPECT_EQ(prompts.boxes[0].title, u(u"確認"));
    EXPECT_EQ(prompts.boxes[0].text, u(u"この文字は拡張子に使えません｡\n/:,;?<>|"));
    EXPECT_EQ(prompts.boxes[0].buttons, FakePrompts::Ok);
    EXPECT_EQ(stored.name1, u(u"ﾕｰｻﾞ1")) << "戻る keeps what was stored";
}

TEST_F(UserDialog, DiscardRestoresTheFieldsAndEveryWayOutWritesThePosition) {
    home.write("Tornyx.INI", "[Setting]\r\nUser1_Name=" + sj(u"既存") + "\r\n");
    QPoint at;
    whileOpen(form, [&] {
        form.LabeledEdit1->setText("X");
        at = form.pos();
        form.Button2->click();
    });
    form.edit(Anchor, stored);
    EXPECT_EQ(form.LabeledEdit1->text(), u(u"ﾕｰｻﾞ1"));
    EXPECT_EQ(stored.name1, u(u"ﾕｰｻﾞ1"));
    EXPECT_EQ(home.read("Tornyx.INI"), "[Setting]\r\nUser1_Name=" + sj(u"既存") +
                                           "\r\n[UserPos]\r\nLeft=" + QByteArray::number(at.x()) +
                                           "\r\nTop=" + QByteArray::number(at.y()) + "\r\n");

    whileOpen(form, [&] { QTest::keyClick(&form, Qt::Key_Escape); });
    form.edit(Anchor, stored);
    EXPECT_FALSE(form.isVisible()) << "Escape closes like 戻る";
}

// ---------------------------------------------------------------- the file dialogs

namespace {

// Plays the operator in Qt's file dialog: picks a file type (0: leaves it),
// types a name and accepts.
struct FileDialogHand {
    int pick = 0;
    QString name;
    QStringList shownTypes;
    QString typeAtOpen;
    QStringList listed;

    void arm() {
        QTimer::singleShot(0, [this] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_TRUE(d);
            auto* types = d->findChild<QComboBox*>("fileTypeCombo");
            auto* edit = d->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_TRUE(types && edit);
            for (int i = 0; i < types->count(); ++i)
                shownTypes << types->itemText(i);
            typeAtOpen = types->currentText();
            QTest::qWait(300); // the folder is read in the background
            if (auto* view = d->findChild<QListView*>("listView"))
                for (int r = 0; r < view->model()->rowCount(view->rootIndex()); ++r)
                    listed << view->model()->index(r, 0, view->rootIndex()).data().toString();
            if (pick > 0) { // with the arrow keys, which pick as a click does
                const bool first = pick == 1;
                types->setCurrentIndex(first ? 1 : pick - 2);
                QTest::keyClick(types, first ? Qt::Key_Up : Qt::Key_Down);
            }
            edit->setText(name);
            QTest::keyClick(edit, Qt::Key_Return);
        });
    }
};

struct FileDialogs : ::testing::Test {
    TempHome home;
    QtPrompts prompts;
    FileDialogHand hand;
    FileTypeChoice types;
};

} // namespace

TEST_F(FileDialogs, SaveAppendsTheExtensionOfTheEntryRememberedOrPicked) {
    types.index = 1;
    types.defaultExtension = "nc"; // entry 1 remembered at start
    hand.name = "PROG";
    hand.arm();
    EXPECT_EQ(prompts.saveFileName(nullptr, "S", home.path(), types), home.file("PROG.nc"));
    EXPECT_EQ(hand.shownTypes.size(), FileTypeCount);
    EXPECT_EQ(hand.shownTypes[0], u(u"NC文章(*.nc;*.nc1;*.nc0)")) << "the display text, without Qt's details";
    EXPECT_EQ(hand.shownTypes[6], u(u"拡張子無し"));
    EXPECT_EQ(hand.typeAtOpen, hand.shownTypes[0]);

    hand = {1, "PROG2"};
    hand.arm();
    EXPECT_EQ(prompts.saveFileName(nullptr, "S", home.path(), types), home.file("PROG2.NC"))
        << "entry 1 picked in the dialog";
    EXPECT_EQ(types.defaultExtension, "NC");

    types.user.mask1 = "*.nc2";
    hand = {3, "PROG3"};
    hand.arm();
    EXPECT_EQ(prompts.saveFileName(nullptr, "S", home.path(), types), home.file("PROG3.nc2"));
    EXPECT_EQ(types.index, 3);

    types.index = 7;
    types.defaultExtension = "";
    hand = {0, "PROG4"};
    hand.arm();
    EXPECT_EQ(prompts.saveFileName(nullptr, "S", home.path(), types), home.file("PROG4"));
    EXPECT_EQ(hand.typeAtOpen, u(u"拡張子無し"));
}

TEST_F(FileDialogs, OpenFindsPatternsInAnyLetterCaseAndKeepsTheEntryChosen) {
    home.write("prog.nc", "O1\r\n");
    home.write("PART.NC1", "O2\r\n");
    home.write("notes.txt", "x");
    types.index = 1;
    hand.name = "prog.nc";
    hand.arm();
    EXPECT_EQ(prompts.openFileName(nullptr, "O", home.path(), types), home.file("prog.nc"));
    hand.listed.sort();
    EXPECT_EQ(hand.listed, (QStringList{"PART.NC1", "prog.nc"}));

    hand = {2, "notes.txt"};
    hand.arm();
    EXPECT_EQ(prompts.openFileName(nullptr, "O", home.path(), types), home.file("notes.txt"));
    EXPECT_EQ(types.index, 2);
    EXPECT_EQ(types.defaultExtension, "") << "the open dialog leaves the save dialog's extension";
}
