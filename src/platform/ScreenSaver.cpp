#include "platform/ScreenSaver.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>

namespace tornyx::platform {

namespace {
const QString Interface = QStringLiteral("org.freedesktop.ScreenSaver");
// A desktop that hangs must not hold up the start of a transfer.
constexpr int CallTimeoutMs = 500;
} // namespace

ScreenSaver::ScreenSaver(QString service, QString path)
    : m_service(std::move(service)), m_path(std::move(path)) {}

ScreenSaver::~ScreenSaver() {
    release();
}

void ScreenSaver::inhibit(const QString& reason) {
    if (m_cookie != 0)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(m_service))
        return;
    QDBusInterface saver(m_service, m_path, Interface, bus);
    saver.setTimeout(CallTimeoutMs);
    const QDBusReply<uint> reply = saver.call(QStringLiteral("Inhibit"), QStringLiteral("Tornyx"), reason);
    if (reply.isValid())
        m_cookie = reply.value();
}

void ScreenSaver::release() {
    if (m_cookie == 0)
        return;
    const uint32_t cookie = m_cookie;
    m_cookie = 0;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusInterface saver(m_service, m_path, Interface, bus);
    saver.setTimeout(CallTimeoutMs);
    saver.call(QStringLiteral("UnInhibit"), cookie);
}

} // namespace tornyx::platform
