#pragma once

#include "dnc/DncCalls.h"
#include "dnc/DncStartPoint.h"
#include "send/SendSteps.h"
#include "serial/LineHost.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace tornyx {

class ProgramIndex;
class TransferSession;

// A DNC run that begins inside the program: its start program (the passes
// of a repeat begin there), the call tables at the block it continues at,
// and the head sent before that block.
struct DncRestart {
    int startProgram = 0; // 1-based program-number line
    DncStartPoint point;
    RestartHead head;
};

// What the DNC run asks of the operator: the set-up dialog (TDncForm) with
// its start program.
class DncPrompts {
public:
    virtual ~DncPrompts() = default;
    struct Start {
        bool confirmed = false; // "開始" (also the Yes of the no-selection question)
        int startLine = 0;      // 1-based program-number line; 0 for none
        // "途中再開": the run begins at the block the operator chose.
        std::optional<DncRestart> restart;
    };
    virtual Start chooseDncStart() = 0;
};

// Follows the lines a DNC run sends (the drip-feed monitor).
class DncWatch {
public:
    virtual ~DncWatch() = default;
    // The program data begins to flow (after the start codes and a restart's
    // head).
    virtual void passStarted() = 0;
    // A line has gone out: its 0-based index, the line and the call words
    // sent after it (Shift-JIS).
    virtual void lineSent(int index, const QByteArray& line, const QByteArray& words) = 0;
};

// The DNC run: drip-feeds the editor lines from the chosen start program and
// follows M98/M198/G65 calls, GOTO and M99 in the editor text. It shares the
// send steps and the character filter with the send run, and runs on the
// caller's thread like it.
class DncRun {
public:
    static constexpr int Levels = 10; // 0..9

    DncRun(TransferSession& session, RunEditor& editor, RunDisplay& display, ProgramIndex& programs,
           DncPrompts& prompts, TransferState& state);

    // All passes of a run; firstPass is the number of the first pass of a
    // repeat (the repeat button), 0 for a single run. With a restart the
    // first pass asks for no start program and begins at its block.
    RunOutcome run(const SendContext& context, int firstPass, const DncRestart* restart = nullptr);
    void setWatch(DncWatch* watch) { m_watch = watch; }

    // The call search for a 0-based line; the 0-based index of the called
    // program's number line, or -1. Logs its failures; boxes only with
    // showMessages. Throws dnc::NotANumber.
    int callSearch(int lineIndex, bool showMessages);

    int level() const { return m_level; }
    int startLine() const { return m_startLine; }
    bool isRunning() const { return m_inRun; }

private:
    enum class Pass { Completed, Stopped };
    Pass runPass();
    Step chooseStart();
    bool lineLoop(); // true when stopped (abort done)
    bool complete(); // true when stopped
    void abort();
    bool transmit(const QByteArray& line, bool loneLf);
    bool enterCall(int index);
    int gotoTarget(int index, int lines);
    void returnToCaller();
    bool takeRestart(const DncRestart& restart);
    bool continueAtRestart(); // true when stopped
    void showLevel(bool withCount);
    int lastLine() const;
    QString elapsed() const;
    void warn(const QString& text, const QString& caption, LineHost::Kind kind = LineHost::Kind::Warning);
    QByteArray lineAt(int index) const { return m_editor.line(index); }

    TransferSession& m_session;
    RunEditor& m_editor;
    RunDisplay& m_display;
    ProgramIndex& m_programs;
    DncPrompts& m_prompts;
    TransferState& m_state;
    SendSteps m_steps;
    DncWatch* m_watch = nullptr;
    std::optional<DncRestart> m_restart; // of the first pass

    QByteArray m_eob;
    bool m_firstPass = true;
    bool m_inRun = false;
    bool m_listFill = false;
    int m_startLine = 0;
    int m_current = 0;
    int m_level = 0;
    int m_linesWithoutData = 0;
    std::int64_t m_startUs = 0;
    QByteArray m_words; // pending call words
    QString m_label;    // Label2
    std::array<int, Levels> m_returnLine{};
    std::array<QString, Levels> m_savedLabel{};
    std::array<int, Levels> m_count{};
    std::array<int, Levels> m_levelStart{};
};

} // namespace tornyx
