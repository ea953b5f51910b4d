// The reader's parts on their own: the frame index, the frame cache, sequence listing, the
// open-mode layouts and the picture mixing.
#include "components/aviplayer/framecache.h"
#include "components/aviplayer/frameindex.h"
#include "components/aviplayer/framelayout.h"
#include "components/aviplayer/imagesequence.h"
#include "components/aviplayer/picturemix.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <fstream>

extern "C" {
#include <libavutil/frame.h>
}

using namespace aviplayer;

namespace {

PacketInfo packet(std::int64_t pts, std::int64_t dts, std::int64_t pos, bool key,
                  bool counted = true) {
    return PacketInfo{pts, dts, pos, key, counted};
}

TEST(FrameIndex, OrdersBFramesByPresentationAndPicksKeyframes) {
    // Decode order I0 P3 B1 B2 | I6 B4 B5 P7 (an open GOP: B4 and B5 lean on P3).
    FrameIndex index;
    const std::int64_t pts[] = {0, 3, 1, 2, 6, 4, 5, 7};
    for (int i = 0; i < 8; ++i)
        index.add(packet(pts[i] * 10, i * 10 - 10, 100 + i, i == 0 || i == 4));
    index.finish();
    ASSERT_EQ(index.frameCount(), 8);
    EXPECT_EQ(index.match(), FrameIndex::Match::Position);
    EXPECT_EQ(index.packetOfFrame(1), 2);
    EXPECT_EQ(index.packetOfFrame(3), 1);
    EXPECT_EQ(index.frameOfPacket(5), 4);
    // Frames 4 and 5 come before the second keyframe's own frame: start at the first.
    EXPECT_EQ(index.keyframeFor(4), 0);
    EXPECT_EQ(index.keyframeFor(5), 0);
    EXPECT_EQ(index.keyframeFor(6), 4);
    EXPECT_EQ(index.keyframeFor(7), 4);
    EXPECT_EQ(index.previousKeyframe(4), 0);
    EXPECT_EQ(index.previousKeyframe(0), -1);
    EXPECT_EQ(index.lookup(0, 0, 105), 5);
    EXPECT_FALSE(index.lookup(0, 0, 99).has_value());
    EXPECT_DOUBLE_EQ(index.framesPerTick(), 7.0 / 70.0);
}

TEST(FrameIndex, DiscardedAndEmptyPacketsAreDecodedButNotCounted) {
    FrameIndex index;
    index.add(packet(-20, -30, 0, true, false)); // before the edit list's start
    index.add(packet(0, -20, 10, false));
    index.add(packet(20, -10, 20, false, false)); // empty
    index.add(packet(10, 0, 30, false));
    index.finish();
    EXPECT_EQ(index.packetCount(), 4);
    ASSERT_EQ(index.frameCount(), 2);
    EXPECT_EQ(index.packetOfFrame(0), 1);
    EXPECT_EQ(index.packetOfFrame(1), 3);
    EXPECT_EQ(index.frameOfPacket(0), -1);
    EXPECT_EQ(index.frameOfPacket(2), -1);
    // No counted keyframe: decoding starts at the first packet.
    EXPECT_EQ(index.keyframeFor(1), 0);
}

TEST(FrameIndex, MissingTimestampsFallBackToDecodeOrderAndSequentialMatching) {
    FrameIndex index;
    for (int i = 0; i < 5; ++i)
        index.add(packet(i == 2 ? kNoTimestamp : 100 - i, kNoTimestamp, -1, i == 0));
    index.finish();
    EXPECT_FALSE(index.hasTimestamps());
    EXPECT_EQ(index.match(), FrameIndex::Match::Sequential);
    for (int f = 0; f < 5; ++f)
        EXPECT_EQ(index.packetOfFrame(f), f);
    EXPECT_EQ(index.framesPerTick(), 0.0);
    EXPECT_FALSE(index.lookup(100, 0, 0).has_value());
    EXPECT_EQ(index.keyframeFor(99), 0); // out of range asks for the start
}

TEST(FrameIndex, OrderLearnedFromTheDecoderReplacesDecodeOrder) {
    FrameIndex index;
    for (int i = 0; i < 5; ++i)
        index.add(packet(kNoTimestamp, i, 10 * i, i == 0 || i == 3));
    index.finish();
    // Packet 2 gave no frame; the decoder named packet 1 twice and a stranger (9).
    index.setPresentationOrder({0, 3, 1, 9, 1, 4});
    ASSERT_EQ(index.frameCount(), 4);
    EXPECT_EQ(index.packetOfFrame(1), 3);
    EXPECT_EQ(index.packetOfFrame(2), 1);
    EXPECT_EQ(index.frameOfPacket(2), -1);
    EXPECT_EQ(index.keyframeFor(2),
              0); // packet 3's own frame (1) would do, but it comes after packet 1
    EXPECT_EQ(index.keyframeFor(3), 3);
}

TEST(FrameIndex, DuplicatePositionsMatchByDts) {
    FrameIndex index;
    for (int i = 0; i < 3; ++i)
        index.add(packet(i, i, 7, true));
    index.finish();
    EXPECT_EQ(index.match(), FrameIndex::Match::Dts);
    EXPECT_EQ(index.lookup(0, 2, 7), 2);
}

FramePtr makeFrame(int width, int height) {
    AVFrame *f = av_frame_alloc();
    f->width = width;
    f->height = height;
    f->format = 8; // AV_PIX_FMT_GRAY8
    EXPECT_EQ(av_frame_get_buffer(f, 1), 0);
    FramePtr out = adoptFrame(f);
    av_frame_free(&f);
    return out;
}

TEST(FrameCache, EvictsLeastRecentlyUsedWithinTheBudget) {
    const FramePtr probe = makeFrame(100, 10);
    const std::size_t one = frameBytes(*probe);
    ASSERT_GE(one, 1000u);
    FrameCache cache(3 * one);
    for (int n = 0; n < 3; ++n)
        cache.insert(n, makeFrame(100, 10));
    EXPECT_TRUE(cache.find(0)); // 0 becomes the most recent; 1 is now the oldest
    cache.insert(3, makeFrame(100, 10));
    EXPECT_FALSE(cache.contains(1));
    EXPECT_TRUE(cache.contains(0));
    EXPECT_TRUE(cache.contains(3));
    EXPECT_LE(cache.bytes(), cache.budget());
    // Replacing an entry does not count it twice.
    cache.insert(3, makeFrame(100, 10));
    EXPECT_EQ(cache.bytes(), 3 * one);
    // A frame bigger than the whole budget is not kept and evicts nothing.
    cache.insert(9, makeFrame(1000, 10));
    EXPECT_FALSE(cache.contains(9));
    EXPECT_EQ(cache.size(), 3u);
    // A smaller budget lets the least recently used go at once.
    EXPECT_TRUE(cache.find(3));
    cache.setBudget(one);
    EXPECT_EQ(cache.size(), 1u);
    EXPECT_TRUE(cache.contains(3));
    cache.clear();
    EXPECT_EQ(cache.bytes(), 0u);
}

TEST(ImageSequence, PatternsAndNames) {
    EXPECT_TRUE(ImageSequence::isPattern("/a/img%04d.bmp"));
    EXPECT_TRUE(ImageSequence::isPattern("img%d.jpg"));
    EXPECT_FALSE(ImageSequence::isPattern("img.bmp"));
    EXPECT_FALSE(ImageSequence::isPattern("100%%.bmp"));
    EXPECT_FALSE(ImageSequence::isPattern("img%s.bmp"));
    EXPECT_FALSE(ImageSequence::isPattern("a%d_%d.bmp"));
    EXPECT_FALSE(ImageSequence::isPattern("img%"));
    EXPECT_EQ(ImageSequence::fileName("/a/img%04d.bmp", 17), "/a/img0017.bmp");
    EXPECT_EQ(ImageSequence::fileName("img%d.jpg", 17), "img17.jpg");
    EXPECT_EQ(ImageSequence::fileName("x%3d%%.bmp", 5), "x  5%.bmp");
    EXPECT_FALSE(ImageSequence::fileName("plain.bmp", 1));
}

TEST(ImageSequence, FindsTheFirstNumberAndStopsAtAGap) {
    testsupport::TempDir dir;
    for (int n : {12, 13, 14, 16, 17})
        std::ofstream(dir.path(*ImageSequence::fileName("img%04d.bmp", n))) << "x";
    std::ofstream(dir.path("img5.bmp")) << "x";    // not in the %04d form
    std::ofstream(dir.path("img0003.jpg")) << "x"; // another suffix
    const ImageSequence seq = ImageSequence::list(dir.path("img%04d.bmp"));
    EXPECT_EQ(seq.firstNumber(), 12);
    ASSERT_EQ(seq.count(), 3);
    EXPECT_EQ(seq.file(2), dir.path("img0014.bmp"));

    const ImageSequence loose = ImageSequence::list(dir.path("img%d.bmp"));
    ASSERT_EQ(loose.count(), 1); // only img5.bmp is written by %d
    EXPECT_EQ(loose.firstNumber(), 5);

    EXPECT_TRUE(ImageSequence::list(dir.path("none%04d.bmp")).empty());
    EXPECT_TRUE(ImageSequence::list(dir.path("missing/img%04d.bmp")).empty());
}

// A plane whose every byte tells its row and column: row * 16 + column.
std::vector<std::uint8_t> numberedPlane(int width, int height) {
    std::vector<std::uint8_t> plane(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            plane[static_cast<std::size_t>(y * width + x)] = static_cast<std::uint8_t>(y * 16 + x);
    return plane;
}

std::vector<std::uint8_t> extract(const FrameLayout &layout, const std::vector<std::uint8_t> &plane,
                                  int width, int sub) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(layout.width() * layout.height()), 0xFF);
    layout.extract(plane.data(), width, 1, sub, out.data(), layout.width());
    return out;
}

