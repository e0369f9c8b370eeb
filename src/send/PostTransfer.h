#pragma once

#include "platform/SystemCommands.h"
#include "profiles/CommProfile.h"
#include "status/TransferState.h"

#include <QString>

#include <optional>

namespace tornyx {

// What the post-transfer step (Timer1, 2 s after every send, receive and DNC
// run) does to the main window.
class PostTransferHost {
public:
    virtual ~PostTransferHost() = default;
    virtual void stopTimer1() = 0;
    virtual void setTransferPanel(int index, const QString& text) = 0;
    // Option op1: the program-number selection dialog closes.
    virtual void closeSelectionDialog() = 0;
    // Toolbar buttons and menus enabled again, the edit menu refreshed.
    virtual void enableCommands() = 0;
    // Loads the received file as the document: size text in panel 0, save
    // dialog name and DocumentPath, caption mode 1, panels 4 and 1 cleared,
    // modified flag cleared, added to RecentFiles.
    virtual void loadReceivedFile(const QString& path) = 0;
    virtual void openSplitSave() = 0;
    // Label1, ComboBox1 and BitBtn1 shown; Label2 and the lamps hidden.
    virtual void showProgramControls() = 0;
    // Marks the program-number index out of date and starts Timer4.
    virtual void scheduleIndexRebuild(int ms) = 0;
    virtual void setScreenSaverInhibited(bool inhibited) = 0;
    virtual void setStepButtonEnabled(bool enabled) = 0;
    virtual void setEditorContextMenuEnabled(bool enabled) = 0;
    virtual void destroyProgressBar() = 0;
    // Hands the completion mail over (platform::sendMail, or a queued job).
    virtual void sendCompletionMail(const platform::MailMessage& mail) = 0;
};

struct PostTransferOptions {
    bool closeSelection = false;    // op1
    bool splitAfterReceive = false; // op2
};

// The completion mail of a run, or nothing when the profile does not ask
// for one ("Mail_Flg" "Y", an address with "@"), the run was a receive, or
// it ended before any data was sent. endStamp: the current date and time in
// the log's format.
std::optional<platform::MailMessage> completionMail(const TransferState& state, const SettingGroup& setting,
                                                    const QString& endStamp);

// The post-transfer step.
void runPostTransfer(PostTransferHost& host, TransferState& state, const CommProfile& active,
                     const PostTransferOptions& options, const QString& endStamp);

} // namespace tornyx
