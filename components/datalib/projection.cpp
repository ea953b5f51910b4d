#include "components/datalib/projection.h"

#include <opencv2/core.hpp>

#include <cmath>

namespace datalib {

using platform::E_FAIL;
using platform::E_INVALIDARG;
using platform::E_POINTER;
using platform::S_OK;

namespace {

bool present(double value) {
    return std::isfinite(value) && !isMissing(value);
}

} // namespace

void Projection::forget() {
    m_calibrated = false;
    m_l.fill(0.0);
    m_centroidDenominator = 1.0;
    m_fitted.clear();
}

HRESULT Projection::SetCalibration(TalvorCal3D *calibration) {
    forget();
    if (!calibration)
        return E_POINTER;
    LONG count = 0;
    if (platform::failed(calibration->GetPointCount(&count)))
        return E_FAIL;
    std::vector<Correspondence> points;
    for (LONG i = 0; i < count; ++i) {
        Correspondence c{};
        if (platform::failed(calibration->GetPointPosition(i, &c.x, &c.y, &c.z)) ||
            platform::failed(calibration->GetImagePosition(i, &c.u, &c.v)))
            continue;
        if (present(c.x) && present(c.y) && present(c.z) && present(c.u) && present(c.v))
            points.push_back(c);
    }
    if (points.size() < kMinimumPoints || !fit(points)) {
        forget();
        return E_FAIL;
    }
    return S_OK;
}

// Hartley's normalisation, then the homogeneous DLT system A p = 0 for the 3 x 4 camera
// matrix P' of the normalised data, solved by the singular value decomposition: p is the
// right singular vector of the smallest singular value, i.e. the unit vector minimising
// |A p|. Undoing the normalisation and dividing by P34 gives L1..L11.
bool Projection::fit(const std::vector<Correspondence> &points) {
    const double n = static_cast<double>(points.size());
    double cx = 0, cy = 0, cz = 0, cu = 0, cv = 0;
    for (const Correspondence &p : points) {
        cx += p.x;
        cy += p.y;
        cz += p.z;
        cu += p.u;
        cv += p.v;
    }
    cx /= n;
    cy /= n;
    cz /= n;
    cu /= n;
    cv /= n;
    double spread3 = 0, spread2 = 0;
    for (const Correspondence &p : points) {
        spread3 +=
            std::sqrt((p.x - cx) * (p.x - cx) + (p.y - cy) * (p.y - cy) + (p.z - cz) * (p.z - cz));
        spread2 += std::hypot(p.u - cu, p.v - cv);
    }
    spread3 /= n;
    spread2 /= n;
    // All points (or all image positions) in one place: nothing to scale, no camera.
    if (!(spread3 > 0.0) || !(spread2 > 0.0) || !std::isfinite(spread3) || !std::isfinite(spread2))
        return false;
    // Centroid to the origin, mean distance from it sqrt(3) in space and sqrt(2) in the image.
    const double s3 = std::sqrt(3.0) / spread3;
    const double s2 = std::sqrt(2.0) / spread2;

    cv::Mat a(static_cast<int>(2 * points.size()), 12, CV_64F, cv::Scalar(0.0));
    for (std::size_t i = 0; i < points.size(); ++i) {
        const Correspondence &p = points[i];
        const double X[4] = {s3 * (p.x - cx), s3 * (p.y - cy), s3 * (p.z - cz), 1.0};
        const double u = s2 * (p.u - cu), v = s2 * (p.v - cv);
        double *ru = a.ptr<double>(static_cast<int>(2 * i));
        double *rv = a.ptr<double>(static_cast<int>(2 * i + 1));
        for (int k = 0; k < 4; ++k) {
            ru[k] = X[k];
            ru[8 + k] = -u * X[k];
            rv[4 + k] = X[k];
            rv[8 + k] = -v * X[k];
        }
    }
    cv::SVD svd(a, cv::SVD::MODIFY_A);
    const double largest = svd.w.at<double>(0);
    if (!(largest > 0.0) || !(svd.w.at<double>(10) > kRankTolerance * largest))
        return false;

    double pn[3][4]; // the normalised camera
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            pn[r][c] = svd.vt.at<double>(11, 4 * r + c);
    // P = T2^-1 P' T3, with T3 = [s3 I, -s3 c3; 0 1] and T2^-1 = [I / s2, c2; 0 1].
    double m[3][4];
    for (int r = 0; r < 3; ++r) {
        m[r][0] = s3 * pn[r][0];
        m[r][1] = s3 * pn[r][1];
        m[r][2] = s3 * pn[r][2];
        m[r][3] = pn[r][3] - s3 * (pn[r][0] * cx + pn[r][1] * cy + pn[r][2] * cz);
    }
    double p[3][4];
    for (int c = 0; c < 4; ++c) {
        p[0][c] = m[0][c] / s2 + cu * m[2][c];
        p[1][c] = m[1][c] / s2 + cv * m[2][c];
        p[2][c] = m[2][c];
    }
    // The normalised centroid is the origin, so its depth (up to scale) is P'34.
    const double centroidDepth = pn[2][3];
    const double originDepth = p[2][3];
    if (!(std::fabs(originDepth) > kOriginTolerance * std::fabs(centroidDepth)))
        return false;
    for (int k = 0; k < 4; ++k) {
        m_l[static_cast<std::size_t>(k)] = p[0][k] / originDepth;
        m_l[static_cast<std::size_t>(4 + k)] = p[1][k] / originDepth;
    }
    for (int k = 0; k < 3; ++k)
        m_l[static_cast<std::size_t>(8 + k)] = p[2][k] / originDepth;
    for (double l : m_l)
        if (!std::isfinite(l))
            return false;

    m_centroidDenominator = denominator(cx, cy, cz);
    if (!std::isfinite(m_centroidDenominator) || m_centroidDenominator == 0.0)
        return false;
    // A camera sees every point in front of it; a fit that puts some behind is no camera.
    for (const Correspondence &c : points)
        if (!(denominator(c.x, c.y, c.z) / m_centroidDenominator > kFocalPlaneTolerance))
            return false;
    m_fitted = points;
    m_calibrated = true;
    return true;
}

double Projection::denominator(double x, double y, double z) const {
    return m_l[8] * x + m_l[9] * y + m_l[10] * z + 1.0;
}

HRESULT Projection::Project(double x, double y, double z, double *u, double *v) {
    if (!u || !v)
        return E_POINTER;
    *u = *v = kMissing;
    if (!m_calibrated || !present(x) || !present(y) || !present(z))
        return E_FAIL;
    const double d = denominator(x, y, z);
    // In the focal plane the image position is at infinity; behind the camera it would be
    // a mirror image of a point the camera cannot see.
    if (!(d / m_centroidDenominator > kFocalPlaneTolerance))
        return E_FAIL;
    const double pu = (m_l[0] * x + m_l[1] * y + m_l[2] * z + m_l[3]) / d;
    const double pv = (m_l[4] * x + m_l[5] * y + m_l[6] * z + m_l[7]) / d;
    if (!std::isfinite(pu) || !std::isfinite(pv))
        return E_FAIL;
    *u = pu;
    *v = pv;
    return S_OK;
}

HRESULT Projection::GetParameters(double parameters[11]) {
    if (!parameters)
        return E_POINTER;
    for (std::size_t k = 0; k < 11; ++k)
        parameters[k] = m_calibrated ? m_l[k] : static_cast<double>(kMissing);
    return m_calibrated ? S_OK : E_FAIL;
}

HRESULT Projection::GetResidual(double width, double height, double *rms) {
    if (!rms)
        return E_POINTER;
    *rms = kMissing;
    if (!std::isfinite(width) || !std::isfinite(height) || !(width > 0.0) || !(height > 0.0))
        return E_INVALIDARG;
    if (!m_calibrated)
        return E_FAIL;
    double sum = 0.0;
    for (const Correspondence &c : m_fitted) {
        double u = 0, v = 0;
        if (platform::failed(Project(c.x, c.y, c.z, &u, &v)))
            return E_FAIL; // not reached: fit() saw every point in front
        const double du = (u - c.u) * width, dv = (v - c.v) * height;
        sum += du * du + dv * dv;
    }
    *rms = std::sqrt(sum / static_cast<double>(m_fitted.size()));
    return S_OK;
}

} // namespace datalib
