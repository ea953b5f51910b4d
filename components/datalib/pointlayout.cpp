#include "components/datalib/pointlayout.h"

#include <algorithm>

namespace datalib {

using platform::E_INVALIDARG;
using platform::E_POINTER;
using platform::S_OK;

bool PointLayout::addPoint(LONG id) {
    if (std::find(m_points.begin(), m_points.end(), id) != m_points.end())
        return false;
    m_points.push_back(id);
    return true;
}

void PointLayout::addConnection(LONG first, LONG second, COLORREF color) {
    m_connections.push_back({first, second, color});
}

void PointLayout::removePoint(LONG id) {
    std::erase(m_points, id);
    std::erase_if(m_connections,
                  [id](const Connection &c) { return c.first == id || c.second == id; });
}

HRESULT PointLayout::AddPoint(LONG id) {
    if (m_pointsFixed)
        return E_ACCESSDENIED;
    return addPoint(id) ? S_OK : platform::S_FALSE;
}

HRESULT PointLayout::AddConnection(LONG first, LONG second, COLORREF color) {
    addConnection(first, second, color);
    return S_OK;
}

HRESULT PointLayout::Clear() {
    if (m_pointsFixed)
        return E_ACCESSDENIED;
    m_points.clear();
    m_connections.clear();
    return S_OK;
}

HRESULT PointLayout::GetPointCount(LONG *count) {
    if (!count)
        return E_POINTER;
    *count = static_cast<LONG>(m_points.size());
    return S_OK;
}

HRESULT PointLayout::GetPointId(LONG index, LONG *id) {
    if (!id)
        return E_POINTER;
    if (index < 0 || index >= static_cast<LONG>(m_points.size())) {
        *id = 0;
        return E_INVALIDARG;
    }
    *id = m_points[static_cast<std::size_t>(index)];
    return S_OK;
}

HRESULT PointLayout::GetPointIndex(LONG id, LONG *index) {
    if (!index)
        return E_POINTER;
    const auto it = std::find(m_points.begin(), m_points.end(), id);
    if (it == m_points.end()) {
        *index = -1;
        return E_INVALIDARG;
    }
    *index = static_cast<LONG>(it - m_points.begin());
    return S_OK;
}

HRESULT PointLayout::GetConnectionCount(LONG *count) {
    if (!count)
        return E_POINTER;
    *count = static_cast<LONG>(m_connections.size());
    return S_OK;
}

HRESULT PointLayout::GetConnection(LONG index, LONG *first, LONG *second, COLORREF *color) {
    if (!first || !second || !color)
        return E_POINTER;
    if (index < 0 || index >= static_cast<LONG>(m_connections.size())) {
        *first = *second = 0;
        *color = 0;
        return E_INVALIDARG;
    }
    const Connection &c = m_connections[static_cast<std::size_t>(index)];
    *first = c.first;
    *second = c.second;
    *color = c.color;
    return S_OK;
}

} // namespace datalib
