// The main window's edit commands and editor events: the edit menu, the
// popup and the toolbar with their enable states, the caret and typing-mode
// display, the breakpoint gutter, the jump to call targets, find and replace.

#include "app/Prompts.h"
#include "app/TMainForm.h"
#include "editor/EditCommands.h"
#include "editor/JumpTarget.h"
#include "editor/ui/FindDialogs.h"
#include "editor/ui/NcEditor.h"
#include "platform/TextCodec.h"
#include "status/TransferLog.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QMenu>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>

namespace tornyx {

namespace {

QString u(const char16_t* s) {
    return QString::fromUtf16(s);
}

const QString SelectionMark = QString::fromUtf16(u"選択範囲");
const QString NotFound = QString::fromUtf16(u"検索文字列が見当たりません！");
const QString EditCaption = QString::fromUtf16(u"編集");
const QString ReplaceCaption = QString::fromUtf16(u"置換");
const QString ReplaceAllCaption = QString::fromUtf16(u"すべて置換");

// A find or replace dialog opens with the selection as its find text.
template <class Dialog> void openWithSelection(const NcEditor& editor, Dialog& dialog) {
    if (editor.hasSelectedText())
        dialog.setFindText(findTextFromSelection(editor.selectedText()));
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
}

} // namespace

void TMainForm::connectEditCommands() {
    RichEdit1->showBreakpointGutter();
    connect(RichEdit1, &NcEditor::breakpointChanged, this, [this](int line) {
        m_desk->document().breakpointLine = line;
        jump_bp->setEnabled(line > 0);
    });
    connect(RichEdit1, &NcEditor::keyHandled, this,
            [this](int key, bool press) { RichEdit1KeyDown(key, press); });
    connect(RichEdit1, &NcEditor::mouseHandled, this, [this] { RichEdit1MouseDown(); });
    connect(RichEdit1, &NcEditor::viewMoved, this, [this] { refreshCaretDisplay(); });
    connect(RichEdit1, &NcEditor::completionKey, this, [this] { completeWord(); });
    connect(EditMenu, &QMenu::aboutToShow, this, [this] { refreshEditEnables(); });
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { refreshEditEnables(); });

    // The shortcuts of these commands never reach the editor's key handler.
    for (QAction* a : {EditUndo, EditCut, EditPaste, EditDelete})
        connect(a, &QAction::triggered, this, [this] { refreshEditEnables(); });
    connect(EditAll, &QAction::triggered, this, [this] { EditAllClick(); });
    connect(EditDateTime, &QAction::triggered, this, [this] { EditDateTimeClick(); });
    connect(EditDate, &QAction::triggered, this, [this] { EditDateClick(); });
    if (QAction* a = PopupMenu1->findChild<QAction*>("FileNukidasi"))
        connect(a, &QAction::triggered, this, [this] { FileNukidasiClick(); });
    connect(jump, &QAction::triggered, this, [this] { jumpClick(); });
    connect(jump_bp, &QAction::triggered, this, [this] { jump_bpClick(); });

    FindDialog1 = new FindDialog(this);
    ReplaceDialog1 = new ReplaceDialog(this);
    connect(FindDo, &QAction::triggered, this, [this] { FindDoClick(); });
    connect(FindNext, &QAction::triggered, this, [this] { FindNextClick(); });
    connect(Replace, &QAction::triggered, this, [this] { ReplaceClick(); });
    connect(FindDialog1, &FindDialog::findNext, this,
            [this] { findInEditor(FindDialog1->findText(), FindDialog1->isUp(), EditCaption); });
    connect(ReplaceDialog1, &ReplaceDialog::findNext, this,
            [this] { findInEditor(ReplaceDialog1->findText(), false, ReplaceCaption); });
    connect(ReplaceDialog1, &ReplaceDialog::replace, this, [this] { ReplaceDialog1Replace(); });
    connect(ReplaceDialog1, &ReplaceDialog::replaceAll, this, [this] { ReplaceDialog1ReplaceAll(); });
    connect(ReplaceDialog1, &ReplaceDialog::closed, this, [this] { rescheduleIndex(100); });
}

// ---------------------------------------------------------------- enable states, display

