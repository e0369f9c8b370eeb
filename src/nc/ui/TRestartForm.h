#pragma once

#include "nc/RestartPlan.h"

#include <QDialog>

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace tornyx {

class IndexedText;

// The restart dialog: the operator names the block, reads the header built
// from the program's state with what the scan could not know, edits it,
// and only then starts the run.
class TRestartForm : public QDialog {
public:
    TRestartForm(QWidget* parent, QString optionFile);

    struct Source {
        const IndexedText* text = nullptr;
        nc::ScanSettings settings; // the run's order from its start line, the reader
        QStringList headerTemplate;
        int caretLine = 0; // 0-based
        // A DNC run: the program list its start program is chosen from
        // (settings.flow.startLine the one chosen); empty for a send run.
        QStringList programs;
    };
    struct Result {
        nc::RestartPlan plan;
        QStringList header; // as the operator left it: what is sent
    };
    // Shows the dialog over the main window with the caret line chosen;
    // nullopt when the operator cancels.
    std::optional<Result> choose(const Source& source, const QRect& mainWindow);

    // Message boxes of the main window's kind; the dialog is their owner.
    std::function<void(const QString& text)> errorBox;
    std::function<bool(const QString& text)> askYesNo;

    void Button1Click(); // 送信開始
    void Button3Click(); // ﾍｯﾀﾞｰ作成

    const nc::RestartPlan& plan() const { return m_plan; }

    void done(int result) override;

    QComboBox* ComboBox1;       // the DNC start program
    QRadioButton* RadioButton1; // ｶｰｿﾙ行
    QRadioButton* RadioButton2; // ｼｰｹﾝｽ番号
    QRadioButton* RadioButton3; // 検索文字列
    QSpinBox* SpinEdit1;        // line
    QLineEdit* Edit1;           // N
    QLineEdit* Edit2;           // text
    QSpinBox* SpinEdit2;        // n-th line
    QSpinBox* SpinEdit3;        // n-th pass
    QPushButton* Button3;
    QLabel* Label2;        // the block, or why not
    QPlainTextEdit* Memo1; // the header
    QListWidget* ListBox1; // what the scan could not know
    QProgressBar* ProgressBar1;
    QPushButton* Button1;
    QPushButton* Button2;

private:
    nc::RestartChoice currentChoice() const;
    void scan();
    bool progress(std::int64_t blocks);
    void cancelOrClose();

    QLabel* m_startLabel;
    QString m_optionFile;
    Source m_source;
    nc::RestartPlan m_plan;
    QString m_rendered; // the header as built, to tell the operator's edits
    bool m_scanning = false;
    bool m_cancel = false;
};

} // namespace tornyx
