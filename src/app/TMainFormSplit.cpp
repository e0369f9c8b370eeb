// The split-save and selective-send dialog in the main window: "ｏ番号分割保存",
// the selection before a send (option "op1") and the split after a receive
// (option "op2").
#include "app/Prompts.h"
#include "app/TMainForm.h"
#include "receive/ui/TReadForm.h"

namespace tornyx {

// What the dialog reaches of the window and its desk.
class SplitWindowHost : public QObject, public ReadFormHost {
public:
    explicit SplitWindowHost(TMainForm& w) : QObject(&w), m_w(w) {}

    std::optional<QString> chooseFolder(QWidget* owner, const QString& caption,
                                        const QString& start) override {
        const QString folder = m_w.prompts().folderName(owner, caption, start);
        return folder.isEmpty() ? std::nullopt : std::optional<QString>(folder);
    }
    void errorBox(QWidget* owner, const QString& text) override {
        box(owner, Prompts::Error, text, Prompts::Ok);
    }
    void informationBox(QWidget* owner, const QString& text) override {
        box(owner, Prompts::Information, text, Prompts::Ok);
    }
    bool warningYesNo(QWidget* owner, const QString& text) override {
        return box(owner, Prompts::Warning, text, Prompts::Yes | Prompts::No) == Prompts::Yes;
    }
    const IndexedText& editorText() override { return m_w.RichEdit1->indexedText(); }
    QString documentPath() override { return m_w.m_desk->document().path; }
    bool isModified() override { return m_w.isModified(); }
    void setMainWindowEnabled(bool enabled) override { m_w.setEnabled(enabled); }
    void dialogClosed() override {
        m_w.RichEdit1->setFocus();
        m_w.m_desk->programs().cancelExtraction();
    }
    void splitDone(bool wasModified) override {
        if (wasModified)
            return;
        m_w.setModified(false);
        m_w.setCaption(CaptionMode::Editing, m_w.m_desk->document().saveDialogFileName);
        m_w.setEditingPanel(EditingPanel::CharacterCode, QString());
    }
    void sendSelected(const ExcludedPrograms& excluded) override { m_w.m_desk->sendSelected(excluded); }
    void sendCancelled() override { m_w.m_desk->selectionCancelled(); }

private:
    int box(QWidget* owner, Prompts::Kind kind, const QString& text, int buttons) {
        return m_w.prompts().messageBox(owner ? owner : &m_w, kind, QString(), text, buttons);
    }

    TMainForm& m_w;
};

void TMainForm::setUpSplit() {
    m_readForm = new TReadForm(home().optionFile(), *new SplitWindowHost(*this), this);
}

void TMainForm::opSaveClick() {
    if (RichEdit1->length() == 0)
        return;
    // The dialog leaves an unticked program out by its line: the list must
    // follow the text as it is now, not as it was before the last edit or
    // load (after a receive it has not even been built yet).
    ProgramIndex& programs = m_desk->programs();
    const auto lineText = [this](int i) { return RichEdit1->lineText(i); };
    if (!programs.isExtractionFinished() ||
        !headersFollowText(headersFromIndex(programs.entries()), RichEdit1->lineCount(), lineText)) {
        programs.cancelExtraction();
        programs.extractionStarted();
        if (hasProgramNumber(RichEdit1->indexedText())) {
            extract(RichEdit1->caretLine());
            programs.indexedLineCount = RichEdit1->lineCount();
        } else {
            programs.clear();
            programs.extractionDone();
        }
    }
    m_readForm->openForSplit(programs.entries(), frameGeometry());
}

void TMainForm::showSelectionDialog(const QString& caption, const QList<ProgramHeader>& programs,
                                    const QString& note) {
    m_readForm->openForSend(programs, note, frameGeometry());
    // The run's own caption for the choice ("選択送信").
    m_readForm->setWindowTitle(caption);
}

void TMainForm::closeSelectionDialog() {
    // Not through "中止": that would start the post-transfer step again.
    if (m_readForm->isVisible() && m_readForm->mode() == TReadForm::Mode::Send)
        m_readForm->done(QDialog::Rejected);
}

} // namespace tornyx
