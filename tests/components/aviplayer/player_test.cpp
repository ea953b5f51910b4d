// The player as the video view control meets it: by DISPID through CTalvorAVI, with open
// modes, drawing, picture parts, the forced rate, the cache and bad input.
#include "components/aviplayer/aviplayer.h"
#include "components/aviplayer/aviplayerobject.h"
#include "components/aviplayer/ctalvoravi.h"
#include "components/aviplayer/framehash.h"
#include "components/aviplayer/picturemix.h"
#include "testmedia.h"
#include "tests/support/clips.h"
#include "tests/support/tempdir.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

using namespace aviplayer;
using platform::LONG;

namespace {

constexpr int kW = 8;
constexpr int kH = 6;

// The colour of pixel (x, y) of frame n in the generated BMP sequence: every pixel and
// frame distinct, so that a wrong mapping cannot pass.
QRgb colourAt(int n, int x, int y) {
    return qRgb(x * 30, y * 40, n * 50 + 5);
}

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Frames numbered from 21, written losslessly as BMP.
        for (int n = 0; n < 4; ++n) {
            QImage image(kW, kH, QImage::Format_RGB32);
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x)
                    image.setPixel(x, y, colourAt(n, x, y));
            ASSERT_TRUE(image.save(
                QString::fromStdString(dir.path("f" + std::to_string(21 + n) + ".bmp")), "BMP"));
        }
        pattern = dir.path("f%d.bmp");
        registerClasses();
        player = CTalvorAVI::create();
        ASSERT_TRUE(player.valid());
    }

    QRgb deliveredAt(const platform::ComPtr<platform::IPicture> &picture, int x, int y) {
        const std::uint8_t *p = picture->image().row(y) + 4 * x;
        return qRgb(p[2], p[1], p[0]);
    }

    testsupport::TempDir dir;
    std::string pattern;
    CTalvorAVI player;
};

TEST_F(PlayerTest, OpensBySequencePatternAndReportsTheFrames) {
    player.setBackColor(0x00112233);
    ASSERT_EQ(player.open(pattern, kHostModeBit), 0);
    EXPECT_TRUE(player.isOpen());
    EXPECT_EQ(player.numberOfFrames(), 4);
    EXPECT_EQ(player.width(), kW);
    EXPECT_EQ(player.height(), kH);
    EXPECT_FLOAT_EQ(player.frameRate(), 25.0f);
    for (int n : {3, 0, 2}) {
        const auto whole = player.picturePart(n, 100, 0, 0, 0, 0);
        ASSERT_TRUE(whole) << n;
        EXPECT_EQ(whole->image().width, kW);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                ASSERT_EQ(deliveredAt(whole, x, y), colourAt(n, x, y)) << n << " " << x << "," << y;
    }
    EXPECT_EQ(player.close(), 0);
    EXPECT_FALSE(player.isOpen());
    EXPECT_EQ(player.numberOfFrames(), 0);
    EXPECT_FALSE(player.picturePart(0, 100, 0, 0, 0, 0));
}

TEST_F(PlayerTest, PicturePartsAreClippedToTheFrame) {
    ASSERT_EQ(player.open(pattern, 0), 0);
    const auto part = player.picturePart(1, 100, 2, 3, 4, 2);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->image().width, 4);
    EXPECT_EQ(part->image().height, 2);
    EXPECT_EQ(deliveredAt(part, 0, 0), colourAt(1, 2, 3));
    EXPECT_EQ(deliveredAt(part, 3, 1), colourAt(1, 5, 4));
    // The luma of a source without a luma plane is computed from the display pixels.
    EXPECT_EQ(part->luma().width, 4);

    const auto overhang = player.picturePart(1, 100, 6, -2, 10, 10);
    ASSERT_TRUE(overhang);
    EXPECT_EQ(overhang->image().width, 2);
    EXPECT_EQ(overhang->image().height, kH);
    EXPECT_EQ(deliveredAt(overhang, 0, 0), colourAt(1, 6, 0));

    const auto zoomed = player.picturePart(1, 200, 0, 0, 2, 2);
    ASSERT_TRUE(zoomed);
    EXPECT_EQ(zoomed->image().width, 4);
    EXPECT_EQ(deliveredAt(zoomed, 3, 3), colourAt(1, 1, 1));

    EXPECT_FALSE(player.picturePart(1, 100, kW, 0, 5, 5)); // wholly outside
    EXPECT_FALSE(player.picturePart(1, 100, 0, 0, -1, 3)); // negative size
    EXPECT_FALSE(player.picturePart(1, 0, 0, 0, 0, 0));    // no zoom
    EXPECT_FALSE(player.picturePart(4, 100, 0, 0, 0, 0));  // past the end
    EXPECT_FALSE(player.picturePart(-1, 100, 0, 0, 0, 0));
}

