#include "app/video/videohost.h"

namespace video {

VideoHost::~VideoHost() = default;

void VideoHost::beginLongOperation(const QString &) {}
bool VideoHost::longOperationProgress(double) {
    return true;
}
void VideoHost::endLongOperation() {}

} // namespace video
