#include "control/viewgeometry.h"

#include <cmath>

namespace quivex {

ImagePoint windowToImage(LONG x, LONG y, LONG zoom, LONG hOffset, LONG vOffset) {
    if (zoom <= 0)
        return {0.0, 0.0};
    const long double c = zoom > 100 ? 0.5L : 0.0L;
    const long double fx = (static_cast<long double>(x) + hOffset) * 100.0L / zoom - c;
    const long double fy = (static_cast<long double>(y) + vOffset) * 100.0L / zoom - c;
    return {static_cast<double>(fx), static_cast<double>(fy)};
}

double fractionToWindow(double fraction, LONG zoom, LONG imageSize, LONG offset) {
    const double t = std::trunc(zoom * 0.005);
    return fraction * zoom * imageSize * 0.01 + t - offset;
}

double fractionToLiveWindow(double fraction, LONG captureSize) {
    return fraction * captureSize;
}

LONG toDrawPixel(double windowCoordinate) {
    const double v = std::trunc(windowCoordinate + 0.5);
    // Far-away coordinates are clamped rather than overflowing; they are off any view anyway.
    if (!(v > -1.0e9))
        return -1000000000;
    if (v > 1.0e9)
        return 1000000000;
    return static_cast<LONG>(v);
}

FrameLayerGeometry frameLayerGeometry(LONG zoom, LONG width, LONG height, LONG hOffset,
                                      LONG vOffset) {
    FrameLayerGeometry g{};
    if (zoom <= 0)
        return g;
    g.scaledWidth = static_cast<LONG>(std::trunc(zoom * width * 0.01 + 0.5));
    g.scaledHeight = static_cast<LONG>(std::trunc(zoom * height * 0.01 + 0.5));
    const double sx = hOffset * 100.0 / zoom;
    const double sy = vOffset * 100.0 / zoom;
    g.column = static_cast<LONG>(std::trunc(sx));
    g.row = static_cast<LONG>(std::trunc(sy));
    g.dx = static_cast<LONG>(std::trunc(zoom * (sx - g.column) * 0.01));
    g.dy = static_cast<LONG>(std::trunc(zoom * (sy - g.row) * 0.01));
    return g;
}

PointerMove movePointer(double fx, double fy, LONG zoom, LONG &hOffset, LONG &vOffset,
                        LONG clientWidth, LONG clientHeight) {
    PointerMove m{};
    m.x = static_cast<LONG>(std::trunc(zoom * (fx * 0.01 + 0.005) - hOffset + 0.5));
    m.y = static_cast<LONG>(std::trunc(zoom * (fy * 0.01 + 0.005) - vOffset + 0.5));
    if (m.x <= 0 || m.x >= clientWidth) {
        hOffset = hOffset + m.x - clientWidth / 2;
        if (hOffset < 0)
            hOffset = 0;
        m.x = static_cast<LONG>(std::trunc(fx * zoom * 0.01 - hOffset + 0.5));
        m.scrolled = true;
    }
    if (m.y <= 0 || m.y >= clientHeight) {
        vOffset = vOffset + m.y - clientHeight / 2;
        if (vOffset < 0)
            vOffset = 0;
        m.y = static_cast<LONG>(std::trunc(fy * zoom * 0.01 - vOffset + 0.5));
        m.scrolled = true;
    }
    return m;
}

LONG fitZoom(LONG targetWidth, LONG targetHeight, LONG imageWidth, LONG imageHeight) {
    if (imageWidth <= 0 || imageHeight <= 0)
        return 100;
    // The width quotient is taken in single precision, the height quotient is not.
    const float qx = static_cast<float>(static_cast<double>(targetWidth) / imageWidth);
    const double qy = static_cast<double>(targetHeight) / imageHeight;
    const double q = qx < qy ? static_cast<double>(qx) : qy;
    return static_cast<LONG>(std::trunc(q * 100.0 + 0.0001));
}

LONG dataFrame(LONG frame, float frameRate, float frameOffsetSeconds) {
    const double shift = std::round(static_cast<double>(frameRate) * frameOffsetSeconds);
    return frame + static_cast<LONG>(shift);
}

} // namespace quivex
