#include "control/rectangletracker.h"

#include "control/viewgeometry.h"

#include <algorithm>
#include <utility>

namespace quivex {

namespace {

// Image pixels -> zoomed image pixels, as at activation: trunc(v * scale + 0.5).
LONG toZoomed(float imagePixels, float scale) {
    return truncToCoordinate(imagePixels * scale + 0.5);
}

QRect fromEdges(long long left, long long top, long long right, long long bottom) {
    return QRect(QPoint(static_cast<int>(left), static_cast<int>(top)),
                 QPoint(static_cast<int>(right - 1), static_cast<int>(bottom - 1)));
}

TrackerEdges normalizedEdges(long long left, long long top, long long right, long long bottom) {
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    return {clampToCoordinate(left), clampToCoordinate(top), clampToCoordinate(right),
            clampToCoordinate(bottom)};
}

// A rectangle in image pixels as normalized zoomed edges.
TrackerEdges zoomedEdges(float left, float top, float right, float bottom, float scale) {
    return normalizedEdges(toZoomed(left, scale), toZoomed(top, scale), toZoomed(right, scale),
                           toZoomed(bottom, scale));
}

// One axis of the limit rule; `lo` and `hi` are the rectangle's edges on it.
void limitAxis(LONG &lo, LONG &hi, LONG limit, bool move) {
    const long long size = static_cast<long long>(hi) - lo;
    if (move && size <= limit) {
        if (lo < 0) {
            hi = static_cast<LONG>(size);
            lo = 0;
        } else if (hi > limit) {
            lo = static_cast<LONG>(limit - size);
            hi = limit;
        }
        return;
    }
    lo = std::clamp<LONG>(lo, 0, limit);
    hi = std::clamp<LONG>(hi, 0, limit);
}

} // namespace

bool RectangleTracker::activate(LONG style, float left, float top, float right, float bottom,
                                LONG zoom, LONG imageWidth, LONG imageHeight) {
    if (zoom <= 0)
        return false;
    cancelDrag();
    m_active = true;
    m_style = style;
    m_scale = zoom * 0.01f;
    m_imageWidth = std::max<LONG>(imageWidth, 0);
    m_imageHeight = std::max<LONG>(imageHeight, 0);
    m_rect = zoomedEdges(left, top, right, bottom, m_scale);
    return true;
}

void RectangleTracker::deactivate() {
    cancelDrag();
    m_active = false;
}

void RectangleTracker::rescale(LONG zoom) {
    if (zoom <= 0)
        return;
    cancelDrag();
    const auto image = imageRect();
    m_scale = zoom * 0.01f;
    m_rect = zoomedEdges(image[0], image[1], image[2], image[3], m_scale);
}

std::array<float, 4> RectangleTracker::imageRect() const {
    return {static_cast<float>(m_rect.left) / m_scale, static_cast<float>(m_rect.top) / m_scale,
            static_cast<float>(m_rect.right) / m_scale,
            static_cast<float>(m_rect.bottom) / m_scale};
}

LONG RectangleTracker::limitRight() const {
    return truncToCoordinate(static_cast<double>(m_scale) * m_imageWidth + 0.5);
}

LONG RectangleTracker::limitBottom() const {
    return truncToCoordinate(static_cast<double>(m_scale) * m_imageHeight + 0.5);
}

QRect RectangleTracker::handleRect(Hit handle) const {
    if (handle == Hit::None || handle == Hit::Middle)
        return {};
    constexpr long long s = kHandleSize;
    const long long l = m_rect.left, t = m_rect.top, r = m_rect.right, b = m_rect.bottom;
    const long long cx = l + (r - l) / 2 - s / 2;
    const long long cy = t + (b - t) / 2 - s / 2;
    // Outside handles sit against the rectangle's outer side, inside ones against its inner.
    const bool outside = (m_style & ResizeOutside) != 0;
    const long long west = outside ? l - s : l, east = outside ? r : r - s;
    const long long north = outside ? t - s : t, south = outside ? b : b - s;
    long long x = 0, y = 0;
    switch (handle) {
    case Hit::TopLeft:
        x = west, y = north;
        break;
    case Hit::TopRight:
        x = east, y = north;
        break;
    case Hit::BottomRight:
        x = east, y = south;
        break;
    case Hit::BottomLeft:
        x = west, y = south;
        break;
    case Hit::Top:
        x = cx, y = north;
        break;
    case Hit::Right:
        x = east, y = cy;
        break;
    case Hit::Bottom:
        x = cx, y = south;
        break;
    case Hit::Left:
        x = west, y = cy;
        break;
    case Hit::None:
    case Hit::Middle:
        break;
    }
    return fromEdges(x, y, x + s, y + s);
}

std::array<QRect, 4> RectangleTracker::borderBands() const {
    constexpr long long s = kHandleSize;
    const long long l = m_rect.left, t = m_rect.top, r = m_rect.right, b = m_rect.bottom;
    return {fromEdges(l - s, t - s, r + s, t), fromEdges(l - s, b, r + s, b + s),
            fromEdges(l - s, t, l, b), fromEdges(r, t, r + s, b)};
}

RectangleTracker::Hit RectangleTracker::hitTest(QPoint point) const {
    if (hasHandles())
        for (Hit handle : kHandles) // corners come first in the list
            if (handleRect(handle).contains(point))
                return handle;
    const long long x = point.x(), y = point.y();
    if (x >= m_rect.left && x < m_rect.right && y >= m_rect.top && y < m_rect.bottom)
        return Hit::Middle;
    if (m_style & HatchedBorder)
        for (const QRect &band : borderBands())
            if (band.contains(point))
                return Hit::Middle;
    return Hit::None;
}

Qt::CursorShape RectangleTracker::cursorFor(Hit hit) {
    switch (hit) {
    case Hit::TopLeft:
    case Hit::BottomRight:
        return Qt::SizeFDiagCursor;
    case Hit::TopRight:
    case Hit::BottomLeft:
        return Qt::SizeBDiagCursor;
    case Hit::Top:
    case Hit::Bottom:
        return Qt::SizeVerCursor;
    case Hit::Left:
    case Hit::Right:
        return Qt::SizeHorCursor;
    case Hit::Middle:
        return Qt::SizeAllCursor;
    case Hit::None:
        break;
    }
    return Qt::ArrowCursor;
}

bool RectangleTracker::beginDrag(QPoint press) {
    if (!m_active)
        return false;
    const Hit hit = hitTest(press);
    if (hit == Hit::None)
        return false;
    m_dragHit = hit;
    m_press = press;
    m_pressRect = m_rect;
    return true;
}

void RectangleTracker::dragTo(QPoint point) {
    if (!dragging())
        return;
    const long long dx = static_cast<long long>(point.x()) - m_press.x();
    const long long dy = static_cast<long long>(point.y()) - m_press.y();
    long long l = m_pressRect.left, t = m_pressRect.top, r = m_pressRect.right,
              b = m_pressRect.bottom;
    const Hit h = m_dragHit;
    if (h == Hit::Middle || h == Hit::TopLeft || h == Hit::BottomLeft || h == Hit::Left)
        l += dx;
    if (h == Hit::Middle || h == Hit::TopRight || h == Hit::BottomRight || h == Hit::Right)
        r += dx;
    if (h == Hit::Middle || h == Hit::TopLeft || h == Hit::TopRight || h == Hit::Top)
        t += dy;
    if (h == Hit::Middle || h == Hit::BottomLeft || h == Hit::BottomRight || h == Hit::Bottom)
        b += dy;
    const TrackerEdges moved = normalizedEdges(l, t, r, b);
    m_rect = moved == m_pressRect ? m_pressRect
                                  : limited(moved, h == Hit::Middle, limitRight(), limitBottom());
}

bool RectangleTracker::endDrag(QPoint point) {
    if (!dragging())
        return false;
    dragTo(point);
    m_dragHit = Hit::None;
    return m_rect != m_pressRect;
}

void RectangleTracker::cancelDrag() {
    if (!dragging())
        return;
    m_rect = m_pressRect;
    m_dragHit = Hit::None;
}

TrackerEdges RectangleTracker::limited(TrackerEdges r, bool move, LONG limitRight,
                                       LONG limitBottom) {
    limitAxis(r.left, r.right, std::max<LONG>(limitRight, 0), move);
    limitAxis(r.top, r.bottom, std::max<LONG>(limitBottom, 0), move);
    return r;
}

} // namespace quivex
