#include "dnc/DncRun.h"

#include "editor/ProgramIndex.h"
#include "platform/TextCodec.h"
#include "serial/TransferSession.h"

#include <QLocale>
#include <QTime>

#include <utility>

namespace tornyx {

namespace {

using namespace sendtext;

const QString ModeText = QStringLiteral(u"<< DNC運転ﾓｰﾄﾞ >>");
const QString LevelText = QStringLiteral(u"<< DNC運転ﾓｰﾄﾞ >> ﾚﾍﾞﾙ");
const QString ElapsedText = QStringLiteral(u"経過時間 ");

const QString JumpCaption = QStringLiteral(u"飛び先検索");
const QString ProgramCaption = QStringLiteral(u"ﾌﾟﾛｸﾞﾗﾑ検索");
const QString M99Box = QStringLiteral(u"M99 P... は検索出来ません｡");
const QString MacroBox = QStringLiteral(u"ﾏｸﾛ変数は検索出来ません｡");
const QString MissingBox = QStringLiteral(u"ﾌﾟﾛｸﾞﾗﾑが見当たりません?\n送信を中止します｡");
const QString NoTargetBox = QStringLiteral(u"飛び先が見当たりません?\n送信を中止します｡");

const QString LogMacro = QStringLiteral(u"  ﾏｸﾛ変数は検索出来ません\n");
const QString LogMissing = QStringLiteral(u"  ﾌﾟﾛｸﾞﾗﾑが見当たりません\n");
const QString LogNoTarget = QStringLiteral(u"  飛び先が見当たりません\n");
const QString LogTooDeep = QStringLiteral(u"  ｻﾌﾞﾌﾟﾛｸﾞﾗﾑ呼出のﾈｽﾄが深すぎる為中止\n");
const QString LogNoStart = QStringLiteral(u"  ｽﾀｰﾄﾌﾟﾛｸﾞﾗﾑが見当たりません\n");
const QString LogNoRestart = QStringLiteral(u"  再開ﾌﾞﾛｯｸが見当たりません\n");
const QString LogElapsed = QStringLiteral(u"  経過時間 ");
const QString LogCompleted = QStringLiteral(u"  DNC送信完了\n");

// Error numbers of the run's stages.
constexpr int ErrConfirmed = 3001;
constexpr int ErrCancelled = 3002;
constexpr int ErrCallSearch = 3026;
constexpr int ErrGotoSearch = 3027;
constexpr int ErrLineChar = 3028;
constexpr int ErrWordsChar = 3029;
constexpr int ErrEndOfLine = 3030;
constexpr int ErrNoLine = 3031;

// Lines walked without sending anything before the loop rests for 1 ms.
constexpr int IdleLinesPerRest = 1000;

} // namespace

DncRun::DncRun(TransferSession& session, RunEditor& editor, RunDisplay& display, ProgramIndex& programs,
               DncPrompts& prompts, TransferState& state)
    : m_session(session), m_editor(editor), m_display(display), m_programs(programs), m_prompts(prompts),
      m_state(state), m_steps(session, editor, display, state, RunKind::Dnc) {}

// ---------------------------------------------------------------- set-up

Step DncRun::chooseStart() {
    if (!m_firstPass)
        return Step::Continue; // the start line chosen on the first pass is kept
    m_startLine = 0;
    if (m_restart) {
        // Chosen in the restart dialog before the run began.
        m_state.errorNumber = ErrConfirmed;
        return takeRestart(*m_restart) ? Step::Continue : Step::Stop;
    }
    const DncPrompts::Start answer = m_prompts.chooseDncStart();
    if (!answer.confirmed) {
        m_state.errorNumber = ErrCancelled;
        return Step::Stop;
    }
    m_state.errorNumber = ErrConfirmed;
    if (answer.restart)
        return takeRestart(*answer.restart) ? Step::Continue : Step::Stop;
    if (answer.startLine <= 0)
        return Step::Stop;
    // A program deleted after the list was built: nothing to start from.
    if (answer.startLine > lastLine()) {
        m_steps.logAppend(LogNoStart);
        return Step::Stop;
    }
    m_startLine = answer.startLine;
    const QByteArray line = lineAt(m_startLine - 1);
    m_label = ProgramPrefix + platform::fromSjis(line);
    m_display.setProgramLabel(m_label);
    m_editor.selectLine(m_startLine - 1, int(line.size()));
    m_editor.focus();
    m_editor.setReadOnly(true);
    return Step::Continue;
}

// The restart's start program and block; false when the text has no such
// lines (the run stops with its log line).
bool DncRun::takeRestart(const DncRestart& restart) {
    const DncStartPoint& p = restart.point;
    const int lines = lastLine();
    const auto inText = [lines](int line1) { return line1 >= 1 && line1 <= lines; };
    if (!inText(restart.startProgram)) {
        m_steps.logAppend(LogNoStart);
        return false;
    }
    bool tables = inText(p.line) && p.level >= 0 && p.level < Levels;
    for (int l = 0; tables && l < p.level; ++l)
        tables = inText(p.returnLine[size_t(l)]) && inText(p.levelStart[size_t(l + 1)]);
    if (!tables) {
        m_steps.logAppend(LogNoRestart);
        return false;
    }
    m_restart = restart;
    m_startLine = restart.startProgram;
    const QByteArray line = lineAt(p.line - 1);
    m_label = ProgramPrefix + platform::fromSjis(lineAt(m_startLine - 1));
    m_display.setProgramLabel(m_label);
    m_editor.selectLine(p.line - 1, int(line.size()));
    m_editor.focus();
    m_editor.setReadOnly(true);
    return true;
}

// The head, then the call tables the run has at the restart block.
bool DncRun::continueAtRestart() {
    const DncRestart r = *m_restart;
    m_restart.reset(); // a repeat's next pass begins at the start program
    if (m_steps.sendRestartHead(r.head, ErrLineChar, ErrEndOfLine) == Step::Stop)
        return true;
    const DncStartPoint& p = r.point;
    const auto labelOf = [this](int line1) {
        return line1 > 0 ? ProgramPrefix + platform::fromSjis(lineAt(line1 - 1)) : m_label;
    };
    m_current = p.line;
    m_level = p.level;
    m_returnLine = p.returnLine;
    m_count = p.count;
    m_levelStart = p.levelStart;
    for (int l = 0; l < Levels; ++l)
        m_savedLabel[size_t(l)] = l < p.level ? labelOf(p.savedLabelLine[size_t(l)]) : QString();
    m_label = labelOf(p.labelLine);
    m_display.setProgramLabel(m_label);
    m_words = p.pendingWords;
    showLevel(m_count[size_t(m_level)] > 1);
    return false;
}

// ---------------------------------------------------------------- the run

RunOutcome DncRun::run(const SendContext& context, int firstPass, const DncRestart* restart) {
    m_inRun = true;
    if (restart)
        m_restart = *restart;
    else
        m_restart.reset();
    m_steps.beginRun(context);
    m_eob = endOfBlock(context.profile.send.crlfType);
    m_firstPass = true;
    const auto pass = [this] {
        const Pass result = runPass();
        m_firstPass = false;
        return result == Pass::Completed;
    };
    const RunOutcome outcome =
        m_steps.runPasses(pass, firstPass > 0, firstPass, [this] { return m_startLine; });
    m_inRun = false;
    return outcome;
}

DncRun::Pass DncRun::runPass() {
    const SendContext& ctx = m_steps.context();
    m_session.setWriteFailed(false);
    m_steps.initDisplay();
    m_words.clear();
    m_state.kind = TransferKind::Dnc;
    // A list that was empty is filled by the run, and until it is complete
    // the search must not take it for the whole text.
    m_listFill = m_programs.isEmpty();
    if (!m_session.openLine(SendKind, ctx.profile, ctx.lineOptions)) {
        m_state.errorNumber = ErrNoLine;
        m_steps.logAppend(LogNoSettings);
        abort();
        return Pass::Stopped;
    }
    m_steps.beginSetUp();
    if (chooseStart() == Step::Stop || m_steps.finishSetUp() == Step::Stop) {
        abort();
        return Pass::Stopped;
    }
    m_display.setTransferPanel(TransferPanel::Detail, ModeText);
    if (m_steps.waitStartSignal() == Step::Stop || m_steps.sendStartCodes() == Step::Stop) {
        abort();
        return Pass::Stopped;
    }
    m_state.estimating = false;
    m_startUs = m_session.clock().nowUs();
    m_state.dataSent = true;

    m_current = m_startLine;
    m_level = 0;
    m_count.fill(1);
    showLevel(false);
    m_state.startLine = QStringLiteral(u"開始 ") + m_session.log().stamp() + '\n';
    if (m_restart && continueAtRestart())
        return Pass::Stopped;
    if (m_watch)
        m_watch->passStarted();
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
        // A program can loop without sending anything (a GOTO back, an M99
        // repeated a hundred million times): the window must still answer,
        // the stop button still stop, and the loop must not take a whole
        // core while it goes round.
        if (++m_linesWithoutData >= IdleLinesPerRest) {
            m_linesWithoutData = 0;
            m_session.clock().sleepUs(1000);
        }
        m_session.pumpEvents();
        if (m_session.isStopRequested()) {
            abort();
            return true;
        }
        const int index = m_current - 1;
        if (m_current == m_editor.breakpointLine())
            m_steps.showBreakpoint();
        const QByteArray line = lineAt(index);
        const bool loneLf = line == "\n";
        m_editor.selectLine(index, int(line.size()) - (loneLf ? 1 : 0));

        if (dnc::isProgramNumberLine(line)) {
            m_label = ProgramPrefix + platform::fromSjis(line);
            m_display.setProgramLabel(m_label);
            if (m_listFill)
                m_programs.addEntry(makeEntry(m_current, platform::fromSjis(line), u':'));
        }

        const dnc::CallKind kind = dnc::callKind(line);
        if (kind != dnc::CallKind::None) {
            m_words = dnc::callWords(line, kind, m_words);
            if (!enterCall(index))
                return true;
            continue;
        }
        if (line.contains("GOTO")) {
            const int found = gotoTarget(index, lines);
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
            returnToCaller();
            continue;
        }
        if (m_steps.context().options.dncEndAsReturn && m_level > 0 && dnc::returnsAboveLevel0(line)) {
            returnToCaller();
            continue;
        }

        if (transmit(line, loneLf))
            return true;
        if (dnc::isEndLine(line))
            return false;
        ++m_current;
        m_display.setTransferPanel(TransferPanel::Progress, ElapsedText + elapsed());
    }
    return false;
}

