#include "app/TMainForm.h"
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
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QScreen>
#include <QToolButton>

#include <Qsci/qsciscintilla.h>

#include <gtest/gtest.h>

#include <memory>

#include <sys/stat.h>

using namespace tornyx;
using test::FakePrompts;
using test::sj;
using test::TempHome;
using test::u;

namespace {

struct MainForm : ::testing::Test {
    TempHome home;
    FakePrompts prompts;
    test::SafeServices safe{home, &prompts};
    std::vector<int>& probed = safe.probed;
    std::unique_ptr<TMainForm> form;

    void start(const QStringList& args = {}) {
        form = std::make_unique<TMainForm>(args, safe.services);
        form->show();
        QApplication::processEvents(); // first idle
    }
    void closeForm() { form->close(); }
    QString ini() const { return platform::fromSjis(home.read("Tornyx.INI")); }
};

} // namespace

TEST_F(MainForm, WithoutOptionFileStartsWithDefaultsAndWritesEveryKeyAtClose) {
    start();
    EXPECT_EQ(form->pos(), QPoint(10, 10));
    EXPECT_EQ(form->width(), 626) << "550 is below the minimum width";
    EXPECT_EQ(form->height(), 470);
    EXPECT_EQ(form->activeProfile(), 1);
    EXPECT_EQ(form->desk().options().text(Opt::Completion), "N") << "no Tornyx.DEF, so completion is off";
    EXPECT_TRUE(form->controls().Set[1]->isChecked());
    EXPECT_EQ(form->controls().SetMenu->title(), u(u"通信設定切換(設定1)"));
    EXPECT_FALSE(form->controls().SpeedButton[13]->isEnabled());
    EXPECT_FALSE(form->controls().SpeedButton[14]->isEnabled());
    EXPECT_FALSE(form->controls().StatusBar2->isVisible());
    EXPECT_FALSE(form->controls().LabeledEdit1->isVisible());
    EXPECT_EQ(form->controls().StatusBar1->text(3), u(u"挿入"));
    closeForm();
    const QString f = ini();
    for (const char* key : {"[Main]", "Left=10", "Top=10", "Width=626", "Height=470", "[Recent File List]",
                            "File1=", "[Setting]", "SetNo=1", "DC3(0X93)=Y", "[Options]", "op19=N", "op11=0",
                            "op18=0", "Power_Off=N", "Mask_No=1", "ModemePort1=", "[Print]", "TopMargin=10"})
        EXPECT_TRUE(f.contains(QLatin1String(key))) << key;
    EXPECT_TRUE(f.contains(u(u"User1_Name=ﾕｰｻﾞ1")));
    EXPECT_TRUE(QFile::exists(home.file("Tornyx.tmp")));
}

TEST_F(MainForm, CompletionListLoadsWhenPresent) {
    home.write("Tornyx.DEF", "G01\r\nG02\r\n" + sj(u"M98P(呼出)") + "\r\n");
    start();
    EXPECT_EQ(form->desk().options().text(Opt::Completion), "Y");
    EXPECT_EQ(form->completionList(), (QStringList{"G01", "G02", u(u"M98P(呼出)")}));
}

TEST_F(MainForm, StoredStateComesBackAndUnknownKeysSurvive) {
    QByteArray original = "[Main]\r\nLeft=40\r\nTop=30\r\nWidth=700\r\nHeight=500\r\n[Setting]\r\nSetNo=3\r\n"
                          "User1_Name=" +
                          sj(u"旋盤用") +
                          "\r\nDirPath=/nc\r\n[Options]\r\nop11=1\r\nop4=Y\r\n"
                          "[Ports]\r\nCOM3=/dev/pts/9\r\n[Mine]\r\nkeep=me\r\n";
    home.write("Tornyx.INI", original);
    start();
    EXPECT_EQ(form->activeProfile(), 3);
    EXPECT_TRUE(form->controls().send_step->isChecked());
    EXPECT_EQ(form->desk().options().user1Name, u(u"旋盤用"));
    EXPECT_EQ(form->pos(), QPoint(40, 30));
    EXPECT_EQ(form->size(), QSize(700, 500));
    closeForm();
    const QByteArray after = home.read("Tornyx.INI");
    EXPECT_TRUE(after.contains("User1_Name=" + sj(u"旋盤用") + "\r\n"));
    EXPECT_TRUE(after.contains("[Ports]\r\nCOM3=/dev/pts/9\r\n"));
    EXPECT_TRUE(after.contains("[Mine]\r\nkeep=me\r\n"));
    EXPECT_TRUE(after.contains("op4=Y\r\n"));
}

