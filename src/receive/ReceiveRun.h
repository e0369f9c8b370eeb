#pragma once

#include "profiles/CommProfile.h"
#include "receive/LineAssembler.h"
#include "receive/ReceiveHost.h"

#include <QString>

#include <cstdint>

namespace tornyx {

class TransferSession;

// One receive, from opening the line to handing the file to the
// post-transfer step: the start wait, the reception loop with flow control,
// the flushes to the receive file and the three ways it ends (completed,
// aborted, unexpected error). Runs on the user-interface thread; every wait
// sleeps in the port's poll and pumps the host's events at most every 16 ms,
// which is how the stop button's request reaches it.
class ReceiveRun {
public:
    struct Setup {
        int profileNumber = 1; // 11 and 12 receive the OSP way
        CommProfile profile;
        ReceiveOptions options;
        QString receiveFile;
        QString workingFolder; // OSP: where the named file is stored
        bool exitAfterTransfer = false;
    };

    // The driver input queue the thresholds refer to: XOFF above half of
    // it, XON below a quarter.
    static constexpr int InputQueueSize = 1024;
    // Lines kept in memory before they are appended to the receive file.
    static constexpr int FlushLines = 1000;
    // The OSP receive goes into this file until the name is known.
    static constexpr const char* OspTemporaryName = "osp_data.tmp";

    ReceiveRun(TransferSession& session, ReceiveHost& host, Setup setup);

    ReceiveResult run();

    bool isOsp() const { return m_setup.profileNumber == 11 || m_setup.profileNumber == 12; }

private:
    enum class Stop { None, Abort, Keep };

    ReceiveResult runSteps();
    bool setUp();
    bool waitForStart(unsigned char& startCharacter);
    void startReception(unsigned char startCharacter);
    // false: the abort path follows. keep: stopped with the keep option.
    bool receive(bool& keep);
    bool flowControl(int queued);
    // DSR is off and the option makes that the end of the data.
    bool dsrDropped();
    void progressAfterStore();
    void showLineNotice();
    void flush();
    void moveToReceivedName();
    ReceiveResult complete();
    ReceiveResult abort();
    ReceiveResult unexpectedError(const QString& fileError);
    // Waits for input until the next pump is due, then pumps.
    void idle();
    // One control byte straight to the line (not through the character
    // writer, which would swallow the machine's data while it looks for a
    // pause request). false when it could not be written.
    bool writeControl(unsigned char b);
    void log(const QString& message);

    TransferSession& m_session;
    ReceiveHost& m_host;
    Setup m_setup;
    LineAssembler m_assembler;
    int m_errorNumber = 0;
    bool m_xoffSent = false;
    int m_shownProgress = -1;
    QString m_receiveFile;
};

} // namespace tornyx
