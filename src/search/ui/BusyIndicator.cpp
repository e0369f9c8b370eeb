#include "search/ui/BusyIndicator.h"

#include <QPainter>
#include <QTimer>

namespace tornyx {

namespace {
constexpr int FrameMs = 40; // 25 frames a second
constexpr int Steps = 24;   // one way across
} // namespace

BusyIndicator::BusyIndicator(QWidget* parent) : QWidget(parent), m_timer(new QTimer(this)) {
    m_timer->setInterval(FrameMs);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % (2 * Steps);
        update();
    });
}

void BusyIndicator::start() {
    m_step = 0;
    m_timer->start();
    show();
}

void BusyIndicator::stop() {
    m_timer->stop();
    hide();
}

bool BusyIndicator::isRunning() const {
    return m_timer->isActive();
}

void BusyIndicator::paintEvent(QPaintEvent*) {
    ++m_frames;
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    p.setPen(palette().color(QPalette::Mid));
    p.setBrush(palette().color(QPalette::Base));
    p.drawRect(r);
    const int block = std::max(8, r.width() / 5);
    const int travel = r.width() - block - 2;
    const int pos = m_step < Steps ? m_step : 2 * Steps - m_step;
    p.fillRect(QRect(r.left() + 1 + travel * pos / Steps, r.top() + 2, block, r.height() - 3),
               palette().color(QPalette::Highlight));
}

} // namespace tornyx