TEST_F(PlayerTest, ModesChangeCountRateAndGeometry) {
    ASSERT_EQ(player.open(pattern, TALVORAVIMODE_FIELDS + kHostModeBit), 0);
    EXPECT_EQ(player.numberOfFrames(), 8);
    EXPECT_FLOAT_EQ(player.frameRate(), 50.0f);
    EXPECT_EQ(player.height(), kH);
    // Pictures say nothing of their fields: bottom first. Frame 3 is the second (top)
    // field of frame 1, line-doubled.
    auto field = player.picturePart(3, 100, 0, 0, 0, 0);
    ASSERT_TRUE(field);
    EXPECT_EQ(deliveredAt(field, 2, 0), colourAt(1, 2, 0));
    EXPECT_EQ(deliveredAt(field, 2, 3), colourAt(1, 2, 2));

    ASSERT_EQ(player.open(pattern, TALVORAVIMODE_ROTATE_90 + kHostModeBit), 0);
    EXPECT_EQ(player.width(), kH);
    EXPECT_EQ(player.height(), kW);
    auto turned = player.picturePart(2, 100, 0, 0, 0, 0);
    ASSERT_TRUE(turned);
    EXPECT_EQ(deliveredAt(turned, 0, 0), colourAt(2, 0, kH - 1)); // the bottom-left corner comes up
    EXPECT_EQ(deliveredAt(turned, kH - 1, kW - 1), colourAt(2, kW - 1, 0));

    ASSERT_EQ(player.open(pattern, TALVORAVIMODE_JVC9X00_200 + TALVORAVIMODE_HORIZONTAL_FLIP), 0);
    EXPECT_EQ(player.numberOfFrames(), 16);
    EXPECT_FLOAT_EQ(player.frameRate(), 100.0f);
    EXPECT_EQ(player.height(), 1);
    auto fast = player.picturePart(0, 100, 0, 0, 0, 0);
    ASSERT_TRUE(fast);
    EXPECT_EQ(deliveredAt(fast, 0, 0), colourAt(0, kW - 1, 1)); // the bottom field's top

    EXPECT_EQ(player.open(pattern, 7), -1); // no such layout
    EXPECT_FALSE(player.isOpen());
    EXPECT_EQ(player.open(pattern, TALVORAVIMODE_ROTATE_90 | TALVORAVIMODE_ROTATE_270), -1);
}

TEST_F(PlayerTest, ForcedRateReplacesTheRateUntilCleared) {
    ASSERT_EQ(player.open(pattern, 0), 0);
    player.setFrameRateForced(100.0f);
    EXPECT_FLOAT_EQ(player.frameRateForced(), 100.0f);
    EXPECT_FLOAT_EQ(player.frameRate(), 100.0f);
    player.setFrameRateForced(-5.0f); // ignored
    EXPECT_FLOAT_EQ(player.frameRate(), 100.0f);
    player.setFrameRateForced(0.0f);
    EXPECT_FLOAT_EQ(player.frameRate(), 25.0f);
}

