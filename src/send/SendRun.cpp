#include "send/SendRun.h"

#include "platform/TextCodec.h"

#include <exception>

namespace tornyx {

namespace {

// Status texts.
const QString Waiting = QStringLiteral(u"送信待機中");
const QString Sending = QStringLiteral(u"＜＜ 送信中 ＞＞");
const QString Skipping = QStringLiteral(u"＜＜ ｽﾙｰ ＞＞");
const QString Completed = QStringLiteral(u"送信完了");
const QString Stopped = QStringLiteral(u"送信中止");
const QString Remaining = QStringLiteral(u"残り ");

// Message boxes.
const QString NoData = QStringLiteral(u"送信ﾃﾞｰﾀが有りません｡");
const QString IndexBusy = QStringLiteral(u"ﾌﾟﾛｸﾞﾗﾑ番号抽出中です｡\n再度､送信ﾎﾞﾀﾝを押して下さい｡");
const QString ConfirmStart = QStringLiteral(
    u"NC装置側の準備を行ってください｡\n準備が出来ましたら「はい(Y)」を\n押すと送信が開始します｡");
const QString BreakpointText = QStringLiteral(u"ﾌﾞﾚｰｸﾎﾟｲﾝﾄで一時停止中です\n[はい]で再開します\n");

// Log lines.
const QString LogSend = QStringLiteral(u"  送信\n");
const QString LogComm = QStringLiteral(u"  通信\n");
const QString LogDnc = QStringLiteral(u"  DNC送信\n");
const QString LogAll = QStringLiteral(u"  全ﾃﾞｰﾀを送信\n");
const QString LogSelected = QStringLiteral(u"  ﾌﾟﾛｸﾞﾗﾑ番号選択で送信\n");
const QString LogFileName = QStringLiteral(u"  送信ﾌｧｲﾙ名は");
const QString LogNoSettings = QStringLiteral(u"  通信設定不可で中止\n");
const QString LogBadCode = QStringLiteral(u"  送信ｺｰﾄﾞ設定不良の為中止\n");
const QString LogStart = QStringLiteral(u"  送信開始\n");
const QString LogDncStart = QStringLiteral(u"  DNC送信開始\n");
const QString LogWaitSignal = QStringLiteral(u"  NC機からの開始信号待ち\n");
const QString LogManualStop = QStringLiteral(u"  送信待機中に手動操作にて中止\n");
const QString LogSignalReceived = QStringLiteral(u"  NC機より送信開始信号を受信\n");
const QString LogFeed = QStringLiteral(u"  ﾌｨｰﾄﾞ出力\n");
const QString LogOspName = QStringLiteral(u"  NC機にﾌｧｲﾙ名送信 ﾌｧｲﾙ名=");
const QString LogCompleted = QStringLiteral(u"  送信完了\n");
const QString LogRepeatReady = QStringLiteral(u"  ﾘﾋﾟｰﾄ送信準備完了\n");
const QString LogStopLine = QStringLiteral(u"  送信中止　ｴﾗｰ番号 ");
const QString LogFailed = QStringLiteral(u"  送信中にｴﾗｰが発生した為中止\n");
const QString LogDncFailed = QStringLiteral(u"  DNC送信中にｴﾗｰが発生した為中止\n");

bool isProgramStart(const QByteArray& line) {
    return !line.isEmpty() && (line[0] == 'O' || line[0] == ':' || line[0] == 'L');
}

} // namespace

SendRun::SendRun(TransferSession& session, SendEditor& editor, SendHost& host, TransferState& state)
    : m_session(session), m_log(session.log()), m_editor(editor), m_host(host), m_state(state) {}

// ---------------------------------------------------------------- buttons

void SendRun::SendButtonPressed(int kind, const SendContext& context) {
    if (m_inRun)
        return;
    m_ctx = context;
    if (kind == 2) {
        m_repeatCount = 1;
        m_host.setTransferPanel(6, repeatText(m_repeatCount));
        m_repeat = true;
    } else {
        m_host.setTransferPanel(6, QString());
        m_repeatCount = 0;
        m_repeat = false;
    }
    if (m_host.isLogViewOpen())
        return;
    if (m_editor.isEmpty()) {
        m_host.markIndexNotExtracted();
        m_host.openFile();
        if (m_editor.isEmpty()) {
            showError(NoData);
            return;
        }
    }
    m_host.setTransferMode(false);
    m_editor.setReadOnly(true);
    m_state.receivedPending = false;
    if (m_host.isShiftHeld())
        m_state.exitAfterTransfer = true;

    const QString fileLine = LogFileName + m_ctx.documentPath + '\n';
    if (m_ctx.profile.send.dncSend == 1) {
        if (m_host.isIndexExtractionFinished() || m_ctx.options.autoIndexOff) {
            m_log.start(LogSend);
            m_log.append(LogDnc);
            m_log.append(fileLine);
            m_host.startDncRun();
        } else {
            showError(IndexBusy);
            m_host.setTransferMode(true);
            m_editor.setReadOnly(false);
        }
        return;
    }
    if (!m_ctx.options.selectPrograms) {
        m_log.start(LogSend);
        m_log.append(LogAll);
        m_log.append(fileLine);
        m_excluded.clear();
        RunSend();
        return;
    }
    // Selection: the dialog (not modal) calls SendSelected with its choice.
    QStringList entries;
    const QStringList index = m_host.indexEntries();
    if (!index.isEmpty()) {
        for (const QString& e : index)
            entries << e.mid(6);
    } else {
        for (int i = 0; i + 1 < m_editor.lineCount(); ++i) {
            const QByteArray l = m_editor.line(i);
            if (isProgramStart(l))
                entries << platform::fromSjis(l);
        }
    }
    m_log.start(LogComm);
    m_log.append(LogSelected);
    m_log.append(fileLine);
    m_host.showSelectionDialog(QStringLiteral(u"選択送信"), entries,
                               QStringLiteral(u"ﾁｪｯｸが外れたﾃﾞｰﾀは送信されません"));
}

void SendRun::SendSelected(const QStringList& excludedHeaders) {
    if (m_inRun)
        return;
    m_excluded = excludedHeaders;
    RunSend();
}

void SendRun::StopPressed() {
    m_session.requestStop();
    m_host.setScreenSaverInhibited(false);
    m_host.setCaretUpdatesSuspended(true);
    if (!m_host.isIndexExtractionFinished())
        m_host.stopIndexExtraction();
}

bool SendRun::requestClose() {
    if (!m_inRun)
        return false;
    m_closePending = true;
    StopPressed();
    return true;
}

// ---------------------------------------------------------------- steps

void SendRun::InitSendDisplay() {
    m_host.setScreenSaverInhibited(true);
    m_host.showSendDisplay(true);
    m_session.clearStop();
    m_host.setStatusLabel(QString());
    m_indexBuilding = m_host.isIndexEmpty();
    m_host.setStepButtonEnabled(m_ctx.options.stepSendEnabled);
}

int SendRun::SendSetUp(int d) {
    m_session.setDataPhase(true);
    m_state.transferPath = m_ctx.documentPath;
    m_state.running = true;
    m_host.setEditorContextMenuEnabled(false);
    m_state.errorNumber = 0;
    m_state.counters.remainingSeconds = 0;
    m_host.setTransferPanel(2, Waiting);
    m_panel2 = Waiting;
    if (d == 1) {
        if (m_host.dncSetUp() == 100)
            return 100;
    } else {
        m_host.setTransferPanel(0, QString());
    }
    const SendGroup& s = m_ctx.profile.send;
    QString codeText;
    switch (s.code) {
    case 0:
        m_session.setCodeMode(CodeMode::Iso);
        codeText = QStringLiteral("ISO  ");
        m_log.append(QStringLiteral(u"  送信ｺｰﾄﾞはISOｺｰﾄﾞ\n"));
        break;
    case 1:
        m_session.setCodeMode(CodeMode::Eia);
        codeText = QStringLiteral("EIA  ");
        m_log.append(QStringLiteral(u"  送信ｺｰﾄﾞはEIAｺｰﾄﾞ\n"));
        break;
    case 2:
        m_session.setCodeMode(CodeMode::Raw);
        codeText = QStringLiteral("ASCII");
        m_log.append(QStringLiteral(u"  送信ｺｰﾄﾞはASCIIｺｰﾄﾞ\n"));
        break;
    case 3:
        m_session.setCodeMode(CodeMode::Raw);
        codeText = QStringLiteral(u"任意");
        m_log.append(QStringLiteral(u"  送信ｺｰﾄﾞは任意ｺｰﾄﾞ\n"));
        break;
    default:
        // A code outside the list (a hand-edited Setting.ini) would leave
        // the line without an encoding: nothing is sent.
        m_log.append(LogBadCode);
        return 100;
    }
    static const char* const speeds[] = {": 1200,", ": 2400,", ": 4800,", ": 9600,", ":14400,", ":19200,"};
    const QString speedText = s.speed >= 0 && s.speed <= 5 ? QString::fromLatin1(speeds[s.speed])
                              : s.speed == 6               ? QStringLiteral(u": 機器,")
                                                           : QString();
    const QString stopText = s.stopBits == 0   ? QStringLiteral(" 1")
                             : s.stopBits == 1 ? QStringLiteral(" 2")
                                               : QStringLiteral(" 1.5");
    m_host.setTransferPanel(3, codeText + speedText + stopText);
    m_host.setTransferPanel(4, m_session.settings().port);
    m_host.setTransferPanel(5, s.signal == 0 ? QStringLiteral("Y") : QStringLiteral("N"));
    return 0;
}

int SendRun::WaitStartSignal(int d) {
    if (m_ctx.profile.send.signal != 0) {
        m_session.updateModemLamps();
        m_log.append(d == 1 ? LogDncStart : LogStart);
        m_state.errorNumber = err(1004, d);
        if (!askYesNo(ConfirmStart))
            return 100;
        m_host.setTransferPanel(2, Sending);
        m_panel2 = Sending;
        return 0;
    }
    m_host.setTransferPanel(2, Waiting);
    m_log.append(LogWaitSignal);
    const unsigned char pause = m_session.pauseCharacter();
    for (;;) {
        // Checked on every turn: a machine that keeps talking must not keep
        // the operator from stopping.
        if (m_session.isStopRequested()) {
            m_log.append(LogManualStop);
            m_state.errorNumber = err(1033, d);
            return 100;
        }
        if (m_session.queuedInput() <= 0) {
            m_session.pumpEvents();
            m_session.waitForInput(50);
            continue;
        }
        const unsigned char c = m_session.readChar();
        m_session.pumpEvents();
        if (c == nc::Dc1 || c == '%' || c == nc::Enq) {
            m_host.setTransferPanel(2, Sending);
            m_panel2 = Sending;
            m_log.append(LogSignalReceived);
            m_log.append(d == 1 ? LogDncStart : LogStart);
            return 0;
        }
        if (!m_ctx.options.ignoreMachineStop) {
            m_state.errorNumber = err(1003, d);
            // The pause character counts as DC3 too: with the 0x93 option a
            // machine's DC3 arrives as 0x93.
            if (c == nc::Dc3 || c == pause || c == nc::Dc4 || c == nc::Can)
                return 100;
        }
        m_session.updateModemLamps();
    }
}

int SendRun::SendStartCodes(int d) {
    const SendGroup& s = m_ctx.profile.send;
    if (s.code != 1 && !m_ctx.options.noLeadingLf) {
        m_state.errorNumber = err(1009, d);
        if (write(nc::Lf))
            return 100;
    }
    m_state.errorNumber = err(1010, d);
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
        failed = writeGroup(QByteArray(200, ' '));
        break;
    case 5:
        wait(1000);
        break;
    case 6:
        failed = writeGroup(QByteArray(200, ' ')) || writeGroup("%");
        break;
    case 7:
        wait(1000);
        failed = writeGroup("%");
        break;
    default:
        break;
    }
    if (failed)
        return 100;
    if (s.startChar == 4 || s.startChar == 5) {
        m_state.errorNumber = err(1012, d);
        if (writeGroup(endOfBlock(s.crlfType)))
            return 100;
    }
    return 0;
}

