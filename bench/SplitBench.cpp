// Splitting a 100 MB text of 10,000 programs into one file per program with
// the real dialog, against a plain awk script writing the same files from
// the same text, in the same run. Each split runs in a child process of its
// own, so its memory can be set against what the editor holds.
//
//   bench_split [runs] [folder]   (default 3 runs, folders under /tmp)

#include "BenchSupport.h"
#include "GeneratedProgram.h"
#include "editor/ProgramIndex.h"
#include "editor/ui/NcEditor.h"
#include "platform/AtomicFile.h"
#include "receive/ui/TReadForm.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>

#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <memory>

using namespace tornyx;
using namespace tornyx::bench;

namespace {

// About 45 bytes a block: 10,000 programs of 10 KB.
constexpr int BlocksPerProgram = 222;

// The same split as the dialog's with "%" at top and end: programs start at
// lines beginning with O, L or ":", "%" lines are dropped, lines before the
// first program go nowhere.
const char* AwkScript = R"(BEGIN { RS = "\r\n"; ORS = "\r\n" }
{ sub(/^[ \t]+/, "") }
/^[OL:]/ {
    if (f != "") { print "%" > f; close(f) }
    name = $0; p = index(name, "("); if (p) name = substr(name, 1, p - 1)
    if (substr(name, 1, 1) == ":") name = "O" substr(name, 2)
    f = dir "/" name ext
    print "%" > f
}
/^%/ { next }
f != "" { print > f }
END { if (f != "") { print "%" > f; close(f) } }
)";

struct Host : ReadFormHost {
    NcEditor* editor = nullptr;
    QString folder;
    QString path;
    bool failed = false;
    std::optional<QString> chooseFolder(QWidget*, const QString&, const QString&) override { return folder; }
    void showError(QWidget*, const QString& text) override {
        std::fprintf(stderr, "error: %s\n", qPrintable(text));
        failed = true;
    }
    void informationBox(QWidget*, const QString& text) override {
        std::fprintf(stderr, "information: %s\n", qPrintable(text));
    }
    bool warningYesNo(QWidget*, const QString&) override { return true; }
    const IndexedText& editorText() override { return editor->indexedText(); }
    QString documentPath() override { return path; }
    bool isModified() const override { return false; }
    void setMainWindowEnabled(bool) override {}
    void dialogClosed() override {}
    void splitDone(bool) override {}
    void sendSelected(const ExcludedPrograms&) override {}
    void sendCancelled() override {}
};

// Child: the editor holds the file; the dialog splits it.
int childSplit(const QString& file, const QString& folder, const QString& optionFile) {
    QWidget window;
    window.resize(800, 600);
    auto* editor = new NcEditor(&window);
    editor->resize(800, 560);
    window.show();
    settle();
    const long baseline = statusKb("VmRSS");
    NoQuestions questions;
    if (!editor->loadFile(file, false, questions).opened)
        return 2;
    settle();
    malloc_trim(0);
    const long loaded = statusKb("VmRSS");

    ProgramIndex index;
    index.extract(editor->indexedText(), 0);
    Host host;
    host.editor = editor;
    host.folder = folder;
    host.path = file;
    TReadForm dialog(optionFile, host, &window);
    dialog.openForSplit(index.entries(), window.frameGeometry());
    settle();

    // From here on the peak is the split's.
    resetPeak();
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (!dialog.isSplitting())
            return;
        if (ticks++ > 0)
            longestGap = std::max(longestGap, sinceTick.elapsed());
        sinceTick.restart();
    });
    int repaints = 0;
    struct PaintCounter : QObject {
        int* count;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint)
                ++*count;
            return false;
        }
    } counter;
    counter.count = &repaints;
    dialog.ProgressBar1->installEventFilter(&counter);
    tick.start(5);

    QElapsedTimer t;
    t.start();
    dialog.Button1Click();
    const double seconds = t.nsecsElapsed() / 1e9;
    if (host.failed)
        return 3;
    std::printf("split %.4f\nbaseline %ld\nloaded %ld\npeak %ld\nentries %lld\ngap %lld\nrepaints %d\n",
                seconds, baseline, loaded, statusKb("VmHWM"), static_cast<long long>(index.entries().size()),
                longestGap, repaints);
    return 0;
}

double runAwk(const QString& script, const QString& file, const QString& folder) {
    QElapsedTimer t;
    t.start();
    QProcess awk;
    awk.start("awk", {"-v", "dir=" + folder, "-v", "ext=.nc", "-f", script, file});
    if (!awk.waitForFinished(-1) || awk.exitCode() != 0) {
        std::fprintf(stderr, "awk failed: %s\n", awk.readAllStandardError().constData());
        return 0;
    }
    return t.nsecsElapsed() / 1e9;
}

