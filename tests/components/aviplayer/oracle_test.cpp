// Frame accuracy against ffmpeg: every frame the player hands out, in any access order,
// must hash like the frame ffmpeg decodes at that position.
#include "components/aviplayer/aviplayer.h"
#include "components/aviplayer/framehash.h"
#include "testmedia.h"
#include "tests/support/clips.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

using namespace aviplayer;

namespace {

struct Clip {
    const char *name;
    const char *file;
    const char *options;
    int frames;
    const char *size;
};

const Clip kClips[] = {
    {"Mpeg4Avi", "mpeg4.avi", "-c:v mpeg4 -g 12 -q:v 4", 40, "160x120"},
    {"H264BFramesMp4", "h264.mp4", "-c:v libx264 -bf 3 -g 25 -pix_fmt yuv420p", 60, "160x120"},
    {"MjpegAvi", "mjpeg.avi", "-c:v mjpeg -q:v 5 -pix_fmt yuvj420p", 15, "160x120"},
    {"DvPal", "pal.dv", "-c:v dvvideo -pix_fmt yuv420p", 6, "720x576"},
    {"Ffv1Mkv", "ffv1.mkv", "-c:v ffv1 -g 10", 20, "160x120"},
    {"Mpeg2OpenGop", "mpeg2.mpg", "-c:v mpeg2video -bf 2 -g 12 -q:v 4", 40, "176x144"},
    // Containers that keep no presentation timestamps for reordered frames.
    {"Mpeg4BFramesAvi", "mpeg4b.avi", "-c:v mpeg4 -bf 2 -g 12 -q:v 4", 30, "160x120"},
    {"H264BFramesAvi", "h264.avi", "-c:v libx264 -bf 3 -g 12 -pix_fmt yuv420p", 30, "160x120"},
    {"RawH264", "raw.h264", "-c:v libx264 -bf 3 -g 12 -pix_fmt yuv420p -f h264", 30, "160x120"},
};

void PrintTo(const Clip &clip, std::ostream *os) {
    *os << clip.name;
}

std::unique_ptr<testsupport::TempDir> g_dir;

std::string hashOf(AviPlayer &player, int n) {
    const FramePtr frame = player.sourceFrame(n);
    return frame ? nativeMd5(*frame) : std::string("missing");
}

class OracleTest : public ::testing::TestWithParam<Clip> {
public:
    static void SetUpTestSuite() {
        g_dir = std::make_unique<testsupport::TempDir>();
        for (const Clip &c : kClips)
            testsupport::makeClip(g_dir->path(c.file), c.options, c.frames, c.size);
    }
    static void TearDownTestSuite() { g_dir.reset(); }

protected:
    void SetUp() override {
        file = g_dir->path(GetParam().file);
        expected = testmedia::framemd5(file);
        ASSERT_EQ(static_cast<int>(expected.size()), GetParam().frames)
            << "ffmpeg could not make " << file;
        ASSERT_EQ(player.open(file, kHostModeBit), kOpenOk) << player.lastError();
        ASSERT_EQ(player.frameCount(), GetParam().frames);
    }