std::uint8_t at(int row, int column) {
    return static_cast<std::uint8_t>(row * 16 + column);
}

TEST(OpenMode, ParsesLayoutRotationFlipAndTheHostBit) {
    const auto m =
        OpenMode::parse(TALVORAVIMODE_FIELDS + TALVORAVIMODE_HORIZONTAL_FLIP + kHostModeBit);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->layout, 1);
    EXPECT_EQ(m->rotation, 0);
    EXPECT_TRUE(m->flip);
    EXPECT_EQ(OpenMode::parse(TALVORAVIMODE_ROTATE_270)->rotation, 270);
    EXPECT_FALSE(OpenMode::parse(6));
    EXPECT_FALSE(OpenMode::parse(255));
    EXPECT_FALSE(OpenMode::parse(TALVORAVIMODE_ROTATE_90 | TALVORAVIMODE_ROTATE_180));
}

TEST(FrameLayout, FieldsAreLineDoubledInTemporalOrder) {
    const auto plane = numberedPlane(2, 5); // an odd height: the bottom field has 2 lines
    const FrameLayout top(*OpenMode::parse(1), 2, 5, FieldOrder::TopFirst);
    ASSERT_EQ(top.perFrame(), 2);
    EXPECT_EQ(top.width(), 2);
    EXPECT_EQ(top.height(), 5);
    auto first = extract(top, plane, 2, 0);
    EXPECT_EQ(first, (std::vector<std::uint8_t>{at(0, 0), at(0, 1), at(0, 0), at(0, 1), at(2, 0),
                                                at(2, 1), at(2, 0), at(2, 1), at(4, 0), at(4, 1)}));
    auto second = extract(top, plane, 2, 1);
    EXPECT_EQ(second[0], at(1, 0));
    EXPECT_EQ(second[2 * 2], at(3, 0));
    EXPECT_EQ(second[4 * 2], at(3, 0)); // no line 5: the field's last line repeats

    const FrameLayout bottom(*OpenMode::parse(1), 2, 5, FieldOrder::BottomFirst);
    EXPECT_EQ(extract(bottom, plane, 2, 0), second);
    EXPECT_EQ(extract(bottom, plane, 2, 1), first);
    // A stream that does not say is taken as bottom field first, as DV is.
    const FrameLayout unknown(*OpenMode::parse(1), 2, 5, FieldOrder::Unknown);
    EXPECT_EQ(extract(unknown, plane, 2, 0), second);
    const FrameLayout fast(*OpenMode::parse(5), 2, 8, FieldOrder::Unknown);
    EXPECT_EQ(extract(fast, numberedPlane(2, 8), 2, 0)[0], at(1, 0));
}