// The flush the split does at its end and awk does not.
double syncSeconds(const QString& folder) {
    QElapsedTimer t;
    t.start();
    platform::syncFileSystem(folder);
    return t.nsecsElapsed() / 1e9;
}

// Both folders hold the same names with the same bytes.
bool sameFiles(const QString& a, const QString& b) {
    const QStringList names = QDir(a).entryList(QDir::Files, QDir::Name);
    if (names != QDir(b).entryList(QDir::Files, QDir::Name))
        return false;
    for (const QString& n : names) {
        QFile x(a + '/' + n);
        QFile y(b + '/' + n);
        if (!x.open(QIODevice::ReadOnly) || !y.open(QIODevice::ReadOnly) || x.readAll() != y.readAll())
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc >= 5 && std::strcmp(argv[1], "child") == 0)
        return childSplit(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                          QString::fromLocal8Bit(argv[4]));
    const int runs = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 3;
    const auto dirPtr =
        argc >= 3 ? std::make_unique<QTemporaryDir>(QString::fromLocal8Bit(argv[2]) + "/bench_split-XXXXXX")
                  : std::make_unique<QTemporaryDir>();
    const QTemporaryDir& dir = *dirPtr;
    const QString file = dir.filePath("tape.nc");
    const QString optionFile = dir.filePath("Tornyx.INI");
    const QString script = dir.filePath("split.awk");
    {
        const QByteArray data = generateProgram(ProgramBytes, BlocksPerProgram);
        QFile f(file);
        QFile o(optionFile);
        QFile s(script);
        if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !o.open(QIODevice::WriteOnly) ||
            !s.open(QIODevice::WriteOnly))
            return 1;
        o.write("[Sub]\r\nF_Set=1\r\nB_Set=1\r\nN_Set=0\r\n");
        s.write(AwkScript);
        std::printf("text: %.1f MB in %s\n", data.size() / 1e6, qPrintable(dir.path()));
    }

    std::map<std::string, std::vector<double>> ours;
    std::vector<double> awkSeconds;
    std::vector<double> awkSync;
    bool identical = true;
    for (int i = 0; i < runs; ++i) {
        const QString mine = dir.filePath(QString("ours%1").arg(i));
        const QString theirs = dir.filePath(QString("awk%1").arg(i));
        QDir().mkpath(mine);
        QDir().mkpath(theirs);
        // Turn about, so that neither meets the disk's state the other left.
        if (i % 2) {
            awkSeconds.push_back(runAwk(script, file, theirs));
            awkSync.push_back(syncSeconds(theirs));
        }
        long peak = 0;
        const auto o =
            runChild(argv[0], {file.toStdString(), mine.toStdString(), optionFile.toStdString()}, &peak);
        for (const auto& [k, v] : o)
            ours[k].push_back(v);
        if (i % 2 == 0) {
            awkSeconds.push_back(runAwk(script, file, theirs));
            awkSync.push_back(syncSeconds(theirs));
        }
        if (i == 0)
            identical = sameFiles(mine, theirs);
    }
    // Removed only now: ext4 passes over inodes freed in the last half
    // minute when it allocates new ones, which would slow whichever split
    // came after a removal.
    const double split = median(ours["split"]);
    const double awk = median(awkSeconds);
    const double baseline = median(ours["baseline"]);
    const double editorOwn = median(ours["loaded"]) - baseline;
    const double peakOwn = median(ours["peak"]) - baseline;
    std::printf("runs: %d, programs: %.0f\n", runs, median(ours["entries"]));
    std::printf("%-36s median %7.3f s  goal <= 5 s\n", "split with the dialog", split);
    std::printf("%-36s median %7.3f s  (split / awk = %.2f)\n", "awk script, same files", awk,
                awk > 0 ? split / awk : 0);
    const double flushed = awk + median(awkSync);
    std::printf("%-36s median %7.3f s  (split / awk and sync = %.2f)\n", "awk, then its files synced",
                flushed, flushed > 0 ? split / flushed : 0);
    std::printf("%-36s editor %.0f MB, peak while splitting %.0f MB: %.2f x  goal <= 1.5 x\n",
                "memory above the empty window", editorOwn / 1024, peakOwn / 1024,
                editorOwn > 0 ? peakOwn / editorOwn : 0);
    std::printf("%-36s longest gap %.0f ms, progress bar repainted %.0f times\n",
                "event loop while splitting", median(ours["gap"]), median(ours["repaints"]));
    std::printf("files byte-identical with awk's: %s\n", identical ? "yes" : "NO");
    return 0;
}
