// The view's tracker rectangle: a rectangle the user moves and resizes with the mouse, kept
// in zoomed image pixels and reported to hosts in image pixels. Geometry, hit testing and
// the drag only; CVViewCtrl feeds it the mouse and paints it.
#pragma once

#include "platform/wintypes.h"

#include <QPoint>
#include <QRect>
#include <Qt>

#include <array>

namespace quivex {

using platform::LONG;

// Edges of a rectangle in the view's pixels; right and bottom lie just outside it, as in a
// Windows RECT, so width = right - left. A tracker's rectangle is always normalized
// (left <= right, top <= bottom) and every edge lies within +-kFarCoordinate.
struct TrackerEdges {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
    long long width() const { return static_cast<long long>(right) - left; }
    long long height() const { return static_cast<long long>(bottom) - top; }
    bool operator==(const TrackerEdges &) const = default;
};

class RectangleTracker {
public:
    // Style bits, as hosts pass them to ActivateRectangle.
    enum StyleBits : LONG {
        SolidLine = 1,
        DottedLine = 2,
        HatchedBorder = 4, // a hatched band of kHandleSize around the outside
        ResizeInside = 8,
        ResizeOutside = 16, // wins when both resize bits are set
        HatchInside = 32,
    };
    static constexpr LONG kDefaultStyle = DottedLine | ResizeOutside;
    // Side of a resize handle and width of the hatched border, in screen pixels.
    static constexpr int kHandleSize = 8;

    enum class Hit {
        None,
        TopLeft,
        TopRight,
        BottomRight,
        BottomLeft,
        Top,
        Right,
        Bottom,
        Left,
        Middle
    };
    // Corners first: a hit test takes a corner before an edge handle.
    static constexpr std::array<Hit, 8> kHandles = {
        Hit::TopLeft, Hit::TopRight, Hit::BottomRight, Hit::BottomLeft,
        Hit::Top,     Hit::Right,    Hit::Bottom,      Hit::Left};

    // Switches tracking on: the rectangle (image pixels) goes to zoomed image pixels as
    // trunc(v * zoom * 0.01 + 0.5), normalized; the image size bounds every later change.
    // A zoom that is not positive (only a loaded state can hold one) is refused with false
    // and nothing changes.
    bool activate(LONG style, float left, float top, float right, float bottom, LONG zoom,
                  LONG imageWidth, LONG imageHeight);
    // Switches tracking off; style, rectangle and scale stay for the next activation.
    void deactivate();
    bool active() const { return m_active; }

    // A new zoom: the rectangle keeps its image position (back to image pixels with the old
    // scale, forward with the new one as at activation). A drag under way is cancelled
    // first: its press point no longer means the same image position.
    void rescale(LONG zoom);

    LONG style() const { return m_style; }
    const TrackerEdges &rect() const { return m_rect; }
    float scale() const { return m_scale; }
    // The rectangle in image pixels: each edge divided by the scale.
    std::array<float, 4> imageRect() const;
    // The limits of every change: (0, 0) - (trunc(scale * W + 0.5), trunc(scale * H + 0.5)).
    LONG limitRight() const;
    LONG limitBottom() const;

    bool hasHandles() const { return (m_style & (ResizeInside | ResizeOutside)) != 0; }
    // Where one of the eight handles lies (screen pixels); empty for Middle and None.
    QRect handleRect(Hit handle) const;
    // The hatched band around the rectangle as four rectangles (top, bottom, left, right).
    std::array<QRect, 4> borderBands() const;
    // Handles first (corners before edges, only with a resize style), then the middle: the
    // rectangle and, with a hatched border, its band.
    Hit hitTest(QPoint point) const;
    static Qt::CursorShape cursorFor(Hit hit);

    // The interactive move or resize. A press that hits nothing starts no drag (false).
    // Each pointer position moves the grabbed edges by the distance from the press point
    // (all four for the middle), normalizes a resize that went past the opposite edge and
    // applies the limits, so what is shown during the drag is what the release keeps.
    bool beginDrag(QPoint press);
    void dragTo(QPoint point);
    // Ends the drag at `point`; true when the rectangle differs from the one at the press.
    bool endDrag(QPoint point);
    // Ends the drag with the rectangle as it was at the press.
    void cancelDrag();
    bool dragging() const { return m_dragHit != Hit::None; }
    Hit dragHit() const { return m_dragHit; }

    // The limit rule after a change. A move (the middle was grabbed) keeps its size: an edge
    // past a limit is set onto it and the opposite edge follows (a rectangle larger than
    // the limits cannot stay whole and is clamped instead). A resize clamps each edge by
    // itself, so only the moved edge is clipped, even when it went past the opposite edge
    // and the size happens to come out the same.
    static TrackerEdges limited(TrackerEdges r, bool move, LONG limitRight, LONG limitBottom);

private:
    bool m_active = false;
    LONG m_style = kDefaultStyle;
    TrackerEdges m_rect{0, 0, 200, 200}; // zoomed image pixels
    float m_scale = 1.0f;                // zoom / 100 at activation or the last zoom put
    LONG m_imageWidth = 1;               // image size at activation
    LONG m_imageHeight = 1;

    Hit m_dragHit = Hit::None;
    QPoint m_press;
    TrackerEdges m_pressRect;
};

} // namespace quivex
