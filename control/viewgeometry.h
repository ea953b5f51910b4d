// The view's arithmetic: zoom and scroll offsets, window <-> image mapping, where the frame
// layer starts, and the pointer and fit computations. Pure functions, so every formula can
// be checked without a display. Zoom is an integer percentage, offsets are screen pixels,
// image coordinates are pixels of the unzoomed frame.
#pragma once

#include "platform/missingvalue.h"
#include "platform/wintypes.h"

namespace quivex {

using platform::LONG;

// Screen coordinates and sizes are clamped to +-kFarCoordinate: anything beyond is off every
// view, and a coordinate plus a size (a rectangle's far edge) still fits a LONG. Zoom and
// offsets reach the formulas unchecked from a loaded state, so every product is formed in
// 64 bits or in floating point before it is clamped.
constexpr LONG kFarCoordinate = 1000000000;

// trunc(v) clamped to +-kFarCoordinate; NaN gives 0.
LONG truncToCoordinate(double v);
constexpr LONG clampToCoordinate(long long v) {
    return v > kFarCoordinate    ? kFarCoordinate
           : v < -kFarCoordinate ? -kFarCoordinate
                                 : static_cast<LONG>(v);
}

struct ImagePoint {
    double x;
    double y;
};

// Window pixel -> image pixel, in extended precision:
// (x + offset) * 100 / zoom, less 0.5 when zoomed in beyond 100 %.
ImagePoint windowToImage(LONG x, LONG y, LONG zoom, LONG hOffset, LONG vOffset);

// Fraction of the image size -> window pixel (before the drawing's +0.5 and truncation):
// u * zoom * size * 0.01 + trunc(zoom * 0.005) - offset; t is the centre of an image pixel.
double fractionToWindow(double fraction, LONG zoom, LONG imageSize, LONG offset);
// The same while live video runs: the capture size scales directly.
double fractionToLiveWindow(double fraction, LONG captureSize);
// Drawing adds 0.5 and truncates.
LONG toDrawPixel(double windowCoordinate);

// Missing data (at or below the marker) is never drawn.
using platform::isMissing;

// The source rectangle of the frame layer for a zoom and scroll position. Values that do
// not fit are clamped to +-kFarCoordinate, and `exact` is false then.
struct FrameLayerGeometry {
    LONG scaledWidth;  // trunc(zoom * W * 0.01 + 0.5)
    LONG scaledHeight; // trunc(zoom * H * 0.01 + 0.5)
    LONG column;       // first shown source column, trunc(hOffset * 100 / zoom)
    LONG row;          // first shown source row
    LONG dx;           // sub-pixel remainder in screen pixels, trunc(zoom * frac * 0.01)
    LONG dy;
    LONG originX; // where the zoomed frame's top left lands: -hOffset, -vOffset
    LONG originY;
    bool exact;
};
FrameLayerGeometry frameLayerGeometry(LONG zoom, LONG width, LONG height, LONG hOffset,
                                      LONG vOffset);

// The part of a W x H frame, stretched to the frame layer's zoomed rectangle, that can show
// in a view of the given size: whole source columns and rows, and the rectangle (screen
// pixels, fractional) they are stretched to. A frame too large to hand to the painter as one
// stretch is drawn this way. Nothing shows when `columns` or `rows` is 0.
struct FramePart {
    LONG column;
    LONG row;
    LONG columns;
    LONG rows;
    double x;
    double y;
    double width;
    double height;
};
FramePart visibleFramePart(LONG zoom, LONG width, LONG height, LONG hOffset, LONG vOffset,
                           LONG viewWidth, LONG viewHeight);

// MovePointer: where an image point lands in the client area, scrolling when it falls
// outside. The offsets are updated in place (never below 0); `scrolled` tells whether they
// changed. A point too far away for a LONG lands at +-kFarCoordinate.
struct PointerMove {
    LONG x;
    LONG y;
    bool scrolled;
};
PointerMove movePointer(double fx, double fy, LONG zoom, LONG &hOffset, LONG &vOffset,
                        LONG clientWidth, LONG clientHeight);

// Draw: the zoom that fits a W x H image into a target of the given size (at most the
// largest LONG).
LONG fitZoom(LONG targetWidth, LONG targetHeight, LONG imageWidth, LONG imageHeight);

// Zoomed size with integer arithmetic, as Copy and Picture size their bitmaps.
constexpr LONG zoomedSize(LONG size, LONG zoom) {
    return clampToCoordinate(static_cast<long long>(size) * zoom / 100);
}

// Frame number for the overlay data: frame + round(rate * offset), halves away from zero,
// held within the range of a LONG.
LONG dataFrame(LONG frame, float frameRate, float frameOffsetSeconds);

} // namespace quivex
