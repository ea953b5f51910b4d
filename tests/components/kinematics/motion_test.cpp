// Kinematics against analytic motion: sampled at 100 fps with Gaussian noise of 0.2 px from a
// fixed seed, the derivatives must give back the motion's own.
#include "components/kinematics/kinematics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

using namespace kinematics;

namespace {

constexpr double kFps = 100;
constexpr double kPi = std::numbers::pi;

template <typename Path> std::vector<Sample> sampled(int frames, Path path, double noisePx) {
    std::mt19937 rng(20240611);
    std::normal_distribution<double> noise(0, noisePx);
    std::vector<Sample> s;
    for (int f = 0; f < frames; ++f) {
        const auto [x, y] = path(f / kFps);
        s.push_back({f, x + noise(rng), y + noise(rng)});
    }
    return s;
}

// 1 mm per pixel, y up (image rows grow downwards).
Calibration metres() {
    Calibration c;
    c.unitsPerPixelX = 0.001;
    c.unitsPerPixelY = -0.001;
    c.unit = "m";
    return c;
}

} // namespace

// A projectile: 1.2 s of flight under g = 9.81 m/s², thrown at 1.5 m/s across and 5.9 m/s up.
// The acceleration over the middle of the flight is g within 2%, pointing down, with no
// sideways part; the velocity is the analytic one.
TEST(Motion, ProjectileGivesGravity) {
    const double g = 9.81, vx0 = 1.5, vy0 = 5.9;
    auto path = [&](double t) {
        const double xm = 0.1 + vx0 * t, ym = vy0 * t - g * t * t / 2;
        return std::pair{xm * 1000, 1500 - ym * 1000}; // metres to pixels, rows down
    };
    const int frames = 121;
    const MarkerKinematics k = analyse(sampled(frames, path, 0.2), kFps, metres());
    ASSERT_EQ(k.status, Status::Ok);
    ASSERT_EQ(k.frames.size(), static_cast<std::size_t>(frames));
    EXPECT_EQ(k.unit, "m");
    EXPECT_EQ(k.cutoffY.source, CutoffSource::Automatic);
    double sum = 0;
    int count = 0;
    for (int f = frames / 4; f < 3 * frames / 4; ++f) {
        const FrameKinematics &fk = k.frames[static_cast<std::size_t>(f)];
        EXPECT_NEAR(fk.ay, -g, 0.05 * g) << f;
        EXPECT_NEAR(fk.ax, 0, 0.05 * g) << f;
        EXPECT_NEAR(fk.vy, vy0 - g * fk.time, 0.02) << f;
        EXPECT_NEAR(fk.vx, vx0, 0.02) << f;
        sum += fk.ay;
        ++count;
    }
    EXPECT_NEAR(sum / count, -g, 0.02 * g);
    EXPECT_NEAR(k.frames[60].acceleration, g, 0.05 * g);
}

// A pendulum of 0.3 m swinging 0.5 rad with a period of 1.5 s: the peak speed L θ0 ω within
// 1%, and the path over whole periods is the arc it sweeps.
TEST(Motion, PendulumPeakSpeedAndPath) {
    const double length = 300, theta0 = 0.5, w = 2 * kPi / 1.5;
    auto path = [&](double t) {
        const double th = theta0 * std::cos(w * t);
        return std::pair{400 + length * std::sin(th), 100 + length * std::cos(th)};
    };
    const int frames = 600; // four periods
    const MarkerKinematics k = analyse(sampled(frames, path, 0.2), kFps, metres());
    ASSERT_EQ(k.status, Status::Ok);
    double peak = 0;
    for (int f = 50; f < frames - 50; ++f)
        peak = std::max(peak, k.frames[static_cast<std::size_t>(f)].speed);
    const double expected = length * theta0 * w * 0.001;
    EXPECT_NEAR(peak / expected, 1.0, 0.01);
    // Four periods sweep the arc 2 θ0 L eight times, less the last frame's step.
    EXPECT_NEAR(k.pathLength / (8 * 2 * theta0 * length * 0.001), 1.0, 0.01);
}