void TMainForm::refreshEditEnables() {
    const bool canUndo = RichEdit1->isUndoAvailable();
    // Nothing selected, or a transfer runs (the stop button is live): nothing
    // to cut, copy or delete.
    const bool canCut = RichEdit1->hasSelectedText() && !SpeedButton[13]->isEnabled();
    const auto popup = [this](const char* name) { return PopupMenu1->findChild<QAction*>(name); };
    for (QAction* a : {EditUndo, popup("EditUndo_s")})
        if (a)
            a->setEnabled(canUndo);
    SpeedButton[7]->setEnabled(canUndo);
    for (QAction* a :
         {EditCut, popup("EditCut_s"), EditCopy, popup("EditCopy_s"), EditDelete, popup("EditDelete_s")})
        if (a)
            a->setEnabled(canCut);
    SpeedButton[4]->setEnabled(canCut);
    SpeedButton[5]->setEnabled(canCut);
    for (QAction* a : {EditPaste, popup("EditPaste_s")})
        if (a)
            a->setEnabled(true);
}

void TMainForm::refreshCaretDisplay() {
    // Written directly: the panel setter keeps "1 , 1" in the caret panel.
    StatusBar1->setText(int(EditingPanel::Caret), QString::number(RichEdit1->caretLine() + 1) + " , " +
                                                      QString::number(RichEdit1->caretColumn() + 1));
    const bool selecting = RichEdit1->hasSelectedText() && RichEdit1->isInsertMode();
    setEditingPanel(EditingPanel::CharacterCode,
                    selecting ? QString() : characterCodeText(RichEdit1->characterAtCaret()));
}

void TMainForm::refreshTypingMode() {
    setEditingPanel(EditingPanel::TypingMode, RichEdit1->isInsertMode() ? u(u"挿入") : u(u"上書"));
    refreshCaretDisplay();
}

void TMainForm::showSelectionMark() {
    if (RichEdit1->hasSelectedText() && RichEdit1->isInsertMode()) {
        setEditingPanel(EditingPanel::Selection, SelectionMark);
        refreshEditEnables();
    }
}

void TMainForm::RichEdit1KeyDown(int key, bool press) {
    // While a stop is pending the window is on its way back from a run.
    if (!m_desk->state().stopPending) {
        refreshCaretDisplay();
        selectEntry(RichEdit1->caretLine() + 1);
        setEditingPanel(EditingPanel::Selection, RichEdit1->hasSelectedText() ? SelectionMark : QString());
        refreshTypingMode();
        refreshEditEnables();
    }
    // F3 during a transfer is a stop key and never comes here.
    if (press && key == Qt::Key_F3 && !FindDialog1->findText().isEmpty())
        findInEditor(FindDialog1->findText(), FindDialog1->isUp(), EditCaption);
}

void TMainForm::RichEdit1MouseDown() {
    if (m_desk->state().stopPending || isTransferRunning())
        return;
    refreshCaretDisplay();
    selectEntry(RichEdit1->caretLine() + 1);
    setEditingPanel(EditingPanel::Selection, RichEdit1->hasSelectedText() ? SelectionMark : QString());
    refreshTypingMode();
    refreshEditEnables();
}

void TMainForm::completeWord() {
    if (!m_desk->options().isOn(Opt::Completion) || m_completionList.isEmpty() || isTransferRunning())
        return;
    RichEdit1->completeWord(m_completionList);
}

// ---------------------------------------------------------------- edit commands

void TMainForm::EditAllClick() {
    // The action's own connection has selected the text.
    showSelectionMark();
}

void TMainForm::EditDateTimeClick() {
    RichEdit1->replaceSelection(
        "( " + TransferLog::formatStamp(QLocale::system(), QDateTime::currentDateTime()) + " )");
}

void TMainForm::EditDateClick() {
    RichEdit1->replaceSelection(
        "( " + QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat) + " )");
}

void TMainForm::FileNukidasiClick() {
    const auto range = programRange(RichEdit1->indexedText(), RichEdit1->caretLine());
    if (!range) {
        // No program starts above the caret: there is nothing to take.
        if (RichEdit1->length() > 0)
            RichEdit1->beep();
        return;
    }
    // The caret at the program's start keeps its first line in view.
    RichEdit1->SendScintilla(QsciScintillaBase::SCI_SETSEL, static_cast<unsigned long>(range->end),
                             static_cast<long>(range->start));
    refreshCaretDisplay();
    showSelectionMark();
}

// ---------------------------------------------------------------- jump

