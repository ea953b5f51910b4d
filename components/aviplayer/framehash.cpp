#include "components/aviplayer/framehash.h"

#include <memory>
#include <vector>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/md5.h>
}

namespace aviplayer {

namespace {

std::string hex(const std::uint8_t (&digest)[16]) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : digest) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

} // namespace

int nativeSize(const AVFrame &frame) {
    const int size = av_image_get_buffer_size(static_cast<AVPixelFormat>(frame.format), frame.width,
                                              frame.height, 1);
    return size > 0 ? size : 0;
}

std::string nativeMd5(const AVFrame &frame) {
    const int size = nativeSize(frame);
    if (size <= 0)
        return {};
    std::vector<std::uint8_t> packed(static_cast<std::size_t>(size));
    if (av_image_copy_to_buffer(packed.data(), size, frame.data, frame.linesize,
                                static_cast<AVPixelFormat>(frame.format), frame.width, frame.height,
                                1) < 0)
        return {};
    std::uint8_t digest[16];
    av_md5_sum(digest, packed.data(), size);
    return hex(digest);
}

std::string imageMd5(const platform::ImageView &image, const std::vector<int> &order) {
    if (image.empty())
        return {};
    std::unique_ptr<AVMD5, decltype(&av_free)> md5(av_md5_alloc(), &av_free);
    if (!md5)
        return {};
    av_md5_init(md5.get());
    const int bpp = platform::bytesPerPixel(image.format);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(image.width) * order.size());
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t *src = image.row(y);
        std::size_t k = 0;
        for (int x = 0; x < image.width; ++x)
            for (int i : order)
                row[k++] = src[x * bpp + i];
        av_md5_update(md5.get(), row.data(), row.size());
    }
    std::uint8_t digest[16];
    av_md5_final(md5.get(), digest);
    return hex(digest);
}

} // namespace aviplayer
