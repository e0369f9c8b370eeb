// The main window's side of the restart from a block and of the drip-feed
// budget: the popup-menu entries, the restart dialog before a send or DNC
// run, and the budget dialog.
#include "app/Prompts.h"
#include "app/TMainForm.h"
#include "nc/RestartPlan.h"
#include "nc/ui/TBudgetForm.h"
#include "nc/ui/TRestartForm.h"
#include "platform/TextCodec.h"

#include <QAction>
#include <QMenu>

namespace tornyx {

namespace {
const QString NoPrograms = QStringLiteral(u"ﾌﾟﾛｸﾞﾗﾑ番号が有りません｡\nDNC運転にはｽﾀｰﾄﾌﾟﾛｸﾞﾗﾑが必要です｡");
} // namespace

void TMainForm::buildRestartMenus() {
    PopupMenu1->addSeparator();
    auto* restart = PopupMenu1->addAction(QStringLiteral(u"途中再開(ｶｰｿﾙ位置)..."));
    restart->setObjectName("restart_s");
    connect(restart, &QAction::triggered, this, [this] { restartClick(); });
    auto* budget = PopupMenu1->addAction(QStringLiteral(u"DNC送信ﾁｪｯｸ..."));
    budget->setObjectName("budget_s");
    connect(budget, &QAction::triggered, this, [this] { checkDripBudget(0); });
}

// The start program of a DNC run the operator did not choose in the set-up
// dialog: the one of the last restart or check while it is still listed,
// else the first main program. 0 when the list is empty.
int TMainForm::defaultStartProgram() {
    ProgramIndex& programs = m_desk->programs();
    if (!programs.isExtractionFinished())
        extractIndexNow();
    for (const QString& e : programs.entries())
        if (entryLine(e) == m_restartStart)
            return m_restartStart;
    nc::TextLines lines(RichEdit1->indexedText());
    return nc::mainProgramLine(lines, programs.entries());
}

std::optional<RunRestart> TMainForm::chooseRestart(bool dnc, int startProgram) {
    if (!m_restartForm) {
        m_restartForm = new TRestartForm(this, home().optionFile());
        m_restartForm->errorBox = [this](const QString& text) {
            m_prompts->messageBox(m_restartForm, Prompts::Error, "Tornyx", text, Prompts::Yes);
        };
        m_restartForm->askYesNo = [this](const QString& text) {
            return showMessage(Kind::Warning, text, Buttons::YesNo, QString()) == Answer::Yes;
        };
    }
    const TransferDesk& desk = *m_desk;
    TRestartForm::Source source;
    source.text = &RichEdit1->indexedText();
    source.settings.reader = desk.readerSettings(dnc);
    source.settings.sendMsg = desk.activeProfile().send.sendMsg.toUtf8();
    source.settings.flow.dnc = dnc;
    source.settings.flow.startLine = dnc ? startProgram : 1;
    source.settings.flow.endReturnsAboveLevel0 = desk.options().isOn(Opt::DncEndAsReturn);
    source.settings.flow.entries = m_desk->programs().entries();
    source.headerTemplate = desk.restartSettings().header;
    source.caretLine = RichEdit1->caretLine();
    if (dnc)
        source.programs = m_desk->programs().entries();
    const std::optional<TRestartForm::Result> result = m_restartForm->choose(source, frameGeometry());
    if (!result)
        return std::nullopt;
    const nc::RestartPlan& plan = result->plan;
    RunRestart run;
    run.line = plan.scan.line + 1;
    for (const QString& l : result->header)
        run.head.lines << platform::toSjis(l);
    run.head.log = nc::restartLogLines(plan, result->header);
    if (dnc) {
        m_restartStart = plan.startLine;
        run.dnc = DncRestart{plan.startLine, plan.scan.start, run.head};
    }
    return run;
}

void TMainForm::restartClick() {
    if (m_desk->isRunning() || RichEdit1->length() == 0)
        return;
    const bool dnc = m_desk->activeProfile().send.dncSend == 1;
    const int start = dnc ? defaultStartProgram() : 1;
    if (dnc && start == 0) {
        showMessage(Kind::Error, NoPrograms, Buttons::Ok, QString());
        return;
    }
    if (const std::optional<RunRestart> run = chooseRestart(dnc, start))
        m_desk->restartPressed(*run);
}

// "途中再開" in the DNC set-up dialog: the run waits in its set-up while the
// operator chooses the block; cancelling here cancels the run.
DncPrompts::Start TMainForm::chooseDncRestart(int startProgram) {
    const std::optional<RunRestart> run = chooseRestart(true, startProgram);
    if (!run || !run->dnc)
        return Start{false, 0, std::nullopt};
    return Start{true, run->dnc->startProgram, run->dnc};
}

void TMainForm::checkDripBudget(int startLine) {
    if (RichEdit1->length() == 0)
        return;
    const bool dnc = m_desk->activeProfile().send.dncSend == 1;
    if (dnc && startLine <= 0)
        startLine = defaultStartProgram();
    if (dnc && startLine <= 0) {
        showMessage(Kind::Error, NoPrograms, Buttons::Ok, QString());
        return;
    }
    if (dnc)
        m_restartStart = startLine;
    const TransferDesk& desk = *m_desk;
    nc::FlowOptions flow;
    flow.dnc = dnc;
    flow.startLine = dnc ? startLine : 1;
    flow.endReturnsAboveLevel0 = desk.options().isOn(Opt::DncEndAsReturn);
    flow.entries = m_desk->programs().entries();
    const nc::BudgetSettings settings = nc::budgetSettingsFor(desk.activeProfile(), desk.readerSettings(dnc),
                                                              desk.options().isOn(Opt::SkipSpaces), flow);
    if (!m_budgetForm) {
        m_budgetForm = new TBudgetForm(this, home().optionFile());
        m_budgetForm->showLine = [this](int line) { RichEdit1->showProgramLine(line); };
    }
    m_budgetForm->check(RichEdit1->indexedText(), settings, frameGeometry());
}

} // namespace tornyx
