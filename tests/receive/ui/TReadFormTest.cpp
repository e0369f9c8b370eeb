// The split-save and selective-send dialog, shown for real on the offscreen
// platform over a stand-in main window, writing into a temporary folder.
#include "receive/ui/TReadForm.h"
#include "support/JapaneseText.h"

#include "platform/TextCodec.h"
#include "support/QtPrinters.h"
#include "support/TempHome.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <memory>

using namespace tornyx;
using test::TempHome;
using test::u;

namespace {

struct FakeReadHost : ReadFormHost {
    struct Box {
        QString kind;
        QString text;
        QWidget* owner;
    };
    QWidget* main = nullptr;
    std::unique_ptr<PlainIndexedText> text = std::make_unique<PlainIndexedText>(QByteArray());
    std::deque<std::optional<QString>> folders;
    QStringList folderCaptions;
    QStringList folderStarts;
    std::vector<Box> boxes;
    bool answerYes = true;
    QString path = "/nc/PROG.NC";
    bool modified = false;
    int closed = 0;
    std::vector<bool> splitsDone; // wasModified of each
    std::optional<ExcludedPrograms> sent;
    int cancelled = 0;

    std::optional<QString> chooseFolder(QWidget*, const QString& caption, const QString& start) override {
        folderCaptions << caption;
        folderStarts << start;
        if (folders.empty())
            return std::nullopt;
        auto f = folders.front();
        folders.pop_front();
        return f;
    }
    void showError(QWidget* owner, const QString& t) override { boxes.push_back({"error", t, owner}); }
    void informationBox(QWidget* owner, const QString& t) override {
        boxes.push_back({"information", t, owner});
    }
    bool warningYesNo(QWidget* owner, const QString& t) override {
        boxes.push_back({"warning", t, owner});
        return answerYes;
    }
    const IndexedText& editorText() override { return *text; }
    QString documentPath() override { return path; }
    bool isModified() const override { return modified; }
    void setMainWindowEnabled(bool enabled) override { main->setEnabled(enabled); }
    void dialogClosed() override { ++closed; }
    void splitDone(bool wasModified) override { splitsDone.push_back(wasModified); }
    void sendSelected(const ExcludedPrograms& excluded) override { sent = excluded; }
    void sendCancelled() override { ++cancelled; }
};

struct ReadForm : ::testing::Test {
    TempHome home;
    QString folder = home.file("split");
    QWidget main;
    FakeReadHost host;
    std::unique_ptr<TReadForm> dlg;
    const QRect mainRect{100, 100, 600, 400};

