#pragma once

#include "nc/DripBudget.h"

#include <QDialog>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace tornyx {

class IndexedText;

// The drip-feed budget check: can the line deliver the program as fast as
// the control runs it, where not, and what each filter that shortens the
// blocks would change.
class TBudgetForm : public QDialog {
public:
    TBudgetForm(QWidget* parent, QString optionFile);

    // Reads the program and fills the dialog; false when the operator
    // stopped the reading.
    bool estimate(const IndexedText& text, const nc::BudgetSettings& settings);
    // estimate() and then the dialog, modal over the main window.
    void check(const IndexedText& text, const nc::BudgetSettings& settings, const QRect& mainWindow);

    // Double-click on a region: show its first line (0-based) in the editor.
    std::function<void(int line)> showLine;

    const nc::BudgetReport& report() const { return m_report; }

    void done(int result) override;

    QLabel* Label1;      // line rate
    QLabel* Label2;      // totals and verdict
    QTableWidget* Grid1; // worst regions
    QTableWidget* Grid2; // filters
    QProgressBar* ProgressBar1;
    QPushButton* Button1; // 閉じる / 中止 while reading

private:
    void fill(const nc::BudgetSettings& settings);

    QString m_optionFile;
    nc::BudgetReport m_report;
    bool m_reading = false;
    bool m_cancel = false;
};

} // namespace tornyx
