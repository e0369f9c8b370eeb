// Sends a generated program to tornyx-machine over a pty at the line rate and
// prints what the run cost: effective rate, processor time, memory, event
// pump liveness, bytes after the machine's XOFF, and the run's own cost per
// line measured without a line.
//
// With --via ser2net the line runs through ser2net as an RFC 2217 device
// server on loopback in front of the machine's pty; "direct,ser2net" runs
// both, one after the other, for the same program and rate. --max-lead runs
// once per cap on the writer's lead in microseconds (0: the default of the
// speed). --busy starts N processes that spin for the whole bench, as other
// programs on a shop PC do. Each run ends with one "curve:" line.
//
//   tornyx-send-bench [--kb N] [--baud 19200,9600,115200] [--pace yes|no] [--via direct,ser2net]
//                     [--max-lead US,...] [--busy N] [--machine PATH]
#include "send/SendRun.h"

#include "platform/MappedSerialPort.h"

#include "editor/ProgramIndex.h"
#include "send/SendFakes.h"
#include "support/DeviceServer.h"
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
#include <optional>
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

QMap<QString, QString> resultOf(QProcess& p) {
    p.waitForFinished(30000);
    QMap<QString, QString> out;
    for (const QString& line : QString::fromLocal8Bit(p.readAllStandardOutput()).split('\n'))
        if (line.startsWith("result "))
            for (const QString& kv : line.mid(7).split(' ', Qt::SkipEmptyParts))
                out[kv.section('=', 0, 0)] = kv.section('=', 1);
    return out;
}

// One run of the bench: speed, cap on the writer's lead, spinning processes.
struct LineCase {
    int baud;
    int speedIndex;
    std::int64_t maxLeadUs;
    bool pace;
    bool viaSer2Net;
    int busy;
};

void lineRun(const QString& machine, int kb, const LineCase& c) {
    const int baud = c.baud;
    const bool pace = c.pace;
    const bool viaSer2Net = c.viaSer2Net;
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
    std::optional<Ser2Net> box;
    if (viaSer2Net) {
        box.emplace(home.path(), slave, Ser2Net::Kind::Rfc2217, QString::number(baud) + "n82");
        if (!box->isReady()) {
            std::printf("ser2net did not start: %s\n", qPrintable(box->output()));
            return;
        }
    }
    const QString device = box ? box->url() : slave;

    platform::MappedSerialPort port;
    PumpingLineHost lineHost;
    platform::SystemClock clock;
    TransferSession session(port, lineHost, clock);
    session.setPortResolver([device](const QString&) { return device; });
    session.setMaxWriteLeadUs(c.maxLeadUs);
    test::FakeWindow editor;
    editor.lines = program(kb);
    ProgramIndex programs;
    TransferState state;
    SendRun run(session, editor, editor, programs, state);
    SendContext ctx;
    ctx.profile = defaultProfile(1);
    ctx.profile.send.speed = c.speedIndex;
    ctx.profile.send.signal = 0;
    ctx.options.dc3Is93 = ctx.lineOptions.dc3Is93 = false;
    // ser2net reports the pseudo-terminal's missing carrier as off.
    ctx.lineOptions.noLineCheck = viaSer2Net;
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
    std::printf("%d baud 8N2 %s, %d KB, %lld lines, machine %s: %s\n", baud,
                viaSer2Net ? "through ser2net (RFC 2217)" : "direct pty", kb, qlonglong(editor.lines.size()),
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
    std::printf("curve: baud=%d via=%s max_lead_us=%lld max_lead_chars=%.1f peak_lead_chars=%.1f busy=%d "
                "share=%.2f%% after_xoff=%s cpu=%.2f%%\n",
                baud, viaSer2Net ? "ser2net" : "direct", qlonglong(session.pacer().maxLeadUs()),
                session.pacer().maxLeadUs() / charUs, session.pacer().peakLeadUs() / charUs, c.busy,
                lineRate > 0 ? 100.0 * rate / lineRate : 0.0, qPrintable(res.value("after_xoff")),
                100.0 * cpu / seconds);
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
    QString machine = TORNYX_MACHINE;
    bool pace = true;
    QStringList via{"direct"};
    QStringList leads{"0"};
    int busy = 0;
    const QStringList args = app.arguments();
    const QStringList known{"--kb", "--baud", "--machine", "--pace", "--via", "--max-lead", "--busy"};
    for (int i = 1; i < args.size(); i += 2) {
        if (!known.contains(args[i]) || i + 1 >= args.size()) {
            std::fprintf(stderr,
                         "usage: tornyx-send-bench [--kb N] [--baud 19200,9600,115200] [--pace yes|no] "
                         "[--via direct,ser2net] [--max-lead US,...] [--busy N] [--machine PATH]\n");
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
        else if (args[i] == "--via")
            via = args[i + 1].split(',');
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
    for (const QString& b : bauds) {
        const int baud = b.toInt();
        int index = 0;
        for (int s = 0; s < SpeedCount; ++s)
            if (s != TapeSpeed && speedBaud(s) == baud)
                index = s;
        for (const QString& v : via)
            for (const QString& l : leads)
                lineRun(machine, kb, {baud, index, l.toLongLong(), pace, v == "ser2net", busy});
    }
    return 0;
}
