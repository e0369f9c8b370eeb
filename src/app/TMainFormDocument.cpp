// The main window's document: New, Open, Save, Save as, drop and the recent
// files, the program list (the desk's model, shown by ComboBox1), and the
// status display.

#include "app/Prompts.h"
#include "app/TMainForm.h"
#include "editor/DocumentFile.h"
#include "editor/ui/NcEditor.h"
#include "status/Caption.h"
#include "status/ui/StatusBars.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

namespace tornyx {

namespace {

QString u(const char16_t* s) {
    return QString::fromUtf16(s);
}

const QString Untitled = QString::fromUtf16(u"無題");
const QString SaveTitle = QString::fromUtf16(u"ﾃﾞｰﾀ保存");
constexpr double CannotOpen = 4294967295.0;

// The questions of reading a file, as warning boxes at the window's corner.
class FormDocumentHost : public DocumentHost {
public:
    FormDocumentHost(Prompts& p, QWidget* owner) : m_p(p), m_owner(owner) {}
    bool warningYesNo(const QString& text) override {
        return m_p.messageBox(m_owner, Prompts::Warning, "Tornyx", text, Prompts::Yes | Prompts::No) ==
               Prompts::Yes;
    }
    void warningYes(const QString& text) override {
        m_p.messageBox(m_owner, Prompts::Warning, "Tornyx", text, Prompts::Yes);
    }

private:
    Prompts& m_p;
    QWidget* m_owner;
};

// A folder, a device or a FIFO named by a plain path, a drop or a recent
// entry is refused before anything is asked or cleared, with the box Open
// and S= give for what is not a file; true when path was refused.
bool refusedAsDocument(Prompts& prompts, QWidget* owner, const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() || info.isFile())
        return false;
    prompts.messageBox(owner, Prompts::Error, "Tornyx", text::fileMissing(path), Prompts::Yes);
    return true;
}

} // namespace

void TMainForm::connectDocument() {
    ProgramIndex& programs = m_desk->programs();
    RichEdit1->setProgramIndex(&programs);
    RichEdit1->setTextLimit(NcEditor::DefaultTextLimit);
    RichEdit2->setTextLimit(NcEditor::DefaultTextLimit);
    RichEdit1->setTextMargins(10);
    // The combo box shows the desk's program list; Timer4 runs its extraction.
    programs.onReset = [this] {
        const QSignalBlocker quiet(ComboBox1);
        ComboBox1->clear();
        ComboBox1->addItems(m_desk->programs().entries());
    };
    programs.onAdded = [this](const QString& entry) { ComboBox1->addItem(entry); };
    programs.onScheduled = [this](int ms) { Timer4->start(ms); };
    programs.onCancelled = [this] { Timer4->stop(); };
    connect(BitBtn1, &QToolButton::clicked, this, [this] { BitBtn1Click(); });
    connect(ComboBox1, &QComboBox::activated, this, [this](int i) { ComboBox1Select(i); });
    connect(Timer4, &QTimer::timeout, this, [this] { Timer4Timer(); });
    connect(RichEdit1, &QsciScintilla::textChanged, this, [this] { RichEdit1Change(); });
    // Every typed key holds the extraction off until a second after the last.
    connect(RichEdit1, &NcEditor::typingKey, this, [this] { m_desk->programs().cancelExtraction(); });
    // The list always shows the program under the caret.
    connect(RichEdit1, &QsciScintilla::cursorPositionChanged, this, [this] {
        refreshCaretDisplay();
        selectEntry(RichEdit1->caretLine() + 1);
    });
    Timer4->setInterval(500);
}

// ---------------------------------------------------------------- state

bool TMainForm::isModified() const {
    return m_forcedModified || RichEdit1->isModified();
}

void TMainForm::setModified(bool modified) {
    m_forcedModified = modified;
    if (!modified)
        RichEdit1->setModified(false);
    StatusBar1->setText(4, modified ? u(u"<変更>") : QString());
}

void TMainForm::clearEditor() {
    RichEdit1->clearQuietly();
    setModified(false);
}

void TMainForm::clearBreakpointMark() {
    RichEdit1->clearBreakpoint();
    m_desk->document().breakpointLine = -1;
    jump_bp->setEnabled(false);
}

void TMainForm::setCaption(CaptionMode mode, const QString& fileName) {
    setWindowTitle(
        makeCaption(int(mode), fileName, m_desk->options().isOn(Opt::FileNameCaption), m_versionText));
}