void TMainForm::jumpClick() {
    if (RichEdit1->length() == 0)
        return;
    const int line = RichEdit1->caretLine();
    const QString searching = jumpSearchingText(jumpBranch(RichEdit1->lineUtf8(line)));
    if (!searching.isEmpty()) {
        setEditingPanel(EditingPanel::Busy, searching);
        StatusBar1->repaint();
    }
    const JumpOutcome o = findJumpTarget(RichEdit1->indexedText(), line, m_desk->programs().entries());
    setEditingPanel(EditingPanel::Busy, QString());
    if (!o.found()) {
        if (!o.message.isEmpty())
            m_prompts->messageBox(this, o.plainBox ? Prompts::Plain : Prompts::Information, o.caption,
                                  o.message, Prompts::Ok);
        return;
    }
    RichEdit1->showRange(o.selectStart, o.selectEnd);
    if (o.entry >= 0) {
        RichEdit1->setFocus();
        const QSignalBlocker quiet(ComboBox1);
        ComboBox1->setCurrentIndex(o.entry);
    }
    refreshCaretDisplay();
}

void TMainForm::jump_bpClick() {
    const int line = m_desk->document().breakpointLine;
    if (line < 1 || line > RichEdit1->lineCount())
        return;
    RichEdit1->showProgramLine(line - 1);
    RichEdit1->setFocus();
    refreshCaretDisplay();
}

// ---------------------------------------------------------------- find and replace

void TMainForm::FindDoClick() {
    openWithSelection(*RichEdit1, *FindDialog1);
}

void TMainForm::FindNextClick() {
    // Without a text there is nothing to find again: the dialog asks for one.
    if (FindDialog1->findText().isEmpty()) {
        FindDoClick();
        return;
    }
    findInEditor(FindDialog1->findText(), FindDialog1->isUp(), EditCaption);
}

void TMainForm::ReplaceClick() {
    openWithSelection(*RichEdit1, *ReplaceDialog1);
}

bool TMainForm::findInEditor(const QString& text, bool up, const QString& caption) {
    const TextMatch m = RichEdit1->findText(text, up);
    if (!m.found()) {
        m_prompts->messageBox(this, Prompts::Information, caption, NotFound, Prompts::Ok);
        return false;
    }
    RichEdit1->setFocus();
    RichEdit1->showRange(m.start, m.end);
    refreshCaretDisplay();
    selectEntry(RichEdit1->caretLine() + 1);
    return true;
}

bool TMainForm::replacementFits(const QString& replacement, const QString& caption) {
    qsizetype unmappable = 0;
    platform::toSjis(replacement, &unmappable);
    if (unmappable == 0)
        return true;
    m_prompts->messageBox(this, Prompts::Warning, caption,
                          u(u"置換後の文字列にShift-JISで保存できない文字が有ります｡\n置換しませんでした｡"),
                          Prompts::Ok);
    return false;
}

void TMainForm::ReplaceDialog1Replace() {
    const QString find = ReplaceDialog1->findText();
    const QString with = ReplaceDialog1->replaceText().toUpper();
    if (!replacementFits(with, ReplaceCaption))
        return;
    // The search ignores case; so does the test whether the selection is an
    // occurrence (a loaded file may hold lower case).
    if (RichEdit1->selectionMatches(find) && !RichEdit1->replaceSelection(with))
        return;
    findInEditor(find, false, ReplaceCaption);
}

void TMainForm::ReplaceDialog1ReplaceAll() {
    const QString find = ReplaceDialog1->findText();
    const QString with = ReplaceDialog1->replaceText().toUpper();
    if (!replacementFits(with, ReplaceAllCaption))
        return;
    if (!findForward(RichEdit1->indexedText(), find.toUtf8(), 0).found()) {
        m_prompts->messageBox(this, Prompts::Information, ReplaceAllCaption, NotFound, Prompts::Ok);
        return;
    }
    ReplaceDialog1->close();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int replaced = RichEdit1->replaceAll(find, with);
    QApplication::restoreOverrideCursor();
    if (replaced < 0) {
        m_prompts->messageBox(this, Prompts::Warning, ReplaceAllCaption,
                              u(u"置換するとﾃﾞｰﾀが最大文字数を超えます｡\n置換しませんでした｡"), Prompts::Ok);
        return;
    }
    RichEdit1->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, 0ul);
    RichEdit1->SendScintilla(QsciScintillaBase::SCI_SETFIRSTVISIBLELINE, 0ul);
    refreshCaretDisplay();
    m_prompts->messageBox(this, Prompts::Information, ReplaceAllCaption, u(u"すべて置換しました｡"),
                          Prompts::Ok);
}

} // namespace tornyx
