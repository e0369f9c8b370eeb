#include "status/ui/StatusBars.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

namespace tornyx {

StatusPanels::StatusPanels(const QString& name, const std::vector<Panel>& panels, QWidget* parent)
    : QWidget(parent) {
    setObjectName(name);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    for (const Panel& p : panels) {
        auto* l = new QLabel(this);
        l->setFixedWidth(p.width);
        l->setAlignment((p.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
        l->setFrameStyle(p.bevel ? (QFrame::Panel | QFrame::Sunken) : QFrame::NoFrame);
        row->addWidget(l);
        m_labels.push_back(l);
    }
    row->addStretch(1);
}

void StatusPanels::setText(int index, const QString& text) {
    m_labels.at(index)->setText(text);
    emit textChanged(index, text);
}

QString StatusPanels::text(int index) const {
    return m_labels.at(index)->text();
}

EditingStatusBar::EditingStatusBar(QWidget* parent)
    : StatusPanels("StatusBar1",
                   {{120, false, true},
                    {60, true, true},
                    {55, true, true},
                    {60, true, true},
                    {55, false, true},
                    {55, true, true},
                    {130, false, true}},
                   parent) {
    setText(0, QStringLiteral(u"ｻｲｽﾞ"));
}

void EditingStatusBar::setEditingPanel(int index, const QString& text) {
    if (index == 0)
        setText(0, QStringLiteral(u"ｻｲｽﾞ : ") + text);
    else if (index == 1)
        setText(1, QStringLiteral("1 , 1"));
    else
        setText(index, text);
}

TransferStatusBar::TransferStatusBar(QWidget* parent)
    : StatusPanels("StatusBar2",
                   {{100, false, false},
                    {180, false, true},
                    {100, true, true},
                    {80, false, true},
                    {40, true, true},
                    {50, false, true},
                    {50, false, true},
                    {0, false, false}},
                   parent) {
    setText(6, QStringLiteral(u"送信:"));
    // The drip-feed warning takes the rest of the row; it is only ever set
    // while something is wrong, so it always reads in red.
    QLabel* supply = panel(7);
    supply->setMinimumWidth(0);
    supply->setMaximumWidth(QWIDGETSIZE_MAX);
    supply->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    supply->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    static_cast<QHBoxLayout*>(layout())->setStretchFactor(supply, 100);
}

QProgressBar* TransferStatusBar::startProgress() {
    delete m_progress;
    setText(0, QString());
    QLabel* host = panel(0);
    m_progress = new QProgressBar(host);
    m_progress->setObjectName("ProgressBar1");
    m_progress->setTextVisible(false);
    m_progress->setGeometry(1, 2, 99, std::max(1, host->height() - 2));
    m_progress->show();
    return m_progress;
}

void TransferStatusBar::showElapsed(const QString& text) {
    delete m_progress;
    m_progress = nullptr;
    setText(0, text);
}

} // namespace tornyx
