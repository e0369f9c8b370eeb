#include "platform/SystemCommands.h"

#include "platform/IniFile.h"
#include "platform/Paths.h"

#include <QCoreApplication>
#include <QProcess>

#include <QStringList>
#include <QSysInfo>
#include <QTimer>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace tornyx::platform {

namespace {

const QString Section = QStringLiteral("Commands");

// Header values are single lines of printable text.
QString headerSafe(const QString& v) {
    QString out;
    out.reserve(v.size());
    for (QChar c : v)
        if (c.unicode() >= 0x20 && c.unicode() != 0x7F)
            out += c;
    return out.trimmed();
}

bool isPlainAtomText(const QString& s) {
    for (QChar c : s) {
        const ushort u = c.unicode();
        if (u >= 0x7F || u < 0x20 || QStringLiteral("\"()<>@,;:\\[]=?_").contains(c))
            return false;
    }
    return true;
}

void warn(const QString& what) {
    std::fprintf(stderr, "tornyx: %s\n", what.toLocal8Bit().constData());
}

} // namespace

SystemCommands SystemCommands::load(const IniFile& ini) {
    SystemCommands c;
    const auto pick = [&ini](const char* key, QString& field) {
        const QString v = ini.readString(Section, QString::fromLatin1(key), QString()).trimmed();
        if (!v.isEmpty())
            field = v;
    };
    pick("Mail", c.mail);
    pick("MailFrom", c.mailFrom);
    pick("Shutdown", c.shutdown);
    return c;
}

SystemCommands SystemCommands::loadFromOptionFile(const QString& optionFile) {
    IniFile ini(optionFile);
    ini.load();
    return load(ini);
}

QString defaultMailFrom() {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = QStringLiteral("tornyx");
    QString host = QSysInfo::machineHostName();
    if (host.isEmpty())
        host = QStringLiteral("localhost");
    return user + '@' + host;
}

QByteArray encodeHeaderWord(const QString& text) {
    bool ascii = true;
    for (QChar c : text)
        ascii = ascii && c.unicode() >= 0x20 && c.unicode() < 0x7F;
    // An encoded word must not look like one by accident either.
    if (ascii && !text.contains(QLatin1String("=?")))
        return text.toLatin1();
    // "=?UTF-8?B?" + base64 + "?=" is 12 characters around the data; 45
    // bytes of UTF-8 give 60 base64 characters, 72 in all.
    constexpr qsizetype MaxBytes = 45;
    QList<QByteArray> words;
    QByteArray chunk;
    for (qsizetype i = 0; i < text.size();) {
        qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray piece = text.mid(i, n).toUtf8();
        if (chunk.size() + piece.size() > MaxBytes) {
            words << chunk;
            chunk.clear();
        }
        chunk += piece;
        i += n;
    }
    if (!chunk.isEmpty())
        words << chunk;
    QByteArray out;
    for (const QByteArray& w : words) {
        if (!out.isEmpty())
            out += "\n ";
        out += "=?UTF-8?B?" + w.toBase64() + "?=";
    }
    return out;
}

QByteArray composeMail(const MailMessage& m) {
    const QByteArray to = headerSafe(m.to).toLatin1();
    const QByteArray fromAddr = headerSafe(m.fromAddress).toLatin1();
    const QString name = headerSafe(m.fromName);
    QByteArray out;
    out += "To: " + to + "\n";
    QByteArray display;
    bool ascii = true;
    for (QChar c : name)
        ascii = ascii && c.unicode() < 0x80;
    if (name.isEmpty())
        display.clear();
    else if (!ascii)
        display = encodeHeaderWord(name) + ' ';
    else if (isPlainAtomText(name))
        display = name.toLatin1() + ' ';
    else
        display = '"' + name.toLatin1().replace('\\', "\\\\").replace('"', "\\\"") + "\" ";
    out += "From: " + display + "<" + fromAddr + ">\n";
    out += "Subject: " + encodeHeaderWord(headerSafe(m.subject)) + "\n";
    if (m.readReceipt)
        out += "Disposition-Notification-To: <" + fromAddr + ">\n";
    out += "MIME-Version: 1.0\n";
    out += "Content-Type: text/plain; charset=UTF-8\n";
    out += "Content-Transfer-Encoding: 8bit\n";
    out += "\n";
    QString body = m.body;
    body.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out += body.toUtf8();
    if (!out.endsWith('\n'))
        out += '\n';
    return out;
}

