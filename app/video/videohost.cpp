#include "app/video/videohost.h"

#include <QEventLoop>
#include <QTimer>

#include <chrono>

namespace video {

VideoHost::~VideoHost() = default;

double VideoHost::clockSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void VideoHost::serveEventsFor(double seconds) {
    const int ms = static_cast<int>(seconds * 1000.0 + 0.5);
    if (ms <= 0)
        return;
    // A nested loop serves clicks (Stop) and paints while the frame's time has not come.
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void VideoHost::beginLongOperation(const QString &) {}
void VideoHost::playbackEnded() {}
bool VideoHost::longOperationProgress(double) {
    return true;
}
void VideoHost::endLongOperation() {}

} // namespace video
