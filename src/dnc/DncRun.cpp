#include "dnc/DncRun.h"

#include "platform/TextCodec.h"

#include <QLocale>
#include <QTime>

namespace tornyx {

namespace {

const QString ModeText = QStringLiteral(u"<< DNC運転ﾓｰﾄﾞ >>");
const QString LevelText = QStringLiteral(u"<< DNC運転ﾓｰﾄﾞ >> ﾚﾍﾞﾙ");
const QString ProgramText = QStringLiteral(u"送信中のﾌﾟﾛｸﾞﾗﾑ番号 => ");
const QString Sending = QStringLiteral(u"＜＜ 送信中 ＞＞");
const QString Completed = QStringLiteral(u"送信完了");
const QString ElapsedText = QStringLiteral(u"経過時間 ");
const QString BreakpointText = QStringLiteral(u"ﾌﾞﾚｰｸﾎﾟｲﾝﾄで一時停止中です\n[はい]で再開します\n");

const QString JumpCaption = QStringLiteral(u"飛び先検索");
const QString ProgramCaption = QStringLiteral(u"ﾌﾟﾛｸﾞﾗﾑ検索");
const QString M99Box = QStringLiteral(u"M99 P... は検索出来ません｡");
const QString MacroBox = QStringLiteral(u"ﾏｸﾛ変数は検索出来ません｡");
const QString MissingBox = QStringLiteral(u"ﾌﾟﾛｸﾞﾗﾑが見当たりません?\n送信を中止します｡");
const QString NoTargetBox = QStringLiteral(u"飛び先が見当たりません?\n送信を中止します｡");

const QString LogNoSettings = QStringLiteral(u"  通信設定不可で中止\n");
const QString LogMacro = QStringLiteral(u"  ﾏｸﾛ変数は検索出来ません\n");
const QString LogMissing = QStringLiteral(u"  ﾌﾟﾛｸﾞﾗﾑが見当たりません\n");
const QString LogNoTarget = QStringLiteral(u"  飛び先が見当たりません\n");
const QString LogTooDeep = QStringLiteral(u"  ｻﾌﾞﾌﾟﾛｸﾞﾗﾑ呼出のﾈｽﾄが深すぎる為中止\n");
const QString LogNoStart = QStringLiteral(u"  ｽﾀｰﾄﾌﾟﾛｸﾞﾗﾑが見当たりません\n");
const QString LogElapsed = QStringLiteral(u"  経過時間 ");
const QString LogCompleted = QStringLiteral(u"  DNC送信完了\n");
const QString LogRepeatReady = QStringLiteral(u"  ﾘﾋﾟｰﾄDNC送信準備完了\n");

// Error numbers of the run's stages.
constexpr int ErrConfirmed = 3001;
constexpr int ErrCancelled = 3002;
constexpr int ErrCallSearch = 3026;
constexpr int ErrGotoSearch = 3027;
constexpr int ErrLineChar = 3028;
constexpr int ErrWordsChar = 3029;
constexpr int ErrEndOfLine = 3030;
constexpr int ErrNoLine = 3031;
constexpr int ErrStepWait = 3032;

} // namespace

DncRun::DncRun(SendRun& send, TransferSession& session, SendEditor& editor, SendHost& host, DncHost& dncHost,
               TransferState& state)
    : m_send(send), m_session(session), m_editor(editor), m_host(host), m_dncHost(dncHost), m_state(state) {}

// ---------------------------------------------------------------- set-up

int DncRun::dncSetUp() {
    if (!m_firstPass)
        return 0; // the start line chosen on the first pass is kept
    m_startLine = 0;
    const DncHost::SetUp answer = m_dncHost.showDncForm();
    if (!answer.confirmed) {
        m_state.errorNumber = ErrCancelled;
        return 100;
    }
    m_state.errorNumber = ErrConfirmed;
    if (answer.startLine <= 0)
        return 100;
    // A program deleted after the list was built: nothing to start from.
    if (answer.startLine > lastLine()) {
        m_session.log().append(LogNoStart);
        return 100;
    }
    m_startLine = answer.startLine;
    const QByteArray line = lineAt(m_startLine - 1);
    m_label = ProgramText + platform::fromSjis(line);
    m_host.setStatusLabel(m_label);
    m_editor.selectLine(m_startLine - 1, int(line.size()));
    m_editor.setFocus();
    m_editor.setReadOnly(true);
    return 0;
}

// ---------------------------------------------------------------- the run

void DncRun::RunDnc(const DncOptions& options) {
    if (m_inRun)
        return;
    m_inRun = true;
    m_options = options;
    const SendContext& ctx = m_send.context();
    m_wasModified = m_editor.isModified();
    m_state.dataSent = false;
    m_filter.sendMsg = platform::toSjis(ctx.profile.send.sendMsg);
    m_filter.dropSequenceNumbers = ctx.profile.send.nNon == "Y";
    m_filter.dropFeedPoint = ctx.profile.send.fNon == "Y";
    m_filter.sendAfterComment = ctx.options.sendAfterComment;
    m_eob = endOfBlock(ctx.profile.send.crlfType);
    m_firstPass = true;
    m_pass = m_send.repeatCount();
    const bool repeat = m_pass > 0;
    for (;;) {
        Pass result = Pass::Stopped;
        try {
            result = runPass();
        } catch (...) {
            // O12A met by the search, or anything else unforeseen: the run
            // ends through its own path rather than jumping somewhere.
            m_send.FailSend(1);
            restoreModifiedMark();
        }
        m_firstPass = false;
        if (result != Pass::Completed)
            break;
        if (repeat && !m_session.isStopRequested()) {
            m_editor.selectLine(m_startLine - 1, int(lineAt(m_startLine - 1).size()));
            m_host.setEditPanel(5, QString());
            m_session.log().append(LogRepeatReady);
            m_session.waitMs(3000, false);
            if (!m_session.isStopRequested()) {
                ++m_pass;
                m_host.setTransferPanel(6, repeatText(m_pass));
                continue;
            }
        }
        if (!m_session.log().isEmpty())
            m_session.log().write(TransferLog::Dnc);
        if (m_state.exitAfterTransfer) {
            m_host.closeMainWindow();
            if (ctx.options.powerOff)
                m_host.powerOff();
        }
        m_state.success = true;
        m_host.startTimer1();
        break;
    }
    m_inRun = false;
}

DncRun::Pass DncRun::runPass() {
    const SendContext& ctx = m_send.context();
    m_session.setWriteFailed(false);
    m_send.InitSendDisplay();
    m_words.clear();
    m_state.kind = 1;
    // A list that was empty is filled by the run, and until it is complete
    // the search must not take it for the whole text.
    m_listFill = m_host.isIndexEmpty();
    if (!m_session.openLine(SendKind, ctx.profile, ctx.lineOptions)) {
        m_state.errorNumber = ErrNoLine;
        m_session.log().append(LogNoSettings);
        abort();
        return Pass::Stopped;
    }
    if (m_send.SendSetUp(1) == 100) {
        abort();
        return Pass::Stopped;
    }
    m_host.setTransferPanel(1, ModeText);
    if (m_send.WaitStartSignal(1) == 100 || m_send.SendStartCodes(1) == 100) {
        abort();
        return Pass::Stopped;
    }
    m_host.setTimer2(false);
    m_startUs = m_session.clock().nowUs();
    m_state.dataSent = true;
    m_panel2.clear();

    m_current = m_startLine;
    m_level = 0;
    m_count.fill(1);
    showLevel(false);
    m_state.startLine = QStringLiteral(u"開始 ") + m_session.log().stamp() + '\n';
    if (lineLoop())
        return Pass::Stopped;
    return complete() ? Pass::Stopped : Pass::Completed;
}

int DncRun::lastLine() const {
    // Up to the empty line after a final line break, as the send run.
    int lines = m_editor.lineCount();
    if (lines > 0 && m_editor.line(lines - 1).isEmpty())
        --lines;
    return lines;
}

bool DncRun::lineLoop() {
    const int lines = lastLine();
    while (m_current >= 1 && m_current <= lines) {
        const int index = m_current - 1;
        if (m_current == m_editor.breakpointLine())
            m_host.showBreakpoint(BreakpointText);
        const QByteArray line = lineAt(index);
        const bool loneLf = line == "\n";
        m_editor.selectLine(index, int(line.size()) - (loneLf ? 1 : 0));

        if (dnc::isProgramNumberLine(line)) {
            m_label = ProgramText + platform::fromSjis(line);
            m_host.setStatusLabel(m_label);
            if (m_listFill)
                m_host.addIndexEntry(QString::number(m_current).rightJustified(5, '0') + ':' +
                                     platform::fromSjis(line));
        }

        const dnc::CallKind kind = dnc::callKind(line);
        if (kind != dnc::CallKind::None) {
            m_words = dnc::callWords(line, kind, m_words);
            m_state.errorNumber = ErrCallSearch;
            if (m_level + 1 >= Levels) {
                m_session.log().append(LogTooDeep);
                abort();
                return true;
            }
            m_returnLine[m_level] = m_current + 1;
            m_savedLabel[m_level] = m_label;
            ++m_level;
            m_count[m_level] = dnc::repeatCount(m_words);
            showLevel(m_words.contains('L'));
            const int found = callSearch(index, true);
            if (found < 0) {
                abort();
                return true;
            }
            m_levelStart[m_level] = found + 2;
            m_current = found + 2;
            m_label = ProgramText + platform::fromSjis(lineAt(found));
            m_host.setStatusLabel(m_label);
            continue;
        }
        if (line.contains("GOTO")) {
            m_state.errorNumber = ErrGotoSearch;
            int found = -1;
            if (line.contains('P')) {
                found = callSearch(index, true);
            } else {
                const dnc::GotoResult g = dnc::findGoto(index, lines, [this](int i) { return lineAt(i); });
                switch (g.status) {
                case dnc::GotoResult::Found:
                    found = g.index;
                    break;
                case dnc::GotoResult::Macro:
                    m_session.log().append(LogMacro);
                    warn(MacroBox, JumpCaption);
                    break;
                case dnc::GotoResult::EndOfText:
                    m_session.log().append(LogNoTarget);
                    warn(NoTargetBox, JumpCaption);
                    break;
                case dnc::GotoResult::NextProgram:
                    break;
                }
            }
            if (found < 0) {
                abort();
                return true;
            }
            m_current = found + 1;
            continue;
        }
        if (line.contains("M99")) {
            if (--m_count[m_level] > 0) {
                m_current = m_levelStart[m_level];
                showLevel(true);
                continue;
            }
            if (m_level == 0)
                return false;
            --m_level;
            m_current = m_returnLine[m_level];
            m_label = m_savedLabel[m_level];
            m_host.setStatusLabel(m_label);
            showLevel(false);
            continue;
        }
        if (m_options.endReturnsAboveLevel0 && m_level > 0 && dnc::returnsAboveLevel0(line)) {
            --m_level;
            m_current = m_returnLine[m_level];
            m_label = m_savedLabel[m_level];
            m_host.setStatusLabel(m_label);
            showLevel(false);
            continue;
        }

        if (transmit(line, loneLf))
            return true;
        if (dnc::isEndLine(line))
            return false;
        ++m_current;
        m_host.setTransferPanel(0, ElapsedText + elapsed());
    }
    return false;
}

bool DncRun::transmit(const QByteArray& line, bool loneLf) {
    if (m_panel2 != Sending)
        m_host.setTransferPanel(2, m_panel2 = Sending);
    const FilteredLine out = filterLine(line, loneLf ? 1 : 0, m_filter);
    if (out.percentOnly)
        return false;
    m_state.errorNumber = ErrLineChar;
    for (char c : out.chars)
        if (write(static_cast<unsigned char>(c)))
            return true;
    m_state.errorNumber = ErrWordsChar;
    for (char c : std::as_const(m_words))
        if (write(static_cast<unsigned char>(c)))
            return true;
    m_words.clear();
    m_state.errorNumber = ErrEndOfLine;
    if (writeGroup(m_eob))
        return true;
    m_session.pumpEvents();
    if (m_send.context().options.stepSendEnabled && stepWait())
        return true;
    return false;
}

bool DncRun::complete() {
    m_host.setTimer2(false);
    m_host.setTransferPanel(1, QString());
    if (m_send.SendEndCodes(1) == 100) {
        abort();
        return true;
    }
    // The run does not change the document: unsaved edits keep their mark
    // (and their question when the window closes).
    restoreModifiedMark();
    m_session.waitMs(4000, false);
    m_session.closeLine();
    m_host.setTransferPanel(2, Completed);
    m_session.log().append(LogElapsed + elapsed() + '\n');
    m_session.log().append(LogCompleted);
    return false;
}

void DncRun::abort() {
    m_send.AbortSend(1);
    restoreModifiedMark();
}

int DncRun::callSearch(int lineIndex, bool showMessages) {
    const QByteArray line = lineAt(lineIndex);
    QStringList list;
    const bool useList = !m_listFill && !m_host.isIndexEmpty();
    if (useList)
        list = m_host.indexEntries();
    const dnc::SearchResult r =
        dnc::findCall(line, useList ? &list : nullptr, lastLine(), [this](int i) { return lineAt(i); });
    switch (r.status) {
    case dnc::SearchResult::Found:
        m_words = dnc::cleanCallWords(m_words, r.target);
        return r.index;
    case dnc::SearchResult::M99Call:
        warn(M99Box, JumpCaption, LineHost::Kind::Information);
        return -1;
    case dnc::SearchResult::Macro:
        m_session.log().append(LogMacro);
        if (showMessages)
            warn(MacroBox, JumpCaption);
        return -1;
    case dnc::SearchResult::Missing:
    case dnc::SearchResult::BadIndex:
        m_session.log().append(LogMissing);
        if (showMessages)
            warn(MissingBox, ProgramCaption);
        return -1;
    }
    return -1;
}

// ---------------------------------------------------------------- helpers

bool DncRun::write(unsigned char c) {
    if (m_session.writeChar(c) || m_session.isStopRequested()) {
        abort();
        return true;
    }
    const int inv = m_send.context().profile.send.invTime;
    if (inv > 0) {
        m_session.waitMs(inv, false);
        // A stop pressed during the pause: not one more character.
        if (m_session.isStopRequested()) {
            abort();
            return true;
        }
    }
    return false;
}

bool DncRun::writeGroup(const QByteArray& bytes) {
    for (char c : bytes) {
        if (m_session.writeChar(static_cast<unsigned char>(c))) {
            abort();
            return true;
        }
    }
    return false;
}

bool DncRun::stepWait() {
    m_state.stepFlag = true;
    for (;;) {
        m_session.pumpEvents();
        if (m_host.takeStepEvent())
            return false;
        m_state.errorNumber = ErrStepWait;
        if (m_session.isStopRequested()) {
            abort();
            return true;
        }
        m_session.waitMs(10, false);
    }
}

void DncRun::showLevel(bool withCount) {
    QString text = LevelText + QString::number(m_level);
    if (withCount)
        text += QStringLiteral("[L=") + QString::number(m_count[m_level]) + ']';
    m_host.setTransferPanel(1, text);
}

QString DncRun::elapsed() const {
    const std::int64_t ms = (m_session.clock().nowUs() - m_startUs) / 1000;
    return QTime(0, 0).addMSecs(int(ms % 86400000)).toString(TransferLog::longTimeFormat(QLocale::system()));
}

bool DncRun::warn(const QString& text, const QString& caption, LineHost::Kind kind) {
    m_session.host().showMessage(kind, text, LineHost::Buttons::Ok, caption);
    return true;
}

void DncRun::restoreModifiedMark() {
    m_editor.setModified(m_wasModified);
    m_host.refreshCaption();
    if (!m_wasModified)
        m_host.setEditPanel(4, QString());
}

} // namespace tornyx
