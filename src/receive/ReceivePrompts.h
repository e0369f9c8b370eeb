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

// What a receive asks of the operator and of the window's document besides
// the display and the editor: the save question, the file and folder
// dialogs, the name the next save offers and the working folder.
class ReceivePrompts {
public:
    virtual ~ReceivePrompts() = default;
    // When the editor text is modified: the save question titled "ﾃﾞｰﾀ保存".
    // false when the operator cancelled it (nothing starts).
    virtual bool askSaveBeforeReplace() = 0;
    // The save dialog with the file-type filters and the last filter index,
    // the title given, an empty file name and the initial folder (empty: the
    // dialog's own). On a name: remember the chosen filter index. On cancel:
    // the dialog's file name goes back to the document's; nullopt.
    virtual std::optional<QString> chooseReceiveFile(const QString& title, const QString& initialFolder) = 0;
    // A folder selection with caption and start folder; nullopt on cancel.
    virtual std::optional<QString> chooseFolder(const QString& caption, const QString& startFolder) = 0;
    // The save dialog's file name (what the next save offers).
    virtual void setSaveDialogFileName(const QString& path) = 0;
    // The working folder (LastFolder).
    virtual QString workingFolder() = 0;
    virtual void setWorkingFolder(const QString& folder) = 0;
};

} // namespace tornyx