int SendRun::SendEndCodes(int d) {
    const SendGroup& s = m_ctx.profile.send;
    const QByteArray eob = endOfBlock(s.crlfType);
    const auto step = [&](int number, const QByteArray& bytes) {
        m_state.errorNumber = err(number, d);
        return writeGroup(bytes);
    };
    bool failed = false;
    switch (s.endChar) {
    case 0:
        failed = step(1013, eob) || step(1015, "%");
        break;
    case 1:
        if (isPunch())
            failed = step(1017, eob) || step(1021, "%");
        else
            failed = step(1022, QByteArray(1, char(nc::Dc4)));
        break;
    case 2:
        failed = step(1023, eob) || step(1024, "%%");
        break;
    case 3:
        failed = step(1015, "%");
        break;
    case 4:
        failed = step(1024, "%%");
        break;
    default:
        break; // no end code the machine would understand: send none
    }
    return failed ? 100 : 0;
}

void SendRun::AbortSend(int d) {
    if (!m_ctx.options.noLineCheck && !m_session.writeFailed()) {
        m_state.errorNumber = err(1025, d);
        // A line that never opened takes nothing (and logs no write error).
        if (m_session.isOpen())
            write(nc::Dc4);
    }
    m_log.append(LogStopLine + QString::number(m_state.errorNumber) + '\n');
    if (!m_log.isEmpty())
        m_log.write(d == 1 ? TransferLog::Dnc : TransferLog::Send);
    if (d == 0)
        m_host.setProgress(0);
    restoreModifiedMark();
    m_host.setTimer2(false);
    m_session.closeLine();
    m_host.setTransferPanel(2, Stopped);
    m_host.setTransferPanel(1, QString());
    m_state.success = false;
    m_host.startTimer1();
}

