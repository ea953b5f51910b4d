// Interlaced clips show their fields in the order they were taken: a bar moving steadily
// across the picture must move steadily through the delivered frames of every layout that
// splits a frame into fields, whichever field the stream says comes first, and wherever it
// says so (the frames' flags, the container, or nowhere: then bottom first, as in DV).
#include "components/aviplayer/aviplayer.h"
#include "testmedia.h"
#include "tests/support/clips.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

using namespace aviplayer;

namespace {

// A bright bar `kBar` columns wide over a dark picture, at column x0 + step * t in the
// picture taken t-th. Each stored frame holds two fields; each field holds `perField`
// pictures one above the other (1 for fields and layout 3, 2 for layout 5).
struct MovingBar {
    int width = 96;
    int height = 48; // a multiple of 4, so every layout splits it evenly
    int x0 = 4;
    int step = 5;
    int bar = 4;
    int perField = 1;
    bool topFirst = true;

    int column(int t) const { return x0 + step * t; }

    std::uint8_t operator()(int n, int x, int y) const {
        const int parity = y % 2;
        const int field = parity == (topFirst ? 0 : 1) ? 0 : 1;
        const int half = (y / 2) / (height / 4) >= 1 && perField == 2 ? 1 : 0;
        const int t = n * 2 * perField + field * perField + half;
        return x >= column(t) && x < column(t) + bar ? 235 : 16;
    }
};

constexpr int kFrames = 4;

// The mean column of the bright pixels of a delivered picture, or -1 when there are none.
double barColumn(const DeliveredImage &image) {
    const auto luma = image.lumaView();
    if (!luma)
        return -1.0;
    double sum = 0.0;
    long count = 0;
    for (int y = 0; y < luma->height; ++y)
        for (int x = 0; x < luma->width; ++x)
            if (luma->row(y)[x] > 128) {
                sum += x;
                ++count;
            }
    return count ? sum / static_cast<double>(count) : -1.0;
}

// Opens `file` in `layout` and checks that delivered frame k shows the bar where the
// picture taken k-th has it.
void expectSteadyMotion(const std::string &file, int layout, const MovingBar &truth,
                        double tolerance) {
    AviPlayer player;
    ASSERT_EQ(player.open(file, layout), kOpenOk) << file << ": " << player.lastError();
    const int perFrame = layout == TALVORAVIMODE_JVC9X00_200 ? 4 : 2;
    ASSERT_EQ(player.frameCount(), kFrames * perFrame) << file;
    for (int k = 0; k < player.frameCount(); ++k) {
        const auto image = player.image(k);
        ASSERT_TRUE(image) << file << " frame " << k;
        EXPECT_NEAR(barColumn(*image), truth.column(k) + (truth.bar - 1) / 2.0, tolerance)
            << file << " mode " << layout << " frame " << k;
    }
}

class FieldOrderTest : public ::testing::TestWithParam<bool> {
protected:
    // The raw pictures, with the stream's field order tag `tag` in their header.
    std::string raw(const MovingBar &bar, char tag) {
        const std::string file =
            dir.path(std::string("raw") + tag + std::to_string(bar.perField) + ".y4m");
        EXPECT_TRUE(testmedia::writeY4m(file, bar.width, bar.height, kFrames, "420jpeg", tag, bar));
        return file;
    }

    // Both field layouts of one source: fields and layout 3 on a clip with one picture per
    // field, layout 5 on one with two.
    template <class Make> void forEveryLayout(MovingBar bar, Make make, double tolerance) {
        bar.perField = 1;
        const std::string two = make(bar);
        expectSteadyMotion(two, TALVORAVIMODE_FIELDS, bar, tolerance);
        expectSteadyMotion(two, TALVORAVIMODE_JVC9X00, bar, tolerance);
        bar.perField = 2;
        expectSteadyMotion(make(bar), TALVORAVIMODE_JVC9X00_200, bar, tolerance);
    }

    bool topFirst() const { return GetParam(); }
    char tag() const { return topFirst() ? 't' : 'b'; }
    std::string name(const char *stem, const MovingBar &bar, const char *ext) const {
        return dir.path(std::string(stem) + tag() + std::to_string(bar.perField) + ext);
    }

