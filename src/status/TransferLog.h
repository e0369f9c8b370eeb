#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

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
    explicit TransferLog(Now now = &QDateTime::currentDateTime);

    // Discards the previous account and starts a new one with message.
    void start(const QString& message);
    // Appends one time-stamped line.
    void append(const QString& message);
    const QString& text() const { return m_text; }

    // "Tornyx_S.log", "Tornyx_R.log", "Tornyx_D.log" in the settings home.
    static QString filePath(int kind);
    // Stores the account (Shift-JIS, CR LF) in the file of its kind. An empty
    // account writes nothing. Returns false when the file could not be written.
    bool write(int kind) const;

    // The time stamp as the system formats it.
    QString stamp() const;

private:
    Now m_now;
    QString m_text;
};

} // namespace tornyx
