// The projection helper against a synthetic pinhole camera: known focal length, principal
// point, rotation and translation, control points projected to a 1280 x 720 image and given
// as fractions. The fit must reproduce the camera; too few, coplanar, collinear and
// focal-plane cases must fail.
#include "components/datalib/datalib.h"

#include "platform/classes.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

using namespace datalib;
using platform::ComPtr;
using platform::E_FAIL;
using platform::S_OK;

namespace {

constexpr double kWidth = 1280.0;
constexpr double kHeight = 720.0;

struct Vec3 {
    double x, y, z;
};

Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

// A pinhole camera: pixel = K (R X + t), K with focal length f in pixels and principal point
// (cx, cy); R from rotations about x, y and z.
class Camera {
public:
    Camera(double f, double cx, double cy, double ax, double ay, double az, Vec3 t)
        : m_f(f), m_cx(cx), m_cy(cy), m_t(t) {
        const double sx = std::sin(ax), cxr = std::cos(ax);
        const double sy = std::sin(ay), cyr = std::cos(ay);
        const double sz = std::sin(az), czr = std::cos(az);
        // R = Rz Ry Rx
        m_r = {{{czr * cyr, czr * sy * sx - sz * cxr, czr * sy * cxr + sz * sx},
                {sz * cyr, sz * sy * sx + czr * cxr, sz * sy * cxr - czr * sx},
                {-sy, cyr * sx, cyr * cxr}}};
    }

