// A file indexed by one player is not read again by the next player that opens it, as long
// as the file is unchanged; what the second player shows must not differ in any frame.
#include "components/aviplayer/aviplayer.h"
#include "components/aviplayer/framehash.h"
#include "components/aviplayer/indexcache.h"
#include "components/aviplayer/streamdecoder.h"
#include "testmedia.h"
#include "tests/support/clips.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace aviplayer;

namespace {

class IndexCacheTest : public ::testing::Test {
protected:
    void SetUp() override { IndexCache::clear(); }
    void TearDown() override { IndexCache::clear(); }

    // Digests of every frame, read backwards so that each is found through the index.
    static std::vector<std::string> digests(AviPlayer &player) {
        std::vector<std::string> out(static_cast<std::size_t>(player.frameCount()));
        for (int n = player.frameCount() - 1; n >= 0; --n) {
            const FramePtr frame = player.sourceFrame(n);
            out[static_cast<std::size_t>(n)] = frame ? nativeMd5(*frame) : "missing";
        }
        return out;
    }

    testsupport::TempDir m_dir;
};

} // namespace

TEST_F(IndexCacheTest, ASecondOpenOfAnUnchangedFileReusesTheIndexFrameForFrame) {
    // B-frames in AVI carry no presentation times: the learned order must be kept too.
    const std::string clip = m_dir.path("bframes.avi");
    ASSERT_TRUE(testsupport::makeClip(clip, "-c:v mpeg4 -bf 2 -g 12 -q:v 4", 30));

    AviPlayer first;
    const long before = StreamDecoder::indexScans();
    ASSERT_EQ(first.open(clip, 0), kOpenOk);
    EXPECT_EQ(StreamDecoder::indexScans(), before + 1);

    AviPlayer second;
    int reports = 0;
    double last = 0;
    ASSERT_EQ(second.open(clip, 0,
                          [&](double f) {
                              ++reports;
                              last = f;
                              return true;
                          }),
              kOpenOk);
    EXPECT_EQ(StreamDecoder::indexScans(), before + 1) << "the file was indexed again";
    EXPECT_EQ(reports, 1); // a progress display still sees its end
    EXPECT_EQ(last, 1.0);

    EXPECT_EQ(second.frameCount(), first.frameCount());
    EXPECT_EQ(second.frameRate(), first.frameRate());
    const auto expected = testmedia::framemd5(clip);
    ASSERT_EQ(expected.size(), 30u);
    EXPECT_EQ(digests(first), expected);
    EXPECT_EQ(digests(second), expected);
}

TEST_F(IndexCacheTest, AChangedFileIsIndexedAgain) {
    const std::string clip = m_dir.path("changing.avi");
    ASSERT_TRUE(testsupport::makeClip(clip, "-c:v mpeg4 -g 12 -q:v 4", 20));
    {
        AviPlayer player;
        ASSERT_EQ(player.open(clip, 0), kOpenOk);
        EXPECT_EQ(player.frameCount(), 20);
    }
    // Same name, other content (and another size): the old index would lose frames.
    ASSERT_TRUE(testsupport::makeClip(clip, "-c:v mpeg4 -g 12 -q:v 4", 35));
    const long before = StreamDecoder::indexScans();
    AviPlayer player;
    ASSERT_EQ(player.open(clip, 0), kOpenOk);
    EXPECT_EQ(StreamDecoder::indexScans(), before + 1);
    EXPECT_EQ(player.frameCount(), 35);
}

TEST_F(IndexCacheTest, OnlyTheFilesOpenedLastAreKept) {
    const std::string a = m_dir.path("a.avi"), b = m_dir.path("b.avi"), c = m_dir.path("c.avi");
    for (const auto &file : {a, b, c}) {
        ASSERT_TRUE(testsupport::makeClip(file, "-c:v mpeg4 -g 12 -q:v 4", 10));
        AviPlayer player;
        ASSERT_EQ(player.open(file, 0), kOpenOk);
    }
    const long before = StreamDecoder::indexScans();
    {
        AviPlayer player;
        ASSERT_EQ(player.open(c, 0), kOpenOk); // still kept
        ASSERT_EQ(player.open(b, 0), kOpenOk); // still kept
        ASSERT_EQ(player.open(a, 0), kOpenOk); // pushed out by b and c: read again
    }
    EXPECT_EQ(StreamDecoder::indexScans(), before + 1);
}
