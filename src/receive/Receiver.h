#pragma once

#include "profiles/CommProfile.h"
#include "receive/ReceivePrompts.h"
#include "status/RunDisplay.h"
#include "status/RunEditor.h"
#include "status/TransferState.h"

#include <QString>

#include <functional>
#include <optional>

namespace tornyx {

class ProgramIndex;
class TransferSession;

// Starts a receive the way the operator or the command line asks for it:
// the receive button (SpeedButton9Click) with its save question, the profile
// folder and the file or folder dialog, and the idle-time start of a receive
// ordered with R=. Profiles 11 and 12 receive into "osp_data.tmp" in a
// chosen folder.
class Receiver {
public:
    // What the main window hands over for one receive.
    struct Request {
        int profileNumber = 1; // ActiveProfile
        CommProfile profile;
        ReceiveOptions options;
    };

    Receiver(TransferSession& session, RunDisplay& display, RunEditor& editor, ProgramIndex& programs,
             TransferState& state, ReceivePrompts& prompts);

    // SpeedButton9Click. nullopt when no receive ran (the save question or
    // a dialog was cancelled).
    // Shift held on the button: the program closes after the transfer.
    std::optional<ReceiveResult> receiveButtonClicked(Request& request, bool shiftHeld);

    // The receive of the idle-time start; rValue is the R= file, or for
    // profiles 11 and 12 the folder.
    ReceiveResult orderedReceive(Request& request, const QString& rValue);

    // Folder + "osp_data.tmp", without a doubled separator.
    static QString ospReceiveFile(const QString& folder);

private:
    ReceiveResult runOsp(Request& request, const QString& folder);
    QString prepareOsp(const QString& file, const std::function<void()>& caption);
    ReceiveResult run(Request& request, const QString& receiveFile, const QString& workingFolder);

    TransferSession& m_session;
    RunDisplay& m_display;
    RunEditor& m_editor;
    ProgramIndex& m_programs;
    TransferState& m_state;
    ReceivePrompts& m_prompts;
};

} // namespace tornyx
