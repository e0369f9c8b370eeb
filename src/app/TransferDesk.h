#pragma once

#include "app/CommandLine.h"
#include "app/Options.h"
#include "dnc/DncRun.h"
#include "editor/ProgramIndex.h"
#include "editor/ProgramSelection.h"
#include "nc/DripWatch.h"
#include "nc/RestartHeader.h"
#include "platform/Paths.h"
#include "platform/SystemCommands.h"
#include "profiles/CommProfile.h"
#include "receive/ReceivePrompts.h"
#include "send/SendRun.h"
#include "serial/TransferSession.h"
#include "status/RunDisplay.h"
#include "status/RunEditor.h"
#include "status/TransferState.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace tornyx {

namespace platform {
class Clock;
class SerialPort;
} // namespace platform

// The document as the window and the transfers share it.
struct DocumentState {
    QString path = QStringLiteral(u"無題");               // DocumentPath
    QString saveDialogFileName = QStringLiteral(u"無題"); // what the next save offers
    QString saveDialogTitle;
    QString saveDialogDefaultExt;
    quint32 size = 0;        // bytes of the file last loaded
    double sizeValue = 0;    // the number last shown in the size panel
    int breakpointLine = -1; // 1-based; -1 for none
};

// A run that begins inside the program, as the restart dialog set it up:
// the send run from a line, or the DNC run from its restart point; each
// sends the head first.
struct RunRestart {
    int line = 1; // 1-based (send run)
    RestartHead head;
    std::optional<DncRestart> dnc;
};

// What the desk asks of the window besides the run display, the editor and
// the prompts of the runs.
class DeskView {
public:
    virtual ~DeskView() = default;
    // A transfer log is shown in place of the editor (Send and Receive do
    // nothing then).
    virtual bool isLogViewOpen() = 0;
    // The open command, when Send is pressed on an empty editor.
    virtual void openFile() = 0;
    // The program list is built now (a transfer ordered on the command line
    // must not wait for the timer).
    virtual void extractIndexNow() = 0;
    // The stop button while the program list is still being built.
    virtual void stopIndexExtraction() = 0;
    // The program selection before a send (option "op1"), not modal; its
    // send button answers with TransferDesk::sendSelected, its "中止" with
    // TransferDesk::selectionCancelled.
    virtual void showSelectionDialog(const QString& caption, const QList<ProgramHeader>& programs,
                                     const QString& note) = 0;
    virtual void closeSelectionDialog() = 0;
    // The received file becomes the document.
    virtual void loadReceivedFile(const QString& path) = 0;
    virtual void openSplitSave() = 0;
    // The new-document command (after a receive that kept nothing).
    virtual void newDocument() = 0;
    // Close the main window once the current event has been handled.
    virtual void closeWindow() = 0;
    // While on, the window calls TransferDesk::onTimer about every 100 ms.
    virtual void setTicking(bool on) = 0;
};

// The windows the desk works through.
struct DeskViews {
    LineHost& line;
    RunDisplay& display;
    RunEditor& editor;
    ReceivePrompts& receivePrompts;
    DncPrompts& dncPrompts;
    DeskView& view;
};

// The transfers of the main window without its widgets: it owns the option
// values, the profiles, the document state, the program list, the transfer
// state, the serial line and the runs, and decides what Send, Receive, Stop
// and the command line start. The post-transfer step (Timer1), the
// remaining-time ticks (Timer2) and the completion mail's delay run on the
// injected clock: the window calls onTimer() while setTicking is on, a test
// calls it after advancing a fake clock.
class TransferDesk {
public:
    struct Services {
        platform::SerialPort& port;
        platform::Clock& clock;
        platform::SystemCommands commands;
        platform::SettingsHome home;
        // The clock of the log's time stamps.
        TransferLog::Now now = &QDateTime::currentDateTime;
    };
    static constexpr int PostTransferDelayMs = 2000;
    static constexpr int MailDelayMs = 5000;

    TransferDesk(const Services& services, const DeskViews& views);

