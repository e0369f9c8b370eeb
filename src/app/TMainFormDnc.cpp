// The main window's side of the DNC set-up dialog: its start program, and
// "ﾌｧｲﾙ追加", which appends a file of subprograms to the document.
#include "app/Prompts.h"
#include "app/TMainForm.h"
#include "dnc/ui/TDncForm.h"
#include "editor/ui/NcEditor.h"

#include <QCoreApplication>
#include <QTimer>

namespace tornyx {

void TMainForm::connectDncForm(TDncForm& form) {
    form.setSource({[this] { return RichEdit1->lineCount(); },
                    [this](int i) { return RichEdit1->lineSjis(i); },
                    [this] { return m_desk->programs().entries(); }});
    form.setFileHost(this);
    form.askYesNo = [this](const QString& text) {
        return showMessage(Kind::Warning, text, Buttons::YesNo, QString()) == Answer::Yes;
    };
    form.budgetCheck = [this](int startLine) { checkDripBudget(startLine); };
}

DncPrompts::Start TMainForm::chooseDncStart() {
    if (!m_dncForm) {
        m_dncForm = new TDncForm(this, home().optionFile());
        connectDncForm(*m_dncForm);
    }
    const std::optional<int> start = m_dncForm->choose(m_desk->programs().entries(), frameGeometry());
    if (start && *start > 0 && m_dncForm->restartRequested())
        return chooseDncRestart(*start);
    return start ? Start{true, *start} : Start{false, 0};
}

QString TMainForm::chooseFile(QWidget* owner) {
    return chooseOpenFile(owner, QStringLiteral(u"開く"), m_desk->options().dirPath);
}

void TMainForm::errorBox(QWidget* owner, const QString& text) {
    m_prompts->messageBox(owner, Prompts::Error, "Tornyx", text, Prompts::Yes);
}

void TMainForm::appendToDocument(const QString& path) {
    // Loading into the second area leaves the document's path, size and list
    // alone; a file that gives no text leaves the area empty.
    load(RichEdit2, path, false);
    QByteArray text = RichEdit1->utf8Text().toByteArray();
    text += '\n';
    text += RichEdit2->utf8Text();
    RichEdit1->setTextQuietly(text);
    RichEdit2->clearQuietly();
    // Every entry is made again from the joined text.
    m_desk->programs().indexedLineCount = -1;
    m_desk->programs().scheduleExtraction(1);
}

void TMainForm::waitForIndex() {
    ProgramIndex& programs = m_desk->programs();
    if (m_desk->options().autoIndexOff) {
        // The automatic extraction would never come: make the list at once.
        programs.cancelExtraction();
        if (RichEdit1->length() > 0) {
            programs.extractionStarted();
            extract(0);
        }
        return;
    }
    // The extraction runs from the timer's event; the wait blocks in the
    // event loop until it has.
    while (!programs.isExtractionFinished())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void TMainForm::clearModified() {
    setModified(false);
}

} // namespace tornyx
