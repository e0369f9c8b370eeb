#pragma once

#include "profiles/CommProfile.h"
#include "receive/LineAssembler.h"
#include "receive/ReceivePrompts.h"
#include "status/RunDisplay.h"
#include "status/RunEditor.h"
#include "status/TransferState.h"

#include <QString>

#include <cstdint>

namespace tornyx {

class ProgramIndex;
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
    };

    // The driver input queue the thresholds refer to: XOFF above half of
    // it, XON below a quarter.
    static constexpr int InputQueueSize = 1024;
    // Lines kept in memory before they are appended to the receive file.
    static constexpr int FlushLines = 1000;
    // The OSP receive goes into this file until the name is known.
    static constexpr const char* OspTemporaryName = "osp_data.tmp";

    ReceiveRun(TransferSession& session, RunDisplay& display, RunEditor& editor, ProgramIndex& programs,
               TransferState& state, Setup setup);

    ReceiveResult run();

    bool isOsp() const { return isOspProfile(m_setup.profileNumber); }

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
    ReceiveResult endStopped(ReceiveResult::Outcome outcome);
    // Waits for input until the next pump is due, then pumps.
    void idle();
    // One control byte straight to the line (not through the character
    // writer, which would swallow the machine's data while it looks for a
    // pause request). false when it could not be written.
    bool writeControl(unsigned char b);
    void log(const QString& message);

    TransferSession& m_session;
    RunDisplay& m_display;
    RunEditor& m_editor;
    ProgramIndex& m_programs;
    TransferState& m_state;
    Setup m_setup;
    LineAssembler m_assembler;
    int m_errorNumber = 0;
    bool m_xoffSent = false;
    int m_shownProgress = -1;
    QString m_receiveFile;
};

} // namespace tornyx