void SendRun::FailSend(int d) {
    restoreModifiedMark();
    m_host.setEditPanel(1, QString());
    m_log.append(d == 1 ? LogDncFailed : LogFailed);
    if (!m_log.isEmpty())
        m_log.write(d == 1 ? TransferLog::Dnc : TransferLog::Send);
    if (d == 0)
        m_host.setProgress(0);
    m_host.setTimer2(false);
    m_session.closeLine();
    m_host.setTransferPanel(2, Stopped);
    m_host.setTransferPanel(1, QString());
    m_state.success = false;
    m_host.startTimer1();
}

// ---------------------------------------------------------------- the run

int32_t SendRun::totalCount() const {
    const int n = m_editor.lineCount();
    int64_t chars = 0;
    for (int i = 0; i < n; ++i)
        chars += m_editor.line(i).size();
    chars += 2 * int64_t(std::max(n - 1, 0));
    return int32_t(std::min<int64_t>(chars - 1, INT32_MAX));
}

void SendRun::RunSend() {
    if (m_inRun)
        return;
    m_inRun = true;
    // The run does not change the document: whatever the modified mark said
    // before Send was pressed, it says afterwards, so unsaved edits keep
    // their close question.
    m_wasModified = m_editor.isModified();
    m_state.dataSent = false;
    m_filter.sendMsg = platform::toSjis(m_ctx.profile.send.sendMsg);
    m_filter.dropSequenceNumbers = m_ctx.profile.send.nNon == "Y";
    m_filter.dropFeedPoint = m_ctx.profile.send.fNon == "Y";
    m_filter.sendAfterComment = m_ctx.options.sendAfterComment;
    for (;;) {
        Pass result;
        try {
            result = runPass();
        } catch (...) {
            FailSend(0);
            result = Pass::Failed;
        }
        if (result != Pass::Completed)
            break;
        if (m_repeat && !m_session.isStopRequested() && !m_closePending) {
            m_editor.caretToStart();
            m_editor.selectLine(0, m_editor.lineCount() > 0 ? int(m_editor.line(0).size()) : 0);
            m_host.setEditPanel(5, QString());
            m_log.append(LogRepeatReady);
            wait(3000);
            if (!m_session.isStopRequested() && !m_closePending) {
                ++m_repeatCount;
                m_host.setTransferPanel(6, repeatText(m_repeatCount));
                continue;
            }
        }
        // Normal end (or a repeat stopped between passes: that pass was
        // complete, so it ends as a completed send).
        if (!m_log.isEmpty())
            m_log.write(TransferLog::Send);
        if (m_state.exitAfterTransfer) {
            m_closePending = false;
            m_host.closeMainWindow();
            if (m_ctx.options.powerOff)
                m_host.powerOff();
        }
        m_state.success = true;
        m_host.startTimer1();
        break;
    }
    endRun();
}

