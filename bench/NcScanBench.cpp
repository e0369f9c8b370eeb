// The NC state reader over a long drip-feed program: the restart scan to the
// last block and the drip-feed budget of the whole program, with the time,
// the blocks read and the memory the scan adds to what the editor holds.
// The text is read through the editor's seam, from the editor widget itself
// with --editor.
//
//   nc_scan_bench [--mb 100] [--editor]
#include "editor/ProgramIndex.h"
#include "editor/ui/NcEditor.h"
#include "nc/DripBudget.h"
#include "nc/RestartScan.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <memory>

using namespace tornyx;
using namespace tornyx::nc;

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Resident memory now, in KB.
long residentKb() {
    QFile f("/proc/self/statm");
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

// A main program of CAM output with tool changes, work offsets, canned
// cycles, arcs and comments, calling two subprograms that run in G91.
QByteArray generate(qint64 bytes) {
    QByteArray out;
    out.reserve(bytes + 4096);
    out += "O100 (POCKET CORNER)\nG91 G01 X2. F800.\nG03 X-2. Y2. I-2. J0.\nG01 Y-2.\nG90\nM99\n";
    out += "O200 (PECK)\nG98 G83 Z-8. R1. Q2. F120.\nX5.\nY5.\nG80\nM99\n";
    out += "O1 (MAIN)\nG21 G17 G40 G49 G80 G90 G94\n";
    char line[96];
    for (int n = 0; out.size() < bytes; ++n) {
        if (n % 20000 == 0) {
            const int tool = 1 + (n / 20000) % 20;
            const int len =
                std::snprintf(line, sizeof line,
                              "(TOOL %d)\nT%d M06\nT%d\nG54.1 P%d\nS%d M03\nG00 X0. Y0.\nG43 H%d Z50. M08\n",
                              tool, tool, tool % 20 + 1, 1 + tool % 3, 800 + 100 * tool, tool);
            out.append(line, len);
        }
        if (n % 997 == 0)
            out += "M98 P100 L2\n";
        if (n % 4001 == 0)
            out += "G00 Z5.\nX10. Y10.\nM98 P200\nG00 Z5.\n";
        if (n % 50 == 0) {
            const int len = std::snprintf(line, sizeof line, "N%d G02 X%.3f Y%.3f R25.\n", n % 100000,
                                          (n % 7919) * 0.137, (n % 6007) * 0.071);
            out.append(line, len);
            continue;
        }
        const int len = std::snprintf(line, sizeof line, "G01 X%.3f Y%.3f Z-%.3f F1200.\n",
                                      (n % 7919) * 0.137, (n % 6007) * 0.071, (n % 97) * 0.01);
        out.append(line, len);
    }
    out += "G91 G28 Z0.\nM30\n";
    return out;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qint64 mb = 100;
    bool inEditor = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--mb") && i + 1 < argc)
            mb = std::atoll(argv[++i]);
        else if (!std::strcmp(argv[i], "--editor"))
            inEditor = true;
    }

    std::unique_ptr<NcEditor> editor;
    std::unique_ptr<PlainIndexedText> plain;
    {
        const QByteArray text = generate(mb * 1'000'000);
        if (inEditor) {
            editor = std::make_unique<NcEditor>();
            editor->setTextQuietly(text);
        } else {
            plain = std::make_unique<PlainIndexedText>(text);
        }
    }
    const IndexedText& text = inEditor ? editor->indexedText() : *plain;
    ProgramIndex index;
    index.extract(text, 0);

    TextLines lines(text);
    const int last = lines.count() - 2; // the block before M30
    std::printf("program: %.1f MB, %d lines, %lld programs, read from %s\n", double(text.length()) / 1e6,
                lines.count(), qlonglong(index.entries().size()),
                inEditor ? "the editor widget" : "a plain buffer");

    ScanSettings s;
    s.flow.entries = index.entries();
    s.flow.startLine = entryLine(index.entries().last()); // O1, the main program
    s.reader.rapidRate = 15000;
    const long before = residentKb();
    QElapsedTimer t;
    t.start();
    const double cpu0 = cpuSeconds();
    const RestartScan r = scanToBlock(lines, s, last, 1);
    const double scanSeconds = double(t.nsecsElapsed()) / 1e9;
    const double scanCpu = cpuSeconds() - cpu0;
    const long afterScan = residentKb();
    std::printf(
        "restart scan to line %d: %.3f s (%.3f s processor), %lld blocks (%.1f MB/s), status %d, level %d, "
        "X%s\n",
        last + 1, scanSeconds, scanCpu, qlonglong(r.blocks), double(text.length()) / 1e6 / scanSeconds,
        int(r.status), r.start.level, r.state.axis[X].known() ? "known" : "unknown");
    std::printf("memory: %ld KB before, %ld KB after the scan (+%ld KB)\n", before, afterScan,
                afterScan - before);

    CommProfile p = defaultProfile(1);
    p.send.speed = 3;
    RestartSettings rs;
    const BudgetSettings bs = budgetSettingsFor(p, readerSettingsFor(rs, false, true), false, s.flow);
    t.restart();
    const BudgetReport b = estimateBudget(lines, bs);
    const double budgetSeconds = double(t.nsecsElapsed()) / 1e9;
    std::printf("budget: %.3f s, %lld blocks, delivery %.0f s, execution %.0f s, %.1f %% of moves starve, "
                "+%ld KB\n",
                budgetSeconds, qlonglong(b.blocks), b.totals[BudgetReport::Current].deliverySeconds,
                b.executionSeconds, 100 * b.flaggedShare(), residentKb() - afterScan);
    return r.status == RestartScan::Ok ? 0 : 1;
}
