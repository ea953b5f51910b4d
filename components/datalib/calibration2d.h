// The 2-D calibration: two reference points, a distance and an aspect factor give a
// scale from image fractions to real coordinates (formula in docs/datalib.md).
#pragma once

#include "components/datalib/comobject.h"
#include "components/datalib/interfaces.h"
#include "components/datalib/pointlayout.h"

#include <map>

namespace datalib {

class Calibration2D final : public ComObject<TalvorCal2D> {
public:
    Calibration2D();

    HRESULT SetParameter(LONG index, LONG value) override;
    HRESULT GetParameter(LONG index, LONG *value) override;
    HRESULT SetDistance(LONG index, double distance) override;
    HRESULT GetDistance(LONG index, double *distance) override;
    HRESULT SetOrigin(double x, double y) override;
    HRESULT GetOrigin(double *x, double *y) override;
    HRESULT SetWidthRatio(double ratio) override;
    HRESULT GetWidthRatio(double *ratio) override;
    HRESULT SetPointX(LONG index, double x) override;
    HRESULT SetPointY(LONG index, double y) override;
    HRESULT GetPointX(LONG index, double *x) override;
    HRESULT GetPointY(LONG index, double *y) override;
    HRESULT SetUnit(SHORT unit) override;
    HRESULT GetUnit(SHORT *unit) override;
    HRESULT SetAspect(float aspect) override;
    HRESULT GetAspect(float *aspect) override;
    HRESULT GetState(LONG *state) override;
    HRESULT Transform(double fx, double fy, double *cx, double *cy, LONG *status) override;
    HRESULT GetSpecification(TalvorSpec **layout) override;

    // Identifiers of the two reference points in the layout.
    static constexpr LONG kFirstPointId = 1;
    static constexpr LONG kSecondPointId = 2;
    // The line between the points in the layout: blue, as 0x00BBGGRR.
    static constexpr COLORREF kLineColor = 0xFF0000;

private:
    LONG state() const;

    std::map<LONG, LONG> m_parameters;
    double m_distance = 0.0;
    double m_originX = 0.0, m_originY = 0.0;
    double m_widthRatio = 0.0;
    double m_x[2] = {kMissing, kMissing};
    double m_y[2] = {kMissing, kMissing};
    SHORT m_unit = 0;
    float m_aspect = 1.0f;
    platform::ComPtr<PointLayout> m_layout;
};

} // namespace datalib
