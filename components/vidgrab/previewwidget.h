// The live preview: a child widget of the host's window that shows the newest captured
// frame scaled to its size, and the relay that carries frames to it from the capture thread.
#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include <chrono>
#include <mutex>
#include <optional>

namespace vidgrab {

class PreviewWidget : public QWidget {
public:
    explicit PreviewWidget(QWidget *parent);
    // `capturedAt`: when the frame left the device, for the latency figures.
    void setFrame(QImage frame, std::chrono::steady_clock::time_point capturedAt = {});
    const QImage &frame() const { return m_frame; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_frame;
    std::optional<std::chrono::steady_clock::time_point> m_unpainted; // a new frame's capture
};

// The newest frame, handed from the capture thread to the GUI thread. At most one hand-over
// is queued at a time, so a GUI thread that does not keep up sees fewer frames, never a
// growing queue.
struct FrameSlot {
    std::mutex mutex;
    QImage frame;
    std::chrono::steady_clock::time_point capturedAt;
    bool queued = false;
};

// Lives on the GUI thread and is deleted only after the capture thread has stopped, so the
// capture thread may post to it. The widget itself may go with its parent at any time, hence
// the guarded pointer, which is only read on the GUI thread.
class PreviewRelay : public QObject {
public:
    explicit PreviewRelay(QWidget *host);
    ~PreviewRelay() override; // deletes the widget when it is still there

    PreviewWidget *widget() const { return m_widget.data(); }

    // From the capture thread: makes `frame` the newest and, unless a hand-over is already
    // queued, queues one to the GUI thread.
    void offer(const QImage &frame, std::chrono::steady_clock::time_point capturedAt);

    // Runs `f` on the relay's thread and waits for it.
    template <class F> void runOnGui(F &&f);

private:
    void deliver();
    QPointer<PreviewWidget> m_widget;
    FrameSlot m_slot;
};

template <class F> void PreviewRelay::runOnGui(F &&f) {
    if (thread() == QThread::currentThread())
        f();
    else
        QMetaObject::invokeMethod(this, std::forward<F>(f), Qt::BlockingQueuedConnection);
}

} // namespace vidgrab
