#include "nc/RestartScan.h"

#include "dnc/DncCalls.h"

#include <algorithm>

namespace tornyx::nc {

namespace {

constexpr std::int64_t ProgressEvery = 1 << 16;

} // namespace

int findRestartLine(TextLines& lines, const RestartChoice& choice, const BlockRules& rules) {
    if (choice.kind == RestartChoice::Line)
        return choice.line >= 0 && choice.line < lines.count() ? choice.line : -1;
    int seen = 0;
    for (int i = 0; i < lines.count(); ++i) {
        const QByteArrayView l = lines.line(i);
        const bool hit = choice.kind == RestartChoice::Sequence
                             ? (l.contains('N') && sequenceNumber(l) == choice.sequence)
                             : findOutsideComments(l, choice.text, rules) >= 0;
        if (hit && ++seen == std::max(1, choice.occurrence))
            return i;
    }
    return -1;
}

int programStartAbove(TextLines& lines, int line) {
    for (int i = std::min(line, lines.count() - 1); i >= 0; --i) {
        const QByteArrayView l = lines.line(i);
        if (!l.isEmpty() && (l[0] == 'O' || l[0] == ':'))
            return i + 1;
    }
    return 1;
}

int mainProgramLine(TextLines& lines, const QStringList& entries) {
    for (qsizetype e = 0; e < entries.size(); ++e) {
        const int from = entryLine(entries[e]);
        const int to = e + 1 < entries.size() ? entryLine(entries[e + 1]) - 1 : lines.count();
        for (int i = from; i >= 1 && i <= to && i <= lines.count(); ++i) {
            const QByteArrayView l = lines.line(i - 1);
            if (l.contains("M99"))
                break;
            if (dnc::isEndLine(l))
                return from;
        }
    }
    return entries.isEmpty() ? 0 : std::max(0, entryLine(entries.first()));
}

QByteArray blankOut(QByteArrayView line, QByteArrayView sendMsg) {
    QByteArray out = line.toByteArray();
    if (sendMsg.isEmpty())
        return out;
    const qsizetype blanks = std::min<qsizetype>(QString::fromUtf8(sendMsg).size(), 29);
    return out.replace(sendMsg, QByteArray(blanks, ' '));
}

void readBlock(NcReader& reader, Block& block, QByteArrayView line, QByteArrayView words, int index,
               QByteArrayView sendMsg, BlockEffect* effect) {
    const BlockRules& rules = reader.settings().rules;
    if (!sendMsg.isEmpty() && line.contains(sendMsg))
        parseBlock(blankOut(line, sendMsg), rules, block);
    else
        parseBlock(line, rules, block);
    if (!words.isEmpty())
        parseBlock(words, rules, block, true);
    reader.apply(block, index, effect);
}

RestartScan scanToBlock(TextLines& lines, const ScanSettings& settings, int line, int pass) {
    RestartScan r;
    r.line = line;
    if (line < 0 || line >= lines.count()) {
        r.status = RestartScan::NotReached;
        return r;
    }
    if (hasNoWords(lines.line(line), settings.reader.rules)) {
        r.status = RestartScan::NoWords;
        return r;
    }
    pass = std::max(1, pass);
    ProgramFlow flow(lines, settings.flow);
    NcReader reader(settings.reader);
    Block block;
    while (flow.current() != 0) {
        if (flow.current() == line + 1 && ++r.reached == pass) {
            r.status = RestartScan::Ok;
            r.state = reader.state();
            r.start = flow.startPoint();
            return r;
        }
        if (!flow.advance())
            continue;
        readBlock(reader, block, flow.sentLine(), flow.sentWords(), flow.sentIndex(), settings.sendMsg);
        if (++r.blocks % ProgressEvery == 0 && settings.progress && !settings.progress(r.blocks)) {
            r.status = RestartScan::Cancelled;
            return r;
        }
    }
    r.flowStop = flow.stop();
    r.flowStopLine = flow.stopLine();
    r.flowStopTarget = flow.stopTarget();
    if (r.flowStop != ProgramFlow::Stop::End)
        r.status = RestartScan::FlowStopped;
    else
        r.status = r.reached > 0 ? RestartScan::FewerPasses : RestartScan::NotReached;
    return r;
}

} // namespace tornyx::nc