TEST_F(MainForm, RecentMenuStates) {
    start();
    for (int i = 1; i < 5; ++i)
        EXPECT_FALSE(form->controls().MenuFile[i]->isVisible());
    EXPECT_TRUE(form->controls().MenuFile[0]->isVisible());
    EXPECT_FALSE(form->controls().MenuFile[0]->isEnabled());
    EXPECT_EQ(form->controls().MenuFile[0]->text(), u(u"最近使ったﾌｧｲﾙ"));

    form->addRecent("/nc/A.NC");
    form->addRecent("/nc/B.NC");
    EXPECT_EQ(form->controls().MenuFile[0]->text(), "&1 /nc/B.NC");
    EXPECT_EQ(form->controls().MenuFile[1]->text(), "&2 /nc/A.NC");
    EXPECT_TRUE(form->controls().MenuFile[1]->isVisible());
    EXPECT_FALSE(form->controls().MenuFile[2]->isVisible());

    form->addRecent("/NC/a.nc"); // the same file in other letters moves to the front
    EXPECT_EQ(form->desk().options().recentFiles[0], "/NC/a.nc");
    EXPECT_EQ(form->desk().options().recentFiles[1], "/nc/B.NC");
    EXPECT_EQ(form->desk().options().recentFiles[2], "");
    for (const char* p : {"/1", "/2", "/3", "/4", "/5"})
        form->addRecent(p);
    EXPECT_EQ(form->desk().options().recentFiles[0], "/5");
    EXPECT_EQ(form->desk().options().recentFiles[4], "/1") << "the sixth file pushes the oldest out";
}

TEST_F(MainForm, RecentFileThatVanishedIsPassedOverSilently) {
    home.write("A.NC", "O1\r\nM30\r\n");
    start();
    form->addRecent(home.file("gone.nc"));
    form->addRecent(home.file("A.NC"));
    form->openRecent(2);
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_EQ(form->desk().options().recentFiles[1], home.file("gone.nc"));
    form->openRecent(1);
    EXPECT_EQ(form->controls().RichEdit1->text(), "O1\nM30\n");
    EXPECT_EQ(form->desk().document().path, home.file("A.NC"));
}

TEST_F(MainForm, SendOrderFromTheCommandLineIsTakenAtFirstIdle) {
    home.write("PROG.NC", "O1\r\nM30\r\n");
    home.write("Tornyx.INI", ("[Setting]\r\nDirPath=" + home.path() + "\r\n").toLocal8Bit());
    safe.port.deliver("\x11"); // the machine is ready at once
    start({"/S=PROG.NC", "/END"});
    EXPECT_EQ(form->desk().state().transferPath, home.file("PROG.NC"));
    // ISO with even parity: LF, "O1" LF, "M30" LF, then the end code LF "%".
    EXPECT_EQ(test::hex(safe.port.written()), "0A CF B1 0A 4D 33 30 0A 0A A5");
    EXPECT_EQ(form->controls().RichEdit1->text(), "O1\nM30\n");
    EXPECT_TRUE(form->desk().state().exitAfterTransfer);
    EXPECT_TRUE(form->firstIdleDone());
    EXPECT_FALSE(form->desk().hasOrder()) << "consumed by the first idle";
    EXPECT_FALSE(form->isModified());
    EXPECT_EQ(form->desk().options().recentFiles[0], home.file("PROG.NC"));
}

