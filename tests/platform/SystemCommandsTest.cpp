#include "platform/SystemCommands.h"
#include "platform/IniFile.h"

#include "support/QtPrinters.h"
#include "support/TempHome.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <optional>

using namespace tornyx::platform;
using tornyx::test::TempHome;

namespace {

// A stand-in for sendmail or systemctl that records its arguments and its
// standard input in the temporary home and exits with the given status.
QString standIn(const TempHome& home, const QString& name, int status = 0) {
    const QString path = home.file(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("#!/bin/sh\n"
            "printf '%s\\n' \"$@\" > \"$0.args\"\n"
            "cat > \"$0.stdin\"\n"
            "exit " +
            QByteArray::number(status) + "\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

MailMessage completionMail() {
    MailMessage m;
    m.to = "foreman@example.com";
    m.subject = QStringLiteral(u"送信完了");
    m.fromName = QStringLiteral(u"testです");
    m.fromAddress = "tornyx@cell7.example";
    m.body = QStringLiteral(u"開始 2010/07/09 12:05:33\n終了 2010/07/09 12:07:01\n送信無事完了しました｡");
    return m;
}

QString decodeWords(QByteArray header) {
    // Unfold, then decode every =?UTF-8?B?...?= word (adjacent words join).
    header.replace("\n ", "");
    QByteArray out;
    qsizetype i = 0;
    while (i < header.size()) {
        const qsizetype s = header.indexOf("=?UTF-8?B?", i);
        if (s < 0) {
            out += header.mid(i);
            break;
        }
        out += header.mid(i, s - i);
        const qsizetype e = header.indexOf("?=", s + 10);
        out += QByteArray::fromBase64(header.mid(s + 10, e - s - 10));
        i = e + 2;
    }
    return QString::fromUtf8(out);
}

QByteArray headerLine(const QByteArray& msg, const QByteArray& name) {
    for (const QByteArray& l : msg.left(msg.indexOf("\n\n")).replace("\n ", " \x01").split('\n'))
        if (l.startsWith(name + ": "))
            return l.mid(name.size() + 2).replace(" \x01", "\n ");
    return {};
}

} // namespace

TEST(SystemCommands, DefaultsAndOverridesFromTheOptionFile) {
    TempHome home;
    const SystemCommands def = SystemCommands::loadFromOptionFile(home.file("Tornyx.INI"));
    EXPECT_EQ(def.mail, "/usr/sbin/sendmail -t -oi");
    EXPECT_EQ(def.shutdown, "systemctl poweroff");
    home.write("Tornyx.INI",
               "[Commands]\r\nMail=/opt/mail/submit -t\r\nShutdown=\r\nMailFrom=cell7@example.com\r\n");
    const SystemCommands c = SystemCommands::loadFromOptionFile(home.file("Tornyx.INI"));
    EXPECT_EQ(c.mail, "/opt/mail/submit -t");
    EXPECT_EQ(c.shutdown, "systemctl poweroff") << "an empty value keeps the default";
    EXPECT_EQ(c.mailFrom, "cell7@example.com");
}

TEST(CompletionMailText, HeadersAreEncodedAndTheBodyDeclaresItsCharset) {
    const QByteArray msg = composeMail(completionMail());
    EXPECT_EQ(headerLine(msg, "To"), "foreman@example.com");
    EXPECT_EQ(decodeWords(headerLine(msg, "From")), QStringLiteral(u"testです <tornyx@cell7.example>"));
    EXPECT_TRUE(headerLine(msg, "From").startsWith("=?UTF-8?B?")) << msg.toStdString();
    EXPECT_EQ(decodeWords(headerLine(msg, "Subject")), QStringLiteral(u"送信完了"));
    EXPECT_EQ(headerLine(msg, "Disposition-Notification-To"), "<tornyx@cell7.example>");
    EXPECT_EQ(headerLine(msg, "Content-Type"), "text/plain; charset=UTF-8");
    EXPECT_EQ(headerLine(msg, "MIME-Version"), "1.0");
    const QByteArray body = msg.mid(msg.indexOf("\n\n") + 2);
    EXPECT_EQ(QString::fromUtf8(body),
              QStringLiteral(u"開始 2010/07/09 12:05:33\n終了 2010/07/09 12:07:01\n送信無事完了しました｡\n"));
    for (const QByteArray& line : msg.left(msg.indexOf("\n\n")).split('\n')) {
        EXPECT_LE(line.size(), 78) << line.toStdString();
        for (unsigned char c : line)
            EXPECT_LT(c, 0x80) << "headers stay 7-bit: " << line.toStdString();
    }
}

TEST(CompletionMailText, LongSubjectsSplitIntoWordsOnCharacterBoundaries) {
    QString subject;
    for (int i = 0; i < 40; ++i)
        subject += QStringLiteral(u"送信");
    const QByteArray enc = encodeHeaderWord(subject);
    EXPECT_EQ(decodeWords(enc), subject);
    for (const QByteArray& word : enc.split('\n')) {
        EXPECT_LE(word.trimmed().size(), 75);
        // Each word decodes on its own: no character is cut in two.
        const QByteArray w = word.trimmed();
        EXPECT_FALSE(
            QString::fromUtf8(QByteArray::fromBase64(w.mid(10, w.size() - 12))).contains(QChar(0xFFFD)));
    }
    EXPECT_EQ(encodeHeaderWord("Cell 7 done"), "Cell 7 done");
}

TEST(CompletionMailText, LineBreaksInValuesCannotAddHeaders) {
    MailMessage m = completionMail();
    m.to = "foreman@example.com\nBcc: everyone@example.com";
    m.subject = "done\r\nBcc: x@example.com";
    const QByteArray msg = composeMail(m);
    EXPECT_FALSE(msg.left(msg.indexOf("\n\n")).contains("\nBcc:")) << msg.toStdString();
}

TEST(CompletionMailCommand, StandInReceivesTheMessageAndArguments) {
    TempHome home;
    SystemCommands c;
    c.mail = standIn(home, "sendmail") + " -t -oi";
    ASSERT_TRUE(sendMail(c, completionMail(), 10000));
    EXPECT_EQ(home.read("sendmail.args"), "-t\n-oi\n");
    EXPECT_EQ(home.read("sendmail.stdin"), composeMail(completionMail()));
    EXPECT_TRUE(
        QString::fromUtf8(home.read("sendmail.stdin")).contains(QStringLiteral(u"送信無事完了しました｡")));
}

TEST(CompletionMailCommand, FailuresAnswerFalseWithoutThrowing) {
    TempHome home;
    SystemCommands c;
    c.mail = standIn(home, "refuse", 75);
    EXPECT_FALSE(sendMail(c, completionMail(), 10000));
    c.mail = home.file("no-such-sendmail") + " -t";
    EXPECT_FALSE(sendMail(c, completionMail(), 10000));
    c.mail = "";
    EXPECT_FALSE(sendMail(c, completionMail(), 10000));
    QString error;
    EXPECT_FALSE(runCommand(standIn(home, "refuse2", 3), "x", 10000, &error));
    EXPECT_TRUE(error.contains("exit status 3")) << error.toStdString();
}

namespace {

// Ended, or only a zombie waiting for its new parent, within two seconds.
bool isGone(pid_t pid) {
    QDeadlineTimer deadline(2000);
    do {
        QFile stat(QString("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return true;
        const QByteArray s = stat.readAll();
        const qsizetype close = s.lastIndexOf(')');
        if (close > 0 && close + 2 < s.size() && s[close + 2] == 'Z')
            return true;
        QThread::msleep(20);
    } while (!deadline.hasExpired());
    return false;
}

} // namespace

TEST(CompletionMailCommand, InTheBackgroundTheCallerGoesOnAndAHungCommandIsKilled) {
    TempHome home;
    QFile slow(home.file("slow"));
    slow.open(QIODevice::WriteOnly);
    slow.write("#!/bin/sh\nsleep \"$1\"\ncat > \"$0.stdin\"\n");
    slow.close();
    slow.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    SystemCommands c;
    c.mail = home.file("slow") + " 0.5";
    std::optional<bool> outcome;
    QElapsedTimer t;
    t.start();
    sendMailInBackground(c, completionMail(), 10000, [&](bool sent) { outcome = sent; });
    EXPECT_LT(t.elapsed(), 300) << "the caller does not wait for the mail command";
    EXPECT_FALSE(outcome.has_value());
    while (!outcome && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_TRUE(*outcome);
    EXPECT_EQ(home.read("slow.stdin"), composeMail(completionMail()));

    // A command that hangs in a child of its own: the time-out ends both,
    // so nothing keeps the program's stderr open for half a minute.
    QFile hang(home.file("hang"));
    hang.open(QIODevice::WriteOnly);
    hang.write("#!/bin/sh\nsleep 30 &\necho $! > \"$0.child\"\nwait\n");
    hang.close();
    hang.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    c.mail = home.file("hang");
    outcome.reset();
    t.restart();
    sendMailInBackground(c, completionMail(), 300, [&](bool sent) { outcome = sent; });
    while (!outcome && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_FALSE(*outcome);
    EXPECT_LT(t.elapsed(), 3000);
    const pid_t child = home.read("hang.child").trimmed().toInt();
    ASSERT_GT(child, 0);
    EXPECT_TRUE(isGone(child)) << "the command's own child was ended with it";
    QString error;
    t.restart();
    EXPECT_FALSE(runCommand(home.file("hang"), "x", 300, &error));
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_TRUE(isGone(home.read("hang.child").trimmed().toInt()));

    for (const QString& bad : {home.file("no-such-sendmail") + " -t", QString()}) {
        c.mail = bad;
        outcome.reset();
        sendMailInBackground(c, completionMail(), 10000, [&](bool sent) { outcome = sent; });
        while (!outcome && t.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_EQ(outcome, std::optional<bool>(false)) << bad.toStdString();
    }
}

TEST(PowerOffCommand, RunsTheConfiguredCommandDetached) {
    TempHome home;
    SystemCommands c;
    c.shutdown = standIn(home, "poweroff") + " --force now";
    ASSERT_TRUE(powerOff(c));
    // Detached: wait for the stand-in to leave its record.
    QDeadlineTimer deadline(10000);
    while (!QFile::exists(home.file("poweroff.stdin")) && !deadline.hasExpired())
        QThread::msleep(10);
    QThread::msleep(50);
    EXPECT_EQ(home.read("poweroff.args"), "--force\nnow\n");
    c.shutdown = home.file("missing-systemctl") + " poweroff";
    EXPECT_FALSE(powerOff(c));
}
