#pragma once

#include "app/CommandLine.h"
#include "app/FileTypeList.h"
#include "app/TransferDesk.h"
#include "dnc/ui/TDncForm.h"
#include "editor/ui/NcEditor.h"
#include "platform/Paths.h"
#include "platform/ScreenSaver.h"
#include "platform/SystemCommands.h"
#include "receive/ui/TReadForm.h"
#include "status/ui/StatusBars.h"

#include <QMainWindow>
#include <QRect>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QApplication;
class QComboBox;
class QIcon;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QTimer;
class QToolButton;
class QPrinter;

namespace tornyx::platform {
class Clock;
class SerialPort;
} // namespace tornyx::platform

namespace tornyx {

class FindDialog;
class Prompts;
class ReplaceDialog;
class SettingsWiring;
class TAutoForm;
class TBudgetForm;
class TRestartForm;
class TPrintCtrlDlg;
class TReadForm;
class TSearchFiles;

// A signal lamp with its caption ("DSR", "CTS").
class LabeledEdit : public QWidget {
    Q_OBJECT
public:
    LabeledEdit(const QString& name, const QString& label, QWidget* parent);
    void setText(const QString& text);
    QString text() const;
    void setTextColor(const QColor& c);
    QColor textColor() const;

private:
    QLabel* m_label;
    QLineEdit* m_edit;
};

// What the main window needs from outside, so a test can replace it.
struct MainFormServices {
    Prompts* prompts = nullptr; // nullptr: the real Qt dialogs
    // Opens port "COM"n exclusively and closes it again; false when it could
    // not be opened. Called at close for every port that is not excluded.
    std::function<bool(int)> portProbe;
    // The serial port and clock of the transfers; nullptr: the termios port
    // and the system clock.
    platform::SerialPort* port = nullptr;
    platform::Clock* clock = nullptr;
    // The mail and power-off commands; empty: from Tornyx.INI.
    std::optional<platform::SystemCommands> commands;
    // The folder of the program's files; empty: resolved as at program start.
    std::optional<platform::SettingsHome> home;
    // Dialogs that come with their own pieces; empty: the built-in ones.
    std::function<std::optional<QString>()> switchNumberDialog;
    // The print dialog (nullopt: cancelled, true: the selection); a test
    // answers it with a PDF file.
    std::function<std::optional<bool>(QPrinter&, bool hasSelection, qint64 pages)> printDialog;
    // The desktop: the executable that the launcher and the "Open with"
    // entries start and beside which the help lies (empty: this process),
    // the os-release files (empty: the system's), and how gio and the cache
    // tools are started (empty: detached, when installed).
    QString executable;
    QStringList osReleaseFiles;
    std::function<void(const QString&, const QStringList&)> runTool;
};

// The controls of the main window, by their component names. The window
// builds them once; other code reads them through TMainForm::controls().
struct MainFormControls {
    NcEditor* RichEdit1 = nullptr; // the document
    NcEditor* RichEdit2 = nullptr; // the log view
    QWidget* RichEdit3 = nullptr;  // zero width: the gutter is RichEdit1's own margins
    QWidget* Panel3 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* ComboBox1 = nullptr; // shows the program list of the desk
    QToolButton* BitBtn1 = nullptr;
    QLabel* Label2 = nullptr;
    LabeledEdit* LabeledEdit1 = nullptr; // DSR lamp
    LabeledEdit* LabeledEdit2 = nullptr; // CTS lamp
    EditingStatusBar* StatusBar1 = nullptr;
    TransferStatusBar* StatusBar2 = nullptr;
    std::array<QToolButton*, 16> SpeedButton{}; // 1..15
    QTimer* Timer4 = nullptr;                   // the program-list extraction
    TPrintCtrlDlg* PrintCtrlDlg = nullptr;      // the print settings; owns the session's printer
    TSearchFiles* SearchFiles = nullptr;        // the file search

