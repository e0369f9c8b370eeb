#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace tornyx::platform {

class IniFile;

// The two outside commands the program hands work to: mail submission and
// power-off. Both are command lines in Tornyx.INI, section "Commands", so a
// site can point them at its own tools (and tests at harmless stand-ins):
//   [Commands]
//   Mail=/usr/sbin/sendmail -t -oi
//   MailFrom=tornyx@workshop.example
//   Shutdown=systemctl poweroff
struct SystemCommands {
    QString mail = QStringLiteral("/usr/sbin/sendmail -t -oi");
    QString mailFrom; // empty: the login name at this host
    QString shutdown = QStringLiteral("systemctl poweroff");

    // Missing keys keep the defaults above; an empty value counts as missing.
    static SystemCommands load(const IniFile& ini);
    // Reads the option file (Tornyx.INI of the settings home).
    static SystemCommands loadFromOptionFile(const QString& optionFile);
};

// One completion mail as handed to the mail command.
struct MailMessage {
    QString to;
    QString subject;
    QString fromName;
    QString fromAddress;
    QString body;
    bool readReceipt = true;
};

// The message in Internet form (LF line ends, as a local sendmail expects):
// To, From with its display name, Subject, and, when asked, a
// Disposition-Notification-To read-receipt request to the sender. Headers
// with non-ASCII text are RFC 2047 encoded words (UTF-8, base64); the body is
// UTF-8 with a declared charset. Line breaks and control characters in the
// header values are removed so that no value can add a header of its own.
QByteArray composeMail(const MailMessage& message);

// An RFC 2047 "B" encoding of text, split into encoded words of at most 75
// characters on character boundaries, joined by folding white space. ASCII
// text without specials comes back as it is.
QByteArray encodeHeaderWord(const QString& text);

// The default sender: login name + "@" + host name.
QString defaultMailFrom();

// Runs commandLine (split like a shell would split words, without a shell),
// feeds input to its standard input and waits at most timeoutMs for it to
// end. True when it ran and exited with status 0; otherwise false with a
// reason in *error.
bool runCommand(const QString& commandLine, const QByteArray& input, int timeoutMs, QString* error = nullptr);

// Hands message to the mail command and waits for it. Failures are not the
// operator's business (the transfer is over): they are written to stderr and
// answered with false.
bool sendMail(const SystemCommands& commands, const MailMessage& message, int timeoutMs = 30000);

// The same without waiting: the command runs while the event loop goes on,
// is killed when it has not finished after timeoutMs, and done (when given)
// learns the outcome from the event loop. A mail command that hangs must not
// freeze the window an operator is about to start the next transfer from.
void sendMailInBackground(const SystemCommands& commands, const MailMessage& message, int timeoutMs = 30000,
                          std::function<void(bool sent)> done = {});

// Starts the power-off command without waiting (the program is about to end).
// False, with a line on stderr, when it cannot be started.
bool powerOff(const SystemCommands& commands);

} // namespace tornyx::platform
