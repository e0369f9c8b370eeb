#pragma once

#include "serial/LineOptions.h"

#include <QString>

#include <optional>

namespace tornyx {

// The program-wide options a receive obeys, taken from the option values when
// it starts (an option is on when its text is exactly "Y"):
//   line.dc3Is93      "DC3(0X93)"  XOFF is 0x93 instead of 0x13
//   line.noLineCheck  "op13"  no carrier wait, no DC4 to the machine
//   line.dsrCheck     "op14"  DSR dropping ends the reception
//   keepOnStop        "op10"  a stop during reception keeps what came
//   powerOff          "Power_Off"  shut down after an ExitAfterTransfer run
//   splitAfterReceive "op2"   open the split-save dialog after loading
struct ReceiveOptions {
    LineOptions line;
    bool keepOnStop = false;
    bool powerOff = false;
    bool splitAfterReceive = false;
};

// How a receive ended, for the post-transfer step (Timer1).
struct ReceiveResult {
    enum class Outcome {
        Completed, // the file holds the program; load it
        Aborted,   // stop, port failure, failed XOFF/XON: file deleted
        Failed,    // unexpected error: the file keeps what was flushed
    };
    Outcome outcome = Outcome::Aborted;
    int errorNumber = 0;
    // The receive file, under its final name after an OSP receive
    // (TransferPath).
    QString receiveFile;
    bool receivedPending = false; // ReceivedPending
    bool success = false;
};

// What the receive needs from the main window. The main window implements it
// over its widgets; a test implements it with records and canned answers.
// Message boxes, the event pump and the DSR/CTS lamps go through the
// session's LineHost.
class ReceiveHost {
public:
    virtual ~ReceiveHost() = default;

    // --- start (the receive button and the command line) -------------------
    // A log file is shown in place of the editor (the button does nothing).
    virtual bool isLogViewShown() = 0;
    // When the editor text is modified: the save question titled "ﾃﾞｰﾀ保存".
    // false when the operator cancelled it (nothing starts).
    virtual bool askSaveBeforeReplace() = 0;
    virtual bool isShiftHeld() = 0;
    // Transfer panel 6 emptied, a smooth progress bar placed in panel 0.
    virtual void prepareTransferBar() = 0;
    // The save dialog with the file-type filters and the last filter index,
    // the title given, an empty file name and the initial folder (empty: the
    // dialog's own). On a name: remember the chosen filter index. On cancel:
    // the dialog's file name goes back to the document's; nullopt.
    virtual std::optional<QString> chooseReceiveFile(const QString& title, const QString& initialFolder) = 0;
    // A folder selection with caption and start folder; nullopt on cancel.
    virtual std::optional<QString> chooseFolder(const QString& caption, const QString& startFolder) = 0;
    // The save dialog's file name (what the next save offers).
    virtual void setSaveDialogFileName(const QString& path) = 0;
    // The working folder (LastFolder of the main window).
    virtual QString workingFolder() = 0;
    virtual void setWorkingFolder(const QString& folder) = 0;
    // Caption modes: 1 edit, 5 program title, 6 "<受信>" + name, 7 empty.
    virtual void setCaption(int mode, const QString& fileName) = 0;
    // Mode 6 with the full name, whatever the title option says.
    virtual void setCaptionFullName(int mode, const QString& fileName) = 0;
    virtual void setModified(bool modified) = 0;
    // Buttons and menus disabled, stop button enabled, transfer bar shown.
    virtual void enterTransferMode() = 0;
    virtual void clearEditor() = 0;
    // The breakpoint set to none and jump_bp ("ﾌﾞﾚｰｸﾎﾟｲﾝﾄに移動") disabled.
    virtual void clearBreakpoint() = 0;

    // --- the run -------------------------------------------------------------
    virtual void setScreenSaverActive(bool active) = 0;
    // Label1, ComboBox1, BitBtn1 hidden; Label2 emptied and shown; the DSR
    // and CTS lamps shown; Timer4 stopped.
    virtual void showReceiveLayout() = 0;
    // The transfer-running mark (editor clicks leave the status alone) and
    // the editor's pop-up menu disabled.
    virtual void setTransferRunning() = 0;
    virtual void setTransferPanel(int index, const QString& text) = 0;
    virtual void repaintTransferBar() = 0;
    virtual void setEditingPanel(int index, const QString& text) = 0;
    virtual void setProgressRange(int minimum, int maximum) = 0;
    virtual void setProgress(int value) = 0;
    // Label2 above the editor.
    virtual void setProgramLabel(const QString& text) = 0;
    // ExitAfterTransfer: close the main window.
    virtual void closeMainWindow() = 0;
    // Acquire the shutdown privilege and, when that works, shut down with
    // power-off. Never called by a test host for real.
    virtual void shutDownComputer() = 0;
    // Keep the result (ReceivedPending, success, TransferPath) and start
    // Timer1 (2000 ms, one shot).
    virtual void startPostTransfer(const ReceiveResult& result) = 0;
    // The new-document command (open1 "新規作成").
    virtual void newDocument() = 0;
};

} // namespace tornyx
