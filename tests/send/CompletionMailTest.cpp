#include "send/PostTransfer.h"

#include <gtest/gtest.h>

using namespace tornyx;

namespace {

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
