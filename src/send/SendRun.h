#pragma once

#include "editor/ProgramSelection.h"
#include "send/SendSteps.h"

#include <QStringList>

namespace tornyx {

class ProgramIndex;
class TransferSession;

// The send run: the editor lines to the machine with the profile's end of
// block, filters, step mode, tape-punch feed, the OSP file-name header,
// progress and remaining amount, and repeat passes. Everything runs on the
// caller's thread; waits pump the window's events so the stop and step
// buttons work.
class SendRun {
public:
    SendRun(TransferSession& session, RunEditor& editor, RunDisplay& display, ProgramIndex& programs,
            TransferState& state);

    struct Request {
        SendContext context;
        bool repeat = false;               // the repeat button: passes until stopped
        ExcludedPrograms excludedPrograms; // programs not to send (selection)
        // A restart: the first pass begins at this 1-based line, after the
        // head; the passes of a repeat after it send the whole text.
        int startLine = 1;
        RestartHead head;
    };
    // All passes of a run.
    RunOutcome run(const Request& request);
    bool isRunning() const { return m_inRun; }

    // The characters the run counts for the editor text: line lengths plus
    // two per line break, minus one (the control's own counting).
    int32_t totalCount() const;

private:
    enum class Pass { Completed, Stopped };
    Pass runPass();
    bool sendOspHeader();
    Pass sendLines(int firstLine);
    bool feedStopped(int errorNumber);
    bool writeFeed();
    void progressText();

    TransferSession& m_session;
    RunEditor& m_editor;
    RunDisplay& m_display;
    ProgramIndex& m_programs;
    TransferState& m_state;
    SendSteps m_steps;

    ExcludedPrograms m_excluded;
    int m_startLine = 1; // of the pass to come
    RestartHead m_head;
    bool m_indexBuilding = false;
    bool m_inRun = false;
};

} // namespace tornyx
