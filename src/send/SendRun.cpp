#include "send/SendRun.h"

#include "editor/ProgramIndex.h"
#include "platform/TextCodec.h"
#include "serial/TransferSession.h"

#include <algorithm>

namespace tornyx {

namespace {

using namespace sendtext;

const QString Skipping = QStringLiteral(u"＜＜ ｽﾙｰ ＞＞");
const QString Remaining = QStringLiteral(u"残り ");

const QString LogFeed = QStringLiteral(u"  ﾌｨｰﾄﾞ出力\n");
const QString LogOspName = QStringLiteral(u"  NC機にﾌｧｲﾙ名送信 ﾌｧｲﾙ名=");
const QString LogCompleted = QStringLiteral(u"  送信完了\n");

// Stages of the send run.
constexpr int ErrLeader = 1005;
constexpr int ErrOspDollar = 1006;
constexpr int ErrOspName = 1007;
constexpr int ErrOspEndOfBlock = 1008;
constexpr int ErrProgramFeed = 1011;
constexpr int ErrDataChar = 1014;
constexpr int ErrDataEndOfBlock = 1016;
constexpr int ErrTrailer = 1018;
constexpr int ErrPunchCompletion = 1019;
constexpr int ErrNoLine = 1020;

bool isProgramStart(const QByteArray& line) {
    return !line.isEmpty() && (line[0] == 'O' || line[0] == ':' || line[0] == 'L');
}

} // namespace

SendRun::SendRun(TransferSession& session, RunEditor& editor, RunDisplay& display, ProgramIndex& programs,
                 TransferState& state)
    : m_session(session), m_editor(editor), m_display(display), m_programs(programs), m_state(state),
      m_steps(session, editor, display, state, RunKind::Send) {}

int32_t SendRun::totalCount() const {
    const int n = m_editor.lineCount();
    int64_t chars = 0;
    for (int i = 0; i < n; ++i)
        chars += m_editor.line(i).size();
    chars += 2 * int64_t(std::max(n - 1, 0));
    return int32_t(std::min<int64_t>(chars - 1, INT32_MAX));
}

RunOutcome SendRun::run(const Request& request) {
    m_inRun = true;
    m_excluded = request.excludedPrograms;
    m_startLine = std::max(1, request.startLine);
    m_head = request.head;
    m_steps.beginRun(request.context);
    // A restart is the first pass only: the passes of a repeat after it send
    // the whole text.
    const RunOutcome outcome = m_steps.runPasses(
        [this] {
            const bool completed = runPass() == Pass::Completed;
            m_startLine = 1;
            m_head = {};
            return completed;
        },
        request.repeat, 1, [] { return 1; });
    m_inRun = false;
    return outcome;
}

SendRun::Pass SendRun::runPass() {
    const SendContext& ctx = m_steps.context();
    const SendGroup& s = ctx.profile.send;
    m_session.setWriteFailed(false);
    m_steps.initDisplay();
    // A restart passes only the lines from its block on: the list it would
    // build would miss the programs above.
    m_indexBuilding = m_programs.entries().isEmpty() && m_startLine == 1;
    m_state.kind = TransferKind::Send;
    if (!m_session.openLine(SendKind, ctx.profile, ctx.lineOptions)) {
        m_state.errorNumber = ErrNoLine;
        m_steps.logAppend(LogNoSettings);
        m_steps.abort();
        return Pass::Stopped;
    }
    m_steps.beginSetUp();
    m_display.setTransferPanel(TransferPanel::Progress, QString());
    if (m_steps.finishSetUp() == Step::Stop) {
        m_steps.abort();
        return Pass::Stopped;
    }
    const int32_t total = totalCount();
    m_state.counters.totalCount = total;
    m_display.setTransferPanel(TransferPanel::Detail, Remaining + amountText(total, ctx.options.metres));
    m_session.pumpEvents();

    m_state.counters.lastSampleCount = 0;
    if (m_steps.waitStartSignal() == Step::Stop) {
        m_steps.abort();
        return Pass::Stopped;
    }
    if (m_steps.isPunch() && s.feed > 0) {
        if (feedStopped(ErrLeader))
            return Pass::Stopped;
        m_steps.logAppend(LogFeed);
    }
    m_state.counters.sentCount = 0;
    m_state.dataSent = true;
    m_display.setProgressRange(0, std::max(total, 0));
    m_display.setProgress(0);
    m_state.estimating = true;

    const bool stopped =
        isOspProfile(ctx.profileNumber) ? sendOspHeader() : m_steps.sendStartCodes() == Step::Stop;
    if (stopped) {
        m_steps.abort();
        return Pass::Stopped;
    }
    if (m_steps.sendRestartHead(m_head, ErrDataChar, ErrDataEndOfBlock) == Step::Stop)
        return Pass::Stopped;
    if (sendLines(m_startLine) == Pass::Stopped)
        return Pass::Stopped;

    m_state.estimating = false;
    m_display.setTransferPanel(TransferPanel::Detail, Remaining + amountText(0, ctx.options.metres));
    if (m_steps.sendEndCodes() == Step::Stop) {
        m_steps.abort();
        return Pass::Stopped;
    }
    if (m_steps.isPunch() && s.feed > 0 && feedStopped(ErrTrailer))
        return Pass::Stopped;
    if (m_steps.isPunch() && ctx.options.punchCompletion) {
        m_steps.wait(4000);
        m_state.errorNumber = ErrPunchCompletion;
        if (m_steps.write(nc::Dc4)) {
            m_steps.abort();
            return Pass::Stopped;
        }
    }
    m_steps.closeCompleted();
    m_display.setTransferPanel(TransferPanel::Detail, QString());
    m_display.setProgress(0);
    m_steps.logAppend(LogCompleted);
    return Pass::Completed;
}

// true when the run must stop (the caller aborts).
bool SendRun::sendOspHeader() {
    const SendGroup& s = m_steps.context().profile.send;
    const QString name = ospHeaderName(m_steps.context().documentPath);
    m_steps.logAppend(LogOspName + name + '\n');
    m_state.errorNumber = ErrOspDollar;
    if (m_steps.write('$'))
        return true;
    m_display.setProgramLabel(QStringLiteral(u"NC機にﾌｧｲﾙ名送信 ﾌｧｲﾙ名 => ") + name);
    m_state.errorNumber = ErrOspName;
    const QByteArray bytes = platform::toSjis(name);
    for (char c : bytes) {
        if (m_steps.write(static_cast<unsigned char>(c)))
            return true;
        if (s.invTime > 0 && m_session.waitMs(s.invTime, true))
            return true;
    }
    m_state.errorNumber = ErrOspEndOfBlock;
    if (m_steps.writeGroup(endOfBlock(s.crlfType)))
        return true;
    m_steps.wait(5);
    return false;
}

SendRun::Pass SendRun::sendLines(int firstLine) {
    const SendContext& ctx = m_steps.context();
    const SendGroup& s = ctx.profile.send;
    m_editor.caretToStart();
    m_editor.selectLine(firstLine - 1,
                        m_editor.lineCount() >= firstLine ? int(m_editor.line(firstLine - 1).size()) : 0);
    m_editor.focus();
    m_state.startLine = QStringLiteral(u"開始 ") + m_session.log().stamp() + '\n';
    const QByteArray eob = endOfBlock(s.crlfType);
    // Every line is sent, up to the empty line after a final line break.
    // (Counting characters against the total alone would drop a last line
    // of one character: the total is one short of the text.)
    int lines = m_editor.lineCount();
    if (lines > 0 && m_editor.line(lines - 1).isEmpty())
        --lines;
    const auto stop = [this] {
        m_steps.abort();
        return Pass::Stopped;
    };
    bool skipProgram = false;
    // A restart counts the lines above it as sent, and shows the program it
    // restarts in.
    for (int lineNo = 1; lineNo < firstLine && lineNo <= lines; ++lineNo) {
        const QByteArray line = m_editor.line(lineNo - 1);
        m_state.counters.sentCount += int32_t(line.size()) + (line == "\n" ? 0 : 2);
        if (isProgramStart(line))
            m_display.setProgramLabel(ProgramPrefix + platform::fromSjis(line));
    }
    for (int lineNo = firstLine; lineNo <= lines; ++lineNo) {
        if (lineNo == m_editor.breakpointLine())
            m_steps.showBreakpoint();
        const QByteArray line = m_editor.line(lineNo - 1);
        const bool loneLf = line == "\n";
        const int allowance = loneLf ? 0 : 2;
        const int trim = loneLf ? 1 : 0;
        m_editor.selectLine(lineNo - 1, int(line.size()) - trim);

        const bool start = isProgramStart(line);
        if (start) {
            if (m_steps.isPunch() && s.feed > 0) {
                m_state.errorNumber = ErrProgramFeed;
                if (writeFeed())
                    return stop();
            }
            const QString text = platform::fromSjis(line);
            m_display.setProgramLabel(ProgramPrefix + text);
            if (m_indexBuilding)
                m_programs.addEntry(makeEntry(lineNo, text, u':'));
        }
        if (m_excluded.isEmpty())
            skipProgram = false;
        else if (start)
            skipProgram = m_excluded.excludes(lineNo, platform::fromSjis(line));

        bool percentOnly = false;
        if (skipProgram) {
            m_steps.setState(Skipping);
        } else {
            m_steps.setState(Sending);
            const FilteredLine out = filterLine(line, trim, m_steps.filter());
            percentOnly = out.percentOnly;
            if (!percentOnly) {
                m_state.errorNumber = ErrDataChar;
                for (char ch : out.chars)
                    if (m_steps.writeData(static_cast<unsigned char>(ch)))
                        return stop();
                m_state.errorNumber = ErrDataEndOfBlock;
                if (m_steps.writeGroup(eob))
                    return stop();
            }
        }
        if (!percentOnly) {
            m_session.pumpEvents();
            if (ctx.options.stepSendEnabled && m_steps.stepWait() == Step::Stop)
                return Pass::Stopped;
        }
        m_state.counters.sentCount += int32_t(line.size()) + allowance;
        if (endsProgramOrSubprogram(line))
            m_steps.wait(5);
        progressText();
        m_display.setProgress(m_state.counters.sentCount);
    }
    return Pass::Completed;
}

void SendRun::progressText() {
    const int32_t total = m_state.counters.totalCount;
    const int32_t sent = m_state.counters.sentCount;
    m_display.setTransferPanel(TransferPanel::Detail,
                               Remaining +
                                   amountText(int64_t(total) - sent + 1, m_steps.context().options.metres) +
                                   timeText(m_state.counters.remainingSeconds));
}

// The tape punch's leader or trailer; a failed write ends the pass.
bool SendRun::feedStopped(int errorNumber) {
    m_state.errorNumber = errorNumber;
    if (!writeFeed())
        return false;
    m_steps.abort();
    return true;
}

bool SendRun::writeFeed() {
    const int feed = std::clamp(m_steps.context().profile.send.feed, 0, 3);
    return m_steps.writeGroup(QByteArray(feed * 20, ' '));
}

} // namespace tornyx
