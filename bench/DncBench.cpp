// Drip-feeds a generated program with subprogram calls to tornyx-machine in
// DNC-buffer mode (256-byte buffer run at 60 blocks/s behind 19200 baud 8N2)
// and prints what the run cost: bytes and blocks, effective rate against what
// the control consumes, processor time, memory at the start and the end, the
// bytes after each XOFF, and a 10-hour extrapolation. The machine paces the
// run, so it is stopped through its stop request after --seconds.
//
// With --via ser2net the line runs through ser2net as an RFC 2217 device
// server on loopback in front of the machine's pty.
//
//   dnc_bench [--mb 100] [--seconds 300] [--via direct|ser2net] [--machine PATH]
#include "dnc/DncRun.h"
#include "platform/MappedSerialPort.h"
#include "send/SendRun.h"

#include "editor/ProgramIndex.h"
#include "send/SendFakes.h"
#include "support/DeviceServer.h"
#include "support/FakeWindow.h"
#include "support/MachineProcess.h"
#include "support/ProcessUsage.h"
#include "support/TempHome.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <optional>
#include <vector>

using namespace tornyx;
using namespace tornyx::test;

namespace {

// The editor's text as one buffer with the start of each line: line(i)
// hands out a copy of one line, as the editor does, and nothing else is
// copied per line.
class BufferEditor : public RunEditor {
public:
    QByteArray text;
    std::vector<qsizetype> starts; // one more than the lines: the end

    int lineCount() const override { return int(starts.size()) - 1; }
    QByteArray line(int i) const override {
        const qsizetype from = starts[size_t(i)];
        qsizetype to = starts[size_t(i) + 1] - 1; // before the LF
        if (to > from && text[to - 1] == '\r')
            --to;
        return text.mid(from, to - from);
    }
    bool isEmpty() const override { return text.isEmpty(); }
    void selectLine(int, int) override {}
    void caretToStart() override {}
    void focus() override {}
    void setReadOnly(bool) override {}
    bool isModified() const override { return false; }
    void setModified(bool) override {}
    int breakpointLine() const override { return -1; }
    void clearBreakpoint() override {}
    void clear() override {}

    void add(const QByteArray& l) {
        text += l;
        text += "\r\n";
        starts.push_back(text.size());
    }
};

// Two subprograms first, then the main program: plain blocks with a call of
// O100 twice (L2) every 40 blocks and of O200 every 100 blocks.
int generate(BufferEditor& e, qsizetype bytes, QStringList& index) {
    e.text.reserve(bytes + 4096);
    e.starts.reserve(size_t(bytes / 24));
    e.starts.push_back(0);
    auto program = [&](const QByteArray& l) {
        index << QString::number(e.lineCount() + 1).rightJustified(5, '0') + '-' + QString::fromLatin1(l);
        e.add(l);
    };
    program("O100 (SQUARE)");
    for (const char* l : {"G91 G01 X1. F500", "Y1.", "X-1.", "Y-1.", "G90", "M99"})
        e.add(l);
    program("O200 (PECK)");
    for (const char* l : {"G01 Z-1. F200", "G00 Z1.", "M99"})
        e.add(l);
    program("O1 (MAIN)");
    const int mainLine = e.lineCount();
    for (int i = 1; e.text.size() < bytes; ++i) {
        if (i % 100 == 0)
            e.add("M98 P0200");
        else if (i % 40 == 0)
            e.add("M98 P100 L2");
        else
            e.add("N" + QByteArray::number(i % 100000) + " G01 X" + QByteArray::number(i % 997) + ".123 Y-" +
                  QByteArray::number(i % 499) + ".5");
    }
    e.add("M30");
    return mainLine;
}

class BenchDncPrompts : public DncPrompts {
public:
    int startLine = 0;
    Start chooseDncStart() override { return {true, startLine}; }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int mb = 100;
    int seconds = 300;
    QString machine = TORNYX_MACHINE;
    bool viaSer2Net = false;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--mb")
            mb = args[i + 1].toInt();
        else if (args[i] == "--seconds")
            seconds = args[i + 1].toInt();
        else if (args[i] == "--machine")
            machine = args[i + 1];
        else if (args[i] == "--via")
            viaSer2Net = args[i + 1] == "ser2net";
    }
    TempHome home;
    const long rssEmpty = maxRssKb();
    BufferEditor editor;
    test::FakeWindow display;
    display.keepPanelHistory = false;
    BenchDncPrompts dncPrompts;
    QStringList index;
    dncPrompts.startLine = generate(editor, qsizetype(mb) * 1024 * 1024, index);
    ProgramIndex programs;
    programs.setEntries(index);
    std::printf("program: %d MB, %d lines, %lld bytes; max RSS %ld KB before, %ld KB with the text\n", mb,
                editor.lineCount(), qlonglong(editor.text.size()), rssEmpty, maxRssKb());

