// The 3-D calibration's points and its layout (identifier -> index), and layouts made by
// class identifier.
#include "components/datalib/datalib.h"

#include "platform/classes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace datalib;
using platform::ComPtr;
using platform::E_INVALIDARG;
using platform::S_FALSE;
using platform::S_OK;

namespace {

constexpr HRESULT kAccessDenied = static_cast<HRESULT>(0x80070005u);

struct Position {
    double x, y, z, u, v;
    bool operator==(const Position &) const = default;
};

class Calibration3DTest : public ::testing::Test {
protected:
    Position at(LONG index) {
        Position p{};
        EXPECT_EQ(cal->GetPointPosition(index, &p.x, &p.y, &p.z), S_OK);
        EXPECT_EQ(cal->GetImagePosition(index, &p.u, &p.v), S_OK);
        return p;
    }
    // The identifiers in layout order, from the calibration's own layout.
    std::vector<LONG> ids() {
        TalvorSpec *raw = nullptr;
        EXPECT_EQ(cal->GetSpecification(&raw), S_OK);
        auto layout = ComPtr<TalvorSpec>::attach(raw);
        LONG count = -1;
        layout->GetPointCount(&count);
        std::vector<LONG> out;
        for (LONG i = 0; i < count; ++i) {
            LONG id = 0;
            layout->GetPointId(i, &id);
            out.push_back(id);
        }
        return out;
    }
    // What the control does: the identifier's index in the layout, then the image position.
    Position byId(LONG id) {
        TalvorSpec *raw = nullptr;
        cal->GetSpecification(&raw);
        auto layout = ComPtr<TalvorSpec>::attach(raw);
        LONG index = -1;
        EXPECT_EQ(layout->GetPointIndex(id, &index), S_OK);
        return at(index);
    }
    LONG count() {
        LONG n = -1;
        cal->GetPointCount(&n);
        return n;
    }

    ComPtr<TalvorCal3D> cal = createCal3D();
};

} // namespace

TEST_F(Calibration3DTest, NewPointsAreAppendedInLayoutOrder) {
    ASSERT_EQ(cal->SetPoint(30, 1, 2, 3, 0.1, 0.2), S_OK);
    ASSERT_EQ(cal->SetPoint(10, 4, 5, 6, 0.3, 0.4), S_OK);
    ASSERT_EQ(cal->SetPoint(20, 7, 8, 9, 0.5, 0.6), S_OK);
    EXPECT_EQ(count(), 3);
    EXPECT_EQ(ids(), (std::vector<LONG>{30, 10, 20}));
    EXPECT_EQ(byId(30), (Position{1, 2, 3, 0.1, 0.2}));
    EXPECT_EQ(byId(10), (Position{4, 5, 6, 0.3, 0.4}));
    EXPECT_EQ(byId(20), (Position{7, 8, 9, 0.5, 0.6}));
}

TEST_F(Calibration3DTest, SettingAKnownPointMovesItInPlace) {
    cal->SetPoint(1, 0, 0, 0, 0.1, 0.1);
    cal->SetPoint(2, 1, 0, 0, 0.2, 0.1);
    cal->SetPoint(3, 0, 1, 0, 0.1, 0.2);
    ASSERT_EQ(cal->SetPoint(2, 5, 5, 5, 0.9, 0.8), S_OK);
    EXPECT_EQ(count(), 3);
    EXPECT_EQ(ids(), (std::vector<LONG>{1, 2, 3}));
    EXPECT_EQ(at(1), (Position{5, 5, 5, 0.9, 0.8}));
    EXPECT_EQ(at(2), (Position{0, 1, 0, 0.1, 0.2}));
}

TEST_F(Calibration3DTest, RemovingAPointShiftsTheLaterOnesInBothPlaces) {
    cal->SetPoint(1, 0, 0, 0, 0.1, 0.1);
    cal->SetPoint(2, 1, 0, 0, 0.2, 0.1);
    cal->SetPoint(3, 0, 1, 0, 0.1, 0.2);
    cal->AddConnection(1, 2, 0xFF);
    cal->AddConnection(2, 3, 0xFF00);
    cal->AddConnection(3, -10, 0xFF0000); // a circle around 3
    ASSERT_EQ(cal->RemovePoint(2), S_OK);
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(ids(), (std::vector<LONG>{1, 3}));
    EXPECT_EQ(byId(3), (Position{0, 1, 0, 0.1, 0.2}));
    // Connections naming the removed point go; the circle around 3 stays.
    TalvorSpec *raw = nullptr;
    cal->GetSpecification(&raw);
    auto layout = ComPtr<TalvorSpec>::attach(raw);
    LONG connections = -1, first = 0, second = 0;
    COLORREF color = 0;
    layout->GetConnectionCount(&connections);
    ASSERT_EQ(connections, 1);
    layout->GetConnection(0, &first, &second, &color);
    EXPECT_EQ(first, 3);
    EXPECT_EQ(second, -10);

    EXPECT_EQ(cal->RemovePoint(2), S_FALSE);
    // A point set again after removal comes last.
    cal->SetPoint(2, 8, 8, 8, 0.7, 0.7);
    EXPECT_EQ(ids(), (std::vector<LONG>{1, 3, 2}));
    EXPECT_EQ(at(2), (Position{8, 8, 8, 0.7, 0.7}));
}

