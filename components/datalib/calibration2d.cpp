#include "components/datalib/calibration2d.h"

#include <cmath>

namespace datalib {

using platform::E_FAIL;
using platform::E_INVALIDARG;
using platform::E_POINTER;
using platform::S_OK;

namespace {
bool validPoint(double x, double y) {
    return std::isfinite(x) && std::isfinite(y) && !isMissing(x) && !isMissing(y);
}
} // namespace

Calibration2D::Calibration2D() : m_layout(platform::ComPtr<PointLayout>::attach(new PointLayout)) {
    m_layout->addPoint(kFirstPointId);
    m_layout->addPoint(kSecondPointId);
    m_layout->addConnection(kFirstPointId, kSecondPointId, kLineColor);
    m_layout->fixPoints();
}

HRESULT Calibration2D::SetParameter(LONG index, LONG value) {
    m_parameters[index] = value;
    if (index == 1)
        m_unit = static_cast<SHORT>(value);
    return S_OK;
}

HRESULT Calibration2D::GetParameter(LONG index, LONG *value) {
    if (!value)
        return E_POINTER;
    if (index == 1) {
        *value = m_unit;
        return S_OK;
    }
    const auto it = m_parameters.find(index);
    *value = it == m_parameters.end() ? 0 : it->second;
    return S_OK;
}

HRESULT Calibration2D::SetDistance(LONG index, double distance) {
    if (index != 0)
        return E_INVALIDARG;
    m_distance = distance;
    return S_OK;
}

HRESULT Calibration2D::GetDistance(LONG index, double *distance) {
    if (!distance)
        return E_POINTER;
    if (index != 0) {
        *distance = 0.0;
        return E_INVALIDARG;
    }
    *distance = m_distance;
    return S_OK;
}

HRESULT Calibration2D::SetOrigin(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y))
        return E_INVALIDARG;
    m_originX = x;
    m_originY = y;
    return S_OK;
}

HRESULT Calibration2D::GetOrigin(double *x, double *y) {
    if (!x || !y)
        return E_POINTER;
    *x = m_originX;
    *y = m_originY;
    return S_OK;
}

HRESULT Calibration2D::SetWidthRatio(double ratio) {
    m_widthRatio = ratio;
    return S_OK;
}

HRESULT Calibration2D::GetWidthRatio(double *ratio) {
    if (!ratio)
        return E_POINTER;
    *ratio = m_widthRatio;
    return S_OK;
}

HRESULT Calibration2D::SetPointX(LONG index, double x) {
    if (index < 0 || index > 1)
        return E_INVALIDARG;
    m_x[index] = x;
    return S_OK;
}

HRESULT Calibration2D::SetPointY(LONG index, double y) {
    if (index < 0 || index > 1)
        return E_INVALIDARG;
    m_y[index] = y;
    return S_OK;
}

HRESULT Calibration2D::GetPointX(LONG index, double *x) {
    if (!x)
        return E_POINTER;
    if (index < 0 || index > 1) {
        *x = kMissing;
        return E_INVALIDARG;
    }
    *x = m_x[index];
    return S_OK;
}

HRESULT Calibration2D::GetPointY(LONG index, double *y) {
    if (!y)
        return E_POINTER;
    if (index < 0 || index > 1) {
        *y = kMissing;
        return E_INVALIDARG;
    }
    *y = m_y[index];
    return S_OK;
}

HRESULT Calibration2D::SetUnit(SHORT unit) {
    m_unit = unit;
    m_parameters[1] = unit;
    return S_OK;
}

HRESULT Calibration2D::GetUnit(SHORT *unit) {
    if (!unit)
        return E_POINTER;
    *unit = m_unit;
    return S_OK;
}

HRESULT Calibration2D::SetAspect(float aspect) {
    m_aspect = aspect;
    return S_OK;
}

HRESULT Calibration2D::GetAspect(float *aspect) {
    if (!aspect)
        return E_POINTER;
    *aspect = m_aspect;
    return S_OK;
}

LONG Calibration2D::state() const {
    if (!validPoint(m_x[0], m_y[0]) || !validPoint(m_x[1], m_y[1]))
        return Cal2DPointMissing;
    if (!std::isfinite(m_distance) || m_distance == 0.0)
        return Cal2DNoDistance;
    if (!std::isfinite(m_aspect) || !(m_aspect > 0.0f))
        return Cal2DBadAspect;
    const double dx = m_x[1] - m_x[0];
    const double dy = (m_y[1] - m_y[0]) / m_aspect;
    const double span = std::hypot(dx, dy);
    if (!(span > 0.0) || !std::isfinite(std::fabs(m_distance) / span))
        return Cal2DSamePoints;
    return Cal2DValid;
}

HRESULT Calibration2D::GetState(LONG *state) {
    if (!state)
        return E_POINTER;
    *state = this->state();
    return S_OK;
}

HRESULT Calibration2D::Transform(double fx, double fy, double *cx, double *cy, LONG *status) {
    if (!cx || !cy)
        return E_POINTER;
    *cx = kMissing;
    *cy = kMissing;
    const LONG s = state();
    if (status)
        *status = s;
    if (s != Cal2DValid)
        return E_FAIL;
    if (!validPoint(fx, fy))
        return E_INVALIDARG;
    // Work in units of the picture's real width: a height fraction covers 1 / aspect of it.
    const double aspect = m_aspect;
    const double span = std::hypot(m_x[1] - m_x[0], (m_y[1] - m_y[0]) / aspect);
    const double k = std::fabs(m_distance) / span;
    *cx = m_originX + k * (fx - m_x[0]);
    *cy = m_originY - k * (fy - m_y[0]) / aspect; // image y grows downwards
    return S_OK;
}

HRESULT Calibration2D::GetSpecification(TalvorSpec **layout) {
    return giveOut(m_layout, layout);
}

} // namespace datalib