    void SetUp() override {
        QDir().mkpath(folder);
        main.setGeometry(mainRect);
        main.show();
        host.main = &main;
        dlg = std::make_unique<TReadForm>(home.file("Tornyx.INI"), host, &main);
    }
    void setText(const QByteArray& utf8) { host.text = std::make_unique<PlainIndexedText>(utf8); }
    QStringList files() const { return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    QByteArray read(const QString& name) const {
        QFile f(folder + '/' + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QString ini() const { return platform::fromSjis(home.read("Tornyx.INI")); }
    QStringList ticks() const {
        QStringList out;
        for (int i = 0; i < dlg->CheckListBox1->count(); ++i)
            out << (dlg->CheckListBox1->item(i)->checkState() == Qt::Checked ? "x" : "-");
        return out;
    }
    void untick(int row) { dlg->CheckListBox1->item(row)->setCheckState(Qt::Unchecked); }
};

} // namespace

TEST_F(ReadForm, SplitModeListsTheProgramsTickedOverADisabledWindow) {
    setText("O1\nG00\nO2\n");
    dlg->openForSplit({"00001-O1", "00003-O2"}, mainRect);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_FALSE(dlg->isModal());
    EXPECT_EQ(dlg->windowTitle(), u(u"分割保存"));
    EXPECT_EQ(dlg->Label1->text(), u(u"ﾁｪｯｸを外すとﾌｧｲﾙ作成されません｡"));
    for (QPushButton* b : {dlg->Button1, dlg->Button2, dlg->Button3, dlg->Button4})
        EXPECT_TRUE(b->isVisible() && b->isEnabled()) << b->text().toStdString();
    EXPECT_FALSE(dlg->Button5->isVisible());
    EXPECT_FALSE(dlg->Button6->isVisible());
    EXPECT_TRUE(dlg->OP1->menuAction()->isVisible());
    EXPECT_EQ(dlg->CheckListBox1->item(1)->text(), "00003-O2");
    EXPECT_EQ(ticks(), (QStringList{"x", "x"}));
    EXPECT_EQ(dlg->pos(), QPoint(100 + 300 - dlg->width() / 2, 100 + 200 - dlg->height() / 2));

    EXPECT_FALSE(main.isEnabled());
    EXPECT_TRUE(dlg->isEnabled()) << "the dialog must stay usable over the disabled window";
    QTest::mouseClick(dlg->Button3, Qt::LeftButton);
    EXPECT_EQ(ticks(), (QStringList{"-", "-"}));
    QTest::mouseClick(dlg->Button4, Qt::LeftButton);
    EXPECT_EQ(ticks(), (QStringList{"x", "x"}));

    QTest::mouseClick(dlg->Button2, Qt::LeftButton);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(main.isEnabled());
    EXPECT_EQ(host.closed, 1);
    EXPECT_EQ(host.cancelled, 0) << "no send to give up in split mode";
}

TEST_F(ReadForm, NothingToListOrNothingToSplit) {
    dlg->openForSplit({"00001-O1"}, mainRect);
    EXPECT_FALSE(dlg->isVisible()) << "an empty editor is not split";
    EXPECT_TRUE(main.isEnabled());

    setText("G00\n");
    dlg->openForSplit({}, mainRect);
    EXPECT_TRUE(dlg->isVisible());
    for (QPushButton* b : {dlg->Button1, dlg->Button3, dlg->Button4, dlg->Button5})
        EXPECT_FALSE(b->isEnabled()) << b->text().toStdString();
    EXPECT_TRUE(dlg->Button2->isEnabled());

    EXPECT_EQ(TReadForm::placement({10, 20, 100, 50}, {300, 200}), QPoint(10, 20))
        << "never off the screen's corner";
}

TEST_F(ReadForm, OptionsAndFolderComeFromSectionSubAndGoBackOnClose) {
    home.write("Tornyx.INI",
               "[Sub]\r\nDirPath=/old\r\nF_Set=5\r\nB_Set=0\r\nN_Set=1\r\n[Main]\r\nLeft=7\r\n");
    setText("O1\n");
    dlg->openForSplit({"00001-O1"}, mainRect);
    EXPECT_TRUE(dlg->op_f->isChecked()) << "any non-zero is on";
    EXPECT_FALSE(dlg->op_b->isChecked());
    EXPECT_TRUE(dlg->op_n->isChecked());
    dlg->op_b->trigger();
    dlg->op_n->trigger();
    dlg->close();
    const QString written = ini();
    EXPECT_TRUE(written.contains("DirPath=/old\r\nF_Set=1\r\nB_Set=1\r\nN_Set=0\r\n"))
        << written.toStdString();
    EXPECT_TRUE(written.contains(QString("Left=%1\r\nTop=%2\r\n").arg(dlg->x()).arg(dlg->y())));
    EXPECT_TRUE(written.contains("[Main]\r\nLeft=7\r\n")) << "other sections stay";
    EXPECT_TRUE(main.isEnabled());

    // Without a stored folder the chooser starts at the default.
    QFile::remove(home.file("Tornyx.INI"));
    dlg->openForSplit({"00001-O1"}, mainRect);
    QTest::mouseClick(dlg->Button1, Qt::LeftButton);
    EXPECT_EQ(host.folderCaptions, QStringList{u(u"現ﾃﾞｨﾚｸﾄﾘ C:")});
    EXPECT_EQ(host.folderStarts, QStringList{"C:"});
    EXPECT_TRUE(dlg->isVisible()) << "a cancelled chooser ends the command only";
}

TEST_F(ReadForm, SplitWritesTheTickedProgramsAndCloses) {
    home.write("Tornyx.INI", "[Sub]\r\nF_Set=1\r\nB_Set=1\r\n");
    setText("%\nO1 (A)\nG00\nO2\nG01\nO3\nG02\n%\n");
    host.modified = true;
    dlg->openForSplit({"00002-O1 (A)", "00004-O2", "00006-O3"}, mainRect);
    untick(2);
    host.folders.push_back(folder);
    QTest::mouseClick(dlg->Button1, Qt::LeftButton);

    EXPECT_EQ(files(), (QStringList{"O1 .NC", "O2.NC"}));
    EXPECT_EQ(read("O1 .NC"), "%\r\nO1 (A)\r\nG00\r\n%\r\n");
    EXPECT_EQ(read("O2.NC"), "%\r\nO2\r\nG01\r\n%\r\n");
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(host.splitsDone, std::vector<bool>{true});
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(main.isEnabled());
    EXPECT_TRUE(ini().contains("DirPath=" + folder + "\r\n"));

    // The next split starts in the folder chosen last.
    dlg->openForSplit({"00002-O1 (A)"}, mainRect);
    QTest::mouseClick(dlg->Button1, Qt::LeftButton);
    EXPECT_EQ(host.folderCaptions.last(), u(u"現ﾃﾞｨﾚｸﾄﾘ ") + folder);
}

TEST_F(ReadForm, NothingTickedGivesTheErrorBoxAndNoFile) {
    setText("O1\nG00\nO2\nG01\n");
    dlg->openForSplit({"00001-O1", "00003-O2"}, mainRect);
    QTest::mouseClick(dlg->Button3, Qt::LeftButton);
    host.folders.push_back(folder);
    QTest::mouseClick(dlg->Button1, Qt::LeftButton);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].kind, "error");
    EXPECT_EQ(host.boxes[0].text,
              u(u"分割保存するﾃﾞｰﾀが見つかりません｡\n選択して分割保存するか中止してください｡"));
    EXPECT_EQ(host.boxes[0].owner, dlg.get());
    EXPECT_TRUE(files().isEmpty());
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_FALSE(main.isEnabled());
}

TEST_F(ReadForm, CharactersShiftJisCannotHoldAreAskedAbout) {
    setText(u(u"O1(€)\nG00\n").toUtf8());
    dlg->openForSplit({"00001-O1(€)"}, mainRect);
    host.answerYes = false;
    host.folders.push_back(folder);
    QTest::mouseClick(dlg->Button1, Qt::LeftButton);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].kind, "warning");
    EXPECT_TRUE(host.boxes[0].text.startsWith(u(u"Shift-JISで表せない文字が1文字あります｡")));
    EXPECT_TRUE(files().isEmpty());
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(ReadForm, ALongSplitRepaintsAndCannotBeClosedHalfway) {
    QByteArray text;
    QStringList entries;
    constexpr int Programs = 300;
    constexpr int Lines = 200;
    for (int p = 1; p <= Programs; ++p) {
        entries << QString("%1-O%2").arg(p * Lines - Lines + 1, 5, 10, QChar('0')).arg(p);
        text += "O" + QByteArray::number(p) + "\n";
        for (int i = 1; i < Lines; ++i)
            text += "G01 X" + QByteArray::number(i) + ".000 Y2.000 Z-1.000 F1200\n";
    }
    setText(text);
    dlg->setRepaintInterval(0); // a fast disk must not make the walk too short to see
    dlg->openForSplit(entries, mainRect);
    host.folders.push_back(folder);

    int ticks = 0;
    int lastProgress = 0;
    bool heldOpen = true;
    QTimer poke;
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (!dlg->isSplitting())
            return;
        ++ticks;
        lastProgress = std::max(lastProgress, dlg->ProgressBar1->value());
        dlg->reject();
        dlg->close();
        heldOpen = heldOpen && dlg->isVisible() && !main.isEnabled();
    });
    poke.start(0);
    QTest::mouseClick(dlg->Button1, Qt::LeftButton);
    poke.stop();

    EXPECT_GT(ticks, 0) << "the event loop ran while the split went on";
    EXPECT_GT(lastProgress, 0);
    EXPECT_TRUE(heldOpen) << "the text must stay as it is until the split has read it";
    EXPECT_EQ(files().size(), Programs) << "closing attempts did not cut the split short";
    EXPECT_EQ(read("O300.NC").count('\n'), Lines);
    EXPECT_EQ(host.splitsDone.size(), 1u);
    EXPECT_EQ(host.closed, 1);
}

