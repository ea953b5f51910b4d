#include "components/datalib/calibration3d.h"

#include <cmath>

namespace datalib {

using platform::E_INVALIDARG;
using platform::E_POINTER;
using platform::S_OK;

namespace {

// Any value at or below the marker is stored as the marker itself, so that readers get
// the one value they compare against.
double stored(double value) {
    return isMissing(value) ? static_cast<double>(kMissing) : value;
}

} // namespace

Calibration3D::Calibration3D() : m_layout(platform::ComPtr<PointLayout>::attach(new PointLayout)) {
    m_layout->fixPoints();
}

HRESULT Calibration3D::SetPoint(LONG id, double x, double y, double z, double u, double v) {
    // NaN and infinities are not positions, and not the missing marker either.
    for (double value : {x, y, z, u, v})
        if (!std::isfinite(value))
            return E_INVALIDARG;
    const Point point{stored(x), stored(y), stored(z), stored(u), stored(v)};
    LONG index = -1;
    if (platform::succeeded(m_layout->GetPointIndex(id, &index))) {
        m_points[static_cast<std::size_t>(index)] = point;
        return S_OK;
    }
    m_layout->addPoint(id);
    m_points.push_back(point);
    return S_OK;
}

HRESULT Calibration3D::RemovePoint(LONG id) {
    LONG index = -1;
    if (platform::failed(m_layout->GetPointIndex(id, &index)))
        return platform::S_FALSE;
    m_points.erase(m_points.begin() + index);
    m_layout->removePoint(id);
    return S_OK;
}

HRESULT Calibration3D::GetPointCount(LONG *count) {
    if (!count)
        return E_POINTER;
    *count = static_cast<LONG>(m_points.size());
    return S_OK;
}

HRESULT Calibration3D::GetPointPosition(LONG index, double *x, double *y, double *z) {
    if (!x || !y || !z)
        return E_POINTER;
    if (index < 0 || index >= static_cast<LONG>(m_points.size())) {
        *x = *y = *z = kMissing;
        return E_INVALIDARG;
    }
    const Point &p = m_points[static_cast<std::size_t>(index)];
    *x = p.x;
    *y = p.y;
    *z = p.z;
    return S_OK;
}

HRESULT Calibration3D::GetImagePosition(LONG index, double *u, double *v) {
    if (!u || !v)
        return E_POINTER;
    if (index < 0 || index >= static_cast<LONG>(m_points.size())) {
        *u = *v = kMissing;
        return E_INVALIDARG;
    }
    const Point &p = m_points[static_cast<std::size_t>(index)];
    *u = p.u;
    *v = p.v;
    return S_OK;
}

HRESULT Calibration3D::AddConnection(LONG first, LONG second, COLORREF color) {
    m_layout->addConnection(first, second, color);
    return S_OK;
}

HRESULT Calibration3D::GetSpecification(TalvorSpec **layout) {
    return giveOut(m_layout, layout);
}

} // namespace datalib
