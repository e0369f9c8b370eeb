// Call search over a text of 10,000 programs: time per call through the
// program-number list and through the editor lines. Run: build/bench/dnc_search_bench
#include "dnc/DncCalls.h"

#include <QElapsedTimer>
#include <QList>
#include <QStringList>

#include <cstdio>

using namespace tornyx;

int main() {
    constexpr int Programs = 10000;
    QList<QByteArray> lines;
    QStringList list;
    for (int p = 1; p <= Programs; ++p) {
        const QByteArray header = "O" + QByteArray::number(p) + " (PART)";
        list << QString::number(lines.size() + 1).rightJustified(5, '0') + '-' + QString::fromLatin1(header);
        lines << header << "G01 X1. Y2."
              << "G01 X3. Y4."
              << "M99";
    }
    const dnc::LineAt at = [&lines](int i) { return lines.at(i); };
    const int count = int(lines.size());
    // Calls spread over the text; the mean is what a run meets.
    constexpr int Calls = 200;
    for (const bool useList : {true, false}) {
        QElapsedTimer t;
        t.start();
        long long found = 0;
        for (int k = 0; k < Calls; ++k) {
            const QByteArray call = "M98 P" + QByteArray::number(1 + (k * 7919) % Programs);
            found += dnc::findCall(call, useList ? &list : nullptr, count, at).index >= 0;
        }
        const double ms = double(t.nsecsElapsed()) / 1e6 / Calls;
        std::printf("%s: %.4f ms per call (mean over %d calls, %lld found)\n",
                    useList ? "program-number list" : "editor lines", ms, Calls, found);
    }
    // The worst case: the last program.
    QElapsedTimer t;
    t.start();
    dnc::findCall("M98 P10000", &list, count, at);
    std::printf("last program through the list: %.4f ms\n", double(t.nsecsElapsed()) / 1e6);
    return 0;
}
