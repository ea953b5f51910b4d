// The track tool's run through the AVI player on a generated, losslessly encoded clip.
#include "tests/support/clips.h"
#include "tests/support/scene.h"
#include "tests/support/tempdir.h"
#include "tools/track/trackrun.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

cv::Point2d discAt(int f) {
    return {60.0 + 5.5 * f, 50.0 + 0.5 * f};
}

// A bright disc crossing a textured picture and leaving it on the right at frame ~47.
class TrackRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<testsupport::TempDir>();
        s_file = s_dir->path("clip.avi");
        testsupport::RawClip clip(s_file, "gray", 320, 120, 25, "-c:v ffv1");
        const cv::Mat background = scene::texture({320, 120}, 9, 90, 30, 2.0);
        for (int f = 0; f < 50; ++f) {
            cv::Mat g = background.clone();
            scene::disc(g, discAt(f).x, discAt(f).y, 4.0, 230.0);
            clip.write(g.data, g.total());
        }
        s_ok = clip.finish();
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    void SetUp() override {
        if (!s_ok)
            GTEST_SKIP() << "the ffmpeg program could not encode the clip";
    }

    track::Options options(track::Engine engine) const {
        track::Options o;
        o.engine = engine;
        o.video = s_file;
        o.start = 2;
        o.points = {{std::round(discAt(2).x), std::round(discAt(2).y), 6}};
        return o;
    }

    static inline std::unique_ptr<testsupport::TempDir> s_dir;
    static inline std::string s_file;
    static inline bool s_ok = false;
};

} // namespace

TEST_F(TrackRun, BothEnginesFollowTheDiscAndStayLostOnceItLeaves) {
    for (auto engine : {track::Engine::Marker, track::Engine::Pattern}) {
        std::vector<track::Row> rows;
        std::string error;
        ASSERT_EQ(track::run(
                      options(engine), [&](const track::Row &r) { rows.push_back(r); }, &error),
                  0)
            << error;
        ASSERT_EQ(rows.size(), 48u); // frames 2 to 49, one marker
        EXPECT_EQ(rows.front().frame, 2);
        bool lost = false;
        for (const auto &r : rows) {
            EXPECT_EQ(r.marker, 1);
            if (lost) {
                EXPECT_FALSE(r.found) << "found again at frame " << r.frame;
                continue;
            }
            if (!r.found) {
                lost = true;
                // The disc (radius 4) touches the edge at x = 315 from frame 46 on.
                EXPECT_GE(r.frame, engine == track::Engine::Marker ? 46 : 40);
                continue;
            }
            if (r.frame == 2 && engine == track::Engine::Pattern)
                continue; // the pattern matcher keeps the click as its point
            const auto p = discAt(r.frame);
            const double offset = engine == track::Engine::Pattern
                                      ? std::hypot(std::round(discAt(2).x) - discAt(2).x,
                                                   std::round(discAt(2).y) - discAt(2).y)
                                      : 0.0;
            EXPECT_LT(std::hypot(r.x - p.x, r.y - p.y), offset + 0.3) << r.frame;
        }
        EXPECT_TRUE(lost);
    }
}

TEST_F(TrackRun, FrameCountAndSeveralMarkers) {
    auto o = options(track::Engine::Marker);
    o.frames = 5;
    o.points.push_back({std::round(discAt(2).x), std::round(discAt(2).y), 6});
    std::vector<track::Row> rows;
    std::string error;
    ASSERT_EQ(track::run(
                  o, [&](const track::Row &r) { rows.push_back(r); }, &error),
              0);
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[8].frame, 6);
    EXPECT_EQ(rows[8].marker, 1);
    EXPECT_EQ(rows[9].marker, 2);
}

TEST_F(TrackRun, BadRequestsGiveCodesNotCrashes) {
    std::string error;
    auto ignore = [](const track::Row &) {
    };
    auto o = options(track::Engine::Marker);
    o.start = 50;
    EXPECT_EQ(track::run(o, ignore, &error), 4);
    o = options(track::Engine::Marker);
    o.points[0].x = 320;
    EXPECT_EQ(track::run(o, ignore, &error), 4);
    o = options(track::Engine::Marker);
    o.points[0].radius = 101;
    EXPECT_EQ(track::run(o, ignore, &error), 4);
    o.video = s_dir->path("no-such-video.avi");
    EXPECT_EQ(track::run(o, ignore, &error), 3);
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}