// A forced rate is the rate of the stored pictures (a recording at 100 pictures a second):
// every layout multiplies it as it multiplies the stream's own rate, so the time of a
// picture (delivered number / rate) is the same instant whichever way it was opened.
TEST_F(PlayerTest, ForcedRateIsTheStoredRateInEveryLayout) {
    const struct {
        int mode;
        int perFrame;
    } layouts[] = {{0, 1},
                   {TALVORAVIMODE_FIELDS, 2},
                   {TALVORAVIMODE_PRAXIM100, 2},
                   {TALVORAVIMODE_JVC9X00, 2},
                   {TALVORAVIMODE_JVC9X00_VERT, 2},
                   {TALVORAVIMODE_JVC9X00_200, 4},
                   {TALVORAVIMODE_FIELDS | TALVORAVIMODE_ROTATE_90, 2}};
    for (const auto &l : layouts) {
        player.setFrameRateForced(0.0f);
        ASSERT_EQ(player.open(pattern, l.mode + kHostModeBit), 0) << l.mode;
        ASSERT_EQ(player.numberOfFrames(), 4 * l.perFrame);
        EXPECT_FLOAT_EQ(player.frameRate(), 25.0f * l.perFrame) << l.mode;
        player.setFrameRateForced(100.0f);
        EXPECT_FLOAT_EQ(player.frameRateForced(), 100.0f) << l.mode; // reads back as set
        EXPECT_FLOAT_EQ(player.frameRate(), 100.0f * l.perFrame) << l.mode;
        // The first picture of the last stored frame is taken at 3 / 100 s; the last
        // delivered picture one delivered interval after the last but perFrame - 1.
        const int firstOfLast = 3 * l.perFrame;
        EXPECT_DOUBLE_EQ(firstOfLast / static_cast<double>(player.frameRate()), 0.03) << l.mode;
        EXPECT_NEAR((player.numberOfFrames() - 1) / static_cast<double>(player.frameRate()),
                    0.03 + (l.perFrame - 1) / (100.0 * l.perFrame), 1e-9)
            << l.mode;
        // The forced rate outlives the open, as the view keeps it.
        ASSERT_EQ(player.open(pattern, l.mode), 0);
        EXPECT_FLOAT_EQ(player.frameRate(), 100.0f * l.perFrame) << l.mode;
    }
    player.close();
    EXPECT_FLOAT_EQ(player.frameRate(), 100.0f); // nothing open: the stored rate alone
}

