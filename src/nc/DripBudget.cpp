#include "nc/DripBudget.h"

#include "platform/TextCodec.h"
#include "serial/NcCode.h"

#include <QHash>

#include <algorithm>
#include <limits>

namespace tornyx::nc {

namespace {

constexpr std::int64_t ProgressEvery = 1 << 16;
constexpr qsizetype RegionLimit = 100000;
constexpr int Shown = 5;

using Filter = BudgetReport::Filter;

struct BlockChars {
    std::array<int, BudgetReport::FilterCount> total{};
    std::array<int, BudgetReport::FilterCount> data{};
};

bool isAscii(QByteArrayView v) {
    for (char c : v)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// The characters the run writes for one block, as set and with each
// further filter: the filtered line, the pending call words, the end of
// block.
BlockChars countChars(QByteArrayView line, QByteArrayView words, const BudgetSettings& s) {
    BlockChars b;
    QByteArray sjis;
    if (!isAscii(line)) {
        sjis = platform::toSjis(QString::fromUtf8(line));
        line = sjis;
    }
    const FilteredLine out = filterLine(line, 0, s.filter);
    if (out.percentOnly)
        return b;
    const auto sent = [&](unsigned char c) {
        if (s.skipSpaces && c == ' ')
            return false;
        return !s.eia || nc::encodeEia(c).has_value();
    };
    const QByteArray& x = out.chars;
    const bool hasParen = x.contains('(');
    bool sequence = !s.filter.dropSequenceNumbers && x.startsWith('N');
    bool comment = false;
    bool afterSemicolon = false;
    int data = 0;
    std::array<int, BudgetReport::FilterCount> saved{};
    for (qsizetype i = 0; i < x.size(); ++i) {
        const auto c = static_cast<unsigned char>(x[i]);
        const bool counted = sent(c);
        if (sequence && i > 0 && (c < '0' || c > '9'))
            sequence = false;
        if (hasParen && c == '(')
            comment = true;
        if (!comment && (c == ';' || c == '\''))
            afterSemicolon = true;
        if (counted) {
            ++data;
            saved[Filter::SequenceNumbers] += sequence;
            saved[Filter::Spaces] += c == ' ';
            saved[Filter::AfterSemicolon] += afterSemicolon;
            saved[Filter::Comments] += comment;
        }
        if (hasParen && c == ')')
            comment = false;
    }
    for (char c : words)
        data += sent(static_cast<unsigned char>(c));
    int eob = 0;
    for (char c : s.endOfBlock)
        eob += !s.eia || nc::encodeEia(static_cast<unsigned char>(c)).has_value();
    for (int f = 0; f < BudgetReport::FilterCount; ++f) {
        b.data[size_t(f)] = data - saved[size_t(f)];
        b.total[size_t(f)] = b.data[size_t(f)] + eob;
    }
    return b;
}

} // namespace

QString LineRate::text() const {
    return QString::number(baud) + QStringLiteral("bps ") + QString::number(dataBits) + QChar(parity) +
           QString::number(stopBits);
}

LineRate lineRateOf(const SendGroup& send) {
    static constexpr int Speeds[] = {1200, 2400, 4800, 9600, 14400, 19200};
    LineRate r;
    if (send.speed == 6 || send.speed < 0 || send.speed > 5) {
        r.baud = 4800; // tape punch: 4800 bit/s 8N2 whatever the code says
        return r;
    }
    r.baud = Speeds[send.speed];
    r.stopBits = send.stopBits == 0 ? 1 : 2;
    switch (send.code) {
    case 2: // ASCII
        r.dataBits = 7;
        r.parityBits = 1;
        r.parity = 'E';
        break;
    case 3: // user framing
        r.dataBits = send.dataLength == 0 ? 7 : 8;
        r.parityBits = send.parity == 0 ? 0 : 1;
        r.parity = send.parity == 0 ? 'N' : send.parity == 1 ? 'E' : 'O';
        break;
    default: // ISO and EIA carry their own parity in 8 bits
        r.dataBits = 8;
        r.parityBits = 0;
        r.parity = 'N';
    }
    return r;
}

BudgetSettings budgetSettingsFor(const CommProfile& profile, const ReaderSettings& reader, bool skipSpaces,
                                 const FlowOptions& flow) {
    BudgetSettings s;
    s.scan.flow = flow;
    s.scan.reader = reader;
    const bool sendAfterComment = reader.rules.sendAfterComment;
    s.scan.sendMsg = profile.send.sendMsg.toUtf8();
    s.filter.sendMsg = platform::toSjis(profile.send.sendMsg);
    s.filter.dropSequenceNumbers = profile.send.nNon == "Y";
    s.filter.dropFeedPoint = profile.send.fNon == "Y";
    s.filter.sendAfterComment = sendAfterComment;
    s.skipSpaces = skipSpaces;
    s.eia = profile.send.code == 1;
    s.endOfBlock = endOfBlock(profile.send.crlfType);
    s.rate = lineRateOf(profile.send);
    s.pauseMs = profile.send.invTime;
    return s;
}

BudgetReport estimateBudget(TextLines& lines, const BudgetSettings& s) {
    BudgetReport r;
    const double charSeconds = s.rate.charSeconds();
    const double pauseSeconds = s.pauseMs / 1000.0;
    r.charsPerSecond = 1 / (charSeconds + pauseSeconds);
    r.available[Filter::Current] = true;
    r.available[Filter::SequenceNumbers] = !s.filter.dropSequenceNumbers;
    r.available[Filter::Spaces] = !s.skipSpaces;
    r.available[Filter::AfterSemicolon] = s.filter.sendAfterComment;
    r.available[Filter::Comments] = true;

    ProgramFlow flow(lines, s.scan.flow);
    NcReader reader(s.scan.reader);
    Block block;
    BlockEffect fx;
    std::array<double, BudgetReport::FilterCount> pending{};
    std::int64_t pendingChars = 0;
    QHash<quint64, BudgetRegion> regions;
    BudgetRegion open;
    bool isOpen = false;
    const auto close = [&] {
        if (!isOpen)
            return;
        isOpen = false;
        if (open.maxFeed == 0)
            open.minFeed = 0; // dwells only
        const quint64 key = (quint64(quint32(open.firstLine)) << 32) | quint32(open.lastLine);
        BudgetRegion& agg = regions[key];
        if (agg.times == 0) {
            agg = open;
            agg.times = 1;
        } else {
            ++agg.times;
            agg.blocks += open.blocks;
            agg.chars += open.chars;
            agg.deliverySeconds += open.deliverySeconds;
            agg.executionSeconds += open.executionSeconds;
            agg.pathLength += open.pathLength;
            agg.minFeed = std::min(agg.minFeed, open.minFeed);
            agg.maxFeed = std::max(agg.maxFeed, open.maxFeed);
        }
        if (regions.size() > RegionLimit) {
            // Keep the memory flat on a program that starves everywhere:
            // the small deficits cannot make the list anyway.
            std::vector<double> d;
            d.reserve(size_t(regions.size()));
            for (const BudgetRegion& g : std::as_const(regions))
                d.push_back(g.deficitSeconds());
            std::nth_element(d.begin(), d.begin() + 1000, d.end(), std::greater<>());
            const double cut = d[1000];
            regions.removeIf([cut](const auto& it) { return it.value().deficitSeconds() < cut; });
        }
    };

    while (flow.current() != 0) {
        if (!flow.advance())
            continue;
        ++r.blocks;
        const int index = flow.sentIndex();
        const QByteArrayView line = flow.sentLine();
        const BlockChars chars = countChars(line, flow.sentWords(), s);
        readBlock(reader, block, line, flow.sentWords(), index, s.scan.sendMsg, &fx);
        for (int f = 0; f < BudgetReport::FilterCount; ++f) {
            const double d = chars.total[size_t(f)] * charSeconds + chars.data[size_t(f)] * pauseSeconds;
            r.totals[size_t(f)].chars += chars.total[size_t(f)];
            r.totals[size_t(f)].deliverySeconds += d;
            pending[size_t(f)] += d;
        }
        pendingChars += chars.total[Filter::Current];
        if (r.blocks % ProgressEvery == 0 && s.scan.progress && !s.scan.progress(r.blocks)) {
            r.cancelled = true;
            break;
        }
        if (fx.kind == BlockEffect::None)
            continue; // delivered while the move before it runs
        if (fx.kind == BlockEffect::Unknown) {
            ++r.unknownBlocks;
            close();
        } else {
            ++r.motionBlocks;
            r.executionSeconds += fx.seconds;
            for (int f = 0; f < BudgetReport::FilterCount; ++f)
                if (pending[size_t(f)] > fx.seconds)
                    ++r.totals[size_t(f)].flagged;
            if (pending[Filter::Current] > fx.seconds) {
                // A region is a stretch of the text: a jump (a repeat, a
                // return) begins another.
                if (isOpen && index != open.lastLine + 1)
                    close();
                if (!isOpen) {
                    open = BudgetRegion{};
                    open.firstLine = open.lastLine = index;
                    open.minFeed = std::numeric_limits<double>::max();
                    isOpen = true;
                }
                open.lastLine = index;
                ++open.blocks;
                open.chars += pendingChars;
                open.deliverySeconds += pending[Filter::Current];
                open.executionSeconds += fx.seconds;
                open.pathLength += fx.length;
                if (fx.kind != BlockEffect::Dwell) {
                    open.minFeed = std::min(open.minFeed, fx.feed);
                    open.maxFeed = std::max(open.maxFeed, fx.feed);
                }
            } else {
                close();
            }
        }
        pending.fill(0);
        pendingChars = 0;
    }
    close();
    r.stop = flow.stop();
    r.stopLine = flow.stopLine();
    std::vector<BudgetRegion> all(regions.cbegin(), regions.cend());
    const size_t n = std::min<size_t>(Shown, all.size());
    std::partial_sort(
        all.begin(), all.begin() + qsizetype(n), all.end(),
        [](const BudgetRegion& a, const BudgetRegion& b) { return a.deficitSeconds() > b.deficitSeconds(); });
    r.worst.assign(all.begin(), all.begin() + qsizetype(n));
    return r;
}

} // namespace tornyx::nc
