// The edit commands, the breakpoint gutter, the jump to call targets and
// find and replace, through the real main window.
#include "app/TMainForm.h"
#include "editor/ui/FindDialogs.h"
#include "platform/TextCodec.h"
#include "status/TransferLog.h"
#include "support/EditorClicks.h"
#include "support/FakePrompts.h"
#include "support/JapaneseText.h"
#include "support/SafeServices.h"
#include "support/TempHome.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

using namespace tornyx;
using test::clickGutter;
using test::FakePrompts;
using test::TempHome;
using test::u;

namespace {

void key(QWidget* w, int k, const QString& text = QString(), Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, k, mods, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, k, mods, text);
    QApplication::sendEvent(w, &release);
}

void typeText(QWidget* w, const QString& s) {
    for (QChar c : s)
        key(w, c == '\n' ? int(Qt::Key_Return) : c.toUpper().unicode(),
            c == '\n' ? QString("\r") : QString(c));
}

// The main program calls the subprogram that starts on line 31.
QByteArray mainAndSub() {
    QByteArray t = "O0001(MAIN)\r\nN10 G00 X0\r\nN20 M98 P1000 L2\r\nN30 G65 P#100\r\nN45 M99 P50\r\n"
                   "N50 G00 X10.\r\nN60 GOTO 30\r\nN70 GOTO 40\r\nN80 M98 P3000\r\nM30\r\n";
    for (int i = 11; i <= 30; ++i)
        t += "N" + QByteArray::number(i * 10) + "\r\n";
    return t + "O1000(SUB)\r\nN10 G01 X1.\r\nN40 G00 X0\r\nM99\r\n";
}

struct EditWindow : ::testing::Test {
    TempHome home;
    FakePrompts prompts;
    test::SafeServices safe{home, &prompts};
    std::unique_ptr<TMainForm> form;
    NcEditor* e = nullptr;
    int beeps = 0;

    // The window with doc as its document, its program list made.
    void start(const QByteArray& doc) {
        home.write("PROG.NC", doc);
        form = std::make_unique<TMainForm>(QStringList{home.file("PROG.NC")}, safe.services);
        form->show();
        QApplication::processEvents();
        e = form->controls().RichEdit1;
        e->setBeep([this] { ++beeps; });
        form->BitBtn1Click();
        prompts.boxes.clear();
    }
    void caretTo(int line, int column) {
        e->setCursorPosition(line, column);
        key(e, Qt::Key_Shift); // a key the editor passes on, so that the window refreshes
    }
    QAction* popup(const char* name) const { return form->controls().PopupMenu1->findChild<QAction*>(name); }
    QString panel(int i) const { return form->controls().StatusBar1->text(i); }
    ~EditWindow() override {
        if (form) {
            form->setModified(false);
            form->close();
        }
    }
};

} // namespace

// ---------------------------------------------------------------- typing and the status display

TEST_F(EditWindow, TypingGivesUpperCaseAndTheStatusFollowsTheCaret) {
    start("O0001\r\nN10 G00\r\nN20 (\x82\xA0)\r\n");
    caretTo(2, 0);
    EXPECT_EQ(panel(1), "3 , 1");
    EXPECT_EQ(panel(2), "(004E)");
    caretTo(2, 5);
    EXPECT_EQ(panel(2), "(82A0)") << "the Shift-JIS code of the Japanese character";
    caretTo(1, 7);
    EXPECT_EQ(panel(2), "(000D)") << "the line end";
    typeText(e, " g01");
    EXPECT_EQ(e->lineText(1), "N10 G00 G01");
    EXPECT_EQ(panel(1), "2 , 12");
    EXPECT_EQ(panel(4), u(u"<変更>"));
    EXPECT_EQ(form->controls().Timer4->interval(), 1000) << "the list follows a second after the last key";

    form->setModified(false);
    form->open1Click();
    EXPECT_EQ(panel(1), "1 , 1");
    EXPECT_EQ(panel(2), "") << "an empty document has no character at the caret";
}

