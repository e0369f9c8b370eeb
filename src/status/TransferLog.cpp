#include "status/TransferLog.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"

#include <QFile>
#include <QFileInfo>

namespace tornyx {

namespace {

int slotOf(int kind) {
    return kind == TransferLog::Receive ? 1 : kind == TransferLog::Dnc ? 2 : 0;
}

} // namespace

TransferLog::TransferLog(Now now, QLocale locale) : m_now(std::move(now)), m_locale(std::move(locale)) {}

QString TransferLog::longTimeFormat(const QLocale& locale) {
    // Built from the short time, which every locale gives as hours and
    // minutes with its own separator and AM/PM marker, by adding seconds.
    QString f = locale.timeFormat(QLocale::ShortFormat);
    if (f.contains(QLatin1String("ss")))
        return f;
    const qsizetype m = f.indexOf(QLatin1String("mm"));
    if (m < 0)
        return QStringLiteral("HH:mm:ss");
    QString sep = QStringLiteral(":");
    if (m > 0 && f.at(m - 1) != 'h' && f.at(m - 1) != 'H')
        sep = f.at(m - 1);
    f.insert(m + 2, sep + QLatin1String("ss"));
    return f;
}

QString TransferLog::formatStamp(const QLocale& locale, const QDateTime& t) {
    return locale.toString(t.date(), QLocale::ShortFormat) + ' ' +
           locale.toString(t.time(), longTimeFormat(locale));
}

QString TransferLog::stamp() const {
    return formatStamp(m_locale, m_now());
}

void TransferLog::start(const QString& message) {
    m_text = stamp() + message;
}

void TransferLog::append(const QString& message) {
    m_text += stamp() + message;
}

QString TransferLog::lastLine() const {
    QStringView v(m_text);
    if (v.endsWith('\n'))
        v.chop(1);
    const qsizetype nl = v.lastIndexOf('\n');
    return (nl < 0 ? v : v.mid(nl + 1)).toString();
}

QString TransferLog::filePath(const QString& folder, int kind) {
    const char* suffix = kind == Receive ? "_R.log" : kind == Dnc ? "_D.log" : "_S.log";
    return folder + '/' + platform::ProgramName + suffix;
}

std::optional<QString> TransferLog::readFile(const QString& folder, int kind) {
    QFile f(filePath(folder, kind));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    QString text = platform::fromSjis(f.readAll());
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

QString TransferLog::missingFileText(int kind) {
    return kind == Receive ? QStringLiteral(u"受信ﾛｸﾞﾌｧｲﾙが見つかりません｡")
           : kind == Dnc   ? QStringLiteral(u"DNC送信ﾛｸﾞﾌｧｲﾙが見つかりません｡")
                           : QStringLiteral(u"送信ﾛｸﾞﾌｧｲﾙが見つかりません｡");
}

bool TransferLog::write(int kind) const {
    if (m_text.isEmpty())
        return true;
    QString crlf = m_text;
    crlf.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    crlf.replace('\n', QLatin1String("\r\n"));
    const QByteArray bytes = platform::toSjis(crlf);
    const QString path = filePath(m_folder, kind);
    QString error = QStringLiteral("no folder for the log files");
    std::optional<Unwritten>& slot = m_unwritten[slotOf(kind)];
    if (!m_folder.isEmpty() && platform::writeFileAtomically(path, bytes, &error)) {
        slot.reset();
        if (m_report)
            m_report(kind, QString());
        return true;
    }
    // The file there describes an earlier transfer: better gone than taken
    // for this one.
    if (!m_folder.isEmpty() && QFileInfo(path).isFile() && !QFile::remove(path))
        error += QStringLiteral(u" (前回の通信のﾛｸﾞが残っています)");
    slot = Unwritten{m_text, error};
    if (m_report)
        m_report(kind, error);
    return false;
}

const TransferLog::Unwritten* TransferLog::unwritten(int kind) const {
    const std::optional<Unwritten>& slot = m_unwritten[slotOf(kind)];
    return slot ? &*slot : nullptr;
}

QString TransferLog::writeFailedText(const QString& error) {
    return QStringLiteral(u"※通信ﾛｸﾞを保存できませんでした｡ ") + error;
}

} // namespace tornyx
