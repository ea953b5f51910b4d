// Pictures of a few pixels and of extreme shapes, in every open mode and camera layout:
// what the player delivers, paints, cuts and mixes stays inside its buffers (these tests
// run under AddressSanitizer), and a size a layout cannot split fails the open cleanly.
#include "components/aviplayer/aviplayer.h"
#include "components/aviplayer/aviplayerobject.h"
#include "components/aviplayer/ctalvoravi.h"
#include "components/aviplayer/displayconvert.h"
#include "components/aviplayer/framehash.h"
#include "components/aviplayer/picturemix.h"
#include "testmedia.h"
#include "tests/support/clips.h"
#include "tests/support/tempdir.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

using namespace aviplayer;
using platform::LONG;

namespace {

// Every pixel format the converter takes as input (hardware formats aside).
std::vector<AVPixelFormat> convertibleFormats() {
    std::vector<AVPixelFormat> formats;
    for (const AVPixFmtDescriptor *d = av_pix_fmt_desc_next(nullptr); d;
         d = av_pix_fmt_desc_next(d)) {
        const AVPixelFormat format = av_pix_fmt_desc_get_id(d);
        if (sws_isSupportedInput(format) && !(d->flags & AV_PIX_FMT_FLAG_HWACCEL))
            formats.push_back(format);
    }
    return formats;
}

using FrameHolder = std::unique_ptr<AVFrame, void (*)(AVFrame *)>;

// A frame of the format and size, every byte of its buffers from `byte(i)`; null when
// FFmpeg cannot allocate one.
FrameHolder frameOf(AVPixelFormat format, int width, int height,
                    const std::function<std::uint8_t(std::size_t)> &byte) {
    FrameHolder frame(av_frame_alloc(), [](AVFrame *f) { av_frame_free(&f); });
    if (!frame)
        return frame;
    frame->width = width;
    frame->height = height;
    frame->format = format;
    if (av_frame_get_buffer(frame.get(), 0) < 0)
        return FrameHolder(nullptr, [](AVFrame *) {});
    std::size_t i = 0;
    for (const AVBufferRef *buf : frame->buf)
        if (buf)
            for (std::uint8_t *p = buf->data; p != buf->data + buf->size; ++p)
                *p = byte(i++);
    return frame;
}

// FFmpeg's converters store whole blocks of pixels past the end of a row; the destination
// must hold them. Bytes after bgraBytes() are a canary no conversion may touch, for every
// pixel format FFmpeg converts from and every small width and height.
TEST(DisplayConvert, StoresStayInsideTheDestinationForEveryFormatAndSmallSize) {
    constexpr std::uint8_t kCanary = 0xA5;
    constexpr std::size_t kCanaryBytes = 1024;
    ::SwsContext *sws = nullptr;
    const auto formats = convertibleFormats();
    for (const AVPixelFormat format : formats)
        for (int height = 1; height <= 3; ++height)
            for (int width = 1; width <= 33; ++width) {
                const FrameHolder frame =
                    frameOf(format, width, height, [](std::size_t) { return 0x5C; });
                if (!frame)
                    continue;
                const std::size_t bytes = bgraBytes(width, height);
                ASSERT_GE(bytes, static_cast<std::size_t>(bgraStride(width)) * height);
                ASSERT_GE(bgraStride(width), width * 4);
                std::vector<std::uint8_t> dst(bytes + kCanaryBytes, kCanary);
                if (!convertToBgra(*frame, sws, dst.data()))
                    continue;
                std::size_t touched = 0;
                for (std::size_t i = bytes; i < dst.size(); ++i)
                    touched += dst[i] != kCanary;
                ASSERT_EQ(touched, 0u)
                    << av_get_pix_fmt_name(format) << " " << width << "x" << height;
            }
    sws_freeContext(sws);
    EXPECT_GT(formats.size(), 50u);
}

// The conversion goes in bands of rows; every format must come out exactly as converted in
// one go, across band edges (a height that is no multiple of a band, and a scaler that
// filters chroma over rows of two bands) and in the last, short band.
TEST(DisplayConvert, BandsGiveTheSamePixelsAsOneWholeConversion) {
    constexpr int width = 36;
    int converted = 0;
    for (const AVPixelFormat format : convertibleFormats())
        for (const int height : {130, 300}) {
            // Content that differs from row to row, so that a band out of place shows.
            std::uint32_t seed = 12345;
            const FrameHolder frame = frameOf(format, width, height, [&](std::size_t) {
                seed = seed * 1664525u + 1013904223u;
                return static_cast<std::uint8_t>(seed >> 24);
            });
            if (!frame)
                continue;
            const std::size_t bytes = bgraBytes(width, height);
            std::vector<std::uint8_t> banded(bytes, 0), whole(bytes, 0);
            ::SwsContext *sws = nullptr;
            const bool ok = convertToBgra(*frame, sws, banded.data());
            sws_freeContext(sws);
            ::SwsContext *once =
                sws_getContext(width, height, format, width, height, AV_PIX_FMT_BGRA, SWS_BICUBIC,
                               nullptr, nullptr, nullptr);
            std::uint8_t *planes[4] = {whole.data(), nullptr, nullptr, nullptr};
            int strides[4] = {bgraStride(width), 0, 0, 0};
            const bool reference = once && sws_scale(once, frame->data, frame->linesize, 0, height,
                                                     planes, strides) == height;
            sws_freeContext(once);
            const char *name = av_get_pix_fmt_name(format);
            ASSERT_EQ(ok, reference) << name;
            if (!ok)
                continue;
            ++converted;
            for (int y = 0; y < height; ++y) {
                const auto row = static_cast<std::ptrdiff_t>(y) * bgraStride(width);
                ASSERT_TRUE(std::equal(banded.begin() + row, banded.begin() + row + width * 4,
                                       whole.begin() + row))
                    << name << " " << height << " rows, row " << y;
            }
        }
    EXPECT_GT(converted, 100);
}

// The delivered size of a W x H source in each layout (none when too small), and the
// number of pictures per stored frame, from the table of open modes.
struct Expected {
    int width = 0, height = 0, perFrame = 1;
};

Expected expectedLayout(int layout, int w, int h) {
    switch (layout) {
    case 1:
        return h >= 2 ? Expected{w, h, 2} : Expected{};
    case 2:
        return w >= 2 ? Expected{w / 2, h, 2} : Expected{};
    case 3:
    case 4:
        return h >= 2 ? Expected{w, h / 2, 2} : Expected{};
    case 5:
        return h >= 4 ? Expected{w, h / 4, 4} : Expected{};
    default:
        return Expected{w, h, 1};
    }
}

constexpr int kSide = 9;   // pictures of 1 x 1 up to 9 x 9
constexpr int kFrames = 3; // stored frames of each clip

// Every luma value names its frame, row and column: a value taken from outside the frame,
// or from another frame, shows.
std::uint8_t numbered(int n, int x, int y) {
    return static_cast<std::uint8_t>(n * kSide * kSide + y * kSide + x);
}

// Checks everything the host can ask of one open clip; `firstParity` is the row parity of
// the field that comes first in time.
void checkOpenClip(CTalvorAVI &player, int layout, int mode, int w, int h, int firstParity,
                   const std::string &what) {
    const Expected e = expectedLayout(layout, w, h);
    const bool rotated = (mode & (TALVORAVIMODE_ROTATE_90 | TALVORAVIMODE_ROTATE_270)) != 0;
    const int outW = rotated ? e.height : e.width;
    const int outH = rotated ? e.width : e.height;
    ASSERT_EQ(player.width(), outW) << what;
    ASSERT_EQ(player.height(), outH) << what;
    ASSERT_EQ(player.numberOfFrames(), kFrames * e.perFrame) << what;
    const bool plain = (mode & ~0xFF) == 0;

    std::vector<platform::ComPtr<platform::IPicture>> whole;
    for (int k = 0; k < kFrames * e.perFrame; ++k) {
        const auto picture = player.picturePart(k, 100, 0, 0, 0, 0);
        ASSERT_TRUE(picture) << what << " frame " << k;
        const platform::ImageView image = picture->image();
        const platform::ImageView luma = picture->luma();
        ASSERT_EQ(image.width, outW) << what;
        ASSERT_EQ(image.height, outH) << what;
        ASSERT_EQ(luma.width, outW) << what;
        const int n = k / e.perFrame;
        const int sub = k % e.perFrame;
        const int field = layout == 5 ? sub / 2 : sub;
        const int parity = field == 0 ? firstParity : 1 - firstParity;
        for (int Y = 0; Y < outH; ++Y)
            for (int X = 0; X < outW; ++X) {
                const int value = luma.row(Y)[X];
                ASSERT_EQ(value / (kSide * kSide), n) << what << " frame " << k;
                const int row = value % (kSide * kSide) / kSide;
                const int column = value % kSide;
                ASSERT_LT(row, h) << what;
                ASSERT_LT(column, w) << what;
                if (layout == 0 && plain) {
                    ASSERT_EQ(row, Y) << what;
                    ASSERT_EQ(column, X) << what;
                }
                // Layouts that split a frame into fields take each picture from one field.
                if ((layout == 1 || layout == 3 || layout == 5) && plain) {
                    ASSERT_EQ(row % 2, parity) << what << " frame " << k << " row " << Y;
                    ASSERT_EQ(column, X) << what;
                }
            }

        // Painted zoomed, every screen pixel shows the delivered pixel under it.
        QImage target(outW * 3 + 3, outH * 3 + 3, QImage::Format_RGB32);
        target.fill(Qt::black);
        {
            QPainter painter(&target);
            ASSERT_EQ(player.drawFrame(&painter, k, 300, 0, 0, outW, outH, 0, 0), 0) << what;
            // Parts past the frame, zoomed out and shifted: drawn or refused, never beyond.
            EXPECT_EQ(
                player.drawFrame(&painter, k, 1, outW - 1, outH - 1, outW + 5, outH + 5, -1, -1),
                0);
            EXPECT_EQ(player.drawFrame(&painter, k, 100, outW, outH, outW, outH, 0, 0), 0);
        }
        for (int Y = 0; Y < outH; ++Y)
            for (int X = 0; X < outW; ++X) {
                const std::uint8_t *p = image.row(Y) + 4 * X;
                ASSERT_EQ(target.pixel(3 * X + 1, 3 * Y + 1) & 0xFFFFFF,
                          static_cast<QRgb>(p[2] << 16 | p[1] << 8 | p[0]))
                    << what << " frame " << k << " at " << X << "," << Y;
            }

        const auto zoomed = player.picturePart(k, 250, 0, 0, outW, outH);
        ASSERT_TRUE(zoomed) << what;
        EXPECT_EQ(zoomed->image().width, (outW * 5 + 1) / 2) << what;
        const auto corner = player.picturePart(k, 100, outW - 1, outH - 1, 5, 5);
        ASSERT_TRUE(corner) << what;
        EXPECT_EQ(corner->image().width, 1);
        EXPECT_EQ(corner->luma().row(0)[0], luma.row(outH - 1)[outW - 1]);
        EXPECT_TRUE(player.picturePart(k, 1, 0, 0, 0, 0)) << what; // at least one pixel
        whole.push_back(picture);
    }
    // Mixing works on pictures of any size.
    const auto background =
        player.mixBackground(whole[0].get(), whole[1].get(), whole[2].get(), 0, 0.0f);
    ASSERT_TRUE(background) << what;
    EXPECT_EQ(background->image().width, outW);
    const auto mixed = player.mixPicture(background.get(), whole[0].get(), whole.back().get(),
                                         MIX_DIFF_LUMA, 1.0f, 0x0000FF);
    ASSERT_TRUE(mixed) << what;
    EXPECT_EQ(mixed->image().height, outH);
    EXPECT_FALSE(player.picturePart(kFrames * e.perFrame, 100, 0, 0, 0, 0));
}

const int kLayouts[] = {0, 1, 2, 3, 4, 5};
// Rotation and flip on top of each layout.
const int kTurns[] = {0, TALVORAVIMODE_ROTATE_90 | TALVORAVIMODE_HORIZONTAL_FLIP,
                      TALVORAVIMODE_ROTATE_180, TALVORAVIMODE_ROTATE_270};

// Full-range pictures (JPEG's, and video flagged full range): luma 16 is dark grey there, not
// black as in the video range. Whether the range comes from a "J" format or from the frame's
// flag, it must come out the same, without FFmpeg's warning about deprecated formats, and a
// cached converter must follow when the range changes between frames.
TEST(DisplayConvert, FullRangeComesFromTheFormatOrTheFrameFlagAndFollowsEachFrame) {
    static std::vector<std::string> warnings;
    warnings.clear();
    av_log_set_callback([](void *, int level, const char *format, va_list args) {
        if (level <= AV_LOG_WARNING) {
            char line[512];
            std::vsnprintf(line, sizeof line, format, args);
            warnings.emplace_back(line);
        }
    });
    constexpr int width = 16, height = 8;
    // Luma 16 everywhere, neutral chroma: the planes are filled plane by plane.
    const auto grey16 = [](AVPixelFormat format, AVColorRange range) {
        FrameHolder frame = frameOf(format, width, height, [](std::size_t) { return 128; });
        if (frame) {
            frame->color_range = range;
            for (int y = 0; y < height; ++y)
                std::fill_n(frame->data[0] + y * frame->linesize[0], width, std::uint8_t(16));
        }
        return frame;
    };
    const auto firstGrey = [](const FrameHolder &frame, ::SwsContext *&sws) {
        std::vector<std::uint8_t> dst(bgraBytes(width, height), 0);
        EXPECT_TRUE(convertToBgra(*frame, sws, dst.data()));
        return int(dst[1]); // green of the first pixel
    };
    const FrameHolder jpeg = grey16(AV_PIX_FMT_YUVJ420P, AVCOL_RANGE_UNSPECIFIED);
    const FrameHolder flagged = grey16(AV_PIX_FMT_YUV420P, AVCOL_RANGE_JPEG);
    const FrameHolder video = grey16(AV_PIX_FMT_YUV420P, AVCOL_RANGE_MPEG);
    ASSERT_TRUE(jpeg && flagged && video);

    ::SwsContext *sws = nullptr;
    const int fromJpeg = firstGrey(jpeg, sws);
    const int fromVideo = firstGrey(video, sws);
    const int fromFlag = firstGrey(flagged, sws);
    const int videoAgain = firstGrey(video, sws);
    sws_freeContext(sws);
    av_log_set_callback(av_log_default_callback);

    EXPECT_NEAR(fromJpeg, 16, 1);
    EXPECT_EQ(fromFlag, fromJpeg);
    EXPECT_LE(fromVideo, 1) << "video-range luma 16 is black";
    EXPECT_EQ(videoAgain, fromVideo);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
}

// Every layout with every turn on pictures of 1 x 1 up to 9 x 9, in a grey format and the
// two chroma-subsampled ones whose conversion overran tiny rows, with each field order.
TEST(TinyPictures, EveryOpenModeAndLayoutFromOneToNinePixels) {
    testsupport::TempDir dir;
    registerClasses();
    CTalvorAVI player = CTalvorAVI::create();
    ASSERT_TRUE(player.valid());
    struct Format {
        const char *chroma;
        char interlace;
        int firstParity;
    };
    const Format formats[] = {{"mono", 't', 0}, {"422", 'b', 1}, {"420jpeg", '?', 1}};
    for (const Format &f : formats)
        for (int h = 1; h <= kSide; ++h)
            for (int w = 1; w <= kSide; ++w) {
                const std::string file = dir.path("t.y4m");
                ASSERT_TRUE(
                    testmedia::writeY4m(file, w, h, kFrames, f.chroma, f.interlace, numbered));
                for (int layout : kLayouts)
                    for (int turn : kTurns) {
                        const int mode = layout | turn | kHostModeBit;
                        const std::string what = std::string(f.chroma) + " " + std::to_string(w) +
                                                 "x" + std::to_string(h) + " mode " +
                                                 std::to_string(layout | turn);
                        const LONG result = player.open(file, mode);
                        if (expectedLayout(layout, w, h).width == 0 ||
                            expectedLayout(layout, w, h).height == 0) {
                            EXPECT_EQ(result, -1) << what;
                            EXPECT_FALSE(player.isOpen()) << what;
                            EXPECT_EQ(player.numberOfFrames(), 0) << what;
                            continue;
                        }
                        ASSERT_EQ(result, 0) << what;
                        checkOpenClip(player, layout, mode, w, h, f.firstParity, what);
                        if (::testing::Test::HasFatalFailure())
                            return;
                    }
            }
    player.close();
}

// The clips of the report: FFV1 scaled down to a few pixels, as an encoder writes them,
// played through in every layout, forwards (with the image made ahead) and backwards.
TEST(TinyPictures, Ffv1ClipsOfAFewPixelsPlayInEveryLayout) {
    testsupport::TempDir dir;
    for (const char *format : {"yuv422p", "yuv420p", "bgr0"})
        for (const char *size : {"2x2", "4x4", "8x8", "17x3", "33x5"}) {
            const std::string file = dir.path(std::string(format) + size + ".avi");
            ASSERT_TRUE(testsupport::ffmpeg("-f lavfi -i testsrc=size=" + std::string(size) +
                                            ":rate=25 -frames:v 10 -c:v ffv1 -pix_fmt " + format +
                                            " " + testsupport::shellQuote(file)));
            const auto expected = testmedia::framemd5(file);
            ASSERT_EQ(expected.size(), 10u) << file;
            for (int layout : kLayouts) {
                AviPlayer player;
                if (player.open(file, layout) != kOpenOk)
                    continue; // too small for the layout
                for (int n = 0; n < player.frameCount(); ++n) {
                    const auto image = player.image(n);
                    ASSERT_TRUE(image) << file << " mode " << layout << " frame " << n;
                    if (layout == 0) {
                        EXPECT_EQ(nativeMd5(*player.sourceFrame(n)),
                                  expected[static_cast<std::size_t>(n)]);
                    }
                }
                for (int n = player.frameCount() - 1; n >= 0; --n)
                    ASSERT_TRUE(player.image(n)) << file << " mode " << layout << " frame " << n;
                player.close();
            }
        }
}

// Pictures of extreme shapes: one or two pixels across and thousands long.
TEST(HugePictures, ExtremeWidthsAndHeightsOpenInEveryLayout) {
    testsupport::TempDir dir;
    registerClasses();
    CTalvorAVI player = CTalvorAVI::create();
    const auto luma = [](int n, int x, int y) {
        return static_cast<std::uint8_t>((n * 40 + x + 3 * y) & 0xFF);
    };
    for (const auto &[w, h] : {std::pair{16384, 2}, std::pair{2, 16384}, std::pair{4097, 5}}) {
        const std::string file = dir.path("h.y4m");
        ASSERT_TRUE(testmedia::writeY4m(file, w, h, 2, "422", 'b', luma));
        for (int layout : kLayouts)
            for (int turn : {0, int{TALVORAVIMODE_ROTATE_90}}) {
                const std::string what = std::to_string(w) + "x" + std::to_string(h) + " mode " +
                                         std::to_string(layout | turn);
                const Expected e = expectedLayout(layout, w, h);
                if (e.width == 0 || e.height == 0) {
                    EXPECT_EQ(player.open(file, layout | turn), -1) << what;
                    continue;
                }
                ASSERT_EQ(player.open(file, layout | turn), 0) << what;
                const int last = player.numberOfFrames() - 1;
                const auto picture = player.picturePart(last, 100, 0, 0, 0, 0);
                ASSERT_TRUE(picture) << what;
                EXPECT_EQ(picture->image().width * picture->image().height, e.width * e.height)
                    << what;
                EXPECT_TRUE(player.picturePart(last, 3, 0, 0, 0, 0)) << what;
                QImage target(64, 64, QImage::Format_RGB32);
                target.fill(Qt::black);
                QPainter painter(&target);
                EXPECT_EQ(player.drawFrame(&painter, last, 400, player.width() - 3,
                                           player.height() - 3, player.width(), player.height(), -1,
                                           -1),
                          0)
                    << what;
            }
    }
}

} // namespace