    Options& options() { return m_options; }
    const Options& options() const { return m_options; }
    ProfileTable& profiles() { return m_profiles; }
    const CommProfile& activeProfile() const { return m_profiles[m_options.setNo]; }
    DocumentState& document() { return m_document; }
    const DocumentState& document() const { return m_document; }
    ProgramIndex& programs() { return m_programs; }
    TransferState& state() { return m_state; }
    const TransferState& state() const { return m_state; }
    TransferSession& session() { return m_session; }
    const TransferSession& session() const { return m_session; }
    const platform::SettingsHome& home() const { return m_home; }
    const platform::SystemCommands& commands() const { return m_commands; }

    // What the serial line, the send and the receive obey, from the options.
    LineOptions lineOptions() const;
    SendContext sendContext() const;
    ReceiveOptions receiveOptions() const;
    // The active profile's restart template and budget settings
    // (Setting.ini, section "Restart"n).
    nc::RestartSettings restartSettings() const;
    // How the NC reader reads the program for a send run or a DNC run.
    nc::ReaderSettings readerSettings(bool dnc) const;

    // --- start-up --------------------------------------------------------
    // The transfer the command line ordered (at most one), started at the
    // first idle moment.
    void setOrder(const CommandLineState& order);
    bool hasOrder() const { return m_autoSend || m_autoReceive; }
    void firstIdle();

    // --- buttons ---------------------------------------------------------
    void sendPressed(bool shiftHeld);    // SpeedButton10 "送信"
    void repeatPressed(bool shiftHeld);  // SpeedButton15 "ﾘﾋﾟｰﾄ"
    void receivePressed(bool shiftHeld); // SpeedButton9 "受信"
    // The selection dialog's send: everything but the excluded programs.
    void sendSelected(const ExcludedPrograms& excluded);
    // The selection dialog was left without sending: the post-transfer step
    // gives the window back.
    void selectionCancelled();
    // The restart dialog's "送信開始": the run of the active profile from
    // the block the operator chose, after the head he read.
    void restartPressed(const RunRestart& restart);
    void stopPressed(); // SpeedButton13 "中止", Esc, F3
    void stepPressed(); // SpeedButton14 "ｽﾃｯﾌﾟ", the space bar
    // The window is closing. True when a run is in progress: it is asked to
    // stop, and the window is closed once it has ended.
    bool requestClose();
    bool isRunning() const { return m_running; }

    // --- timers ----------------------------------------------------------
    void onTimer();
    bool isPostTransferDue() const { return m_timer1DueUs.has_value(); }

private:
    void startSend(bool repeat, bool shiftHeld, const RunRestart* restart = nullptr);
    void runSend(const ExcludedPrograms& excluded, const RunRestart* restart = nullptr);
    QList<ProgramHeader> selectablePrograms() const;
    void runDnc(const DncRestart* restart = nullptr);
    void runReceive(bool ordered, const QString& orderedPath, bool shiftHeld);
    void afterRun(RunOutcome outcome, bool completed);
    void postTransfer(); // Timer1
    void updateTicking();
    void showError(const QString& text);

    platform::Clock& m_clock;
    platform::SettingsHome m_home;
    platform::SystemCommands m_commands;
    DeskViews m_views;

    Options m_options;
    ProfileTable m_profiles;
    DocumentState m_document;
    ProgramIndex m_programs;
    TransferState m_state;
    TransferSession m_session;
    SendRun m_send;
    DncRun m_dnc;
    nc::DripWatch m_watch;

    bool m_running = false;
    bool m_repeat = false;
    bool m_shiftHeld = false;
    int m_repeatCount = 0;
    bool m_closeRequested = false;
    bool m_autoSend = false;
    bool m_autoReceive = false;
    bool m_idleDone = false;
    std::optional<std::int64_t> m_timer1DueUs;
    std::optional<std::int64_t> m_timer2DueUs;
    std::optional<std::int64_t> m_mailDueUs;
    std::optional<platform::MailMessage> m_mail;
};

} // namespace tornyx
