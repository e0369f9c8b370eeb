// Opening, indexing and saving a 100 MB NC file, against a bare QScintilla
// load of the same file. Every measurement that needs its own peak memory
// runs in a child process of this program.
//
//   bench_document [runs]      (default 3)

#include "BenchSupport.h"
#include "GeneratedProgram.h"
#include "editor/DocumentFile.h"
#include "editor/ProgramIndex.h"
#include "editor/ui/NcEditor.h"
#include "platform/TextCodec.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <Qsci/qsciscintilla.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace tornyx;
using namespace tornyx::bench;

namespace {

// Child: the bare control holding the file, the way a plain program would
// load it.
int childRaw(const QString& path) {
    QElapsedTimer t;
    t.start();
    QsciScintilla w;
    w.setUtf8(true);
    w.resize(800, 600);
    w.show();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 2;
    w.setText(QString::fromLatin1(f.readAll()));
    settle();
    std::printf("open %.4f\npeak %ld\n", seconds(t), peakKb());
    return 0;
}

// Child: our whole path, then the index and the save on the loaded text.
int childOurs(const QString& path, const QString& savePath) {
    QElapsedTimer t;
    t.start();
    NcEditor e;
    e.resize(800, 600);
    e.show();
    NoQuestions host;
    const ReadResult r = e.loadFile(path, false, host);
    settle();
    const double open = seconds(t);
    const long peak = peakKb();
    if (!r.opened)
        return 2;
    std::printf("open %.4f\npeak %ld\nlines %d\n", open, peak, e.lineCount());

    ProgramIndex index;
    t.restart();
    const bool any = hasProgramNumber(e.indexedText());
    index.extract(e.indexedText(), 0);
    std::printf("full %.4f\nentries %lld\n", seconds(t), static_cast<long long>(index.entries().size()));
    index.indexedLineCount = e.lineCount();
    if (!any)
        return 3;

    // One character typed in the middle: same line count, so the whole list
    // is rebuilt, with the editor's gap in the middle of the buffer.
    const int mid = e.lineCount() / 2;
    e.setCursorPosition(mid, 3);
    e.insert("1");
    t.restart();
    hasProgramNumber(e.indexedText());
    index.extract(e.indexedText(), e.caretLine(), e.firstChangedLine());
    std::printf("retype %.4f\n", seconds(t));
    e.undo();
    e.resetFirstChangedLine();
    index.indexedLineCount = e.lineCount();

    // A new line typed near the end: the list is kept above the caret.
    const int near = e.lineCount() - 1000;
    e.setCursorPosition(near, 0);
    e.insert("N1\n");
    t.restart();
    hasProgramNumber(e.indexedText());
    index.extract(e.indexedText(), near + 1, e.firstChangedLine());
    std::printf("incremental %.4f\n", seconds(t));
    e.undo();
    e.resetFirstChangedLine();

    t.restart();
    const EncodedDocument enc = e.encodeForFile();
    const bool written = writeDocumentFile(savePath, enc.bytes);
    std::printf("save %.4f\n", seconds(t));
    QFile a(path);
    QFile b(savePath);
    bool same = written && a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly) && a.size() == b.size();
    while (same && !a.atEnd())
        same = a.read(1 << 20) == b.read(1 << 20);
    std::printf("identical %d\n", same ? 1 : 0);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc >= 5 && std::strcmp(argv[1], "child") == 0) {
        const QString file = QString::fromLocal8Bit(argv[3]);
        return std::strcmp(argv[2], "raw") == 0 ? childRaw(file)
                                                : childOurs(file, QString::fromLocal8Bit(argv[4]));
    }
    const int runs = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 3;

    QTemporaryDir dir;
    const QString file = dir.filePath("big.nc");
    const QString save = dir.filePath("saved.nc");
    {
        const QByteArray data = generateProgram();
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
            return 1;
        std::printf("file: %.1f MB\n", data.size() / 1e6);
    }

    std::map<std::string, std::vector<double>> ours;
    std::vector<double> rawOpen, rawPeak, ourPeak;
    for (int i = 0; i < runs; ++i) {
        long peak = 0;
        const auto r = runChild(argv[0], {"raw", file.toStdString(), save.toStdString()}, &peak);
        rawOpen.push_back(r.count("open") ? r.at("open") : 0);
        rawPeak.push_back(peak / 1024.0);
        const auto o = runChild(argv[0], {"ours", file.toStdString(), save.toStdString()}, &peak);
        for (const auto& [k, v] : o)
            ours[k].push_back(v);
        ourPeak.push_back(peak / 1024.0);
    }
    const double raw = median(rawOpen);
    auto row = [&](const char* name, const char* key, double goal) {
        const double m = median(ours[key]);
        std::printf("%-34s median %8.4f s  (%6.3f x raw load)  goal <= %.3f s\n", name, m,
                    raw > 0 ? m / raw : 0, goal);
    };
    std::printf("runs: %d\n", runs);
    std::printf("lines: %.0f, index entries: %.0f\n", median(ours["lines"]), median(ours["entries"]));
    std::printf("%-34s median %7.3f s  peak %.0f MB\n", "raw QScintilla load", raw, median(rawPeak));
    row("open (read, convert, editor)", "open", 2.5);
    std::printf("%-34s %.0f MB (open only: %.0f MB)  goal <= %.0f MB\n", "peak resident, whole child",
                median(ourPeak), median(ours["peak"]) / 1024.0, 4 * ProgramBytes / 1e6);
    row("full extraction", "full", 0.5);
    row("one character typed (full rebuild)", "retype", 0.05);
    row("new line typed (incremental)", "incremental", 0.05);
    row("save", "save", 1.5);
    std::printf("saved file byte-identical: %s\n", median(ours["identical"]) == 1 ? "yes" : "NO");
    return 0;
}