TEST_F(ReadForm, SendModeHandsTheUntickedProgramsToTheRun) {
    setText("O1\nA\nO2\nB\nO3\nC\n");
    const QString note = u(u"ﾁｪｯｸが外れたﾃﾞｰﾀは送信されません");
    dlg->openForSend({{1, "O1"}, {3, "O2"}, {5, "O3"}}, note, mainRect);
    EXPECT_EQ(dlg->windowTitle(), u(u"選択送信"));
    EXPECT_EQ(dlg->Label1->text(), note);
    EXPECT_FALSE(dlg->Button1->isVisible());
    EXPECT_FALSE(dlg->Button2->isVisible());
    for (QPushButton* b : {dlg->Button3, dlg->Button4, dlg->Button5, dlg->Button6})
        EXPECT_TRUE(b->isVisible() && b->isEnabled()) << b->text().toStdString();
    EXPECT_FALSE(dlg->OP1->menuAction()->isVisible());
    EXPECT_EQ(dlg->CheckListBox1->item(1)->text(), "O2");

    untick(1);
    QTest::mouseClick(dlg->Button5, Qt::LeftButton);
    ASSERT_TRUE(host.sent.has_value());
    EXPECT_EQ(host.sent->texts(), QStringList{"O2"});
    EXPECT_TRUE(host.sent->excludes(3, u"O2"));
    EXPECT_FALSE(host.sent->excludes(1, u"O1"));
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(main.isEnabled());
    EXPECT_EQ(host.cancelled, 0);
}