    Vec3 toCamera(Vec3 p) const {
        return {m_r[0][0] * p.x + m_r[0][1] * p.y + m_r[0][2] * p.z + m_t.x,
                m_r[1][0] * p.x + m_r[1][1] * p.y + m_r[1][2] * p.z + m_t.y,
                m_r[2][0] * p.x + m_r[2][1] * p.y + m_r[2][2] * p.z + m_t.z};
    }
    // The world point at camera coordinates c: R^T (c - t).
    Vec3 fromCamera(Vec3 c) const {
        const Vec3 d{c.x - m_t.x, c.y - m_t.y, c.z - m_t.z};
        return {m_r[0][0] * d.x + m_r[1][0] * d.y + m_r[2][0] * d.z,
                m_r[0][1] * d.x + m_r[1][1] * d.y + m_r[2][1] * d.z,
                m_r[0][2] * d.x + m_r[1][2] * d.y + m_r[2][2] * d.z};
    }
    // Image fractions (pixel / image size).
    std::pair<double, double> fractions(Vec3 p) const {
        const Vec3 c = toCamera(p);
        return {(m_f * c.x / c.z + m_cx) / kWidth, (m_f * c.y / c.z + m_cy) / kHeight};
    }
    // L1..L11 of this camera in fractions: rows of diag(1/W, 1/H, 1) K [R | t] over P34.
    std::array<double, 11> parameters() const {
        double p[3][4];
        for (int c = 0; c < 4; ++c) {
            const double r0 = c < 3 ? m_r[0][c] : m_t.x;
            const double r1 = c < 3 ? m_r[1][c] : m_t.y;
            const double r2 = c < 3 ? m_r[2][c] : m_t.z;
            p[0][c] = (m_f * r0 + m_cx * r2) / kWidth;
            p[1][c] = (m_f * r1 + m_cy * r2) / kHeight;
            p[2][c] = r2;
        }
        std::array<double, 11> l{};
        for (int c = 0; c < 4; ++c) {
            l[static_cast<std::size_t>(c)] = p[0][c] / p[2][3];
            l[static_cast<std::size_t>(4 + c)] = p[1][c] / p[2][3];
        }
        for (int c = 0; c < 3; ++c)
            l[static_cast<std::size_t>(8 + c)] = p[2][c] / p[2][3];
        return l;
    }

private:
    double m_f, m_cx, m_cy;
    std::array<std::array<double, 3>, 3> m_r{};
    Vec3 m_t;
};

// About 5 m in front of a 2 x 1.5 x 1 m calibration frame, turned a little on every axis,
// with a principal point off the image centre.
Camera fieldCamera(Vec3 shift = {0, 0, 0}) {
    const double deg = std::numbers::pi / 180.0;
    const Camera plain(1100.0, 655.0, 350.0, -8 * deg, 17 * deg, 4 * deg, {-1.0, -0.6, 5.5});
    // The same camera looking at the frame moved by `shift`: t' = t - R shift.
    const Vec3 moved = plain.toCamera({-shift.x, -shift.y, -shift.z});
    return Camera(1100.0, 655.0, 350.0, -8 * deg, 17 * deg, 4 * deg, moved);
}

// The corners of the frame and four points on its faces and inside: 12 points, not coplanar.
std::vector<Vec3> framePoints(Vec3 shift = {0, 0, 0}) {
    std::vector<Vec3> out;
    for (double x : {0.0, 2.0})
        for (double y : {0.0, 1.5})
            for (double z : {0.0, 1.0})
                out.push_back(Vec3{x, y, z} + shift);
    for (Vec3 p :
         {Vec3{1.0, 0.75, 0.0}, Vec3{0.5, 1.5, 0.5}, Vec3{2.0, 0.3, 0.7}, Vec3{1.3, 0.2, 0.4}})
        out.push_back(p + shift);
    return out;
}

// Points the fit has not seen, around and inside the frame.
std::vector<Vec3> checkPoints(Vec3 shift = {0, 0, 0}) {
    return {Vec3{0.3, 0.4, 0.2} + shift, Vec3{1.7, 1.1, 0.9} + shift, Vec3{-0.5, 0.5, 0.5} + shift,
            Vec3{2.5, 2.0, -0.5} + shift, Vec3{1.0, 0.0, 1.5} + shift};
}

ComPtr<TalvorCal3D> calibrationOf(const Camera &camera, const std::vector<Vec3> &points) {
    ComPtr<TalvorCal3D> cal = createCal3D();
    LONG id = 1;
    for (const Vec3 &p : points) {
        const auto [u, v] = camera.fractions(p);
        EXPECT_EQ(cal->SetPoint(id++, p.x, p.y, p.z, u, v), S_OK);
    }
    return cal;
}

// Largest distance in pixels between the camera's and the helper's image of the points.
double worstPixelError(TalvorProjection *projection, const Camera &camera,
                       const std::vector<Vec3> &points) {
    double worst = 0.0;
    for (const Vec3 &p : points) {
        double u = 0, v = 0;
        EXPECT_EQ(projection->Project(p.x, p.y, p.z, &u, &v), S_OK);
        const auto [eu, ev] = camera.fractions(p);
        worst = std::max(worst, std::hypot((u - eu) * kWidth, (v - ev) * kHeight));
    }
    return worst;
}

double residual(TalvorProjection *projection) {
    double rms = -1;
    EXPECT_EQ(projection->GetResidual(kWidth, kHeight, &rms), S_OK);
    return rms;
}

void expectUncalibrated(TalvorProjection *projection) {
    double u = 0, v = 0, params[11] = {}, rms = 0;
    EXPECT_EQ(projection->Project(1, 1, 1, &u, &v), E_FAIL);
    EXPECT_EQ(u, kMissing);
    EXPECT_EQ(v, kMissing);
    EXPECT_EQ(projection->GetParameters(params), E_FAIL);
    EXPECT_EQ(params[0], kMissing);
    EXPECT_EQ(projection->GetResidual(kWidth, kHeight, &rms), E_FAIL);
}

} // namespace

TEST(ProjectionFit, ReproducesASyntheticCamera) {
    const Camera camera = fieldCamera();
    auto cal = calibrationOf(camera, framePoints());
    auto projection = createProjection();
    ASSERT_EQ(projection->SetCalibration(cal.get()), S_OK);

    EXPECT_LT(residual(projection.get()), 0.01);
    EXPECT_LT(worstPixelError(projection.get(), camera, checkPoints()), 0.01);

    // The parameters are the camera's, in the documented form.
    double l[11] = {};
    ASSERT_EQ(projection->GetParameters(l), S_OK);
    const auto expected = camera.parameters();
    for (std::size_t k = 0; k < 11; ++k)
        EXPECT_NEAR(l[k], expected[k], 1e-7 * (1.0 + std::fabs(expected[k]))) << "L" << k + 1;
    const Vec3 p{0.3, 0.4, 0.2};
    double u = 0, v = 0;
    ASSERT_EQ(projection->Project(p.x, p.y, p.z, &u, &v), S_OK);
    const double d = l[8] * p.x + l[9] * p.y + l[10] * p.z + 1;
    EXPECT_NEAR(u, (l[0] * p.x + l[1] * p.y + l[2] * p.z + l[3]) / d, 1e-12);
    EXPECT_NEAR(v, (l[4] * p.x + l[5] * p.y + l[6] * p.z + l[7]) / d, 1e-12);
}

