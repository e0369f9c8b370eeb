#include "app/TransferDesk.h"

#include "platform/Clock.h"
#include "platform/PortNames.h"
#include "platform/TextCodec.h"
#include "receive/Receiver.h"
#include "send/PostTransfer.h"
#include "send/TSendTime.h"

namespace tornyx {

namespace {

const QString NoData = QStringLiteral(u"送信ﾃﾞｰﾀが有りません｡");
const QString IndexBusy = QStringLiteral(u"ﾌﾟﾛｸﾞﾗﾑ番号抽出中です｡\n再度､送信ﾎﾞﾀﾝを押して下さい｡");
const QString SelectionCaption = QStringLiteral(u"選択送信");
const QString SelectionNote = QStringLiteral(u"ﾁｪｯｸが外れたﾃﾞｰﾀは送信されません");

const QString LogSend = QStringLiteral(u"  送信\n");
const QString LogComm = QStringLiteral(u"  通信\n");
const QString LogDnc = QStringLiteral(u"  DNC送信\n");
const QString LogAll = QStringLiteral(u"  全ﾃﾞｰﾀを送信\n");
const QString LogSelected = QStringLiteral(u"  ﾌﾟﾛｸﾞﾗﾑ番号選択で送信\n");
const QString LogFileName = QStringLiteral(u"  送信ﾌｧｲﾙ名は");

bool isProgramStart(const QByteArray& line) {
    return !line.isEmpty() && (line[0] == 'O' || line[0] == ':' || line[0] == 'L');
}

} // namespace

TransferDesk::TransferDesk(const Services& services, const DeskViews& views)
    : m_clock(services.clock), m_home(services.home), m_commands(services.commands), m_views(views),
      m_session(services.port, views.line, services.clock, services.now),
      m_send(m_session, views.editor, views.display, m_programs, m_state),
      m_dnc(m_session, views.editor, views.display, m_programs, views.dncPrompts, m_state),
      m_watch(views.display, m_session) {
    m_dnc.setWatch(&m_watch);
    m_session.setPortResolver(
        [home = m_home](const QString& name) { return platform::portDevicePath(name, home); });
    m_session.log().setFolder(m_home.folder());
}

// ---------------------------------------------------------------- options

LineOptions TransferDesk::lineOptions() const {
    const Options& o = m_options;
    LineOptions l;
    l.dc3Is93 = o.isOn(Opt::Dc3Is93);
    l.skipSpaces = o.isOn(Opt::SkipSpaces);
    l.dtrAlwaysOn = o.isOn(Opt::DtrAlwaysOn);
    l.autoSwitch = o.isOn(Opt::AutoSwitch);
    l.noLineCheck = o.isOn(Opt::NoLineCheck);
    l.dsrCheck = o.isOn(Opt::DsrCheck);
    l.excludedPort1 = o.modemePort1;
    l.excludedPort2 = o.modemePort2;
    return l;
}

SendContext TransferDesk::sendContext() const {
    const Options& o = m_options;
    SendContext c;
    c.profile = activeProfile();
    c.profileNumber = o.setNo;
    c.options.selectPrograms = o.isOn(Opt::SelectPrograms);
    c.options.metres = o.isOn(Opt::Metres);
    c.options.sendAfterComment = o.isOn(Opt::SendAfterComment);
    c.options.ignoreMachineStop = o.isOn(Opt::IgnoreMachineStop);
    c.options.punchCompletion = o.isOn(Opt::PunchCompletion);
    c.options.noLeadingLf = o.isOn(Opt::NoLeadingLf);
    c.options.noLineCheck = o.isOn(Opt::NoLineCheck);
    c.options.powerOff = o.isOn(Opt::PowerOff);
    c.options.dc3Is93 = o.isOn(Opt::Dc3Is93);
    c.options.stepSendEnabled = o.stepSendEnabled;
    c.options.autoIndexOff = o.autoIndexOff;
    c.options.dncEndAsReturn = o.isOn(Opt::DncEndAsReturn);
    c.lineOptions = lineOptions();
    c.documentPath = m_document.path;
    return c;
}

ReceiveOptions TransferDesk::receiveOptions() const {
    ReceiveOptions r;
    r.line = lineOptions();
    r.keepOnStop = m_options.isOn(Opt::KeepOnStop);
    r.powerOff = m_options.isOn(Opt::PowerOff);
    r.splitAfterReceive = m_options.isOn(Opt::SplitAfterReceive);
    return r;
}

nc::RestartSettings TransferDesk::restartSettings() const {
    return nc::readRestartSettings(m_home.profileFile(), m_options.setNo);
}

nc::ReaderSettings TransferDesk::readerSettings(bool dnc) const {
    return nc::readerSettingsFor(restartSettings(), m_options.isOn(Opt::SendAfterComment), dnc);
}

// ---------------------------------------------------------------- start-up

void TransferDesk::setOrder(const CommandLineState& order) {
    m_autoSend = order.autoSendRequest == 'Y';
    m_autoReceive = order.autoReceiveRequest == 'Y';
    m_state.exitAfterTransfer = order.exitAfterTransfer;
    m_state.transferPath = order.transferPath;
}

void TransferDesk::firstIdle() {
    if (m_idleDone)
        return;
    m_idleDone = true;
    if (m_autoSend) {
        m_autoSend = false;
        // The program list is normally built a moment after the load; an
        // ordered transfer must not find it half done (a DNC run refuses
        // to start then, and the order would be lost).
        if (!m_programs.isExtractionFinished())
            m_views.view.extractIndexNow();
        sendPressed(false);
    }
    if (m_autoReceive) {
        m_autoReceive = false;
        runReceive(true, m_state.transferPath, false);
    }
}

// ---------------------------------------------------------------- buttons

void TransferDesk::sendPressed(bool shiftHeld) {
    startSend(false, shiftHeld);
}

void TransferDesk::repeatPressed(bool shiftHeld) {
    startSend(true, shiftHeld);
}

void TransferDesk::restartPressed(const RunRestart& restart) {
    startSend(false, false, &restart);
}

void TransferDesk::startSend(bool repeat, bool shiftHeld, const RunRestart* restart) {
    if (m_running)
        return;
    m_repeat = repeat;
    m_repeatCount = repeat ? 1 : 0;
    m_views.display.setTransferPanel(TransferPanel::Repeat, repeat ? repeatText(1) : QString());
    if (m_views.view.isLogViewOpen())
        return;
    RunEditor& editor = m_views.editor;
    if (editor.isEmpty()) {
        m_programs.ready = false;
        m_views.view.openFile();
        if (editor.isEmpty()) {
            showError(NoData);
            return;
        }
    }
    m_views.display.enterTransferMode();
    editor.setReadOnly(true);
    m_state.receivedPending = false;
    // Shift closes the program after this run; a send refused or left in the
    // selection must not leave that behind for the next transfer.
    m_shiftHeld = shiftHeld;

    // Taken after the open command above: a file opened there is what goes
    // out, under its own name.
    const SendContext ctx = sendContext();
    TransferLog& log = m_session.log();
    const QString fileLine = LogFileName + ctx.documentPath + '\n';
    if (ctx.profile.send.dncSend == 1) {
        if (m_programs.isExtractionFinished() || ctx.options.autoIndexOff) {
            log.start(LogSend);
            log.append(LogDnc);
            log.append(fileLine);
            runDnc(restart && restart->dnc ? &*restart->dnc : nullptr);
        } else {
            showError(IndexBusy);
            m_views.display.leaveTransferMode();
            editor.setReadOnly(false);
        }
        return;
    }
    if (restart) {
        // Not all of the text: the head's own log lines say from where.
        log.start(LogSend);
        log.append(fileLine);
        runSend({}, restart);
        return;
    }
    if (!ctx.options.selectPrograms) {
        log.start(LogSend);
        log.append(LogAll);
        log.append(fileLine);
        runSend({});
        return;
    }
    // The selection (not modal) answers with sendSelected.
    log.start(LogComm);
    log.append(LogSelected);
    log.append(fileLine);
    m_views.view.showSelectionDialog(SelectionCaption, selectablePrograms(), SelectionNote);
}

// The program list, or without one every program start of the text but its
// last line. The list is taken only while it follows the text: the run
// leaves out an unticked program by its line, and a list from before the
// last edit would name the wrong lines.
QList<ProgramHeader> TransferDesk::selectablePrograms() const {
    const RunEditor& editor = m_views.editor;
    const auto lineText = [&editor](int i) { return platform::fromSjis(editor.line(i)); };
    if (!m_programs.isEmpty()) {
        const QList<ProgramHeader> listed = headersFromIndex(m_programs.entries());
        if (headersFollowText(listed, editor.lineCount(), lineText))
            return listed;
    }
    QList<ProgramHeader> programs;
    for (int i = 0; i + 1 < editor.lineCount(); ++i) {
        const QByteArray l = editor.line(i);
        if (isProgramStart(l))
            programs.append({i + 1, platform::fromSjis(l)});
    }
    return programs;
}

void TransferDesk::sendSelected(const ExcludedPrograms& excluded) {
    if (m_running)
        return;
    runSend(excluded);
}

void TransferDesk::selectionCancelled() {
    if (m_running)
        return;
    m_views.display.setScreenSaverInhibited(false);
    m_timer1DueUs = m_clock.nowUs() + std::int64_t(PostTransferDelayMs) * 1000;
    updateTicking();
}

void TransferDesk::runSend(const ExcludedPrograms& excluded, const RunRestart* restart) {
    SendRun::Request r;
    r.context = sendContext();
    r.repeat = m_repeat;
    r.excludedPrograms = excluded;
    if (restart) {
        r.startLine = restart->line;
        r.head = restart->head;
    }
    if (m_shiftHeld)
        m_state.exitAfterTransfer = true;
    m_running = true;
    updateTicking();
    const RunOutcome outcome = m_send.run(r);
    m_running = false;
    afterRun(outcome, outcome == RunOutcome::Completed);
}

void TransferDesk::runDnc(const DncRestart* restart) {
    if (m_shiftHeld)
        m_state.exitAfterTransfer = true;
    m_running = true;
    updateTicking();
    const SendContext ctx = sendContext();
    m_watch.configure(readerSettings(true), platform::toSjis(ctx.profile.send.sendMsg));
    const RunOutcome outcome = m_dnc.run(ctx, m_repeatCount, restart);
    m_watch.finish();
    m_running = false;
    afterRun(outcome, outcome == RunOutcome::Completed);
}

void TransferDesk::receivePressed(bool shiftHeld) {
    if (m_running || m_views.view.isLogViewOpen())
        return;
    runReceive(false, QString(), shiftHeld);
}

void TransferDesk::runReceive(bool ordered, const QString& orderedPath, bool shiftHeld) {
    Receiver receiver(m_session, m_views.display, m_views.editor, m_programs, m_state,
                      m_views.receivePrompts);
    Receiver::Request request;
    request.profileNumber = m_options.setNo;
    request.profile = activeProfile();
    request.options = receiveOptions();
    m_running = true;
    updateTicking();
    std::optional<ReceiveResult> result;
    if (ordered)
        result = receiver.orderedReceive(request, orderedPath);
    else
        result = receiver.receiveButtonClicked(request, shiftHeld);
    m_running = false;
    if (!result) {
        updateTicking();
        return;
    }
    m_state.kind = TransferKind::Receive;
    m_state.receivedPending = result->receivedPending;
    m_state.success = result->success;
    m_state.dataSent = false;
    m_state.errorNumber = result->errorNumber;
    if (!result->receiveFile.isEmpty())
        m_state.transferPath = result->receiveFile;
    const bool completed = result->outcome == ReceiveResult::Outcome::Completed;
    afterRun(completed ? RunOutcome::Completed : RunOutcome::Stopped, completed);
    if (!completed)
        m_views.view.newDocument();
}

// What every run leaves to the desk: closing the window when the run was
// ordered with END (and powering off), or when the window asked to close
// during the run; the post-transfer step two seconds later.
void TransferDesk::afterRun(RunOutcome, bool completed) {
    if (completed && m_state.exitAfterTransfer) {
        m_closeRequested = false;
        m_views.view.closeWindow();
        if (m_options.isOn(Opt::PowerOff))
            platform::powerOff(m_commands);
    }
    m_timer1DueUs = m_clock.nowUs() + std::int64_t(PostTransferDelayMs) * 1000;
    if (m_closeRequested) {
        m_closeRequested = false;
        m_views.view.closeWindow();
    }
    updateTicking();
}

void TransferDesk::stopPressed() {
    m_state.stopPending = true;
    m_session.requestStop();
    m_views.display.setScreenSaverInhibited(false);
    if (!m_programs.isExtractionFinished())
        m_views.view.stopIndexExtraction();
}

void TransferDesk::stepPressed() {
    m_state.stepPending = true;
}

bool TransferDesk::requestClose() {
    if (!m_running)
        return false;
    m_closeRequested = true;
    stopPressed();
    return true;
}

// ---------------------------------------------------------------- timers

void TransferDesk::onTimer() {
    const std::int64_t now = m_clock.nowUs();
    // Timer2: the remaining-time estimate every ten seconds while data flows.
    if (m_state.estimating) {
        if (!m_timer2DueUs)
            m_timer2DueUs = now + std::int64_t(TSendTime::TickMs) * 1000;
        else if (now >= *m_timer2DueUs) {
            TSendTime::tick(m_state.counters);
            *m_timer2DueUs += std::int64_t(TSendTime::TickMs) * 1000;
        }
    } else {
        m_timer2DueUs.reset();
    }
    if (m_timer1DueUs && now >= *m_timer1DueUs && !m_running) {
        m_timer1DueUs.reset();
        postTransfer();
    }
    if (m_mailDueUs && now >= *m_mailDueUs) {
        m_mailDueUs.reset();
        if (m_mail)
            platform::sendMailInBackground(m_commands, *m_mail);
        m_mail.reset();
    }
    updateTicking();
}

void TransferDesk::updateTicking() {
    m_views.view.setTicking(m_running || m_timer1DueUs.has_value() || m_mailDueUs.has_value());
}

// The post-transfer step: the window back to editing, a received file
// loaded (and split when the option asks), the completion mail on its way.
void TransferDesk::postTransfer() {
    RunDisplay& d = m_views.display;
    d.setTransferPanel(TransferPanel::Repeat, QString());
    d.setTransferPanel(TransferPanel::State, QString());
    if (m_options.isOn(Opt::SelectPrograms))
        m_views.view.closeSelectionDialog();
    d.leaveTransferMode();
    if (m_state.receivedPending) {
        m_views.view.loadReceivedFile(m_state.transferPath);
        if (m_options.isOn(Opt::SplitAfterReceive))
            m_views.view.openSplitSave();
        d.showRunControls(false);
        m_programs.ready = false;
        m_programs.scheduleExtraction(100);
        d.setScreenSaverInhibited(false);
    } else {
        d.setScreenSaverInhibited(false);
        d.showRunControls(false);
        if (const auto mail = completionMail(m_state, activeProfile().setting, m_session.log().stamp())) {
            // The mail waits a few seconds so the operator sees the end first.
            m_mail = *mail;
            m_mailDueUs = m_clock.nowUs() + std::int64_t(MailDelayMs) * 1000;
        }
    }
    d.setStepButtonEnabled(false);
    m_state.stepFlag = false;
    d.setEditorContextMenuEnabled(true);
    m_state.running = false;
    m_state.stopPending = false;
    if (activeProfile().send.dncSend != 1)
        d.removeProgressBar();
}

void TransferDesk::showError(const QString& text) {
    m_views.line.showMessage(LineHost::Kind::Error, text, LineHost::Buttons::Ok);
}

} // namespace tornyx
