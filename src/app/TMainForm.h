#pragma once

#include "app/CommandLine.h"
#include "app/Options.h"
#include "editor/ProgramIndex.h"
#include "editor/ui/NcEditor.h"
#include "platform/Paths.h"
#include "platform/SystemCommands.h"
#include "profiles/CommProfile.h"
#include "receive/Receiver.h"
#include "serial/LineOptions.h"
#include "status/TransferState.h"
#include "status/ui/StatusBars.h"

#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QStringList>

#include <array>
#include <functional>

class QAction;
class QActionGroup;
class QApplication;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QTimer;
class QToolButton;
class QsciScintilla;

namespace tornyx::platform {
class Clock;
class SerialPort;
} // namespace tornyx::platform

namespace tornyx {

class Prompts;
class SendRun;
class TAutoForm;
class TransferSession;
class TransferWiring;
struct SendContext;
struct SendOptions;

// The options the serial line and the send run obey, from Tornyx.INI.
LineOptions lineOptionsFrom(const Options& o);
SendOptions sendOptionsFrom(const Options& o);
ReceiveOptions receiveOptionsFrom(const Options& o);

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
};

class TMainForm : public QMainWindow, private CommandLineHost {
    Q_OBJECT
    friend class TransferWiring;

public:
    TMainForm(const QStringList& arguments, MainFormServices services = {}, QWidget* parent = nullptr);
    ~TMainForm() override;

    // --- state owned by the main window ---
    Options options;
    ProfileTable profiles;
    int activeProfile() const { return options.setNo; }
    QString documentPath = QStringLiteral(u"無題");
    QString saveDialogFileName = QStringLiteral(u"無題");
    QString saveDialogTitle;
    QString saveDialogDefaultExt;
    QString transferPath;
    char autoSendRequest = 'N';
    char autoReceiveRequest = 'N';
    bool exitAfterTransfer = false;
    bool commandLineOpened = false;
    QStringList completionList;
    QString versionText;
    QString osText;
    int textLimit = 0; // characters RichEdit1 and RichEdit2 accept
    bool firstIdleDone() const { return m_idleDone; }

    // --- controls, by their component names ---
    NcEditor* RichEdit1 = nullptr;      // the document
    NcEditor* RichEdit2 = nullptr;      // hidden second text area
    QWidget* RichEdit3 = nullptr;       // breakpoint gutter (zero width)
    QWidget* Panel3 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QToolButton* BitBtn1 = nullptr;
    QLabel* Label2 = nullptr;
    LabeledEdit* LabeledEdit1 = nullptr; // DSR lamp
    LabeledEdit* LabeledEdit2 = nullptr; // CTS lamp
    EditingStatusBar* StatusBar1 = nullptr;  // editing
    TransferStatusBar* StatusBar2 = nullptr; // transfer
    QProgressBar* ProgressBar1 = nullptr;
    std::array<QToolButton*, 16> SpeedButton{}; // 1..15
    QTimer* Timer4 = nullptr;

    QMenu *FileNew = nullptr, *EditMenu = nullptr, *FindMenu = nullptr, *SetMenu = nullptr, *OpMenu = nullptr,
          *Menu_log = nullptr, *Menu_help = nullptr, *PopupMenu1 = nullptr;
    std::array<QAction*, 13> Set{}; // 1..12
    std::array<QAction*, 5> MenuFile{};
    QAction *open1 = nullptr, *FileOpen = nullptr, *FileSave = nullptr, *FileSaveAs = nullptr, *opSave = nullptr,
            *FileSearch = nullptr, *PrintSetting = nullptr, *FilePrint = nullptr, *FileExit1 = nullptr;
    QAction *EditUndo = nullptr, *EditCut = nullptr, *EditCopy = nullptr, *EditPaste = nullptr,
            *EditDelete = nullptr, *EditAll = nullptr, *EditDateTime = nullptr, *EditDate = nullptr;
    QAction *FindDo = nullptr, *FindNext = nullptr, *Replace = nullptr, *FileSearch1 = nullptr, *jump = nullptr,
            *jump_bp = nullptr;
    QAction *setting_op = nullptr, *User_op = nullptr, *Menu_setdata = nullptr, *send_step = nullptr,
            *ono_op = nullptr, *DeskTop_set = nullptr, *SendTo_set = nullptr;
    QAction *Menu_send = nullptr, *Menu_read = nullptr, *Menu_dnc = nullptr, *Menu_log_e = nullptr;
    QAction *Menu_help1 = nullptr, *Menu_hp = nullptr, *Menu_ver = nullptr;

    // --- profiles ---
    void LoadProfile(int n);
    void SelectProfile(int n);
    // Called by the profile editor after it copied its controls into record n.
    void SaveProfile(int n, bool writeFont, bool writePosition);