void TMainForm::showSize(double bytes) {
    m_desk->document().sizeValue = bytes;
    setEditingPanel(EditingPanel::Size, sizeText(bytes, m_desk->options().isOn(Opt::Metres)));
}

// ---------------------------------------------------------------- loading

double TMainForm::load(NcEditor* editor, const QString& path, bool asDocument) {
    FormDocumentHost host(*m_prompts, this);
    const ReadResult r = editor->loadFile(path, m_desk->state().receivedPending, host);
    if (asDocument) {
        editor->setTextMargins(10);
        m_desk->options().dirPath = folderOf(path);
        m_desk->document().size = static_cast<quint32>(r.fileSize);
        m_desk->programs().clear();
    }
    if (r.opened && r.fileSize != 0)
        m_desk->programs().scheduleExtraction(1);
    else
        editor->clearQuietly();
    clearBreakpointMark();
    return r.opened ? static_cast<double>(r.fileSize) : CannotOpen;
}

qint64 TMainForm::loadDocument(const QString& path) {
    const double n = load(RichEdit1, path, true);
    return n == CannotOpen ? -1 : static_cast<qint64>(n);
}

bool TMainForm::askSave(const QString& fileName, const QString& title) {
    const int r = m_prompts->messageBox(this, Prompts::Exclamation, u(u"編集"),
                                        text::saveChangesQuestion(fileName), Prompts::Yes | Prompts::No);
    if (r != Prompts::Yes)
        return true;
    const QString name = chooseSaveFile(this, title, m_desk->document().saveDialogFileName);
    // Changes the operator asked to keep are not thrown away because the
    // dialog was closed or the file could not be written.
    if (name.isEmpty() || !writeEditorText(name))
        return false;
    setCaption(CaptionMode::Editing, m_desk->document().path);
    setModified(false);
    return true;
}

bool TMainForm::askSaveBeforeReplace() {
    return !isModified() || askSave(m_desk->document().saveDialogFileName, SaveTitle);
}

void TMainForm::open1Click() {
    DocumentState& doc = m_desk->document();
    RichEdit1->setTextMargins(10);
    if (!askSaveBeforeReplace())
        return;
    RichEdit1->clearQuietly();
    doc.path = doc.saveDialogFileName = Untitled;
    setCaption(CaptionMode::New, doc.path);
    StatusBar1->setText(4, QString());
    clearBreakpointMark();
    refreshCaretDisplay();
    StatusBar1->setText(0, u(u"ｻｲｽﾞ"));
    setModified(false);
    m_desk->programs().clear();
    m_desk->programs().setKey(QString());
}

void TMainForm::FileOpenClick() {
    if (!askSaveBeforeReplace())
        return;
    QString folder = m_desk->options().dirPath;
    const QString own = m_desk->activeProfile().setting.dirPathSub;
    if (!own.isEmpty()) {
        if (QFileInfo(own).isDir())
            folder = own;
        else
            m_prompts->messageBox(this, Prompts::Error, "Tornyx", text::folderMissing(own), Prompts::Yes);
    }
    const QString path = chooseOpenFile(this, u(u"開く"), folder);
    if (path.isEmpty())
        return;
    if (!QFileInfo(path).isFile()) {
        m_prompts->messageBox(this, Prompts::Error, "Tornyx", text::fileMissing(path), Prompts::Yes);
        return;
    }
    loadAsDocument(path);
    rescheduleIndex(100); // the index follows the new text soon
}

void TMainForm::openFileAsDocument(const QString& path) {
    if (refusedAsDocument(*m_prompts, this, path) || !askSaveBeforeReplace())
        return;
    RichEdit1->clearQuietly();
    loadAsDocument(path);
}

void TMainForm::loadAsDocument(const QString& path) {
    const double size = load(RichEdit1, path, true);
    showSize(size == CannotOpen ? 0 : size);
    DocumentState& doc = m_desk->document();
    doc.saveDialogFileName = doc.path = path;
    setCaption(CaptionMode::Editing, path);
    StatusBar1->setText(4, QString());
    refreshCaretDisplay();
    setModified(false);
    addRecent(path);
}

void TMainForm::dropFiles(const QStringList& paths) {
    if (paths.isEmpty() || paths.size() > 2)
        return;
    openFileAsDocument(paths.front());
}

void TMainForm::openRecent(int tag) {
    if (tag < 1 || tag > 5)
        return;
    const QString path = m_desk->options().recentFiles[tag - 1];
    if (path.isEmpty() || refusedAsDocument(*m_prompts, this, path))
        return;
    if (!askSaveBeforeReplace())
        return;
    if (!QFileInfo(path).isFile())
        return; // a vanished file is passed over; its entry stays
    loadAsDocument(path);
    rescheduleIndex(100); // the index follows the new text soon
}

