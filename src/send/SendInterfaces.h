#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace tornyx {

// How the characters of a send are put on the line (the serial layer's
// code mode). Undecided never occurs while sending.
enum class SendCode { Iso, Eia, Raw };

// What the send steps need of the serial line: OpenLine, WriteChar, ReadChar
// and the port queries, with the encoding, pause handling and line checks
// of the serial layer behind them.
class SendPort {
public:
    virtual ~SendPort() = default;
    // Copies the send group of the active profile, opens and configures the
    // port; on failure the reason has been shown and logged.
    virtual bool openLine() = 0;
    virtual void setCode(SendCode code) = 0;
    // true = "stop": the run must end. A port that is not open answers
    // "go on" and writes nothing.
    virtual bool writeChar(char c) = 0;
    virtual int queuedInput() = 0;
    virtual char readChar() = 0;
    // Blocks up to ms for input to arrive (or returns at once when there is
    // some), so waiting loops do not burn a core.
    virtual void waitForInput(int ms) = 0;
    // Reads the modem status into the DSR and CTS lamps.
    virtual void updateLamps() = 0;
    virtual void closeLine() = 0;
    virtual QString portName() const = 0;
};

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

// The main window as the run sees it.
class SendHost {
public:
    virtual ~SendHost() = default;
    // Handles pending window events (repaint, the stop and step buttons).
    virtual void processEvents() = 0;

    // Message boxes, placed 50 px right of and below the window's corner.
    virtual void showError(const QString& text) = 0;              // OK
    virtual bool askYesNo(const QString& text) = 0;               // warning, Yes/No; true = Yes
    virtual void showBreakpoint(const QString& text) = 0;         // warning, Yes only

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

    // Program-number index (Part of the editor).
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
    virtual void showSelectionDialog(const QString& caption, const QStringList& entries, const QString& note) = 0;
    // d = 1 set-up of a DNC run; answers 100 to stop.
    virtual int dncSetUp() { return 0; }

    virtual void closeMainWindow() = 0;
    virtual bool powerOff() = 0;
};

// Time for the run: the real clock sleeps, a test clock jumps.
class SendClock {
public:
    virtual ~SendClock() = default;
    virtual int64_t nowMs() = 0; // monotonic
    virtual void sleepMs(int ms) = 0;
    virtual QDateTime currentDateTime() = 0;
};

} // namespace tornyx
