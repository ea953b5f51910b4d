// The frame scroll bar of the main window. During playback its value changes hundreds of
// times a second, far more often than a screen can show, and a styled scroll bar is costly
// to paint; so it repaints at most once per display refresh. A change that comes later than
// that repaints at once, and the value itself (with its signals) is never held back.
#pragma once

#include <QElapsedTimer>
#include <QScrollBar>
#include <QTimer>

namespace shell {

class FrameScrollBar : public QScrollBar {
public:
    static constexpr int kRepaintIntervalMs = 16; // about one refresh of a 60 Hz display

    explicit FrameScrollBar(Qt::Orientation orientation, QWidget *parent = nullptr);

    // A value change is waiting for its repaint.
    bool repaintPending() const { return m_deferred.isActive(); }

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QElapsedTimer m_sincePaint;
    QTimer m_deferred;
};

} // namespace shell
