#pragma once

#include <QProcess>
#include <QString>

namespace tornyx::test {

// A free TCP port on 127.0.0.1 (bound once and released; the caller uses it
// at once).
int freeLoopbackPort();
// Whether something listens on 127.0.0.1:port, read from /proc/net/tcp so
// that asking does not connect (a device server opens its serial line on
// every connection).
bool isListening(int port);

// ser2net as an Ethernet serial device server on 127.0.0.1 in front of a
// serial device (the simulated machine's pseudo-terminal). Its
// configuration goes into the given folder; it runs in the foreground of a
// child process and is killed when this goes away.
class Ser2Net {
public:
    enum class Kind { Rfc2217, RawTcp };

    // line: ser2net's initial framing of the device, "19200n82".
    Ser2Net(const QString& folder, const QString& device, Kind kind, const QString& line = "9600n81");
    ~Ser2Net();
    Ser2Net(const Ser2Net&) = delete;
    Ser2Net& operator=(const Ser2Net&) = delete;

    // Listening and ready for the program.
    bool isReady() const { return m_ready; }
    int port() const { return m_port; }
    // The [Ports] value for it: "rfc2217://127.0.0.1:PORT" or "tcp://...".
    QString url() const;
    // Dies at once, as a box that loses power; its sockets are reset.
    void kill();
    QString output();

private:
    QProcess m_p;
    Kind m_kind;
    int m_port = 0;
    bool m_ready = false;
};

} // namespace tornyx::test
