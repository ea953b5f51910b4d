#include "app/video/videohost.h"

namespace video {

VideoHost::~VideoHost() = default;

void VideoHost::beginLongOperation(const QString &) {}
void VideoHost::playbackEnded() {}
bool VideoHost::longOperationProgress(double) {
    return true;
}
void VideoHost::endLongOperation() {}

} // namespace video
