#include "components/aviplayer/displayconvert.h"

#include <algorithm>
#include <thread>

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace aviplayer {

namespace {

// A row holds whole 64-byte blocks, the widest a converter stores in one go on x86 with
// AVX-512; wider blocks overrun a row by less than kTailBytes, into the next row (which is
// written after it) or, for the last row, into the tail.
constexpr int kRowAlign = 64;
constexpr std::size_t kTailBytes = 256;

// Rows converted in one go. Between two bands the converting thread offers its core: the
// decoder's own threads, woken meanwhile to decode the next frame, then run at once
// instead of waiting for a whole frame's conversion (which on two cores slowed the decoder
// by the conversion's time on every frame). A multiple of every format's chroma height.
constexpr int kBandRows = 128;

// How a format goes through the converter in bands: the rows a band moves each plane's
// pointer by are the band's rows shifted down by this much (chroma planes move by fewer);
// `bands` false for what goes in one piece. Bayer mosaics are interpolated across rows a band
// would not have (the converter reads before the band and crashes), so they, and palettes
// and bit-packed formats, go whole.
struct BandLayout {
    bool bands = false;
    int shift[4] = {0, 0, 0, 0};
};

BandLayout bandLayoutOf(int format) {
    BandLayout layout;
    const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(format));
    if (!d || (d->flags & (AV_PIX_FMT_FLAG_BAYER | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM |
                           AV_PIX_FMT_FLAG_HWACCEL)))
        return layout;
    layout.bands = true;
    if (!(d->flags & AV_PIX_FMT_FLAG_RGB))
        for (int c = 1; c <= 2 && c < d->nb_components; ++c)
            layout.shift[d->comp[c].plane] = d->log2_chroma_h;
    return layout;
}

// The full-range ("J") formats FFmpeg keeps for old JPEG decoders, as their plain formats:
// the converter warns about each one it is given ("deprecated pixel format used") and wants
// the range said instead.
AVPixelFormat plainFormatOf(AVPixelFormat format, bool *fullRange) {
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        *fullRange = true;
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        *fullRange = true;
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        *fullRange = true;
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        *fullRange = true;
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        *fullRange = true;
        return AV_PIX_FMT_YUV411P;
    default:
        return format;
    }
}

// Tells the converter whether the source's luma and chroma span the full 0..255 (JPEG) or
// the video range; it is only told when that changes, since telling rebuilds its tables.
// RGB and grey sources take no range.
void setSourceRange(::SwsContext *sws, bool fullRange) {
    int *srcTable = nullptr, *dstTable = nullptr;
    int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
    if (sws_getColorspaceDetails(sws, &srcTable, &srcRange, &dstTable, &dstRange, &brightness,
                                 &contrast, &saturation) < 0)
        return;
    if ((srcRange != 0) == fullRange)
        return;
    sws_setColorspaceDetails(sws, srcTable, fullRange ? 1 : 0, dstTable, dstRange, brightness,
                             contrast, saturation);
}

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
    bool fullRange = frame.color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat format =
        plainFormatOf(static_cast<AVPixelFormat>(frame.format), &fullRange);
    sws = sws_getCachedContext(sws, frame.width, frame.height, format, frame.width, frame.height,
                               AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!sws)
        return false;
    const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(format);
    if (d && !(d->flags & AV_PIX_FMT_FLAG_RGB) && d->nb_components >= 3)
        setSourceRange(sws, fullRange);
    std::uint8_t *planes[4] = {dst, nullptr, nullptr, nullptr};
    int strides[4] = {bgraStride(frame.width), 0, 0, 0};
    // Bands from the top down, as the converter takes slices; it answers with the rows it
    // wrote for each, which may lag behind the rows given when it scales.
    // The converter takes each band as a picture of its own that starts at row y, a multiple
    // of every format's chroma height.
    const BandLayout layout = bandLayoutOf(frame.format);
    const int bandRows = layout.bands ? kBandRows : frame.height;
    int written = 0;
    for (int y = 0; y < frame.height; y += bandRows) {
        if (y > 0)
            std::this_thread::yield();
        const std::uint8_t *band[4];
        for (int p = 0; p < 4; ++p)
            band[p] = frame.data[p]
                          ? frame.data[p] + static_cast<std::ptrdiff_t>(y >> layout.shift[p]) *
                                                frame.linesize[p]
                          : nullptr;
        const int rows = std::min(bandRows, frame.height - y);
        const int done = sws_scale(sws, band, frame.linesize, y, rows, planes, strides);
        if (done < 0)
            return false;
        written += done;
    }
    return written == frame.height;
}

} // namespace aviplayer
