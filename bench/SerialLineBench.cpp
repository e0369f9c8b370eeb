// Figures of the serial line against tornyx-machine over a pty: line rate
// and processor use of a send and a receive, bytes after the machine's XOFF,
// processor use of idle waits, start-character latency, and how many ticks a
// 20 Hz UI timer gets during each.
#include "platform/PosixSerialPort.h"
#include "serial/TransferSession.h"

#include <QCoreApplication>
#include <QMap>
#include <QProcess>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

using namespace tornyx;

namespace {

double cpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

class QtHost final : public LineHost {
public:
    Answer showMessage(Kind, const QString& text, Buttons, const QString&) override {
        std::fprintf(stderr, "message: %s\n", text.toLocal8Bit().constData());
        return Answer::Ok;
    }
    void processEvents() override { QCoreApplication::processEvents(); }
    void setDsrLamp(bool) override {}
    void setCtsLamp(bool) override {}
    std::optional<QString> askSwitchNumber() override { return std::nullopt; }
};

// CPU share, wall time and 20 Hz ticks of one measured stretch.
struct Meter {
    QTimer timer;
    int ticks = 0;
    double cpu0 = 0, wall0 = 0, cpu = 0, wall = 0;
    int ticksAtStart = 0;
    Meter() {
        timer.setInterval(50);
        QObject::connect(&timer, &QTimer::timeout, [this] { ++ticks; });
        timer.start();
    }
    void start() {
        cpu0 = cpuSeconds();
        wall0 = wallSeconds();
        ticksAtStart = ticks;
    }
    void stop() {
        cpu = cpuSeconds() - cpu0;
        wall = wallSeconds() - wall0;
        ticksAtStop = ticks;
    }
    double cpuPercent() const { return wall > 0 ? 100 * cpu / wall : 0; }
    double ticksPerSecond() const { return wall > 0 ? (ticksAtStop - ticksAtStart) / wall : 0; }
    int ticksAtStop = 0;
};

class Machine {
public:
    explicit Machine(QStringList args) {
        m_p.setProgram(TORNYX_MACHINE);
        m_p.setArguments(QStringList{"--start-delay", "50", "--timeout", "30000"} + args);
        m_p.start();
        if (m_p.waitForReadyRead(5000))
            m_slave = QString::fromLocal8Bit(m_p.readLine()).trimmed();
    }
    ~Machine() {
        if (m_p.state() != QProcess::NotRunning) {
            m_p.kill();
            m_p.waitForFinished(2000);
        }
    }
    QString slave() const { return m_slave; }
    QMap<QString, QString> result() {
        m_p.waitForFinished(30000);
        QMap<QString, QString> out;
        for (const QString& line : QString::fromLocal8Bit(m_p.readAllStandardOutput()).split('\n'))
            if (line.startsWith("result "))
                for (const QString& kv : line.mid(7).split(' ', Qt::SkipEmptyParts))
                    out[kv.section('=', 0, 0)] = kv.section('=', 1);
        return out;
    }

private:
    QProcess m_p;
    QString m_slave;
};

QByteArray program(int bytes) {
    QByteArray p("%\n");
    for (int n = 1; p.size() < bytes - 24; ++n)
        p += "N" + QByteArray::number(n % 10000).rightJustified(4, '0') + "G01X12.345Y-6.7F100\n";
    return p + "%";
}

struct Rig {
    platform::PosixSerialPort port;
    QtHost host;
    platform::SystemClock clock;
    TransferSession s{port, host, clock};
    CommProfile profile;
    LineOptions options;
    explicit Rig(const QString& device, int speed) {
        s.setPortResolver([device](const QString&) { return device; });
        profile.send.speed = speed;
        profile.read.speed = speed;
        profile.send.stopBits = 1;
        profile.read.stopBits = 1;
        options.dc3Is93 = false;
    }
};

const int Bauds[] = {1200, 2400, 4800, 9600, 14400, 19200};

void benchSend(int speed, int bytes) {
    const int baud = Bauds[speed];
    Machine m({"--mode", "receive", "--baud", QString::number(baud), "--stop", "2"});
    Rig r(m.slave(), speed);
    if (!r.s.openLine(SendKind, r.profile, r.options))
        return;
    r.s.setCodeMode(CodeMode::Iso);
    Meter idle;
    idle.start();
    const bool started = r.s.waitForInput(3000) && r.s.readChar() == 0x11;
    idle.stop();
    const QByteArray text = program(bytes);
    Meter meter;
    meter.start();
    bool stopped = !started;
    for (unsigned char c : text)
        if (!stopped)
            stopped = r.s.writeChar(c);
    meter.stop();
    const auto res = m.result();
    r.s.closeLine();
    const double rate = res.value("rate").toDouble();
    const double line = res.value("line_rate").toDouble();
    // The writer's own rate: bytes per second from its first write to the
    // return of its last, against the line rate of the framing.
    const double own = meter.wall > 0 ? double(text.size()) / meter.wall : 0;
    std::printf(
        "send %5d bit/s 8N2: %d bytes, written at %.1f B/s of %.1f = %.2f%% of the line rate "
        "(machine saw %.2f%%), CPU %.2f%% of one core, %.1f UI ticks/s; start-signal wait CPU %.2f%%%s\n",
        baud, int(text.size()), own, line, line > 0 ? 100 * own / line : 0, line > 0 ? 100 * rate / line : 0,
        meter.cpuPercent(), meter.ticksPerSecond(), idle.cpuPercent(), stopped ? " (STOPPED)" : "");
}

void benchXoff() {
    // A DNC buffer that throttles the PC many times.
    Machine m({"--mode", "dnc", "--baud", "19200", "--stop", "2", "--buffer", "256", "--blocks-per-s", "40"});
    Rig r(m.slave(), 5);
    if (!r.s.openLine(SendKind, r.profile, r.options))
        return;
    r.s.setCodeMode(CodeMode::Iso);
    r.s.waitForInput(3000);
    r.s.readChar();
    const QByteArray text = program(2000);
    Meter meter;
    meter.start();
    for (unsigned char c : text)
        if (r.s.writeChar(c))
            break;
    meter.stop();
    const auto res = m.result();
    r.s.closeLine();
    std::printf("DNC buffer 256 B at 40 blocks/s, 19200 bit/s: %s XOFFs, at most %s bytes after an XOFF, "
                "%s lost, CPU %.2f%% (mostly paused), %.1f UI ticks/s\n",
                qPrintable(res.value("xoffs")), qPrintable(res.value("after_xoff")),
                qPrintable(res.value("overflow")), meter.cpuPercent(), meter.ticksPerSecond());
}

void benchPauseAndWaits() {
    Machine m({"--mode", "receive", "--baud", "9600", "--stop", "2", "--xoff-at", "5", "--xoff-ms", "2000"});
    Rig r(m.slave(), 3);
    if (!r.s.openLine(SendKind, r.profile, r.options))
        return;
    r.s.waitForInput(3000);
    r.s.readChar();
    Meter pause;
    pause.start();
    for (unsigned char c : QByteArray("%\nO1234\nM30\n%"))
        if (r.s.writeChar(c))
            break;
    pause.stop();
    Meter wait;
    wait.start();
    r.s.waitMs(2000);
    wait.stop();
    m.result();
    r.s.closeLine();
    std::printf("XOFF pause of 2 s: CPU %.2f%%, %.1f UI ticks/s; waitMs(2000) before closing: CPU %.2f%%, "
                "%.1f ticks/s\n",
                pause.cpuPercent(), pause.ticksPerSecond(), wait.cpuPercent(), wait.ticksPerSecond());
}

void benchStartLatency() {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    char name[128];
    if (master < 0 || ::grantpt(master) || ::unlockpt(master) || ::ptsname_r(master, name, sizeof name))
        return;
    Rig r(QString::fromLocal8Bit(name), 3);
    if (!r.s.openLine(SendKind, r.profile, r.options))
        return;
    double worst = 0, sum = 0;
    const int trials = 20;
    Meter meter;
    meter.start();
    for (int i = 0; i < trials; ++i) {
        double sentAt = 0;
        std::thread t([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(97));
            sentAt = wallSeconds();
            const char dc1 = 0x11;
            (void)!::write(master, &dc1, 1);
        });
        r.s.waitForInput(2000);
        const double seen = wallSeconds();
        t.join();
        r.s.readChar();
        worst = std::max(worst, seen - sentAt);
        sum += seen - sentAt;
    }
    meter.stop();
    r.s.closeLine();
    ::close(master);
    std::printf("start character: seen %.3f ms after it was written on average, %.3f ms at worst; "
                "waiting CPU %.2f%%, %.1f UI ticks/s\n",
                1000 * sum / trials, 1000 * worst, meter.cpuPercent(), meter.ticksPerSecond());
}