    std::string file;
    std::vector<std::string> expected;
    AviPlayer player;
};

TEST_P(OracleTest, EveryFrameInOrderMatchesFfmpeg) {
    for (int n = 0; n < player.frameCount(); ++n)
        EXPECT_EQ(hashOf(player, n), expected[static_cast<std::size_t>(n)]) << "frame " << n;
}

TEST_P(OracleTest, BackwardsAndRandomAccessMatchFfmpeg) {
    for (int n = player.frameCount() - 1; n >= 0; --n)
        EXPECT_EQ(hashOf(player, n), expected[static_cast<std::size_t>(n)])
            << "backwards, frame " << n;

    // A fresh player for random access, with a cache too small to hide seeking errors.
    ReaderSettings tiny;
    tiny.cacheBytes = 1;
    AviPlayer fresh(tiny);
    ASSERT_EQ(fresh.open(file, 0), kOpenOk);
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> pick(0, fresh.frameCount() - 1);
    for (int i = 0; i < 40; ++i) {
        const int n = pick(random);
        EXPECT_EQ(hashOf(fresh, n), expected[static_cast<std::size_t>(n)]) << "random, frame " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Codecs, OracleTest, ::testing::ValuesIn(kClips),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(OracleSequences, NumberedPicturesStartingAnywhereMatchFfmpeg) {
    testsupport::TempDir dir;
    // BMP numbered from 7 with four digits, JPG numbered from 3 without padding.
    ASSERT_TRUE(
        testsupport::ffmpeg("-f lavfi -i testsrc2=size=64x48:rate=25 -frames:v 9 -start_number 7 " +
                            testsupport::shellQuote(dir.path("img%04d.bmp"))));
    ASSERT_TRUE(testsupport::ffmpeg(
        "-f lavfi -i testsrc2=size=64x48:rate=25 -frames:v 12 -start_number 3 " +
        testsupport::shellQuote(dir.path("pic%d.jpg"))));
    const struct {
        std::string pattern;
        int start;
        int count;
    } cases[] = {{dir.path("img%04d.bmp"), 7, 9}, {dir.path("pic%d.jpg"), 3, 12}};
    for (const auto &c : cases) {
        const auto expected =
            testmedia::framemd5(c.pattern, "-start_number " + std::to_string(c.start));
        ASSERT_EQ(static_cast<int>(expected.size()), c.count) << c.pattern;
        AviPlayer player;
        ASSERT_EQ(player.open(c.pattern, 0), kOpenOk) << player.lastError();
        ASSERT_EQ(player.frameCount(), c.count);
        EXPECT_FLOAT_EQ(player.frameRate(), 25.0f);
        for (int n : {c.count - 1, 0, 4, 3, c.count - 2})
            EXPECT_EQ(hashOf(player, n), expected[static_cast<std::size_t>(n)])
                << c.pattern << " frame " << n;
    }
}

TEST(OracleEditList, FramesBeforeTheEditAreDecodedButNotCounted) {
    testsupport::TempDir dir;
    const std::string whole = dir.path("whole.mp4"), cut = dir.path("cut.mp4");
    ASSERT_TRUE(testsupport::makeClip(whole, "-c:v libx264 -bf 3 -g 25 -pix_fmt yuv420p", 50));
    // Cut by stream copy between keyframes: the edit list starts mid-GOP.
    ASSERT_TRUE(testsupport::ffmpeg("-ss 1.3 -i " + testsupport::shellQuote(whole) + " -c copy " +
                                    testsupport::shellQuote(cut)));
    const auto expected = testmedia::framemd5(cut);
    ASSERT_GT(expected.size(), 10u);
    ASSERT_LT(expected.size(), 40u);
    AviPlayer player;
    ASSERT_EQ(player.open(cut, 0), kOpenOk);
    ASSERT_EQ(player.frameCount(), static_cast<int>(expected.size()));
    for (int n = player.frameCount() - 1; n >= 0; --n)
        EXPECT_EQ(hashOf(player, n), expected[static_cast<std::size_t>(n)]) << "frame " << n;
}

TEST(OracleVariableRate, CountIsTheTrueCountAndRateTheAverage) {
    testsupport::TempDir dir;
    const std::string file = dir.path("vfr.mkv");
    // 20 frames 40 ms apart, then 10 frames 100 ms apart: 29 intervals over 1.76 s.
    ASSERT_TRUE(testsupport::ffmpeg(
        "-f lavfi -i testsrc2=size=96x64:rate=25 -frames:v 30 "
        "-vf \"settb=1/1000,setpts='if(lt(N,20),N*40,760+(N-19)*100)'\" -fps_mode passthrough "
        "-c:v libx264 -bf 2 -g 8 -pix_fmt yuv420p " +
        testsupport::shellQuote(file)));
    const auto expected = testmedia::framemd5(file);
    ASSERT_EQ(expected.size(), 30u);
    AviPlayer player;
    ASSERT_EQ(player.open(file, 0), kOpenOk);
    EXPECT_EQ(player.frameCount(), 30);
    EXPECT_NEAR(player.frameRate(), 29.0 / 1.76, 0.01);
    for (int n : {29, 0, 21, 20, 19, 7, 28})
        EXPECT_EQ(hashOf(player, n), expected[static_cast<std::size_t>(n)]) << "frame " << n;
}

} // namespace
