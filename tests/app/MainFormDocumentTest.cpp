#include "app/TMainForm.h"
#include "editor/DocumentFile.h"
#include "platform/TextCodec.h"
#include "support/DiskFaults.h"
#include "support/FakePrompts.h"
#include "support/JapaneseText.h"
#include "support/SafeServices.h"
#include "support/TempHome.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>

#include <Qsci/qsciscintilla.h>

#include <gtest/gtest.h>

#include <memory>

using namespace tornyx;
using test::FakePrompts;
using test::hex;
using test::sj;
using test::TempHome;
using test::u;

namespace {

void key(QWidget* w, int k, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
}

void typeText(QWidget* w, const QString& s) {
    for (QChar c : s) {
        if (c == '\n')
            key(w, Qt::Key_Return, "\r");
        else
            key(w, c.toUpper().unicode(), QString(c));
    }
}

QStringList items(const QComboBox* c) {
    QStringList l;
    for (int i = 0; i < c->count(); ++i)
        l << c->itemText(i);
    return l;
}

struct Document : ::testing::Test {
    TempHome home;
    FakePrompts prompts;
    std::unique_ptr<TMainForm> form;
    QString caption(const QString& middle) const { return middle + " - Tornyx" + form->versionText(); }

    test::SafeServices safe{home, &prompts};

    void start() {
        form = std::make_unique<TMainForm>(QStringList{}, safe.services);
        form->show();
        QApplication::processEvents();
        prompts.boxes.clear();
    }
    // Opens a file through the open dialog.
    void open(const QString& name) {
        prompts.fileNames.push_back(home.file(name));
        form->FileOpenClick();
    }
    ~Document() override {
        if (form) {
            form->setModified(false);
            form->close();
        }
    }
};

} // namespace

TEST_F(Document, OpenLoadsAnnouncesAndListsThePrograms) {
    const QByteArray file = "%\r\nO0001(" + sj(u"荒加工") + ")\r\nG00X0\r\nM30\r\nO0002\r\nM30\r\n%\r\n";
    home.write("P1.NC", file);
    start();
    open("P1.NC");
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_EQ(form->controls().RichEdit1->lineText(1), u(u"O0001(荒加工)"));
    EXPECT_EQ(form->desk().document().path, home.file("P1.NC"));
    EXPECT_EQ(form->windowTitle(), caption(u(u"<編集>") + home.file("P1.NC")));
    EXPECT_EQ(form->controls().StatusBar1->text(0),
              u(u"ｻｲｽﾞ : ") + QString::number(file.size()) + u(u"ﾊﾞｲﾄ"));
    EXPECT_EQ(form->desk().options().dirPath, home.path());
    EXPECT_EQ(form->desk().options().recentFiles[0], home.file("P1.NC"));
    EXPECT_FALSE(form->isModified());
    EXPECT_EQ(form->desk().document().size, quint32(file.size()));
    EXPECT_TRUE(form->controls().Timer4->isActive());
    EXPECT_EQ(form->controls().Timer4->interval(), 100);

    form->desk().programs().cancelExtraction();
    form->Timer4Timer();
    EXPECT_EQ(items(form->controls().ComboBox1), (QStringList{u(u"00002-O0001(荒加工)"), "00005-O0002"}));
    EXPECT_EQ(form->controls().ComboBox1->currentIndex(), 0);
    EXPECT_EQ(form->desk().programs().indexedLineCount, 8);
    EXPECT_TRUE(form->controls().BitBtn1->isEnabled());
    EXPECT_TRUE(form->controls().StatusBar1->text(6).isEmpty());
}