TEST(FrameLayout, CameraLayoutsSplitFramesIntoSubPictures) {
    const auto plane = numberedPlane(4, 8);
    const FrameLayout sideBySide(*OpenMode::parse(2), 4, 8, FieldOrder::TopFirst);
    EXPECT_EQ(sideBySide.width(), 2);
    EXPECT_EQ(sideBySide.height(), 8);
    EXPECT_EQ(extract(sideBySide, plane, 4, 1)[0], at(0, 2));

    const FrameLayout interleaved(*OpenMode::parse(3), 4, 8, FieldOrder::BottomFirst);
    EXPECT_EQ(interleaved.height(), 4);
    EXPECT_EQ(extract(interleaved, plane, 4, 0)[4], at(3, 0)); // bottom field's second line
    EXPECT_EQ(extract(interleaved, plane, 4, 1)[4], at(2, 0));

    const FrameLayout stacked(*OpenMode::parse(4), 4, 8, FieldOrder::TopFirst);
    EXPECT_EQ(stacked.height(), 4);
    EXPECT_EQ(extract(stacked, plane, 4, 1)[0], at(4, 0));

    const FrameLayout fast(*OpenMode::parse(5), 4, 8, FieldOrder::TopFirst);
    ASSERT_EQ(fast.perFrame(), 4);
    EXPECT_EQ(fast.height(), 2);
    // Top field lines 0 2 | 4 6, then bottom field lines 1 3 | 5 7.
    const std::uint8_t firstRows[] = {at(0, 0), at(4, 0), at(1, 0), at(5, 0)};
    const std::uint8_t secondRows[] = {at(2, 0), at(6, 0), at(3, 0), at(7, 0)};
    for (int sub = 0; sub < 4; ++sub) {
        const auto out = extract(fast, plane, 4, sub);
        EXPECT_EQ(out[0], firstRows[sub]) << sub;
        EXPECT_EQ(out[4], secondRows[sub]) << sub;
    }
    EXPECT_FALSE(FrameLayout(*OpenMode::parse(5), 4, 3, FieldOrder::TopFirst).valid());
    EXPECT_FALSE(FrameLayout(*OpenMode::parse(1), 4, 1, FieldOrder::TopFirst).valid());
}

