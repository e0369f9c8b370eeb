#pragma once

#include <cstdint>

namespace tornyx {

// The line as the character writer models it: when the bytes handed to the
// port will have left it, and how far ahead of the line the writer may run.
//
// Why a model: a pseudo-terminal or a network port reports an empty output
// queue at once, and the queue count of a serial device leaves out the
// UART's FIFO and a USB adapter's own buffer. A writer that trusted the count
// would run far ahead of the machine's XOFF. The model charges every byte one
// character time of the line settings, from when it was handed over or from
// when the byte before it has left, whichever is later: time the line stood
// idle is never made up with a burst.
//
// The lead is the trade. Bytes handed over and not yet on the line still go
// out after the machine's XOFF, whatever the writer does then; but a writer
// that wakes up later than the lead lets the line stand idle. So the lead
// starts at two characters (the next byte waits behind the one on the line)
// and grows with the lateness the writer actually shows: a quiet computer
// keeps the XOFF overshoot of a writer that waits for every byte, a busy one
// (a compiler beside it, a slow repaint) trades a few more bytes after an
// XOFF for a line that does not stall. The lateness seen decays by half every
// second, so the lead shrinks again when the computer calms down.
//
// The contract of every writer that paces through it (TransferSession's
// writeChar, for every kind of port):
// - noteWritten(now) once for every byte handed to the port, when it was;
// - the next byte only once untilRoomUs(now, queued) is 0. After the write
//   the line owes at most leadUs(), which never exceeds maxLeadUs(): at most
//   maxLeadUs / character time bytes (rounded up) are ever handed over and
//   not yet on the line;
// - noteIdle() when the run lets the line stand on purpose (a wait, the
//   machine's pause, the start signal), so the gap is not taken for lateness;
// - queued is what the device reports unsent; when the device is behind the
//   model (CTS held off, a slower line) its count rules.
class LinePacer {
public:
    LinePacer() = default;
    // maxLeadUs below two characters is taken as two characters.
    LinePacer(std::int64_t characterNs, std::int64_t maxLeadUs);

    // The most a writer may run ahead when the transfer does not say:
    // MaxLeadCharacters, whatever the speed, since what a machine tolerates
    // after its XOFF is room in its buffer. At 19200 bit/s that rides out a
    // wake-up 6 ms late, at 115200 one 1 ms late; it is less than the FIFO of
    // a 16550, which a writer that hands whole blocks to the driver fills.
    static std::int64_t defaultMaxLeadUs(std::int64_t characterNs);
    static constexpr std::int64_t MaxLeadCharacters = 12;

    std::int64_t characterNs() const { return m_charNs; }
    // How far ahead the writer may run now, at most, and the most it has.
    std::int64_t leadUs() const { return m_leadNs / 1000; }
    std::int64_t maxLeadUs() const { return m_maxLeadNs / 1000; }
    std::int64_t peakLeadUs() const { return m_peakLeadNs / 1000; }

    // A byte was handed to the port at nowUs.
    void noteWritten(std::int64_t nowUs);
    // The run lets the line stand on purpose until the next byte.
    void noteIdle() { m_flowing = false; }

    // When the modelled line has sent everything handed over.
    std::int64_t idleAtUs() const { return (m_idleAtNs + 999) / 1000; }
    // Microseconds from nowUs until the next byte may be handed over; 0: now.
    std::int64_t untilRoomUs(std::int64_t nowUs, int queuedBytes) const;

private:
    void growLead(std::int64_t nowNs);

    std::int64_t m_charNs = 1000;
    std::int64_t m_minLeadNs = 2000;
    std::int64_t m_maxLeadNs = 2000;
    std::int64_t m_leadNs = 2000;
    std::int64_t m_peakLeadNs = 2000;
    std::int64_t m_idleAtNs = 0;
    bool m_flowing = false;
    // The largest lateness seen, decaying, and when it was last decayed.
    double m_lateNs = 0;
    std::int64_t m_lateAtNs = 0;
};

} // namespace tornyx
