#include "app/markers/markerproject.h"

#include "app/common/settings.h"
#include "app/markers/enginecalls.h"
#include "app/markers/markercontroller.h"
#include "control/cvviewctrl.h"

#include <map>

namespace markers {

using platform::ComPtr;
using platform::LONG;

namespace {
constexpr auto &kComponents = project::kDataSetComponents;
static_assert(kComponents.size() == kDataSetCount);
} // namespace

void MarkerProject::capture(project::ProjectData &d) const {
    MarkersHost &host = m_markers.host;
    const common::AppState &s = m_markers.state;
    d.rows.clear();
    for (int row = 0; row < host.rowCount(); ++row) {
        project::TableRow r;
        r.number = m_markers.table.markerNumberOfRow(row);
        r.name = host.rowText(row);
        r.x = host.cellText(row, Column::X);
        r.y = host.cellText(row, Column::Y);
        r.rotation = host.cellText(row, Column::Rotation);
        const MarkerChannels ch =
            m_markers.store.bind(r.number, {Channel::AutoTrack, Channel::TrackMode});
        r.manual = ch.get(Channel::AutoTrack, 0) == 0.0f;
        r.icon = r.manual ? static_cast<int>(MarkerIcon::Manual)
                 : ch.get(Channel::TrackMode, 0) == float(common::kTrackingMarkerTracking)
                     ? static_cast<int>(MarkerIcon::MarkerTracking)
                     : static_cast<int>(MarkerIcon::PatternMatching);
        d.rows.push_back(r);
    }
    d.selectedRow = host.selectedRow();
    d.markerCounter = m_markers.marks.markerCounter;
    d.colorCounter = m_markers.marks.colorCounter;
    d.showAllPaths = s.settings.ShowAutoPath;

    // Every marker of every set, in the order the set holds them; the newest group of a
    // number is the one that counts.
    d.channels.clear();
    for (int set = 0; set < kDataSetCount; ++set) {
        const auto &datas = m_markers.objects.dataSets[static_cast<std::size_t>(set)];
        if (!datas)
            continue;
        LONG count = 0;
        datas->GetMarkerCount(&count);
        for (LONG i = 0; i < count; ++i) {
            LONG marker = 0;
            if (platform::failed(datas->GetMarker(i, &marker)))
                continue;
            for (int component = 0; component < kComponents[set]; ++component) {
                datalib::TalvorChannel *raw = nullptr;
                if (platform::failed(datas->GetChannel(component, marker, &raw)) || !raw)
                    continue;
                const auto channel = ComPtr<datalib::TalvorChannel>::attach(raw);
                project::Channel c;
                c.set = set;
                c.marker = marker;
                c.component = component;
                LONG first = 0, length = 0;
                channel->GetFirstFrame(&first);
                channel->GetLength(&length);
                c.firstFrame = static_cast<int>(first);
                const int n = static_cast<int>(std::clamp<LONG>(length, 0, kMaxFrames - first));
                c.values.resize(static_cast<std::size_t>(std::max(n, 0)));
                for (int f = 0; f < n; ++f)
                    channel->GetValue(static_cast<platform::SHORT>(first + f),
                                      &c.values[std::size_t(f)]);
                d.channels.push_back(std::move(c));
            }
        }
    }

    project::CalibrationPart &c = d.calibration;
    if (const auto &cal = s.Calibration) {
        cal->GetPointX(0, &c.x0);
        cal->GetPointY(0, &c.y0);
        cal->GetPointX(1, &c.x1);
        cal->GetPointY(1, &c.y1);
        LONG parameter = 0;
        cal->GetParameter(1, &parameter);
        c.parameter1 = static_cast<int>(parameter);
        platform::SHORT unit = 0;
        cal->GetUnit(&unit);
        c.unit = unit;
        cal->GetDistance(0, &c.distance);
        cal->GetAspect(&c.aspect);
        cal->GetOrigin(&c.originX, &c.originY);
        cal->GetWidthRatio(&c.widthRatio);
    }
    c.inForce = m_markers.table.calibrated();
    c.videoCalibrated = s.VideoCalibrated;
    c.dialogDistance = s.CalibDistance;
    c.dialogUnit = s.CalibUnit;
    c.dialogAspect = s.AspectFactor;
}

void MarkerProject::restore(const project::ProjectData &d) {
    MarkersHost &host = m_markers.host;
    common::AppState &s = m_markers.state;
    m_markers.store.clear(true);
    if (const auto &items = m_markers.objects.graphicItems)
        items->Clear();

    // The channels go back into their sets a marker's group at a time, in saved order.
    std::map<std::pair<int, int>, std::vector<ComPtr<datalib::TalvorChannel>>> groups;
    std::vector<std::pair<int, int>> order;
    const auto &factory = m_markers.objects.dataFactory;
    for (const project::Channel &c : d.channels) {
        datalib::TalvorChannel *raw = nullptr;
        if (!factory || platform::failed(factory->CreateChannel(0, 0, &raw)) || !raw)
            continue;
        auto channel = ComPtr<datalib::TalvorChannel>::attach(raw);
        channel->SetMarkerNumber(c.marker);
        channel->SetFirstFrame(c.firstFrame);
        channel->SetLength(static_cast<LONG>(c.values.size()));
        for (std::size_t f = 0; f < c.values.size(); ++f)
            channel->PutValue(static_cast<platform::SHORT>(c.firstFrame + int(f)), c.values[f]);
        const std::pair<int, int> key{c.set, c.marker};
        auto &group = groups[key];
        if (group.empty())
            order.push_back(key);
        group.resize(static_cast<std::size_t>(kComponents[c.set]));
        group[static_cast<std::size_t>(c.component)] = channel;
    }
    for (const auto &key : order) {
        const auto &group = groups[key];
        std::vector<datalib::TalvorChannel *> raw;
        for (const auto &channel : group)
            if (channel)
                raw.push_back(channel.get());
        const auto &datas = m_markers.objects.dataSets[static_cast<std::size_t>(key.first)];
        if (datas && raw.size() == group.size())
            datas->Add(raw.data(), static_cast<LONG>(raw.size()));
    }

    host.clearRows();
    for (const project::TableRow &r : d.rows) {
        const int row = host.addRow(r.name, static_cast<MarkerIcon>(r.icon));
        host.setRowTag(row, QString::number(r.number));
        host.setCellText(row, Column::X, r.x);
        host.setCellText(row, Column::Y, r.y);
        host.setCellText(row, Column::Rotation, r.rotation);
    }
    if (d.selectedRow >= 0 && d.selectedRow < host.rowCount())
        host.selectRow(d.selectedRow);
    MarkerState &m = m_markers.marks;
    m = MarkerState{};
    m.markerCounter = d.markerCounter;
    m.colorCounter = d.colorCounter;
    s.settings.ShowAutoPath = d.showAllPaths;

    const project::CalibrationPart &c = d.calibration;
    if (const auto &cal = s.Calibration) {
        cal->SetParameter(1, c.parameter1);
        cal->SetDistance(0, c.distance);
        cal->SetOrigin(c.originX, c.originY);
        cal->SetWidthRatio(c.widthRatio);
        cal->SetPointX(0, c.x0);
        cal->SetPointY(0, c.y0);
        cal->SetPointX(1, c.x1);
        cal->SetPointY(1, c.y1);
        cal->SetUnit(static_cast<platform::SHORT>(c.unit));
        cal->SetAspect(c.aspect);
    }
    s.VideoCalibrated = c.videoCalibrated;
    s.CalibDistance = c.dialogDistance;
    s.CalibUnit = c.dialogUnit;
    s.AspectFactor = c.dialogAspect;
    s.CalibPointIndex = 0;
    m_markers.table.paintRowBands();
}

void MarkerProject::rebuild() {
    MarkersHost &host = m_markers.host;
    const MarkerOverlay::Batch batch(m_markers.overlay);
    // Markers taught at the same frame share its picture.
    std::map<int, std::vector<LONG>> lastPoints;
    for (int row = 0; row < host.rowCount(); ++row) {
        const LONG marker = m_markers.table.markerNumberOfRow(row);
        // The pass that showed the current frame drew its mark already.
        m_markers.overlay.DrawPath(marker, m_markers.frame());
        const MarkerChannels ch = m_markers.store.bind(marker, {Channel::PointStatus});
        for (int f = ch.length(Channel::PointStatus) - 1; f >= 0; --f)
            if (ch.get(Channel::PointStatus, f) == 1.0f) {
                lastPoints[f].push_back(marker);
                break;
            }
    }
    const double w = m_markers.videoWidth(), h = m_markers.videoHeight();
    for (const auto &[frame, list] : lastPoints) {
        const auto picture =
            host.videoView().PicturePart(frame, 100, 0, 0, 0, 0, 0, 0).query<platform::IPicture>();
        if (!picture)
            continue;
        for (LONG marker : list) {
            const MarkerChannels ch = m_markers.store.bind(marker);
            const double x = ch.get(Channel::PosX, frame) * w, y = ch.get(Channel::PosY, frame) * h;
            const double r = ch.get(Channel::PointRadius, frame);
            if (ch.get(Channel::TrackMode, frame) == float(common::kTrackingMarkerTracking))
                EngineCalls::teachMarker(m_markers.markerTracker(), marker, frame, picture.get(), x,
                                         y, common::roundHalfEven(r));
            else
                EngineCalls::learnPattern(m_markers.patternMatcher(), marker, frame, picture.get(),
                                          x, y, ch.get(Channel::Angle, frame),
                                          common::roundHalfEven(2 * r), frame);
        }
    }
    m_markers.overlay.ApplyPathVisibility();
}

} // namespace markers
