#include "control/viewgeometry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

using namespace quivex;

TEST(WindowToImage, FollowsZoomOffsetsAndTheHalfPixelAboveHundred) {
    auto p = windowToImage(10, 20, 100, 0, 0);
    EXPECT_DOUBLE_EQ(p.x, 10.0);
    EXPECT_DOUBLE_EQ(p.y, 20.0);
    p = windowToImage(10, 20, 200, 0, 0);
    EXPECT_DOUBLE_EQ(p.x, 4.5);
    EXPECT_DOUBLE_EQ(p.y, 9.5);
    p = windowToImage(10, 20, 50, 0, 0);
    EXPECT_DOUBLE_EQ(p.x, 20.0);
    EXPECT_DOUBLE_EQ(p.y, 40.0);
    p = windowToImage(10, 20, 200, 30, -40);
    EXPECT_DOUBLE_EQ(p.x, 19.5);
    EXPECT_DOUBLE_EQ(p.y, -10.5);
    // Third-zooms keep their extended-precision quotient until the final rounding.
    p = windowToImage(1, 0, 300, 0, 0);
    EXPECT_DOUBLE_EQ(p.x, static_cast<double>(100.0L / 300.0L - 0.5L));
}

TEST(ImageToWindow, CentreOfAPixelAtTheZoom) {
    // u = 0.5 of a 640-pixel image at zoom 200: 640 + trunc(200 * 0.005) = 641.
    EXPECT_DOUBLE_EQ(fractionToWindow(0.5, 200, 640, 0), 641.0);
    EXPECT_DOUBLE_EQ(fractionToWindow(0.5, 100, 640, 0), 320.0);
    EXPECT_DOUBLE_EQ(fractionToWindow(0.5, 100, 640, 20), 300.0);
    EXPECT_DOUBLE_EQ(fractionToWindow(0.25, 50, 640, 0), 80.0);
    EXPECT_EQ(toDrawPixel(641.0), 641);
    EXPECT_EQ(toDrawPixel(640.6), 641);
    EXPECT_EQ(toDrawPixel(-0.6), 0); // +0.5 then truncation towards zero
    EXPECT_EQ(toDrawPixel(1e300), 1000000000);
    EXPECT_DOUBLE_EQ(fractionToLiveWindow(0.5, 720), 360.0);
    EXPECT_TRUE(isMissing(-1e9));
    EXPECT_TRUE(isMissing(-2e9));
    EXPECT_FALSE(isMissing(-999999999.0));
}

TEST(FrameLayer, SourceColumnRowAndSubPixelShift) {
    auto g = frameLayerGeometry(100, 640, 480, 0, 0);
    EXPECT_EQ(g.scaledWidth, 640);
    EXPECT_EQ(g.scaledHeight, 480);
    EXPECT_EQ(g.column, 0);
    EXPECT_EQ(g.dx, 0);
    // Zoom 300, offset 100: 33.33 source columns scrolled, 1 screen pixel left over.
    g = frameLayerGeometry(300, 640, 480, 100, 50);
    EXPECT_EQ(g.scaledWidth, 1920);
    EXPECT_EQ(g.column, 33);
    EXPECT_EQ(g.dx, 1);
    EXPECT_EQ(g.row, 16);
    EXPECT_EQ(g.dy, 2);
    // Zoom 33 of 641 pixels: trunc(211.53 + 0.5).
    EXPECT_EQ(frameLayerGeometry(33, 641, 3, 0, 0).scaledWidth, 212);
    // A negative offset gives a negative column, truncated towards zero.
    g = frameLayerGeometry(200, 10, 10, -3, 0);
    EXPECT_EQ(g.column, -1);
    EXPECT_EQ(g.dx, -1);
}

