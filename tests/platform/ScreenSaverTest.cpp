#include "platform/ScreenSaver.h"

#include <QDBusConnection>
#include <QObject>
#include <QProcess>

#include <gtest/gtest.h>

using tornyx::platform::ScreenSaver;

namespace {

// The desktop's screen-saver service, as far as the program uses it.
class FakeSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    QStringList calls;
public slots:
    Q_SCRIPTABLE uint Inhibit(const QString& app, const QString& reason) {
        calls << "Inhibit " + app + " " + reason;
        return 42;
    }
    Q_SCRIPTABLE void UnInhibit(uint cookie) { calls << "UnInhibit " + QString::number(cookie); }
};

// A private session bus for this test program, so the test neither needs
// nor disturbs a desktop.
class PrivateBus : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_daemon = new QProcess;
        s_daemon->start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (!s_daemon->waitForStarted(5000) || !s_daemon->waitForReadyRead(5000))
            return;
        const QByteArray address = s_daemon->readLine().trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    }
    static void TearDownTestSuite() {
        if (s_daemon) {
            s_daemon->kill();
            s_daemon->waitForFinished(2000);
            delete s_daemon;
            s_daemon = nullptr;
        }
    }
    static QProcess* s_daemon;
};
QProcess* PrivateBus::s_daemon = nullptr;

} // namespace

TEST_F(PrivateBus, InhibitsOnceAndReleasesWithTheCookie) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        GTEST_SKIP() << "no dbus-daemon on this machine";
    FakeSaver saver;
    ASSERT_TRUE(bus.registerService("org.example.TestSaver"));
    ASSERT_TRUE(bus.registerObject("/ScreenSaver", &saver, QDBusConnection::ExportScriptableSlots));
    {
        ScreenSaver s("org.example.TestSaver", "/ScreenSaver");
        s.inhibit(QStringLiteral(u"送信中"));
        s.inhibit("again");
        EXPECT_TRUE(s.isInhibited());
        s.release();
        EXPECT_FALSE(s.isInhibited());
        s.release();
        s.inhibit("second run");
        // Left inhibited: the destructor releases it.
    }
    bus.unregisterObject("/ScreenSaver");
    bus.unregisterService("org.example.TestSaver");
    EXPECT_EQ(
        saver.calls.join(" | ").toStdString(),
        QStringLiteral(u"Inhibit Tornyx 送信中 | UnInhibit 42 | Inhibit Tornyx second run | UnInhibit 42")
            .toStdString());
}

TEST_F(PrivateBus, WithoutTheServiceNothingHappens) {
    ScreenSaver s("org.example.NoSuchSaver", "/ScreenSaver");
    s.inhibit("transfer");
    EXPECT_FALSE(s.isInhibited());
    s.release();
}

#include "ScreenSaverTest.moc"
