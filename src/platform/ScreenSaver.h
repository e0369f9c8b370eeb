#pragma once

#include <QString>

#include <cstdint>

namespace tornyx::platform {

// Keeps the desktop's screen saver and power saving away while a transfer
// runs, through the freedesktop screen-saver service on the session bus.
// Without a session bus or without the service it does nothing: a transfer
// never depends on it.
class ScreenSaver {
public:
    // service/path default to the freedesktop names; a test may give its own.
    explicit ScreenSaver(QString service = QStringLiteral("org.freedesktop.ScreenSaver"),
                         QString path = QStringLiteral("/org/freedesktop/ScreenSaver"));
    ~ScreenSaver();
    ScreenSaver(const ScreenSaver&) = delete;
    ScreenSaver& operator=(const ScreenSaver&) = delete;

    // "Switch the screen saver off" for the transfer. Asking twice keeps one
    // inhibition.
    void inhibit(const QString& reason);
    // "Switch it on again"; harmless when nothing is inhibited.
    void release();
    bool isInhibited() const { return m_cookie != 0; }

private:
    QString m_service;
    QString m_path;
    uint32_t m_cookie = 0;
};

} // namespace tornyx::platform