TEST_F(Calibration3DTest, MissingValuesAreKeptAsTheMarkerAndNonNumbersRefused) {
    ASSERT_EQ(cal->SetPoint(1, 1, 2, 3, kMissing, kMissing), S_OK); // not measured yet
    ASSERT_EQ(cal->SetPoint(2, -5.0e9, 2, 3, 0.5, -2.0e9), S_OK);   // below the marker
    EXPECT_EQ(at(0), (Position{1, 2, 3, kMissing, kMissing}));
    EXPECT_EQ(at(1), (Position{kMissing, 2, 3, 0.5, kMissing}));

    EXPECT_EQ(cal->SetPoint(1, std::nan(""), 0, 0, 0.5, 0.5), E_INVALIDARG);
    EXPECT_EQ(cal->SetPoint(3, 0, 0, 0, INFINITY, 0.5), E_INVALIDARG);
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(at(0), (Position{1, 2, 3, kMissing, kMissing}));

    // Outside the indices: the marker.
    double x = 0, y = 0, z = 0, u = 0, v = 0;
    EXPECT_EQ(cal->GetPointPosition(2, &x, &y, &z), E_INVALIDARG);
    EXPECT_EQ(cal->GetImagePosition(-1, &u, &v), E_INVALIDARG);
    EXPECT_EQ(x, kMissing);
    EXPECT_EQ(u, kMissing);
}

TEST_F(Calibration3DTest, TheLayoutIsTheCalibrationsOwnAndOnlyItChangesThePoints) {
    TalvorSpec *first = nullptr, *second = nullptr;
    ASSERT_EQ(cal->GetSpecification(&first), S_OK);
    ASSERT_EQ(cal->GetSpecification(&second), S_OK);
    auto a = ComPtr<TalvorSpec>::attach(first), b = ComPtr<TalvorSpec>::attach(second);
    EXPECT_EQ(a.get(), b.get());

    // A layout taken before points are set sees them.
    cal->SetPoint(7, 0, 0, 0, 0.5, 0.5);
    cal->AddConnection(7, 8, 0x00FF00);
    LONG n = -1;
    a->GetPointCount(&n);
    EXPECT_EQ(n, 1);
    a->GetConnectionCount(&n);
    EXPECT_EQ(n, 1);

    // Through the layout nobody can shift the indices the calibration shares with it.
    EXPECT_EQ(a->AddPoint(9), kAccessDenied);
    EXPECT_EQ(a->Clear(), kAccessDenied);
    EXPECT_EQ(ids(), (std::vector<LONG>{7}));
    EXPECT_EQ(count(), 1);
    // Connections are open to it, as to the calibration.
    EXPECT_EQ(a->AddConnection(7, -5, 0x0000FF), S_OK);
    a->GetConnectionCount(&n);
    EXPECT_EQ(n, 2);

    // The layout outlives the calibration's last reference.
    cal.reset();
    a->GetPointCount(&n);
    EXPECT_EQ(n, 1);
}

TEST(Calibration2DLayout, ItsTwoPointsCannotBeClearedThroughTheLayout) {
    TalvorCal2D *raw = nullptr;
    ASSERT_EQ(createCalFactory()->CreateCal2D(&raw), S_OK);
    auto cal = ComPtr<TalvorCal2D>::attach(raw);
    TalvorSpec *rawLayout = nullptr;
    ASSERT_EQ(cal->GetSpecification(&rawLayout), S_OK);
    auto layout = ComPtr<TalvorSpec>::attach(rawLayout);
    EXPECT_EQ(layout->Clear(), kAccessDenied);
    EXPECT_EQ(layout->AddPoint(3), kAccessDenied);
    LONG n = -1;
    layout->GetPointCount(&n);
    EXPECT_EQ(n, 2);
}

TEST(PointLayoutByClass, AHostFillsALayoutMadeByClassIdentifier) {
    registerClasses();
    auto layout = platform::createInstance<TalvorSpec>(CLSID_PointLayout);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->AddPoint(5), S_OK);
    EXPECT_EQ(layout->AddPoint(6), S_OK);
    EXPECT_EQ(layout->AddPoint(5), S_FALSE);
    LONG n = -1;
    layout->GetPointCount(&n);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(layout->Clear(), S_OK);
    layout->GetPointCount(&n);
    EXPECT_EQ(n, 0);
}