// false when the run stopped (abort done).
bool DncRun::enterCall(int index) {
    m_state.errorNumber = ErrCallSearch;
    if (m_level + 1 >= Levels) {
        m_steps.logAppend(LogTooDeep);
        abort();
        return false;
    }
    m_returnLine[m_level] = m_current + 1;
    m_savedLabel[m_level] = m_label;
    ++m_level;
    m_count[m_level] = dnc::repeatCount(m_words);
    showLevel(m_words.contains('L'));
    const int found = callSearch(index, true);
    if (found < 0) {
        abort();
        return false;
    }
    m_levelStart[m_level] = found + 2;
    m_current = found + 2;
    m_label = ProgramPrefix + platform::fromSjis(lineAt(found));
    m_display.setProgramLabel(m_label);
    return true;
}

// The 0-based line a GOTO jumps to, or -1 (logged, and boxed where the
// operator must learn why).
int DncRun::gotoTarget(int index, int lines) {
    m_state.errorNumber = ErrGotoSearch;
    if (lineAt(index).contains('P'))
        return callSearch(index, true);
    const dnc::GotoResult g = dnc::findGoto(index, lines, [this](int i) { return lineAt(i); });
    switch (g.status) {
    case dnc::GotoResult::Found:
        return g.index;
    case dnc::GotoResult::Macro:
        m_steps.logAppend(LogMacro);
        warn(MacroBox, JumpCaption);
        return -1;
    case dnc::GotoResult::EndOfText:
        m_steps.logAppend(LogNoTarget);
        warn(NoTargetBox, JumpCaption);
        return -1;
    case dnc::GotoResult::NextProgram:
        return -1;
    }
    return -1;
}

