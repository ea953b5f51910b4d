#include "app/markers/markerkinematics.h"

#include "app/markers/markercontroller.h"

#include <algorithm>

namespace markers {

std::vector<kinematics::Sample> markerSamples(MarkerController &markers, platform::LONG marker) {
    const common::AppState &s = markers.state;
    const MarkerChannels ch = markers.store.bind(
        marker, {Channel::PosX, Channel::PosY, Channel::Angle, Channel::PointStatus});
    const double w = s.VideoWidth, h = s.VideoHeight;
    const int frames =
        std::min({std::clamp(s.FrameCount, 0, kMaxFrames), ch.length(Channel::PointStatus),
                  ch.length(Channel::PosX), ch.length(Channel::PosY)});
    std::vector<kinematics::Sample> out;
    // Without the picture's size there are no pixel positions.
    if (!(w > 0.0) || !(h > 0.0))
        return out;
    for (int f = 0; f < frames; ++f) {
        const float fx = ch.get(Channel::PosX, f), fy = ch.get(Channel::PosY, f);
        if (ch.get(Channel::PointStatus, f) != 1.0f || datalib::isMissing(fx) ||
            datalib::isMissing(fy))
            continue;
        kinematics::Sample sample;
        sample.frame = f;
        sample.x = fx * w;
        sample.y = fy * h;
        if (f < ch.length(Channel::Angle)) {
            const float angle = ch.get(Channel::Angle, f);
            if (!datalib::isMissing(angle))
                sample.angle = angle;
        }
        out.push_back(sample);
    }
    return out;
}

QString kinematicsUnit(MarkerController &markers) {
    if (!markers.table.calibrated() || !markers.state.Calibration)
        return QStringLiteral("px");
    platform::SHORT code = 0;
    markers.state.Calibration->GetUnit(&code);
    return code == 1   ? QStringLiteral("m")
           : code == 3 ? QStringLiteral("mm")
                       : QStringLiteral("cm");
}

kinematics::Calibration kinematicsCalibration(MarkerController &markers) {
    kinematics::Calibration c;
    const common::AppState &s = markers.state;
    const double w = s.VideoWidth, h = s.VideoHeight;
    if (!markers.table.calibrated() || !s.Calibration || !(w > 0.0) || !(h > 0.0))
        return c;
    c.unit = kinematicsUnit(markers).toStdString();
    // The calibration maps fractions of the picture; the copy keeps the object alive for as
    // long as the transform is used.
    c.transform = [calibration = s.Calibration, w, h](double xPx, double yPx, double &xUnit,
                                                      double &yUnit) {
        platform::LONG status = 0;
        return platform::succeeded(
            calibration->Transform(xPx / w, yPx / h, &xUnit, &yUnit, &status));
    };
    return c;
}

kinematics::MarkerKinematics markerKinematics(MarkerController &markers, platform::LONG marker,
                                              const kinematics::Options &options) {
    const std::vector<kinematics::Sample> samples = markerSamples(markers, marker);
    return kinematics::analyse(samples, markers.state.VideoFrameRate,
                               kinematicsCalibration(markers), options);
}

} // namespace markers