TEST_F(MainForm, MultiFileSendJoinsTheFilesInTheTransferList) {
    home.write("A.NC", "O1\r\nM99"); // no line break at the end
    home.write("B.NC", "O2\r\nM30\r\n");
    home.write("Tornyx.tmp", "stale text from the last start\r\n");
    home.write("Tornyx.INI", ("[Setting]\r\nDirPath=" + home.path() + "\r\n").toLocal8Bit());
    safe.port.deliver("\x11");
    start({"S01=A.NC", "S02=B.NC", "SE=Y", "N=2"});
    EXPECT_EQ(home.read("Tornyx.tmp"), QByteArray("O1\r\nM99\r\nO2\r\nM30\r\n"));
    EXPECT_EQ(test::hex(safe.port.written()), "0A CF B1 0A 4D 39 39 0A CF B2 0A 4D 33 30 0A 0A A5");
    EXPECT_EQ(form->controls().RichEdit1->text(), "O1\nM99\nO2\nM30\n");
    EXPECT_EQ(form->activeProfile(), 2);
    EXPECT_TRUE(form->controls().Set[2]->isChecked());
    EXPECT_EQ(form->desk().document().path, home.file("Tornyx.tmp")) << "the sent list is the document";
}

TEST_F(MainForm, ListMemberWithoutTheSendOrderIsTheDocument) {
    home.write("A.NC", "O1\r\nM30\r\n");
    home.write("Tornyx.INI", ("[Setting]\r\nDirPath=" + home.path() + "\r\n").toLocal8Bit());
    start({"S01=A.NC"});
    EXPECT_EQ(form->desk().document().path, home.file("A.NC")) << "not 無題: Save must not write elsewhere";
    EXPECT_FALSE(form->desk().hasOrder());
}

TEST_F(MainForm, ProfileNumberErrorsAndReceiveQuestion) {
    home.write("IN.NC", "old");
    prompts.answers = {Prompts::Yes, Prompts::No};
    start({"N=13", "R=" + home.file("IN.NC")});
    ASSERT_EQ(prompts.boxes.size(), 2u);
    EXPECT_EQ(prompts.boxes[0].kind, Prompts::Error);
    EXPECT_EQ(prompts.boxes[0].text, u(u"通信設定番号\n13は存在しません｡"));
    EXPECT_EQ(prompts.boxes[0].buttons, Prompts::Yes);
    EXPECT_EQ(prompts.boxes[1].kind, Prompts::Warning);
    EXPECT_FALSE(form->desk().hasOrder()) << "No to the overwrite question orders nothing";
    EXPECT_EQ(form->activeProfile(), 1);
}

TEST_F(MainForm, SwitchingProfilesFromTheMenu) {
    home.write("Setting.ini", "[Setting4]\r\nName=" + sj(u"横型ＭＣ") + "\r\nFont Color=255\r\n");
    start();
    EXPECT_EQ(form->controls().Set[4]->text(), u(u"横型ＭＣ"));
    EXPECT_EQ(form->controls().Set[11]->text(), u(u"OSP専用_NO.1"));
    EXPECT_EQ(form->controls().Set[10]->shortcut(), QKeySequence("Shift+Alt+A"));
    EXPECT_EQ(form->controls().Set[12]->shortcut(), QKeySequence("Shift+Alt+P"));
    form->controls().RichEdit1->setText("O1");
    form->setModified(false);
    form->controls().Set[4]->trigger();
    EXPECT_EQ(form->activeProfile(), 4);
    EXPECT_TRUE(form->controls().Set[4]->isChecked());
    EXPECT_FALSE(form->controls().Set[1]->isChecked());
    EXPECT_EQ(form->controls().SetMenu->title(), u(u"通信設定切換(横型ＭＣ)"));
    EXPECT_EQ(form->controls().RichEdit1->color(), QColor(255, 0, 0)) << "0x000000FF is red";
    // What is drawn: the text style itself carries the colours.
    EXPECT_EQ(form->controls().RichEdit1->SendScintilla(QsciScintilla::SCI_STYLEGETFORE, 0), 0x0000FFL);
    EXPECT_EQ(form->controls().RichEdit1->SendScintilla(QsciScintilla::SCI_STYLEGETBACK, 0), 0x000000L);
    EXPECT_FALSE(form->isModified()) << "applying fonts must not mark the document";
    closeForm();
    EXPECT_TRUE(ini().contains("SetNo=4"));
}

