// The main window sends to the simulated machine over a real pseudo-terminal:
// toolbar button, serial line, post-transfer step and log file together.
#include "app/TMainForm.h"
#include "platform/TextCodec.h"
#include "status/TransferLog.h"
#include "support/FakePrompts.h"
#include "support/JapaneseText.h"
#include "support/MachineProcess.h"
#include "support/PtyMainForm.h"
#include "support/SafeServices.h"
#include "support/TempHome.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace tornyx;
using test::FakePrompts;
using test::MachineProcess;
using test::TempHome;
using test::u;

namespace {

using MainFormPty = test::PtyMainForm<>;

} // namespace

TEST_F(MainFormPty, SendButtonPutsTheProgramOnTheLine) {
    start({}, "O1\r\nM30\r\n");
    sendAndWait();
    // Raw bytes on the line: LF, O1, M30, end code LF "%", ISO even parity.
    EXPECT_EQ(test::hex(home.read("raw.bin")), "0A CF B1 0A 4D 33 30 0A 0A A5");
    EXPECT_EQ(lastLogLine(), u(u"送信完了"));
    EXPECT_TRUE(form->controls().SpeedButton[10]->isEnabled())
        << "the post-transfer step gave the window back";
    EXPECT_FALSE(form->isModified());
}

TEST_F(MainFormPty, EiaProfileEncodesForTheMachine) {
    start({"--code", "eia"}, "O1\r\nM30\r\n", "Code=1\r\n");
    sendAndWait();
    EXPECT_EQ(test::hex(home.read("raw.bin")), "46 01 80 54 13 20 80 80 0B");
    EXPECT_EQ(lastLogLine(), u(u"送信完了"));
}

TEST_F(MainFormPty, StopButtonEndsTheRunWhileTheWindowStaysLive) {
    QByteArray doc;
    for (int i = 0; i < 200; ++i)
        doc += "G01X" + QByteArray::number(i) + ".Y1.\r\n";
    start({}, "O1\r\n" + doc + "M30\r\n");
    // The button is clicked from the event loop the run keeps pumping.
    QTimer::singleShot(400, form.get(), [this] { form->controls().SpeedButton[13]->click(); });
    sendAndWait();
    EXPECT_TRUE(lastLogLine().startsWith(u(u"送信中止　ｴﾗｰ番号 10"))) << lastLogLine().toStdString();
    EXPECT_LT(home.read("raw.bin").size(), 2000) << "the rest of the program stayed unsent";
    EXPECT_TRUE(form->controls().SpeedButton[10]->isEnabled());
}