TEST_F(PlayerTest, DrawsZoomedShiftedPixelsAndBackColourForMissingFrames) {
    ASSERT_EQ(player.open(pattern, 0), 0);
    QImage target(40, 40, QImage::Format_RGB32);
    target.fill(Qt::black);
    {
        QPainter painter(&target);
        // Zoom 200 from source column 2, row 1, shifted one screen pixel up and left.
        EXPECT_EQ(player.drawFrame(&painter, 2, 200, 2, 1, kW, kH, -1, -1), 0);
    }
    EXPECT_EQ(target.pixel(0, 0), colourAt(2, 2, 1));
    EXPECT_EQ(target.pixel(1, 1), colourAt(2, 3, 2)); // (1 + 1) / 2 = 1 past the first column
    EXPECT_EQ(target.pixel(2, 0), colourAt(2, 3, 1));
    EXPECT_EQ(target.pixel(10, 8), colourAt(2, 7, 5));
    EXPECT_EQ(target.pixel(11, 9), qRgb(0, 0, 0)); // beyond the frame's last column

    player.setBackColor(0x000000FF); // red as 0x00BBGGRR
    {
        QPainter painter(&target);
        EXPECT_EQ(player.drawFrame(&painter, 99, 100, 0, 0, kW, kH, 0, 0), -1);
        EXPECT_EQ(player.drawFrame(&painter, 0, 0, 0, 0, kW, kH, 0, 0), -2);
    }
    EXPECT_EQ(target.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(player.drawFrame(nullptr, 0, 100, 0, 0, kW, kH, 0, 0), -2);
}

TEST_F(PlayerTest, DispatchRejectsWrongArgumentsWithoutCrashing) {
    platform::IDispatch *d = player.dispatch();
    using K = platform::DispatchKind;
    EXPECT_EQ(platform::invoke(d, dispid::Open, K::Method, {platform::Variant("x")}).status,
              platform::DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(platform::invoke(d, dispid::Open, K::Method,
                               {platform::Variant(pattern), platform::Variant("abc")})
                  .status,
              platform::DISP_E_TYPEMISMATCH);
    EXPECT_EQ(platform::invoke(d, 999, K::Method).status, platform::DISP_E_MEMBERNOTFOUND);
    ASSERT_EQ(player.open(pattern, 0), 0);
    // A drawing target that is no paint target, or an integer, is refused with -2.
    std::vector<platform::Variant> args = {platform::Variant(platform::LONGLONG{0x1234}),
                                           platform::Variant(LONG{0})};
    for (int i = 0; i < 7; ++i)
        args.push_back(platform::Variant(LONG{100}));
    const auto r = platform::invoke(d, dispid::DrawFrame, K::Method, args);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.value.toLong(), -2);
    // The interface identifier of the player answers as its dispatch interface.
    void *raw = nullptr;
    ASSERT_EQ(d->QueryInterface(DIID_TalvorAVI, &raw), platform::S_OK);
    static_cast<platform::IDispatch *>(raw)->Release();
    EXPECT_TRUE(platform::invoke(d, dispid::IsOpen, K::PropertyGet).value.toBool());
}

TEST_F(PlayerTest, EveryMemberIsReachableByItsDispidWithItsArgumentCountAndNothingElseIs) {
    platform::IDispatch *d = player.dispatch();
    using K = platform::DispatchKind;
    struct Member {
        platform::DISPID id;
        K kind;
        std::size_t args; // a put's value included
    };
    const Member members[] = {
        {dispid::BackColor, K::PropertyGet, 0},
        {dispid::BackColor, K::PropertyPut, 1},
        {dispid::Open, K::Method, 2},
        {dispid::Close, K::Method, 0},
        {dispid::NumberOfFrames, K::PropertyGet, 0},
        {dispid::FrameRate, K::PropertyGet, 0},
        {dispid::Width, K::PropertyGet, 0},
        {dispid::Height, K::PropertyGet, 0},
        {dispid::IsOpen, K::PropertyGet, 0},
        {dispid::FrameRateForced, K::PropertyGet, 0},
        {dispid::FrameRateForced, K::PropertyPut, 1},
        {dispid::DrawFrame, K::Method, 9},
        {dispid::PicturePart, K::PropertyGet, 6},
        {dispid::MixBackground, K::Method, 5},
        {dispid::MixPicture, K::Method, 6},
    };
    // One argument too many tells a member that is there from one that is not.
    std::set<std::pair<platform::DISPID, int>> found;
    for (platform::DISPID id = -600; id <= 100; ++id)
        for (const K kind : {K::Method, K::PropertyGet, K::PropertyPut})
            if (platform::invoke(d, id, kind, std::vector<platform::Variant>(10)).status !=
                platform::DISP_E_MEMBERNOTFOUND)
                found.insert({id, static_cast<int>(kind)});
    std::set<std::pair<platform::DISPID, int>> expected;
    for (const auto &m : members) {
        expected.insert({m.id, static_cast<int>(m.kind)});
        for (std::size_t n = 0; n <= m.args + 1; ++n) {
            const auto status =
                platform::invoke(d, m.id, m.kind, std::vector<platform::Variant>(n)).status;
            EXPECT_EQ(status == platform::DISP_E_BADPARAMCOUNT, n != m.args)
                << m.id << " with " << n << " arguments";
        }
    }
    EXPECT_EQ(found, expected);
}

TEST_F(PlayerTest, MixingThroughTheDispatchInterface) {
    ASSERT_EQ(player.open(pattern, 0), 0);
    const auto f0 = player.picturePart(0, 100, 0, 0, 0, 0),
               f1 = player.picturePart(1, 100, 0, 0, 0, 0);
    const auto f2 = player.picturePart(2, 100, 0, 0, 0, 0),
               f3 = player.picturePart(3, 100, 0, 0, 0, 0);
    const auto background = player.mixBackground(f0.get(), f1.get(), f2.get(), 0, 10.0f);
    ASSERT_TRUE(background);
    EXPECT_EQ(deliveredAt(background, 1, 1), colourAt(1, 1, 1)); // the median frame's blue
    const auto mixed =
        player.mixPicture(background.get(), f0.get(), f3.get(), MIX_UNTINTED, 10.0f, 0);
    ASSERT_TRUE(mixed);
    EXPECT_EQ(deliveredAt(mixed, 4, 4), colourAt(3, 4, 4)); // frame 3 differs everywhere
    EXPECT_FALSE(player.mixBackground(f0.get(), nullptr, f2.get()));
}

} // namespace

