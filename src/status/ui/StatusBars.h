#pragma once

#include <QPointer>
#include <QProgressBar>
#include <QString>
#include <QWidget>

#include <vector>

class QLabel;

namespace tornyx {

// A row of fixed-width text panels at the bottom of the main window.
class StatusPanels : public QWidget {
    Q_OBJECT
public:
    struct Panel {
        int width;
        bool centred;
        bool bevel;
    };
    StatusPanels(const QString& name, const std::vector<Panel>& panels, QWidget* parent);

    // The panel's text as it stands, without any decoration.
    void setText(int index, const QString& text);
    QString text(int index) const;
    QLabel* panel(int index) const { return m_labels.at(index); }
    int count() const { return static_cast<int>(m_labels.size()); }

signals:
    // Every text set, also those the screen never shows because the next
    // one follows before a repaint.
    void textChanged(int index, const QString& text);

private:
    std::vector<QLabel*> m_labels;
};

// StatusBar1, shown while editing: 0 size, 1 caret, 2 character code,
// 3 typing mode, 4 change mark, 5 selection mark, 6 progress of the editor's
// longer commands.
class EditingStatusBar : public StatusPanels {
    Q_OBJECT
public:
    explicit EditingStatusBar(QWidget* parent = nullptr);
    // The setter the other parts call: panel 0 gets "ｻｲｽﾞ : " in front, panel
    // 1 shows the start position whatever it is given.
    void setEditingPanel(int index, const QString& text);
};

// StatusBar2, shown instead of StatusBar1 while a transfer runs: 0 progress
// bar or elapsed time, 1 detail, 2 transfer state, 3 code/speed/stop bits,
// 4 port, 5 start on signal, 6 repeat counter, 7 the drip-feed warning.
class TransferStatusBar : public StatusPanels {
    Q_OBJECT
public:
    explicit TransferStatusBar(QWidget* parent = nullptr);
    void setTransferPanel(int index, const QString& text) { setText(index, text); }
    // A new progress bar inside panel 0, replacing the previous one.
    QProgressBar* startProgress();
    // Panel 0 shows the elapsed time of a DNC run instead of a progress bar.
    void showElapsed(const QString& text = QStringLiteral(u"経過時間 00:00:00"));
    QProgressBar* progressBar() const { return m_progress; }
    // The progress bar of the last transfer goes away.
    void removeProgress() {
        if (m_progress)
            m_progress->deleteLater();
        m_progress = nullptr;
    }

private:
    QPointer<QProgressBar> m_progress;
};

} // namespace tornyx