TEST_F(MainForm, GeometryGoesToTheOldProfileWhenItKeepsItsOwn) {
    home.write("Setting.ini", "[Setting1]\r\nPos Chg=1\r\nPos Left=20\r\nPos Top=25\r\nPos Width=640\r\n"
                              "Pos Height=420\r\n");
    home.write("Tornyx.INI", "[Main]\r\nLeft=50\r\nTop=60\r\nWidth=700\r\nHeight=450\r\n");
    start();
    EXPECT_EQ(form->pos(), QPoint(20, 25));
    EXPECT_EQ(form->size(), QSize(640, 420));
    form->move(30, 35);
    form->SelectProfile(2);
    const QByteArray set = home.read("Setting.ini");
    EXPECT_TRUE(set.contains("Pos Left=30\r\n"));
    EXPECT_TRUE(set.contains("Pos Top=35\r\n"));
    EXPECT_TRUE(home.read("Tornyx.INI").contains("Left=50\r\n")) << "Main is left alone";
    EXPECT_EQ(form->pos(), QPoint(50, 60)) << "profile 2 takes the Main geometry";
    EXPECT_EQ(form->size(), QSize(700, 450));
}

TEST_F(MainForm, WindowOffTheWorkAreaIsMovedNotResized) {
    start();
    const QRect wa = form->screen()->availableGeometry();
    home.write("Setting.ini", ("[Setting5]\r\nPos Chg=1\r\nPos Left=" + QString::number(wa.right() - 100) +
                               "\r\nPos Top=-40\r\nPos Width=640\r\nPos Height=420\r\n")
                                  .toLatin1());
    form->SelectProfile(5);
    EXPECT_EQ(form->pos(), wa.topLeft());
    EXPECT_EQ(form->size(), QSize(640, 420));
}

TEST_F(MainForm, DroppingFiles) {
    home.write("A.NC", "O1\r\n");
    home.write("B.NC", "O2\r\n");
    home.write("C.NC", "O3\r\n");
    start();
    form->dropFiles({home.file("A.NC"), home.file("B.NC"), home.file("C.NC")});
    EXPECT_EQ(form->controls().RichEdit1->text(), "");
    form->dropFiles({home.file("B.NC"), home.file("A.NC")});
    EXPECT_EQ(form->controls().RichEdit1->text(), "O2\n");
    EXPECT_EQ(form->desk().document().path, home.file("B.NC"));
}

TEST_F(MainForm, UnsavedChangesAndACancelledSaveDialogKeepTheWindowOpen) {
    start();
    form->controls().RichEdit1->setText("O1234");
    form->setModified(true);
    prompts.answers = {Prompts::Yes}; // save? yes, and the dialog is cancelled
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].title, u(u"編集"));
    EXPECT_EQ(prompts.boxes[0].text, u(u"無題 への変更を保存しますか？"));
    EXPECT_EQ(prompts.fileDialogTitles, QStringList{u(u"ﾃﾞｰﾀ保存")});
    EXPECT_TRUE(probed.empty()) << "nothing of the close ran";

    prompts.answers = {Prompts::Cancel};
    EXPECT_FALSE(form->close());

    prompts.answers = {Prompts::Yes};
    prompts.fileNames = {home.file("SAVED.NC")};
    EXPECT_TRUE(form->close());
    EXPECT_EQ(home.read("SAVED.NC"), QByteArray("O1234"));
}

TEST_F(MainForm, PortProbeAtCloseNeverTouchesExcludedPorts) {
    home.write("Tornyx.INI", "[Setting]\r\nModemePort1=com3\r\nModemePort2=COM30\r\n");
    start();
    closeForm();
    ASSERT_EQ(probed.size(), 28u);
    EXPECT_EQ(std::count(probed.begin(), probed.end(), 3), 0);
    EXPECT_EQ(std::count(probed.begin(), probed.end(), 30), 0);
    EXPECT_EQ(probed.front(), 1);
}

