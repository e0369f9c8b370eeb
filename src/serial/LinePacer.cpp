#include "serial/LinePacer.h"

#include <algorithm>
#include <cmath>

namespace tornyx {

namespace {

constexpr double LatenessHalfLifeNs = 1e9;

std::int64_t ceilUs(std::int64_t ns) {
    return ns <= 0 ? 0 : (ns + 999) / 1000;
}

} // namespace

LinePacer::LinePacer(std::int64_t characterNs, std::int64_t maxLeadUs)
    : m_charNs(std::max<std::int64_t>(1, characterNs)), m_minLeadNs(2 * m_charNs),
      m_maxLeadNs(std::max(maxLeadUs * 1000, m_minLeadNs)), m_leadNs(m_minLeadNs), m_peakLeadNs(m_minLeadNs) {
}

std::int64_t LinePacer::defaultMaxLeadUs(std::int64_t characterNs) {
    return ceilUs(MaxLeadCharacters * std::max<std::int64_t>(1, characterNs));
}

void LinePacer::noteWritten(std::int64_t nowUs) {
    const std::int64_t nowNs = nowUs * 1000;
    if (m_flowing)
        growLead(nowNs);
    m_idleAtNs = std::max(m_idleAtNs, nowNs) + m_charNs;
    m_flowing = true;
}

// The writer could have handed this byte over as soon as the lead had room
// for it; what it came later than that is its lateness (the scheduler, the
// event pump, the run's own work), and the lead must cover it next time.
void LinePacer::growLead(std::int64_t nowNs) {
    const std::int64_t roomAtNs = m_idleAtNs - (m_leadNs - m_charNs);
    if (m_lateAtNs > 0)
        m_lateNs *= std::exp2(-double(nowNs - m_lateAtNs) / LatenessHalfLifeNs);
    m_lateAtNs = nowNs;
    m_lateNs = std::max(m_lateNs, double(nowNs - roomAtNs));
    m_leadNs = std::clamp(m_minLeadNs + std::int64_t(m_lateNs * 1.25), m_minLeadNs, m_maxLeadNs);
    m_peakLeadNs = std::max(m_peakLeadNs, m_leadNs);
}

std::int64_t LinePacer::untilRoomUs(std::int64_t nowUs, int queuedBytes) const {
    const std::int64_t owedNs = std::max(
        {m_idleAtNs - nowUs * 1000, std::int64_t(std::max(queuedBytes, 0)) * m_charNs, std::int64_t(0)});
    return ceilUs(owedNs - (m_leadNs - m_charNs));
}

} // namespace tornyx
