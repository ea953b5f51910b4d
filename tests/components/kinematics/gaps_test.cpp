// Gaps and segment ends: 1 or 2 missing frames are bridged (values given, marked
// interpolated), 3 or more split the track; derivatives at a segment's ends are one-sided.
#include "components/kinematics/kinematics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

using namespace kinematics;

namespace {

constexpr double kFps = 50;

// Quadratics in time, on which every difference formula used (central and one-sided) and the
// cubic bridge are exact. Filtering is off to test the rules alone.
double px(double t) {
    return 10 + 30 * t + 20 * t * t;
}
double py(double t) {
    return 50 - 15 * t * t;
}

std::vector<Sample> track(int frames, const std::set<int> &missing) {
    std::vector<Sample> s;
    for (int f = 0; f < frames; ++f) {
        if (missing.count(f))
            s.push_back({f}); // stored as "no value"
        else
            s.push_back({f, px(f / kFps), py(f / kFps)});
    }
    return s;
}

Options raw() {
    Options o;
    o.position.mode = SmoothingMode::Off;
    return o;
}

} // namespace

TEST(Gaps, ShortGapsAreBridgedAndMarked) {
    const MarkerKinematics k = analyse(track(40, {10, 20, 21}), kFps, {}, raw());
    ASSERT_EQ(k.status, Status::Ok);
    for (int f : {10, 20, 21}) {
        const FrameKinematics &fk = k.frames[static_cast<std::size_t>(f)];
        EXPECT_FALSE(fk.measured) << f;
        EXPECT_TRUE(fk.interpolated) << f;
        EXPECT_NEAR(fk.x, px(f / kFps), 1e-9) << f; // the cubic bridge is exact on a quadratic
        EXPECT_NEAR(fk.vx, 30 + 40 * f / kFps, 1e-6) << f;
    }
    // One segment: derivatives run through the bridges, and the path is continuous.
    for (const FrameKinematics &fk : k.frames) {
        EXPECT_FALSE(std::isnan(fk.vx)) << fk.frame;
        EXPECT_NEAR(fk.ay, -30, 1e-6) << fk.frame;
    }
    EXPECT_TRUE(k.frames[11].measured);
    EXPECT_FALSE(k.frames[11].interpolated);
}

TEST(Gaps, LongGapSplitsTheTrack) {
    const MarkerKinematics k = analyse(track(40, {15, 16, 17}), kFps, {}, raw());
    ASSERT_EQ(k.status, Status::Ok);
    for (int f : {15, 16, 17}) {
        const FrameKinematics &fk = k.frames[static_cast<std::size_t>(f)];
        EXPECT_FALSE(fk.measured || fk.interpolated) << f;
        EXPECT_TRUE(std::isnan(fk.x) && std::isnan(fk.vx) && std::isnan(fk.ax)) << f;
    }
    // The frames beside the gap are segment ends: one-sided formulas, still exact here.
    for (int f : {14, 18}) {
        const FrameKinematics &fk = k.frames[static_cast<std::size_t>(f)];
        EXPECT_NEAR(fk.vx, 30 + 40 * f / kFps, 1e-6) << f;
        EXPECT_NEAR(fk.vy, -30 * f / kFps, 1e-6) << f;
        EXPECT_NEAR(fk.ax, 40, 1e-6) << f;
    }
    // The path leaves out the jump across the gap.
    double inside = 0;
    for (int f = 1; f < 40; ++f)
        if (f < 15 || f > 18)
            inside +=
                std::hypot(px(f / kFps) - px((f - 1) / kFps), py(f / kFps) - py((f - 1) / kFps));
    EXPECT_NEAR(k.pathLength, inside, 1e-9);
}

// Short segments: 1 point has only a position, 2 a velocity, 3 an acceleration in the middle
// only; 4 or more accelerations to both ends. A segment under the filter's minimum length
// is not filtered even when filtering is on.
TEST(Gaps, ShortSegmentsGetWhatTheirLengthAllows) {
    // Segments: {0}, {4,5}, {9,10,11}, {15..18}, separated by 3 missing frames.
    std::vector<Sample> s;
    for (int f : {0, 4, 5, 9, 10, 11, 15, 16, 17, 18})
        s.push_back({f, px(f / kFps), py(f / kFps)});
    const MarkerKinematics k = analyse(s, kFps); // automatic filtering asked for
    ASSERT_EQ(k.status, Status::Ok);
    EXPECT_EQ(k.cutoffX.source, CutoffSource::NotEnoughData);
    auto at = [&](int f) {
        return k.frames[static_cast<std::size_t>(f)];
    };
    EXPECT_DOUBLE_EQ(at(0).x, px(0));
    EXPECT_TRUE(std::isnan(at(0).vx));
    EXPECT_NEAR(at(4).vx, (px(5 / kFps) - px(4 / kFps)) * kFps, 1e-9);
    EXPECT_TRUE(std::isnan(at(5).ax));
    EXPECT_TRUE(std::isnan(at(9).ax) && std::isnan(at(11).ax));
    EXPECT_NEAR(at(10).ax, 40, 1e-6);
    EXPECT_NEAR(at(9).vx, 30 + 40 * 9 / kFps, 1e-6);
    EXPECT_NEAR(at(15).ax, 40, 1e-6);
    EXPECT_NEAR(at(18).ay, -30, 1e-6);
}

// A gap at a segment start that runs into another gap: stored "no value", NaN and infinity
// are all missing, and a track that starts or ends with gaps spans only stored frames.
TEST(Gaps, MissingValuesOfEveryKind) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<Sample> s = track(30, {});
    s[5].x = nan;
    s[6].y = INFINITY;
    s[20].x = -1.0e9;
    s.insert(s.begin(), Sample{-3}); // a leading frame without a point
    const MarkerKinematics k = analyse(s, kFps, {}, raw());
    ASSERT_EQ(k.status, Status::Ok);
    ASSERT_EQ(k.frames.front().frame, -3);
    EXPECT_TRUE(std::isnan(k.frames[0].x));
    for (int f : {5, 6, 20}) {
        const FrameKinematics &fk = k.frames[static_cast<std::size_t>(f + 3)];
        EXPECT_TRUE(fk.interpolated) << f;
        EXPECT_NEAR(fk.y, py(f / kFps), 1e-9) << f;
    }
}
