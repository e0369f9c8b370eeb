// The main window's printing and file search: the menu commands, the print
// job over the editor's buffer, and opening a hit of the file search.

#include "app/Prompts.h"
#include "app/TMainForm.h"
#include "editor/DocumentFile.h"
#include "editor/ui/NcEditor.h"
#include "print/ui/PrintCommand.h"
#include "print/ui/TPrintCtrlDlg.h"
#include "search/ui/TSearchFiles.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QTimer>

namespace tornyx {

void TMainForm::setUpPrintSearch() {
    const QString ini = home().optionFile();
    PrintCtrlDlg = new TPrintCtrlDlg(ini, this);
    PrintCtrlDlg->saveFailed = [this](const QString& path, const QString& why) {
        reportSaveFailure(path, why);
    };
    SearchFiles = new TSearchFiles(ini, this);
    SearchFiles->chooseFolder = [this](const QString& title, const QString& start) {
        return m_prompts->folderName(SearchFiles, title, start);
    };
    SearchFiles->warn = [this](const QString& text) {
        m_prompts->messageBox(SearchFiles, Prompts::Warning, "Tornyx", text, Prompts::Ok);
    };
    SearchFiles->openHit = [this](const QString& path, qint64 line) { return openSearchHit(path, line); };

    connect(FilePrint, &QAction::triggered, this, [this] { FilePrintClick(); });
    connect(PrintSetting, &QAction::triggered, this, [this] { PrintSettingClick(); });
    connect(FileSearch, &QAction::triggered, this, [this] { FileSearchClick(); });
    connect(FileSearch1, &QAction::triggered, this, [this] { FileSearchClick(); });
}

void TMainForm::FilePrintClick() {
    // A shortcut still reaches here while a run holds the window; a print
    // job inside the run's loop would hold the line up.
    if (isTransferRunning())
        return;
    PrintCommand command(this);
    if (m_services.printDialog)
        command.dialog = m_services.printDialog;
    PrintOrder order;
    order.text = &RichEdit1->indexedText();
    order.selectionFrom = RichEdit1->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART);
    order.selectionTo = RichEdit1->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEND);
    order.documentPath = m_desk->document().path;
    order.font = RichEdit1->font();
    order.settings = PrintCtrlDlg->settings();
    order.printedAt = QDateTime::currentDateTime();
    const PrintResult r = command.run(PrintCtrlDlg->printer(), order);
    if (r.outcome == PrintOutcome::Failed)
        m_prompts->messageBox(this, Prompts::Error, "Tornyx", r.failure, Prompts::Ok);
}

void TMainForm::PrintSettingClick() {
    if (isTransferRunning())
        return;
    PrintCtrlDlg->showOver(frameGeometry());
    // The option file is written again at close from the desk's copy; it
    // must not put the old settings back.
    const PrintSettings& s = PrintCtrlDlg->settings();
    Options& options = m_desk->options();
    options.printFullPath = s.fullPath;
    options.printFileName = s.fileName;
    options.printPage = s.page;
    options.printLineNo = s.lineNo;
    options.topMargin = s.topMargin;
    options.bottomMargin = s.bottomMargin;
    options.leftMargin = s.leftMargin;
    options.rightMargin = s.rightMargin;
}

void TMainForm::FileSearchClick() {
    if (isTransferRunning())
        return;
    const QString own = m_desk->profiles()[activeProfile()].setting.dirPathSub;
    SearchFiles->setProfileFolder(own);
    SearchFiles->setDefaultFolder(own.isEmpty() ? m_desk->options().dirPath : own);
    SearchFiles->showOver(frameGeometry());
}

bool TMainForm::openSearchHit(const QString& path, qint64 line) {
    if (!QFileInfo(path).isFile()) {
        m_prompts->messageBox(SearchFiles, Prompts::Error, "Tornyx", text::fileMissing(path), Prompts::Yes);
        return false;
    }
    if (!askSaveBeforeReplace())
        return false;
    RichEdit1->clearQuietly();
    loadAsDocument(path);
    // The line the operator chose, near the top of the view.
    const int l = static_cast<int>(std::clamp<qint64>(line - 1, 0, std::max(0, RichEdit1->lineCount() - 1)));
    RichEdit1->setFirstVisibleLine(std::max(0, l - 1));
    RichEdit1->setCursorPosition(l, 0);
    return true;
}

} // namespace tornyx
