#include "send/SendSteps.h"

#include "platform/TextCodec.h"
#include "serial/TransferSession.h"

#include <algorithm>

namespace tornyx {

namespace sendtext {
const QString Sending = QStringLiteral(u"＜＜ 送信中 ＞＞");
const QString Completed = QStringLiteral(u"送信完了");
const QString ProgramPrefix = QStringLiteral(u"送信中のﾌﾟﾛｸﾞﾗﾑ番号 => ");
const QString LogNoSettings = QStringLiteral(u"  通信設定不可で中止\n");
} // namespace sendtext

namespace {

using namespace sendtext;

const QString Waiting = QStringLiteral(u"送信待機中");
const QString Stopped = QStringLiteral(u"送信中止");

const QString ConfirmStart = QStringLiteral(
    u"NC装置側の準備を行ってください｡\n準備が出来ましたら「はい(Y)」を\n押すと送信が開始します｡");
const QString BreakpointText = QStringLiteral(u"ﾌﾞﾚｰｸﾎﾟｲﾝﾄで一時停止中です\n[はい]で再開します\n");

const QString LogBadCode = QStringLiteral(u"  送信ｺｰﾄﾞ設定不良の為中止\n");
const QString LogStart = QStringLiteral(u"  送信開始\n");
const QString LogDncStart = QStringLiteral(u"  DNC送信開始\n");
const QString LogWaitSignal = QStringLiteral(u"  NC機からの開始信号待ち\n");
const QString LogManualStop = QStringLiteral(u"  送信待機中に手動操作にて中止\n");
const QString LogSignalReceived = QStringLiteral(u"  NC機より送信開始信号を受信\n");
const QString LogRepeatReady = QStringLiteral(u"  ﾘﾋﾟｰﾄ送信準備完了\n");
const QString LogDncRepeatReady = QStringLiteral(u"  ﾘﾋﾟｰﾄDNC送信準備完了\n");
const QString LogStopLine = QStringLiteral(u"  送信中止　ｴﾗｰ番号 ");
const QString LogFailed = QStringLiteral(u"  送信中にｴﾗｰが発生した為中止\n");
const QString LogDncFailed = QStringLiteral(u"  DNC送信中にｴﾗｰが発生した為中止\n");

// Stages of the steps (a DNC run adds 2000).
constexpr int ErrMachineStop = 1003;
constexpr int ErrConfirmStart = 1004;
constexpr int ErrLeadingLf = 1009;
constexpr int ErrStartCode = 1010;
constexpr int ErrStartEndOfBlock = 1012;
constexpr int ErrEndOfBlock = 1013;
constexpr int ErrEndPercent = 1015;
constexpr int ErrPunchEndOfBlock = 1017;
constexpr int ErrPunchPercent = 1021;
constexpr int ErrEndDc4 = 1022;
constexpr int ErrEndDoubleEob = 1023;
constexpr int ErrEndDoublePercent = 1024;
constexpr int ErrStopDc4 = 1025;
constexpr int ErrStepWait = 1032;
constexpr int ErrManualStop = 1033;

} // namespace

SendSteps::SendSteps(TransferSession& session, RunEditor& editor, RunDisplay& display, TransferState& state,
                     RunKind kind)
    : m_session(session), m_log(session.log()), m_editor(editor), m_display(display), m_state(state),
      m_kind(kind) {}

void SendSteps::beginRun(const SendContext& context) {
    m_ctx = context;
    // Whatever the modified mark said before Send was pressed, it says
    // afterwards, so unsaved edits keep their close question.
    m_wasModified = m_editor.isModified();
    m_state.dataSent = false;
    m_filter.sendMsg = platform::toSjis(m_ctx.profile.send.sendMsg);
    m_filter.dropSequenceNumbers = m_ctx.profile.send.nNon == "Y";
    m_filter.dropFeedPoint = m_ctx.profile.send.fNon == "Y";
    m_filter.sendAfterComment = m_ctx.options.sendAfterComment;
}

// ---------------------------------------------------------------- steps

void SendSteps::initDisplay() {
    m_display.setScreenSaverInhibited(true);
    m_display.showRunControls(true);
    m_session.clearStop();
    m_display.setProgramLabel(QString());
    m_display.setStepButtonEnabled(m_ctx.options.stepSendEnabled);
}

void SendSteps::beginSetUp() {
    m_session.setDataPhase(true);
    m_state.transferPath = m_ctx.documentPath;
    m_state.running = true;
    m_display.setEditorContextMenuEnabled(false);
    m_state.errorNumber = 0;
    m_state.counters.remainingSeconds = 0;
    m_display.setTransferPanel(TransferPanel::State, Waiting);
    m_panel2 = Waiting;
}

Step SendSteps::finishSetUp() {
    const SendGroup& s = m_ctx.profile.send;
    QString codeText;
    switch (sendCodeOf(s)) {
    case SendCode::Iso:
        m_session.setCodeMode(CodeMode::Iso);
        codeText = QStringLiteral("ISO  ");
        m_log.append(QStringLiteral(u"  送信ｺｰﾄﾞはISOｺｰﾄﾞ\n"));
        break;
    case SendCode::Eia:
        m_session.setCodeMode(CodeMode::Eia);
        codeText = QStringLiteral("EIA  ");
        m_log.append(QStringLiteral(u"  送信ｺｰﾄﾞはEIAｺｰﾄﾞ\n"));
        break;
    case SendCode::Ascii:
        m_session.setCodeMode(CodeMode::Raw);
        codeText = QStringLiteral("ASCII");
        m_log.append(QStringLiteral(u"  送信ｺｰﾄﾞはASCIIｺｰﾄﾞ\n"));
        break;
    case SendCode::User:
        m_session.setCodeMode(CodeMode::Raw);
        codeText = QStringLiteral(u"任意");
        m_log.append(QStringLiteral(u"  送信ｺｰﾄﾞは任意ｺｰﾄﾞ\n"));
        break;
    case SendCode::Unknown:
        // A code outside the list (a hand-edited Setting.ini) would leave
        // the line without an encoding: nothing is sent.
        m_log.append(LogBadCode);
        return Step::Stop;
    }
    m_display.setTransferPanel(TransferPanel::Line,
                               codeText + speedPanelText(s.speed) + stopBitsPanelText(s.stopBits));
    m_display.setTransferPanel(TransferPanel::Port, m_session.settings().port);
    m_display.setTransferPanel(TransferPanel::StartSignal,
                               s.signal == 0 ? QStringLiteral("Y") : QStringLiteral("N"));
    return Step::Continue;
}

Step SendSteps::waitStartSignal() {
    const QString& started = m_kind == RunKind::Dnc ? LogDncStart : LogStart;
    if (m_ctx.profile.send.signal != 0) {
        m_session.updateModemLamps();
        m_log.append(started);
        setStage(ErrConfirmStart);
        if (!askYesNo(ConfirmStart))
            return Step::Stop;
        setState(Sending);
        return Step::Continue;
    }
    m_display.setTransferPanel(TransferPanel::State, Waiting);
    m_log.append(LogWaitSignal);
    const unsigned char pause = m_session.pauseCharacter();
    for (;;) {
        // Checked on every turn: a machine that keeps talking must not keep
        // the operator from stopping.
        if (m_session.isStopRequested()) {
            m_log.append(LogManualStop);
            setStage(ErrManualStop);
            return Step::Stop;
        }
        if (m_session.queuedInput() <= 0) {
            m_session.pumpEvents();
            m_session.waitForInput(50);
            continue;
        }
        const unsigned char c = m_session.readChar();
        m_session.pumpEvents();
        if (c == nc::Dc1 || c == '%' || c == nc::Enq) {
            setState(Sending);
            m_log.append(LogSignalReceived);
            m_log.append(started);
            return Step::Continue;
        }
        if (!m_ctx.options.ignoreMachineStop) {
            setStage(ErrMachineStop);
            // The pause character counts as DC3 too: with the 0x93 option a
            // machine's DC3 arrives as 0x93.
            if (c == nc::Dc3 || c == pause || c == nc::Dc4 || c == nc::Can)
                return Step::Stop;
        }
        m_session.updateModemLamps();
    }
}

Step SendSteps::sendStartCodes() {
    const SendGroup& s = m_ctx.profile.send;
    if (sendCodeOf(s) != SendCode::Eia && !m_ctx.options.noLeadingLf) {
        setStage(ErrLeadingLf);
        if (write(nc::Lf))
            return Step::Stop;
    }
    setStage(ErrStartCode);
    const QByteArray leader(200, ' ');
    bool failed = false;
    switch (s.startChar) {
    case 1:
        failed = writeGroup("%");
        break;
    case 2:
        failed = writeGroup("%%");
        break;
    case 3:
        failed = writeGroup("% *");
        break;
    case 4:
        failed = writeGroup(leader);
        break;
    case 5:
        wait(1000);
        break;
    case 6:
        failed = writeGroup(leader) || writeGroup("%");
        break;
    case 7:
        wait(1000);
        failed = writeGroup("%");
        break;
    default:
        break;
    }
    if (failed)
        return Step::Stop;
    if (s.startChar == 4 || s.startChar == 5) {
        setStage(ErrStartEndOfBlock);
        if (writeGroup(endOfBlock(s.crlfType)))
            return Step::Stop;
    }
    return Step::Continue;
}

Step SendSteps::sendEndCodes() {
    const SendGroup& s = m_ctx.profile.send;
    const QByteArray eob = endOfBlock(s.crlfType);
    const auto step = [&](int number, const QByteArray& bytes) {
        setStage(number);
        return writeGroup(bytes);
    };
    bool failed = false;
    switch (s.endChar) {
    case 0:
        failed = step(ErrEndOfBlock, eob) || step(ErrEndPercent, "%");
        break;
    case 1:
        if (isPunch())
            failed = step(ErrPunchEndOfBlock, eob) || step(ErrPunchPercent, "%");
        else
            failed = step(ErrEndDc4, QByteArray(1, char(nc::Dc4)));
        break;
    case 2:
        failed = step(ErrEndDoubleEob, eob) || step(ErrEndDoublePercent, "%%");
        break;
    case 3:
        failed = step(ErrEndPercent, "%");
        break;
    case 4:
        failed = step(ErrEndDoublePercent, "%%");
        break;
    default:
        break; // no end code the machine would understand: send none
    }
    return failed ? Step::Stop : Step::Continue;
}

void SendSteps::abort() {
    if (!m_ctx.options.noLineCheck && !m_session.writeFailed()) {
        setStage(ErrStopDc4);
        // A line that never opened takes nothing (and logs no write error).
        if (m_session.isOpen())
            write(nc::Dc4);
    }
    m_log.append(LogStopLine + QString::number(m_state.errorNumber) + '\n');
    writeLog();
    if (m_kind == RunKind::Send)
        m_display.setProgress(0);
    restoreModifiedMark();
    m_state.estimating = false;
    m_session.closeLine();
    m_display.setTransferPanel(TransferPanel::State, Stopped);
    m_display.setTransferPanel(TransferPanel::Detail, QString());
    m_state.success = false;
}

void SendSteps::fail() {
    restoreModifiedMark();
    m_display.setEditingPanel(EditingPanel::Caret, QString());
    m_log.append(m_kind == RunKind::Dnc ? LogDncFailed : LogFailed);
    writeLog();
    if (m_kind == RunKind::Send)
        m_display.setProgress(0);
    m_state.estimating = false;
    m_session.closeLine();
    m_display.setTransferPanel(TransferPanel::State, Stopped);
    m_display.setTransferPanel(TransferPanel::Detail, QString());
    m_state.success = false;
}

void SendSteps::closeCompleted() {
    restoreModifiedMark();
    wait(4000);
    m_session.closeLine();
    m_display.setTransferPanel(TransferPanel::State, Completed);
}

// ---------------------------------------------------------------- helpers

bool SendSteps::write(unsigned char c) {
    return m_session.writeChar(c);
}

bool SendSteps::writeGroup(const QByteArray& bytes) {
    for (char c : bytes)
        if (write(static_cast<unsigned char>(c)))
            return true;
    return false;
}

bool SendSteps::writeData(unsigned char c) {
    if (write(c) || m_session.isStopRequested())
        return true;
    const int pause = m_ctx.profile.send.invTime;
    // A stop pressed during the pause: not one more character of the program.
    return pause > 0 && m_session.waitMs(pause, true);
}

void SendSteps::wait(int ms) {
    m_session.waitMs(ms, false);
}

Step SendSteps::sendRestartHead(const RestartHead& head, int charStage, int endOfBlockStage) {
    for (const QString& l : head.log)
        logAppend(l);
    const QByteArray eob = endOfBlock(m_ctx.profile.send.crlfType);
    for (const QByteArray& line : head.lines) {
        setState(sendtext::Sending);
        const FilteredLine out = filterLine(line, 0, m_filter);
        if (out.percentOnly)
            continue;
        m_state.errorNumber = charStage;
        for (char c : out.chars) {
            if (writeData(static_cast<unsigned char>(c))) {
                abort();
                return Step::Stop;
            }
        }
        m_state.errorNumber = endOfBlockStage;
        if (writeGroup(eob)) {
            abort();
            return Step::Stop;
        }
        m_session.pumpEvents();
        if (m_ctx.options.stepSendEnabled && stepWait() == Step::Stop)
            return Step::Stop;
    }
    return Step::Continue;
}

Step SendSteps::stepWait() {
    m_state.stepFlag = true;
    for (;;) {
        m_session.pumpEvents();
        if (m_state.takeStep())
            return Step::Continue;
        setStage(ErrStepWait);
        if (m_session.isStopRequested()) {
            abort();
            return Step::Stop;
        }
        m_session.waitMs(10, false);
    }
}

void SendSteps::restoreModifiedMark() {
    m_editor.setModified(m_wasModified);
    m_display.refreshCaption();
    if (!m_wasModified)
        m_display.setEditingPanel(EditingPanel::ChangeMark, QString());
}

RunOutcome SendSteps::runPasses(const std::function<bool()>& pass, bool repeat, int firstPass,
                                const std::function<int()>& firstLine) {
    for (int number = firstPass;; ++number) {
        bool completed = false;
        try {
            completed = pass();
        } catch (...) {
            // Anything unforeseen (O12A met by the DNC search, a device that
            // throws) ends the run through its own path rather than leaving
            // the port open and the window held.
            fail();
            return RunOutcome::Failed;
        }
        if (!completed)
            return RunOutcome::Stopped;
        if (repeat && repeatPause(number + 1, firstLine()))
            continue;
        // Normal end (or a repeat stopped between passes: that pass was
        // complete, so it ends as a completed run).
        writeLog();
        m_state.success = true;
        return RunOutcome::Completed;
    }
}

bool SendSteps::repeatPause(int nextPass, int firstLine) {
    if (m_session.isStopRequested())
        return false;
    const int index = std::max(firstLine - 1, 0);
    if (m_kind == RunKind::Send)
        m_editor.caretToStart();
    m_editor.selectLine(index, m_editor.lineCount() > index ? int(m_editor.line(index).size()) : 0);
    m_display.setEditingPanel(EditingPanel::Selection, QString());
    m_log.append(m_kind == RunKind::Dnc ? LogDncRepeatReady : LogRepeatReady);
    wait(3000);
    if (m_session.isStopRequested())
        return false;
    m_display.setTransferPanel(TransferPanel::Repeat, repeatText(nextPass));
    return true;
}

void SendSteps::writeLog() {
    if (!m_log.isEmpty())
        m_log.write(m_kind == RunKind::Dnc ? TransferLog::Dnc : TransferLog::Send);
}

void SendSteps::setState(const QString& panel2) {
    if (m_panel2 != panel2)
        m_display.setTransferPanel(TransferPanel::State, m_panel2 = panel2);
}

void SendSteps::showError(const QString& text) {
    m_session.host().showMessage(LineHost::Kind::Error, text, LineHost::Buttons::Ok);
}

bool SendSteps::askYesNo(const QString& text) {
    return m_session.host().showMessage(LineHost::Kind::Warning, text, LineHost::Buttons::YesNo) ==
           LineHost::Answer::Yes;
}

void SendSteps::showBreakpoint() {
    m_session.host().showMessage(LineHost::Kind::Warning, BreakpointText, LineHost::Buttons::Yes);
}

void SendSteps::logAppend(const QString& message) {
    m_log.append(message);
}

} // namespace tornyx
