#pragma once

#include "dnc/DncCalls.h"
#include "send/SendInterfaces.h"
#include "send/SendRun.h"
#include "send/SendText.h"
#include "serial/TransferSession.h"
#include "status/TransferState.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

namespace tornyx {

// What the DNC run needs from the main window besides the send host: the
// set-up dialog (TDncForm).
class DncHost {
public:
    virtual ~DncHost() = default;
    struct SetUp {
        bool confirmed = false; // "開始" (also the Yes of the no-selection question)
        int startLine = 0;      // 1-based program-number line; 0 for none
    };
    virtual SetUp showDncForm() = 0;
};

struct DncOptions {
    // op15 (DNC )DNC通信でﾚﾍﾞﾙ0以外のM02(M30)はM99として処理する
    bool endReturnsAboveLevel0 = false;
};

// The DNC run: drip-feeds the editor lines from the chosen start program and
// follows M98/M198/G65 calls, GOTO and M99 in the editor text. It shares the
// send run's steps (SendSetUp(1) ... AbortSend(1)) and its character filter,
// and runs on the caller's thread like the send run.
class DncRun {
public:
    static constexpr int Levels = 10; // 0..9

    DncRun(SendRun& send, TransferSession& session, SendEditor& editor, SendHost& host, DncHost& dncHost,
           TransferState& state);

    // SendHost::startDncRun: all passes of a run (repeat mode when the send
    // button was the repeat one). The send run's context is used.
    void RunDnc(const DncOptions& options);

    // SendHost::dncSetUp: the set-up dialog on the first pass; 100 = stop.
    int dncSetUp();

    // The call search for a 0-based line; the 0-based index of the called
    // program's number line, or -1. Logs its failures; boxes only with
    // showMessages. Used by the data check too. Throws dnc::NotANumber.
    int callSearch(int lineIndex, bool showMessages);

    int level() const { return m_level; }
    int startLine() const { return m_startLine; }
    bool isRunning() const { return m_inRun; }

private:
    enum class Pass { Completed, Stopped };
    Pass runPass();
    bool lineLoop(); // true when stopped (abort done)
    bool complete(); // true when stopped
    void abort();
    bool write(unsigned char c); // true = stop
    bool writeGroup(const QByteArray& bytes);
    bool transmit(const QByteArray& line, bool loneLf);
    bool stepWait();
    void showLevel(bool withCount);
    void restoreModifiedMark();
    int lastLine() const;
    QString elapsed() const;
    bool warn(const QString& text, const QString& caption, LineHost::Kind kind = LineHost::Kind::Warning);
    QByteArray lineAt(int index) const { return m_editor.line(index); }

    SendRun& m_send;
    TransferSession& m_session;
    SendEditor& m_editor;
    SendHost& m_host;
    DncHost& m_dncHost;
    TransferState& m_state;

    DncOptions m_options;
    LineFilter m_filter;
    QByteArray m_eob;
    bool m_firstPass = true;
    bool m_inRun = false;
    bool m_listFill = false;
    bool m_wasModified = false;
    int m_startLine = 0;
    int m_current = 0;
    int m_level = 0;
    int m_pass = 0;
    std::int64_t m_startUs = 0;
    QByteArray m_words; // pending call words
    QString m_label;    // Label2
    QString m_panel2;
    std::array<int, Levels> m_returnLine{};
    std::array<QString, Levels> m_savedLabel{};
    std::array<int, Levels> m_count{};
    std::array<int, Levels> m_levelStart{};
};

} // namespace tornyx