void benchReceive(int bytes) {
    const QByteArray text = program(bytes);
    char path[] = "/tmp/tornyx-bench-XXXXXX";
    const int fd = ::mkstemp(path);
    (void)!::write(fd, text.constData() + 2, size_t(text.size() - 3)); // the machine adds the "%" frame
    ::close(fd);
    Machine m({"--mode", "punch", "--baud", "19200", "--stop", "2", "--frame", "--input", path});
    Rig r(m.slave(), 5);
    if (!r.s.openLine(ReceiveKind, r.profile, r.options))
        return;
    QByteArray got;
    Meter meter;
    meter.start();
    int percents = 0;
    while (percents < 2 && r.s.waitForInput(3000)) {
        while (r.s.queuedInput() > 0 && percents < 2) {
            const unsigned char c = r.s.readChar();
            got.append(char(c));
            percents += c == '%';
        }
    }
    meter.stop();
    const auto res = m.result();
    r.s.closeLine();
    ::unlink(path);
    const double rate = res.value("rate").toDouble();
    const double line = res.value("line_rate").toDouble();
    std::printf(
        "receive 19200 bit/s 8N2: %d bytes %s, machine punched at %.2f%% of the line rate, CPU %.2f%%, "
        "%.1f UI ticks/s\n",
        int(got.size()), got == text ? "identical" : "DIFFERENT", line > 0 ? 100 * rate / line : 0,
        meter.cpuPercent(), meter.ticksPerSecond());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchSend(2, 2048);
    benchSend(3, 4096);
    benchSend(5, 8192);
    benchXoff();
    benchPauseAndWaits();
    benchStartLatency();
    benchReceive(8192);
    return 0;
}