namespace {

// Each command runs in a process group of its own, so that a time-out ends
// the command and whatever it started (a script's sleep, a mailer's queue
// runner) together; a survivor would keep the program's stderr open.
void ownProcessGroup(QProcess& p) {
    p.setChildProcessModifier([] { ::setpgid(0, 0); });
}

void killGroup(QProcess& p) {
    const qint64 pid = p.processId();
    if (pid > 0)
        ::kill(-static_cast<pid_t>(pid), SIGKILL);
    p.kill();
}

} // namespace

bool runCommand(const QString& commandLine, const QByteArray& input, int timeoutMs, QString* error) {
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    QStringList args = QProcess::splitCommand(commandLine);
    if (args.isEmpty())
        return fail(QStringLiteral("no command given"));
    const QString program = args.takeFirst();
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    ownProcessGroup(p);
    p.start(program, args);
    if (!p.waitForStarted(timeoutMs))
        return fail(program + QStringLiteral(": ") + p.errorString());
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        killGroup(p);
        p.waitForFinished(1000);
        return fail(program + QStringLiteral(": did not finish in time"));
    }
    if (p.exitStatus() != QProcess::NormalExit)
        return fail(program + QStringLiteral(": crashed"));
    if (p.exitCode() != 0)
        return fail(program + QStringLiteral(": exit status ") + QString::number(p.exitCode()));
    return true;
}

namespace {

QByteArray mailText(const SystemCommands& commands, const MailMessage& message) {
    MailMessage m = message;
    if (m.fromAddress.isEmpty())
        m.fromAddress = commands.mailFrom.isEmpty() ? defaultMailFrom() : commands.mailFrom;
    return composeMail(m);
}

} // namespace

bool sendMail(const SystemCommands& commands, const MailMessage& message, int timeoutMs) {
    QString error;
    if (runCommand(commands.mail, mailText(commands, message), timeoutMs, &error))
        return true;
    warn(QStringLiteral("completion mail not sent: ") + error);
    return false;
}

void sendMailInBackground(const SystemCommands& commands, const MailMessage& message, int timeoutMs,
                          std::function<void(bool sent)> done) {
    auto report = [done](bool sent, const QString& error) {
        if (!sent)
            warn(QStringLiteral("completion mail not sent: ") + error);
        if (done)
            done(sent);
    };
    QStringList args = QProcess::splitCommand(commands.mail);
    if (args.isEmpty()) {
        QTimer::singleShot(0, [report] { report(false, QStringLiteral("no command given")); });
        return;
    }
    const QString program = args.takeFirst();
    // Owned by the application, so a mail still on its way when the program
    // ends is cleaned up with it.
    auto* p = new QProcess(QCoreApplication::instance());
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->setStandardOutputFile(QProcess::nullDevice());
    ownProcessGroup(*p);
    // Reported once: a command killed for its time also ends afterwards.
    auto reported = std::make_shared<bool>(false);
    auto finish = [reported, report](bool sent, const QString& error) {
        if (*reported)
            return;
        *reported = true;
        report(sent, error);
    };
    QObject::connect(p, &QProcess::errorOccurred, p, [p, program, finish](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            finish(false, program + QStringLiteral(": ") + p->errorString());
            p->deleteLater();
        }
    });
    QObject::connect(p, &QProcess::finished, p, [p, program, finish](int code, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit)
            finish(false, program + QStringLiteral(": crashed"));
        else if (code != 0)
            finish(false, program + QStringLiteral(": exit status ") + QString::number(code));
        else
            finish(true, QString());
        p->deleteLater();
    });
    QTimer::singleShot(timeoutMs, p, [p, program, finish] {
        finish(false, program + QStringLiteral(": did not finish in time"));
        killGroup(*p);
    });
    // A program that ends right after a transfer lets the mail go out first.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, p, [p] {
        if (!p->waitForFinished(5000))
            killGroup(*p);
    });
    p->start(program, args);
    p->write(mailText(commands, message));
    p->closeWriteChannel();
}

bool powerOff(const SystemCommands& commands) {
    QStringList args = QProcess::splitCommand(commands.shutdown);
    if (args.isEmpty()) {
        warn(QStringLiteral("power-off: no command given"));
        return false;
    }
    const QString program = args.takeFirst();
    if (!QProcess::startDetached(program, args)) {
        warn(QStringLiteral("power-off: cannot start ") + program);
        return false;
    }
    return true;
}

} // namespace tornyx::platform