TEST(FrameLayout, RotationTurnsClockwiseAndTheFlipComesAfter) {
    const auto plane = numberedPlane(3, 2); // 0 1 2 / 16 17 18
    const FrameLayout r90(*OpenMode::parse(TALVORAVIMODE_ROTATE_90), 3, 2, FieldOrder::TopFirst);
    EXPECT_EQ(r90.width(), 2);
    EXPECT_EQ(r90.height(), 3);
    EXPECT_EQ(extract(r90, plane, 3, 0), (std::vector<std::uint8_t>{16, 0, 17, 1, 18, 2}));
    const FrameLayout r180(*OpenMode::parse(TALVORAVIMODE_ROTATE_180), 3, 2, FieldOrder::TopFirst);
    EXPECT_EQ(extract(r180, plane, 3, 0), (std::vector<std::uint8_t>{18, 17, 16, 2, 1, 0}));
    const FrameLayout r270(*OpenMode::parse(TALVORAVIMODE_ROTATE_270), 3, 2, FieldOrder::TopFirst);
    EXPECT_EQ(extract(r270, plane, 3, 0), (std::vector<std::uint8_t>{2, 18, 1, 17, 0, 16}));
    const FrameLayout flip(*OpenMode::parse(TALVORAVIMODE_HORIZONTAL_FLIP), 3, 2,
                           FieldOrder::TopFirst);
    EXPECT_EQ(extract(flip, plane, 3, 0), (std::vector<std::uint8_t>{2, 1, 0, 18, 17, 16}));
    const FrameLayout r90flip(
        *OpenMode::parse(TALVORAVIMODE_ROTATE_90 | TALVORAVIMODE_HORIZONTAL_FLIP), 3, 2,
        FieldOrder::TopFirst);
    EXPECT_EQ(extract(r90flip, plane, 3, 0), (std::vector<std::uint8_t>{0, 16, 1, 17, 2, 18}));
}