TEST_F(Document, OpenWithMissingProfileFolderOrVanishedFile) {
    start();
    form->desk().options().dirPath = home.path();
    form->desk().profiles()[1].setting.dirPathSub = home.file("nowhere");
    prompts.fileNames = {home.file("gone.nc")};
    form->FileOpenClick();
    ASSERT_EQ(prompts.boxes.size(), 2u);
    EXPECT_EQ(prompts.boxes[0].kind, Prompts::Error);
    EXPECT_EQ(prompts.boxes[0].text, u(u"設定ﾌｫﾙﾀﾞ\n") + home.file("nowhere") + u(u"が見つかりません｡"));
    EXPECT_EQ(prompts.boxes[0].buttons, Prompts::Yes);
    EXPECT_EQ(prompts.fileDialogFolders, QStringList{home.path()});
    EXPECT_EQ(prompts.boxes[1].text, u(u"呼出ﾃﾞｰﾀ\n") + home.file("gone.nc") + u(u"が見つかりません｡"));
    EXPECT_EQ(form->desk().document().path, u(u"無題"));

    QDir(home.path()).mkdir("data");
    form->desk().profiles()[1].setting.dirPathSub = home.file("data");
    prompts.boxes.clear();
    form->FileOpenClick();
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_EQ(prompts.fileDialogFolders.back(), home.file("data"));
}

TEST_F(Document, UnicodeFileAskedAndEmptyFileWarned) {
    QByteArray be("\xFE\xFF", 2);
    for (QChar c : u(u" O1(あ)\r\n"))
        be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    home.write("BE.NC", be);
    home.write("EMPTY.NC", "");
    start();
    prompts.answers = {Prompts::Yes};
    open("BE.NC");
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].kind, Prompts::Warning);
    EXPECT_EQ(prompts.boxes[0].text, text::bigEndianQuestion());
    EXPECT_EQ(form->controls().RichEdit1->text(), u(u"O1(あ)"));

    prompts.boxes.clear();
    prompts.answers = {Prompts::Yes};
    form->desk().programs().cancelExtraction();
    open("EMPTY.NC");
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, text::fileFormatWrong());
    EXPECT_EQ(prompts.boxes[0].buttons, Prompts::Yes | Prompts::No);
    EXPECT_TRUE(form->controls().RichEdit1->text().isEmpty());
    EXPECT_FALSE(form->controls().Timer4->isActive()) << "an empty file starts no extraction";
    EXPECT_EQ(form->controls().StatusBar1->text(0), u(u"ｻｲｽﾞ : 0ﾊﾞｲﾄ"));
}

TEST_F(Document, SaveOfAnUntitledDocumentAsksWhereItGoes) {
    start();
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(home.path());
    typeText(form->controls().RichEdit1, "o1\ng0x1.\n");
    EXPECT_TRUE(form->isModified());
    EXPECT_EQ(form->controls().StatusBar1->text(4), u(u"<変更>"));
    EXPECT_FALSE(form->FileSaveClick()) << "the dialog was cancelled";
    EXPECT_EQ(prompts.fileDialogTitles, QStringList{u(u"ﾃﾞｰﾀ保存")});
    EXPECT_FALSE(QFile::exists(home.file(u(u"無題"))));
    EXPECT_TRUE(form->isModified());
    EXPECT_EQ(form->desk().document().path, u(u"無題"));

    prompts.fileNames = {home.file("NEW.NC")};
    EXPECT_TRUE(form->FileSaveClick());
    QDir::setCurrent(cwd);
    EXPECT_EQ(home.read("NEW.NC"), QByteArray("O1\r\nG0X1.\r\n"));
    EXPECT_EQ(form->desk().document().path, home.file("NEW.NC"));
    EXPECT_EQ(form->desk().options().recentFiles[0], home.file("NEW.NC"));
    EXPECT_EQ(form->windowTitle(), caption(u(u"<編集>") + home.file("NEW.NC")));
    EXPECT_FALSE(form->isModified());
    EXPECT_TRUE(form->controls().StatusBar1->text(4).isEmpty());
    EXPECT_EQ(form->controls().StatusBar1->text(0), u(u"ｻｲｽﾞ : 11ﾊﾞｲﾄ"));
    EXPECT_EQ(form->controls().Timer4->interval(), 1000);
    EXPECT_FALSE(form->FileSaveClick()) << "nothing to save";
}

