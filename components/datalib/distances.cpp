#include "components/datalib/distances.h"
#include "components/datalib/fractionmapping.h"
#include "components/datalib/measurepainter.h"

#include <QPainter>

#include <cmath>

namespace datalib {

using platform::E_FAIL;
using platform::E_INVALIDARG;
using platform::E_POINTER;
using platform::S_OK;

namespace {

// The calibration's unit codes (as TalvorCal2D::SetUnit); others show no unit.
QString unitName(SHORT unit) {
    switch (unit) {
    case 1:
        return QStringLiteral(" m");
    case 2:
        return QStringLiteral(" cm");
    case 3:
        return QStringLiteral(" mm");
    default:
        return {};
    }
}

} // namespace

HRESULT Distances::SetDatas(TalvorDatas *datas) {
    m_datas = platform::ComPtr<TalvorDatas>::share(datas);
    return S_OK;
}

HRESULT Distances::SetCalibration(TalvorCal2D *calibration) {
    m_calibration = platform::ComPtr<TalvorCal2D>::share(calibration);
    return S_OK;
}

HRESULT Distances::Add(LONG first, LONG second, COLORREF color, LONG *index) {
    return m_distances.add({first, second, color}, index);
}

HRESULT Distances::Remove(LONG index) {
    return m_distances.remove(index);
}

HRESULT Distances::Clear() {
    return m_distances.clear();
}

HRESULT Distances::GetCount(LONG *count) {
    return m_distances.count(count);
}

std::optional<Distances::Measured> Distances::measure(QPointF first, QPointF second, LONG width,
                                                      LONG height) const {
    LONG state = -1;
    if (m_calibration && platform::succeeded(m_calibration->GetState(&state)) &&
        state == Cal2DValid) {
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        LONG status = 0;
        if (platform::failed(m_calibration->Transform(first.x(), first.y(), &x1, &y1, &status)) ||
            platform::failed(m_calibration->Transform(second.x(), second.y(), &x2, &y2, &status)))
            return std::nullopt;
        const double length = std::hypot(x2 - x1, y2 - y1);
        if (!std::isfinite(length))
            return std::nullopt;
        SHORT unit = 0;
        if (platform::failed(m_calibration->GetUnit(&unit)))
            unit = 0;
        return Measured{length, true, unit};
    }
    const double length =
        std::hypot((second.x() - first.x()) * width, (second.y() - first.y()) * height);
    if (!std::isfinite(length))
        return std::nullopt;
    return Measured{length, false, 0};
}

HRESULT Distances::GetLength(LONG index, LONG frame, LONG width, LONG height, double *length) {
    if (!length)
        return E_POINTER;
    *length = kMissing;
    if (!m_distances.contains(index) || width < 1 || height < 1)
        return E_INVALIDARG;
    const Distance &d = m_distances[index];
    const auto first = readFraction(m_datas.get(), d.first, frame);
    const auto second = readFraction(m_datas.get(), d.second, frame);
    if (!first || !second)
        return E_FAIL;
    const auto measured = measure(*first, *second, width, height);
    if (!measured)
        return E_FAIL;
    *length = measured->length;
    return S_OK;
}

HRESULT Distances::Draw(LONG frame, QPainter *painter, const QRect &target, LONG width, LONG height,
                        float scale, float hOffset, float vOffset) {
    const FractionMapping mapping(width, height, scale, hOffset, vOffset);
    if (const HRESULT checked = checkDrawArguments(painter, mapping); checked != S_OK)
        return checked;
    if (!m_datas || m_distances.empty())
        return S_OK;

    MeasurePainter draw(painter, target);
    for (const Distance &d : m_distances) {
        const auto first = readFraction(m_datas.get(), d.first, frame);
        const auto second = readFraction(m_datas.get(), d.second, frame);
        if (!first || !second)
            continue;
        const auto a = mapping.toWindow(*first);
        const auto b = mapping.toWindow(*second);
        if (!a || !b)
            continue;
        draw.setColor(d.color);
        draw.line(*a, *b);

        // The direction from the exact positions (the zoom scales both axes alike); the
        // ticks and the label go across it, the label above (else right of) the line.
        const QPointF along((second->x() - first->x()) * width,
                            (second->y() - first->y()) * height);
        const double span = std::hypot(along.x(), along.y());
        QPointF across(0.0, -1.0);
        if (span > 0.0 && std::isfinite(span)) {
            across = upperNormal(along / span);
            draw.line(*a - across * kTick, *a + across * kTick);
            draw.line(*b - across * kTick, *b + across * kTick);
        }
        const auto measured = measure(*first, *second, width, height);
        if (!measured)
            continue;
        const QString text = measured->calibrated
                                 ? draw.number(measured->length, 2) + unitName(measured->unit)
                                 : draw.number(measured->length, 1) + QStringLiteral(" px");
        draw.label((*a + *b) / 2.0, across, 3.0, text);
    }
    return S_OK;
}

} // namespace datalib
