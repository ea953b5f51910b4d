// Image fractions of marker points: read from a data set, and mapped to window pixels the
// way the video view control maps them, so that measurements land on its point crosses.
#pragma once

#include "components/datalib/interfaces.h"

#include <QPointF>
#include <QRectF>

#include <optional>

namespace datalib {

// The position (components 0 and 1, fractions of the image size) of a point identifier at
// a frame; nothing when the data set has none, the read fails, or a component is missing
// or not finite.
std::optional<QPointF> readFraction(TalvorDatas *datas, LONG id, LONG frame);

// Fractions to window pixels for a W x H image at a scale and scroll offsets:
//   zoom = round(scale * 100)
//   X = trunc(u * zoom * W * 0.01 + trunc(zoom * 0.005) - hOffset + 0.5), likewise Y,
// in that order of operations and in double precision, as the control computes it. Results
// are whole numbers held as doubles, never clamped: far-off points keep their direction,
// and drawing clips segments before they reach the painter.
class FractionMapping {
public:
    FractionMapping(LONG width, LONG height, float scale, float hOffset, float vOffset);

    // False for a size or zoom below 1 or a non-finite scale or offset.
    bool valid() const { return m_valid; }
    // Nothing for a non-finite result.
    std::optional<QPointF> toWindow(QPointF fraction) const;
    // Window pixels per image pixel.
    double zoomFactor() const { return m_zoom * 0.01; }

private:
    bool m_valid = false;
    double m_width = 0, m_height = 0;
    double m_zoom = 0;
    double m_centre = 0;
    double m_hOffset = 0, m_vOffset = 0;
};

// What a measurement checks before it draws: E_POINTER without a painter, E_FAIL for one
// that is not active, E_INVALIDARG for a mapping that cannot place points; else S_OK.
HRESULT checkDrawArguments(QPainter *painter, const FractionMapping &mapping);

// Cuts the segment a-b to the rectangle (Liang and Barsky); false when nothing of it lies
// inside. Works for any finite end points.
bool clipSegment(QPointF &a, QPointF &b, const QRectF &rect);

} // namespace datalib