TEST_F(Document, EditedJapaneseFileRoundTripsByteForByte) {
    const QByteArray file = "%\r\nO0001(" + sj(u"ﾂｰﾙ交換 φ10") + ")\r\n\tG00 X1.\r\n\r\nM30\r\n%";
    home.write("JP.NC", file);
    start();
    open("JP.NC");
    form->controls().RichEdit1->setCursorPosition(2, 0);
    typeText(form->controls().RichEdit1, "n");
    key(form->controls().RichEdit1, Qt::Key_Backspace, "\b");
    ASSERT_TRUE(form->isModified());
    EXPECT_TRUE(form->FileSaveClick());
    EXPECT_EQ(hex(home.read("JP.NC")), hex(file));
}

TEST_F(Document, CharactersShiftJisCannotHoldAreNamedBeforeWriting) {
    const QByteArray utf8 = QByteArray("\xEF\xBB\xBF", 3) + "O1(Caf\xC3\xA9 \xE2\x82\xAC)\r\n";
    home.write("U8.NC", utf8);
    start();
    prompts.answers = {Prompts::Yes};
    open("U8.NC");
    typeText(form->controls().RichEdit1, "x");
    prompts.boxes.clear();
    prompts.answers = {Prompts::No};
    EXPECT_FALSE(form->FileSaveClick());
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, text::unmappableQuestion(2));
    EXPECT_EQ(home.read("U8.NC"), utf8) << "nothing written after No";
    EXPECT_TRUE(form->isModified());

    prompts.answers = {Prompts::Yes};
    EXPECT_TRUE(form->FileSaveClick());
    EXPECT_EQ(home.read("U8.NC"), QByteArray("XO1(Caf? ?)\r\n"));
}

TEST_F(Document, WriteFailureIsReportedAndTheChangesKept) {
    start();
    typeText(form->controls().RichEdit1, "o1");
    form->desk().document().path = home.file("no/such/folder/P.NC");
    EXPECT_FALSE(form->FileSaveClick());
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].kind, Prompts::Error);
    EXPECT_TRUE(prompts.boxes[0].text.startsWith(home.file("no/such/folder/P.NC")));
    EXPECT_TRUE(form->isModified());
}

TEST_F(Document, NewAsksWithoutCancelAndStartsUntitled) {
    home.write("P1.NC", "O0001\r\nM30\r\n");
    start();
    open("P1.NC");
    form->Timer4Timer();
    form->desk().programs().setKey(":");
    typeText(form->controls().RichEdit1, "x");
    prompts.answers = {Prompts::No};
    form->open1Click();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].title, u(u"編集"));
    EXPECT_EQ(prompts.boxes[0].kind, Prompts::Exclamation);
    EXPECT_EQ(prompts.boxes[0].text, home.file("P1.NC") + u(u" への変更を保存しますか？"));
    EXPECT_EQ(prompts.boxes[0].buttons, Prompts::Yes | Prompts::No);
    EXPECT_TRUE(form->controls().RichEdit1->text().isEmpty());
    EXPECT_EQ(form->desk().document().path, u(u"無題"));
    EXPECT_EQ(form->windowTitle(), caption(u(u"<新規作成>無題")));
    EXPECT_EQ(form->controls().StatusBar1->text(0), u(u"ｻｲｽﾞ"));
    EXPECT_EQ(form->controls().ComboBox1->count(), 0);
    EXPECT_TRUE(form->desk().programs().key().isEmpty());
    EXPECT_FALSE(form->isModified());
    EXPECT_EQ(home.read("P1.NC"), QByteArray("O0001\r\nM30\r\n"));
}

TEST_F(Document, ChangesToSaveSurviveACancelledDialog) {
    home.write("P1.NC", "O0001\r\n");
    home.write("P2.NC", "O0002\r\n");
    start();
    open("P1.NC");
    typeText(form->controls().RichEdit1, "n1\n");
    prompts.fileDialogTitles.clear();
    prompts.answers = {Prompts::Yes}; // save? yes; the save dialog is cancelled
    prompts.fileNames = {QString(), home.file("P2.NC")};
    form->FileOpenClick();
    EXPECT_EQ(prompts.fileDialogTitles, QStringList{u(u"ﾃﾞｰﾀ保存")}) << "no open dialog";
    EXPECT_EQ(form->controls().RichEdit1->text(), "N1\nO0001\n");
    EXPECT_TRUE(form->isModified());
    form->open1Click(); // answered No: the changes go as asked
    EXPECT_TRUE(form->controls().RichEdit1->text().isEmpty());
}

