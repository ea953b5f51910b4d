#include "control/viewgeometry.h"

#include <gtest/gtest.h>

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