TEST_F(MainForm, JapaneseProfileValuesRoundTripByteForByte) {
    const QByteArray original = "[Read1]\r\nPort=COM2\r\n[Setting1]\r\nName=" + sj(u"５軸加工機") +
                                "\r\nFont Name=" + sj(u"ＭＳ 明朝") +
                                "\r\nDirPath_Sub=" + sj(u"/データ/受信") + "\r\n";
    home.write("Setting.ini", original);
    start();
    EXPECT_EQ(form->desk().profiles()[1].setting.name, u(u"５軸加工機"));
    form->SaveProfile(1, true, false);
    const QByteArray after = home.read("Setting.ini");
    EXPECT_TRUE(after.startsWith("[Read1]\r\nPort=COM2\r\n"));
    EXPECT_TRUE(after.contains("Name=" + sj(u"５軸加工機") + "\r\n"));
    EXPECT_TRUE(after.contains("Font Name=" + sj(u"ＭＳ 明朝") + "\r\n"));
    EXPECT_TRUE(after.contains("DirPath_Sub=" + sj(u"/データ/受信") + "\r\n"));
}

TEST_F(MainForm, UnwritableSettingsAreReportedNotSwallowed) {
    start();
    // A folder where the option file should be: the rename cannot replace it.
    QDir(home.path()).mkdir("Tornyx.INI");
    closeForm();
    ASSERT_FALSE(prompts.boxes.empty());
    EXPECT_EQ(prompts.boxes.back().kind, Prompts::Error);
    EXPECT_TRUE(prompts.boxes.back().text.contains(home.file("Tornyx.INI")));
}

TEST_F(MainForm, LogViewShowsTheLastAccountAndComesBack) {
    start();
    form->Menu_sendClick(3); // no DNC run yet
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, u(u"DNC送信ﾛｸﾞﾌｧｲﾙが見つかりません｡"));
    EXPECT_FALSE(form->isLogViewOpen());
    EXPECT_TRUE(form->controls().RichEdit1->isVisible());
    EXPECT_TRUE(form->controls().SpeedButton[10]->isEnabled());

    home.write("Tornyx_R.log", sj(u"2026/12/08 10:00:00  受信\r\n2026/12/08 10:00:05  受信完了\r\n"));
    form->Menu_sendClick(2);
    EXPECT_TRUE(form->isLogViewOpen());
    EXPECT_TRUE(form->controls().RichEdit2->isVisible());
    EXPECT_FALSE(form->controls().RichEdit1->isVisible());
    EXPECT_EQ(form->controls().RichEdit2->text(),
              u(u"2026/12/08 10:00:00  受信\n2026/12/08 10:00:05  受信完了\n"));
    EXPECT_TRUE(form->controls().RichEdit2->isReadOnly());
    EXPECT_FALSE(form->controls().SpeedButton[10]->isEnabled()) << "commands are held as during a transfer";
    EXPECT_TRUE(form->controls().Menu_log->menuAction()->isEnabled()) << "but the log menu stays usable";
    EXPECT_FALSE(form->controls().StatusBar2->isVisible()) << "and no transfer bar appears";
    EXPECT_FALSE(form->controls().ComboBox1->isEnabled());

    form->controls().Menu_log_e->trigger();
    EXPECT_FALSE(form->isLogViewOpen());
    EXPECT_TRUE(form->controls().RichEdit1->isVisible());
    EXPECT_FALSE(form->controls().RichEdit2->isVisible());
    EXPECT_TRUE(form->controls().SpeedButton[10]->isEnabled());
    EXPECT_TRUE(form->controls().ComboBox1->isEnabled());
}