TEST(MovePointerMath, ScrollsOnlyWhenTheTargetLeavesTheWindow) {
    LONG h = 0, v = 0;
    // The first step carries the untruncated half-pixel term: zoom * 0.005 + 0.5 = +1 at 100 %.
    auto m = movePointer(50.0, 40.0, 100, h, v, 400, 300);
    EXPECT_FALSE(m.scrolled);
    EXPECT_EQ(m.x, 51);
    EXPECT_EQ(m.y, 41);
    // Right of the window: scrolled by X - width / 2, then recomputed without that term.
    m = movePointer(1000.0, 50.0, 100, h, v, 400, 300);
    EXPECT_TRUE(m.scrolled);
    EXPECT_EQ(h, 1001 - 200);
    EXPECT_EQ(m.x, 199);
    EXPECT_EQ(v, 0);
    // Left of the window: the offset never goes below 0.
    h = 50;
    m = movePointer(0.0, 50.0, 100, h, v, 400, 300);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(m.x, 0);
    // At zoom 200 the first step uses the half-pixel term, the recomputation does not.
    h = 0;
    m = movePointer(10.0, 10.0, 200, h, v, 400, 300);
    EXPECT_EQ(m.x, 21);
}

TEST(FitAndSizes, DrawZoomAndIntegerSizes) {
    EXPECT_EQ(fitZoom(320, 240, 640, 480), 50);
    EXPECT_EQ(fitZoom(640, 480, 640, 480), 100);
    EXPECT_EQ(fitZoom(1000, 240, 640, 480), 50); // the height limits
    EXPECT_EQ(fitZoom(100, 100, 0, 480), 100);   // no image: no division by zero
    EXPECT_EQ(zoomedSize(640, 50), 320);
    EXPECT_EQ(zoomedSize(641, 50), 320);
    EXPECT_EQ(dataFrame(10, 25.0f, 0.5f), 23); // 12.5 away from zero
    EXPECT_EQ(dataFrame(20, 25.0f, -0.5f), 7);
    EXPECT_EQ(dataFrame(10, 0.0f, 3.0f), 10);
}

// Zoom and offsets reach the formulas unchecked from a loaded state, and sizes up to 2^28
// pixels from a raw frame file: products are formed in 64 bits, and only what does not fit
// a view is clamped. The test build runs under UBSan, which aborts on a signed overflow.
TEST(FrameLayer, ExtremeSizesAndZoomsGiveSoundValues) {
    // The products overflow 32 bits, the results fit.
    auto g = frameLayerGeometry(100, 1 << 28, 1, 0, 0);
    EXPECT_EQ(g.scaledWidth, 1 << 28);
    EXPECT_EQ(g.scaledHeight, 1);
    EXPECT_TRUE(g.exact);
    g = frameLayerGeometry(1999, 1100000, 2, 4000, 0);
    EXPECT_EQ(g.scaledWidth, 21989000);
    EXPECT_EQ(g.scaledHeight, 40); // trunc(39.98 + 0.5)
    EXPECT_EQ(g.column, 200);      // trunc(400000 / 1999)
    EXPECT_EQ(g.originX, -4000);
    EXPECT_TRUE(g.exact);
    // Results beyond any view are clamped, and say so.
    g = frameLayerGeometry(1999, 1 << 28, 1, 0, 0);
    EXPECT_EQ(g.scaledWidth, kFarCoordinate);
    EXPECT_FALSE(g.exact);
    constexpr LONG kMax = std::numeric_limits<LONG>::max();
    constexpr LONG kMin = std::numeric_limits<LONG>::min();
    g = frameLayerGeometry(1, 640, 480, kMax, kMin);
    EXPECT_EQ(g.column, kFarCoordinate);
    EXPECT_EQ(g.row, -kFarCoordinate);
    EXPECT_EQ(g.originX, -kFarCoordinate);
    EXPECT_EQ(g.originY, kFarCoordinate);
    EXPECT_FALSE(g.exact);
    g = frameLayerGeometry(kMax, kMax, kMax, kMin, kMax);
    for (const LONG v : {g.scaledWidth, g.scaledHeight, g.column, g.row, g.dx, g.dy})
        EXPECT_LE(std::abs(v), kFarCoordinate);
    // A zoom of 0 or less (only a loaded state holds one) shows nothing.
    g = frameLayerGeometry(-5, 640, 480, 0, 0);
    EXPECT_EQ(g.scaledWidth, 0);
}

