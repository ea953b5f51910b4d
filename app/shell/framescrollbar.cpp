#include "app/shell/framescrollbar.h"

namespace shell {

FrameScrollBar::FrameScrollBar(Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent) {
    m_deferred.setSingleShot(true);
    connect(&m_deferred, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void FrameScrollBar::sliderChange(SliderChange change) {
    if (change == SliderValueChange && m_sincePaint.isValid()) {
        const qint64 since = m_sincePaint.elapsed();
        if (since < kRepaintIntervalMs) {
            if (!m_deferred.isActive())
                m_deferred.start(static_cast<int>(kRepaintIntervalMs - since));
            return;
        }
    }
    QScrollBar::sliderChange(change);
}

void FrameScrollBar::paintEvent(QPaintEvent *event) {
    m_deferred.stop();
    m_sincePaint.start();
    QScrollBar::paintEvent(event);
}

} // namespace shell
