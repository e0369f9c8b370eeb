// Sends a generated program to tornyx-machine over a pty at the line rate and
// prints what the run cost: effective rate, processor time, memory, event
// pump liveness, bytes after the machine's XOFF, and the run's own cost per
// line measured without a line.
//
//   tornyx-send-bench [--kb N] [--baud 19200,9600] [--pace yes|no] [--max-lead US,...]
//                     [--busy N] [--machine PATH]
//
// --baud takes any speed: one that no profile offers (115200) runs the
// profile at 19200 over a port that sets the line to the given speed, and
// the writer paces at the speed the port reports. --max-lead runs once per
// cap on the writer's lead in microseconds (0: the default of the speed).
// --busy starts N processes that spin for the whole bench, as other programs
// on a shop PC do.
#include "send/SendRun.h"

#include "platform/PosixSerialPort.h"

#include "editor/ProgramIndex.h"
#include "send/SendFakes.h"
#include "support/EmulatedSerialPort.h"
#include "support/FakeClock.h"
#include "support/FakeWindow.h"
#include "support/ProcessUsage.h"
#include "support/TempHome.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

using namespace tornyx;
using namespace tornyx::test;

namespace {

QList<QByteArray> program(int kb) {
    QList<QByteArray> lines{"%", "O1000(BENCH)"};
    qsizetype size = 0;
    for (int i = 0; size < qsizetype(kb) * 1024; ++i) {
        QByteArray l = "N" + QByteArray::number(i % 10000) + "G01X" + QByteArray::number(i % 997) + ".123Y-" +
                       QByteArray::number(i % 499) + ".5F1200";
        size += l.size() + 1;
        lines << l;
    }
    lines << "M30"
          << "%";
    return lines;
}

// A serial port that runs its line at a speed no profile offers.
class FixedSpeedPort final : public platform::SerialPort {
public:
    explicit FixedSpeedPort(int baud) : m_baud(baud) {}
    bool open(const QString& path) override { return m_port.open(path); }
    bool isOpen() const override { return m_port.isOpen(); }
    void close() override { m_port.close(); }
    std::optional<platform::LineParameters> lineParameters() override { return m_port.lineParameters(); }
    bool setLineParameters(const platform::LineParameters& p) override {
        platform::LineParameters fixed = p;
        fixed.baud = m_baud;
        return m_port.setLineParameters(fixed);
    }
    std::optional<platform::Timeouts> timeouts() override { return m_port.timeouts(); }
    bool setTimeouts(const platform::Timeouts& t) override { return m_port.setTimeouts(t); }
    bool setQueueSizes(int in, int out) override { return m_port.setQueueSizes(in, out); }
    bool purge() override { return m_port.purge(); }
    int queuedInput() override { return m_port.queuedInput(); }
    int queuedOutput() override { return m_port.queuedOutput(); }
    std::optional<unsigned char> readByte() override { return m_port.readByte(); }
    bool writeByte(unsigned char b) override { return m_port.writeByte(b); }
    std::optional<platform::ModemLines> modemStatus() override { return m_port.modemStatus(); }
    bool raiseDtr() override { return m_port.raiseDtr(); }
    bool raiseRts() override { return m_port.raiseRts(); }
    bool waitForInput(std::int64_t us) override { return m_port.waitForInput(us); }
    bool lineLost() override { return m_port.lineLost(); }
    int descriptor() const override { return m_port.descriptor(); }
    QString lastError() const override { return m_port.lastError(); }

private:
    int m_baud;
    platform::PosixSerialPort m_port;
};

int profileSpeedIndex(int baud) {
    switch (baud) {
    case 1200:
        return 0;
    case 2400:
        return 1;
    case 4800:
        return 2;
    case 9600:
        return 3;
    case 14400:
        return 4;
    case 19200:
        return 5;
    default:
        return -1;
    }
}

QMap<QString, QString> resultOf(QProcess& p) {
    p.waitForFinished(30000);
    QMap<QString, QString> out;
    for (const QString& line : QString::fromLocal8Bit(p.readAllStandardOutput()).split('\n'))
        if (line.startsWith("result "))
            for (const QString& kv : line.mid(7).split(' ', Qt::SkipEmptyParts))
                out[kv.section('=', 0, 0)] = kv.section('=', 1);
    return out;
}

void lineRun(const QString& machine, int kb, int baud, std::int64_t leadUs, bool pace, int busy) {
    TempHome home;
    QProcess m;
    QStringList margs{"--mode",        "receive", "--baud",    QString::number(baud),
                      "--start-delay", "30",      "--xoff-at", "2000",
                      "--xoff-ms",     "200",     "--idle",    "1500",
                      "--timeout",     "600000"};
    if (!pace)
        margs << "--no-pace";
    m.start(machine, margs);
    if (!m.waitForReadyRead(5000)) {
        std::printf("machine did not start\n");
        return;
    }
    const QString slave = QString::fromLocal8Bit(m.readLine()).trimmed();

    const int speedIndex = profileSpeedIndex(baud);
    std::unique_ptr<platform::SerialPort> port;
    if (speedIndex >= 0)
        port = std::make_unique<platform::PosixSerialPort>();
    else
        port = std::make_unique<FixedSpeedPort>(baud);
    PumpingLineHost lineHost;
    platform::SystemClock clock;
    TransferSession session(*port, lineHost, clock);
    session.setPortResolver([slave](const QString&) { return slave; });
    session.setMaxWriteLeadUs(leadUs);
    test::FakeWindow editor;
    editor.lines = program(kb);
    ProgramIndex programs;
    TransferState state;
    SendRun run(session, editor, editor, programs, state);
    SendContext ctx;
    ctx.profile = defaultProfile(1);
    ctx.profile.send.speed = speedIndex >= 0 ? speedIndex : 5;
    ctx.profile.send.signal = 0;
    ctx.options.dc3Is93 = ctx.lineOptions.dc3Is93 = false;
    ctx.documentPath = "/bench/O1000.nc";

    int ticks = 0;
    QTimer timer;
    timer.setInterval(50);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start();
    // Ticks per second while the data flows, worst second.
    int worstTicks = 1000;
    int lastTicks = 0;
    QElapsedTimer second;
    lineHost.onPump = [&](int) {
        if (!state.dataSent)
            return;
        if (!second.isValid()) {
            second.start();
            lastTicks = ticks;
        } else if (second.elapsed() >= 1000) {
            if (state.counters.sentCount < state.counters.totalCount)
                worstTicks = std::min(worstTicks, ticks - lastTicks);
            lastTicks = ticks;
            second.restart();
        }
    };
    const long rssBefore = maxRssKb();
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    run.run({ctx});
    const double seconds = wall.elapsed() / 1000.0;
    const double cpu = cpuSeconds() - cpu0;
    const auto res = resultOf(m);
    const double lineRate = res.value("line_rate").toDouble();
    // The machine's XOFF of 200 ms is its own hold, not the sender's loss:
    // the rate counts the time the line was the sender's.
    const double span = res.value("span_us").toDouble();
    const double held = res.value("held_us").toDouble();
    const double bytes = res.value("bytes").toDouble();
    const double rate = span > held ? (bytes - 1) * 1e6 / (span - held) : 0;
    std::printf("%d baud 8N2, %d KB, %lld lines, machine %s: %s\n", baud, kb, qlonglong(editor.lines.size()),
                pace ? "reading at the line rate" : "reading at once", qPrintable(session.log().lastLine()));
    std::printf("  machine: bytes=%s rate=%.1f B/s (%.1f with its %.0f ms XOFF hold) line_rate=%.1f B/s -> "
                "%.2f%% of the line rate\n",
                qPrintable(res.value("bytes")), rate, res.value("rate").toDouble(), held / 1000, lineRate,
                lineRate > 0 ? 100.0 * rate / lineRate : 0.0);
    std::printf("  after_xoff=%s xoffs=%s\n", qPrintable(res.value("after_xoff")),
                qPrintable(res.value("xoffs")));
    std::printf("  run %.1f s wall (incl. 4 s before closing), CPU %.2f s = %.2f%% of one core\n", seconds,
                cpu, 100.0 * cpu / seconds);
    std::printf("  20 Hz timer: worst second %d ticks; max RSS %ld KB -> %ld KB\n", worstTicks, rssBefore,
                maxRssKb());
    const double charUs = session.pacer().characterNs() / 1000.0;
    std::printf(
        "curve: baud=%d max_lead_us=%lld max_lead_chars=%.1f peak_lead_chars=%.1f busy=%d share=%.2f%% "
        "after_xoff=%s cpu=%.2f%%\n",
        baud, qlonglong(session.pacer().maxLeadUs()), session.pacer().maxLeadUs() / charUs,
        session.pacer().peakLeadUs() / charUs, busy, lineRate > 0 ? 100.0 * rate / lineRate : 0.0,
        qPrintable(res.value("after_xoff")), 100.0 * cpu / seconds);
}

// The run's own cost: the same program over an emulated line whose clock
// jumps, so only the run's work (filter, selection, progress, pumps) counts.
void overheadRun(int kb) {
    FakeClock clock;
    EmulatedSerialPort port(clock);
    ScriptedLineHost lineHost;
    TransferSession session(port, lineHost, clock);
    session.setPortResolver([](const QString&) { return QStringLiteral("/dev/emulated"); });
    test::FakeWindow editor;
    editor.lines = program(kb);
    ProgramIndex programs;
    TransferState state;
    SendRun run(session, editor, editor, programs, state);
    SendContext ctx;
    ctx.profile = defaultProfile(1);
    ctx.profile.send.speed = 5;
    ctx.profile.send.signal = 1;
    const double cpu0 = cpuSeconds();
    run.run({ctx});
    const double cpu = cpuSeconds() - cpu0;
    const auto lines = editor.lines.size();
    std::printf(
        "overhead without a line: %lld lines, %lld bytes, %.2f us per line (%.3f us per byte), %d pumps\n",
        qlonglong(lines), qlonglong(port.written().size()), 1e6 * cpu / lines,
        1e6 * cpu / std::max<qsizetype>(1, port.written().size()), lineHost.pumps);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int kb = 100;
    QStringList bauds{"19200", "9600"};
    QStringList leads{"0"};
    QString machine = TORNYX_MACHINE;
    bool pace = true;
    int busy = 0;
    const QStringList args = app.arguments();
    const QStringList known{"--kb", "--baud", "--machine", "--pace", "--max-lead", "--busy"};
    for (int i = 1; i < args.size(); i += 2) {
        if (!known.contains(args[i]) || i + 1 >= args.size()) {
            std::fprintf(stderr,
                         "usage: tornyx-send-bench [--kb N] [--baud 19200,9600,115200] [--pace yes|no] "
                         "[--max-lead US,...] [--busy N] [--machine PATH]\n");
            return args[i] == "--help" ? 0 : 2;
        }
    }
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--kb")
            kb = args[i + 1].toInt();
        else if (args[i] == "--baud")
            bauds = args[i + 1].split(',');
        else if (args[i] == "--machine")
            machine = args[i + 1];
        else if (args[i] == "--pace")
            pace = args[i + 1] != "no";
        else if (args[i] == "--max-lead")
            leads = args[i + 1].split(',');
        else if (args[i] == "--busy")
            busy = args[i + 1].toInt();
    }
    overheadRun(kb);
    // Other programs that want the processor; killed when the bench ends.
    std::vector<std::unique_ptr<QProcess>> spinners;
    for (int i = 0; i < busy; ++i) {
        spinners.push_back(std::make_unique<QProcess>());
        spinners.back()->start("sh", {"-c", "while :; do :; done"});
        spinners.back()->waitForStarted();
    }
    for (const QString& b : bauds)
        for (const QString& l : leads)
            lineRun(machine, kb, b.toInt(), l.toLongLong(), pace, busy);
    return 0;
}