TEST_F(Document, AskSaveYesWritesTheChosenFileButKeepsTheDocumentPath) {
    home.write("P1.NC", "O0001\r\n");
    start();
    open("P1.NC");
    typeText(form->controls().RichEdit1, "n1\n");
    prompts.answers = {Prompts::Yes};
    prompts.fileNames = {home.file("COPY.NC")};
    form->askSave(form->desk().document().saveDialogFileName, u(u"ﾃﾞｰﾀ保存"));
    EXPECT_EQ(home.read("COPY.NC"), QByteArray("N1\r\nO0001\r\n"));
    EXPECT_EQ(form->desk().document().path, home.file("P1.NC"));
    EXPECT_FALSE(form->isModified());
}

TEST_F(Document, SizeInMetresAndCaptionWithTheFileNameOnly) {
    home.write("T.NC", QByteArray(1000, 'G'));
    start();
    form->desk().options().setOn(Opt::Metres, true);
    form->desk().options().setOn(Opt::FileNameCaption, true);
    open("T.NC");
    EXPECT_EQ(form->controls().StatusBar1->text(0), u(u"ｻｲｽﾞ : 2.54ﾒｰﾄﾙ"));
    EXPECT_EQ(form->windowTitle(), caption(u(u"<編集>T.NC")));
}

TEST_F(Document, RecentListTakesTheNewSpellingOnce) {
    home.write("A.NC", "O1\r\n");
    home.write("B.NC", "O2\r\n");
    home.write("a.nc", "O3\r\n");
    start();
    open("A.NC");
    open("B.NC");
    open("a.nc");
    EXPECT_EQ(form->desk().options().recentFiles[0], home.file("a.nc"));
    EXPECT_EQ(form->desk().options().recentFiles[1], home.file("B.NC"));
    EXPECT_TRUE(form->desk().options().recentFiles[2].isEmpty());
    EXPECT_EQ(form->controls().MenuFile[0]->text(), "&1 " + home.file("a.nc"));
    EXPECT_FALSE(form->controls().MenuFile[2]->isVisible());

    form->openRecent(2);
    EXPECT_EQ(form->controls().RichEdit1->text(), "O2\n");
    EXPECT_EQ(form->desk().options().recentFiles[0], home.file("B.NC"));
    EXPECT_EQ(form->controls().Timer4->interval(), 100);
}

TEST_F(Document, IndexFollowsEditsAndJumps) {
    QByteArray file;
    for (int i = 1; i <= 60; ++i)
        file += (i == 1 || i == 30 ? "O" + QByteArray::number(i) : "N" + QByteArray::number(i)) + "\r\n";
    home.write("P.NC", file);
    start();
    open("P.NC");
    form->Timer4Timer();
    EXPECT_EQ(items(form->controls().ComboBox1), (QStringList{"00001-O1", "00030-O30"}));

    // A new program typed on line 45: the key swap keeps "O", the change
    // restarts Timer4 with one second.
    form->controls().RichEdit1->setCursorPosition(44, 0);
    typeText(form->controls().RichEdit1, "o45\n");
    EXPECT_TRUE(form->controls().Timer4->isActive());
    EXPECT_EQ(form->controls().Timer4->interval(), 1000);
    form->Timer4Timer();
    EXPECT_EQ(items(form->controls().ComboBox1), (QStringList{"00001-O1", "00030-O30", "00045-O45"}));
    EXPECT_EQ(form->controls().ComboBox1->currentIndex(), 2);

    form->ComboBox1Select(1);
    EXPECT_EQ(form->controls().RichEdit1->caretLine(), 29);
    EXPECT_EQ(form->controls().RichEdit1->firstVisibleLine(), 28);
    EXPECT_EQ(form->controls().RichEdit1->selectedText(), "O30");
    EXPECT_EQ(form->controls().StatusBar1->text(1), "30 , 4");

    // Moving the caret selects the program it is in.
    form->controls().RichEdit1->setCursorPosition(10, 0);
    QApplication::processEvents();
    EXPECT_EQ(form->controls().ComboBox1->currentIndex(), 0);
    form->controls().RichEdit1->setCursorPosition(50, 0);
    QApplication::processEvents();
    EXPECT_EQ(form->controls().ComboBox1->currentIndex(), 2);

    // The line of an entry edited since: choosing it removes the entry.
    form->controls().RichEdit1->setCursorPosition(29, 0);
    typeText(form->controls().RichEdit1, "x");
    form->desk().programs().cancelExtraction();
    form->ComboBox1Select(1);
    EXPECT_EQ(items(form->controls().ComboBox1), (QStringList{"00001-O1", "00045-O45"}));
}

