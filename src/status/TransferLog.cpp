#include "status/TransferLog.h"

#include "platform/Paths.h"
#include "platform/TextCodec.h"

#include <QLocale>
#include <QSaveFile>

namespace tornyx {

TransferLog::TransferLog(Now now) : m_now(std::move(now)) {}

QString TransferLog::stamp() const {
    const QLocale loc = QLocale::system();
    const QDateTime t = m_now();
    return loc.toString(t.date(), QLocale::ShortFormat) + ' ' + loc.toString(t.time(), QLocale::LongFormat);
}

void TransferLog::start(const QString& message) { m_text = stamp() + message; }

void TransferLog::append(const QString& message) { m_text += stamp() + message; }

QString TransferLog::filePath(int kind) {
    const char* suffix = kind == Receive ? "_R.log" : kind == Dnc ? "_D.log" : "_S.log";
    return platform::homeFile(QString(platform::ProgramName) + suffix);
}

bool TransferLog::write(int kind) const {
    if (m_text.isEmpty())
        return true;
    QString crlf = m_text;
    crlf.replace("\r\n", "\n");
    crlf.replace('\n', "\r\n");
    const QByteArray bytes = platform::toSjis(crlf);
    QSaveFile f(filePath(kind));
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit();
}

} // namespace tornyx
