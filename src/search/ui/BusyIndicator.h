#pragma once

#include <QWidget>

class QTimer;

namespace tornyx {

// A bar with a block running to and fro while something works. It moves on
// a timer, so it moves only while the window gets its events: a frozen block
// is a frozen window.
class BusyIndicator : public QWidget {
    Q_OBJECT
public:
    explicit BusyIndicator(QWidget* parent = nullptr);
    void start();
    void stop();
    bool isRunning() const;
    // Frames painted since construction.
    qint64 frames() const { return m_frames; }
    QSize sizeHint() const override { return {120, 14}; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QTimer* m_timer;
    int m_step = 0;
    qint64 m_frames = 0;
};

} // namespace tornyx
