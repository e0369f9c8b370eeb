#include "nc/DripMonitor.h"

#include "nc/RestartScan.h"

namespace tornyx::nc {

namespace {

constexpr int Enough = 8;       // moves before the monitor judges at all
constexpr double Margin = 1.05; // slower by more than this is behind

} // namespace

DripMonitor::DripMonitor(const ReaderSettings& reader, QByteArray sendMsg)
    : m_reader(reader), m_sendMsg(std::move(sendMsg)) {}

void DripMonitor::blockSent(int index, QByteArrayView line, QByteArrayView words, std::int64_t nowUs,
                            std::int64_t heldUs) {
    BlockEffect fx;
    readBlock(m_reader, m_block, line, words, index, m_sendMsg, &fx);
    if (m_lastUs >= 0) {
        m_pendingUs += nowUs - m_lastUs - (heldUs - m_lastHeldUs);
        m_pendingHeld = m_pendingHeld || heldUs > m_lastHeldUs;
    }
    m_lastUs = nowUs;
    m_lastHeldUs = heldUs;
    if (fx.kind == BlockEffect::None)
        return;
    if (fx.kind == BlockEffect::Unknown) {
        // A reference return or a macro: the time is the control's own.
        m_count = 0;
        m_pendingUs = 0;
        m_pendingHeld = false;
        m_status = {};
        return;
    }
    m_moves[size_t(m_next)] = {m_pendingUs, fx.seconds, m_pendingHeld, index};
    m_next = (m_next + 1) % Window;
    m_count = std::min(m_count + 1, Window);
    m_pendingUs = 0;
    m_pendingHeld = false;
    judge();
}

void DripMonitor::judge() {
    m_status = {};
    if (m_count < Enough)
        return;
    double delivered = 0;
    double executed = 0;
    int first = -1, last = -1;
    for (int k = 0; k < m_count; ++k) {
        const Move& m = m_moves[size_t((m_next - m_count + k + Window) % Window)];
        if (m.held)
            return;
        delivered += m.deliveryUs / 1e6;
        executed += m.executionSeconds;
        first = first < 0 ? m.line : std::min(first, m.line);
        last = std::max(last, m.line);
    }
    m_status.firstLine = first;
    m_status.lastLine = last;
    m_status.neededBlocksPerSecond = executed > 0 ? m_count / executed : 0;
    m_status.deliveredBlocksPerSecond = delivered > 0 ? m_count / delivered : 0;
    m_status.behind = executed > 0 && delivered > executed * Margin;
}

QString DripMonitor::warningText(const Status& s) {
    if (!s.behind)
        return {};
    return QStringLiteral(u"ﾃﾞｰﾀ供給不足 行%1-%2: 必要%3 > 送信%4 ﾌﾞﾛｯｸ/秒")
        .arg(s.firstLine + 1)
        .arg(s.lastLine + 1)
        .arg(s.neededBlocksPerSecond, 0, 'f', 1)
        .arg(s.deliveredBlocksPerSecond, 0, 'f', 1);
}

} // namespace tornyx::nc
