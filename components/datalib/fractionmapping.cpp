#include "components/datalib/fractionmapping.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace datalib {

std::optional<QPointF> readFraction(TalvorDatas *datas, LONG id, LONG frame) {
    if (!datas)
        return std::nullopt;
    float x = kMissing, y = kMissing, z = kMissing;
    if (platform::failed(datas->ReadFrame(id, frame, &x, &y, &z)))
        return std::nullopt;
    if (!std::isfinite(x) || !std::isfinite(y) || isMissing(x) || isMissing(y))
        return std::nullopt;
    return QPointF(x, y);
}

FractionMapping::FractionMapping(LONG width, LONG height, float scale, float hOffset,
                                 float vOffset) {
    const double zoom = std::round(static_cast<double>(scale) * 100.0);
    if (width < 1 || height < 1 || !std::isfinite(zoom) || zoom < 1.0 || !std::isfinite(hOffset) ||
        !std::isfinite(vOffset))
        return;
    m_valid = true;
    m_width = width;
    m_height = height;
    m_zoom = zoom;
    m_centre = std::trunc(zoom * 0.005);
    m_hOffset = hOffset;
    m_vOffset = vOffset;
}

std::optional<QPointF> FractionMapping::toWindow(QPointF fraction) const {
    if (!m_valid)
        return std::nullopt;
    const double x =
        std::trunc(fraction.x() * m_zoom * m_width * 0.01 + m_centre - m_hOffset + 0.5);
    const double y =
        std::trunc(fraction.y() * m_zoom * m_height * 0.01 + m_centre - m_vOffset + 0.5);
    if (!std::isfinite(x) || !std::isfinite(y))
        return std::nullopt;
    return QPointF(x, y);
}

HRESULT checkDrawArguments(QPainter *painter, const FractionMapping &mapping) {
    if (!painter)
        return platform::E_POINTER;
    if (!painter->isActive())
        return platform::E_FAIL;
    return mapping.valid() ? platform::S_OK : platform::E_INVALIDARG;
}

bool clipSegment(QPointF &a, QPointF &b, const QRectF &rect) {
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    double t0 = 0.0, t1 = 1.0;
    // Each edge: p * t <= q keeps the point inside.
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x() - rect.left(), rect.right() - a.x(), a.y() - rect.top(),
                         rect.bottom() - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return false; // parallel to the edge and outside it
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    const QPointF start = a;
    if (t1 < 1.0)
        b = QPointF(start.x() + t1 * dx, start.y() + t1 * dy);
    if (t0 > 0.0)
        a = QPointF(start.x() + t0 * dx, start.y() + t0 * dy);
    return true;
}

} // namespace datalib
