#include "control/viewgeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quivex {

namespace {

// trunc(v) within the range of a LONG; NaN gives `nan`.
LONG truncToLong(long double v, LONG nan = 0) {
    if (std::isnan(v))
        return nan;
    v = std::trunc(v);
    if (v >= static_cast<long double>(std::numeric_limits<LONG>::max()))
        return std::numeric_limits<LONG>::max();
    if (v <= static_cast<long double>(std::numeric_limits<LONG>::min()))
        return std::numeric_limits<LONG>::min();
    return static_cast<LONG>(v);
}

// Source columns [first, first + count) of a frame axis of `size` pixels, stretched by
// `scale` from `origin`, that reach into [0, view).
struct AxisPart {
    LONG first = 0;
    LONG count = 0;
    double start = 0.0;
    double length = 0.0;
};

AxisPart visibleAxisPart(long double origin, long double scale, LONG size, LONG view) {
    AxisPart part;
    if (!(scale > 0.0L) || size <= 0 || view <= 0)
        return part;
    const auto clampToSize = [size](long double v) {
        return static_cast<LONG>(std::clamp<long double>(v, 0.0L, static_cast<long double>(size)));
    };
    const LONG first = clampToSize(std::floor((0.0L - origin) / scale));
    const LONG end = clampToSize(std::ceil((static_cast<long double>(view) - origin) / scale));
    if (end <= first)
        return part;
    part.first = first;
    part.count = end - first;
    part.start = static_cast<double>(origin + first * scale);
    part.length = static_cast<double>(part.count * scale);
    return part;
}

} // namespace

LONG truncToCoordinate(double v) {
    if (std::isnan(v))
        return 0;
    v = std::trunc(v);
    if (v > kFarCoordinate)
        return kFarCoordinate;
    if (v < -kFarCoordinate)
        return -kFarCoordinate;
    return static_cast<LONG>(v);
}

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
    g.exact = true;
    // Each value in 64 bits or in double, clamped only when it does not fit.
    auto coordinate = [&g](double v) {
        const LONG c = truncToCoordinate(v);
        if (static_cast<double>(c) != std::trunc(v))
            g.exact = false;
        return c;
    };
    auto negated = [&g](LONG offset) {
        const long long v = -static_cast<long long>(offset);
        const LONG c = clampToCoordinate(v);
        if (c != v)
            g.exact = false;
        return c;
    };
    g.originX = negated(hOffset);
    g.originY = negated(vOffset);
    if (zoom <= 0)
        return g;
    const long long zoomedWidth = static_cast<long long>(zoom) * width;
    const long long zoomedHeight = static_cast<long long>(zoom) * height;
    g.scaledWidth = coordinate(static_cast<double>(zoomedWidth) * 0.01 + 0.5);
    g.scaledHeight = coordinate(static_cast<double>(zoomedHeight) * 0.01 + 0.5);
    const double sx = hOffset * 100.0 / zoom;
    const double sy = vOffset * 100.0 / zoom;
    g.column = coordinate(sx);
    g.row = coordinate(sy);
    g.dx = coordinate(zoom * (sx - g.column) * 0.01);
    g.dy = coordinate(zoom * (sy - g.row) * 0.01);
    return g;
}

FramePart visibleFramePart(LONG zoom, LONG width, LONG height, LONG hOffset, LONG vOffset,
                           LONG viewWidth, LONG viewHeight) {
    FramePart part{};
    if (zoom <= 0 || width <= 0 || height <= 0)
        return part;
    // The same stretch as the whole frame's: W source pixels to trunc(zoom * W * 0.01 + 0.5)
    // screen pixels, here without clamping.
    auto scale = [zoom](LONG size) {
        const long double zoomed = static_cast<long double>(zoom) * size;
        return std::trunc(zoomed * 0.01L + 0.5L) / size;
    };
    const AxisPart across =
        visibleAxisPart(-static_cast<long double>(hOffset), scale(width), width, viewWidth);
    const AxisPart down =
        visibleAxisPart(-static_cast<long double>(vOffset), scale(height), height, viewHeight);
    if (across.count == 0 || down.count == 0)
        return part;
    part.column = across.first;
    part.columns = across.count;
    part.x = across.start;
    part.width = across.length;
    part.row = down.first;
    part.rows = down.count;
    part.y = down.start;
    part.height = down.length;
    return part;
}

PointerMove movePointer(double fx, double fy, LONG zoom, LONG &hOffset, LONG &vOffset,
                        LONG clientWidth, LONG clientHeight) {
    PointerMove m{};
    m.x = truncToCoordinate(zoom * (fx * 0.01 + 0.005) - hOffset + 0.5);
    m.y = truncToCoordinate(zoom * (fy * 0.01 + 0.005) - vOffset + 0.5);
    // The scrolled offset: offset + X - client / 2, never below 0.
    auto scrolled = [](LONG offset, LONG x, LONG client) {
        const long long v = static_cast<long long>(offset) + x - client / 2;
        return v < 0 ? 0 : clampToCoordinate(v);
    };
    if (m.x <= 0 || m.x >= clientWidth) {
        hOffset = scrolled(hOffset, m.x, clientWidth);
        m.x = truncToCoordinate(fx * zoom * 0.01 - hOffset + 0.5);
        m.scrolled = true;
    }
    if (m.y <= 0 || m.y >= clientHeight) {
        vOffset = scrolled(vOffset, m.y, clientHeight);
        m.y = truncToCoordinate(fy * zoom * 0.01 - vOffset + 0.5);
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
    return truncToLong(q * 100.0 + 0.0001);
}

LONG dataFrame(LONG frame, float frameRate, float frameOffsetSeconds) {
    const double shift = std::round(static_cast<double>(frameRate) * frameOffsetSeconds);
    return truncToLong(static_cast<long double>(frame) + shift, frame);
}

} // namespace quivex
