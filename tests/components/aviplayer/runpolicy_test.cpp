// What the reader keeps while frames are read in order, and the frames it hands out while it
// lets go of them, reads ahead on its worker and the player makes images on its own thread:
// always the right frames, checked against ffmpeg's digests.
#include "components/aviplayer/aviplayer.h"
#include "components/aviplayer/framehash.h"
#include "testmedia.h"
#include "tests/support/clips.h"
#include "tests/support/tempdir.h"

#include <QImage>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

using namespace aviplayer;

namespace {

class RunPolicy : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new testsupport::TempDir;
        s_file = s_dir->path("gop.mp4");
        // Long GOP with B-frames: a frame let go costs a decode from the keyframe.
        ASSERT_TRUE(testsupport::makeClip(
            s_file, "-c:v libx264 -bf 3 -g 60 -keyint_min 60 -sc_threshold 0", 60));
        s_expected = testmedia::framemd5(s_file);
        ASSERT_EQ(s_expected.size(), 60u);
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }
    static std::size_t bytesOfOneFrame() {
        VideoReader reader;
        EXPECT_TRUE(reader.open(s_file));
        return frameBytes(*reader.frame(0));
    }

    // Frame n of the reader, checked against ffmpeg's digest (a missing frame fails too).
    static ::testing::AssertionResult isFfmpegFrame(VideoReader &reader, int n) {
        const FramePtr f = reader.frame(n);
        if (!f)
            return ::testing::AssertionFailure() << "frame " << n << " missing";
        if (nativeMd5(*f) != s_expected[static_cast<std::size_t>(n)])
            return ::testing::AssertionFailure() << "frame " << n << " is not ffmpeg's";
        return ::testing::AssertionSuccess();
    }

    static testsupport::TempDir *s_dir;
    static std::string s_file;
    static std::vector<std::string> s_expected;
};

