#pragma once

#include <QString>

#include <optional>

namespace tornyx {

// What the serial line needs from the user interface. The main window
// implements it (message boxes placed 50 pixels right of and below its
// top-left corner, QCoreApplication::processEvents(), the DSR and CTS
// indicators, the line-switch dialog TAutoForm); a test implements it with
// canned answers and counts.
class LineHost {
public:
    enum class Kind { Error, Warning, Information, Question, Stop };
    enum class Buttons { Ok, Yes, OkCancel, YesNo, YesNoCancel };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~LineHost() = default;

    // A modal message box at the main window's top-left corner + (50, 50).
    // An empty caption gives the program's title.
    virtual Answer showMessage(Kind kind, const QString& text, Buttons buttons = Buttons::Ok,
                               const QString& caption = {}) = 0;
    // Handles pending window events (repaint, the stop button). Called at
    // most every 16 ms from inside the line's waits.
    virtual void processEvents() = 0;
    // The "DSR" indicator: blue text when on, red when off.
    virtual void setDsrLamp(bool on) = 0;
    // The "CTS" indicator: " ●" when on, " ○" when off.
    virtual void setCtsLamp(bool on) = 0;
    // Shows TAutoForm ("自動切替") centred on the main window, with an empty
    // field. The entered switch number on "ＯＮ", nullopt on cancel.
    virtual std::optional<QString> askSwitchNumber() = 0;
};

} // namespace tornyx
