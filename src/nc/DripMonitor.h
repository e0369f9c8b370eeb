#pragma once

#include "nc/NcState.h"

#include <QString>

#include <array>
#include <cstdint>

namespace tornyx::nc {

// Watches a drip feed while it runs: how long the line took to deliver the
// last moves against how long the control needs to execute them. While the
// machine holds the line (XOFF) its buffer is full and nothing starves.
class DripMonitor {
public:
    static constexpr int Window = 20; // moves compared at a time

    DripMonitor(const ReaderSettings& reader, QByteArray sendMsg);

    // A block has gone out: the line with the words sent after it, when its
    // last character left, and the total time the machine has held the
    // line so far.
    void blockSent(int index, QByteArrayView line, QByteArrayView words, std::int64_t nowUs,
                   std::int64_t heldUs);

    struct Status {
        bool behind = false;
        double neededBlocksPerSecond = 0;
        double deliveredBlocksPerSecond = 0;
        int firstLine = -1; // 0-based range of the moves compared
        int lastLine = -1;
    };
    const Status& status() const { return m_status; }

    // The status-bar text while the line falls behind; empty otherwise.
    static QString warningText(const Status& s);

private:
    struct Move {
        std::int64_t deliveryUs = 0;
        double executionSeconds = 0;
        bool held = false;
        int line = 0;
    };
    void judge();

    NcReader m_reader;
    QByteArray m_sendMsg;
    Block m_block;
    std::array<Move, Window> m_moves{};
    int m_count = 0; // moves in the window
    int m_next = 0;
    std::int64_t m_lastUs = -1;
    std::int64_t m_lastHeldUs = 0;
    std::int64_t m_pendingUs = 0;
    bool m_pendingHeld = false;
    Status m_status;
};

} // namespace tornyx::nc