void SendRun::endRun() {
    m_inRun = false;
    if (m_closePending) {
        m_closePending = false;
        m_host.closeMainWindow();
    }
}

SendRun::Pass SendRun::runPass() {
    const SendGroup& s = m_ctx.profile.send;
    m_session.setWriteFailed(false);
    m_stepPending = false;
    InitSendDisplay();
    m_state.kind = 1;
    if (!m_session.openLine(SendKind, m_ctx.profile, m_ctx.lineOptions)) {
        m_state.errorNumber = 1020;
        m_log.append(LogNoSettings);
        AbortSend(0);
        return Pass::Stopped;
    }
    if (SendSetUp(0) == 100) {
        AbortSend(0);
        return Pass::Stopped;
    }
    const int32_t total = totalCount();
    m_state.counters.totalCount = total;
    m_host.setTransferPanel(1, Remaining + amountText(total, m_ctx.options.metres));
    m_session.pumpEvents();

    m_state.counters.lastSampleCount = 0;
    if (WaitStartSignal(0) == 100) {
        AbortSend(0);
        return Pass::Stopped;
    }
    if (isPunch() && s.feed > 0) {
        if (feedStopped(1005))
            return Pass::Stopped;
        m_log.append(LogFeed);
    }
    m_state.counters.sentCount = 0;
    m_state.dataSent = true;
    m_host.setProgressRange(total);
    m_host.setProgress(0);
    m_host.setTimer2(true);

    const bool osp = m_ctx.profileNumber == 11 || m_ctx.profileNumber == 12;
    if (osp ? sendOspHeader() : SendStartCodes(0) == 100) {
        AbortSend(0);
        return Pass::Stopped;
    }
    if (sendLineLoop())
        return Pass::Stopped;

    m_host.setTimer2(false);
    m_host.setTransferPanel(1, Remaining + amountText(0, m_ctx.options.metres));
    if (SendEndCodes(0) == 100) {
        AbortSend(0);
        return Pass::Stopped;
    }
    if (isPunch() && s.feed > 0 && feedStopped(1018))
        return Pass::Stopped;
    if (isPunch() && m_ctx.options.punchCompletion) {
        wait(4000);
        m_state.errorNumber = 1019;
        if (write(nc::Dc4)) {
            AbortSend(0);
            return Pass::Stopped;
        }
    }
    restoreModifiedMark();
    wait(4000);
    m_session.closeLine();
    m_host.setTransferPanel(2, Completed);
    m_host.setTransferPanel(1, QString());
    m_host.setProgress(0);
    m_log.append(LogCompleted);
    return Pass::Completed;
}

