// The 2-D calibration: when it is valid and what its transform gives, checked by hand.
#include "components/datalib/datalib.h"

#include <gtest/gtest.h>

#include <limits>

using namespace datalib;
using platform::ComPtr;
using platform::S_OK;

namespace {

class Calibration2DTest : public ::testing::Test {
protected:
    void SetUp() override {
        TalvorCal2D *raw = nullptr;
        ASSERT_EQ(createCalFactory()->CreateCal2D(&raw), S_OK);
        cal = ComPtr<TalvorCal2D>::attach(raw);
        // What the program does at start, then in the dialog.
        cal->SetParameter(1, 0);
        cal->SetPointX(0, -1.0e9);
        cal->SetParameter(1, 2);
        cal->SetDistance(0, 100.0);
        cal->SetOrigin(0, 0);
        cal->SetWidthRatio(639.0 / 640.0);
    }

    void setPoints(double x0, double y0, double x1, double y1) {
        cal->SetPointX(0, x0);
        cal->SetPointY(0, y0);
        cal->SetPointX(1, x1);
        cal->SetPointY(1, y1);
    }

    LONG state() {
        LONG s = -1;
        cal->GetState(&s);
        return s;
    }

    // Calibrated coordinates of a fraction, checked to succeed.
    std::pair<double, double> at(double fx, double fy) {
        double cx = 0, cy = 0;
        LONG status = -1;
        EXPECT_EQ(cal->Transform(fx, fy, &cx, &cy, &status), S_OK);
        EXPECT_EQ(status, 0);
        return {cx, cy};
    }

    ComPtr<TalvorCal2D> cal;
};

} // namespace

TEST_F(Calibration2DTest, IsNotValidUntilBothPointsAreSet) {
    EXPECT_EQ(state(), Cal2DPointMissing);
    cal->SetPointX(0, 0.25);
    cal->SetPointY(0, 0.5);
    EXPECT_EQ(state(), Cal2DPointMissing);
    double cx = 0, cy = 0;
    LONG status = 0;
    EXPECT_EQ(cal->Transform(0.5, 0.5, &cx, &cy, &status), platform::E_FAIL);
    EXPECT_EQ(status, Cal2DPointMissing);
    EXPECT_EQ(cx, kMissing);
    EXPECT_EQ(cy, kMissing);
    cal->SetPointX(1, 0.75);
    cal->SetPointY(1, 0.5);
    EXPECT_EQ(state(), Cal2DValid);
}

TEST_F(Calibration2DTest, OriginAtTheFirstPointXRightYUp) {
    setPoints(0.25, 0.5, 0.75, 0.5); // half the width is 100 cm: scale 200 per width
    cal->SetUnit(2);
    cal->SetAspect(1.0f);
    ASSERT_EQ(state(), Cal2DValid);
    EXPECT_EQ(at(0.25, 0.5), std::make_pair(0.0, 0.0));
    EXPECT_EQ(at(0.75, 0.5), std::make_pair(100.0, 0.0));
    EXPECT_EQ(at(0.5, 0.25), std::make_pair(50.0, 50.0)); // above the first point: y > 0
    EXPECT_EQ(at(0.0, 1.0), std::make_pair(-50.0, -100.0));
}

TEST_F(Calibration2DTest, TheAspectFactorScalesHeightFractions) {
    // A picture twice as wide as high; the points a quarter height apart span 1/8 width.
    cal->SetDistance(0, 10.0);
    cal->SetAspect(2.0f);
    setPoints(0.25, 0.5, 0.25, 0.75);
    ASSERT_EQ(state(), Cal2DValid); // scale 80 per width
    EXPECT_EQ(at(0.25, 0.75), std::make_pair(0.0, -10.0));
    EXPECT_EQ(at(0.5, 0.25), std::make_pair(20.0, 10.0));
}

