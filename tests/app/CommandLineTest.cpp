#include "app/CommandLine.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <set>

using namespace tornyx;

namespace {

// Records what the rules ask of the window; files "exist" when listed.
class FakeHost : public CommandLineHost {
public:
    std::set<QString> files;
    bool answerYes = true;
    QStringList log;

    bool fileExists(const QString& p) override { return files.count(p) > 0; }
    void errorBox(const QString& t) override { log << "error:" + t; }
    bool warningQuestion(const QString& t) override {
        log << "question:" + t;
        return answerYes;
    }
    QString failAppendOf; // this member cannot be added to the list
    bool appendToTransferList(const QString& p, QString* error) override {
        log << "append:" + p;
        if (p != failAppendOf)
            return true;
        *error = "/home/op/.tornyx/Tornyx.tmp: write failed (No space left on device)";
        return false;
    }
    void loadForSend(const QString& p) override { log << "send:" + p; }
    void openPlainPath(const QString& p) override { log << "open:" + p; }
};

struct CommandLineTest : ::testing::Test {
    FakeHost host;
    CommandLineState st;
    const QString tmp = "/home/op/.tornyx/Tornyx.tmp";
    void SetUp() override { st.lastFolder = "/nc"; }
    void run(const QStringList& args) { processCommandLine(args, st, host, tmp); }
};

} // namespace

TEST_F(CommandLineTest, SendOneFileFromLastFolderOrFullPath) {
    host.files = {"/nc/PROG.NC", "/x/P.NC"};
    run({"S=PROG.NC"});
    EXPECT_EQ(st.transferPath, "/nc/PROG.NC");
    EXPECT_EQ(st.autoSendRequest, 'Y');
    EXPECT_EQ(host.log, QStringList{"send:/nc/PROG.NC"});

    CommandLineState fresh;
    st = fresh;
    st.lastFolder = "/nc";
    host.log.clear();
    run({"s=/x/P.NC"});
    EXPECT_EQ(st.transferPath, "/x/P.NC");
    EXPECT_EQ(st.autoSendRequest, 'Y');
}

TEST_F(CommandLineTest, SwitchSlashBeforeMarkerIsDroppedButPathSlashesStay) {
    host.files = {"/nc/PROG.NC"};
    run({"/S=PROG.NC", "/END"});
    EXPECT_EQ(st.transferPath, "/nc/PROG.NC");
    EXPECT_EQ(st.autoSendRequest, 'Y');
    EXPECT_TRUE(st.exitAfterTransfer);
    EXPECT_FALSE(st.commandLineOpened) << "/END is a switch, not a path";
}

TEST_F(CommandLineTest, MissingSendFileShowsTheErrorAndOrdersNothing) {
    run({"S=NONE.NC"});
    EXPECT_EQ(st.autoSendRequest, 'N');
    EXPECT_EQ(host.log, QStringList{QString::fromUtf16(u"error:送信ﾃﾞｰﾀ\n/nc/NONE.NCが見つかりません｡")});
}

TEST_F(CommandLineTest, OnlyOneTransferIsOrdered) {
    host.files = {"/nc/A.NC", "/nc/B.NC"};
    run({"S=A.NC", "R=B.NC"});
    EXPECT_EQ(st.autoSendRequest, 'Y');
    EXPECT_EQ(st.autoReceiveRequest, 'N');
    EXPECT_EQ(st.transferPath, "/nc/A.NC");
    EXPECT_EQ(host.log.size(), 1);
}

TEST_F(CommandLineTest, ReceiveIntoExistingFileAsksFirst) {
    host.files = {"/nc/IN.NC"};
    host.answerYes = false;
    run({"R=IN.NC"});
    EXPECT_EQ(st.autoReceiveRequest, 'N');
    EXPECT_EQ(host.log,
              QStringList{QString::fromUtf16(u"question:すでに/nc/IN.NCが有ります｡\n上書きしますか？")});

    host.answerYes = true;
    run({"R=IN.NC"});
    EXPECT_EQ(st.autoReceiveRequest, 'Y');

    CommandLineState fresh;
    st = fresh;
    run({"R=/data/NEW.NC"});
    EXPECT_EQ(st.autoReceiveRequest, 'Y');
    EXPECT_EQ(st.transferPath, "/data/NEW.NC");
}

TEST_F(CommandLineTest, MultiFileSendCollectsThenSendsTheList) {
    host.files = {"/nc/A.NC", "/nc/B.NC", tmp};
    run({"S01=A.NC", "S02=B.NC", "SE=Y", "N=2"});
    EXPECT_EQ(host.log, (QStringList{"append:/nc/A.NC", "append:/nc/B.NC", "send:" + tmp}));
    EXPECT_EQ(st.transferPath, tmp);
    EXPECT_EQ(st.autoSendRequest, 'Y');
    EXPECT_EQ(st.activeProfile, 2);
}

TEST_F(CommandLineTest, MissingListMemberWarnsAndLaterMembersStillCollect) {
    host.files = {"/nc/B.NC"};
    run({"S01=A.NC", "S02=B.NC"});
    ASSERT_EQ(host.log.size(), 2);
    EXPECT_TRUE(host.log[0].startsWith("error:"));
    EXPECT_EQ(host.log[1], "append:/nc/B.NC");
}

