// Angles and distances: their values in image pixels and calibrated units, and where they
// paint at zoom 100 and 200 with scroll offsets (the control's mapping of fractions to
// window pixels). Runs with a GUI application, so labels are drawn too.
#include "components/datalib/datalib.h"

#include "platform/classes.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

using namespace datalib;
using platform::ComPtr;
using platform::E_FAIL;
using platform::E_INVALIDARG;
using platform::S_OK;

namespace {

constexpr COLORREF kRed = 0x0000FF;
const QRgb kRedPixel = qRgb(255, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);

// A two-component data set of marker positions (fractions) for frames 0..9.
class Positions {
public:
    Positions() {
        TalvorDatas *raw = nullptr;
        EXPECT_EQ(m_factory->CreateDatas(-1, &raw), S_OK);
        datas = ComPtr<TalvorDatas>::attach(raw);
        datas->SetComponentCount(2);
    }
    void set(LONG marker, SHORT frame, float x, float y) {
        if (!known(marker)) {
            EXPECT_EQ(addMarkerChannels(*m_factory, *datas, marker, 0, 10), S_OK);
        }
        LONG status = -1;
        datas->WriteFrame(marker, frame, x, y, -1.0f, &status);
        EXPECT_EQ(status, 0);
    }
    ComPtr<TalvorDatas> datas;

private:
    bool known(LONG marker) {
        TalvorChannel *c = nullptr;
        const bool found = platform::succeeded(datas->GetChannel(0, marker, &c));
        if (c)
            c->Release();
        return found;
    }
    ComPtr<TalvorDataFactory> m_factory = createDataFactory();
};

// The video is 400 x 300; the view 200 x 150.
constexpr LONG kVideoWidth = 400;
constexpr LONG kVideoHeight = 300;

QImage blank() {
    QImage image(200, 150, QImage::Format_RGB32);
    image.fill(kWhite);
    return image;
}

template <class Measure>
QImage paint(Measure &m, LONG frame, float scale, float hOffset, float vOffset,
             QRect target = QRect(0, 0, 200, 150)) {
    QImage image = blank();
    QPainter painter(&image);
    EXPECT_EQ(m->Draw(frame, &painter, target, kVideoWidth, kVideoHeight, scale, hOffset, vOffset),
              S_OK);
    painter.end();
    return image;
}

// Red pixels in the rectangle (inclusive).
int redIn(const QImage &image, QRect area) {
    int n = 0;
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) == kRedPixel)
                ++n;
    return n;
}

bool allWhite(const QImage &image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != kWhite)
                return false;
    return true;
}

class AnglesTest : public ::testing::Test {
protected:
    void SetUp() override {
        // In video pixels: vertex (100, 150), arm ends (200, 150) to the right and (100, 60)
        // above: a right angle opening up and to the right.
        points.set(1, 0, 0.5f, 0.5f);
        points.set(2, 0, 0.25f, 0.5f);
        points.set(3, 0, 0.25f, 0.2f);
        angles->SetDatas(points.datas.get());
        LONG index = -1;
        ASSERT_EQ(angles->Add(1, 2, 3, kRed, &index), S_OK);
        EXPECT_EQ(index, 0);
    }
    double angleAt(LONG frame, LONG width, LONG height, HRESULT expected = S_OK) {
        double degrees = 0;
        EXPECT_EQ(angles->GetAngle(0, frame, width, height, &degrees), expected);
        return degrees;
    }
    Positions points;
    ComPtr<TalvorAngles> angles = createAngles();
};

} // namespace

TEST_F(AnglesTest, MeasuresInImagePixelsOfANonSquareImage) {
    EXPECT_NEAR(angleAt(0, kVideoWidth, kVideoHeight), 90.0, 1e-9);
    // Arms along both diagonals of a 1280 x 720 image's pixels: (+100, +100) and
    // (+100, -100) pixels from the vertex. In fractions they would not be at right angles.
    points.set(1, 1, 0.5f + 100.0f / 1280, 0.5f + 100.0f / 720);
    points.set(2, 1, 0.5f, 0.5f);
    points.set(3, 1, 0.5f + 100.0f / 1280, 0.5f - 100.0f / 720);
    EXPECT_NEAR(angleAt(1, 1280, 720), 90.0, 1e-4);
    // A straight angle and a 60 degree one (1, 0) and (1/2, sqrt(3)/2) in pixels.
    points.set(1, 2, 0.25f, 0.5f);
    points.set(2, 2, 0.5f, 0.5f);
    points.set(3, 2, 0.75f, 0.5f);
    EXPECT_NEAR(angleAt(2, 1280, 720), 180.0, 1e-9);
    points.set(1, 3, 0.5f + 200.0f / 1280, 0.5f);
    points.set(2, 3, 0.5f, 0.5f);
    points.set(3, 3, 0.5f + 100.0f / 1280, 0.5f - 173.20508f / 720);
    EXPECT_NEAR(angleAt(3, 1280, 720), 60.0, 1e-3);
}

