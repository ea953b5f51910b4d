// A list of point identifiers and the connections between them, for the control to walk
// when it draws points and lines of a data or calibration object.
#pragma once

#include "components/datalib/comobject.h"
#include "components/datalib/interfaces.h"

#include <vector>

namespace datalib {

class PointLayout final : public ComObject<TalvorSpec> {
public:
    // Identifiers are unique: adding a known one again does nothing (and reports false).
    bool addPoint(LONG id);
    // second is a point identifier, or a negative circle radius around first.
    void addConnection(LONG first, LONG second, COLORREF color);
    // Drops a point and every connection that names it.
    void removePoint(LONG id);
    // For a layout that describes its owner's points (a calibration's): from then on the
    // interface's AddPoint and Clear are refused with E_ACCESSDENIED, so that no holder of
    // the layout can shift the indices the owner shares with it. Connections stay open.
    void fixPoints() { m_pointsFixed = true; }

    HRESULT GetPointCount(LONG *count) override;
    HRESULT GetPointId(LONG index, LONG *id) override;
    HRESULT GetPointIndex(LONG id, LONG *index) override;
    HRESULT GetConnectionCount(LONG *count) override;
    HRESULT GetConnection(LONG index, LONG *first, LONG *second, COLORREF *color) override;
    HRESULT AddPoint(LONG id) override;
    HRESULT AddConnection(LONG first, LONG second, COLORREF color) override;
    HRESULT Clear() override;

private:
    struct Connection {
        LONG first;
        LONG second;
        COLORREF color;
    };
    std::vector<LONG> m_points;
    std::vector<Connection> m_connections;
    bool m_pointsFixed = false;
};

} // namespace datalib
