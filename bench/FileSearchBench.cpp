// File search over a generated tree of 20,000 NC files (1 GB, three folder
// levels) against `grep -rnF` with the same text on the same tree, warm
// cache, in the same run. The search runs in the real dialog: its busy
// indicator's frames give the repaint rate, and Cancel is timed.
//
//   bench_file_search [runs] [--keep]
//
// The tree goes to /tmp/tornyx-search-bench and is removed afterwards
// unless --keep is given (a kept tree is used again by the next run).

#include "Measure.h"
#include "platform/TextCodec.h"
#include "search/FileSearch.h"
#include "search/ui/BusyIndicator.h"
#include "search/ui/TSearchFiles.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

using namespace tornyx;
using namespace tornyx::bench;

namespace {

const QString Root = QStringLiteral("/tmp/tornyx-search-bench");
constexpr int Files = 20'000;
constexpr int FileBytes = 50'000;

// One program a file: a header with a Japanese comment, blocks, now and then
// a tool change; one file in a hundred calls tool T0512.
QByteArray program(int i) {
    QByteArray out = "%\r\nO" + QByteArray::number(1000 + i % 9000) +
                     platform::toSjis(QStringLiteral(u"(荒加工 ﾜｰｸ座標 G54)")) + "\r\n";
    char line[96];
    for (int n = 0; out.size() < FileBytes - 40; ++n) {
        if (n % 400 == 0)
            out += (i % 100 == 7 && n == 400) ? QByteArray("T0512 M06\r\n")
                                              : "T" + QByteArray::number(1 + n / 400 % 20) + " M06\r\n";
        const int len =
            std::snprintf(line, sizeof line, "N%05d G01 X%.3f Y%.3f F%d\r\n", n, (n * 7 + i) % 9973 * 0.013,
                          (n * 3 + i) % 8887 * 0.021, 800 + n % 5 * 100);
        out.append(line, len);
    }
    out += "M30\r\n%\r\n";
    return out;
}

bool makeTree() {
    if (QFile::exists(Root + "/complete"))
        return true;
    QDir(Root).removeRecursively();
    for (int i = 0; i < Files; ++i) {
        // 10 x 10 x 10 folders, 20 files in each of the deepest.
        const int leaf = i / 20;
        const QString folder =
            QStringLiteral("%1/L%2/M%3/N%4").arg(Root).arg(leaf / 100).arg(leaf / 10 % 10).arg(leaf % 10);
        if (i % 20 == 0 && !QDir().mkpath(folder))
            return false;
        QFile f(QStringLiteral("%1/P%2.NC").arg(folder).arg(i, 5, 10, QChar('0')));
        const QByteArray bytes = program(i);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return false;
    }
    QFile done(Root + "/complete");
    return done.open(QIODevice::WriteOnly);
}

// grep's time and the number of lines it printed.
std::pair<double, long> grep(const QByteArray& text) {
    const QString out = Root + ".grep";
    // The pattern from a file: Shift-JIS bytes cannot pass through an argument
    // of this program's locale.
    const QString pattern = Root + ".pattern";
    {
        QFile f(pattern);
        if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
            return {-1, 0};
    }
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer t;
    t.start();
    // Into a file: grep stops at the first hit when its output is /dev/null.
    p.start("sh", {"-c", "LC_ALL=C grep -rnF -f \"$1\" \"$2\" > \"$3\"", "sh", pattern, Root, out});
    p.waitForFinished(-1);
    const double s = t.nsecsElapsed() / 1e9;
    long lines = 0;
    QFile f(out);
    if (f.open(QIODevice::ReadOnly))
        lines = f.readAll().count('\n');
    QFile::remove(out);
    QFile::remove(pattern);
    return {s, lines};
}

struct Collect : SearchHost {
    long hits = 0;
    void found(const SearchHit&) override { ++hits; }
    void invalidMask(const QString&) override {}
    bool pump() override { return false; }
};

struct DialogRun {
    double seconds;
    double fps;
    double peakRiseMb;
    long hits;
};

DialogRun inDialog(TSearchFiles& d, const QString& text) {
    DialogRun r{};
    QTimer::singleShot(0, [&] {
        d.ComboBoxStr->setEditText(text);
        d.ComboBoxDir->setEditText(Root);
        d.ComboBoxFile->setEditText("*.NC");
        const long before = statusKb("VmRSS");
        resetPeak();
        const qint64 frames0 = d.Animate1->frames();
        QElapsedTimer t;
        t.start();
        d.OKBtnClick();
        r.seconds = t.nsecsElapsed() / 1e9;
        // The frame the indicator shows while it is being hidden counts not.
        r.fps = (d.Animate1->frames() - frames0) / r.seconds;
        r.peakRiseMb = (statusKb("VmHWM") - before) / 1024.0;
        r.hits = d.ListBox1->count();
        d.reject();
    });
    d.showOver(QRect(100, 100, 800, 600));
    return r;
}

// From the moment the click is due (the operator's click waits in the event
// queue until the search lets the window have its events) to the search's end.
double cancelAfter(TSearchFiles& d, int ms) {
    double latency = -1;
    QTimer::singleShot(0, [&] {
        d.ComboBoxStr->setEditText(QStringLiteral("G01"));
        d.ComboBoxDir->setEditText(Root);
        d.ComboBoxFile->setEditText("*.NC");
        QElapsedTimer sinceStart;
        sinceStart.start();
        QTimer::singleShot(ms, [&] { d.CancelBtn->click(); });
        d.OKBtnClick();
        latency = sinceStart.nsecsElapsed() / 1e6 - ms;
        d.reject();
    });
    d.showOver(QRect(100, 100, 800, 600));
    return latency;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int runs = 5;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--keep") == 0)
            keep = true;
        else
            runs = std::max(1, std::atoi(argv[i]));
    }
    QElapsedTimer made;
    made.start();
    if (!makeTree()) {
        std::printf("cannot write the tree under %s\n", qPrintable(Root));
        return 1;
    }
    std::printf("tree: %d files of %d bytes in %s (%.1f s to make or find)\n", Files, FileBytes,
                qPrintable(Root), made.elapsed() / 1000.0);
    QTemporaryDir home; // the dialog's option file
    TSearchFiles dialog(home.filePath("Tornyx.INI"));
    dialog.warn = [](const QString& t) { std::printf("dialog says: %s\n", qPrintable(t)); };

