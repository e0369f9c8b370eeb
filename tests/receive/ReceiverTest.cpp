#include "receive/Receiver.h"

#include "receive/ReceiveRig.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace tornyx;
using tornyx::test::iso;
using tornyx::test::ReceiveRig;

namespace {

struct StartRig : ReceiveRig {
    Receiver receiver{session, host, host, programs, state, host};
    Receiver::Request request;
    StartRig() {
        request.profile = setup.profile;
        host.working = home.path();
        host.receiveFile = home.file("button.nc");
        stream = iso("%\nO9\n%\n");
    }
};

} // namespace

TEST(Receiver, ButtonAsksForTheFileThenReceivesIntoIt) {
    StartRig r;
    const std::optional<ReceiveResult> res = r.receiver.receiveButtonClicked(r.request, true);
    ASSERT_TRUE(res);
    EXPECT_EQ(ReceiveRig::file(r.home.file("button.nc")), "O9\r\n");
    EXPECT_TRUE(r.state.exitAfterTransfer) << "Shift held on the button";
    EXPECT_EQ(r.host.dialogTitle, "受信ﾃﾞｰﾀ名");
    EXPECT_EQ(r.host.calls.mid(0, 5).join(","),
              "askSave,prepareTransferBar,chooseReceiveFile,enterTransferMode,clearBreakpoint");
    EXPECT_EQ(r.host.captionMode, 6);
    const QStringList log = r.log();
    ASSERT_GE(log.size(), 3);
    EXPECT_EQ(log.mid(0, 3).join(" / ").toStdString(),
              ("  受信 /   標準で受信設定開始 /   受信ﾌｧｲﾙ名は" + r.home.file("button.nc")).toStdString());
}

TEST(Receiver, NothingHappensWhenTheDialogIsCancelled) {
    StartRig r;
    r.host.receiveFile.reset();
    EXPECT_FALSE(r.receiver.receiveButtonClicked(r.request, true));
    EXPECT_FALSE(r.host.calls.contains("enterTransferMode"));
    EXPECT_EQ(r.port.openCount(), 0);
    EXPECT_FALSE(r.state.exitAfterTransfer) << "Shift on a receive that never started closes nothing";
}

TEST(Receiver, MissingProfileFolderIsReportedAndTheWorkingFolderOffered) {
    StartRig r;
    r.request.profile.setting.dirPathSub = r.home.file("gone");
    r.host.receiveFile.reset();
    r.receiver.receiveButtonClicked(r.request, false);
    EXPECT_EQ(r.messages(), "設定ﾌｫﾙﾀﾞ\n" + r.home.file("gone") + "が見つかりません｡");
    EXPECT_EQ(r.host.dialogFolder, r.home.path());

    StartRig ok;
    QDir().mkpath(ok.home.file("sub"));
    ok.request.profile.setting.dirPathSub = ok.home.file("sub");
    ok.host.receiveFile.reset();
    ok.receiver.receiveButtonClicked(ok.request, false);
    EXPECT_EQ(ok.messages(), "");
    EXPECT_EQ(ok.host.dialogFolder, ok.home.file("sub"));
}

TEST(Receiver, OspButtonChoosesAFolderAndStoresUnderTheReceivedName) {
    StartRig r;
    r.request.profileNumber = 11;
    const QString folder = r.home.file("osp");
    QDir().mkpath(folder);
    r.host.folder = folder + "/";
    r.stream = iso("$O55%\nG1\n%\n");
    const std::optional<ReceiveResult> res = r.receiver.receiveButtonClicked(r.request, false);
    ASSERT_TRUE(res);
    EXPECT_EQ(r.host.folderCaption, "現ﾃﾞｨﾚｸﾄﾘ " + r.home.path());
    EXPECT_EQ(r.host.working, folder);
    EXPECT_EQ(r.host.saveDialogName, folder + "/osp_data.tmp");
    EXPECT_EQ(res->receiveFile, folder + "/O55.MIN");
    EXPECT_EQ(ReceiveRig::file(folder + "/O55.MIN"), "G1\r\n");
    EXPECT_TRUE(r.logHas("  OSP専用で受信設定開始"));
    EXPECT_TRUE(r.logHas("  受信ﾌｧｲﾙ名はNC装置から取得"));
    EXPECT_TRUE(r.logHas("  受信ﾌｧｲﾙ保存先は" + folder));
}

TEST(Receiver, CommandLineReceiveRunsWithoutDialog) {
    StartRig r;
    const QString file = r.home.file("cmd.nc");
    const ReceiveResult res = r.receiver.orderedReceive(r.request, file);
    EXPECT_TRUE(res.receivedPending);
    EXPECT_EQ(ReceiveRig::file(file), "O9\r\n");
    EXPECT_FALSE(r.host.calls.contains("chooseReceiveFile"));
    EXPECT_EQ(r.host.saveDialogName, file);

    StartRig o;
    o.request.profileNumber = 12;
    o.stream = iso("%\nG2\n%\n");
    const ReceiveResult osp = o.receiver.orderedReceive(o.request, o.home.path());
    EXPECT_EQ(osp.receiveFile, o.home.path() + "/osp_data.tmp");
    EXPECT_EQ(o.host.caption, "full:" + o.home.path() + "/osp_data.tmp");
    EXPECT_EQ(ReceiveRig::file(osp.receiveFile), "%\r\nG2\r\n");
}
