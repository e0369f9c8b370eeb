#pragma once

#include "dnc/DataCheck.h"

#include <QDialog>
#include <QStringList>

#include <functional>
#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace tornyx {

// What "ﾌｧｲﾙ追加" needs from the main window.
class DncFileHost {
public:
    virtual ~DncFileHost() = default;
    // The open-file dialog; empty when cancelled.
    virtual QString chooseFile(QWidget* owner) = 0;
    virtual void errorBox(QWidget* owner, const QString& text) = 0;
    // Reads the file into the hidden second text area, appends that text to
    // the document after a line feed and empties the second area again.
    virtual void appendToDocument(const QString& path) = 0;
    // Returns once the program-number list follows the new text.
    virtual void waitForIndex() = 0;
    virtual void clearModified() = 0;
};

// The DNC set-up dialog: the start program and the data check of the calls.
class TDncForm : public QDialog {
public:
    // optionFile: where the dialog keeps its position ("DncPos"); empty
    // keeps none.
    explicit TDncForm(QWidget* parent = nullptr, QString optionFile = {});

    // What the data check reads: the editor lines and the program-number
    // list as they are when the check runs.
    struct Source {
        std::function<int()> lineCount;
        dnc::LineAt lineAt;
        std::function<QStringList()> entries;
    };
    void setSource(Source source) { m_source = std::move(source); }
    // Asked the Yes/No question of a missing choice; true for Yes.
    std::function<bool(const QString& text)> askYesNo;
    // Without one, "ﾌｧｲﾙ追加" stays disabled.
    void setFileHost(DncFileHost* host) { m_fileHost = host; }

    // Shows the dialog modally over the main window's geometry. nullopt:
    // cancelled; 0: closed without a start program; else the 1-based line
    // of the chosen program-number line.
    std::optional<int> choose(const QStringList& entries, const QRect& mainWindow);

    // Top-left corner for the dialog over the main window.
    static QPoint placement(const QRect& mainWindow, int width);

    // "途中再開" closed the dialog: the run starts from a block the
    // operator chooses next, inside the chosen start program's run.
    bool restartRequested() const { return m_restart; }
    // "送信ﾁｪｯｸ": the drip-feed budget from the chosen start line (1-based).
    std::function<void(int startLine)> budgetCheck;

    void Button1Click(); // 開始
    void Button3Click(); // ﾃﾞｰﾀﾁｪｯｸ
    void Button4Click(); // ﾌｧｲﾙ追加
    void Button5Click(); // 途中再開
    void Button6Click(); // 送信ﾁｪｯｸ

    // Writes the dialog's left and top edges on every way out.
    void done(int result) override;

    QComboBox* ComboBox1;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;
    QPushButton* Button5;
    QPushButton* Button6;
    QGroupBox* GroupBox1;
    QLabel* Label2;
    QListWidget* CheckListBox1;
    QProgressBar* ProgressBar1;

private:
    QString m_optionFile;
    Source m_source;
    DncFileHost* m_fileHost = nullptr;
    int chosenLine() const; // 0 without a choice
    int m_startLine = 0;
    bool m_restart = false;
};

} // namespace tornyx