void DncRun::returnToCaller() {
    --m_level;
    m_current = m_returnLine[m_level];
    m_label = m_savedLabel[m_level];
    m_display.setProgramLabel(m_label);
    showLevel(false);
}

bool DncRun::transmit(const QByteArray& line, bool loneLf) {
    m_steps.setState(Sending);
    const FilteredLine out = filterLine(line, loneLf ? 1 : 0, m_steps.filter());
    if (out.percentOnly)
        return false;
    const auto stop = [this] {
        abort();
        return true;
    };
    m_linesWithoutData = 0;
    m_state.errorNumber = ErrLineChar;
    for (char c : out.chars)
        if (m_steps.writeData(static_cast<unsigned char>(c)))
            return stop();
    m_state.errorNumber = ErrWordsChar;
    for (char c : std::as_const(m_words))
        if (m_steps.writeData(static_cast<unsigned char>(c)))
            return stop();
    const QByteArray words = std::exchange(m_words, {});
    m_state.errorNumber = ErrEndOfLine;
    if (m_steps.writeGroup(m_eob))
        return stop();
    if (m_watch)
        m_watch->lineSent(m_current - 1, line, words);
    m_session.pumpEvents();
    return m_steps.context().options.stepSendEnabled && m_steps.stepWait() == Step::Stop;
}