TEST_F(MainForm, CompletionMailAfterASendGoesToTheMailCommand) {
    home.write("P.NC", "O1\r\nM30\r\n");
    home.write("Setting.ini", "[Setting1]\r\nMail_Flg=Y\r\nMail_Address=op@shop.example\r\nMail_Subject=" +
                                  sj(u"送信結果") + "\r\n");
    safe.port.deliver("\x11");
    start({home.file("P.NC")});
    form->controls().SpeedButton[10]->click();
    EXPECT_EQ(test::hex(safe.port.written()), "0A CF B1 0A 4D 33 30 0A 0A A5");
    // Timer1 two seconds after the run, the mail a few seconds after that;
    // the mail command runs beside the event loop: wait for the whole text.
    safe.settle([&] { return QString::fromUtf8(home.read("mail.log")).contains(u(u"しました｡")); });
    const QByteArray mail = home.read("mail.log");
    EXPECT_TRUE(mail.contains("To: op@shop.example")) << mail.constData();
    EXPECT_TRUE(mail.contains("Disposition-Notification-To:"));
    EXPECT_TRUE(QString::fromUtf8(mail).contains(u(u"\n送信無事完了しました｡"))) << mail.constData();
    EXPECT_TRUE(QString::fromUtf8(mail).contains(u(u"開始 "))) << "the body starts with the run's start line";
    EXPECT_TRUE(form->controls().SpeedButton[10]->isEnabled());
}

// --- what a failing disk, odd files and odd names must not do -----------------

TEST_F(MainForm, WhatIsNotAFileIsRefusedByEveryRouteAsSendRefusesIt) {
    home.write("A.NC", "O1\r\n");
    QDir(home.path()).mkdir("folder.nc");
    const QString fifo = home.file("fifo.nc");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // A plain path on the command line: a FIFO would block before the window
    // appears.
    start({fifo});
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].kind, Prompts::Error);
    EXPECT_EQ(prompts.boxes[0].text, u(u"呼出ﾃﾞｰﾀ\n") + fifo + u(u"が見つかりません｡"));
    EXPECT_EQ(form->desk().document().path, u(u"無題"));

    form->dropFiles({home.file("A.NC")});
    for (const QString& path : {QString("/dev/zero"), fifo, home.file("folder.nc")}) {
        prompts.boxes.clear();
        form->dropFiles({path});
        form->addRecent(path);
        form->openRecent(1);
        ASSERT_EQ(prompts.boxes.size(), 2u) << path.toStdString();
        for (const auto& box : prompts.boxes) {
            EXPECT_EQ(box.kind, Prompts::Error);
            EXPECT_EQ(box.text, u(u"呼出ﾃﾞｰﾀ\n") + path + u(u"が見つかりません｡"));
        }
        EXPECT_EQ(form->controls().RichEdit1->text(), "O1\n") << "the document stays";
        EXPECT_EQ(form->desk().document().path, home.file("A.NC"));
    }
}

TEST_F(MainForm, ListThatCannotBeEmptiedIsNeverSent) {
    home.write("A.NC", "O1\r\nM30\r\n");
    home.write("Tornyx.INI", ("[Setting]\r\nDirPath=" + home.path() + "\r\n").toLocal8Bit());
    // What cannot be replaced (here a folder in its place) may hold a list
    // from an earlier start.
    QDir(home.path()).mkdir("Tornyx.tmp");
    safe.port.deliver("\x11");
    start({"S01=A.NC", "SE=Y", "END"});
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].kind, Prompts::Error);
    EXPECT_TRUE(prompts.boxes[0].text.startsWith(u(u"送信ﾘｽﾄﾌｧｲﾙを作れません｡送信を中止します｡\n") +
                                                 home.file("Tornyx.tmp")))
        << prompts.boxes[0].text.toStdString();
    EXPECT_EQ(test::hex(safe.port.written()), "") << "nothing is sent";
    EXPECT_FALSE(form->desk().hasOrder());
}