    testsupport::TempDir dir;
};

INSTANTIATE_TEST_SUITE_P(Orders, FieldOrderTest, ::testing::Values(true, false),
                         [](const auto &info) {
                             return info.param ? std::string("TopFirst")
                                               : std::string("BottomFirst");
                         });

// Raw pictures whose container names the order (and whose decoder flags every frame).
TEST_P(FieldOrderTest, RawStreamsNameTheirOrder) {
    MovingBar bar;
    bar.topFirst = topFirst();
    forEveryLayout(
        bar, [&](const MovingBar &b) { return raw(b, tag()); }, 0.01);
}

// FFV1 in AVI: only the frames' own flags tell the order.
TEST_P(FieldOrderTest, FramesFlagTheirOrder) {
    MovingBar bar;
    bar.topFirst = topFirst();
    forEveryLayout(
        bar,
        [&](const MovingBar &b) {
            const std::string out = name("flagged", b, ".avi");
            EXPECT_TRUE(testsupport::ffmpeg("-i " + testsupport::shellQuote(raw(b, tag())) +
                                            " -vf setfield=" + (topFirst() ? "tff" : "bff") +
                                            " -c:v ffv1 -level 3 " + testsupport::shellQuote(out)));
            return out;
        },
        0.01);
}

// FFV1 in Matroska with progressive frames: only the container tells the order.
TEST_P(FieldOrderTest, ContainersNameTheOrderOfProgressiveFrames) {
    MovingBar bar;
    bar.topFirst = topFirst();
    forEveryLayout(
        bar,
        [&](const MovingBar &b) {
            const std::string out = name("container", b, ".mkv");
            EXPECT_TRUE(testsupport::ffmpeg("-i " + testsupport::shellQuote(raw(b, tag())) +
                                            " -vf setfield=prog -field_order " +
                                            (topFirst() ? "tt" : "bb") + " -c:v ffv1 -level 3 " +
                                            testsupport::shellQuote(out)));
            return out;
        },
        0.01);
}

// PAL DV, as a camera writes it (bottom field first) and the other way round.
TEST_P(FieldOrderTest, PalDv) {
    MovingBar bar;
    bar.topFirst = topFirst();
    bar.width = 720;
    bar.height = 576;
    bar.x0 = 16;
    bar.step = 36;
    bar.bar = 24;
    forEveryLayout(
        bar,
        [&](const MovingBar &b) {
            const std::string out = name("dv", b, ".avi");
            EXPECT_TRUE(testsupport::ffmpeg("-i " + testsupport::shellQuote(raw(b, tag())) +
                                            " -vf setfield=" + (topFirst() ? "tff" : "bff") +
                                            " -c:v dvvideo -pix_fmt yuv420p " +
                                            testsupport::shellQuote(out)));
            return out;
        },
        1.5);
}

// Where nothing says which field comes first, the bottom one does (the DV convention).
TEST(FieldOrderUnknown, BottomFieldFirstWhenTheStreamDoesNotSay) {
    testsupport::TempDir dir;
    MovingBar bar;
    bar.topFirst = false;
    for (int perField : {1, 2}) {
        bar.perField = perField;
        const std::string unknown = dir.path("unknown" + std::to_string(perField) + ".y4m");
        ASSERT_TRUE(
            testmedia::writeY4m(unknown, bar.width, bar.height, kFrames, "420jpeg", '?', bar));
        const std::string progressive = dir.path("prog" + std::to_string(perField) + ".avi");
        ASSERT_TRUE(testsupport::ffmpeg("-i " + testsupport::shellQuote(unknown) +
                                        " -vf setfield=prog -c:v ffv1 " +
                                        testsupport::shellQuote(progressive)));
        for (const std::string &file : {unknown, progressive}) {
            AviPlayer probe;
            ASSERT_EQ(probe.open(file, 0), kOpenOk);
            EXPECT_EQ(probe.reader().fieldOrder(), FieldOrder::Unknown) << file;
            if (perField == 1) {
                expectSteadyMotion(file, TALVORAVIMODE_FIELDS, bar, 0.01);
                expectSteadyMotion(file, TALVORAVIMODE_JVC9X00, bar, 0.01);
            } else {
                expectSteadyMotion(file, TALVORAVIMODE_JVC9X00_200, bar, 0.01);
            }
        }
    }
}

} // namespace