TEST_F(Document, ColonKeySwapAndNoProgramNumberLeavesTheList) {
    home.write("E.NC", ":0001\r\nM30\r\n");
    start();
    open("E.NC");
    form->Timer4Timer();
    EXPECT_EQ(form->desk().programs().key(), ":");
    form->controls().RichEdit1->setCursorPosition(2, 0);
    typeText(form->controls().RichEdit1, "o0002\n");
    EXPECT_EQ(form->controls().RichEdit1->lineText(2), ":0002");

    // Without "O" or ":" before a digit the tick changes nothing.
    form->controls().RichEdit1->clearQuietly();
    form->controls().RichEdit1->setTextQuietly("G00 X1.\nM30\n");
    form->Timer4Timer();
    EXPECT_EQ(form->controls().ComboBox1->count(), 1);
    form->BitBtn1Click();
    EXPECT_EQ(form->controls().ComboBox1->count(), 1);
}

TEST_F(Document, AutoIndexOffLeavesTheListToTheButton) {
    home.write("P.NC", "O1\r\nM30\r\n");
    start();
    open("P.NC");
    form->Timer4Timer();
    form->desk().options().autoIndexOff = true;
    form->controls().RichEdit1->setCursorPosition(2, 0);
    typeText(form->controls().RichEdit1, "o2\n");
    EXPECT_FALSE(form->controls().Timer4->isActive()) << "the change does not start the timer";
    form->controls().Timer4->setInterval(1);
    form->Timer4Timer();
    EXPECT_EQ(items(form->controls().ComboBox1), QStringList{"00001-O1"});
    EXPECT_EQ(form->controls().Timer4->interval(), 500) << "idle ticks never spin at 1 ms";
    form->BitBtn1Click();
    EXPECT_EQ(items(form->controls().ComboBox1), (QStringList{"00001-O1", "00003-O2"}));
    EXPECT_FALSE(form->controls().SpeedButton[13]->isEnabled()) << "idle again";
    EXPECT_TRUE(form->controls().FileNew->menuAction()->isEnabled());
}

TEST_F(Document, TransferModeSwitchesCommandsBarsAndPanelZero) {
    start();
    form->enterTransferMode();
    for (int i : {1, 2, 3, 6, 7, 10, 12, 15})
        EXPECT_FALSE(form->controls().SpeedButton[i]->isEnabled()) << i;
    EXPECT_TRUE(form->controls().SpeedButton[13]->isEnabled());
    EXPECT_FALSE(form->controls().FileNew->menuAction()->isEnabled());
    EXPECT_FALSE(form->controls().Menu_log->menuAction()->isEnabled());
    EXPECT_FALSE(form->controls().Menu_ver->isEnabled());
    EXPECT_TRUE(form->controls().StatusBar2->isVisible());
    EXPECT_FALSE(form->controls().StatusBar1->isVisible());
    ASSERT_NE(form->progressBar(), nullptr);
    EXPECT_TRUE(form->controls().RichEdit1->isReadOnly());

    form->leaveTransferMode();
    EXPECT_TRUE(form->controls().SpeedButton[1]->isEnabled());
    EXPECT_FALSE(form->controls().SpeedButton[13]->isEnabled());
    EXPECT_TRUE(form->controls().Menu_log->menuAction()->isEnabled());
    EXPECT_TRUE(form->controls().StatusBar1->isVisible());
    EXPECT_FALSE(form->controls().StatusBar2->isVisible());
    EXPECT_FALSE(form->controls().RichEdit1->isReadOnly());

    form->desk().profiles()[1].send.dncSend = 1;
    form->enterTransferMode();
    EXPECT_EQ(form->controls().StatusBar2->text(0), u(u"経過時間 00:00:00"));
    form->leaveTransferMode();

    home.write("Tornyx_S.log", "2010/07/09 12:05:33  x\r\n");
    form->Menu_sendClick(1);
    ASSERT_TRUE(form->isLogViewOpen());
    form->enterTransferMode();
    EXPECT_TRUE(form->controls().Menu_log->menuAction()->isEnabled());
    EXPECT_FALSE(form->controls().SpeedButton[13]->isEnabled()) << "nothing more while a log is shown";
    EXPECT_FALSE(form->controls().StatusBar2->isVisible());
}

