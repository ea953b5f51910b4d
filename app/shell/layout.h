// The main window's layout rule as plain arithmetic: where the video frame, the points
// frame, the magnifier and the marker table go for a given inner size, and the smallest outer
// size.
#pragma once

#include <QRect>
#include <QSize>

namespace shell {

// Screen resolution in twips per pixel (1440 twips an inch at 96 dots per inch).
inline constexpr int kTwipsPerPixel = 15;

// The smallest outer window size, in twips: 960 x 708 pixels at 15 twips per pixel.
inline constexpr int kMinOuterWidthTwips = 14400;
inline constexpr int kMinOuterHeightTwips = 10620;

// The magnifier's fixed size in pixels.
inline constexpr QSize kMagnifierSize{120, 120};

struct MainLayout {
    // In the window's inner (client) pixels, below the menu bar.
    QRect fraVideo;
    QRect qvxVideo;
    QRect fraRight;
    // In pixels inside `fraRight`.
    QRect imgLupe;
    QRect lvwPoints;
};

// The outer size the window must have: each side at least the minimum, else unchanged.
// `tpx` and `tpy` are the twips per pixel horizontally and vertically.
QSize clampOuterSize(QSize outer, int tpx = kTwipsPerPixel, int tpy = kTwipsPerPixel);

// The minimum outer size in pixels.
QSize minimumOuterSize(int tpx = kTwipsPerPixel, int tpy = kTwipsPerPixel);

// Places the working surface for an inner size. Sizes never go below zero, so a window
// caught between a resize and its snap back still gets valid rectangles.
MainLayout layoutMainWindow(QSize inner, QSize magnifier = kMagnifierSize);

} // namespace shell