namespace {

// Row y of the decoder's luma plane and of a delivered frame's luma.
std::vector<std::uint8_t> sourceRow(const AVFrame &frame, int y) {
    const std::uint8_t *p = frame.data[0] + static_cast<std::ptrdiff_t>(y) * frame.linesize[0];
    return {p, p + frame.width};
}

std::vector<std::uint8_t> deliveredRow(const DeliveredImage &image, int y) {
    const auto luma = image.lumaView();
    if (!luma)
        return {};
    const std::uint8_t *p = luma->row(y);
    return {p, p + luma->width};
}

TEST(PlayerFields, TheStreamsFieldOrderDecidesWhichFieldComesFirst) {
    testsupport::TempDir dir;
    for (const auto &[top, firstParity] : {std::pair{1, 0}, std::pair{0, 1}}) {
        const std::string file = dir.path("i" + std::to_string(top) + ".mpg");
        ASSERT_TRUE(testsupport::makeClip(
            file, "-c:v mpeg2video -flags +ildct+ilme -top " + std::to_string(top), 3, "160x120"));
        AviPlayer player;
        ASSERT_EQ(player.open(file, TALVORAVIMODE_FIELDS), kOpenOk);
        ASSERT_EQ(player.frameCount(), 6);
        const FramePtr source = player.sourceFrame(2);
        ASSERT_TRUE(source);
        const auto first = player.image(2), second = player.image(3);
        ASSERT_TRUE(first && second);
        // The delivered luma is the decoder's own plane, line-doubled.
        EXPECT_EQ(deliveredRow(*first, 0), sourceRow(*source, firstParity)) << "top=" << top;
        EXPECT_EQ(deliveredRow(*first, 1), sourceRow(*source, firstParity));
        EXPECT_EQ(deliveredRow(*first, 2), sourceRow(*source, firstParity + 2));
        EXPECT_EQ(deliveredRow(*second, 0), sourceRow(*source, 1 - firstParity)) << "top=" << top;
    }
}

// The display pixels of an image (BGR of each BGRA pixel).
std::string displayDigest(const DeliveredImage &img) {
    return imageMd5(img.image(), {0, 1, 2});
}

// Display pixels of images that dropped out of the player's recent list are reused for new
// frames; an image a caller (a picture, a painter) still holds must never be among them.
TEST(PlayerImages, HeldImagesKeepTheirPixelsWhileNewFramesReuseMemory) {
    testsupport::TempDir dir;
    const std::string file = dir.path("c.mkv");
    ASSERT_TRUE(testsupport::makeClip(file, "-c:v ffv1 -pix_fmt yuv420p", 12, "64x48"));
    AviPlayer player;
    ASSERT_EQ(player.open(file, 0), kOpenOk);

    const auto held = player.image(0);
    ASSERT_TRUE(held);
    const std::string heldDigest = displayDigest(*held);
    std::vector<std::string> digests;
    for (int n = 1; n < 12; ++n) {
        const auto img = player.image(n);
        ASSERT_TRUE(img) << n;
        digests.push_back(displayDigest(*img));
    }
    EXPECT_EQ(displayDigest(*held), heldDigest);
    // Every frame still shows its own picture, whichever memory it was delivered in.
    for (int n = 1; n < 12; ++n) {
        AviPlayer fresh;
        ASSERT_EQ(fresh.open(file, 0), kOpenOk);
        EXPECT_EQ(displayDigest(*fresh.image(n)), digests[static_cast<std::size_t>(n - 1)]) << n;
    }
    // The clip moves, so a stale picture would be caught.
    EXPECT_GT(std::set<std::string>(digests.begin(), digests.end()).size(), 1u);
}

// Streams whose frames decode on their own keep only a few frames; the others keep what
// the configured memory allows, since a step back there may cost a whole GOP.
TEST(PlayerCache, IntraOnlyStreamsKeepFewFramesAndStillShowEveryFrame) {
    testsupport::TempDir dir;
    const std::string intra = dir.path("intra.avi"), inter = dir.path("inter.avi");
    ASSERT_TRUE(testsupport::makeClip(intra, "-c:v mjpeg -q:v 5 -pix_fmt yuvj420p", 80, "64x48"));
    ASSERT_TRUE(testsupport::makeClip(inter, "-c:v mpeg4 -g 12 -q:v 4", 80, "64x48"));
    ReaderSettings settings;
    settings.independentFrames = 10;

    AviPlayer player(settings);
    ASSERT_EQ(player.open(intra, 0), kOpenOk);
    const std::size_t budget = player.reader().cacheBudget();
    EXPECT_LT(budget, settings.cacheBytes);
    const auto expected = testmedia::framemd5(intra);
    ASSERT_EQ(expected.size(), 80u);
    for (int n = 0; n < 80; ++n) {
        const FramePtr frame = player.sourceFrame(n);
        ASSERT_TRUE(frame) << n;
        EXPECT_EQ(nativeMd5(*frame), expected[static_cast<std::size_t>(n)]) << n;
        EXPECT_LE(player.reader().cachedBytes(), budget);
    }
    // Back to the start: decoded again, the same picture.
    EXPECT_EQ(nativeMd5(*player.sourceFrame(0)), expected[0]);

    ASSERT_EQ(player.open(inter, 0), kOpenOk);
    EXPECT_EQ(player.reader().cacheBudget(), settings.cacheBytes);
}

// A loop's wrap: after a run to the last frame, frame 0 is asked for. The read-ahead target
// of the run must not survive the jump, or the worker reads every frame again up to there
// while holding the lock every other call of the reader waits for (a pause of a whole
// pass's decoding at each wrap). A run in order afterwards reads ahead again.
TEST(PlayerCache, AJumpEndsTheReadAheadOfTheRunBefore) {
    testsupport::TempDir dir;
    const std::string file = dir.path("gop.avi");
    ASSERT_TRUE(testsupport::makeClip(file, "-c:v mpeg4 -g 12 -q:v 4", 60, "64x48"));
    ReaderSettings settings;
    settings.readAhead = 4;
    VideoReader reader(settings);
    ASSERT_TRUE(reader.open(file));
    for (int n = 0; n < 60; ++n)
        ASSERT_TRUE(reader.frame(n)) << n;
    EXPECT_EQ(reader.readAheadLimit(), 59);

    ASSERT_TRUE(reader.frame(0));
    EXPECT_LE(reader.readAheadLimit(), 0);
    ASSERT_TRUE(reader.frame(0)); // the same frame again (a repaint) changes nothing
    EXPECT_LE(reader.readAheadLimit(), 0);
    ASSERT_TRUE(reader.frame(1));
    EXPECT_EQ(reader.readAheadLimit(), 5);
    ASSERT_TRUE(reader.frame(30)); // a jump forward
    EXPECT_LE(reader.readAheadLimit(), 30);
}

// Read in order, the next frame's image is made while the current one is used; whatever
// the order of the calls, every image shows its own frame, and closing or reopening while
// an image is being made is safe.
TEST(PlayerImages, InOrderReadingMakesTheNextImageAheadWithoutChangingAnyPicture) {
    testsupport::TempDir dir;
    const std::string file = dir.path("c.mkv"), other = dir.path("d.mkv");
    ASSERT_TRUE(testsupport::makeClip(file, "-c:v ffv1 -pix_fmt yuv420p", 30, "64x48"));
    ASSERT_TRUE(testsupport::makeClip(other, "-c:v ffv1 -pix_fmt yuv420p", 5, "96x64"));

    // The reference: every frame read backwards, so nothing is made ahead.
    std::vector<std::string> expected(30);
    {
        AviPlayer reference;
        ASSERT_EQ(reference.open(file, 0), kOpenOk);
        for (int n = 29; n >= 0; --n)
            expected[static_cast<std::size_t>(n)] = displayDigest(*reference.image(n));
    }

    AviPlayer player;
    ASSERT_EQ(player.open(file, 0), kOpenOk);
    EXPECT_FALSE(player.image(-1)); // no frame before the first, and no wait for one
    EXPECT_FALSE(player.image(30));
    ASSERT_TRUE(player.image(0));
    ASSERT_TRUE(player.image(1));
    bool ready = false;
    for (int i = 0; i < 500 && !ready; ++i) {
        ready = player.imageReady(2);
        if (!ready)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(ready) << "the next image was not made ahead";
    for (int n = 2; n < 30; ++n)
        EXPECT_EQ(displayDigest(*player.image(n)), expected[static_cast<std::size_t>(n)]) << n;
    // Jumps and steps back mixed with runs in order.
    for (const int n : {5, 6, 7, 20, 3, 4, 5, 29, 0, 1, 2})
        EXPECT_EQ(displayDigest(*player.image(n)), expected[static_cast<std::size_t>(n)]) << n;

    // Reopening at once, while frame 3 may be being made, shows the new file.
    ASSERT_EQ(player.open(other, 0), kOpenOk);
    const auto first = player.image(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->width, 96);
    player.image(1);
    player.close();
    EXPECT_FALSE(player.image(2));
}

TEST(PlayerLuma, FullFramesHandTheDecodersPlaneOverUnconverted) {
    testsupport::TempDir dir;
    const std::string file = dir.path("c.mkv");
    ASSERT_TRUE(testsupport::makeClip(file, "-c:v ffv1 -pix_fmt yuv420p", 2, "64x48"));
    AviPlayer player;
    ASSERT_EQ(player.open(file, 0), kOpenOk);
    const auto picture = player.picturePart(1, 100, 0, 0, 0, 0);
    const FramePtr source = player.sourceFrame(1);
    ASSERT_TRUE(picture && source);
    const platform::ImageView luma = picture->luma();
    EXPECT_EQ(luma.data, source->data[0]); // the very plane, not a copy
    EXPECT_EQ(luma.stride, source->linesize[0]);
}

} // namespace
