// The 3-D calibration: control points with a position in space and one in the image, kept
// in the order of the calibration's own layout, which names and connects them.
#pragma once

#include "components/datalib/comobject.h"
#include "components/datalib/interfaces.h"
#include "components/datalib/pointlayout.h"

#include <vector>

namespace datalib {

class Calibration3D final : public ComObject<TalvorCal3D> {
public:
    Calibration3D();

    HRESULT SetPoint(LONG id, double x, double y, double z, double u, double v) override;
    HRESULT RemovePoint(LONG id) override;
    HRESULT GetPointCount(LONG *count) override;
    HRESULT GetPointPosition(LONG index, double *x, double *y, double *z) override;
    HRESULT GetImagePosition(LONG index, double *u, double *v) override;
    HRESULT AddConnection(LONG first, LONG second, COLORREF color) override;
    HRESULT GetSpecification(TalvorSpec **layout) override;

private:
    struct Point {
        double x, y, z; // any length unit; kMissing when not known
        double u, v;    // fractions of the image width and height; kMissing when not measured
    };
    // Invariant: m_points[i] belongs to the layout's i-th identifier. The layout's points
    // are fixed, so only this object adds or removes them, always together with m_points.
    std::vector<Point> m_points;
    platform::ComPtr<PointLayout> m_layout;
};

} // namespace datalib