    grep("warm the cache");
    const long startKb = statusKb("VmRSS");
    for (const QString& text : {QStringLiteral("T0512"), QStringLiteral(u"荒加工")}) {
        std::vector<double> g, engine, dlg, fps, rise, engineRise;
        long grepLines = 0, ourHits = 0, engineHits = 0;
        for (int run = 0; run < runs; ++run) {
            const auto [gs, gl] = grep(platform::toSjis(text));
            g.push_back(gs);
            grepLines = gl;

            SearchRequest req;
            req.text = text;
            req.folder = Root;
            req.patterns = {"*.NC"};
            Collect c;
            const long before = statusKb("VmRSS");
            resetPeak();
            QElapsedTimer t;
            t.start();
            searchFiles(req, c);
            engine.push_back(t.nsecsElapsed() / 1e9);
            engineRise.push_back((statusKb("VmHWM") - before) / 1024.0);
            engineHits = c.hits;

            const DialogRun d = inDialog(dialog, text);
            dlg.push_back(d.seconds);
            fps.push_back(d.fps);
            rise.push_back(d.peakRiseMb);
            ourHits = d.hits;
        }
        std::printf("\nsearch \"%s\", %d runs, medians:\n", qPrintable(text), runs);
        std::printf("  grep -rnF              %7.3f s  %ld lines\n", median(g), grepLines);
        std::printf("  search, no window      %7.3f s  %ld hits  (%.2f x grep)  memory rise %.1f MB\n",
                    median(engine), engineHits, median(engine) / median(g), median(engineRise));
        std::printf("  search in the dialog   %7.3f s  %ld hits  (%.2f x grep, goal <= 2)\n", median(dlg),
                    ourHits, median(dlg) / median(g));
        std::printf(
            "  dialog repaints        %7.1f frames/s (goal >= 10)  memory rise %.1f MB with its results\n",
            median(fps), median(rise));
    }
    std::printf("\nresident: %.0f MB before the searches, peak %.0f MB after all of them\n", startKb / 1024.0,
                statusKb("VmHWM") / 1024.0);
    std::vector<double> cancels;
    for (int i = 0; i < runs; ++i)
        cancels.push_back(cancelAfter(dialog, 150 + 70 * i));
    std::printf("\nCancel during a search: median %.1f ms, worst %.1f ms (goal <= 100 ms)\n", median(cancels),
                *std::max_element(cancels.begin(), cancels.end()));
    if (!keep)
        QDir(Root).removeRecursively();
    return 0;
}