// ---------------------------------------------------------------- saving

bool TMainForm::writeEditorText(const QString& path) {
    const EncodedDocument doc = RichEdit1->encodeForFile();
    if (doc.unmappable > 0 &&
        m_prompts->messageBox(this, Prompts::Warning, "Tornyx", text::unmappableQuestion(doc.unmappable),
                              Prompts::Yes | Prompts::No) != Prompts::Yes)
        return false;
    QString why;
    if (!writeDocumentFile(path, doc.bytes, &why)) {
        m_prompts->messageBox(this, Prompts::Error, "Tornyx", text::writeFailed(path, why), Prompts::Ok);
        return false;
    }
    return true;
}

bool TMainForm::FileSaveClick() {
    if (!isModified())
        return false;
    DocumentState& doc = m_desk->document();
    // An untitled document has no file yet: the operator chooses where it goes.
    if (doc.path == Untitled)
        return saveAs();
    if (!writeEditorText(doc.path))
        return false;
    setCaption(CaptionMode::Editing, doc.path);
    StatusBar1->setText(4, QString());
    setModified(false);
    showSize(static_cast<double>(QFileInfo(doc.path).size()));
    m_desk->programs().scheduleExtraction(1000);
    return true;
}

bool TMainForm::saveAs() {
    DocumentState& doc = m_desk->document();
    const QString name = chooseSaveFile(this, SaveTitle, doc.saveDialogFileName);
    if (name.isEmpty())
        return false;
    QApplication::processEvents();
    const QString before = doc.path;
    const QString beforeName = doc.saveDialogFileName;
    doc.path = doc.saveDialogFileName = name;
    setModified(true);
    if (!FileSaveClick()) {
        doc.path = before;
        doc.saveDialogFileName = beforeName;
        return false;
    }
    addRecent(name);
    return true;
}

// ---------------------------------------------------------------- recent files

void TMainForm::addRecent(const QString& path) {
    tornyx::addRecent(m_desk->options().recentFiles, path);
    refreshRecentMenu();
}

void TMainForm::refreshRecentMenu() {
    for (int i = 0; i < 5; ++i) {
        const QString& e = m_desk->options().recentFiles[i];
        if (!e.isEmpty()) {
            MenuFile[i]->setVisible(true);
            MenuFile[i]->setEnabled(true);
            MenuFile[i]->setText("&" + QString::number(i + 1) + " " + e);
        } else if (i > 0) {
            MenuFile[i]->setVisible(false);
        } else {
            MenuFile[i]->setVisible(true);
            MenuFile[i]->setEnabled(false);
            MenuFile[i]->setText(u(u"最近使ったﾌｧｲﾙ"));
        }
    }
}

// ---------------------------------------------------------------- program numbers

// A pending extraction moves to ms from now; none is started.
void TMainForm::rescheduleIndex(int ms) {
    Timer4->setInterval(ms);
    if (m_desk->programs().isExtractionScheduled())
        m_desk->programs().scheduleExtraction(ms);
}

void TMainForm::RichEdit1Change() {
    if (!isModified())
        return;
    StatusBar1->setText(4, u(u"<変更>"));
    if (!m_desk->options().autoIndexOff)
        m_desk->programs().scheduleExtraction(1000);
}

void TMainForm::Timer4Timer() {
    ProgramIndex& programs = m_desk->programs();
    if (m_desk->options().autoIndexOff) {
        // Keeps ticking, so that switching the option back takes effect, but
        // never at the 1 ms of a fresh load.
        programs.scheduleExtraction(std::max(Timer4->interval(), 500));
        return;
    }
    Timer4->stop();
    programs.extractionStarted();
    if (RichEdit1->length() == 0 || !hasProgramNumber(RichEdit1->indexedText())) {
        programs.extractionDone();
        return;
    }
    BitBtn1->setEnabled(false);
    StatusBar1->setText(6, u(u"ﾌﾟﾛｸﾞﾗﾑ番号抽出中"));
    StatusBar1->repaint();
    extract(RichEdit1->caretLine());
    refreshCaretDisplay();
    Timer4->setInterval(100);
    programs.indexedLineCount = RichEdit1->lineCount();
}