TEST_F(AnglesTest, MissingPointsAndArmsWithoutLengthHaveNoAngle) {
    points.set(1, 1, 0.5f, 0.5f);
    points.set(2, 1, 0.5f, 0.5f); // vertex on the first arm's end
    points.set(3, 1, 0.25f, 0.2f);
    EXPECT_EQ(angleAt(1, 400, 300, E_FAIL), kMissing);
    EXPECT_EQ(angleAt(4, 400, 300, E_FAIL), kMissing);  // nothing written at frame 4
    EXPECT_EQ(angleAt(99, 400, 300, E_FAIL), kMissing); // outside the channels
    EXPECT_EQ(angleAt(0, 0, 300, E_INVALIDARG), kMissing);
    double degrees = 0;
    EXPECT_EQ(angles->GetAngle(1, 0, 400, 300, &degrees), E_INVALIDARG);
    angles->SetDatas(nullptr);
    EXPECT_EQ(angleAt(0, 400, 300, E_FAIL), kMissing);
}

TEST_F(AnglesTest, ArmsArcAndLabelLandAtTheMappedPixelsAtZoom100) {
    // Window = image - offset: vertex (80, 110), ends (180, 110) and (80, 20).
    const QImage image = paint(angles, 0, 1.0f, 20.0f, 40.0f);
    EXPECT_EQ(image.pixel(80, 110), kRedPixel);
    EXPECT_EQ(image.pixel(130, 110), kRedPixel);
    EXPECT_EQ(image.pixel(180, 110), kRedPixel);
    EXPECT_EQ(image.pixel(130, 109), kWhite);
    EXPECT_EQ(image.pixel(130, 111), kWhite);
    EXPECT_EQ(image.pixel(80, 20), kRedPixel);
    EXPECT_EQ(image.pixel(80, 60), kRedPixel);
    EXPECT_EQ(image.pixel(79, 60), kWhite);
    EXPECT_EQ(image.pixel(81, 60), kWhite);
    EXPECT_EQ(image.pixel(181, 110), kWhite);
    EXPECT_EQ(image.pixel(80, 19), kWhite);
    // The arc of radius 16 crosses the bisector near (91, 99), inside the angle.
    EXPECT_GT(redIn(image, QRect(QPoint(89, 97), QPoint(93, 101))), 0);
    // The label sits beyond the arc inside the angle; nothing outside the angle.
    EXPECT_GT(redIn(image, QRect(QPoint(95, 60), QPoint(150, 106))), 0);
    EXPECT_EQ(redIn(image, QRect(QPoint(0, 111), QPoint(199, 149))), 0);
    EXPECT_EQ(redIn(image, QRect(QPoint(0, 0), QPoint(79, 149))), 0);
}

TEST_F(AnglesTest, AStraightAngleHasItsArcAndLabelAbove) {
    // The second arm's end at (20, 150) in the video: 180 degrees, shown 20 and 40 pixels
    // up-left, so the arms lie along row 110 with the vertex at (80, 110). Either order of the
    // arms puts the arc and the label on the upper side; nothing lies below the arms.
    points.set(3, 0, 20.0f / kVideoWidth, 0.5f);
    EXPECT_NEAR(angleAt(0, kVideoWidth, kVideoHeight), 180.0, 1e-9);
    for (const bool swapped : {false, true}) {
        SCOPED_TRACE(swapped);
        if (swapped) {
            angles->Clear();
            angles->Add(3, 2, 1, kRed, nullptr);
        }
        const QImage image = paint(angles, 0, 1.0f, 20.0f, 40.0f);
        EXPECT_EQ(image.pixel(80, 94), kRedPixel); // the top of the arc of radius 16
        EXPECT_GT(redIn(image, QRect(QPoint(50, 55), QPoint(110, 92))), 0); // the label
        EXPECT_EQ(redIn(image, QRect(QPoint(0, 111), QPoint(199, 149))), 0);
    }
}