TEST_F(MainForm, ListCutShortByAFullDiskStopsTheOrderAndSendsNothing) {
    QByteArray a;
    for (int i = 1; a.size() < 1500; ++i)
        a += "N" + QByteArray::number(i) + "G01X" + QByteArray::number(i % 97) + ".F100\r\n";
    home.write("A.NC", "O1\r\n" + a);
    home.write("B.NC", "O2\r\nM30\r\n");
    home.write("Tornyx.INI", ("[Setting]\r\nDirPath=" + home.path() + "\r\n").toLocal8Bit());
    safe.port.deliver("\x11");
    {
        test::FileSizeLimit full(a.size() + 10); // A fits, A and B do not
        start({"S01=A.NC", "S02=B.NC", "SE=Y"});
    }
    ASSERT_FALSE(prompts.boxes.empty());
    EXPECT_TRUE(prompts.boxes.back().text.contains(home.file("Tornyx.tmp")));
    EXPECT_EQ(test::hex(safe.port.written()), "");
    EXPECT_EQ(home.read("Tornyx.tmp"), "O1\r\n" + a) << "the list holds whole members only";
}

TEST_F(MainForm, LogThatCannotBeStoredIsReportedAndShownFromMemory) {
    home.write("PROG.NC", "O1\r\nM30\r\n");
    QDir(home.path()).mkdir("Tornyx_S.log"); // cannot be replaced by a file
    safe.port.deliver("\x11");
    testing::internal::CaptureStderr();
    start({home.file("PROG.NC")});
    form->controls().SpeedButton[10]->click();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(u(u"通信ﾛｸﾞを保存できませんでした｡").toStdString()), std::string::npos) << err;
    EXPECT_NE(err.find(home.file("Tornyx_S.log").toStdString()), std::string::npos) << err;
    EXPECT_EQ(form->controls().StatusBar1->text(6), u(u"通信ﾛｸﾞ保存不可"));

    form->Menu_sendClick(1);
    const QString view = form->controls().RichEdit2->text();
    EXPECT_TRUE(view.startsWith(u(u"※通信ﾛｸﾞを保存できませんでした｡ ") + home.file("Tornyx_S.log")))
        << view.toStdString();
    EXPECT_TRUE(view.contains(u(u"  送信完了"))) << "the account of this send, not an old file";
}

TEST_F(MainForm, FolderNameShiftJisCannotHoldStillFindsTheFile) {
    const QString folder = home.file(u(u"Müller"));
    QDir(home.path()).mkdir(u(u"Müller"));
    home.write(u(u"Müller/P.NC"), "O1\r\nM30\r\n");
    // A recent entry with bytes that are no Shift-JIS, as an old file may hold.
    const QByteArray damaged("C:\\NC\\\x81 X\xA0.NC", 13);
    home.write("Tornyx.INI", "[Recent File List]\r\nFile1=" + damaged + "\r\n[Setting]\r\nSetNo=1\r\n");
    start();
    form->openFileAsDocument(folder + "/P.NC");
    closeForm();
    const QByteArray ini = home.read("Tornyx.INI");
    EXPECT_TRUE(ini.contains("DirPath=%UTF-8%")) << ini.constData();
    EXPECT_TRUE(ini.contains("\r\nFile2=" + damaged + "\r\n")) << test::hex(ini).toStdString();

    prompts.boxes.clear();
    safe.port.deliver("\x11");
    start({"S=P.NC", "END"});
    EXPECT_TRUE(prompts.boxes.empty()) << prompts.boxes[0].text.toStdString();
    EXPECT_EQ(form->desk().state().transferPath, folder + "/P.NC");
    EXPECT_EQ(form->desk().options().recentFiles[0], folder + "/P.NC");
    EXPECT_EQ(test::hex(safe.port.written()), "0A CF B1 0A 4D 33 30 0A 0A A5");
}

TEST_F(MainForm, CommandLineSendToTheOspControlNamesTheFileInTheHeader) {
    home.write("PART1.nc", "O1\r\nM30\r\n");
    safe.port.deliver("\x11");
    start({"S=" + home.file("PART1.nc"), "N=11"});
    EXPECT_EQ(form->desk().document().path, home.file("PART1.nc"));
    QByteArray sent = safe.port.written();
    for (char& c : sent)
        c = char(c & 0x7F); // the parity bit aside
    EXPECT_TRUE(sent.startsWith("$PART1.MIN\nO1\nM30\n")) << test::hex(safe.port.written()).toStdString();
}