    QMenu *FileNew = nullptr, *EditMenu = nullptr, *FindMenu = nullptr, *SetMenu = nullptr, *OpMenu = nullptr,
          *Menu_log = nullptr, *Menu_help = nullptr, *PopupMenu1 = nullptr;
    std::array<QAction*, 13> Set{}; // 1..12
    std::array<QAction*, 5> MenuFile{};
    QAction *open1 = nullptr, *FileOpen = nullptr, *FileSave = nullptr, *FileSaveAs = nullptr,
            *opSave = nullptr, *FileSearch = nullptr, *PrintSetting = nullptr, *FilePrint = nullptr,
            *FileExit1 = nullptr;
    QAction *EditUndo = nullptr, *EditCut = nullptr, *EditCopy = nullptr, *EditPaste = nullptr,
            *EditDelete = nullptr, *EditAll = nullptr, *EditDateTime = nullptr, *EditDate = nullptr;
    QAction *FindDo = nullptr, *FindNext = nullptr, *Replace = nullptr, *FileSearch1 = nullptr,
            *jump = nullptr, *jump_bp = nullptr;
    QAction *setting_op = nullptr, *User_op = nullptr, *Menu_setdata = nullptr, *send_step = nullptr,
            *ono_op = nullptr, *DeskTop_set = nullptr, *SendTo_set = nullptr;
    QAction *Menu_send = nullptr, *Menu_read = nullptr, *Menu_dnc = nullptr, *Menu_log_e = nullptr;
    QAction *Menu_help1 = nullptr, *Menu_hp = nullptr, *Menu_ver = nullptr;
    FindDialog* FindDialog1 = nullptr;       // stays open beside the editor
    ReplaceDialog* ReplaceDialog1 = nullptr; // likewise
};

// The main window: a view of the transfer desk. It forwards the operator's
// presses to the desk and draws what the desk and the runs tell it through
// RunDisplay; the document commands (new, open, save, the recent files, the
// program list) live in TMainFormDocument.cpp.
class TMainForm : public QMainWindow,
                  private MainFormControls,
                  private RunDisplay,
                  private RunEditor,
                  private LineHost,
                  private ReceivePrompts,
                  private DncPrompts,
                  private DeskView,
                  private DncFileHost,
                  private ReadFormHost,
                  private CommandLineHost {
    Q_OBJECT

public:
    TMainForm(const QStringList& arguments, MainFormServices services = {}, QWidget* parent = nullptr);
    ~TMainForm() override;

    const MainFormControls& controls() const { return *this; }
    TransferDesk& desk() { return *m_desk; }
    const TransferDesk& desk() const { return *m_desk; }
    const platform::SettingsHome& home() const { return m_desk->home(); }
    Prompts& prompts() { return *m_prompts; }
    int activeProfile() const { return m_desk->options().setNo; }
    const QString& versionText() const { return m_versionText; }
    const QStringList& completionList() const { return m_completionList; }
    bool firstIdleDone() const { return m_idleDone; }
    bool isTransferRunning() const { return m_desk->isRunning(); }

    // --- profiles ---
    void LoadProfile(int n);
    void SelectProfile(int n);
    // Called by the profile editor after it copied its controls into record n.
    // False when Setting.ini could not be written: the reason goes into
    // *error when given, else into a message box.
    bool SaveProfile(int n, bool writeFont, bool writePosition, QString* error = nullptr);

    // --- settings dialogs (TMainFormSettings.cpp) ---
    void SpeedButton11Click(); // the profile editor "通信設定"
    void setting_opClick();    // "オプション設定"
    void User_opClick();       // "ﾕｰｻﾞ定義(拡張子)"
    // "COM"n is not an excluded port and can be opened now.
    bool ProbePort(int n);
    // The file dialogs of documents with the file types: they open at
    // FilterIndex and keep the entry chosen (and, for saving, the default
    // extension); empty when cancelled.
    QString chooseOpenFile(QWidget* owner, const QString& title, const QString& folder);
    QString chooseSaveFile(QWidget* owner, const QString& title, const QString& proposal);
    UserFileTypes userFileTypes() const;

    // --- documents (TMainFormDocument.cpp) ---
    void refreshRecentMenu();
    void addRecent(const QString& path);
    void openRecent(int tag);
    // Loads a file into the editor as the document; the number of bytes, or
    // -1 when it cannot be read.
    qint64 loadDocument(const QString& path);
    // Save as; true when the document was written.
    bool saveAs();
    bool isModified() const override;
    void setModified(bool modified) override;
    // Opens a dropped or command-line file (save question, load, announce).
    void openFileAsDocument(const QString& path);
    // Loads path as the document and announces it: size, save dialog name,
    // DocumentPath, caption, change mark, caret, recent files.
    void loadAsDocument(const QString& path);
    // The save question before the editor's text is replaced: true to go on.
    bool askSaveBeforeReplace() override;
    void dropFiles(const QStringList& paths);
    void setCaption(CaptionMode mode, const QString& fileName) override;
    QRect windowGeometryForStore() const;
    // The save question before the document is replaced. False only when the
    // operator wanted the changes saved and they were not (dialog cancelled,
    // write failed): the command that asked must then leave the text alone.
    bool askSave(const QString& fileName, const QString& title);
    void open1Click();    // New
    void FileOpenClick(); // Open
    bool FileSaveClick(); // Save; true when the document was written
    void opSaveClick();   // split save
    void Timer4Timer();
    void BitBtn1Click();
    void ComboBox1Select(int index); // jump to a program
    // The size text of a number of bytes into editing panel 0.
    void showSize(double bytes);

    // --- edit commands, breakpoints, jump and find (TMainFormEdit.cpp) ---
    // Undo, cut, copy and delete as the editor and the transfer state allow.
    void refreshEditEnables();
    void EditDateTimeClick();
    void EditDateClick();
    void EditAllClick();
    void FileNukidasiClick(); // select the program under the caret
    void jumpClick();
    void jump_bpClick();
    void FindDoClick();
    void FindNextClick();
    void ReplaceClick();

    // --- status display ---
    void setEditingPanel(EditingPanel panel, const QString& text) override;
    void setTransferPanel(TransferPanel panel, const QString& text) override;
    void enterTransferMode() override;
    void leaveTransferMode() override;
    // Busy on: the commands are held while the program list is rebuilt;
    // off: idle again.
    void enterBusyMode();
    void leaveBusyMode();
    void setDsrLamp(bool on) override;
    void setCtsLamp(bool on) override;
    QProgressBar* progressBar() const;

    // --- transfers (TMainFormTransfer.cpp) ---
    void SpeedButton9Click();  // receive
    void SpeedButton10Click(); // send
    void SpeedButton13Click(); // stop
    void SpeedButton14Click(); // step
    void SpeedButton15Click(); // repeat

    // --- DNC (TMainFormDnc.cpp) ---
    // The set-up dialog reads the document and the program list, and adds
    // files to the document, through the window.
    void connectDncForm(TDncForm& form);

    // --- restart and drip-feed budget (TMainFormRestart.cpp) ---
    void restartClick(); // popup "途中再開(ｶｰｿﾙ位置)..."
    // Popup "DNC送信ﾁｪｯｸ..." (0: the last start program) and "送信ﾁｪｯｸ" of the
    // DNC set-up dialog (its start program).
    void checkDripBudget(int startLine);

    // --- the log view (TMainFormLog.cpp): tags 1 send, 2 receive, 3 DNC, 4 end ---
    void Menu_sendClick(int tag);
    void endLogView();
    bool isLogViewOpen() override { return m_logDisplayed; }

    // --- printing and file search (TMainFormPrintSearch.cpp) ---
    void FilePrintClick();
    void PrintSettingClick();
    void FileSearchClick();
    // Opens a file the file search found with the caret on the 1-based
    // line; false when it was not opened.
    bool openSearchHit(const QString& path, qint64 line);

    // --- the desktop, the help and the About box (TMainFormShell.cpp) ---
    void DeskTop_setClick();
    void SendTo_setClick();
    void Menu_help1Click();
    void Menu_hpClick();
    void Menu_verClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void FormCreate(const QStringList& arguments);
    void FormShow();
    void AppIdle();
    bool FormCloseQuery();
    void FormClose();
    void FileExit1Click();
    void setUpTransfers();
    void setUpSplit();
    void setUpPrintSearch();
    void setUpShell();
    // VersionText and OsText, and the caption they give at start.
    void showStartCaption();
    void connectLogMenu();
    bool probePort(int n);
    void connectSettings();

    void buildMenus();
    void buildToolbar();
    void buildClient();
    void applyProfilePresentation(const CommProfile& p);
    void applyProfileGeometry(const CommProfile& p);
    void reportSaveFailure(const QString& path, const QString& reason);
    void clearEditor();
    void connectDocument();
    void connectEditCommands();
    void RichEdit1KeyDown(int key, bool press);
    void RichEdit1MouseDown();
    void refreshTypingMode();
    void completeWord();
    bool findInEditor(const QString& text, bool up, const QString& caption);
    void ReplaceDialog1Replace();
    void ReplaceDialog1ReplaceAll();
    bool replacementFits(const QString& replacement, const QString& caption);
    void showSelectionMark();
    // Writes the editor text to path after the unmappable-character check;
    // false when nothing was written.
    bool writeEditorText(const QString& path);
    void switchCommands(bool enabled, bool includingLog);
    void refreshCaretDisplay();
    void extract(int caretLine);
    void rescheduleIndex(int ms);
    void selectEntry(int line1);
    void RichEdit1Change();
    // Loads a file into an editor; with asDocument the document state follows
    // it. The bytes of the file, 4294967295 when it cannot be opened.
    double load(NcEditor* editor, const QString& path, bool asDocument);
    void clearBreakpointMark();
    void buildRestartMenus();
    int defaultStartProgram();
    std::optional<RunRestart> chooseRestart(bool dnc, int startProgram);
    Start chooseDncRestart(int startProgram);

    // RunDisplay
    void setProgramLabel(const QString& text) override;
    void setProgressRange(int minimum, int maximum) override;
    void setProgress(int value) override;
    void repaintTransferBar() override;
    void prepareTransferBar() override;
    void removeProgressBar() override;
    void setCaptionFullName(CaptionMode mode, const QString& fileName) override;
    void refreshCaption() override;
    void showRunControls(bool run) override;
    void setStepButtonEnabled(bool enabled) override;
    void setEditorContextMenuEnabled(bool enabled) override;
    void setScreenSaverInhibited(bool inhibited) override;

    // RunEditor
    int lineCount() const override;
    QByteArray line(int index) const override;
    bool isEmpty() const override;
    void selectLine(int index, int length) override;
    void caretToStart() override;
    void focus() override;
    void setReadOnly(bool readOnly) override;
    int breakpointLine() const override;
    void clearBreakpoint() override;
    void clear() override;

    // LineHost
    Answer showMessage(Kind kind, const QString& text, Buttons buttons, const QString& caption) override;
    void processEvents() override;
    std::optional<QString> askSwitchNumber() override;

    // ReceivePrompts
    std::optional<QString> chooseReceiveFile(const QString& title, const QString& initialFolder) override;
    std::optional<QString> chooseFolder(const QString& caption, const QString& startFolder) override;
    void setSaveDialogFileName(const QString& path) override;
    QString workingFolder() override;
    void setWorkingFolder(const QString& folder) override;

    // DncPrompts
    Start chooseDncStart() override;

    // ReadFormHost (TMainFormSplit.cpp)
    std::optional<QString> chooseFolder(QWidget* owner, const QString& caption,
                                        const QString& start) override;
    void showError(QWidget* owner, const QString& text) override;
    void informationBox(QWidget* owner, const QString& text) override;
    bool warningYesNo(QWidget* owner, const QString& text) override;
    const IndexedText& editorText() override;
    QString documentPath() override;
    void setMainWindowEnabled(bool enabled) override;
    void dialogClosed() override;
    void splitDone(bool wasModified) override;
    void sendSelected(const ExcludedPrograms& excluded) override;
    void sendCancelled() override;

    // DncFileHost
    QString chooseFile(QWidget* owner) override;
    void errorBox(QWidget* owner, const QString& text) override;
    void appendToDocument(const QString& path) override;
    void waitForIndex() override;
    void clearModified() override;

    // DeskView
    void openFile() override { FileOpenClick(); }
    void extractIndexNow() override;
    void stopIndexExtraction() override;
    void showSelectionDialog(const QString& caption, const QList<ProgramHeader>& programs,
                             const QString& note) override;
    void closeSelectionDialog() override;
    void loadReceivedFile(const QString& path) override { loadAsDocument(path); }
    void openSplitSave() override { opSaveClick(); }
    void newDocument() override { open1Click(); }
    void closeWindow() override;
    void setTicking(bool on) override;

    // CommandLineHost
    bool fileExists(const QString& path) override;
    void errorBox(const QString& text) override;
    bool warningQuestion(const QString& text) override;
    bool appendToTransferList(const QString& path, QString* error) override;
    void loadForSend(const QString& path) override;
    void openPlainPath(const QString& path) override;

    MainFormServices m_services;
    Prompts* m_prompts;
    std::unique_ptr<Prompts> m_ownPrompts;
    std::unique_ptr<platform::SerialPort> m_ownPort;
    std::unique_ptr<platform::Clock> m_ownClock;
    std::unique_ptr<TransferDesk> m_desk;
    platform::ScreenSaver m_screenSaver;
    QTimer* m_deskTimer = nullptr;
    TAutoForm* AutoForm = nullptr;        // the line-switch dialog
    TDncForm* m_dncForm = nullptr;        // the DNC set-up dialog
    SettingsWiring* m_settings = nullptr; // a child of the window
    TReadForm* m_readForm = nullptr;      // the split-save and selective-send dialog
    TRestartForm* m_restartForm = nullptr;
    TBudgetForm* m_budgetForm = nullptr;
    int m_restartStart = 0; // the DNC start program of the last restart or check
    QActionGroup* m_profileGroup = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QRect m_rememberedGeometry;
    QString m_versionText;
    QString m_osText;
    QStringList m_completionList;
    bool m_shown = false;
    bool m_idleDone = false;
    bool m_closing = false;
    bool m_logDisplayed = false;   // a transfer log is shown (Menu_log stays usable)
    bool m_forcedModified = false; // Save as marks the text modified before it saves
    bool m_commandLineOpened = false;
};

int runProgram(QApplication& app);
// The program's icon in every size it comes in.
QIcon programIcon();

} // namespace tornyx