TEST_F(AnglesTest, ArmsFollowZoom200AndItsCentreTerm) {
    // Window = 2 x image + trunc(200 x 0.005) - offset: vertex (2 x 100 + 1 - 150,
    // 2 x 150 + 1 - 200) = (51, 101); the arms run off the view to the right and the top.
    const QImage image = paint(angles, 0, 200 * 0.01f, 150.0f, 200.0f);
    EXPECT_EQ(image.pixel(51, 101), kRedPixel);
    EXPECT_EQ(image.pixel(199, 101), kRedPixel);
    EXPECT_EQ(image.pixel(51, 0), kRedPixel);
    EXPECT_EQ(image.pixel(120, 100), kWhite);
    EXPECT_EQ(image.pixel(120, 102), kWhite);
    EXPECT_EQ(image.pixel(50, 30), kWhite);
    EXPECT_EQ(redIn(image, QRect(QPoint(0, 102), QPoint(199, 149))), 0);
}

TEST_F(AnglesTest, FarOffPointsKeepTheirDirection) {
    // The second arm's end 10^8 pixels away along (1, -2): the drawn arm must still pass
    // through vertex + (25, -50), whatever the clamping of far coordinates.
    points.set(3, 0, 0.25f + 1.0e8f / kVideoWidth, 0.5f - 2.0e8f / kVideoHeight);
    const QImage image = paint(angles, 0, 1.0f, 20.0f, 40.0f);
    EXPECT_EQ(image.pixel(80 + 25, 110 - 50), kRedPixel);
    EXPECT_EQ(image.pixel(80 + 50, 110 - 100), kRedPixel);
    EXPECT_EQ(image.pixel(130, 110), kRedPixel); // the other arm as before

    points.set(3, 0, 0.25f, INFINITY);
    EXPECT_TRUE(allWhite(paint(angles, 0, 1.0f, 20.0f, 40.0f)));
    points.set(3, 0, 0.25f, NAN);
    EXPECT_TRUE(allWhite(paint(angles, 0, 1.0f, 20.0f, 40.0f)));
}

TEST_F(AnglesTest, MissingPointsDrawNothingAndTheTargetClips) {
    points.set(2, 1, kMissing, kMissing); // the vertex is missing at frame 1
    points.set(1, 1, 0.5f, 0.5f);
    points.set(3, 1, 0.25f, 0.2f);
    EXPECT_TRUE(allWhite(paint(angles, 1, 1.0f, 20.0f, 40.0f)));
    EXPECT_TRUE(allWhite(paint(angles, 5, 1.0f, 20.0f, 40.0f)));  // nothing written
    EXPECT_TRUE(allWhite(paint(angles, 42, 1.0f, 20.0f, 40.0f))); // beyond the channels

    const QImage clipped = paint(angles, 0, 1.0f, 20.0f, 40.0f, QRect(0, 0, 120, 150));
    EXPECT_EQ(clipped.pixel(119, 110), kRedPixel);
    EXPECT_EQ(redIn(clipped, QRect(QPoint(120, 0), QPoint(199, 149))), 0);
}

TEST_F(AnglesTest, BadArgumentsAreRefusedWithoutPainting) {
    QImage image = blank();
    QPainter painter(&image);
    const QRect all(0, 0, 200, 150);
    EXPECT_EQ(angles->Draw(0, nullptr, all, 400, 300, 1.0f, 0, 0), platform::E_POINTER);
    EXPECT_EQ(angles->Draw(0, &painter, all, 0, 300, 1.0f, 0, 0), E_INVALIDARG);
    EXPECT_EQ(angles->Draw(0, &painter, all, 400, 300, NAN, 0, 0), E_INVALIDARG);
    EXPECT_EQ(angles->Draw(0, &painter, all, 400, 300, 1.0f, INFINITY, 0), E_INVALIDARG);
    EXPECT_EQ(angles->Draw(0, &painter, all, 400, 300, 0.0f, 0, 0), E_INVALIDARG);
    painter.end();
    EXPECT_TRUE(allWhite(image));
}