    const QString out = home.path() + "/dnc.out";
    MachineProcess m(machine, {},
                     {"--mode", "dnc", "--buffer", "256", "--blocks-per-s", "60", "--baud", "19200", "--stop",
                      "2", "--out", out, "--timeout", QString::number((seconds + 120) * 1000)});
    if (m.slave().isEmpty()) {
        std::printf("machine did not start\n");
        return 1;
    }
    std::optional<Ser2Net> box;
    if (viaSer2Net) {
        box.emplace(home.path(), m.slave(), Ser2Net::Kind::Rfc2217, "19200n82");
        if (!box->isReady()) {
            std::printf("ser2net did not start: %s\n", qPrintable(box->output()));
            return 1;
        }
    }
    std::printf("line: %s\n", viaSer2Net ? "through ser2net (RFC 2217)" : "direct pty");
    platform::MappedSerialPort port;
    PumpingLineHost lineHost;
    platform::SystemClock clock;
    TransferSession session(port, lineHost, clock);
    const QString device = box ? box->url() : m.slave();
    session.setPortResolver([device](const QString&) { return device; });
    TransferState state;
    DncRun run(session, editor, display, programs, dncPrompts, state);
    SendContext ctx;
    ctx.profile = defaultProfile(1);
    ctx.profile.send.speed = 5; // 19200
    ctx.profile.send.signal = 0;
    ctx.profile.send.dncSend = 1;
    ctx.profileNumber = 1;
    ctx.options.dc3Is93 = ctx.lineOptions.dc3Is93 = false;
    // ser2net reports the pseudo-terminal's missing carrier as off.
    ctx.lineOptions.noLineCheck = viaSer2Net;
    ctx.documentPath = "/bench/DNC.nc";

    QElapsedTimer wall;
    long rssStart = 0;
    double cpuStart = 0;
    bool stopped = false;
    lineHost.onPump = [&](int) {
        if (!state.dataSent)
            return;
        if (!wall.isValid()) {
            wall.start();
            rssStart = maxRssKb();
            cpuStart = cpuSeconds();
        } else if (!stopped && wall.elapsed() >= qint64(seconds) * 1000) {
            stopped = true;
            session.requestStop();
        }
    };
    run.run(ctx, 0);
    const double runSeconds = wall.isValid() ? wall.elapsed() / 1000.0 : 0.0;
    const double cpu = cpuSeconds() - cpuStart;
    const long rssEnd = maxRssKb();
    const auto res = m.result(30000);

    QFile f(out);
    f.open(QIODevice::ReadOnly);
    const QByteArray consumed = f.readAll();
    const qsizetype blocks = consumed.count('\n');
    const double bytes = res.value("bytes").toDouble();
    const double span = res.value("span_us").toDouble() / 1e6;
    const long starved = res.value("starved").toLong();
    std::printf("run: %.1f s from the first data byte, stopped by request: %s; last log line: %s\n",
                runSeconds, stopped ? "yes" : "no", qPrintable(session.log().lastLine()));
    std::printf("sent: %.0f bytes, %lld blocks (machine: data=%s rate=%.1f B/s line_rate=%.1f B/s)\n", bytes,
                qlonglong(blocks), qPrintable(res.value("data")), res.value("rate").toDouble(),
                res.value("line_rate").toDouble());
    const double blockRate = span > 0 ? blocks / span : 0.0;
    std::printf("rate: %.2f blocks/s = %.1f B/s against the control's 60 blocks/s (%.1f B/s at %.1f B/block) "
                "= %.2f%%; starved consume ticks %ld\n",
                blockRate, span > 0 ? bytes / span : 0.0, blocks > 0 ? 60.0 * bytes / blocks : 0.0,
                blocks > 0 ? bytes / blocks : 0.0, 100.0 * blockRate / 60.0, starved);
    std::printf("CPU: %.2f s in %.1f s = %.2f%% of one core\n", cpu, runSeconds,
                runSeconds > 0 ? 100.0 * cpu / runSeconds : 0.0);
    std::printf("max RSS: %ld KB at the start of the data, %ld KB at the end (+%ld KB)\n", rssStart, rssEnd,
                rssEnd - rssStart);
    std::printf("after_xoff=%s (most bytes while XOFF held) xoffs=%s overflow=%s max_fill=%s\n",
                qPrintable(res.value("after_xoff")), qPrintable(res.value("xoffs")),
                qPrintable(res.value("overflow")), qPrintable(res.value("max_fill")));
    if (runSeconds > 0) {
        const double hours10 = 36000.0;
        std::printf("10 h: %.0f MB sent (%.0f blocks); max RSS %.0f KB (growth %.1f KB/h)\n",
                    bytes / runSeconds * hours10 / 1048576.0, blocks / runSeconds * hours10,
                    rssStart + (rssEnd - rssStart) / runSeconds * hours10,
                    (rssEnd - rssStart) / runSeconds * 3600.0);
    }
    return 0;
}
