#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tornyx {

// The editor as the run sees it: lines as Shift-JIS bytes without their
// line break. The run never changes the text.
class SendEditor {
public:
    virtual ~SendEditor() = default;
    virtual int lineCount() const = 0;
    virtual QByteArray line(int index) const = 0; // 0-based
    virtual bool isEmpty() const = 0;
    // Selects length bytes of line index from its first character and
    // scrolls it into view.
    virtual void selectLine(int index, int length) = 0;
    virtual void caretToStart() = 0;
    virtual void setFocus() = 0;
    virtual void setReadOnly(bool readOnly) = 0;
    virtual bool isModified() const = 0;
    virtual void setModified(bool modified) = 0;
    // 1-based line at which the run pauses; -1 for none.
    virtual int breakpointLine() const = 0;
};

// The main window as the send run sees it, besides the LineHost of the
// serial line (message boxes, event pump, lamps).
class SendHost {
public:
    virtual ~SendHost() = default;

    // The breakpoint box: a warning with the single button Yes, placed like
    // the other boxes; the run continues when it is closed.
    virtual void showBreakpoint(const QString& text) = 0;

    // Status display.
    virtual void setTransferPanel(int index, const QString& text) = 0;
    virtual void setEditPanel(int index, const QString& text) = 0;
    virtual void setStatusLabel(const QString& text) = 0; // Label2 beside the lamps
    virtual void setProgressRange(int maximum) = 0;
    virtual void setProgress(int position) = 0;
    virtual void refreshCaption() = 0;
    // false: commands disabled for a transfer; true: back to editing.
    virtual void setTransferMode(bool editing) = 0;
    // true: the send display (Label2, lamps) instead of the program-number
    // controls (Label1, ComboBox1, BitBtn1).
    virtual void showSendDisplay(bool on) = 0;
    virtual void setStepButtonEnabled(bool enabled) = 0;
    virtual void setEditorContextMenuEnabled(bool enabled) = 0;
    virtual void setScreenSaverInhibited(bool inhibited) = 0;
    virtual void setCaretUpdatesSuspended(bool suspended) = 0;

    // Timers: Timer1 runs the post-transfer step 2 s later; Timer2 ticks the
    // remaining-time estimate every 10 s.
    virtual void startTimer1() = 0;
    virtual void setTimer2(bool on) = 0;

    // Keyboard and step events.
    virtual bool isShiftHeld() = 0;
    // One press of the space bar or of SpeedButton14 since the last call.
    virtual bool takeStepEvent() = 0;

    // The program-number index of the editor.
    virtual bool isIndexEmpty() = 0;
    virtual bool isIndexExtractionFinished() = 0;
    virtual void stopIndexExtraction() = 0; // with its box and refreshes
    virtual void markIndexNotExtracted() = 0;
    virtual void addIndexEntry(const QString& entry) = 0;
    virtual QStringList indexEntries() = 0;

    // The file-open command (when Send is pressed on an empty editor).
    virtual void openFile() = 0;
    virtual bool isLogViewOpen() = 0;
    // Seams for the runs and dialogs that come with their own pieces.
    virtual void startDncRun() = 0;
    virtual void showSelectionDialog(const QString& caption, const QStringList& entries,
                                     const QString& note) = 0;
    // d = 1 set-up of a DNC run; answers 100 to stop.
    virtual int dncSetUp() { return 0; }

    virtual void closeMainWindow() = 0;
    virtual bool powerOff() = 0;
};

} // namespace tornyx
