#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <array>
#include <functional>
#include <optional>

namespace tornyx {

// The running account of one transfer: one line per event, the date and
// time in the system's short date and long time format, then the message
// (which begins with two blanks and ends with a line feed). It is kept in
// memory during the transfer and stored in the log file of its kind at the
// end, replacing the previous account of that kind.
class TransferLog {
public:
    enum Kind { Send = 1, Receive = 2, Dnc = 3 };

    using Now = std::function<QDateTime()>;
    explicit TransferLog(Now now = &QDateTime::currentDateTime, QLocale locale = QLocale::system());

    // Discards the previous account and starts a new one with message.
    void start(const QString& message);
    // Appends one time-stamped line.
    void append(const QString& message);
    const QString& text() const { return m_text; }
    bool isEmpty() const { return m_text.isEmpty(); }
    // The last line of the account without its line feed (for tests and
    // diagnostics); empty when there is none.
    QString lastLine() const;

    // The folder the log files go to (the settings home); until it is set
    // nothing can be written.
    void setFolder(const QString& folder) { m_folder = folder; }
    const QString& folder() const { return m_folder; }

    // "Tornyx_S.log", "Tornyx_R.log", "Tornyx_D.log" in folder; any kind
    // other than 2 and 3 is the send log.
    static QString filePath(const QString& folder, int kind);
    // Stores the account (Shift-JIS, CR LF) in the file of its kind through
    // platform::AtomicFile, replacing the file as a whole. An empty account
    // writes nothing and leaves the previous file alone. Returns false when
    // the file could not be written: the previous file, which describes an
    // earlier transfer, is then removed where that is possible, the account
    // is kept as unwritten(kind) and the write report is told.
    bool write(int kind) const;

    // An account that could not be stored, and why ("<path>: <reason>").
    struct Unwritten {
        QString text;
        QString error;
    };
    // The last account of kind when its file could not be written; nullptr
    // when the file holds it (or nothing was written yet).
    const Unwritten* unwritten(int kind) const;
    // Told after every write of an account: the kind, and why it failed
    // (empty when it was stored).
    using WriteReport = std::function<void(int kind, const QString& error)>;
    void setWriteReport(WriteReport report) { m_report = std::move(report); }
    // "※通信ﾛｸﾞを保存できませんでした｡ " + error: the notice for the status
    // display, the error stream and the log view.
    static QString writeFailedText(const QString& error);

    // For the log view: the stored account of a kind as text (Shift-JIS
    // decoded, CR LF as LF); nullopt when there is no such file.
    static std::optional<QString> readFile(const QString& folder, int kind);
    // The error box when it is missing: "送信ﾛｸﾞﾌｧｲﾙが見つかりません｡",
    // "受信ﾛｸﾞﾌｧｲﾙが見つかりません｡", "DNC送信ﾛｸﾞﾌｧｲﾙが見つかりません｡".
    static QString missingFileText(int kind);

    // The current time stamp.
    QString stamp() const;
    // The stamp of t: the locale's short date, a blank, the long time.
    static QString formatStamp(const QLocale& locale, const QDateTime& t);
    // The long time as desktops show it: hours, minutes and seconds in the
    // locale's order and separators, without a time zone. Qt's own long form
    // adds the zone and, for Japanese, unit words ("12時05分33秒 JST"),
    // which is not what an operator sees in the clock of the desktop.
    static QString longTimeFormat(const QLocale& locale);

private:
    QString m_folder;
    Now m_now;
    QLocale m_locale;
    QString m_text;
    WriteReport m_report;
    mutable std::array<std::optional<Unwritten>, 3> m_unwritten; // send, receive, DNC
};

} // namespace tornyx
