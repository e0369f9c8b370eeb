#pragma once

#include <QString>

#include <atomic>
#include <cstdint>

namespace tornyx {

// Counters shared by the send run and the remaining-time estimate. Each is
// one 32-bit word read and written atomically, so the estimate may run on
// another thread without a lock; a reader sees the old or the new value.
struct SendCounters {
    std::atomic<int32_t> totalCount{0};      // characters to send in this run
    std::atomic<int32_t> sentCount{0};       // characters accounted for so far
    std::atomic<int32_t> lastSampleCount{0}; // sentCount at the previous estimate
    std::atomic<int32_t> remainingSeconds{0};

    // A new run: every counter 0 except the total.
    void reset(int32_t total) {
        totalCount = total;
        sentCount = 0;
        lastSampleCount = 0;
        remainingSeconds = 0;
    }
};

// Which log a run writes and what the post-transfer step does after it.
enum class TransferKind {
    None,
    Send,
    Receive,
    Dnc,
};

// The run state the send, receive and DNC runs share with the transfer desk
// and its post-transfer step, besides what the serial line's TransferSession
// keeps (stop request, write-failure and data-phase flags, the log text).
// The desk owns one.
struct TransferState {
    TransferKind kind = TransferKind::None;
    int errorNumber = 0;          // stage reached, logged when a run stops
    bool running = false;         // set by the set-up, cleared by the post-transfer step
    bool success = false;         // the run ended normally
    bool dataSent = false;        // the run reached the sending of its data (mail)
    bool receivedPending = false; // a received file waits to be loaded
    bool exitAfterTransfer = false;
    bool stepFlag = false;    // the run used step mode
    bool stepPending = false; // the step button or the space bar was pressed
    // The stop button was pressed; the editor leaves its caret displays
    // alone until the window is idle again.
    bool stopPending = false;
    // The remaining-time estimate ticks (every 10 s while data is sent).
    bool estimating = false;
    QString transferPath;
    QString startLine; // "開始 " + date and time + "\n"
    SendCounters counters;

    // One press of the step button since the last call.
    bool takeStep() {
        const bool s = stepPending;
        stepPending = false;
        return s;
    }
};

} // namespace tornyx
