#pragma once

#include "editor/ProgramIndex.h"
#include "editor/ProgramSelection.h"

#include <QDialog>
#include <QList>
#include <QRect>
#include <QStringList>

#include <optional>

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;

namespace tornyx {

// What the dialog needs from the main window.
class ReadFormHost {
public:
    virtual ~ReadFormHost() = default;
    // The folder chooser; nullopt when cancelled.
    virtual std::optional<QString> chooseFolder(QWidget* owner, const QString& caption,
                                                const QString& start) = 0;
    // Boxes placed 50 pixels right of and below the owner's corner.
    virtual void showError(QWidget* owner, const QString& text) = 0;
    virtual void informationBox(QWidget* owner, const QString& text) = 0;
    virtual bool warningYesNo(QWidget* owner, const QString& text) = 0;

    // The editor text and its document.
    virtual const IndexedText& editorText() = 0;
    virtual QString documentPath() = 0;
    virtual bool isModified() const = 0;

    // The main window is disabled while the dialog is open.
    virtual void setMainWindowEnabled(bool enabled) = 0;
    // The dialog has closed (any way): the editor gets the focus and the
    // program-number refresh (Timer4) stops.
    virtual void dialogClosed() = 0;
    // A split went through. When the document was not modified before it,
    // the modified mark is cleared, the caption shows "<編集>" + the file
    // name and editing panel 2 is emptied.
    virtual void splitDone(bool wasModified) = 0;
    // "選択送信": the send run starts and leaves these programs out.
    virtual void sendSelected(const ExcludedPrograms& excluded) = 0;
    // The selective send was given up: the screen saver may start again and
    // the post-transfer step (Timer1) gives the window back.
    virtual void sendCancelled() = 0;
};

// The split-save and selective-send dialog. Modeless: it is shown over the
// main window, which stays disabled until the dialog closes.
class TReadForm : public QDialog {
    Q_OBJECT

public:
    enum class Mode { Split, Send };

    // optionFile: Tornyx.INI, whose section "Sub" holds the split folder,
    // the three options and the dialog's last position.
    TReadForm(QString optionFile, ReadFormHost& host, QWidget* parent = nullptr);

    // "分割保存": entries are the program-number list ("00012-O1234(A)"),
    // all ticked. Nothing happens for an empty editor text.
    void openForSplit(const QStringList& entries, const QRect& mainWindow);
    // "選択送信": the program starts to choose from, all ticked.
    void openForSend(const QList<ProgramHeader>& programs, const QString& note, const QRect& mainWindow);

    Mode mode() const { return m_mode; }
    bool isSplitting() const { return m_splitting; }
    // How often a running split lets the window repaint, in milliseconds.
    void setRepaintInterval(int ms) { m_repaintMs = ms; }

    // Top-left corner that centres a dialog of this size on the main window.
    static QPoint placement(const QRect& mainWindow, const QSize& own);

    void Button1Click(); // 選択保存
    void Button3Click(); // 選択解除
    void Button4Click(); // 全選択
    void Button5Click(); // 選択送信

    // "中止" of either mode, Escape and the window's close button. While a
    // split runs the dialog cannot be closed.
    void reject() override;
    // Every way out: the position and the options are written, the main
    // window is enabled again.
    void done(int result) override;

    QListWidget* CheckListBox1;
    QLabel* Label1;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;
    QPushButton* Button5;
    QPushButton* Button6;
    QProgressBar* ProgressBar1;
    QMenu* OP1;
    QAction* op_f;
    QAction* op_b;
    QAction* op_n;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void open(Mode mode, const QList<ProgramHeader>& programs, const QStringList& shown,
              const QRect& mainWindow);
    void readSettings();
    void setAllTicked(bool ticked);
    void setSplitControlsEnabled(bool enabled);
    QList<ProgramHeader> uncheckedPrograms(int* ticked) const;

    QString m_optionFile;
    ReadFormHost& m_host;
    Mode m_mode = Mode::Split;
    QString m_dirPath;
    bool m_splitting = false;
    bool m_open = false;
    int m_repaintMs = 30;
};

} // namespace tornyx
