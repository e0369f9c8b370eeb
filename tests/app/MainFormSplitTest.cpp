// Split save and the selection before a send, from the real main window:
// menu, dialog, files in a temporary folder, the window's state afterwards.
#include "app/TMainForm.h"
#include "platform/TextCodec.h"
#include "receive/ui/TReadForm.h"
#include "support/FakePrompts.h"
#include "support/JapaneseText.h"
#include "support/QtPrinters.h"
#include "support/SafeServices.h"
#include "support/TempHome.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

using namespace tornyx;
using test::FakePrompts;
using test::TempHome;
using test::u;

namespace {

struct MainFormSplit : ::testing::Test {
    TempHome home;
    FakePrompts prompts;
    test::SafeServices safe{home, &prompts};
    std::unique_ptr<TMainForm> form;
    TReadForm* dlg = nullptr;
    QString folder = home.file("split");

    void start(const QByteArray& document, const QByteArray& ini = {}) {
        QDir().mkpath(folder);
        home.write("P.NC", document);
        if (!ini.isEmpty())
            home.write("Tornyx.INI", ini);
        form = std::make_unique<TMainForm>(QStringList{home.file("P.NC")}, safe.services);
        form->show();
        // The file named on the command line is loaded at the first idle moment.
        ASSERT_TRUE(safe.settle(
            [this] { return form->firstIdleDone() && form->controls().RichEdit1->length() > 0; }));
        dlg = form->findChild<TReadForm*>();
        ASSERT_NE(dlg, nullptr);
        prompts.boxes.clear();
    }
    QString editorText() const { return form->controls().RichEdit1->text(); }
    QStringList files() const { return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    QByteArray read(const QString& name) const {
        QFile f(folder + '/' + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QStringList listed() const {
        QStringList out;
        for (int i = 0; i < dlg->CheckListBox1->count(); ++i)
            out << dlg->CheckListBox1->item(i)->text();
        return out;
    }
    void splitInto(const QString& where) {
        prompts.fileNames.push_back(where);
        QTest::mouseClick(dlg->Button1, Qt::LeftButton);
    }
    ~MainFormSplit() override {
        if (form) {
            form->setModified(false);
            form->close();
        }
    }
};

} // namespace

TEST_F(MainFormSplit, TheMenuSplitsTheTapeIntoOneFilePerProgram) {
    start("%\r\nO1 (A)\r\nG00\r\nO2\r\nG01\r\n%\r\n", "[Sub]\r\nF_Set=1\r\nB_Set=1\r\n");
    // At once after the load: the list is built for the dialog.
    form->controls().opSave->trigger();
    ASSERT_TRUE(dlg->isVisible());
    EXPECT_EQ(listed(), (QStringList{"00002-O1 (A)", "00004-O2"}));
    EXPECT_FALSE(form->isEnabled());
    EXPECT_TRUE(dlg->isEnabled());

    splitInto(folder);
    EXPECT_EQ(prompts.fileDialogTitles, QStringList{u(u"現ﾃﾞｨﾚｸﾄﾘ C:")});
    EXPECT_EQ(files(), (QStringList{"O1 .NC", "O2.NC"}));
    EXPECT_EQ(read("O1 .NC"), "%\r\nO1 (A)\r\nG00\r\n%\r\n");
    EXPECT_EQ(read("O2.NC"), "%\r\nO2\r\nG01\r\n%\r\n");
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(form->windowTitle(), u(u"<編集>") + home.file("P.NC") + " - Tornyx" + form->versionText());

    // The folder is kept in "Sub" through the window's own close.
    form->close();
    EXPECT_TRUE(platform::fromSjis(home.read("Tornyx.INI")).contains("DirPath=" + folder + "\r\n"));
}

TEST_F(MainFormSplit, TheEditorTextStaysAsItIs) {
    start("O1\r\n  G00 X1\r\n\tM30\r\n");
    form->controls().opSave->trigger();
    splitInto(folder);
    EXPECT_EQ(read("O1.NC"), "O1\r\nG00 X1\r\nM30\r\n");
    EXPECT_EQ(editorText(), "O1\n  G00 X1\n\tM30\n") << "the blanks are trimmed in the file only";
    EXPECT_FALSE(form->isModified()) << "the document still matches its file";
}

TEST_F(MainFormSplit, AModifiedDocumentKeepsItsMark) {
    start("O1\r\nG00\r\n");
    form->setModified(true);
    const QString title = form->windowTitle();
    form->controls().opSave->trigger();
    splitInto(folder);
    EXPECT_EQ(files(), QStringList{"O1.NC"});
    EXPECT_TRUE(form->isModified());
    EXPECT_EQ(form->windowTitle(), title);
}

TEST_F(MainFormSplit, UntickedProgramsAndRepeatedNumbers) {
    start("O1\r\nFIRST\r\nO1\r\nSECOND\r\nO2\r\nBAD\r\n");
    QFile good(folder + "/O2.NC");
    ASSERT_TRUE(good.open(QIODevice::WriteOnly));
    good.write("O2(GOOD)\r\n");
    good.close();
    form->controls().opSave->trigger();
    ASSERT_EQ(listed().size(), 3);
    dlg->CheckListBox1->item(2)->setCheckState(Qt::Unchecked);
    splitInto(folder);
    EXPECT_EQ(files(), (QStringList{"O1.NC", "O1_002.NC", "O2.NC"}));
    EXPECT_EQ(read("O1.NC"), "O1\r\nFIRST\r\n");
    EXPECT_EQ(read("O1_002.NC"), "O1\r\nSECOND\r\n");
    EXPECT_EQ(read("O2.NC"), "O2(GOOD)\r\n") << "the unticked program's earlier file is left alone";
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].kind, Prompts::Information);
    EXPECT_TRUE(prompts.boxes[0].text.contains(u(u"00003行 O1.NC → O1_002.NC")));
}

TEST_F(MainFormSplit, AnEditSinceTheLastListIsSeenByTheDialog) {
    start("O1\r\nA\r\nO2\r\nB\r\n");
    form->Timer4Timer();
    form->desk().options().autoIndexOff = true; // the edit leaves the list as it was
    QsciScintilla* editor = form->controls().RichEdit1;
    editor->setCursorPosition(0, 0);
    editor->insert("N5\n"); // every program moves one line down
    form->controls().opSave->trigger();
    EXPECT_EQ(listed(), (QStringList{"00002-O1", "00004-O2"}));
    dlg->CheckListBox1->item(1)->setCheckState(Qt::Unchecked);
    splitInto(folder);
    EXPECT_EQ(files(), QStringList{"O1.NC"}) << "the unticked O2 is known by its line as it is now";
}

TEST_F(MainFormSplit, AFileThatCannotBeWrittenStopsTheSplitWithItsName) {
    start("O1\r\nA\r\nO2\r\nB\r\n");
    QDir().mkpath(folder + "/O2.NC"); // a folder where the file must go
    form->controls().opSave->trigger();
    splitInto(folder);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].kind, Prompts::Error);
    EXPECT_TRUE(prompts.boxes[0].text.startsWith(folder + u(u"/O2.NC\nに保存できませんでした｡")))
        << prompts.boxes[0].text.toStdString();
    EXPECT_EQ(read("O1.NC"), "O1\r\nA\r\n");
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_FALSE(form->isEnabled());
    QTest::mouseClick(dlg->Button2, Qt::LeftButton);
    EXPECT_TRUE(form->isEnabled());
}

