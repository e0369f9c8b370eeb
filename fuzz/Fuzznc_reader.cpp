// Any bytes as a program in the editor: the restart scan, the header and the
// budget must end (a bounded number of blocks) without a crash, and a scan
// that reaches its block must have a start point inside the text.
#include "nc/DripBudget.h"
#include "nc/RestartPlan.h"

#include <cstdlib>

using namespace tornyx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const PlainIndexedText text(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    nc::TextLines lines(text);
    nc::ScanSettings s;
    s.reader.rapidRate = 10000;
    std::int64_t budget = 0;
    s.progress = [&budget](std::int64_t) { return ++budget < 8; };
    for (const bool dnc : {true, false}) {
        s.flow.dnc = dnc;
        s.reader.machineCalls = !dnc;
        nc::RestartChoice c;
        c.line = lines.count() - 1;
        const nc::RestartPlan p = nc::planRestart(lines, s, nc::defaultHeaderTemplate(), c);
        if (p.ok && (p.scan.start.line < 1 || p.scan.start.line > lines.count()) && dnc)
            std::abort();
        budget = 0;
        nc::BudgetSettings b = nc::budgetSettingsFor(defaultProfile(1), s.reader, false, s.flow);
        b.scan.progress = s.progress;
        (void)nc::estimateBudget(lines, b);
        budget = 0;
    }
    return 0;
}
