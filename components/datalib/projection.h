// The projection helper: a direct linear transformation (DLT) camera, fitted to the points
// of a 3-D calibration by linear least squares, that projects points in space to image
// fractions. Model, normalisation and tolerances in docs/datalib.md.
#pragma once

#include "components/datalib/comobject.h"
#include "components/datalib/interfaces.h"

#include <array>
#include <cstddef>
#include <vector>

namespace datalib {

class Projection final : public ComObject<TalvorProjection> {
public:
    HRESULT SetCalibration(TalvorCal3D *calibration) override;
    HRESULT Project(double x, double y, double z, double *u, double *v) override;
    HRESULT GetParameters(double parameters[11]) override;
    HRESULT GetResidual(double width, double height, double *rms) override;

    // Eleven unknowns need eleven equations; each point gives two.
    static constexpr std::size_t kMinimumPoints = 6;
    // The points determine a camera only when the normalised system's second smallest
    // singular value exceeds this fraction of its largest (rank 11 of 12). Coplanar or
    // collinear points leave three or more directions unconstrained and fall far below.
    static constexpr double kRankTolerance = 1.0e-6;
    // A point's depth along the optical axis, as a fraction of the calibration points' mean
    // depth, at or below which it counts as in the focal plane (or behind the camera) and
    // does not project.
    static constexpr double kFocalPlaneTolerance = 1.0e-9;
    // The 11-parameter form divides by the depth of the world origin; an origin closer to
    // the focal plane than this fraction of the mean depth has no such form.
    static constexpr double kOriginTolerance = 1.0e-12;

private:
    struct Correspondence {
        double x, y, z; // in space
        double u, v;    // image fractions
    };
    bool fit(const std::vector<Correspondence> &points);
    // L9 x + L10 y + L11 z + 1: the depth relative to the world origin's.
    double denominator(double x, double y, double z) const;
    void forget();

    bool m_calibrated = false;
    std::array<double, 11> m_l{};
    // The denominator at the calibration points' centroid: positive depth means its sign.
    double m_centroidDenominator = 1.0;
    // The points the model was fitted to, for the residual.
    std::vector<Correspondence> m_fitted;
};

} // namespace datalib