// Waits for the worker to have read frame n, for at most a generous while; a worker that
// never gets there fails the test through what follows.
void waitUntilCached(const VideoReader &reader, int n) {
    for (int i = 0; i < 2000 && !reader.isCached(n); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

testsupport::TempDir *RunPolicy::s_dir = nullptr;
std::string RunPolicy::s_file;
std::vector<std::string> RunPolicy::s_expected;

// A run keeps the frames ahead and a few behind, not the whole budget; steps back within
// them cost no decoding, a step further decodes from the keyframe once and keeps what it
// decoded, so that the steps after it are free again.
TEST_F(RunPolicy, ARunKeepsAWindowAndStepsBackStayCheap) {
    ReaderSettings settings;
    settings.readAhead = 4;
    settings.keepBehind = 3;
    VideoReader reader(settings);
    ASSERT_TRUE(reader.open(s_file));
    EXPECT_EQ(reader.readAheadFrames(), 4);
    EXPECT_EQ(reader.keptBehindFrames(), 3);
    const std::size_t frame = frameBytes(*reader.frame(0));
    const int seeksAtOpen = reader.seekCount();
    for (int n = 0; n < 40; ++n) {
        ASSERT_TRUE(isFfmpegFrame(reader, n));
        // The current frame, those behind it, those ahead, and one the worker may be adding.
        EXPECT_LE(reader.cachedBytes(), (1 + 3 + 4 + 1) * frame) << n;
    }
    EXPECT_EQ(reader.seekCount(), seeksAtOpen) << "an in-order run restarted the decoder";

    for (int n = 38; n >= 36; --n)
        EXPECT_TRUE(isFfmpegFrame(reader, n));
    EXPECT_EQ(reader.seekCount(), seeksAtOpen) << "a step back within the window decoded";

    for (int n = 35; n >= 20; --n)
        EXPECT_TRUE(isFfmpegFrame(reader, n));
    EXPECT_EQ(reader.seekCount(), seeksAtOpen + 1) << "steps back further decode once";
}

// A budget smaller than the settings' read-ahead: reading ahead must not push out the frame
// the reader takes next, or every step of a run decodes again from the keyframe.
TEST_F(RunPolicy, ASmallBudgetLowersTheReadAheadInsteadOfLosingTheNextFrame) {
    ReaderSettings settings;
    settings.cacheBytes = 5 * bytesOfOneFrame() + 100;
    settings.readAhead = 8;
    settings.keepBehind = 12;
    VideoReader reader(settings);
    ASSERT_TRUE(reader.open(s_file));
    EXPECT_EQ(reader.readAheadFrames(), 2);
    EXPECT_EQ(reader.keptBehindFrames(), 2);
    const int seeksAtOpen = reader.seekCount();
    for (int n = 0; n < 60; ++n) {
        ASSERT_TRUE(isFfmpegFrame(reader, n));
        EXPECT_LE(reader.cachedBytes(), settings.cacheBytes);
        // A slow reader (one that paints, say): the worker reads all the way ahead first.
        waitUntilCached(reader, std::min(59, n + reader.readAheadFrames()));
    }
    EXPECT_EQ(reader.seekCount(), seeksAtOpen);

    // A budget of one frame: no reading ahead at all, and still every frame.
    settings.cacheBytes = bytesOfOneFrame();
    VideoReader tiny(settings);
    ASSERT_TRUE(tiny.open(s_file));
    EXPECT_EQ(tiny.readAheadFrames(), 0);
    for (int n = 0; n < 60; n += 7)
        EXPECT_TRUE(isFfmpegFrame(tiny, n));
}

// The display thread makes images ahead while the caller takes them, the reader's worker
// decodes ahead and the run lets go of frames behind it; a second thread meanwhile jumps
// about through the same player. Every image carries its own frame's luma, and every frame
// either thread gets is ffmpeg's.
TEST_F(RunPolicy, FramesStayRightWhileTheCacheLetsGoAndTheDisplayThreadRuns) {
    ReaderSettings settings;
    settings.readAhead = 3;
    settings.keepBehind = 2;
    AviPlayer player(settings);
    ASSERT_EQ(player.open(s_file, 0), kOpenOk);

    std::atomic<bool> done{false};
    std::atomic<int> wrong{0};
    std::thread jumper([&] {
        std::mt19937 random(7);
        std::uniform_int_distribution<int> pick(0, 59);
        while (!done) {
            const int n = pick(random);
            const FramePtr f = player.sourceFrame(n);
            if (!f || nativeMd5(*f) != s_expected[static_cast<std::size_t>(n)])
                ++wrong;
        }
    });
    for (int pass = 0; pass < 2; ++pass)
        for (int n = 0; n < 60; ++n) {
            const auto image = player.image(n);
            ASSERT_TRUE(image) << n;
            ASSERT_TRUE(image->source) << n;
            // The luma the image hands out is its frame's own decoded plane.
            EXPECT_EQ(nativeMd5(*image->source), s_expected[static_cast<std::size_t>(n)]) << n;
            EXPECT_EQ(image->sourceLuma, image->source->data[0]) << n;
        }
    done = true;
    jumper.join();
    EXPECT_EQ(wrong, 0);
}

// A picture of another size than frame 0 is refused, however often it is asked for: it must
// not reach the cache on its way out of the decoder and be handed out the second time.
TEST(ReaderRefusal, AFrameUnlikeFrameZeroIsRefusedEveryTime) {
    testsupport::TempDir dir;
    for (int n = 1; n <= 3; ++n) {
        QImage picture(n == 2 ? 10 : 8, 6, QImage::Format_RGB32);
        picture.fill(qRgb(40 * n, 20, 20));
        ASSERT_TRUE(picture.save(QString::fromStdString(dir.path("p" + std::to_string(n) + ".bmp")),
                                 "BMP"));
    }
    VideoReader reader;
    ASSERT_TRUE(reader.open(dir.path("p%d.bmp")));
    ASSERT_EQ(reader.frameCount(), 3);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_TRUE(reader.frame(0)) << attempt;
        EXPECT_FALSE(reader.frame(1)) << attempt;
        EXPECT_TRUE(reader.frame(2)) << attempt;
    }
}

} // namespace
