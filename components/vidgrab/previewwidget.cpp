#include "components/vidgrab/previewwidget.h"
#include "components/vidgrab/vidgrab.h"

#include <QPainter>

#include <algorithm>

namespace vidgrab {

PreviewWidget::PreviewWidget(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The preview covers the host; the host keeps its mouse events.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

namespace {

// Every preview's latency figures, for previewLatency().
std::mutex g_latencyMutex;
PreviewLatency g_latency;
double g_latencySumMs = 0;

void noteLatency(double ms) {
    std::lock_guard lock(g_latencyMutex);
    ++g_latency.count;
    g_latencySumMs += ms;
    g_latency.meanMs = g_latencySumMs / static_cast<double>(g_latency.count);
    g_latency.maxMs = std::max(g_latency.maxMs, ms);
}

} // namespace

PreviewLatency previewLatency() {
    std::lock_guard lock(g_latencyMutex);
    return g_latency;
}

void resetPreviewLatency() {
    std::lock_guard lock(g_latencyMutex);
    g_latency = {};
    g_latencySumMs = 0;
}

void PreviewWidget::setFrame(QImage frame, std::chrono::steady_clock::time_point capturedAt) {
    m_frame = std::move(frame);
    if (capturedAt != std::chrono::steady_clock::time_point{})
        m_unpainted = capturedAt;
    update();
}

void PreviewWidget::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    if (m_frame.isNull())
        painter.fillRect(rect(), Qt::black);
    else
        painter.drawImage(rect(), m_frame);
    if (m_unpainted) { // a frame's first paint: how long it took from the device
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - *m_unpainted;
        noteLatency(took.count());
        m_unpainted.reset();
    }
}

PreviewRelay::PreviewRelay(QWidget *host) : m_widget(new PreviewWidget(host)) {
    m_widget->setGeometry(host->rect());
    m_widget->hide();
}

PreviewRelay::~PreviewRelay() {
    delete m_widget.data();
}

void PreviewRelay::offer(const QImage &frame, std::chrono::steady_clock::time_point capturedAt) {
    {
        std::lock_guard lock(m_slot.mutex);
        m_slot.frame = frame;
        m_slot.capturedAt = capturedAt;
        if (m_slot.queued)
            return;
        m_slot.queued = true;
    }
    QMetaObject::invokeMethod(
        this, [this] { deliver(); }, Qt::QueuedConnection);
}

void PreviewRelay::deliver() {
    QImage frame;
    std::chrono::steady_clock::time_point capturedAt;
    {
        std::lock_guard lock(m_slot.mutex);
        frame = std::move(m_slot.frame);
        capturedAt = m_slot.capturedAt;
        m_slot.frame = QImage();
        m_slot.queued = false;
    }
    if (m_widget && !frame.isNull())
        m_widget->setFrame(std::move(frame), capturedAt);
}

} // namespace vidgrab
