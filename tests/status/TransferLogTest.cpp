#include "status/TransferLog.h"

#include "support/DiskFaults.h"
#include "support/QtPrinters.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QTimeZone>

#include <sys/stat.h>

#include <gtest/gtest.h>

using tornyx::TransferLog;
using tornyx::test::hex;
using tornyx::test::TempHome;

namespace {

// A clock that advances one second per reading, starting at 2010-07-09 12:05:33.
struct StepClock {
    QDateTime t{QDate(2010, 7, 9), QTime(12, 5, 33)};
    QDateTime operator()() {
        const QDateTime now = t;
        t = t.addSecs(1);
        return now;
    }
};

TransferLog japaneseLog(StepClock& clock) {
    return TransferLog([&clock] { return clock(); }, QLocale(QLocale::Japanese, QLocale::Japan));
}

} // namespace

TEST(TransferLogStamp, UsesShortDateAndLongTimeOfTheLocale) {
    const QDateTime t(QDate(2010, 7, 9), QTime(12, 5, 33));
    EXPECT_EQ(TransferLog::formatStamp(QLocale(QLocale::Japanese, QLocale::Japan), t), "2010/07/09 12:05:33");
    EXPECT_EQ(TransferLog::formatStamp(QLocale(QLocale::German, QLocale::Germany), t), "09.07.10 12:05:33");
    EXPECT_EQ(TransferLog::formatStamp(QLocale(QLocale::English, QLocale::UnitedStates), t),
              "7/9/10 12:05:33 PM")
        << "US time keeps its AM/PM marker";
    // Early morning: hours without a leading zero where the locale says so.
    const QDateTime early(QDate(2010, 1, 2), QTime(3, 4, 5));
    EXPECT_EQ(TransferLog::formatStamp(QLocale(QLocale::Japanese, QLocale::Japan), early),
              "2010/01/02 3:04:05");
}

TEST(TransferLogStamp, NeverCarriesATimeZone) {
    const QDateTime t(QDate(2010, 7, 9), QTime(12, 5, 33), QTimeZone::utc());
    for (const QLocale& loc :
         {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedKingdom), QLocale::system()}) {
        const QString s = TransferLog::formatStamp(loc, t);
        EXPECT_FALSE(s.contains("UTC")) << s.toStdString();
        EXPECT_TRUE(s.contains("05:33")) << s.toStdString();
    }
}

TEST(TransferLogText, StartDiscardsAndAppendAddsStampedLines) {
    StepClock clock;
    TransferLog log = japaneseLog(clock);
    log.start(QStringLiteral(u"  受信\n"));
    log.append(QStringLiteral(u"  受信ﾃﾞｰﾀ待ち\n"));
    EXPECT_EQ(log.text(), QStringLiteral(u"2010/07/09 12:05:33  受信\n2010/07/09 12:05:34  受信ﾃﾞｰﾀ待ち\n"));
    EXPECT_EQ(log.lastLine(), QStringLiteral(u"2010/07/09 12:05:34  受信ﾃﾞｰﾀ待ち"));
    log.start(QStringLiteral(u"  送信\n"));
    EXPECT_EQ(log.text(), QStringLiteral(u"2010/07/09 12:05:35  送信\n"));
}

TEST(TransferLogFile, NamesPerKindInTheSettingsHome) {
    TempHome home;
    EXPECT_EQ(TransferLog::filePath(home.path(), TransferLog::Send), home.file("Tornyx_S.log"));
    EXPECT_EQ(TransferLog::filePath(home.path(), TransferLog::Receive), home.file("Tornyx_R.log"));
    EXPECT_EQ(TransferLog::filePath(home.path(), TransferLog::Dnc), home.file("Tornyx_D.log"));
}

TEST(TransferLogFile, WritesShiftJisWithCrLfByteExact) {
    TempHome home;
    StepClock clock;
    TransferLog log = japaneseLog(clock);
    log.setFolder(home.path());
    log.start(QStringLiteral(u"  送信完了\n"));
    log.append(QStringLiteral(u"  ﾌｨｰﾄﾞ出力\n"));
    log.append(QStringLiteral(u"  送信中止　ｴﾗｰ番号 1033\n"));
    ASSERT_TRUE(log.write(TransferLog::Send));
    const QByteArray stamp0 = "2010/07/09 12:05:33";
    const QByteArray expected =
        stamp0 + QByteArray::fromHex("20209197904d8aae97b9") + "\r\n" + "2010/07/09 12:05:34" +
        QByteArray::fromHex("2020cca8b0c4de8f6f97cd") + "\r\n" + "2010/07/09 12:05:35" +
        QByteArray::fromHex("20209197904d92868e7e8140b4d7b094d48d862031303333") + "\r\n";
    EXPECT_EQ(hex(home.read("Tornyx_S.log")), hex(expected));
}

TEST(TransferLogFile, EachFileHoldsOnlyTheLastTransferOfItsKind) {
    TempHome home;
    StepClock clock;
    TransferLog log = japaneseLog(clock);
    log.setFolder(home.path());
    log.start("  first receive with a long account\n");
    for (int i = 0; i < 50; ++i)
        log.append("  line\n");
    ASSERT_TRUE(log.write(TransferLog::Receive));
    log.start("  second\n");
    ASSERT_TRUE(log.write(TransferLog::Receive));
    EXPECT_EQ(home.read("Tornyx_R.log"), "2010/07/09 12:06:24  second\r\n");
    EXPECT_FALSE(QFile::exists(home.file("Tornyx_S.log")));
    EXPECT_FALSE(QFile::exists(home.file("Tornyx_D.log")));
}

