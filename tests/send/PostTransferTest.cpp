#include "send/PostTransfer.h"
#include "send/SendRun.h"

#include "platform/TextCodec.h"

#include "send/SendFakes.h"
#include "support/EmulatedSerialPort.h"
#include "support/FakeClock.h"
#include "support/QtPrinters.h"
#include "support/TempHome.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace tornyx;
using namespace tornyx::test;

namespace {

class FakePostHost : public PostTransferHost {
public:
    QStringList calls;
    std::vector<platform::MailMessage> mails;
    std::function<void(const platform::MailMessage&)> onMail;

    void stopTimer1() override { calls << "stopTimer1"; }
    void setTransferPanel(int i, const QString& t) override { calls << QString("panel%1=%2").arg(i).arg(t); }
    void closeSelectionDialog() override { calls << "closeSelection"; }
    void enableCommands() override { calls << "enable"; }
    void loadReceivedFile(const QString& p) override { calls << "load " + p; }
    void openSplitSave() override { calls << "split"; }
    void showProgramControls() override { calls << "programControls"; }
    void scheduleIndexRebuild(int ms) override { calls << QString("index %1").arg(ms); }
    void setScreenSaverInhibited(bool i) override { calls << (i ? "saverOff" : "saverOn"); }
    void setStepButtonEnabled(bool e) override { calls << (e ? "stepOn" : "stepOff"); }
    void setEditorContextMenuEnabled(bool e) override { calls << (e ? "menuOn" : "menuOff"); }
    void destroyProgressBar() override { calls << "dropProgress"; }
    void sendCompletionMail(const platform::MailMessage& m) override {
        mails.push_back(m);
        if (onMail)
            onMail(m);
    }
};

CommProfile mailingProfile() {
    CommProfile p = defaultProfile(1);
    p.setting.mailFlg = "Y";
    p.setting.mailAddress = "foreman@example.com";
    p.setting.mailSubject = QStringLiteral(u"送信結果");
    return p;
}

// A send that has ended (TransferState holds atomics: filled in place).
struct SendState : TransferState {
    SendState(bool ok, bool sent) { fill(ok, sent); }
    void fill(bool ok, bool sent);
};
void SendState::fill(bool success, bool dataSent) {
    TransferState& s = *this;
    s.success = success;
    s.dataSent = dataSent;
    s.running = true;
    s.startLine = QStringLiteral(u"開始 2010/07/09 12:05:33\n");
}

} // namespace

TEST(CompletionMail, BodyTellsHowTheSendEnded) {
    const CommProfile p = mailingProfile();
    const auto ok = completionMail(SendState(true, true), p.setting, "2010/07/09 12:07:01");
    ASSERT_TRUE(ok.has_value());
    EXPECT_EQ(ok->body,
              QStringLiteral(u"開始 2010/07/09 12:05:33\n終了 2010/07/09 12:07:01\n送信無事完了しました｡"));
    EXPECT_EQ(ok->to, "foreman@example.com");
    EXPECT_EQ(ok->subject, QStringLiteral(u"送信結果"));
    EXPECT_EQ(ok->fromName, QStringLiteral(u"testです"));
    EXPECT_TRUE(ok->readReceipt);
    const auto stopped = completionMail(SendState(false, true), p.setting, "2010/07/09 12:07:01");
    ASSERT_TRUE(stopped.has_value());
    EXPECT_TRUE(stopped->body.endsWith(QStringLiteral(u"\n送信中断しました｡")));
}

TEST(CompletionMail, OnlyWhenAskedForAndDataWasSent) {
    CommProfile p = mailingProfile();
    EXPECT_FALSE(completionMail(SendState(false, false), p.setting, "x")) << "stopped before any data";
    SendState receive(true, true);
    receive.receivedPending = true;
    EXPECT_FALSE(completionMail(receive, p.setting, "x")) << "no mail after a receive";
    p.setting.mailAddress = "foreman.example.com";
    EXPECT_FALSE(completionMail(SendState(true, true), p.setting, "x")) << "address without @";
    p.setting.mailAddress = "foreman@example.com";
    p.setting.mailFlg = "y";
    EXPECT_FALSE(completionMail(SendState(true, true), p.setting, "x")) << "only exactly Y";
}

TEST(PostTransferStep, AfterASendReleasesTheWindowAndMails) {
    FakePostHost host;
    SendState s(true, true);
    s.stepFlag = true;
    runPostTransfer(host, s, mailingProfile(), {true, false}, "2010/07/09 12:07:01");
    EXPECT_EQ(host.calls.join(","),
              "panel6=,panel2=,stopTimer1,closeSelection,enable,saverOn,programControls,stepOff,"
              "menuOn,dropProgress");
    EXPECT_EQ(host.mails.size(), 1u);
    EXPECT_FALSE(s.running);
    EXPECT_FALSE(s.stepFlag);
}

TEST(PostTransferStep, AfterAReceiveLoadsThenOffersTheSplit) {
    FakePostHost host;
    SendState s(true, true);
    s.receivedPending = true;
    s.transferPath = "/work/in/O0001.nc";
    CommProfile dnc = mailingProfile();
    dnc.send.dncSend = 1;
    runPostTransfer(host, s, dnc, {false, true}, "x");
    EXPECT_EQ(host.calls.join(","),
              "panel6=,panel2=,stopTimer1,enable,load /work/in/O0001.nc,split,programControls,"
              "index 100,saverOn,stepOff,menuOn")
        << "a DNC profile keeps its elapsed-time panel";
    EXPECT_TRUE(host.mails.empty());
}

// A whole send, stopped by the operator after some data, then the post-
// transfer step handing its mail to a stand-in sendmail.
TEST(PostTransferStep, StandInSendmailGetsTheStoppedSendsMail) {
    TempHome home;
    const QString script = home.file("sendmail");
    {
        QFile f(script);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\ncat > \"$0.stdin\"\n");
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    FakeClock clock;
    EmulatedSerialPort port(clock);
    ScriptedLineHost lineHost;
    TransferSession session(port, lineHost, clock);
    session.setPortResolver([](const QString&) { return QStringLiteral("/dev/emulated"); });
    session.log().setFolder(home.path());
    FakeEditor editor({"O1", "G0X1", "M30"});
    FakeSendHost sendHost;
    TransferState state;
    SendRun run(session, editor, sendHost, state);
    SendContext ctx;
    ctx.profile = mailingProfile();
    ctx.profile.send.signal = 1;
    ctx.documentPath = "/work/O1.nc";
    port.onWrite = [&](unsigned char, std::int64_t) {
        if (port.written().size() == 5)
            run.StopPressed();
    };
    run.SendButtonPressed(1, ctx);
    ASSERT_EQ(sendHost.timer1Starts, 1);

    FakePostHost post;
    platform::SystemCommands commands;
    commands.mail = script + " -t -oi";
    commands.mailFrom = "cell7@example.com";
    post.onMail = [&](const platform::MailMessage& m) {
        EXPECT_TRUE(platform::sendMail(commands, m, 10000));
    };
    runPostTransfer(post, state, ctx.profile, {}, session.log().stamp());
    const QString mail = QString::fromUtf8(home.read("sendmail.stdin"));
    EXPECT_TRUE(mail.contains(QStringLiteral(u"\n送信中断しました｡"))) << mail.toStdString();
    EXPECT_TRUE(mail.contains(QStringLiteral(u"開始 "))) << mail.toStdString();
    EXPECT_TRUE(mail.contains("To: foreman@example.com\n"));
}