namespace {

class DistancesTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Video pixels (100, 150) to (300, 150): 200 pixels along a row.
        points.set(1, 0, 0.25f, 0.5f);
        points.set(2, 0, 0.75f, 0.5f);
        distances->SetDatas(points.datas.get());
        LONG index = -1;
        ASSERT_EQ(distances->Add(1, 2, kRed, &index), S_OK);
        EXPECT_EQ(index, 0);
    }
    double lengthAt(LONG frame, LONG width, LONG height, HRESULT expected = S_OK) {
        double length = 0;
        EXPECT_EQ(distances->GetLength(0, frame, width, height, &length), expected);
        return length;
    }
    ComPtr<TalvorCal2D> calibration(double distance, SHORT unit, float aspect) {
        TalvorCal2D *raw = nullptr;
        EXPECT_EQ(createCalFactory()->CreateCal2D(&raw), S_OK);
        auto cal = ComPtr<TalvorCal2D>::attach(raw);
        cal->SetPointX(0, 0.25);
        cal->SetPointY(0, 0.5);
        cal->SetPointX(1, 0.75);
        cal->SetPointY(1, 0.5);
        cal->SetDistance(0, distance);
        cal->SetUnit(unit);
        cal->SetAspect(aspect);
        return cal;
    }
    Positions points;
    ComPtr<TalvorDistances> distances = createDistances();
};

} // namespace

TEST_F(DistancesTest, PixelsWithoutAUsableCalibrationUnitsWithOne) {
    EXPECT_NEAR(lengthAt(0, kVideoWidth, kVideoHeight), 200.0, 1e-9);
    // A 3-4-5 triangle in the pixels of a 1280 x 720 image.
    points.set(1, 1, 0.5f, 0.5f);
    points.set(2, 1, 0.5f + 300.0f / 1280, 0.5f + 400.0f / 720);
    EXPECT_NEAR(lengthAt(1, 1280, 720), 500.0, 1e-3);

    // Half the width of a 1280 x 720 picture (640 pixels) is 100 cm; the picture's real
    // aspect is 16:9, so a pixel is 100 / 640 cm either way: 180 pixels down are 28.125 cm.
    auto cal = calibration(100.0, 2, 16.0f / 9.0f);
    distances->SetCalibration(cal.get());
    points.set(1, 2, 0.25f, 0.5f);
    points.set(2, 2, 0.25f, 0.75f);
    EXPECT_NEAR(lengthAt(2, 1280, 720), 28.125, 1e-4);
    EXPECT_NEAR(lengthAt(0, 1280, 720), 100.0, 1e-4);
    // A calibration that is not usable (no distance) leaves pixels.
    cal->SetDistance(0, 0.0);
    EXPECT_NEAR(lengthAt(2, 1280, 720), 180.0, 1e-3);
    distances->SetCalibration(nullptr);
    EXPECT_NEAR(lengthAt(0, 400, 300), 200.0, 1e-9);
}

TEST_F(DistancesTest, MissingPointsHaveNoLengthAndDrawNothing) {
    points.set(1, 1, 0.5f, kMissing);
    points.set(2, 1, 0.25f, 0.2f);
    EXPECT_EQ(lengthAt(1, 400, 300, E_FAIL), kMissing);
    EXPECT_EQ(lengthAt(3, 400, 300, E_FAIL), kMissing);
    EXPECT_TRUE(allWhite(paint(distances, 1, 1.0f, 60.0f, 40.0f)));
    EXPECT_TRUE(allWhite(paint(distances, 3, 1.0f, 60.0f, 40.0f)));
    double length = 0;
    EXPECT_EQ(distances->GetLength(1, 0, 400, 300, &length), E_INVALIDARG);
}

