// The pixels of the first items of an overlay collection, painted once for one geometry so
// that a repaint composites them instead of painting every item again.
#pragma once

#include "components/datalib/interfaces.h"

#include <QImage>
#include <QRect>

#include <cstddef>
#include <optional>
#include <vector>

namespace datalib {

class GraphicItem;

// Everything the cached pixels depend on besides the items. The painter's device transform
// is kept as a whole-number scale (the device pixel ratio) and a translation in device
// pixels; the device size bounds the image.
struct PaintGeometry {
    QRect target;
    float scale = 0.0f;
    float hOffset = 0.0f;
    float vOffset = 0.0f;
    int ratio = 1;
    QPoint deviceOffset;
    QSize deviceSize;

    // Floats compare by their bits: the same arguments again, NaN included, hit the cache.
    bool operator==(const PaintGeometry &other) const;
};

class ItemPaintCache {
public:
    // The geometry to cache for, or nothing when a composite of cached pixels could differ
    // from painting the items on this painter: a transform other than a whole-number scale
    // and whole-pixel translation, a device other than a 32-bit raster image, a blend other
    // than plain source-over at full opacity, or a target that is not a proper rectangle.
    static std::optional<PaintGeometry> geometryFor(QPainter *painter, const QRect &target,
                                                    float scale, float hOffset, float vOffset);

    bool holds(const PaintGeometry &geometry) const {
        return m_geometry && *m_geometry == geometry;
    }
    // Starts over, empty, for another geometry.
    void reset(const PaintGeometry &geometry);
    // Items [0, count()) are in the image.
    std::size_t count() const { return m_count; }
    // Forgets the items from `first` on. Painted pixels cannot be taken back, so the next
    // fill repaints the image from the first item.
    void truncate(std::size_t first);
    // Makes the image hold items [0, to) of `items`, which must all be concrete items.
    void fill(const std::vector<GraphicItem *> &items, std::size_t to, LONG frame);
    // Lays the cached pixels over the painter's device, as painting the items would.
    void composite(QPainter *painter) const;

private:
    std::optional<PaintGeometry> m_geometry;
    // Device pixels from the device's origin to the far corner of the target's part of the
    // device, so that items go through the very transform they would on the device.
    QImage m_image;
    // The part of the target (window pixels) the device shows: what the image can hold.
    QRect m_window;
    // Window pixels the cached items may have touched, within m_window.
    QRect m_painted;
    std::size_t m_count = 0;
    bool m_repaint = false;
};

} // namespace datalib