TEST(ProjectionFit, SixPointsInGeneralPositionAreEnoughFiveAreNot) {
    const Camera camera = fieldCamera();
    std::vector<Vec3> points = framePoints();
    // Six corners, not coplanar: (0,0,0) (0,0,1) (0,1.5,0) (0,1.5,1) (2,0,0) (2,0,1).
    points.resize(6);
    auto projection = createProjection();
    EXPECT_EQ(projection->SetCalibration(calibrationOf(camera, points).get()), S_OK);
    EXPECT_LT(worstPixelError(projection.get(), camera, checkPoints()), 0.01);

    points.resize(5);
    EXPECT_EQ(projection->SetCalibration(calibrationOf(camera, points).get()), E_FAIL);
    expectUncalibrated(projection.get());
}

TEST(ProjectionFit, CountsOnlyPointsWithBothPositions) {
    const Camera camera = fieldCamera();
    auto cal = calibrationOf(camera, framePoints());
    // Image positions of 7 of the 12 points not measured yet: 5 usable points.
    for (LONG id = 1; id <= 7; ++id) {
        double x = 0, y = 0, z = 0;
        cal->GetPointPosition(id - 1, &x, &y, &z);
        cal->SetPoint(id, x, y, z, kMissing, kMissing);
    }
    auto projection = createProjection();
    EXPECT_EQ(projection->SetCalibration(cal.get()), E_FAIL);
    // One more measured point makes six.
    double x = 0, y = 0, z = 0;
    cal->GetPointPosition(0, &x, &y, &z);
    const auto [u, v] = camera.fractions({x, y, z});
    cal->SetPoint(1, x, y, z, u, v);
    EXPECT_EQ(projection->SetCalibration(cal.get()), S_OK);
}

TEST(ProjectionFit, RefusesPointsThatDoNotDetermineACamera) {
    const Camera camera = fieldCamera();
    auto projection = createProjection();
    ASSERT_EQ(projection->SetCalibration(calibrationOf(camera, framePoints()).get()), S_OK);

    // Ten points on the frame's front face (a plane that is not a coordinate plane of the
    // camera): many cameras give the same images.
    std::vector<Vec3> coplanar;
    for (int i = 0; i < 10; ++i)
        coplanar.push_back({0.2 * i, 0.15 * ((i * 7) % 10), 0.0});
    EXPECT_EQ(projection->SetCalibration(calibrationOf(camera, coplanar).get()), E_FAIL);
    expectUncalibrated(projection.get());

    // A tilted plane, x + y + z = 2.
    std::vector<Vec3> tilted;
    for (int i = 0; i < 10; ++i) {
        const double x = 0.2 * i, y = 0.15 * ((i * 3) % 10);
        tilted.push_back({x, y, 2.0 - x - y});
    }
    EXPECT_EQ(projection->SetCalibration(calibrationOf(camera, tilted).get()), E_FAIL);

    std::vector<Vec3> collinear;
    for (int i = 0; i < 8; ++i)
        collinear.push_back({0.25 * i, 0.1 * i, 0.05 * i});
    EXPECT_EQ(projection->SetCalibration(calibrationOf(camera, collinear).get()), E_FAIL);

    // The same point eight times.
    EXPECT_EQ(projection->SetCalibration(
                  calibrationOf(camera, std::vector<Vec3>(8, Vec3{1, 1, 1})).get()),
              E_FAIL);

    EXPECT_EQ(projection->SetCalibration(nullptr), platform::E_POINTER);
    expectUncalibrated(projection.get());
}

TEST(ProjectionFit, FarFromTheOriginTheNormalisationKeepsItPrecise) {
    // Survey coordinates: the frame kilometres from the world origin.
    const Vec3 shift{4200.0, -3100.0, 1500.0};
    const Camera camera = fieldCamera(shift);
    auto projection = createProjection();
    ASSERT_EQ(projection->SetCalibration(calibrationOf(camera, framePoints(shift)).get()), S_OK);
    EXPECT_LT(residual(projection.get()), 0.01);
    EXPECT_LT(worstPixelError(projection.get(), camera, checkPoints(shift)), 0.01);
}

