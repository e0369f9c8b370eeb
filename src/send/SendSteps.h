#pragma once

#include "profiles/CommProfile.h"
#include "send/SendText.h"
#include "serial/LineOptions.h"
#include "status/RunDisplay.h"
#include "status/RunEditor.h"
#include "status/TransferLog.h"
#include "status/TransferState.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace tornyx {

class TransferSession;

// The program-wide options the send steps read (Tornyx.INI, "Options").
struct SendOptions {
    bool selectPrograms = false;    // (送信)ﾌﾟﾛｸﾞﾗﾑ番号を選択して送信を行う
    bool metres = false;            // (共通)ﾒｰﾄﾙ表示
    bool sendAfterComment = false;  // (送信)ﾃﾞｰﾀの注釈(；か’)以降も送信を行う
    bool ignoreMachineStop = false; // (共通)NC機側からの中止信号は無効にする
    bool punchCompletion = false; // (送信)ﾃｰﾌﾟﾊﾟﾝﾁｬを使用する場合に完了信号を出力する
    bool noLineCheck = false;     // (共通)回線ﾁｪｯｸを行わない (also in LineOptions)
    bool noLeadingLf = false;     // (送信)送信開始時に改行コードを送信しない
    bool powerOff = false;        // Power_Off
    bool dc3Is93 = true;          // DC3(0X93)
    bool stepSendEnabled = false; // menu send_step
    bool autoIndexOff = false;    // menu ono_op
    bool dncEndAsReturn = false;  // (DNC )ﾚﾍﾞﾙ0以外のM02(M30)はM99として処理する
};

// What a send or DNC run works on, taken when Send is pressed.
struct SendContext {
    CommProfile profile;   // the active profile
    int profileNumber = 1; // 1..12; the OSP profiles get the file-name header
    SendOptions options;
    LineOptions lineOptions; // what the serial line obeys
    QString documentPath;
};

// What a run that restarts inside the program sends ahead of its first
// program line, after the start codes: the header the operator read and
// edited, and the log lines that record the restart.
struct RestartHead {
    QList<QByteArray> lines; // Shift-JIS, without line end
    QStringList log;
};

// Which run the steps serve: the DNC run adds 2000 to every error number
// and writes the DNC log.
enum class RunKind { Send, Dnc };

// The answer of a step: the run goes on or ends (through abort()).
enum class Step { Continue, Stop };

// How a whole run ended, for the transfer desk.
enum class RunOutcome { Completed, Stopped, Failed };

// The steps the send and DNC runs share around their data: the display, the
// set-up, the start handshake, start and end codes, the data writer with its
// pause, the step wait, the repeat pause and the two early endings. Every
// message and log text of these steps is kept in SendSteps.cpp.
class SendSteps {
public:
    SendSteps(TransferSession& session, RunEditor& editor, RunDisplay& display, TransferState& state,
              RunKind kind);

    // A run starts: its context, the document's modified mark to give back
    // at the end, the character filter.
    void beginRun(const SendContext& context);
    const SendContext& context() const { return m_ctx; }
    const LineFilter& filter() const { return m_filter; }
    bool isPunch() const { return m_ctx.profile.send.speed == TapeSpeed; }

    // The send display: screen saver off, Label2 and the lamps shown, the
    // stop request cleared, the step button as the menu says.
    void initDisplay();
    // The set-up in two halves; the DNC run asks for its start program in
    // between.
    void beginSetUp();
    Step finishSetUp();
    Step waitStartSignal();
    Step sendStartCodes();
    Step sendEndCodes();
    // The stop path: DC4 to the machine (line check on), the stop line with
    // the error number, the log, the port closed.
    void abort();
    // The path of an unexpected failure.
    void fail();
    // A pass that ended normally: the end-of-data wait, the port closed,
    // "送信完了".
    void closeCompleted();

    // One character straight through the line's writer; true = stop.
    bool write(unsigned char c);
    bool writeGroup(const QByteArray& bytes);
    // One data character: the writer, then the profile's pause after it;
    // true when the run must stop (the stop button included).
    bool writeData(unsigned char c);
    void wait(int ms);
    // Step mode: holds after a sent line until the step button, the space
    // bar or the stop button. Stop: aborted already.
    Step stepWait();
    // The run does not change the document: the modified mark goes back to
    // what it was when the run began.
    void restoreModifiedMark();
    // The restart head: its log lines, then every line through the
    // character filter and the data writer with the end of block, one step
    // per line in step mode. The stages are the run's own for a data
    // character and an end of block. Stop: aborted already.
    Step sendRestartHead(const RestartHead& head, int charStage, int endOfBlockStage);
    // All passes of a run. pass() sends one and answers true when it was
    // completed; a pass that stopped or failed ends the run. With repeat,
    // the next pass follows a completed one after the repeat pause, until
    // the stop button; firstPass is the number the repeat counter starts
    // at, firstLine the 1-based line selected for the next pass.
    RunOutcome runPasses(const std::function<bool()>& pass, bool repeat, int firstPass,
                         const std::function<int()>& firstLine);
    // The pause between two passes of a repeat; true when the next pass may
    // begin (not stopped meanwhile). nextPass is the number of the next pass.
    bool repeatPause(int nextPass, int firstLine);
    // The account of a completed run into its log file.
    void writeLog();

    void setState(const QString& panel2);
    void showError(const QString& text);
    bool askYesNo(const QString& text);
    void showBreakpoint();
    void logAppend(const QString& message);

    // The error number of a stage for this run.
    int err(int sendNumber) const { return m_kind == RunKind::Dnc ? sendNumber + 2000 : sendNumber; }
    void setStage(int sendNumber) { m_state.errorNumber = err(sendNumber); }

    TransferSession& session() { return m_session; }

private:
    TransferSession& m_session;
    TransferLog& m_log;
    RunEditor& m_editor;
    RunDisplay& m_display;
    TransferState& m_state;
    const RunKind m_kind;

    SendContext m_ctx;
    LineFilter m_filter;
    bool m_wasModified = false;
    QString m_panel2;
};

// Status and log texts the runs share with their steps.
namespace sendtext {
extern const QString Sending;       // "＜＜ 送信中 ＞＞"
extern const QString Completed;     // "送信完了"
extern const QString ProgramPrefix; // "送信中のﾌﾟﾛｸﾞﾗﾑ番号 => "
extern const QString LogNoSettings; // "  通信設定不可で中止\n"
} // namespace sendtext

} // namespace tornyx
