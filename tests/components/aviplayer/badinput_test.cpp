// Bad input gives a failed open or an empty picture: never a crash, a hang, or a wrong
// frame passed off as good. Also what the reader promises about memory and seeking.
#include "components/aviplayer/aviplayer.h"
#include "components/aviplayer/framehash.h"
#include "testmedia.h"
#include "tests/support/clips.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>

using namespace aviplayer;

namespace {

class BadInputTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<testsupport::TempDir>();
        ASSERT_TRUE(testsupport::makeClip(s_dir->path("good.avi"), "-c:v mpeg4 -g 10 -q:v 4", 30));
        ASSERT_TRUE(testsupport::makeClip(s_dir->path("gop.mp4"),
                                          "-c:v libx264 -bf 3 -g 25 -pix_fmt yuv420p", 60));
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    static std::string path(const std::string &name) { return s_dir->path(name); }
    static std::vector<char> bytesOf(const std::string &file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void write(const std::string &file, const std::vector<char> &bytes) {
        std::ofstream(file, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    static std::unique_ptr<testsupport::TempDir> s_dir;
    AviPlayer player;
};

std::unique_ptr<testsupport::TempDir> BadInputTest::s_dir;

TEST_F(BadInputTest, FilesThatAreNoVideoFailToOpen) {
    EXPECT_EQ(player.open(path("missing.avi"), 0), kOpenFailed);
    EXPECT_EQ(player.open("", 0), kOpenFailed);
    write(path("empty.avi"), {});
    EXPECT_EQ(player.open(path("empty.avi"), 0), kOpenFailed);
    const std::string text = "this is not a video, only a few words of text\n";
    write(path("text.avi"), std::vector<char>(text.begin(), text.end()));
    EXPECT_EQ(player.open(path("text.avi"), 0), kOpenFailed);
    EXPECT_FALSE(player.lastError().empty());
    EXPECT_EQ(player.open(path("nothing%04d.bmp"), 0), kOpenFailed);
    EXPECT_EQ(player.open(path("empty.bmp"), 0), kOpenFailed);
    EXPECT_FALSE(player.isOpen());
    EXPECT_EQ(player.frameCount(), 0);
    EXPECT_FALSE(player.image(0));
}

TEST_F(BadInputTest, AFailedOpenClosesThePreviousVideo) {
    ASSERT_EQ(player.open(path("good.avi"), 0), kOpenOk);
    EXPECT_EQ(player.open(path("missing.avi"), 0), kOpenFailed);
    EXPECT_FALSE(player.isOpen());
    EXPECT_EQ(player.width(), 0);
}

TEST_F(BadInputTest, FramesOutOfRangeGiveNothing) {
    ASSERT_EQ(player.open(path("good.avi"), 0), kOpenOk);
    for (int n : {-1, 30, 1 << 30, INT32_MIN}) {
        EXPECT_FALSE(player.image(n)) << n;
        EXPECT_FALSE(player.picturePart(n, 100, 0, 0, 0, 0)) << n;
    }
}

TEST_F(BadInputTest, TruncatedFileDecodesTheFramesItStillHolds) {
    const auto expected = testmedia::framemd5(path("good.avi"));
    ASSERT_EQ(expected.size(), 30u);
    auto bytes = bytesOf(path("good.avi"));
    bytes.resize(bytes.size() / 2);
    write(path("half.avi"), bytes);
    ASSERT_EQ(player.open(path("half.avi"), 0), kOpenOk) << player.lastError();
    EXPECT_GT(player.frameCount(), 5);
    EXPECT_LT(player.frameCount(), 30);
    // Every frame either decodes to the right picture or is reported missing.
    for (int n = player.frameCount() - 1; n >= 0; --n) {
        const FramePtr frame = player.sourceFrame(n);
        if (frame) {
            EXPECT_EQ(nativeMd5(*frame), expected[static_cast<std::size_t>(n)]) << n;
        }
    }
}

TEST_F(BadInputTest, DamagedPacketsDecodeAsFarAsTheyCan) {
    auto bytes = bytesOf(path("good.avi"));
    // Overwrite a stretch in the middle of the frame data with noise.
    std::uint32_t seed = 7;
    for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 3000 && i < bytes.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        bytes[i] = static_cast<char>(seed >> 24);
    }
    write(path("damaged.avi"), bytes);
    ASSERT_EQ(player.open(path("damaged.avi"), 0), kOpenOk);
    int decoded = 0;
    for (int n = 0; n < player.frameCount(); ++n)
        decoded += player.image(n) ? 1 : 0;
    for (int n = player.frameCount() - 1; n >= 0; n -= 3)
        player.image(n);
    EXPECT_GT(decoded, player.frameCount() / 2);
}

TEST_F(BadInputTest, SequenceWithAGapEndsBeforeIt) {
    testsupport::TempDir dir;
    ASSERT_TRUE(
        testsupport::ffmpeg("-f lavfi -i testsrc2=size=32x24:rate=25 -frames:v 6 -start_number 1 " +
                            testsupport::shellQuote(dir.path("s%03d.bmp"))));
    std::filesystem::remove(dir.path("s004.bmp"));
    ASSERT_EQ(player.open(dir.path("s%03d.bmp"), 0), kOpenOk);
    EXPECT_EQ(player.frameCount(), 3);
    // A damaged picture inside a sequence is an empty frame, not a crash.
    write(dir.path("s002.bmp"), {'B', 'M', 0, 0});
    EXPECT_FALSE(player.image(1));
    EXPECT_TRUE(player.image(2));
    // A single picture, named plainly, is a video of one frame.
    ASSERT_EQ(player.open(dir.path("s003.bmp"), 0), kOpenOk);
    EXPECT_EQ(player.frameCount(), 1);
}

// Any single picture opens as a video of one frame, decoded as the same file is inside a
// numbered sequence and as ffmpeg decodes it; the JPEG is large enough that FFmpeg's
// reader takes it in pieces (the case that did not open).
TEST_F(BadInputTest, SinglePicturesOfEveryFormatOpenAsOneFrame) {
    testsupport::TempDir dir;
    for (const std::string ext : {"bmp", "png", "jpg", "jpeg", "JPG", "tif", "tiff"}) {
        ASSERT_TRUE(testsupport::ffmpeg("-f lavfi -i testsrc2=size=320x240:rate=25 -frames:v 2 "
                                        "-q:v 2 -start_number 7 " +
                                        testsupport::shellQuote(dir.path("p%02d." + ext))));
        const std::string single = dir.path("p07." + ext);
        if (ext == "jpg") {
            ASSERT_GT(std::filesystem::file_size(single), 8192u);
        }
        const auto expected = testmedia::framemd5(single);
        ASSERT_EQ(expected.size(), 1u) << ext;

        ASSERT_EQ(player.open(single, kHostModeBit), kOpenOk) << ext << ": " << player.lastError();
        EXPECT_EQ(player.frameCount(), 1) << ext;
        EXPECT_EQ(player.width(), 320) << ext;
        EXPECT_EQ(player.height(), 240) << ext;
        EXPECT_FLOAT_EQ(player.frameRate(), 25.0f) << ext;
        ASSERT_TRUE(player.image(0)) << ext;
        EXPECT_EQ(nativeMd5(*player.sourceFrame(0)), expected[0]) << ext;

        ASSERT_EQ(player.open(dir.path("p%02d." + ext), 0), kOpenOk) << ext;
        EXPECT_EQ(player.frameCount(), 2) << ext;
        EXPECT_EQ(nativeMd5(*player.sourceFrame(0)), expected[0]) << ext;
    }
}

// Only regular files are read: a FIFO nobody writes to would block FFmpeg's open for good,
// a device would be read without end. Links to regular files are followed.
TEST_F(BadInputTest, OnlyRegularFilesOpenAndNothingBlocks) {
    testsupport::TempDir dir;
    for (const char *name : {"pipe.avi", "pipe.jpg", "pipe"}) {
        const std::string fifo = dir.path(name);
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        platform::LONG result = kOpenOk;
        EXPECT_TRUE(
            testmedia::returnsWithoutBlockingOn(fifo, [&] { result = player.open(fifo, 0); }))
            << name << " blocked the open";
        EXPECT_EQ(result, kOpenFailed) << name;
        EXPECT_FALSE(player.isOpen());
        EXPECT_FALSE(player.lastError().empty());
    }
    EXPECT_EQ(player.open("/dev/null", 0), kOpenFailed);
    EXPECT_EQ(player.open(dir.root(), 0), kOpenFailed);

    // A FIFO in a numbered sequence ends it; a picture replaced by a FIFO after the open is
    // a missing frame, not a hang.
    ASSERT_TRUE(
        testsupport::ffmpeg("-f lavfi -i testsrc2=size=32x24:rate=25 -frames:v 4 -start_number 1 " +
                            testsupport::shellQuote(dir.path("s%d.bmp"))));
    std::filesystem::remove(dir.path("s3.bmp"));
    ASSERT_EQ(mkfifo(dir.path("s3.bmp").c_str(), 0600), 0);
    ASSERT_EQ(player.open(dir.path("s%d.bmp"), 0), kOpenOk);
    EXPECT_EQ(player.frameCount(), 2);
    std::filesystem::remove(dir.path("s2.bmp"));
    ASSERT_EQ(mkfifo(dir.path("s2.bmp").c_str(), 0600), 0);
    bool missing = false;
    EXPECT_TRUE(testmedia::returnsWithoutBlockingOn(dir.path("s2.bmp"),
                                                    [&] { missing = !player.image(1); }));
    EXPECT_TRUE(missing);

    // Symbolic links to a video and to a picture open as the files do.
    std::filesystem::create_symlink(path("good.avi"), dir.path("link.avi"));
    ASSERT_EQ(player.open(dir.path("link.avi"), 0), kOpenOk);
    EXPECT_EQ(player.frameCount(), 30);
    std::filesystem::create_symlink(dir.path("s1.bmp"), dir.path("link.bmp"));
    ASSERT_EQ(player.open(dir.path("link.bmp"), 0), kOpenOk);
    EXPECT_EQ(player.frameCount(), 1);
    std::filesystem::create_symlink(dir.path("none.avi"), dir.path("dangling.avi"));
    EXPECT_EQ(player.open(dir.path("dangling.avi"), 0), kOpenFailed);
}

TEST_F(BadInputTest, SteppingBackwardsDecodesTheGopOnce) {
    ReaderSettings settings;
    settings.readAhead = 0;
    AviPlayer stepping(settings);
    ASSERT_EQ(stepping.open(path("gop.mp4"), 0), kOpenOk);
    ASSERT_TRUE(stepping.image(49));
    const int seeks = stepping.reader().seekCount();
    for (int n = 48; n >= 25; --n)
        ASSERT_TRUE(stepping.image(n)) << n;
    EXPECT_EQ(stepping.reader().seekCount(), seeks);
    // Forward from a cached frame continues without a seek as well.
    ASSERT_TRUE(stepping.image(50));
    ASSERT_TRUE(stepping.image(51));
    EXPECT_LE(stepping.reader().seekCount(), seeks + 1);
}

TEST_F(BadInputTest, MemoryStaysWithinTheCacheSetting) {
    ReaderSettings settings;
    settings.cacheBytes = 200000; // a handful of 160 x 120 frames
    AviPlayer bounded(settings);
    ASSERT_EQ(bounded.open(path("gop.mp4"), 0), kOpenOk);
    for (int n = 0; n < bounded.frameCount(); ++n) {
        ASSERT_TRUE(bounded.image(n)) << n;
        ASSERT_LE(bounded.reader().cachedBytes(), settings.cacheBytes);
    }
    for (int n = bounded.frameCount() - 1; n >= 0; n -= 7)
        ASSERT_TRUE(bounded.image(n)) << n;
    EXPECT_LE(bounded.reader().cachedBytes(), settings.cacheBytes);
}

} // namespace