TEST_F(Document, BusyModeEnablesCutOnlyWithASelection) {
    start();
    typeText(form->controls().RichEdit1, "o1");
    form->enterBusyMode();
    EXPECT_FALSE(form->controls().Menu_log->menuAction()->isEnabled());
    EXPECT_TRUE(form->controls().SpeedButton[13]->isEnabled());
    form->leaveBusyMode();
    EXPECT_FALSE(form->controls().SpeedButton[13]->isEnabled());
    EXPECT_TRUE(form->controls().EditUndo->isEnabled());
    EXPECT_TRUE(form->controls().SpeedButton[7]->isEnabled());
    EXPECT_FALSE(form->controls().EditCut->isEnabled());
    EXPECT_FALSE(form->controls().SpeedButton[4]->isEnabled());
    EXPECT_TRUE(form->controls().BitBtn1->isEnabled());
    form->controls().RichEdit1->selectAll();
    form->leaveBusyMode();
    EXPECT_TRUE(form->controls().EditCut->isEnabled());
    EXPECT_TRUE(form->controls().SpeedButton[5]->isEnabled());
}

TEST_F(Document, LampsShowTheLines) {
    start();
    form->setDsrLamp(true);
    EXPECT_EQ(form->controls().LabeledEdit1->textColor(), QColor(Qt::blue));
    form->setDsrLamp(false);
    EXPECT_EQ(form->controls().LabeledEdit1->textColor(), QColor(Qt::red));
    form->setCtsLamp(false);
    EXPECT_EQ(form->controls().LabeledEdit2->text(), u(u" ○"));
    form->setCtsLamp(true);
    EXPECT_EQ(form->controls().LabeledEdit2->text(), u(u" ●"));
}

TEST_F(Document, SaveOnAFullDiskNamesTheFileAndKeepsTheChanges) {
    QByteArray program = "O1420\r\n";
    for (int i = 1; program.size() < 1420; ++i)
        program += "N" + QByteArray::number(i) + "G01X" + QByteArray::number(i % 97) + ".F100\r\n";
    home.write("P.NC", program);
    start();
    open("P.NC");
    form->controls().RichEdit1->SendScintilla(QsciScintilla::SCI_DOCUMENTEND);
    typeText(form->controls().RichEdit1, "N9999M30\n");
    ASSERT_TRUE(form->isModified());
    prompts.boxes.clear();
    {
        test::FileSizeLimit full(program.size());
        form->controls().FileSave->trigger(); // Ctrl+S
    }
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].kind, Prompts::Error);
    EXPECT_TRUE(prompts.boxes[0].text.startsWith(home.file("P.NC") + u(u"\nに保存できませんでした｡\n")))
        << prompts.boxes[0].text.toStdString();
    EXPECT_TRUE(form->isModified()) << "the modified mark stays";
    EXPECT_EQ(form->controls().StatusBar1->text(4), u(u"<変更>"));
    EXPECT_EQ(home.read("P.NC"), program) << "the old version is kept";
}