TEST(ProjectionFit, NoisyImagePositionsGiveAResidualOfTheNoise) {
    const Camera camera = fieldCamera();
    // 30 points spread through the frame, image positions with 0.5 px of noise on each axis.
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> noise(0.0, 0.5);
    auto cal = createCal3D();
    for (LONG id = 1; id <= 30; ++id) {
        const Vec3 p{2.0 * unit(random), 1.5 * unit(random), unit(random)};
        const auto [u, v] = camera.fractions(p);
        ASSERT_EQ(cal->SetPoint(id, p.x, p.y, p.z, u + noise(random) / kWidth,
                                v + noise(random) / kHeight),
                  S_OK);
    }
    auto projection = createProjection();
    ASSERT_EQ(projection->SetCalibration(cal.get()), S_OK);
    // The distance of 2-D noise of 0.5 px per axis has an RMS of 0.71 px; the 11 fitted
    // parameters absorb 11 of the 60 coordinates, leaving about 0.64 px.
    const double rms = residual(projection.get());
    EXPECT_GT(rms, 0.4);
    EXPECT_LT(rms, 0.9);
    // The camera itself is still found to within a pixel or two.
    EXPECT_LT(worstPixelError(projection.get(), camera, checkPoints()), 2.0);
    // In other units: half the image size halves the residual.
    double half = 0;
    ASSERT_EQ(projection->GetResidual(kWidth / 2, kHeight / 2, &half), S_OK);
    EXPECT_NEAR(half, rms / 2, 1e-12);
}

TEST(ProjectionProject, FailsInTheFocalPlaneBehindTheCameraAndForMissingValues) {
    const Camera camera = fieldCamera();
    auto projection = createProjection();
    ASSERT_EQ(projection->SetCalibration(calibrationOf(camera, framePoints()).get()), S_OK);

    double u = 0, v = 0;
    const Vec3 inFocalPlane = camera.fromCamera({0.7, -0.4, 0.0});
    EXPECT_EQ(projection->Project(inFocalPlane.x, inFocalPlane.y, inFocalPlane.z, &u, &v), E_FAIL);
    EXPECT_EQ(u, kMissing);
    EXPECT_EQ(v, kMissing);
    const Vec3 behind = camera.fromCamera({0.1, 0.2, -3.0});
    EXPECT_EQ(projection->Project(behind.x, behind.y, behind.z, &u, &v), E_FAIL);
    // Just in front of the camera: far outside the image, but a position.
    const Vec3 near = camera.fromCamera({0.1, 0.2, 0.001});
    ASSERT_EQ(projection->Project(near.x, near.y, near.z, &u, &v), S_OK);
    const auto [eu, ev] = camera.fractions(near);
    EXPECT_NEAR(u, eu, 1e-6 * std::fabs(eu));
    EXPECT_NEAR(v, ev, 1e-6 * std::fabs(ev));

    EXPECT_EQ(projection->Project(1.0, kMissing, 0.5, &u, &v), E_FAIL);
    EXPECT_EQ(projection->Project(1.0, 0.5, std::nan(""), &u, &v), E_FAIL);
    EXPECT_EQ(u, kMissing);
    double rms = 0;
    EXPECT_EQ(projection->GetResidual(0.0, kHeight, &rms), platform::E_INVALIDARG);
    EXPECT_EQ(projection->GetResidual(kWidth, std::nan(""), &rms), platform::E_INVALIDARG);
}

TEST(ProjectionFit, AWorldOriginInTheFocalPlaneHasNoElevenParameterForm) {
    // The camera's centre plane passes through the world origin (t has no depth), so the
    // denominator's constant term, which the form fixes at 1, is 0.
    const Camera camera(1000.0, 640.0, 360.0, 0.0, 0.0, 0.0, {0.3, 0.2, 0.0});
    std::vector<Vec3> points;
    for (Vec3 p : framePoints())
        points.push_back(p + Vec3{-1.0, -0.75, 4.0});
    auto projection = createProjection();
    EXPECT_EQ(projection->SetCalibration(calibrationOf(camera, points).get()), E_FAIL);
    expectUncalibrated(projection.get());
}

TEST(ProjectionFit, IsCreatedByClassIdentifier) {
    registerClasses();
    auto projection = platform::createInstance<TalvorProjection>(CLSID_Projection);
    ASSERT_TRUE(projection);
    expectUncalibrated(projection.get());
    auto cal = platform::createInstance<TalvorCal3D>(CLSID_Cal3D);
    ASSERT_TRUE(cal);
}
