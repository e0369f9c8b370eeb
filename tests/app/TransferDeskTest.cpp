// The transfer desk without a window: what the buttons and the command line
// start, and what happens around a run on the injected clock (the
// post-transfer step, the remaining-time ticks, the mail, closing the
// program after an END order).
#include "app/TransferDesk.h"

#include "platform/TextCodec.h"
#include "support/EmulatedDesk.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

using namespace tornyx;
using namespace tornyx::test;

namespace {

struct Desk : ::testing::Test, EmulatedDesk {

    Desk() {
        CommProfile& p = desk.profiles()[1];
        p.send.signal = 1; // the operator confirms the start
        p.send.code = 2;   // ASCII
        p.read.code = 1;
        p.read.signal = 1;
        desk.document().path = home.file("P.NC");
    }
    // The window's heartbeat: onTimer while the desk asks for it, with the
    // clock moved on by ms.
    void pass(std::int64_t ms) {
        clock.sleepUs(ms * 1000);
        if (win.ticking)
            desk.onTimer();
    }
    QString log() const { return desk.session().log().text(); }
};

} // namespace

TEST_F(Desk, PostTransferStepTwoSecondsAfterASendThenTheMail) {
    CommProfile& p = desk.profiles()[1];
    p.setting.mailFlg = "Y";
    p.setting.mailAddress = "foreman@example.com";
    desk.sendPressed(false);
    ASSERT_TRUE(desk.state().success);
    EXPECT_FALSE(win.editing) << "the window stays held until the step";
    EXPECT_TRUE(win.ticking);
    pass(1900);
    EXPECT_FALSE(win.editing);
    pass(200);
    EXPECT_TRUE(win.editing) << "commands back two seconds after the run";
    EXPECT_EQ(win.runControls, false);
    EXPECT_EQ(win.inhibited, false);
    EXPECT_FALSE(win.stepButton);
    EXPECT_TRUE(win.contextMenu);
    EXPECT_EQ(win.progressBarsRemoved, 1);
    EXPECT_FALSE(desk.state().running);
    EXPECT_FALSE(QFile::exists(home.file("mail.log"))) << "the mail waits a few seconds";
    pass(5000);
    QElapsedTimer t;
    t.start();
    while (!home.read("mail.log").contains("foreman") && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(home.read("mail.log").contains("To: foreman@example.com"));
    EXPECT_FALSE(win.ticking) << "nothing left to time";
}

TEST_F(Desk, RemainingTimeTicksEveryTenSecondsWhileDataFlows) {
    desk.profiles()[1].send.speed = 0; // 1200 bit/s: 120 characters a second
    win.lines.clear();
    for (int i = 0; i < 400; ++i)
        win.lines << "G01X" + QByteArray::number(i) + "Y1.";
    QStringList estimates;
    lineHost.onPump = [&](int) {
        if (win.ticking)
            desk.onTimer();
        if (desk.state().counters.remainingSeconds > 0)
            estimates << win.panels[1];
    };
    desk.sendPressed(false);
    ASSERT_TRUE(desk.state().success);
    ASSERT_FALSE(estimates.isEmpty()) << "no estimate in a run of about a minute";
    EXPECT_FALSE(estimates.filter(QStringLiteral(u"(約")).isEmpty()) << estimates.join('|').toStdString();
    EXPECT_FALSE(desk.state().estimating);
}

TEST_F(Desk, ReceiveLoadsTheFileAndOpensTheSplitWithTheOption) {
    desk.options().setOn(Opt::SplitAfterReceive, true);
    win.receiveFile = home.file("IN.NC");
    port.deliver("%\nO7\nM30\n%\n");
    desk.receivePressed(false);
    pass(2100);
    EXPECT_EQ(win.loadedFiles, QStringList{home.file("IN.NC")});
    EXPECT_EQ(win.splitOpened, 1);
    EXPECT_TRUE(desk.programs().isExtractionScheduled()) << "the list follows the received text";
    EXPECT_FALSE(QFile::exists(home.file("mail.log"))) << "no mail after a receive";
    EXPECT_EQ(win.newDocuments, 0);
}

TEST_F(Desk, StoppedReceiveLeavesANewDocumentAndLoadsNothing) {
    win.receiveFile = home.file("IN.NC");
    lineHost.onPump = [&](int n) {
        if (n == 20)
            desk.stopPressed();
    };
    desk.receivePressed(false);
    EXPECT_EQ(win.newDocuments, 1);
    pass(2100);
    EXPECT_TRUE(win.loadedFiles.isEmpty());
    EXPECT_TRUE(win.editing);
}

TEST_F(Desk, EndOrderClosesAndPowersOffOnlyAfterACompletedTransfer) {
    desk.options().setOn(Opt::PowerOff, true);
    CommandLineState order;
    order.autoReceiveRequest = 'Y';
    order.transferPath = home.file("IN.NC");
    order.exitAfterTransfer = true;
    desk.setOrder(order);
    port.deliver("%\nO7\n%\n");
    desk.firstIdle();
    EXPECT_EQ(win.closes, 1);
    EXPECT_TRUE(waitForFile(home.file("shutdown.log")));
    EXPECT_EQ(platform::fromSjis(home.read("IN.NC")), "O7\r\n");
}

TEST_F(Desk, StoppedSendWithEndKeepsTheProgramOpen) {
    CommandLineState order;
    order.autoSendRequest = 'Y';
    order.exitAfterTransfer = true;
    desk.setOrder(order);
    lineHost.answers = {LineHost::Answer::No}; // not ready: the send stops
    desk.firstIdle();
    EXPECT_FALSE(desk.state().success);
    EXPECT_EQ(win.closes, 0);
    EXPECT_FALSE(QFile::exists(home.file("shutdown.log")));
}

TEST_F(Desk, ClosingDuringAReceiveWaitsForItsEnd) {
    win.receiveFile = home.file("IN.NC");
    bool runningAtClose = true;
    win.onClose = [&] { runningAtClose = desk.isRunning(); };
    lineHost.onPump = [&](int n) {
        if (n == 10) {
            EXPECT_TRUE(desk.requestClose());
        }
    };
    desk.receivePressed(false);
    EXPECT_EQ(win.closes, 1);
    EXPECT_FALSE(runningAtClose);
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(desk.requestClose()) << "no run: the window may close at once";
}

// A DNC run ordered on the command line: the program list is built before
// the send looks at it, so the order is not refused as "still extracting".
TEST_F(Desk, CommandLineDncOrderBuildsTheProgramListFirst) {
    desk.profiles()[1].send.dncSend = 1;
    win.lines = {"O1", "G01X1.", "M30"};
    desk.programs().scheduleExtraction(1); // as right after the load
    win.onExtractIndex = [&] {
        desk.programs().extractionStarted();
        desk.programs().setEntries({"00001-O1"});
        desk.programs().extractionDone();
    };
    CommandLineState order;
    order.autoSendRequest = 'Y';
    desk.setOrder(order);
    desk.firstIdle();
    EXPECT_EQ(win.indexBuilds, 1);
    EXPECT_EQ(win.dncAsks, 1) << "the DNC run started";
    EXPECT_FALSE(lineHost.texts().join('|').contains(QStringLiteral(u"抽出中")));
    EXPECT_TRUE(desk.state().success);
}

TEST_F(Desk, SendOpensAFileIntoAnEmptyEditorAndSendsItUnderItsName) {
    win.lines.clear();
    desk.document().path = QStringLiteral(u"無題");
    win.onOpenFile = [&] {
        win.lines = {"O1", "M30"};
        desk.document().path = home.file("PART7.NC");
    };
    desk.sendPressed(false);
    EXPECT_EQ(win.openFileCalls, 1);
    EXPECT_TRUE(log().contains(QStringLiteral(u"  送信ﾌｧｲﾙ名は") + home.file("PART7.NC")))
        << "the file opened by Send is the one logged, not the untitled document";
}