void TMainForm::BitBtn1Click() {
    if (RichEdit1->length() == 0 || !hasProgramNumber(RichEdit1->indexedText()))
        return;
    ProgramIndex& programs = m_desk->programs();
    enterBusyMode();
    BitBtn1->setEnabled(false);
    programs.cancelExtraction();
    programs.extractionStarted();
    StatusBar1->setText(6, u(u"ﾌﾟﾛｸﾞﾗﾑ番号抽出中"));
    StatusBar1->repaint();
    extract(1);
    refreshCaretDisplay();
    Timer4->setInterval(100);
    leaveBusyMode();
}

void TMainForm::extract(int caretLine) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ProgramIndex& programs = m_desk->programs();
    programs.extract(RichEdit1->indexedText(), caretLine, RichEdit1->firstChangedLine());
    RichEdit1->resetFirstChangedLine();
    selectEntry(caretLine + 1);
    StatusBar1->setText(6, QString());
    BitBtn1->setEnabled(true);
    programs.extractionDone();
    QApplication::restoreOverrideCursor();
}

void TMainForm::selectEntry(int line1) {
    const int i = m_desk->programs().entryForLine(line1);
    if (i < 0 || i >= ComboBox1->count())
        return;
    const QSignalBlocker quiet(ComboBox1);
    ComboBox1->setCurrentIndex(i);
}

void TMainForm::ComboBox1Select(int index) {
    ProgramIndex& programs = m_desk->programs();
    if (programs.isEmpty() || index < 0 || index >= programs.entries().size())
        return;
    const QString entry = programs.entries().at(index);
    const int line = entryLine(entry) - 1;
    if (line < 0 || line >= RichEdit1->lineCount() || RichEdit1->lineText(line) != entryText(entry)) {
        // The line was edited since the list was made.
        programs.removeEntry(index);
        RichEdit1->setFocus();
        refreshCaretDisplay();
        selectEntry(RichEdit1->caretLine() + 1);
        return;
    }
    RichEdit1->showProgramLine(line);
    RichEdit1->setFocus();
    {
        const QSignalBlocker quiet(ComboBox1);
        ComboBox1->setCurrentIndex(index);
    }
    refreshCaretDisplay();
}

// ---------------------------------------------------------------- status display

void TMainForm::setEditingPanel(EditingPanel panel, const QString& text) {
    StatusBar1->setEditingPanel(int(panel), text);
}

void TMainForm::setTransferPanel(TransferPanel panel, const QString& text) {
    StatusBar2->setTransferPanel(int(panel), text);
}

void TMainForm::switchCommands(bool enabled, bool includingLog) {
    for (int i : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 15})
        SpeedButton[i]->setEnabled(enabled);
    for (QMenu* m : {FileNew, EditMenu, FindMenu, SetMenu, OpMenu, Menu_help})
        m->menuAction()->setEnabled(enabled);
    Menu_ver->setEnabled(enabled);
    RichEdit3->setEnabled(enabled);
    if (includingLog)
        Menu_log->menuAction()->setEnabled(enabled);
}

void TMainForm::leaveTransferMode() {
    switchCommands(true, !m_logDisplayed);
    SpeedButton[13]->setEnabled(false);
    RichEdit1->setReadOnly(false);
    RichEdit1->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, 0ul);
    StatusBar1->setText(5, QString());
    StatusBar2->hide();
    StatusBar1->show();
    LabeledEdit1->hide();
    LabeledEdit2->hide();
    // Back from a run: cut and copy again only with a selection.
    refreshEditEnables();
}

void TMainForm::enterTransferMode() {
    switchCommands(false, !m_logDisplayed);
    if (m_logDisplayed)
        return;
    SpeedButton[13]->setEnabled(true);
    // What is being sent must not change under the run.
    RichEdit1->setReadOnly(true);
    StatusBar2->show();
    StatusBar1->hide();
    LabeledEdit1->show();
    LabeledEdit2->show();
    if (m_desk->activeProfile().send.dncSend) {
        StatusBar2->showElapsed();
        ProgressBar1 = nullptr;
    } else {
        ProgressBar1 = StatusBar2->startProgress();
    }
}

void TMainForm::enterBusyMode() {
    switchCommands(false, true);
    SpeedButton[13]->setEnabled(true);
}

void TMainForm::leaveBusyMode() {
    switchCommands(true, true);
    SpeedButton[13]->setEnabled(false);
    refreshEditEnables();
    BitBtn1->setEnabled(true);
    StatusBar1->setText(5, QString());
    StatusBar1->setText(6, QString());
}

} // namespace tornyx