TEST_F(ReadForm, SendModeWithNothingTickedSaysSo) {
    setText("O1\nA\n");
    dlg->openForSend({{1, "O1"}}, "note", mainRect);
    QTest::mouseClick(dlg->Button3, Qt::LeftButton);
    QTest::mouseClick(dlg->Button5, Qt::LeftButton);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, u(u"送信ﾃﾞｰﾀが見つかりません｡\n選択して送信するか中止してください｡"));
    EXPECT_FALSE(host.sent.has_value());
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(ReadForm, EveryWayOutOfSendModeGivesTheWindowBack) {
    setText("O1\nA\n");
    dlg->openForSend({{1, "O1"}}, "note", mainRect);
    QTest::mouseClick(dlg->Button6, Qt::LeftButton);
    EXPECT_EQ(host.cancelled, 1);
    EXPECT_FALSE(dlg->isVisible());

    dlg->openForSend({{1, "O1"}}, "note", mainRect);
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    EXPECT_EQ(host.cancelled, 2) << "Escape must not leave the window in its transfer state";

    dlg->openForSend({{1, "O1"}}, "note", mainRect);
    dlg->close();
    EXPECT_EQ(host.cancelled, 3) << "nor must the close button";
    EXPECT_EQ(host.closed, 3);
    EXPECT_TRUE(main.isEnabled());
}