TEST_F(EditWindow, InsertKeyAndSelectAllShowTheirMode) {
    start("G01\r\n");
    EXPECT_EQ(panel(3), u(u"挿入"));
    EXPECT_EQ(e->SendScintilla(QsciScintillaBase::SCI_GETCARETSTYLE), QsciScintillaBase::CARETSTYLE_LINE);
    key(e, Qt::Key_Insert);
    EXPECT_EQ(panel(3), u(u"上書"));
    EXPECT_EQ(e->SendScintilla(QsciScintillaBase::SCI_GETCARETSTYLE), QsciScintillaBase::CARETSTYLE_BLOCK);
    typeText(e, "g");
    EXPECT_EQ(e->lineText(0), "G01") << "G over G";
    form->controls().EditAll->trigger();
    EXPECT_TRUE(e->hasSelectedText());
    EXPECT_EQ(panel(5), "") << "the mark belongs to insert mode";
    key(e, Qt::Key_Insert);
    EXPECT_EQ(panel(3), u(u"挿入"));
    form->controls().EditAll->trigger();
    EXPECT_EQ(panel(5), u(u"選択範囲"));
    EXPECT_EQ(panel(2), "") << "no character code while text is selected";
}

// ---------------------------------------------------------------- edit commands

TEST_F(EditWindow, CutCopyAndDeleteNeedASelection) {
    start("N10 G00\r\nN20 G01\r\n");
    const auto cutters = [this] {
        return std::vector<bool>{
            form->controls().EditCut->isEnabled(),        popup("EditCut_s")->isEnabled(),
            form->controls().EditCopy->isEnabled(),       popup("EditCopy_s")->isEnabled(),
            form->controls().EditDelete->isEnabled(),     popup("EditDelete_s")->isEnabled(),
            form->controls().SpeedButton[4]->isEnabled(), form->controls().SpeedButton[5]->isEnabled()};
    };
    emit form->controls().EditMenu->aboutToShow();
    EXPECT_EQ(cutters(), std::vector<bool>(8, false));
    EXPECT_FALSE(form->controls().EditUndo->isEnabled());
    EXPECT_FALSE(form->controls().SpeedButton[7]->isEnabled());
    EXPECT_TRUE(form->controls().EditPaste->isEnabled());

    key(e, Qt::Key_Right, QString(), Qt::ShiftModifier);
    key(e, Qt::Key_Right, QString(), Qt::ShiftModifier);
    EXPECT_EQ(cutters(), std::vector<bool>(8, true));
    EXPECT_EQ(panel(5), u(u"選択範囲"));
    form->controls().EditDelete->trigger();
    EXPECT_EQ(e->lineText(0), "0 G00");
    emit form->controls().PopupMenu1->aboutToShow();
    EXPECT_EQ(cutters(), std::vector<bool>(8, false));
    EXPECT_TRUE(popup("EditUndo_s")->isEnabled());
    form->controls().SpeedButton[7]->click();
    EXPECT_EQ(e->lineText(0), "N10 G00");
    EXPECT_FALSE(form->controls().SpeedButton[7]->isEnabled()) << "nothing left to undo";
}

TEST_F(EditWindow, DateAndTimeGoInAsAComment) {
    start("N10\r\n");
    caretTo(0, 3);
    const QLocale l = QLocale::system();
    const QString before = TransferLog::formatStamp(l, QDateTime::currentDateTime());
    form->controls().EditDateTime->trigger();
    const QString after = TransferLog::formatStamp(l, QDateTime::currentDateTime());
    const QString line = e->lineText(0);
    EXPECT_TRUE(line == "N10( " + before + " )" || line == "N10( " + after + " )") << line.toStdString();
    popup("EditDate_s")->trigger();
    EXPECT_TRUE(
        e->lineText(0).endsWith(" )( " + l.toString(QDate::currentDate(), QLocale::ShortFormat) + " )"))
        << e->lineText(0).toStdString();
}

TEST_F(EditWindow, ProgramUnderTheCaretIsSelected) {
    start("%\r\nO0001\r\nG00 X0\r\nM30\r\nO0002\r\nG01 X1.\r\nM30\r\n%");
    caretTo(5, 2);
    popup("FileNukidasi")->trigger();
    EXPECT_EQ(e->selectedText(), "O0002\nG01 X1.\nM30\n%") << "from its O line to the end of the text";
    EXPECT_EQ(panel(5), u(u"選択範囲"));
    EXPECT_TRUE(form->controls().EditCut->isEnabled());
    caretTo(0, 0);
    popup("FileNukidasi")->trigger();
    EXPECT_FALSE(e->hasSelectedText()) << "no program starts above the first line";
    EXPECT_EQ(beeps, 1);
}

// ---------------------------------------------------------------- breakpoint gutter