platform::ComPtr<platform::IPicture> solid(int w, int h, std::uint8_t b, std::uint8_t g,
                                           std::uint8_t r) {
    auto p = platform::createPicture(w, h, platform::PixelFormat::Bgra32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t *px = p->mutableData() + y * p->image().stride + 4 * x;
            px[0] = b;
            px[1] = g;
            px[2] = r;
            px[3] = 255;
        }
    return p;
}

const std::uint8_t *pixel(const platform::ComPtr<platform::IPicture> &p, int x, int y) {
    return p->image().row(y) + 4 * x;
}

TEST(PictureMix, MedianRemovesWhatMovesAndRefusesMismatches) {
    auto a = solid(4, 2, 10, 20, 30), b = solid(4, 2, 10, 20, 30), c = solid(4, 2, 10, 20, 30);
    b->mutableData()[0] = 200; // something passing through pixel (0,0) in one picture only
    c->mutableData()[4 * 3 + 1] = 0;
    const auto bg = medianPicture(a.get(), b.get(), c.get());
    ASSERT_TRUE(bg);
    EXPECT_EQ(pixel(bg, 0, 0)[0], 10);
    EXPECT_EQ(pixel(bg, 3, 0)[1], 20);
    EXPECT_FALSE(medianPicture(a.get(), b.get(), nullptr));
    const auto other = solid(3, 2, 0, 0, 0);
    EXPECT_FALSE(medianPicture(a.get(), b.get(), other.get()));
}

TEST(PictureMix, OverlaysOnlyWhatDiffersFromTheBackground) {
    const auto background = solid(3, 1, 100, 100, 100);
    const auto first = solid(3, 1, 0, 0, 0);
    auto second = solid(3, 1, 100, 100, 100);
    std::uint8_t *moved = second->mutableData() + 4; // pixel 1 differs by 60 in blue
    moved[0] = 160;
    const platform::COLORREF red = 0x0000FF;

    const auto tinted =
        mixOver(background.get(), first.get(), second.get(), MIX_DIFF_MAX_CHANNEL, 50.0f, red);
    ASSERT_TRUE(tinted);
    EXPECT_EQ(pixel(tinted, 0, 0)[0], 0);   // unchanged: the first video shows
    EXPECT_EQ(pixel(tinted, 1, 0)[0], 80);  // (160 + 0 + 1) / 2
    EXPECT_EQ(pixel(tinted, 1, 0)[2], 178); // (100 + 255 + 1) / 2

    const auto plain =
        mixOver(background.get(), first.get(), second.get(), MIX_UNTINTED, 50.0f, red);
    EXPECT_EQ(pixel(plain, 1, 0)[0], 160);
    const auto painted =
        mixOver(background.get(), first.get(), second.get(), MIX_SOLID, 50.0f, red);
    EXPECT_EQ(pixel(painted, 1, 0)[2], 255);
    EXPECT_EQ(pixel(painted, 1, 0)[0], 0);
    // By luma, a blue change of 60 is about 7 grey levels: under the threshold.
    const auto byLuma =
        mixOver(background.get(), first.get(), second.get(), MIX_DIFF_LUMA, 50.0f, red);
    EXPECT_EQ(pixel(byLuma, 1, 0)[0], 0);
    // A threshold at the difference itself keeps the pixel out.
    EXPECT_EQ(pixel(mixOver(background.get(), first.get(), second.get(), 0, 60.0f, red), 1, 0)[0],
              0);
    // Without a second picture the first comes back unchanged; without a first, nothing.
    EXPECT_EQ(pixel(mixOver(background.get(), first.get(), nullptr, 0, 1.0f, red), 1, 0)[0], 0);
    EXPECT_FALSE(mixOver(background.get(), nullptr, second.get(), 0, 1.0f, red));
}

} // namespace