TEST(TransferLogFile, EmptyAccountLeavesThePreviousFile) {
    TempHome home;
    home.write("Tornyx_D.log", "old\r\n");
    const TransferLog empty;
    EXPECT_TRUE(empty.write(TransferLog::Dnc));
    EXPECT_EQ(home.read("Tornyx_D.log"), "old\r\n");
}

TEST(TransferLogFile, CarriageReturnsAreNotDoubled) {
    TempHome home;
    StepClock clock;
    TransferLog log = japaneseLog(clock);
    log.setFolder(home.path());
    log.start("  a\r\n");
    log.append("  b\n");
    ASSERT_TRUE(log.write(TransferLog::Send));
    EXPECT_EQ(home.read("Tornyx_S.log"), "2010/07/09 12:05:33  a\r\n2010/07/09 12:05:34  b\r\n");
}

TEST(TransferLogFile, UnwritableFolderAnswersFalse) {
    TempHome home;
    StepClock clock;
    TransferLog log = japaneseLog(clock);
    log.setFolder(home.path());
    log.start("  x\n");
    // A folder in the place of the file cannot be replaced.
    ASSERT_TRUE(QDir(home.path()).mkdir("Tornyx_S.log"));
    EXPECT_FALSE(log.write(TransferLog::Send));
}

TEST(TransferLogFile, FullDiskRemovesTheOldLogKeepsTheAccountAndReports) {
    TempHome home;
    QByteArray old;
    while (old.size() < 1400)
        old += "2010/07/08 09:00:00  an earlier receive\r\n";
    home.write("Tornyx_R.log", old);
    StepClock clock;
    TransferLog log = japaneseLog(clock);
    log.setFolder(home.path());
    QStringList reports;
    log.setWriteReport(
        [&](int kind, const QString& error) { reports << QString::number(kind) + ":" + error; });
    log.start("  receive\n");
    for (int i = 0; i < 60; ++i)
        log.append("  a line of this receive\n");
    {
        tornyx::test::FileSizeLimit full(1000);
        EXPECT_FALSE(log.write(TransferLog::Receive));
    }
    EXPECT_FALSE(QFile::exists(home.file("Tornyx_R.log"))) << "an old log must not pass for this one";
    ASSERT_NE(log.unwritten(TransferLog::Receive), nullptr);
    EXPECT_EQ(log.unwritten(TransferLog::Receive)->text, log.text());
    EXPECT_TRUE(log.unwritten(TransferLog::Receive)->error.startsWith(home.file("Tornyx_R.log") + ": "));
    EXPECT_EQ(log.unwritten(TransferLog::Send), nullptr);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports[0], "2:" + log.unwritten(TransferLog::Receive)->error);

    log.start("  next\n");
    ASSERT_TRUE(log.write(TransferLog::Receive));
    EXPECT_EQ(log.unwritten(TransferLog::Receive), nullptr);
    EXPECT_EQ(reports.last(), "2:");
}

TEST(TransferLogFile, OldLogThatCannotBeRemovedIsNamedOutOfDate) {
    TempHome home;
    ::chmod(QFile::encodeName(home.path()).constData(), 0755);
    QDir(home.path()).mkdir("locked");
    home.write("locked/Tornyx_S.log", "old\r\n");
    ::chmod(QFile::encodeName(home.file("locked/Tornyx_S.log")).constData(), 0444);
    ::chmod(QFile::encodeName(home.file("locked")).constData(), 0555);
    const QString folder = home.file("locked");
    const int rc = tornyx::test::runInChild(
        [&] {
            TransferLog log;
            log.setFolder(folder);
            log.start("  send\n");
            if (log.write(TransferLog::Send) || !log.unwritten(TransferLog::Send))
                return 1;
            return log.unwritten(TransferLog::Send)
                           ->error.contains(QStringLiteral(u"前回の通信のﾛｸﾞが残っています"))
                       ? 0
                       : 2;
        },
        tornyx::test::ChildUser::Unprivileged);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(home.read("locked/Tornyx_S.log"), "old\r\n");
}

TEST(TransferLogView, ReadsBackTheStoredAccountOrNamesTheMissingFile) {
    TempHome home;
    EXPECT_FALSE(TransferLog::readFile(home.path(), TransferLog::Dnc).has_value()) << "no DNC run yet";
    EXPECT_EQ(TransferLog::missingFileText(TransferLog::Dnc),
              QStringLiteral(u"DNC送信ﾛｸﾞﾌｧｲﾙが見つかりません｡"));
    EXPECT_EQ(TransferLog::missingFileText(TransferLog::Send),
              QStringLiteral(u"送信ﾛｸﾞﾌｧｲﾙが見つかりません｡"));
    EXPECT_EQ(TransferLog::missingFileText(TransferLog::Receive),
              QStringLiteral(u"受信ﾛｸﾞﾌｧｲﾙが見つかりません｡"));
    StepClock clock;
    TransferLog log = japaneseLog(clock);
    log.setFolder(home.path());
    log.start(QStringLiteral(u"  受信\n"));
    log.append(QStringLiteral(u"  受信完了\n"));
    ASSERT_TRUE(log.write(TransferLog::Receive));
    EXPECT_EQ(TransferLog::readFile(home.path(), TransferLog::Receive).value_or("missing"), log.text());
}