TEST_F(MainFormSplit, SendWithTheSelectionOptionOpensTheDialog) {
    start("O1\r\nA\r\nO2\r\nB\r\nO3\r\nC\r\n", "[Options]\r\nop1=Y\r\n");
    form->Timer4Timer();
    form->controls().SpeedButton[10]->click();
    ASSERT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->windowTitle(), u(u"選択送信"));
    EXPECT_EQ(dlg->Label1->text(), u(u"ﾁｪｯｸが外れたﾃﾞｰﾀは送信されません"));
    EXPECT_EQ(listed(), (QStringList{"O1", "O2", "O3"}));
    EXPECT_FALSE(form->isEnabled());

    // "中止": the window is back to editing two seconds later, not before.
    const std::int64_t t0 = safe.clock.nowUs();
    QTest::mouseClick(dlg->Button6, Qt::LeftButton);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(form->isEnabled());
    EXPECT_FALSE(form->controls().SpeedButton[10]->isEnabled());
    safe.clock.advanceTo(t0 + 1'900'000);
    form->desk().onTimer();
    EXPECT_FALSE(form->controls().SpeedButton[10]->isEnabled());
    safe.clock.advanceTo(t0 + 2'000'000);
    form->desk().onTimer();
    EXPECT_TRUE(form->controls().SpeedButton[10]->isEnabled());
    EXPECT_FALSE(form->controls().RichEdit1->isReadOnly());
}

TEST_F(MainFormSplit, ClosingTheSelectionAnyOtherWayGivesTheWindowBackToo) {
    start("O1\r\nA\r\n", "[Options]\r\nop1=Y\r\n");
    form->controls().SpeedButton[10]->click();
    ASSERT_TRUE(dlg->isVisible());
    dlg->close();
    ASSERT_TRUE(safe.settle([&] { return form->controls().SpeedButton[10]->isEnabled(); }));
    EXPECT_FALSE(dlg->isVisible());
}
