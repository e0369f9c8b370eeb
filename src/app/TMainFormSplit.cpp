// The split-save and selective-send dialog in the main window: "ｏ番号分割保存",
// the selection before a send (option "op1") and the split after a receive
// (option "op2").
#include "app/Prompts.h"
#include "app/TMainForm.h"
#include "receive/ui/TReadForm.h"

namespace tornyx {

// ---------------------------------------------------------------- ReadFormHost

std::optional<QString> TMainForm::chooseFolder(QWidget* owner, const QString& caption, const QString& start) {
    const QString folder = m_prompts->folderName(owner, caption, start);
    return folder.isEmpty() ? std::nullopt : std::optional<QString>(folder);
}

void TMainForm::showError(QWidget* owner, const QString& text) {
    m_prompts->messageBox(owner ? owner : this, Prompts::Error, QString(), text, Prompts::Ok);
}

void TMainForm::informationBox(QWidget* owner, const QString& text) {
    m_prompts->messageBox(owner ? owner : this, Prompts::Information, QString(), text, Prompts::Ok);
}

bool TMainForm::warningYesNo(QWidget* owner, const QString& text) {
    return m_prompts->messageBox(owner ? owner : this, Prompts::Warning, QString(), text,
                                 Prompts::Yes | Prompts::No) == Prompts::Yes;
}

const IndexedText& TMainForm::editorText() {
    return RichEdit1->indexedText();
}

QString TMainForm::documentPath() {
    return m_desk->document().path;
}

void TMainForm::setMainWindowEnabled(bool enabled) {
    setEnabled(enabled);
}

void TMainForm::dialogClosed() {
    RichEdit1->setFocus();
    m_desk->programs().cancelExtraction();
}

void TMainForm::splitDone(bool wasModified) {
    if (wasModified)
        return;
    setModified(false);
    setCaption(CaptionMode::Editing, m_desk->document().saveDialogFileName);
    setEditingPanel(EditingPanel::CharacterCode, QString());
}

void TMainForm::sendSelected(const ExcludedPrograms& excluded) {
    m_desk->sendSelected(excluded);
}

void TMainForm::sendCancelled() {
    m_desk->selectionCancelled();
}

// ---------------------------------------------------------------- the dialog

void TMainForm::setUpSplit() {
    m_readForm = new TReadForm(home().optionFile(), *this, this);
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
