#pragma once

#include <QString>

namespace tornyx {

// The panels of the transfer status bar (StatusBar2), shown while a run is
// in progress.
enum class TransferPanel {
    Progress = 0,    // the progress bar, or the elapsed time of a DNC run
    Detail = 1,      // remaining amount, detected code, DNC level
    State = 2,       // "送信待機中", "＜＜ 受信中 ＞＞", ...
    Line = 3,        // code, speed and stop bits
    Port = 4,        // port name
    StartSignal = 5, // "Y": the machine's signal starts the data
    Repeat = 6,      // "送信:" + pass counter
    Supply = 7,      // a DNC run's warning while the line falls behind the control
};

// The panels of the editing status bar (StatusBar1).
enum class EditingPanel {
    Size = 0,
    Caret = 1,
    CharacterCode = 2,
    TypingMode = 3,
    ChangeMark = 4,
    Selection = 5,
    Busy = 6, // the editor's longer commands ("ﾌﾟﾛｸﾞﾗﾑ番号抽出中")
};

// The window caption's forms; see makeCaption.
enum class CaptionMode {
    Editing = 1,   // "<編集>" + name
    New = 2,       // "<新規作成>" + name
    Closing = 3,   // "<編集>"
    Modified = 4,  // "<編集><変更>" + name
    Idle = 5,      // the program's title alone
    Receiving = 6, // "<受信>" + name
    Empty = 7,     // no caption (an OSP receive before the name is known)
};

// What the window shows about a transfer: one interface for the send,
// receive and DNC runs and the steps around them. The main window
// implements it over its status bars, caption and controls; a test records.
class RunDisplay {
public:
    virtual ~RunDisplay() = default;

    virtual void setTransferPanel(TransferPanel panel, const QString& text) = 0;
    virtual void setEditingPanel(EditingPanel panel, const QString& text) = 0;
    // Label2 beside the lamps: the program being sent or received.
    virtual void setProgramLabel(const QString& text) = 0;
    virtual void setProgressRange(int minimum, int maximum) = 0;
    virtual void setProgress(int value) = 0;
    // The transfer bar is drawn now, not at the next idle moment.
    virtual void repaintTransferBar() = 0;
    // A new progress bar in panel 0, panel 6 emptied (a receive's start).
    virtual void prepareTransferBar() = 0;
    // The progress bar of the finished transfer goes away.
    virtual void removeProgressBar() = 0;

    virtual void setCaption(CaptionMode mode, const QString& fileName) = 0;
    // The caption with the full name whatever the title option says.
    virtual void setCaptionFullName(CaptionMode mode, const QString& fileName) = 0;
    // The document's own caption: Editing or Modified with its path.
    virtual void refreshCaption() = 0;

    // Commands disabled, the stop button enabled, the editor read-only and
    // the transfer bar shown (nothing but the commands while a log is shown).
    virtual void enterTransferMode() = 0;
    // Back to editing: commands enabled, the stop button disabled, the
    // editor writable, the editing bar shown.
    virtual void leaveTransferMode() = 0;
    // true: Label2 and the DSR and CTS lamps instead of the program-number
    // controls (Label1, ComboBox1, BitBtn1); false: the other way round.
    virtual void showRunControls(bool run) = 0;
    virtual void setStepButtonEnabled(bool enabled) = 0;
    virtual void setEditorContextMenuEnabled(bool enabled) = 0;
    // The screen saver stays off while a transfer runs.
    virtual void setScreenSaverInhibited(bool inhibited) = 0;
};

} // namespace tornyx
