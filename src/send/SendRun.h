#pragma once

#include "profiles/CommProfile.h"
#include "send/SendInterfaces.h"
#include "send/SendText.h"
#include "serial/LineOptions.h"
#include "serial/TransferSession.h"
#include "status/TransferLog.h"
#include "status/TransferState.h"

#include <QStringList>

namespace tornyx {

// The program-wide options the send steps read (Tornyx.INI, "Options").
struct SendOptions {
    bool selectPrograms = false;    // op1  (送信)ﾌﾟﾛｸﾞﾗﾑ番号を選択して送信を行う
    bool metres = false;            // op3  (共通)ﾒｰﾄﾙ表示
    bool sendAfterComment = false;  // op7  (送信)ﾃﾞｰﾀの注釈(；か’)以降も送信を行う
    bool ignoreMachineStop = false; // op9  (共通)NC機側からの中止信号は無効にする
    bool punchCompletion = false; // op12 (送信)ﾃｰﾌﾟﾊﾟﾝﾁｬを使用する場合に完了信号を出力する
    bool noLineCheck = false;     // op13 (共通)回線ﾁｪｯｸを行わない (also in LineOptions)
    bool noLeadingLf = false;     // op17 (送信)送信開始時に改行コードを送信しない
    bool powerOff = false;        // Power_Off
    bool dc3Is93 = true;          // DC3(0X93)
    bool stepSendEnabled = false; // op11, menu send_step
    bool autoIndexOff = false;    // op18, menu ono_op
};

// What a send works on, taken when Send is pressed.
struct SendContext {
    CommProfile profile;   // the active profile
    int profileNumber = 1; // 1..12; 11 and 12 get the file-name header
    SendOptions options;
    LineOptions lineOptions; // what the serial line obeys
    QString documentPath;
};

// The send run and the steps it shares with the DNC run (d = 1 adds 2000 to
// every error number and writes the DNC log). Everything runs on the caller's
// thread; waits pump the host's events so the stop and step buttons work.
class SendRun {
public:
    // session: the serial line with its log text, stop request and
    // write-failure flag; its LineHost shows the boxes and pumps events.
    SendRun(TransferSession& session, SendEditor& editor, SendHost& host, TransferState& state);

    // SpeedButton10 (kind 1, send) and SpeedButton15 (kind 2, repeat).
    void SendButtonPressed(int kind, const SendContext& context);
    // The selection dialog's send button: the unticked program starts.
    void SendSelected(const QStringList& excludedHeaders);
    // The run itself, all passes of a repeat.
    void RunSend();

    // SpeedButton13 "中止".
    void StopPressed();
    // SpeedButton14 "ｽﾃｯﾌﾟ": one step, like the space bar.
    void StepPressed() { m_stepPending = true; }
    // The window is closing: a stop request, and the window is closed once
    // the run has ended through its stop path. Answers true when the close
    // must wait for that.
    bool requestClose();
    bool isRunning() const { return m_inRun; }

    // The DNC run sets its context before it calls the shared steps.
    void setContext(const SendContext& context) { m_ctx = context; }

    // The shared steps; 100 = stop the run, 0 = go on.
    void InitSendDisplay();
    int SendSetUp(int d);
    int WaitStartSignal(int d);
    int SendStartCodes(int d);
    int SendEndCodes(int d);
    void AbortSend(int d);
    void FailSend(int d);

    // The characters the run counts for the editor text: line lengths plus
    // two per line break, minus one (the control's own counting).
    int32_t totalCount() const;

    int repeatCount() const { return m_repeatCount; }
    const SendContext& context() const { return m_ctx; }

private:
    enum class Pass { Completed, Stopped, Failed };
    Pass runPass();
    bool write(unsigned char c);
    // Writes each byte; stops at the first that answers "stop".
    bool writeGroup(const QByteArray& bytes);
    bool feedStopped(int errorNumber);
    bool writeFeed(); // Feed x 20 blanks
    void wait(int ms);
    void showError(const QString& text);
    bool askYesNo(const QString& text);
    bool isPunch() const { return m_ctx.profile.send.speed == 6; }
    int err(int n, int d) const { return n + 2000 * d; }
    void endRun(); // common ending of every path
    void restoreModifiedMark();
    bool sendLineLoop();
    bool sendOspHeader();
    bool stepWait();
    void progressText();

    TransferSession& m_session;
    TransferLog& m_log;
    SendEditor& m_editor;
    SendHost& m_host;
    TransferState& m_state;

    SendContext m_ctx;
    LineFilter m_filter;
    QStringList m_excluded;
    bool m_repeat = false;
    int m_repeatCount = 0;
    bool m_indexBuilding = false;
    bool m_stepPending = false;
    bool m_inRun = false;
    bool m_closePending = false;
    bool m_wasModified = false;
    QString m_panel2;
};

} // namespace tornyx