TEST_F(DistancesTest, LineTicksAndLabelAtZoom100) {
    // Window = image - (60, 40): (40, 110) to (240, 110), cut at the view's edge.
    const QImage image = paint(distances, 0, 1.0f, 60.0f, 40.0f);
    EXPECT_EQ(image.pixel(40, 110), kRedPixel);
    EXPECT_EQ(image.pixel(199, 110), kRedPixel);
    EXPECT_EQ(image.pixel(120, 109), kWhite);
    EXPECT_EQ(image.pixel(120, 111), kWhite);
    EXPECT_EQ(image.pixel(39, 110), kWhite);
    // The tick across the start: 4 pixels either side.
    EXPECT_EQ(image.pixel(40, 107), kRedPixel);
    EXPECT_EQ(image.pixel(40, 113), kRedPixel);
    EXPECT_EQ(image.pixel(40, 116), kWhite);
    EXPECT_EQ(image.pixel(40, 104), kWhite);
    // The label above the middle (140, 110); nothing below the line but the tick.
    EXPECT_GT(redIn(image, QRect(QPoint(100, 80), QPoint(180, 106))), 0);
    EXPECT_EQ(redIn(image, QRect(QPoint(45, 111), QPoint(199, 149))), 0);
}

TEST_F(DistancesTest, AVerticalLineHasItsLabelOnTheRight) {
    // Video pixels (100, 50) and (100, 250), shown 50 pixels up: column 100 from row 0 down
    // and off the view, its middle at (100, 100). Whichever end comes first, the label goes
    // right of the line; left of it there is only the half of the tick at the top end.
    for (const bool upwards : {false, true}) {
        SCOPED_TRACE(upwards);
        points.set(upwards ? 2 : 1, 0, 0.25f, 50.0f / kVideoHeight);
        points.set(upwards ? 1 : 2, 0, 0.25f, 250.0f / kVideoHeight);
        const QImage image = paint(distances, 0, 1.0f, 0.0f, 50.0f);
        EXPECT_EQ(image.pixel(100, 100), kRedPixel);
        EXPECT_EQ(image.pixel(96, 0), kRedPixel); // the tick across the top end
        EXPECT_GT(redIn(image, QRect(QPoint(104, 60), QPoint(199, 140))), 0);
        EXPECT_EQ(redIn(image, QRect(QPoint(0, 5), QPoint(99, 149))), 0);
    }
}

TEST_F(DistancesTest, LineAndTicksAtZoom200WithOffsets) {
    // Start at (2 x 100 + 1 - 100, 2 x 150 + 1 - 250) = (101, 51); the end is off the view.
    const QImage image = paint(distances, 0, 2.0f, 100.0f, 250.0f);
    EXPECT_EQ(image.pixel(101, 51), kRedPixel);
    EXPECT_EQ(image.pixel(150, 51), kRedPixel);
    EXPECT_EQ(image.pixel(199, 51), kRedPixel);
    EXPECT_EQ(image.pixel(100, 51), kWhite);
    EXPECT_EQ(image.pixel(150, 52), kWhite);
    EXPECT_EQ(image.pixel(101, 48), kRedPixel);
    EXPECT_EQ(image.pixel(101, 54), kRedPixel);
    EXPECT_EQ(image.pixel(101, 57), kWhite);
}

TEST_F(DistancesTest, ADiagonalTickIsAcrossTheLine) {
    // (100, 150) to (200, 50) in the video, up and to the right at 45 degrees; shown 40
    // pixels up: (100, 110) to (200, 10).
    points.set(2, 0, 0.5f, 50.0f / kVideoHeight);
    const QImage image = paint(distances, 0, 1.0f, 0.0f, 40.0f);
    EXPECT_EQ(image.pixel(150, 60), kRedPixel);
    // The tick at (100, 110) runs along (1, 1), about 2.8 pixels either side on each axis.
    EXPECT_EQ(image.pixel(102, 112), kRedPixel);
    EXPECT_EQ(image.pixel(98, 108), kRedPixel);
    EXPECT_EQ(image.pixel(98, 112), kWhite);
    EXPECT_EQ(image.pixel(104, 114), kWhite);
}

TEST(MeasurementsByClass, AreCreatedByClassIdentifier) {
    registerClasses();
    auto angles = platform::createInstance<TalvorAngles>(CLSID_Angles);
    auto distances = platform::createInstance<TalvorDistances>(CLSID_Distances);
    ASSERT_TRUE(angles);
    ASSERT_TRUE(distances);
    LONG n = -1;
    EXPECT_EQ(angles->GetCount(&n), S_OK);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(distances->GetCount(&n), S_OK);
    EXPECT_EQ(n, 0);
}