TEST_F(MainFormPty, ClosingDuringARunStopsItAndClosesAfterwards) {
    QByteArray doc;
    for (int i = 0; i < 200; ++i)
        doc += "G01X" + QByteArray::number(i) + ".Y1.\r\n";
    start({}, "O1\r\n" + doc + "M30\r\n");
    bool closedAtOnce = true;
    QTimer::singleShot(400, form.get(), [&] {
        form->close();
        closedAtOnce = !form->isVisible();
    });
    form->controls().SpeedButton[10]->click(); // returns when the run has ended
    QElapsedTimer t;
    t.start();
    while (form->isVisible() && t.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(closedAtOnce) << "the window waits for the run's stop path";
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(lastLogLine().startsWith(u(u"送信中止"))) << lastLogLine().toStdString();
    EXPECT_TRUE(QFile::exists(home.file("Tornyx.INI")));
    EXPECT_TRUE(platform::fromSjis(home.read("Tornyx.INI")).contains("SetNo=1")) << "the close steps ran";
}

#include "PickStartProgram.h"

#include <QComboBox>

TEST_F(MainFormPty, DncRunFollowsTheCallOnTheLine) {
    // The machine's DNC buffer (256 bytes, 60 blocks/s) paces the run with
    // XOFF/XON; the main program calls O100 from the same text.
    start({"--mode", "dnc", "--buffer", "256", "--blocks-per-s", "60"},
          "O1 (MAIN)\r\nG00 X1.\r\nM98 P0100\r\n(M98 P100)\r\nM30\r\nO100\r\nX5.\r\nM99\r\n",
          "DNC_Send=1\r\n");
    QElapsedTimer t;
    t.start();
    while (form->controls().ComboBox1->count() < 2 && t.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(form->controls().ComboBox1->count(), 2);
    // The set-up dialog comes up modally inside the run: choose O1 and start.
    test::pickStartProgramWhenShown(form.get(), 0);
    sendAndWait();
    // ISO with even parity on the line: the text is the low seven bits.
    QByteArray text = home.read("raw.bin");
    for (char& c : text)
        c = char(c & 0x7f);
    EXPECT_EQ(text.toStdString(), "\nO1 (MAIN)\nG00 X1.\nX5.\n(M98 P100)\nM30\n\n%");
    const QString log = platform::fromSjis(home.read("Tornyx_D.log"));
    EXPECT_TRUE(log.contains(u(u"  DNC送信完了"))) << log.toStdString();
    EXPECT_TRUE(form->controls().SpeedButton[10]->isEnabled());
}

TEST_F(MainFormPty, ClosingDuringADncRunStopsItAndClosesAfterwards) {
    QByteArray doc = "O1\r\n";
    for (int i = 0; i < 300; ++i)
        doc += "G01X" + QByteArray::number(i) + ".Y1.\r\n";
    start({"--mode", "dnc", "--buffer", "256", "--blocks-per-s", "60"}, doc + "M30\r\n", "DNC_Send=1\r\n");
    QElapsedTimer t;
    t.start();
    while (form->controls().ComboBox1->count() < 1 && t.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    test::pickStartProgramWhenShown(
        form.get(), 0, [this] { QTimer::singleShot(600, form.get(), [this] { form->close(); }); });
    form->controls().SpeedButton[10]->click(); // returns when the run has ended
    EXPECT_TRUE(form->isVisible()) << "the window waits for the run's stop path";
    while (form->isVisible() && t.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(form->isVisible());
    const QString log = platform::fromSjis(home.read("Tornyx_D.log"));
    EXPECT_TRUE(log.contains(u(u"送信中止　ｴﾗｰ番号 30"))) << log.toStdString();
    EXPECT_LT(home.read("raw.bin").size(), 2000) << "the rest of the program stayed unsent";
}

TEST_F(MainFormPty, ReceiveButtonStoresWhatTheMachinePunchesAndLoadsIt) {
    home.write("tape.nc", "O1234\r\nG01X10.Y-5.\r\nM30\r\n");
    start({"--mode", "punch", "--leader", "10", "--frame", "--input", home.file("tape.nc"), "--start-delay",
           "300"},
          "", "");
    home.write("Setting.ini", "[Read1]\r\nSpeed=5\r\n");
    form->LoadProfile(1);
    prompts.fileNames = {home.file("IN.NC")};
    form->controls().SpeedButton[9]->click(); // returns when the receive has ended
    QElapsedTimer t;
    t.start();
    while (form->desk().document().path != home.file("IN.NC") && t.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    // Blanks between the words (the profile's default), CR LF in the file.
    EXPECT_EQ(home.read("IN.NC"), QByteArray("O1234\r\nG01 X10. Y-5.\r\nM30\r\n"));
    EXPECT_EQ(form->controls().RichEdit1->text(), "O1234\nG01 X10. Y-5.\nM30\n");
    EXPECT_EQ(form->desk().document().path, home.file("IN.NC"));
    EXPECT_TRUE(form->controls().SpeedButton[9]->isEnabled());
}

#include "receive/ui/TReadForm.h"

#include <QDir>
#include <QListWidget>
#include <QPushButton>

namespace {

// ISO code on the line: even parity in the eighth bit.
QByteArray isoEven(const QByteArray& text) {
    QByteArray out;
    for (char c : text)
        out += char(__builtin_parity(static_cast<unsigned char>(c)) ? c | 0x80 : c);
    return out;
}

} // namespace

TEST_F(MainFormPty, SelectiveSendLeavesTheUntickedProgramOffTheLine) {
    start({}, "O1\r\nG01X1.\r\nO2\r\nG01X2.\r\nO3\r\nM30\r\n");
    ASSERT_TRUE(safe.settle([this] { return form->firstIdleDone(); }));
    form->desk().options().setOn(Opt::SelectPrograms, true);
    form->controls().SpeedButton[10]->click();
    auto* dlg = form->findChild<TReadForm*>();
    ASSERT_TRUE(dlg && dlg->isVisible());
    ASSERT_EQ(dlg->CheckListBox1->count(), 3);
    dlg->CheckListBox1->item(1)->setCheckState(Qt::Unchecked);
    dlg->Button5->click(); // returns when the run has ended
    QElapsedTimer t;
    t.start();
    while (!form->controls().SpeedButton[10]->isEnabled() && t.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(test::hex(home.read("raw.bin")), test::hex(isoEven("\nO1\nG01X1.\nO3\nM30\n\n%")));
    EXPECT_EQ(lastLogLine(), u(u"送信完了"));
    const QString log = platform::fromSjis(home.read("Tornyx_S.log"));
    EXPECT_TRUE(log.contains(u(u"  ﾌﾟﾛｸﾞﾗﾑ番号選択で送信\r\n"))) << log.toStdString();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(form->isEnabled());
}

TEST_F(MainFormPty, AReceivedTapeOpensTheSplitWhenTheOptionAsks) {
    home.write("tape.nc", "O1234(A)\r\nG01X10.\r\nM30\r\nO5678\r\nG00X0\r\nM30\r\n");
    start({"--mode", "punch", "--leader", "10", "--frame", "--input", home.file("tape.nc"), "--start-delay",
           "300"},
          "", "");
    home.write("Setting.ini", "[Read1]\r\nSpeed=5\r\n");
    form->LoadProfile(1);
    form->desk().options().setOn(Opt::SplitAfterReceive, true);
    prompts.fileNames = {home.file("IN.NC")};
    form->controls().SpeedButton[9]->click(); // returns when the receive has ended
    auto* dlg = form->findChild<TReadForm*>();
    ASSERT_NE(dlg, nullptr);
    QElapsedTimer t;
    t.start();
    while (!dlg->isVisible() && t.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->mode(), TReadForm::Mode::Split);
    EXPECT_EQ(form->desk().document().path, home.file("IN.NC")) << "the received program is in the editor";
    ASSERT_EQ(dlg->CheckListBox1->count(), 2);
    EXPECT_EQ(dlg->CheckListBox1->item(1)->text(), "00004-O5678");
    EXPECT_FALSE(form->isEnabled());

    const QString folder = home.file("split");
    QDir().mkpath(folder);
    prompts.fileNames = {folder};
    dlg->Button1->click();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name), (QStringList{"O1234.NC", "O5678.NC"}));
    QFile f(folder + "/O5678.NC");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "O5678\r\nG00 X0\r\nM30\r\n");
    EXPECT_TRUE(form->isEnabled());
}