bool SendRun::sendOspHeader() {
    const SendGroup& s = m_ctx.profile.send;
    const QString name = ospHeaderName(m_ctx.documentPath);
    m_log.append(LogOspName + name + '\n');
    m_state.errorNumber = 1006;
    if (write('$'))
        return true;
    m_host.setStatusLabel(QStringLiteral(u"NC機にﾌｧｲﾙ名送信 ﾌｧｲﾙ名 => ") + name);
    m_state.errorNumber = 1007;
    const QByteArray bytes = platform::toSjis(name);
    for (char c : bytes) {
        if (write(static_cast<unsigned char>(c)))
            return true;
        if (s.invTime > 0 && m_session.waitMs(s.invTime, true))
            return true;
    }
    m_state.errorNumber = 1008;
    if (writeGroup(endOfBlock(s.crlfType)))
        return true;
    wait(5);
    return false;
}

bool SendRun::sendLineLoop() {
    const SendGroup& s = m_ctx.profile.send;
    m_editor.caretToStart();
    m_editor.selectLine(0, m_editor.lineCount() > 0 ? int(m_editor.line(0).size()) : 0);
    m_editor.setFocus();
    m_state.startLine = QStringLiteral(u"開始 ") + m_log.stamp() + '\n';
    const QByteArray eob = endOfBlock(s.crlfType);
    // Every line is sent, up to the empty line after a final line break.
    // (Counting characters against the total alone would drop a last line
    // of one character: the total is one short of the text.)
    int lines = m_editor.lineCount();
    if (lines > 0 && m_editor.line(lines - 1).isEmpty())
        --lines;
    bool skipProgram = false;
    int lineNo = 1;
    while (lineNo <= lines) {
        if (lineNo == m_editor.breakpointLine())
            m_host.showBreakpoint(BreakpointText);
        const QByteArray line = m_editor.line(lineNo - 1);
        const bool loneLf = line == "\n";
        const int allowance = loneLf ? 0 : 2;
        const int trim = loneLf ? 1 : 0;
        m_editor.selectLine(lineNo - 1, int(line.size()) - trim);

        const bool start = isProgramStart(line);
        if (start) {
            if (isPunch() && s.feed > 0) {
                m_state.errorNumber = 1011;
                if (writeFeed()) {
                    AbortSend(0);
                    return true;
                }
            }
            const QString text = platform::fromSjis(line);
            m_host.setStatusLabel(QStringLiteral(u"送信中のﾌﾟﾛｸﾞﾗﾑ番号 => ") + text);
            if (m_indexBuilding)
                m_host.addIndexEntry(QString::number(lineNo).rightJustified(5, '0') + ':' + text);
        }
        if (!m_ctx.options.selectPrograms)
            skipProgram = false;
        else if (start)
            skipProgram = m_excluded.contains(platform::fromSjis(line));

        bool percentOnly = false;
        if (skipProgram) {
            if (m_panel2 != Skipping)
                m_host.setTransferPanel(2, m_panel2 = Skipping);
        } else {
            if (m_panel2 != Sending)
                m_host.setTransferPanel(2, m_panel2 = Sending);
            const FilteredLine out = filterLine(line, trim, m_filter);
            percentOnly = out.percentOnly;
            if (!percentOnly) {
                for (char ch : out.chars) {
                    m_state.errorNumber = 1014;
                    if (write(static_cast<unsigned char>(ch)) || m_session.isStopRequested()) {
                        AbortSend(0);
                        return true;
                    }
                    if (s.invTime > 0) {
                        m_session.waitMs(s.invTime, true);
                        // A stop pressed during the pause: not one more
                        // character of the program.
                        if (m_session.isStopRequested()) {
                            AbortSend(0);
                            return true;
                        }
                    }
                }
                m_state.errorNumber = 1016;
                if (writeGroup(eob)) {
                    AbortSend(0);
                    return true;
                }
            }
        }
        if (!percentOnly) {
            m_session.pumpEvents();
            if (m_ctx.options.stepSendEnabled && stepWait())
                return true;
        }
        m_state.counters.sentCount += int32_t(line.size()) + allowance;
        if (endsProgramOrSubprogram(line))
            wait(5);
        progressText();
        m_host.setProgress(m_state.counters.sentCount);
        ++lineNo;
    }
    return false;
}