bool DncRun::complete() {
    m_state.estimating = false;
    m_display.setTransferPanel(TransferPanel::Detail, QString());
    if (m_steps.sendEndCodes() == Step::Stop) {
        abort();
        return true;
    }
    m_steps.closeCompleted();
    m_steps.logAppend(LogElapsed + elapsed() + '\n');
    m_steps.logAppend(LogCompleted);
    return false;
}

void DncRun::abort() {
    m_steps.abort();
}

int DncRun::callSearch(int lineIndex, bool showMessages) {
    const QByteArray line = lineAt(lineIndex);
    const bool useList = !m_listFill && !m_programs.isEmpty();
    const QStringList list = useList ? m_programs.entries() : QStringList();
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
        m_steps.logAppend(LogMacro);
        if (showMessages)
            warn(MacroBox, JumpCaption);
        return -1;
    case dnc::SearchResult::Missing:
    case dnc::SearchResult::BadIndex:
        m_steps.logAppend(LogMissing);
        if (showMessages)
            warn(MissingBox, ProgramCaption);
        return -1;
    }
    return -1;
}

// ---------------------------------------------------------------- helpers

void DncRun::showLevel(bool withCount) {
    QString text = LevelText + QString::number(m_level);
    if (withCount)
        text += QStringLiteral("[L=") + QString::number(m_count[m_level]) + ']';
    m_display.setTransferPanel(TransferPanel::Detail, text);
}

QString DncRun::elapsed() const {
    const std::int64_t ms = (m_session.clock().nowUs() - m_startUs) / 1000;
    return QTime(0, 0).addMSecs(int(ms % 86400000)).toString(TransferLog::longTimeFormat(QLocale::system()));
}

void DncRun::warn(const QString& text, const QString& caption, LineHost::Kind kind) {
    m_session.host().showMessage(kind, text, LineHost::Buttons::Ok, caption);
}

} // namespace tornyx