TEST_F(EditWindow, GutterClicksSetOneBreakpointAndNewClearsIt) {
    start("O0001\r\nN10 G00\r\n\r\nN20 G01\r\nM30\r\n");
    EXPECT_FALSE(form->controls().jump_bp->isEnabled());
    clickGutter(*e, 0);
    clickGutter(*e, 2);
    EXPECT_EQ(form->desk().document().breakpointLine, -1) << "not on the first line, not on an empty one";
    clickGutter(*e, 3);
    EXPECT_EQ(form->desk().document().breakpointLine, 4);
    EXPECT_TRUE(form->controls().jump_bp->isEnabled());
    clickGutter(*e, 1, 0);
    EXPECT_EQ(form->desk().document().breakpointLine, 4) << "one at a time";

    caretTo(0, 0);
    form->controls().jump_bp->trigger();
    EXPECT_EQ(e->caretLine(), 3);
    EXPECT_EQ(e->selectedText(), "N20 G01");
    EXPECT_EQ(panel(1), "4 , 8");

    clickGutter(*e, 3);
    EXPECT_EQ(form->desk().document().breakpointLine, -1) << "the second click clears it";
    EXPECT_FALSE(form->controls().jump_bp->isEnabled());

    clickGutter(*e, 4);
    home.write("OTHER.NC", "O2\r\nN1\r\n");
    form->openFileAsDocument(home.file("OTHER.NC"));
    EXPECT_EQ(form->desk().document().breakpointLine, -1) << "a load clears it";
    clickGutter(*e, 1);
    EXPECT_EQ(form->desk().document().breakpointLine, 2);
    form->open1Click();
    EXPECT_EQ(form->desk().document().breakpointLine, -1);
    EXPECT_FALSE(form->controls().jump_bp->isEnabled());
    EXPECT_EQ(e->markerFindNext(0, 1u << NcEditor::BreakpointMarker), -1);
}

// ---------------------------------------------------------------- jump

TEST_F(EditWindow, JumpFromACallToItsProgramThroughTheList) {
    start(mainAndSub());
    ASSERT_EQ(form->controls().ComboBox1->count(), 2);
    EXPECT_EQ(form->controls().ComboBox1->itemText(1), "00031-O1000(SUB)");
    caretTo(2, 0);
    form->controls().jump->trigger();
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_EQ(e->caretLine(), 30);
    EXPECT_EQ(e->selectedText(), "O1000(SUB)");
    EXPECT_EQ(e->firstVisibleLine(), 29) << "the second visible line";
    EXPECT_EQ(form->controls().ComboBox1->currentIndex(), 1);
    EXPECT_EQ(panel(6), "");
}

TEST_F(EditWindow, JumpFromAGotoToItsBlock) {
    start(mainAndSub());
    caretTo(6, 3);
    form->controls().jump->trigger();
    EXPECT_EQ(e->caretLine(), 3);
    EXPECT_EQ(e->selectedText(), "N30");
    EXPECT_TRUE(prompts.boxes.empty());

    caretTo(7, 0); // GOTO 40: only the subprogram has an N40
    form->controls().jump->trigger();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].kind, Prompts::Plain);
    EXPECT_EQ(prompts.boxes[0].text, u(u"同ﾌﾟﾛｸﾞﾗﾑ内のｼｰｹﾝｽ番号40 は\n検索出来ませんでした｡!!"));
    EXPECT_EQ(e->caretLine(), 7) << "a failed search leaves the caret";
}

TEST_F(EditWindow, JumpsThatCannotBeFollowedSayWhy) {
    start(mainAndSub());
    struct Case {
        int line;
        const char16_t* text;
        const char16_t* caption;
    };
    const Case cases[] = {{3, u"ﾏｸﾛ変数は検索出来ません｡", u"飛び先検索"},
                          {4, u"M99 P... は検索出来ません｡", u"飛び先検索"},
                          {5, u"GOTO文､M98文,G65文を選択してください｡", u"飛び先検索"},
                          {8, u"ﾒｲﾝﾌﾟﾛｸﾞﾗﾑが見当たりません！", u"ﾒｲﾝﾌﾟﾛｸﾞﾗﾑ検索"}};
    for (const Case& c : cases) {
        prompts.boxes.clear();
        caretTo(c.line, 0);
        form->controls().jump->trigger();
        ASSERT_EQ(prompts.boxes.size(), 1u) << c.line;
        EXPECT_EQ(prompts.boxes[0].kind, Prompts::Information);
        EXPECT_EQ(prompts.boxes[0].text, u(c.text));
        EXPECT_EQ(prompts.boxes[0].title, u(c.caption));
        EXPECT_EQ(e->caretLine(), c.line);
        EXPECT_EQ(panel(6), "");
    }
    prompts.boxes.clear();
    form->setModified(false);
    form->open1Click();
    form->controls().jump->trigger();
    EXPECT_TRUE(prompts.boxes.empty()) << "an empty document: nothing happens";
}