TEST(FrameLayer, TheVisiblePartOfALargeFrameKeepsTheZoomsScale) {
    // 1 100 000 x 2 at zoom 1999, scrolled 4000 pixels: 19.99 screen pixels per column
    // (21 989 000 / 1 100 000), 20 per row (trunc(39.98 + 0.5) / 2).
    auto p = visibleFramePart(1999, 1100000, 2, 4000, 0, 200, 100);
    EXPECT_EQ(p.column, 200);     // 4000 / 19.99 = 200.1
    EXPECT_EQ(p.columns, 11);     // up to column 210.1 at the right edge
    EXPECT_NEAR(p.x, -2.0, 1e-9); // -4000 + 200 * 19.99
    EXPECT_NEAR(p.width, 219.89, 1e-9);
    EXPECT_EQ(p.row, 0);
    EXPECT_EQ(p.rows, 2);
    EXPECT_DOUBLE_EQ(p.y, 0.0);
    EXPECT_DOUBLE_EQ(p.height, 40.0);

    // The part covers the view where the whole stretched frame would.
    p = visibleFramePart(113, 640, 480, 7, -9, 200, 150);
    const auto g = frameLayerGeometry(113, 640, 480, 7, -9);
    EXPECT_LE(p.x, 0.0);
    EXPECT_GE(p.x + p.width, 200.0);
    EXPECT_DOUBLE_EQ(p.y, 9.0);
    EXPECT_GE(p.y + p.height, 150.0);
    EXPECT_EQ(p.column, g.column);

    // Frames off the view, a zero zoom and a zoom of the largest LONG.
    EXPECT_EQ(visibleFramePart(100, 640, 480, 700, 0, 200, 150).columns, 0);
    EXPECT_EQ(visibleFramePart(100, 640, 480, -300, 0, 200, 150).columns, 0);
    EXPECT_EQ(visibleFramePart(0, 640, 480, 0, 0, 200, 150).columns, 0);
    p = visibleFramePart(std::numeric_limits<LONG>::max(), 640, 480,
                         std::numeric_limits<LONG>::min(), 0, 200, 150);
    EXPECT_EQ(p.columns, 0); // the frame starts 2^31 pixels right of the view
    p = visibleFramePart(std::numeric_limits<LONG>::max(), 640, 480, 0, 0, 200, 150);
    EXPECT_EQ(p.columns, 1);
    EXPECT_GE(p.width, 200.0);
}

TEST(MovePointerMath, FarPointsAndOffsetsStayWithinALong) {
    LONG h = 0, v = 0;
    auto m = movePointer(1e300, -1e300, 100, h, v, 400, 300);
    EXPECT_TRUE(m.scrolled);
    EXPECT_EQ(h, kFarCoordinate - 200);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(m.x, kFarCoordinate);
    EXPECT_EQ(m.y, -kFarCoordinate);
    h = std::numeric_limits<LONG>::max();
    v = std::numeric_limits<LONG>::max();
    m = movePointer(std::numeric_limits<double>::quiet_NaN(), 10.0, 1999, h, v, 400, 300);
    EXPECT_LE(h, kFarCoordinate);
    EXPECT_GE(h, 0);
    EXPECT_LE(std::abs(m.x), kFarCoordinate);
    EXPECT_LE(std::abs(m.y), kFarCoordinate);
}

TEST(FitAndSizes, ExtremeTargetsZoomsAndFrameShifts) {
    constexpr LONG kMax = std::numeric_limits<LONG>::max();
    EXPECT_EQ(fitZoom(kMax, kMax, 1, 1), kMax);
    EXPECT_EQ(zoomedSize(kMax, kMax), kFarCoordinate);
    EXPECT_EQ(zoomedSize(1 << 28, 1999), kFarCoordinate);
    EXPECT_EQ(zoomedSize(1100000, 1999), 21989000);
    EXPECT_EQ(dataFrame(kMax, 25.0f, 1.0f), kMax);
    EXPECT_EQ(dataFrame(std::numeric_limits<LONG>::min(), 25.0f, -1.0f),
              std::numeric_limits<LONG>::min());
    EXPECT_EQ(dataFrame(3, 1e30f, 1e30f), kMax);
    EXPECT_EQ(dataFrame(3, std::numeric_limits<float>::infinity(), 0.0f), 3); // NaN shift
    EXPECT_EQ(truncToCoordinate(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(truncToCoordinate(-1e300), -kFarCoordinate);
    EXPECT_EQ(truncToCoordinate(-2.7), -2);
}