    // --- recent files and documents ---
    void refreshRecentMenu();
    void addRecent(const QString& path);
    void openRecent(int tag);
    // Loads a file into the editor as the document; the number of bytes, or
    // -1 when it cannot be read.
    qint64 loadDocument(const QString& path);
    // Save as; true when the document was written.
    bool saveAs();
    bool isModified() const;
    void setModified(bool modified);
    // Opens a dropped or command-line file (save question, load, announce).
    void openFileAsDocument(const QString& path);
    // Loads path as the document and announces it: size, save dialog name,
    // DocumentPath, caption, change mark, caret, recent files.
    void loadAsDocument(const QString& path);
    // The save question before the editor's text is replaced: true to go on.
    bool askSaveBeforeReplace();
    void dropFiles(const QStringList& paths);

    void setCaption(int mode, const QString& fileName);
    QRect windowGeometryForStore() const;

    // --- the document and its program-number index (TMainFormDocument.cpp) ---
    ProgramIndex programIndex;
    bool receivedPending = false; // received data waits to be loaded
    quint32 documentSize = 0;     // bytes of the file last loaded
    double sizeValue = 0;         // the number last shown in the size panel
    int breakpointLine = -1;      // 1-based; -1 for none
    bool logDisplayed = false;    // a transfer log is shown (Menu_log stays usable)
    // The split-save dialog, given a copy of the program-number list.
    std::function<void(const QStringList&)> splitSaveDialog;

    // Loads a file into an editor; with asDocument the document state follows
    // it. The bytes of the file, 4294967295 when it cannot be opened.
    double load(NcEditor* editor, const QString& path, bool asDocument);
    // The size text of a number of bytes into editing panel 0.
    void showSize(double bytes);
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
    void RichEdit1Change();
    void extract(int caretLine, int caretColumn);
    void selectEntry(int line1);
    void refreshCaretDisplay();

    // --- status display ---
    void setEditingPanel(int index, const QString& text);
    void setTransferPanel(int index, const QString& text);
    // Transfer mode on: back to editing; off: a transfer starts.
    void setTransferMode(bool on);
    // Busy mode on: idle again; off: the commands are held while the
    // program-number list is rebuilt.
    void setBusyMode(bool on);
    void setDsrLamp(bool on);
    void setCtsLamp(bool on);

    // --- transfers (TMainFormTransfer.cpp) ---
    TransferState transferState;
    QTimer* Timer1 = nullptr; // the post-transfer step, 2 s after every run
    QTimer* Timer2 = nullptr; // remaining-time estimate during a send
    bool stopPending = false; // the stop button was pressed; cleared when idle again
    bool caretUpdatesSuspended = false;
    bool closeAfterTransfer = false;
    bool shiftForNextTransfer = false; // as if Shift were held on the next Send/Receive
    TAutoForm* AutoForm = nullptr; // the line-switch dialog
    // Seams for the dialogs and runs that come with their own pieces (a test
    // may set switchNumberDialog to answer for TAutoForm).
    std::function<std::optional<QString>()> switchNumberDialog;
    std::function<void()> dncRun;
    std::function<void(const QString&, const QStringList&, const QString&)> selectionDialog;

    TransferSession& session();
    SendRun& sendRun();
    Prompts& prompts();
    bool isTransferRunning() const; // a send, receive or DNC run is in its loop
    bool receiving = false;
    SendContext sendContext() const;
    void SpeedButton9Click();  // receive
    void SpeedButton10Click(); // send
    void SpeedButton13Click(); // stop
    void SpeedButton14Click(); // step
    void SpeedButton15Click(); // repeat
    void Timer1Timer();
    // Log view (TMainFormLog.cpp): tags 1 send, 2 receive, 3 DNC, 4 end.
    void Menu_sendClick(int tag);
    void endLogView();
    void startReceive(const QString& path);
    void loadReceived(const QString& path);

    const platform::SettingsHome& home() const { return m_home; }

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
    void setUpTransfers(MainFormServices& services);
    void runReceive(const std::function<void(Receiver&, Receiver::Request&)>& how);
    void connectLogMenu();
    bool probeAllPorts(int n);

    void buildMenus();
    void buildToolbar();
    void buildClient();
    void applyProfilePresentation(const CommProfile& p);
    void applyProfileGeometry(const CommProfile& p);
    void reportSaveFailure(const QString& path, const QString& reason);
    void clearEditor();
    void connectDocument();
    // Writes the editor text to path after the unmappable-character check;
    // false when nothing was written.
    bool writeEditorText(const QString& path);
    void switchCommands(bool enabled, bool includingLog);
    void syncEntriesToList();

    // CommandLineHost
    bool fileExists(const QString& path) override;
    void errorBox(const QString& text) override;
    bool warningQuestion(const QString& text) override;
    bool appendToTransferList(const QString& path, QString* error) override;
    void loadForSend(const QString& path) override;
    void openPlainPath(const QString& path) override;

    platform::SettingsHome m_home;
    Prompts* m_prompts;
    std::unique_ptr<Prompts> m_ownPrompts;
    std::function<bool(int)> m_portProbe;
    std::unique_ptr<TransferWiring> m_transfer;
    QActionGroup* m_profileGroup = nullptr;
    QRect m_rememberedGeometry;
    bool m_shown = false;
    bool m_idleDone = false;
    bool m_closing = false;
    bool m_forcedModified = false; // Save as marks the text modified before it saves
};

int runProgram(QApplication& app);

} // namespace tornyx