// ---------------------------------------------------------------- find

TEST_F(EditWindow, F3WithoutAFindTextDoesNothingAndTheToolbarAsksForOne) {
    start("G01 X1.\r\n");
    caretTo(0, 2);
    key(e, Qt::Key_F3);
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_FALSE(e->hasSelectedText());
    EXPECT_FALSE(form->controls().FindDialog1->isVisible());
    form->controls().SpeedButton[12]->click();
    EXPECT_TRUE(form->controls().FindDialog1->isVisible());
}

TEST_F(EditWindow, FindDownAndAgainWithF3) {
    start("N10 G01 X1.\r\nN20 G00\r\nN30 g01 Y1.\r\n");
    caretTo(0, 0);
    form->controls().FindDo->trigger();
    auto* text = form->controls().FindDialog1->findChild<QLineEdit*>("FindText");
    text->setText("g01");
    form->controls().FindDialog1->findChild<QPushButton*>("FindNextButton")->click();
    EXPECT_EQ(e->selectedText(), "G01");
    EXPECT_EQ(panel(1), "1 , 8");
    key(e, Qt::Key_F3);
    EXPECT_EQ(e->caretLine(), 2);
    EXPECT_EQ(e->selectedText(), "g01");
    form->controls().FindNext->trigger();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, u(u"検索文字列が見当たりません！"));
    EXPECT_EQ(prompts.boxes[0].title, u(u"編集"));
    EXPECT_EQ(e->selectedText(), "g01") << "nothing found: the selection stays";
}

TEST_F(EditWindow, FindUpFindsTheOneBeforeTheCaret) {
    start("O0001\r\nX1 Y1 X2\r\n");
    form->controls().FindDo->trigger();
    form->controls().FindDialog1->findChild<QLineEdit*>("FindText")->setText("x");
    form->controls().FindDialog1->findChild<QRadioButton*>("Up")->setChecked(true);
    caretTo(1, 5); // between Y1 and X2
    form->controls().FindNext->trigger();
    EXPECT_EQ(e->caretLine(), 1);
    EXPECT_EQ(e->selectedText(), "X");
    EXPECT_EQ(panel(1), "2 , 2");
    EXPECT_EQ(form->controls().ComboBox1->currentIndex(), 0);

    form->controls().FindDialog1->findChild<QLineEdit*>("FindText")->setText("x2");
    form->controls().FindNext->trigger();
    ASSERT_EQ(prompts.boxes.size(), 1u) << "the only X2 lies behind the caret";
    EXPECT_EQ(prompts.boxes[0].text, u(u"検索文字列が見当たりません！"));
}

TEST_F(EditWindow, DialogsTakeTheSelectionWithoutItsFirstLineBreak) {
    start("N10 G01\r\nN20 G00\r\nN30\r\n");
    e->setSelection(0, 4, 1, 3);
    form->controls().FindDo->trigger();
    EXPECT_EQ(form->controls().FindDialog1->findText(), "G01N20");
    e->setSelection(0, 4, 2, 3);
    form->controls().Replace->trigger();
    EXPECT_EQ(form->controls().ReplaceDialog1->findText(), "G01N20 G00\nN30");
}

// ---------------------------------------------------------------- replace

