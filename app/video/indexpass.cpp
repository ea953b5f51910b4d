#include "app/video/indexpass.h"

#include "components/aviplayer/aviplayer.h"

#include <QFileInfo>

#include <atomic>
#include <chrono>
#include <thread>

namespace video {

bool IndexPass::run(VideoHost &host, const std::string &name, const QString &title,
                    long long thresholdBytes) {
    // A sequence pattern names no single file; its pictures are read one by one anyway.
    const QFileInfo info(QString::fromStdString(name));
    if (!info.isFile() || info.size() <= thresholdBytes)
        return true;

    std::atomic<double> fraction{0.0};
    std::atomic<bool> cancelled{false};
    std::atomic<bool> done{false};
    host.beginLongOperation(title);
    std::thread worker([&] {
        aviplayer::AviPlayer player;
        player.open(name, 0, [&](double f) {
            fraction = f;
            return !cancelled.load();
        });
        player.close();
        done = true;
    });
    // At least one report, the last one complete, so a quick pass still shows its end and
    // a cancel given at any time is honoured.
    for (;;) {
        host.processEvents();
        const bool finished = done;
        if (!host.longOperationProgress(finished ? 1.0 : fraction.load()))
            cancelled = true;
        if (finished)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    worker.join();
    host.endLongOperation();
    return !cancelled;
}

} // namespace video
