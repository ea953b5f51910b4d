#include "components/datalib/angles.h"
#include "components/datalib/fractionmapping.h"
#include "components/datalib/measurepainter.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace datalib {

using platform::E_FAIL;
using platform::E_INVALIDARG;
using platform::E_POINTER;
using platform::S_OK;

namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;

double length(QPointF p) {
    return std::hypot(p.x(), p.y());
}

// The angle between two arms (vectors in image pixels), 0 .. 180 degrees; nothing when an
// arm has no length. atan2 of the cross and dot products stays exact near 0 and 180, where
// acos of the normalised dot product loses half its digits.
std::optional<double> angleBetween(QPointF a, QPointF b) {
    if (!(length(a) > 0.0) || !(length(b) > 0.0))
        return std::nullopt;
    const double cross = a.x() * b.y() - a.y() * b.x();
    const double dot = a.x() * b.x() + a.y() * b.y();
    const double degrees = std::atan2(std::fabs(cross), dot) * kDegrees;
    if (!std::isfinite(degrees))
        return std::nullopt;
    return degrees;
}

// From a fraction difference to image pixels.
QPointF inPixels(QPointF fractions, LONG width, LONG height) {
    return QPointF(fractions.x() * width, fractions.y() * height);
}

// On the screen y grows downwards; QPainter counts angles counter-clockwise as seen.
double screenDegrees(QPointF v) {
    return std::atan2(-v.y(), v.x()) * kDegrees;
}

// An angle difference in degrees (within -360 .. 360) brought to -180 (exclusive) .. 180.
double halfTurnDegrees(double degrees) {
    if (degrees > 180.0)
        return degrees - 360.0;
    if (degrees <= -180.0)
        return degrees + 360.0;
    return degrees;
}

} // namespace

HRESULT Angles::SetDatas(TalvorDatas *datas) {
    m_datas = platform::ComPtr<TalvorDatas>::share(datas);
    return S_OK;
}

HRESULT Angles::Add(LONG first, LONG vertex, LONG second, COLORREF color, LONG *index) {
    return m_angles.add({first, vertex, second, color}, index);
}

HRESULT Angles::Remove(LONG index) {
    return m_angles.remove(index);
}

HRESULT Angles::Clear() {
    return m_angles.clear();
}

HRESULT Angles::GetCount(LONG *count) {
    return m_angles.count(count);
}

std::optional<Angles::Points> Angles::read(const Angle &angle, LONG frame) const {
    const auto first = readFraction(m_datas.get(), angle.first, frame);
    const auto vertex = readFraction(m_datas.get(), angle.vertex, frame);
    const auto second = readFraction(m_datas.get(), angle.second, frame);
    if (!first || !vertex || !second)
        return std::nullopt;
    return Points{*first, *vertex, *second};
}

HRESULT Angles::GetAngle(LONG index, LONG frame, LONG width, LONG height, double *degrees) {
    if (!degrees)
        return E_POINTER;
    *degrees = kMissing;
    if (!m_angles.contains(index) || width < 1 || height < 1)
        return E_INVALIDARG;
    const auto points = read(m_angles[index], frame);
    if (!points)
        return E_FAIL;
    const auto value = angleBetween(inPixels(points->first - points->vertex, width, height),
                                    inPixels(points->second - points->vertex, width, height));
    if (!value)
        return E_FAIL;
    *degrees = *value;
    return S_OK;
}

HRESULT Angles::Draw(LONG frame, QPainter *painter, const QRect &target, LONG width, LONG height,
                     float scale, float hOffset, float vOffset) {
    const FractionMapping mapping(width, height, scale, hOffset, vOffset);
    if (const HRESULT checked = checkDrawArguments(painter, mapping); checked != S_OK)
        return checked;
    if (!m_datas || m_angles.empty())
        return S_OK;

    MeasurePainter draw(painter, target);
    for (const Angle &angle : m_angles) {
        const auto points = read(angle, frame);
        if (!points)
            continue;
        const auto first = mapping.toWindow(points->first);
        const auto vertex = mapping.toWindow(points->vertex);
        const auto second = mapping.toWindow(points->second);
        if (!first || !vertex || !second)
            continue;
        draw.setColor(angle.color);
        draw.line(*vertex, *first);
        draw.line(*vertex, *second);

        // Directions from the exact positions: the zoom scales both axes alike, so they are
        // the screen's directions too, free of the rounding to whole pixels.
        const QPointF a = inPixels(points->first - points->vertex, width, height);
        const QPointF b = inPixels(points->second - points->vertex, width, height);
        const auto value = angleBetween(a, b);
        if (!value)
            continue;
        // The label sits inside the angle on its bisector; a straight angle has none, and
        // the label goes to the upper (else the right) side of the arms.
        const QPointF ua = a / length(a), ub = b / length(b);
        QPointF direction = ua + ub;
        const bool straight = length(direction) < 1.0e-9;
        if (straight)
            direction = upperNormal(ua);
        direction /= length(direction);

        const double shorterArm = std::min(length(a), length(b)) * mapping.zoomFactor();
        const double radius = std::min(kArcRadius, shorterArm / 2.0);
        const bool withArc = radius >= 2.0;
        if (withArc) {
            const double start = screenDegrees(a);
            // A straight angle's half turn goes round the label's side, whichever arm is
            // first; any other arc is the shorter way from the first arm to the second.
            const double span =
                straight
                    ? (halfTurnDegrees(screenDegrees(direction) - start) > 0.0 ? 180.0 : -180.0)
                    : halfTurnDegrees(screenDegrees(b) - start);
            draw.arc(*vertex, radius, start, span);
        }
        draw.label(*vertex, direction, (withArc ? radius : 0.0) + 3.0,
                   draw.number(*value, 1) + QChar(0x00B0));
    }
    return S_OK;
}

} // namespace datalib
