// Find, replace all, undo and the jump to a call target on the 100 MB
// generated program, against `grep -c` of the same text on the same file.
// Every measurement runs in a child process of its own, so that its memory
// is its own.
//
//   bench_edit [runs]      (default 5)

#include "BenchSupport.h"
#include "GeneratedProgram.h"
#include "editor/JumpTarget.h"
#include "editor/ProgramIndex.h"
#include "editor/ui/NcEditor.h"

#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QTemporaryDir>

#include <cstring>
#include <fstream>

using namespace tornyx;
using namespace tornyx::bench;

namespace {

// Only the first and the last line hold these blocks. What is searched for
// starts with a letter that begins every block (the search must look at all
// of them) and is typed in lower case.
const char* const FirstLine = "N0 G00 X-9999.999 (FIRST LINE)";
const char* const LastLine = "N9999999 G01 X9999.999 (LAST LINE)";
const char* const FirstFind = "n0 g00 x-9999";
const char* const LastFind = "g01 x9999.999";
// About 580,000 blocks hold it, once each.
const char* const Word = "Y1";
const char* const Replacement = "Y7";

// Resident and peak resident memory of this process in KB.
long statusKb(const char* key) {
    std::ifstream f("/proc/self/status");
    std::string k;
    long v = 0;
    while (f >> k) {
        if (k == key) {
            f >> v;
            return v;
        }
        std::getline(f, k);
    }
    return 0;
}

// Starts counting the peak anew (Linux: clear_refs 5).
bool resetPeak() {
    std::ofstream f("/proc/self/clear_refs");
    f << "5";
    return static_cast<bool>(f.flush());
}

struct Loaded {
    NcEditor e;
    Loaded(const QString& path) {
        e.resize(800, 600);
        e.show();
        NoQuestions host;
        e.loadFile(path, false, host);
        settle();
    }
};

void report(const char* key, double value) {
    std::printf("%s %.6f\n", key, value);
}

// Child: find down from the top to the last line, up from the end to the
// first, as often as runs.
int childFind(const QString& path, int runs) {
    Loaded l(path);
    NcEditor& e = l.e;
    report("own", statusKb("VmRSS:"));
    report("peakreset", resetPeak() ? 1 : 0);
    const int last = e.lineCount() - 2; // the text ends with a line break
    std::vector<double> down;
    std::vector<double> up;
    for (int i = 0; i < runs; ++i) {
        e.SendScintilla(QsciScintillaBase::SCI_SETEMPTYSELECTION, 0ul);
        QElapsedTimer t;
        t.start();
        TextMatch m = e.findText(QString::fromLatin1(LastFind), false);
        e.showRange(m.start, m.end);
        down.push_back(seconds(t));
        if (e.caretLine() != last)
            return 3;

        e.SendScintilla(QsciScintillaBase::SCI_SETEMPTYSELECTION,
                        e.SendScintilla(QsciScintillaBase::SCI_GETLENGTH));
        t.restart();
        m = e.findText(QString::fromLatin1(FirstFind), true);
        e.showRange(m.start, m.end);
        up.push_back(seconds(t));
        if (e.caretLine() != 0)
            return 4;
    }
    report("down", median(down));
    report("up", median(up));
    report("peak", statusKb("VmHWM:"));

    // One key typed at the end of the text, with the editor's notices and
    // with all of QScintilla's (which count the characters from the start
    // for each change).
    for (const bool all : {false, true}) {
        if (all)
            e.SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK,
                            static_cast<unsigned long>(QsciScintillaBase::SC_MODEVENTMASKALL));
        std::vector<double> keys;
        for (int i = 0; i < runs; ++i) {
            e.SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
            QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x");
            QElapsedTimer t;
            t.start();
            QApplication::sendEvent(&e, &press);
            keys.push_back(seconds(t));
        }
        report(all ? "keyall" : "key", median(keys));
    }
    return 0;
}

// Child: replace all, then undo, as often as runs; the text must be as
// loaded again.
int childReplace(const QString& path, int runs) {
    Loaded l(path);
    NcEditor& e = l.e;
    report("own", statusKb("VmRSS:"));
    report("peakreset", resetPeak() ? 1 : 0);
    std::vector<double> replace;
    std::vector<double> undo;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        const int count = e.replaceAll(QString::fromLatin1(Word), QString::fromLatin1(Replacement));
        replace.push_back(seconds(t));
        report("count", count);
        if (i == 0)
            report("peakreplace", statusKb("VmHWM:"));
        t.restart();
        e.undo();
        undo.push_back(seconds(t));
        if (i == 0)
            report("peakundo", statusKb("VmHWM:"));
    }
    report("replace", median(replace));
    report("undo", median(undo));
    report("after", statusKb("VmRSS:"));
    QFile f(path);
    report("identical", f.open(QIODevice::ReadOnly) && e.encodeForFile().bytes == f.readAll() ? 1 : 0);
    return 0;
}

// Child: the jump from the call on line 1 to the last of 10,000 programs,
// through the program-number list and through the lines.
int childJump(const QString& path, int runs) {
    Loaded l(path);
    NcEditor& e = l.e;
    ProgramIndex index;
    index.extract(e.indexedText(), 0);
    report("entries", index.entries().size());
    const int target = entryLine(index.entries().last()) - 1;
    std::map<bool, std::vector<double>> times;
    for (int i = 0; i < runs; ++i) {
        for (const bool withList : {true, false}) {
            e.SendScintilla(QsciScintillaBase::SCI_SETEMPTYSELECTION, 0ul);
            QElapsedTimer t;
            t.start();
            const JumpOutcome o =
                findJumpTarget(e.indexedText(), e.caretLine(), withList ? index.entries() : QStringList());
            e.showRange(o.selectStart, o.selectEnd);
            times[withList].push_back(seconds(t));
            if (o.line != target || e.caretLine() != target)
                return 3;
        }
    }
    report("jumplist", median(times[true]));
    report("jumplines", median(times[false]));
    return 0;
}