// The same track in pixels and calibrated: positions, velocities, accelerations and the path
// scale by the calibration, cutoffs (chosen on pixels) do not change, and a transform function
// with the same effect gives the same numbers.
TEST(Motion, CalibratedUnitsScaleEverything) {
    auto path = [](double t) {
        return std::pair{200 + 80 * std::sin(3 * t), 300 + 40 * t * t};
    };
    const auto samples = sampled(300, path, 0.2);
    const MarkerKinematics px = analyse(samples, kFps);
    Calibration cm;
    cm.unitsPerPixelX = 0.5;
    cm.unitsPerPixelY = -0.25;
    cm.unit = "cm";
    const MarkerKinematics scaled = analyse(samples, kFps, cm);
    Calibration fn;
    fn.unit = "cm";
    fn.transform = [](double x, double y, double &ux, double &uy) {
        ux = 10 + 0.5 * x;
        uy = 5 - 0.25 * y;
        return true;
    };
    const MarkerKinematics mapped = analyse(samples, kFps, fn);
    ASSERT_EQ(px.status, Status::Ok);
    EXPECT_EQ(px.unit, "px");
    EXPECT_EQ(scaled.unit, "cm");
    EXPECT_DOUBLE_EQ(scaled.cutoffX.hz, px.cutoffX.hz);
    EXPECT_DOUBLE_EQ(scaled.cutoffY.hz, px.cutoffY.hz);
    for (std::size_t i = 0; i < px.frames.size(); ++i) {
        const FrameKinematics &a = px.frames[i], &b = scaled.frames[i], &c = mapped.frames[i];
        ASSERT_NEAR(b.x, 0.5 * a.x, 1e-9);
        ASSERT_NEAR(b.vy, -0.25 * a.vy, 1e-6);
        ASSERT_NEAR(b.ax, 0.5 * a.ax, 1e-6);
        ASSERT_NEAR(c.x, 10 + 0.5 * a.x, 1e-9);
        ASSERT_NEAR(c.ay, b.ay, 1e-6);
        ASSERT_NEAR(c.speed, b.speed, 1e-6);
    }
    EXPECT_GT(px.pathLength, 0);
    EXPECT_NEAR(mapped.pathLength, scaled.pathLength, 1e-9);
}

// A rotation at 90°/s stored as angles in (-180, 180]: the jumps past ±180° are unwrapped, so
// the angular velocity stays 90°/s, also across a bridged frame at the wrap; a turn the other
// way is negative.
TEST(Motion, AngularVelocityAcrossTheWrap) {
    for (double rate : {90.0, -90.0}) {
        std::vector<Sample> s;
        for (int f = 0; f < 800; ++f) {
            double a = std::remainder(170 + rate * f / kFps, 360.0);
            if (f == 401)
                a = kMissing; // a one-frame gap
            s.push_back({f, 100, 100, a});
        }
        const MarkerKinematics k = analyse(s, kFps);
        ASSERT_EQ(k.status, Status::Ok);
        for (const FrameKinematics &f : k.frames)
            ASSERT_NEAR(f.angularVelocity, rate, 1e-6) << f.frame;
        EXPECT_NEAR(k.frames[799].angle - k.frames[0].angle, rate * 7.99, 1e-6);
        // A resting position: nothing to filter but noise-free data, speed zero everywhere.
        EXPECT_NEAR(k.frames[300].speed, 0, 1e-9);
    }
}

// The user's cutoff is used as given; switched off, the raw points are differentiated as
// they are; both mark their source.
TEST(Motion, UserCutoffAndFilterOff) {
    auto path = [](double t) {
        return std::pair{100 + 50 * t, 200.0};
    };
    const auto samples = sampled(200, path, 0.5);
    Options fixed;
    fixed.position = {SmoothingMode::Fixed, 3.0};
    const MarkerKinematics user = analyse(samples, kFps, {}, fixed);
    ASSERT_EQ(user.status, Status::Ok);
    EXPECT_EQ(user.cutoffX.source, CutoffSource::User);
    EXPECT_DOUBLE_EQ(user.cutoffX.hz, 3.0);
    Options off;
    off.position.mode = SmoothingMode::Off;
    const MarkerKinematics raw = analyse(samples, kFps, {}, off);
    EXPECT_EQ(raw.cutoffX.source, CutoffSource::Off);
    EXPECT_TRUE(std::isnan(raw.cutoffX.hz));
    double rawSpread = 0, userSpread = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        ASSERT_DOUBLE_EQ(raw.frames[i].x, samples[i].x);
        rawSpread += std::pow(raw.frames[i].vx - 50, 2);
        userSpread += std::pow(user.frames[i].vx - 50, 2);
    }
    EXPECT_LT(userSpread, rawSpread / 20); // 3 Hz keeps far less noise than none
}

// Bad input gets a status and no frames; nothing throws.
TEST(Motion, BadInputIsRefused) {
    const std::vector<Sample> ok{{0, 1, 1}, {1, 2, 2}};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(analyse(ok, 0).status, Status::InvalidFrameRate);
    EXPECT_EQ(analyse(ok, nan).status, Status::InvalidFrameRate);
    Calibration zero;
    zero.unitsPerPixelX = 0;
    EXPECT_EQ(analyse(ok, kFps, zero).status, Status::InvalidCalibration);
    for (double hz : {0.0, -1.0, 50.0, nan}) {
        Options o;
        o.position = {SmoothingMode::Fixed, hz};
        EXPECT_EQ(analyse(ok, kFps, {}, o).status, Status::InvalidCutoff) << hz;
    }
    const std::vector<Sample> twice{{3, 1, 1}, {3, 2, 2}}, back{{3, 1, 1}, {2, 2, 2}};
    EXPECT_EQ(analyse(twice, kFps).status, Status::FramesOutOfOrder);
    EXPECT_EQ(analyse(back, kFps).status, Status::FramesOutOfOrder);
    const std::vector<Sample> far{{-2000000000, 1, 1}, {2000000000, 2, 2}};
    const MarkerKinematics k = analyse(far, kFps);
    EXPECT_EQ(k.status, Status::TooManyFrames);
    EXPECT_TRUE(k.frames.empty());
    EXPECT_EQ(analyse(std::vector<Sample>{}, kFps).status, Status::Ok);
}