TEST_F(EditWindow, ReplaceAllInOnePassAndOneUndo) {
    start("X1X2\r\n");
    form->controls().Replace->trigger();
    form->controls().ReplaceDialog1->setFindText("x");
    form->controls().ReplaceDialog1->setReplaceText("y");
    form->controls().ReplaceDialog1->findChild<QPushButton*>("ReplaceAllButton")->click();
    EXPECT_EQ(e->lineText(0), "Y1Y2") << "the replacement goes in in upper case";
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, u(u"すべて置換しました｡"));
    EXPECT_EQ(prompts.boxes[0].title, u(u"すべて置換"));
    EXPECT_FALSE(form->controls().ReplaceDialog1->isVisible());
    EXPECT_EQ(e->caretLine(), 0);
    EXPECT_TRUE(form->controls().Timer4->isActive()) << "the program list follows the new text";

    form->controls().EditUndo->trigger();
    EXPECT_EQ(e->lineText(0), "X1X2");
    form->controls().ReplaceDialog1->setFindText("X");
    form->controls().ReplaceDialog1->setReplaceText("XX");
    emit form->controls().ReplaceDialog1->replaceAll();
    EXPECT_EQ(e->lineText(0), "XX1XX2") << "ends after one pass";

    prompts.boxes.clear();
    form->controls().ReplaceDialog1->setFindText("Q");
    emit form->controls().ReplaceDialog1->replaceAll();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, u(u"検索文字列が見当たりません！"));
    EXPECT_EQ(prompts.boxes[0].title, u(u"すべて置換"));
}

TEST_F(EditWindow, ReplaceTakesTheSelectedOccurrenceAndFindsTheNext) {
    start("g01 X1.\r\nG01 X2.\r\n");
    form->controls().Replace->trigger();
    form->controls().ReplaceDialog1->setFindText("G01");
    form->controls().ReplaceDialog1->setReplaceText("g02");
    emit form->controls().ReplaceDialog1->replace();
    EXPECT_EQ(e->lineText(0), "g01 X1.") << "nothing was selected yet: it only finds";
    EXPECT_EQ(e->selectedText(), "g01");
    emit form->controls().ReplaceDialog1->replace();
    EXPECT_EQ(e->lineText(0), "G02 X1.") << "the loaded lower case is an occurrence as well";
    EXPECT_EQ(e->caretLine(), 1);
    EXPECT_EQ(e->selectedText(), "G01");
    emit form->controls().ReplaceDialog1->replace();
    EXPECT_EQ(e->lineText(1), "G02 X2.");
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].title, u(u"置換"));
}

TEST_F(EditWindow, AReplacementShiftJisCannotHoldChangesNothing) {
    start("X1\r\n");
    form->controls().ReplaceDialog1->setFindText("X");
    form->controls().ReplaceDialog1->setReplaceText(u(u"\U0001F600"));
    emit form->controls().ReplaceDialog1->replaceAll();
    EXPECT_EQ(e->lineText(0), "X1");
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].kind, Prompts::Warning);
    EXPECT_FALSE(e->isModified());
    form->controls().ReplaceDialog1->setReplaceText(u(u"ｱ"));
    emit form->controls().ReplaceDialog1->replaceAll();
    EXPECT_EQ(e->lineText(0), u(u"ｱ1"));
}

// ---------------------------------------------------------------- F1 completion

TEST_F(EditWindow, F1CyclesThroughTheWordListAndBeepsAtItsEnd) {
    home.write("Tornyx.DEF", "GOTO\r\nWHILE\r\nWHEN\r\nWHERE\r\n\x82\r\nEND\r\n");
    start("");
    typeText(e, "#1=1 wh");
    key(e, Qt::Key_F1);
    EXPECT_EQ(e->lineText(0), "#1=1 WHILE");
    key(e, Qt::Key_F1);
    key(e, Qt::Key_F1);
    EXPECT_EQ(e->lineText(0), "#1=1 WHERE");
    EXPECT_EQ(beeps, 0);
    key(e, Qt::Key_F1);
    EXPECT_EQ(e->lineText(0), "#1=1 WH");
    EXPECT_EQ(beeps, 1);
    key(e, Qt::Key_F1);
    typeText(e, " ");
    EXPECT_EQ(e->lineText(0), "#1=1 WHILE ");
    key(e, Qt::Key_F1);
    EXPECT_EQ(beeps, 2) << "no letters before the caret";
}

TEST_F(EditWindow, ALargeWordListWorksAndTheOptionTurnsItOff) {
    QByteArray def;
    for (int i = 0; i < 100'000; ++i)
        def += "W" + QByteArray::number(i) + "\r\n";
    def += "ZETA\r\n\xFF\xFE\r\n";
    home.write("Tornyx.DEF", def);
    start("");
    EXPECT_EQ(form->completionList().size(), 100'002);
    typeText(e, "ze");
    key(e, Qt::Key_F1);
    EXPECT_EQ(e->lineText(0), "ZETA");

    form->desk().options().setOn(Opt::Completion, false);
    typeText(e, " ze");
    key(e, Qt::Key_F1);
    EXPECT_EQ(e->lineText(0), "ZETA ZE");
}