double grepSeconds(const QString& pattern, const QString& file, int runs, long* count) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        QElapsedTimer t;
        t.start();
        p.start("grep", {"-c", pattern, file});
        p.waitForFinished(-1);
        times.push_back(seconds(t));
        *count = p.readAllStandardOutput().trimmed().toLong();
    }
    return median(times);
}

QByteArray lastProgramNumber(const QByteArray& data) {
    const qsizetype at = data.lastIndexOf("\nO");
    const qsizetype end = data.indexOf('(', at);
    return data.mid(at + 2, end - at - 2);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc >= 4 && std::strcmp(argv[1], "child") == 0) {
        const QString file = QString::fromLocal8Bit(argv[3]);
        const int runs = argc >= 5 ? std::atoi(argv[4]) : 1;
        if (std::strcmp(argv[2], "find") == 0)
            return childFind(file, runs);
        if (std::strcmp(argv[2], "replace") == 0)
            return childReplace(file, runs);
        return childJump(file, runs);
    }
    const int runs = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 5;

    QTemporaryDir dir;
    const QString file = dir.filePath("big.nc");
    const QString calls = dir.filePath("calls.nc");
    {
        const QByteArray data = QByteArray(FirstLine) + "\r\n" + generateProgram() + LastLine + "\r\n";
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
            return 1;
        std::printf("file: %.1f MB, %lld lines\n", data.size() / 1e6,
                    static_cast<long long>(data.count('\n')));
        const QByteArray many = generateProgram(ProgramBytes, 220);
        const QByteArray withCall = "N1 M98 P" + lastProgramNumber(many) + " L1\r\n" + many;
        QFile g(calls);
        if (!g.open(QIODevice::WriteOnly) || g.write(withCall) != withCall.size())
            return 1;
    }

    long peak = 0;
    const std::string n = std::to_string(runs);
    auto find = runChild(argv[0], {"find", file.toStdString(), n}, &peak);
    auto rep = runChild(argv[0], {"replace", file.toStdString(), n}, &peak);
    auto jump = runChild(argv[0], {"jump", calls.toStdString(), n}, &peak);

    long grepCount = 0;
    long markCount = 0;
    const double grepWord = grepSeconds(QString::fromLatin1(Word), file, runs, &grepCount);
    const double grepMark = grepSeconds(QString::fromLatin1(LastFind).toUpper(), file, runs, &markCount);
    auto m = [](std::map<std::string, double>& from, const char* key) { return from[key]; };
    std::printf("runs: %d (medians)\n", runs);
    std::printf("grep -c %s: %.4f s (%ld lines); grep -c %s: %.4f s\n", Word, grepWord, grepCount,
                qPrintable(QString::fromLatin1(LastFind).toUpper()), grepMark);
    std::printf("%-40s %8.4f s  %6.1f x grep   goal <= 0.3 s\n", "find down, top to last line",
                m(find, "down"), m(find, "down") / grepMark);
    std::printf("%-40s %8.4f s  %6.1f x grep   goal <= 0.5 s\n", "find up, end to first line", m(find, "up"),
                m(find, "up") / grepMark);
    std::printf("%-40s %8.5f s  (with all of QScintilla's change notices: %.4f s)\n",
                "one key typed at the end of the text", m(find, "key"), m(find, "keyall"));
    std::printf("%-40s %8.0f MB peak over %.0f MB own (%.2f x)  goal <= 1.5 x\n", "find memory",
                m(find, "peak") / 1024, m(find, "own") / 1024, m(find, "peak") / m(find, "own"));
    std::printf("%-40s %8.4f s  %6.1f x grep   goal <= 3 s  (%.0f replaced, grep -c %ld)\n",
                "replace all Y1 -> Y7", m(rep, "replace"), m(rep, "replace") / grepWord, m(rep, "count"),
                grepCount);
    std::printf("%-40s %8.4f s                 goal <= 2 s  (text as loaded again: %s)\n", "undo of it",
                m(rep, "undo"), m(rep, "identical") == 1 ? "yes" : "NO");
    std::printf(
        "%-40s %8.0f MB peak over %.0f MB own (%.2f x); after undo %.0f MB peak, %.0f MB resident  goal <= "
        "1.5 x\n",
        "replace memory", m(rep, "peakreplace") / 1024, m(rep, "own") / 1024,
        m(rep, "peakreplace") / m(rep, "own"), m(rep, "peakundo") / 1024, m(rep, "after") / 1024);
    std::printf("%-40s %8.5f s  goal <= 0.005 s (%.0f programs)\n", "jump to a call target (list)",
                m(jump, "jumplist"), m(jump, "entries"));
    std::printf("%-40s %8.5f s  (no list: the lines are searched)\n", "jump to a call target (lines)",
                m(jump, "jumplines"));
    std::printf("peak counting reset: %s\n",
                m(find, "peakreset") == 1 ? "yes" : "no (peaks include the load)");
    return 0;
}
