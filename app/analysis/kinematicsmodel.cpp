#include "app/analysis/kinematicsmodel.h"

#include "app/common/resources.h"
#include "app/markers/markercontroller.h"
#include "app/markers/markerkinematics.h"
#include "app/markers/textexport.h"
#include "platform/colorref.h"

#include <cmath>

namespace analysis {

namespace {

using common::res;
using kinematics::CutoffSource;

// The value of one quantity in one frame; NaN where the library has none.
double valueOf(const kinematics::FrameKinematics &f, Quantity q) {
    switch (q) {
    case Quantity::X:
        return f.x;
    case Quantity::Y:
        return f.y;
    case Quantity::Speed:
        return f.speed;
    case Quantity::Acceleration:
        return f.acceleration;
    }
    return kinematics::kEmpty;
}

// Consecutive frames with a value form a run; an empty value (a gap of three or more frames,
// a segment's end without a derivative) ends it.
std::vector<Run> runsOf(const std::vector<kinematics::FrameKinematics> &frames, Quantity q) {
    std::vector<Run> runs;
    bool open = false;
    for (const kinematics::FrameKinematics &f : frames) {
        const double v = valueOf(f, q);
        if (!std::isfinite(v)) {
            open = false;
            continue;
        }
        if (!open)
            runs.emplace_back();
        runs.back().emplace_back(f.time, v);
        open = true;
    }
    return runs;
}

} // namespace

std::size_t MarkerSeries::pointCount(Quantity q) const {
    std::size_t n = 0;
    for (const Run &run : of(q))
        n += run.size();
    return n;
}

Availability KinematicsModel::availability() const {
    const common::AppState &s = m_markers.state;
    if (s.NoVideo || s.FrameCount <= 0)
        return Availability::NoVideo;
    if (m_markers.host.rowCount() == 0)
        return Availability::NoMarkers;
    if (!(frameRate() > 0.0))
        return Availability::NoFrameRate;
    return Availability::Ready;
}

QString KinematicsModel::availabilityText() const {
    const common::AppState &s = m_markers.state;
    switch (availability()) {
    case Availability::NoVideo:
        return res(s, 1917);
    case Availability::NoMarkers:
        return res(s, 1918);
    case Availability::NoFrameRate:
        return res(s, 1919);
    case Availability::Ready:
        break;
    }
    return {};
}

std::vector<MarkerEntry> KinematicsModel::markers() const {
    markers::MarkersHost &host = m_markers.host;
    std::vector<MarkerEntry> out;
    const int rows = host.rowCount();
    out.reserve(static_cast<std::size_t>(std::max(rows, 0)));
    for (int row = 0; row < rows; ++row) {
        MarkerEntry e;
        e.marker = m_markers.table.markerNumberOfRow(row);
        e.name = host.rowText(row);
        // The colour as the table's bands show it: `MarkerColor` at frame 0.
        const markers::MarkerChannels ch =
            m_markers.store.bind(e.marker, {markers::Channel::MarkerColor});
        const double value = std::nearbyint(ch.get(markers::Channel::MarkerColor, 0));
        e.color = ch.has(markers::Channel::MarkerColor) && value >= 0.0 && value <= 0xFFFFFF
                      ? platform::colorFromRef(static_cast<platform::COLORREF>(value))
                      : QColor(Qt::black);
        out.push_back(e);
    }
    return out;
}

double KinematicsModel::cutoffLimit() const {
    return frameRate() / 2.0;
}

std::vector<MarkerSeries> KinematicsModel::series(const std::vector<platform::LONG> &chosen) const {
    std::vector<MarkerSeries> out;
    if (availability() != Availability::Ready)
        return out;
    kinematics::Options options;
    options.position = m_smoothing;
    // Angles are not plotted: their residual analysis would only cost time.
    options.angle.mode = kinematics::SmoothingMode::Off;
    for (const MarkerEntry &entry : markers()) {
        if (std::find(chosen.begin(), chosen.end(), entry.marker) == chosen.end())
            continue;
        const kinematics::MarkerKinematics k =
            markers::markerKinematics(m_markers, entry.marker, options);
        MarkerSeries s;
        s.entry = entry;
        s.status = k.status;
        s.cutoffX = k.cutoffX;
        s.cutoffY = k.cutoffY;
        for (Quantity q : kQuantities)
            s.runs[static_cast<std::size_t>(q)] = runsOf(k.frames, q);
        s.cutoffText = cutoffText(entry.name, k);
        out.push_back(std::move(s));
    }
    return out;
}

QString KinematicsModel::cutoffValue(const kinematics::CutoffChoice &c) const {
    const common::AppState &s = m_markers.state;
    switch (c.source) {
    case CutoffSource::Automatic:
    case CutoffSource::User: {
        if (!std::isfinite(c.hz))
            return res(s, 1924);
        QString number = QString::number(c.hz, 'f', 1);
        number.replace(u'.', markers::TextExport::separatorOf(s.UiLcid));
        return number + QStringLiteral(" Hz");
    }
    case CutoffSource::Off:
        return res(s, 1923);
    case CutoffSource::NotEnoughData:
        return res(s, 1924);
    }
    return {};
}

QString KinematicsModel::cutoffText(const QString &name,
                                    const kinematics::MarkerKinematics &k) const {
    const common::AppState &s = m_markers.state;
    const QString head = name + QStringLiteral(": ");
    if (k.status == kinematics::Status::InvalidCutoff)
        return head + res(s, 1927);
    if (k.status != kinematics::Status::Ok)
        return head + res(s, 1928);
    const bool anyPoint =
        std::any_of(k.frames.begin(), k.frames.end(),
                    [](const kinematics::FrameKinematics &f) { return f.measured; });
    if (!anyPoint)
        return head + res(s, 1925);
    if (k.cutoffX.source == CutoffSource::Off && k.cutoffY.source == CutoffSource::Off)
        return head + res(s, 1923);
    QString text = head + QStringLiteral("x ") + cutoffValue(k.cutoffX) + QStringLiteral(", y ") +
                   cutoffValue(k.cutoffY);
    // How the cutoffs were chosen, once for both axes (an axis without enough data was not
    // filtered and says so itself).
    const auto any = [&](CutoffSource source) {
        return k.cutoffX.source == source || k.cutoffY.source == source;
    };
    if (any(CutoffSource::Automatic))
        text += QStringLiteral(" (") + res(s, 1921) + u')';
    else if (any(CutoffSource::User))
        text += QStringLiteral(" (") + res(s, 1922) + u')';
    return text;
}

QString KinematicsModel::unit() const {
    return markers::kinematicsUnit(m_markers);
}

QString KinematicsModel::timeTitle() const {
    return res(m_markers.state, 1908);
}

QString KinematicsModel::axisTitle(Quantity q) const {
    static constexpr int kTitles[kQuantityCount] = {1909, 1910, 1911, 1912};
    return res(m_markers.state, kTitles[static_cast<std::size_t>(q)]).arg(unit());
}

double KinematicsModel::frameRate() const {
    const double rate = m_markers.state.VideoFrameRate;
    return std::isfinite(rate) && rate > 0.0 ? rate : 0.0;
}

int KinematicsModel::lastFrame() const {
    const common::AppState &s = m_markers.state;
    return s.NoVideo || s.FrameCount <= 0 ? -1 : s.FrameCount - 1;
}

double KinematicsModel::timeOfFrame(int frame) const {
    const double rate = frameRate();
    return rate > 0.0 ? frame / rate : 0.0;
}

int KinematicsModel::frameOfTime(double seconds) const {
    const double rate = frameRate();
    const int last = lastFrame();
    if (!(rate > 0.0) || last < 0 || !std::isfinite(seconds))
        return 0;
    const double frame = std::round(seconds * rate);
    return static_cast<int>(std::clamp(frame, 0.0, static_cast<double>(last)));
}

} // namespace analysis
