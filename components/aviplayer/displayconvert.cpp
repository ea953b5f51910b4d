#include "components/aviplayer/displayconvert.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace aviplayer {

namespace {

// A row holds whole 64-byte blocks, the widest a converter stores in one go on x86 with
// AVX-512; wider blocks overrun a row by less than kTailBytes, into the next row (which is
// written after it) or, for the last row, into the tail.
constexpr int kRowAlign = 64;
constexpr std::size_t kTailBytes = 256;

} // namespace

int bgraStride(int width) {
    return width <= 0 ? 0 : (width * 4 + kRowAlign - 1) / kRowAlign * kRowAlign;
}

std::size_t bgraBytes(int width, int height) {
    if (width <= 0 || height <= 0)
        return 0;
    return static_cast<std::size_t>(bgraStride(width)) * static_cast<std::size_t>(height) +
           kTailBytes;
}

bool convertToBgra(const AVFrame &frame, ::SwsContext *&sws, std::uint8_t *dst) {
    if (frame.width <= 0 || frame.height <= 0 || !dst)
        return false;
    sws = sws_getCachedContext(sws, frame.width, frame.height,
                               static_cast<AVPixelFormat>(frame.format), frame.width, frame.height,
                               AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!sws)
        return false;
    std::uint8_t *planes[4] = {dst, nullptr, nullptr, nullptr};
    int strides[4] = {bgraStride(frame.width), 0, 0, 0};
    return sws_scale(sws, frame.data, frame.linesize, 0, frame.height, planes, strides) ==
           frame.height;
}

} // namespace aviplayer
