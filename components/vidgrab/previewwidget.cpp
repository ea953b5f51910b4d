#include "components/vidgrab/previewwidget.h"

#include <QPainter>

namespace vidgrab {

PreviewWidget::PreviewWidget(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The preview covers the host; the host keeps its mouse events.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void PreviewWidget::setFrame(QImage frame) {
    m_frame = std::move(frame);
    update();
}

void PreviewWidget::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    if (m_frame.isNull())
        painter.fillRect(rect(), Qt::black);
    else
        painter.drawImage(rect(), m_frame);
}

PreviewRelay::PreviewRelay(QWidget *host) : m_widget(new PreviewWidget(host)) {
    m_widget->setGeometry(host->rect());
    m_widget->hide();
}

PreviewRelay::~PreviewRelay() {
    delete m_widget.data();
}

void PreviewRelay::offer(const QImage &frame) {
    {
        std::lock_guard lock(m_slot->mutex);
        m_slot->frame = frame;
        if (m_slot->queued)
            return;
        m_slot->queued = true;
    }
    QMetaObject::invokeMethod(
        this, [this] { deliver(); }, Qt::QueuedConnection);
}

void PreviewRelay::deliver() {
    QImage frame;
    {
        std::lock_guard lock(m_slot->mutex);
        frame = std::move(m_slot->frame);
        m_slot->frame = QImage();
        m_slot->queued = false;
    }
    if (m_widget && !frame.isNull())
        m_widget->setFrame(std::move(frame));
}

} // namespace vidgrab