TEST_F(CommandLineTest, ListThatCannotBeWrittenStopsTheOrderWithOneBoxAndSendsNothing) {
    host.files = {"/nc/A.NC", "/nc/B.NC", "/nc/C.NC", tmp};
    host.failAppendOf = "/nc/B.NC";
    run({"S01=A.NC", "S02=B.NC", "S03=C.NC", "SE=Y", "END"});
    ASSERT_EQ(host.log.size(), 3) << host.log.join(" | ").toStdString();
    EXPECT_EQ(host.log[0], "append:/nc/A.NC");
    EXPECT_EQ(host.log[1], "append:/nc/B.NC");
    EXPECT_EQ(host.log[2],
              "error:" + transferListFailedText(
                             "/home/op/.tornyx/Tornyx.tmp: write failed (No space left on device)"));
    EXPECT_EQ(st.autoSendRequest, 'N');
    EXPECT_TRUE(st.exitAfterTransfer);
}

TEST_F(CommandLineTest, ListLeftFromAnEarlierStartIsNeverSent) {
    host.files = {"/nc/A.NC", "/nc/P.NC", tmp};
    st.transferListError = tmp + ": cannot create a file in its folder (Permission denied)";
    run({"S01=A.NC", "SE=Y"});
    EXPECT_EQ(host.log, QStringList{"error:" + transferListFailedText(st.transferListError)});
    EXPECT_EQ(st.autoSendRequest, 'N');

    // A single-file send does not need the list.
    host.log.clear();
    run({"S=P.NC"});
    EXPECT_EQ(host.log, QStringList{"send:/nc/P.NC"});
    EXPECT_EQ(st.autoSendRequest, 'Y');
}

TEST_F(CommandLineTest, ProfileNumbers) {
    run({"N=13"});
    EXPECT_EQ(st.activeProfile, 1);
    run({"N=0"});
    EXPECT_EQ(st.activeProfile, 1);
    EXPECT_EQ(host.log, (QStringList{QString::fromUtf16(u"error:通信設定番号\n13は存在しません｡"),
                                     QString::fromUtf16(u"error:通信設定番号\n0は存在しません｡")}));
    run({"N=12"});
    EXPECT_EQ(st.activeProfile, 12);
    run({"/N=3"});
    EXPECT_EQ(st.activeProfile, 3);
    EXPECT_FALSE(st.exitAfterTransfer);
    host.log.clear();
    run({"N=abc"});
    EXPECT_EQ(st.activeProfile, 3);
    EXPECT_EQ(host.log.size(), 1);
}

TEST_F(CommandLineTest, EndAloneAndLongerWordsContainingEnd) {
    run({"ENDXX"});
    EXPECT_FALSE(st.exitAfterTransfer);
    EXPECT_TRUE(host.log.isEmpty());
    run({"end"});
    EXPECT_TRUE(st.exitAfterTransfer);
    EXPECT_EQ(st.autoSendRequest, 'N');
}

TEST_F(CommandLineTest, PlainPathOpensOnceAndReplacesAfterASend) {
    host.files = {"/nc/A.NC"};
    run({"S=A.NC", "/home/op/SEND.NC", "/home/op/second.nc"});
    EXPECT_EQ(host.log, (QStringList{"send:/nc/A.NC", "open:/home/op/SEND.NC"}));
    EXPECT_TRUE(st.commandLineOpened);
    EXPECT_EQ(st.autoSendRequest, 'Y');
}

TEST_F(CommandLineTest, AnExistingFullPathIsOpenedWhateverMarkersItsNameHolds) {
    host.files = {"/nc/PARTS=2.NC", "/nc/PART2.NC", "/nc/PARTS01=A.NC", "/nc/A.NC", "/nc/OUTR=1.NC"};
    run({"/nc/PARTS=2.NC", "/nc/PARTS01=A.NC", "/nc/OUTR=1.NC"});
    EXPECT_EQ(host.log, QStringList{"open:/nc/PARTS=2.NC"});
    EXPECT_EQ(st.transferPath, "/nc/PARTS=2.NC");
    EXPECT_FALSE(st.requestPending()) << "nothing is sent or received";

    // A path that does not exist keeps its markers' meaning.
    st = CommandLineState{};
    st.lastFolder = "/nc";
    host.log.clear();
    run({"/nc/PARTS=3.NC"});
    EXPECT_EQ(host.log, QStringList{"error:" + sendDataMissingText("/nc/PART3.NC")});
}

TEST_F(CommandLineTest, ArgumentsOfAnyShapeNeverBreakTheRules) {
    QStringList junk = {"",
                        "=",
                        "/",
                        "//",
                        "S=",
                        "R=",
                        "N=",
                        "SE=Y",
                        "S01=",
                        QString(100000, 'S'),
                        QString::fromUtf16(u"S=日本語.NC"),
                        "N=99999999999999999999",
                        "\x01\x02"};
    run(junk);
    EXPECT_EQ(st.activeProfile, 1);
    EXPECT_EQ(st.autoSendRequest, 'N');
}