TEST_F(Calibration2DTest, OriginOffsetShiftsAndNegativeDistanceUsesItsLength) {
    setPoints(0.25, 0.5, 0.75, 0.5);
    cal->SetOrigin(10.0, 20.0);
    EXPECT_EQ(at(0.5, 0.25), std::make_pair(60.0, 70.0));
    cal->SetDistance(0, -100.0);
    EXPECT_EQ(state(), Cal2DValid);
    EXPECT_EQ(at(0.5, 0.25), std::make_pair(60.0, 70.0));
}

TEST_F(Calibration2DTest, UnusableInputsGiveTheirStateInsteadOfInfinities) {
    setPoints(0.25, 0.5, 0.75, 0.5);
    cal->SetDistance(0, 0.0);
    EXPECT_EQ(state(), Cal2DNoDistance);
    cal->SetDistance(0, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(state(), Cal2DNoDistance);
    cal->SetDistance(0, 100.0);
    cal->SetAspect(0.0f);
    EXPECT_EQ(state(), Cal2DBadAspect);
    cal->SetAspect(1.356337f);
    setPoints(0.4, 0.4, 0.4, 0.4);
    EXPECT_EQ(state(), Cal2DSamePoints);
    setPoints(0.4, 0.4, std::numeric_limits<double>::infinity(), 0.4);
    EXPECT_EQ(state(), Cal2DPointMissing);

    // A valid calibration refuses a missing input position.
    setPoints(0.25, 0.5, 0.75, 0.5);
    double cx = 0, cy = 0;
    EXPECT_EQ(cal->Transform(kMissing, 0.5, &cx, &cy, nullptr), platform::E_INVALIDARG);
    EXPECT_EQ(cx, kMissing);
    EXPECT_EQ(cal->Transform(0.5, 0.5, nullptr, &cy, nullptr), platform::E_POINTER);
}

TEST_F(Calibration2DTest, PointsAndParametersReadBack) {
    setPoints(0.1, 0.2, 0.3, 0.4);
    double x = 0, y = 0;
    cal->GetPointX(1, &x);
    cal->GetPointY(0, &y);
    EXPECT_EQ(x, 0.3);
    EXPECT_EQ(y, 0.2);
    EXPECT_EQ(cal->SetPointX(2, 0.5), platform::E_INVALIDARG);
    EXPECT_EQ(cal->GetPointY(-1, &y), platform::E_INVALIDARG);
    EXPECT_EQ(y, kMissing);

    SHORT unit = 0;
    cal->SetParameter(1, 3); // parameter 1 is the unit
    cal->GetUnit(&unit);
    EXPECT_EQ(unit, 3);
    cal->SetUnit(1);
    LONG p = 0;
    cal->GetParameter(1, &p);
    EXPECT_EQ(p, 1);
    double ratio = 0;
    cal->GetWidthRatio(&ratio);
    EXPECT_EQ(ratio, 639.0 / 640.0);
}

TEST_F(Calibration2DTest, ItsLayoutNamesTheTwoPointsAndTheirLine) {
    TalvorSpec *raw = nullptr;
    ASSERT_EQ(cal->GetSpecification(&raw), S_OK);
    auto layout = ComPtr<TalvorSpec>::attach(raw);
    LONG count = 0, id = 0, index = -1;
    layout->GetPointCount(&count);
    EXPECT_EQ(count, 2);
    layout->GetPointId(1, &id);
    layout->GetPointIndex(id, &index);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(layout->GetPointIndex(99, &index), platform::E_INVALIDARG);
    EXPECT_EQ(index, -1);

    LONG connections = 0, a = 0, b = 0;
    COLORREF color = 0;
    layout->GetConnectionCount(&connections);
    ASSERT_EQ(connections, 1);
    ASSERT_EQ(layout->GetConnection(0, &a, &b, &color), S_OK);
    LONG ia = -1, ib = -1;
    layout->GetPointIndex(a, &ia);
    layout->GetPointIndex(b, &ib);
    EXPECT_EQ(ia, 0);
    EXPECT_EQ(ib, 1);
    EXPECT_EQ(color, 0xFF0000u);
    EXPECT_EQ(layout->GetConnection(1, &a, &b, &color), platform::E_INVALIDARG);
}
