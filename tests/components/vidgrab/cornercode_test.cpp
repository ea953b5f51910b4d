// The corner code: what is stamped reads back, also after Motion JPEG compression, and
// pictures without an intact code read as nothing.
#include "components/vidgrab/cornercode.h"
#include "tests/support/clips.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <vector>

using namespace vidgrab;

namespace {

struct Picture {
    int width, height, stride;
    std::vector<std::uint8_t> bgra;
    Picture(int w, int h, int padding = 0)
        : width(w), height(h), stride(w * 4 + padding),
          bgra(static_cast<std::size_t>(stride) * h, 0) {}
    // A busy pattern, so the code has to hold against a picture and not a flat ground.
    void fillPattern(std::uint32_t seed) {
        std::mt19937 random(seed);
        for (auto &b : bgra)
            b = static_cast<std::uint8_t>(random());
    }
};

} // namespace

TEST(CornerCode, RoundTripsEveryBitPosition) {
    Picture picture(320, 240, 12);
    std::vector<std::uint32_t> numbers = {0u, 1u, 0x80000000u, 0xFFFFFFFFu, 0xA5A5A5A5u, 65535u};
    for (int bit = 0; bit < 32; ++bit)
        numbers.push_back(1u << bit);
    for (const std::uint32_t n : numbers) {
        picture.fillPattern(n);
        stampFrameNumber(picture.bgra.data(), picture.stride, picture.width, picture.height, n);
        EXPECT_EQ(
            readFrameNumber(picture.bgra.data(), picture.stride, picture.width, picture.height), n);
    }
}

TEST(CornerCode, StampsOnlyTheCornerAndNothingIntoSmallPictures) {
    Picture picture(640, 480);
    picture.fillPattern(7);
    const auto before = picture.bgra;
    stampFrameNumber(picture.bgra.data(), picture.stride, 640, 480, 12345);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            if (x >= kCornerCodeWidth || y >= kCornerCodeHeight)
                for (int c = 0; c < 4; ++c) {
                    const std::size_t i = static_cast<std::size_t>(y) * picture.stride + x * 4 + c;
                    ASSERT_EQ(picture.bgra[i], before[i]) << x << "," << y;
                }

    Picture narrow(kCornerCodeWidth - 1, 100);
    const auto untouched = narrow.bgra;
    stampFrameNumber(narrow.bgra.data(), narrow.stride, narrow.width, narrow.height, 1);
    EXPECT_EQ(narrow.bgra, untouched);
    EXPECT_EQ(readFrameNumber(narrow.bgra.data(), narrow.stride, narrow.width, narrow.height),
              std::nullopt);
    stampFrameNumber(nullptr, 0, 640, 480, 1); // no picture: nothing happens
    EXPECT_EQ(readFrameNumber(nullptr, 2560, 640, 480), std::nullopt);
    // A stride shorter than a row is refused rather than read past.
    EXPECT_EQ(readFrameNumber(picture.bgra.data(), 100, 640, 480), std::nullopt);
}

TEST(CornerCode, PicturesWithoutAnIntactCodeReadAsNothing) {
    Picture picture(400, 64);
    for (std::uint32_t seed = 1; seed <= 50; ++seed) {
        picture.fillPattern(seed);
        EXPECT_EQ(readFrameNumber(picture.bgra.data(), picture.stride, 400, 64), std::nullopt);
    }
    Picture white(400, 64);
    std::fill(white.bgra.begin(), white.bgra.end(), 255);
    EXPECT_EQ(readFrameNumber(white.bgra.data(), white.stride, 400, 64), std::nullopt);

    // One data block whose inverted twin disagrees is a damaged code.
    stampFrameNumber(picture.bgra.data(), picture.stride, 400, 64, 0x0F0F0F0Fu);
    ASSERT_EQ(readFrameNumber(picture.bgra.data(), picture.stride, 400, 64), 0x0F0F0F0Fu);
    for (int y = 8; y < 16; ++y)
        for (int x = 10 * 8; x < 11 * 8; ++x)
            for (int c = 0; c < 3; ++c) {
                auto &v = picture.bgra[static_cast<std::size_t>(y) * picture.stride + x * 4 + c];
                v = static_cast<std::uint8_t>(255 - v);
            }
    EXPECT_EQ(readFrameNumber(picture.bgra.data(), picture.stride, 400, 64), std::nullopt);
}

TEST(CornerCode, SurvivesMotionJpegAtOrdinaryQuality) {
    // Encoded by the ffmpeg program at a middling quantiser (worse than the recorder's) and
    // decoded again by it: every frame still reads its number.
    const testsupport::TempDir dir;
    const std::string file = dir.path("code.avi");
    constexpr int kW = 320, kH = 240, kFrames = 12;
    {
        testsupport::RawClip clip(file, "bgra", kW, kH, 25, "-c:v mjpeg -q:v 8");
        Picture picture(kW, kH);
        for (int i = 0; i < kFrames; ++i) {
            // A smooth moving gradient, like a camera picture.
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x) {
                    std::uint8_t *p = &picture.bgra[static_cast<std::size_t>(y) * kW * 4 + x * 4];
                    p[0] = static_cast<std::uint8_t>(x + i * 9);
                    p[1] = static_cast<std::uint8_t>(y * 2);
                    p[2] = static_cast<std::uint8_t>((x + y) / 2);
                    p[3] = 255;
                }
            stampFrameNumber(picture.bgra.data(), kW * 4, kW, kH, 1000003u * i + 77);
            ASSERT_TRUE(clip.write(picture.bgra.data(), picture.bgra.size()));
        }
        ASSERT_TRUE(clip.finish());
    }
    std::FILE *pipe = popen(testsupport::ffmpegCommand("-i " + testsupport::shellQuote(file) +
                                                       " -f rawvideo -pix_fmt bgra -")
                                .c_str(),
                            "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<std::uint8_t> frame(kW * kH * 4);
    int read = 0;
    while (std::fread(frame.data(), 1, frame.size(), pipe) == frame.size()) {
        EXPECT_EQ(readFrameNumber(frame.data(), kW * 4, kW, kH), 1000003u * read + 77) << read;
        ++read;
    }
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(read, kFrames);
}
