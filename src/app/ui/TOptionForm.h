#pragma once

#include "app/OptionRows.h"

#include <QDialog>

#include <functional>

class QPushButton;
class QTableWidget;

namespace tornyx {

class Prompts;

// "ｵﾌﾟｼｮﾝ設定": the 22 program-wide options in a grid of labels and values.
// The dialog edits texts; applying hands all 22 to the caller at once.
class TOptionForm : public QDialog {
    Q_OBJECT
public:
    // optionFile: Tornyx.INI, where the dialog leaves its position.
    TOptionForm(Prompts& prompts, QString optionFile, QWidget* parent = nullptr);

    using Apply = std::function<void(const OptionRowValues&)>;

    // Centres the dialog on anchor, fills the grid from values and shows it
    // modally; apply receives the grid's texts on "変更" and when the
    // operator leaves unapplied changes and does not discard them.
    void edit(const QRect& anchor, const OptionRowValues& values, Apply apply);

    // The texts the grid holds now.
    OptionRowValues values() const;

    void Button1Click(); // 変更
    void Button2Click(); // 戻る

    QTableWidget* ValueListEditor1;
    QPushButton* Button1;
    QPushButton* Button2;

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override; // Escape closes like the close box

private:
    // The unapplied-changes question and the position; false when the
    // dialog must stay.
    void closeDialog();

    Prompts& m_prompts;
    QString m_optionFile;
    Apply m_apply;
    bool m_closing = false;
};

} // namespace tornyx