bool SendRun::stepWait() {
    m_state.stepFlag = true;
    for (;;) {
        m_session.pumpEvents();
        if (m_stepPending || m_host.takeStepEvent()) {
            m_stepPending = false;
            return false;
        }
        m_state.errorNumber = 1032;
        if (m_session.isStopRequested()) {
            AbortSend(0);
            return true;
        }
        m_session.waitMs(10, false);
    }
}

void SendRun::progressText() {
    const int32_t total = m_state.counters.totalCount;
    const int32_t sent = m_state.counters.sentCount;
    m_host.setTransferPanel(1, Remaining + amountText(int64_t(total) - sent + 1, m_ctx.options.metres) +
                                   timeText(m_state.counters.remainingSeconds));
}

// ---------------------------------------------------------------- helpers

bool SendRun::write(unsigned char c) {
    return m_session.writeChar(c);
}

bool SendRun::writeGroup(const QByteArray& bytes) {
    for (char c : bytes)
        if (write(static_cast<unsigned char>(c)))
            return true;
    return false;
}

// The tape punch's leader or trailer; a failed write ends the pass.
bool SendRun::feedStopped(int errorNumber) {
    m_state.errorNumber = errorNumber;
    if (!writeFeed())
        return false;
    AbortSend(0);
    return true;
}

bool SendRun::writeFeed() {
    const int feed = std::clamp(m_ctx.profile.send.feed, 0, 3);
    return writeGroup(QByteArray(feed * 20, ' '));
}

void SendRun::wait(int ms) {
    m_session.waitMs(ms, false);
}

void SendRun::showError(const QString& text) {
    m_session.host().showMessage(LineHost::Kind::Error, text, LineHost::Buttons::Ok);
}

bool SendRun::askYesNo(const QString& text) {
    return m_session.host().showMessage(LineHost::Kind::Warning, text, LineHost::Buttons::YesNo) ==
           LineHost::Answer::Yes;
}

void SendRun::restoreModifiedMark() {
    m_editor.setModified(m_wasModified);
    m_host.refreshCaption();
    if (!m_wasModified)
        m_host.setEditPanel(4, QString());
}

} // namespace tornyx
