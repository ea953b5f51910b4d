// What the Kinematics window plots, as plain values: per chosen marker its x(t), y(t),
// speed(t) and acceleration(t) in the calibration's unit (or pixels) and seconds, split into
// runs where the values are empty, its colour, the cutoffs the smoothing chose as text, and
// the mapping between plot time and video frames. No widgets; the window only draws this.
#pragma once

#include "components/kinematics/kinematics.h"
#include "platform/wintypes.h"

#include <QColor>
#include <QPointF>
#include <QString>

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

namespace markers {
class MarkerController;
}

namespace analysis {

enum class Quantity { X, Y, Speed, Acceleration };
inline constexpr std::size_t kQuantityCount = 4;
inline constexpr std::array<Quantity, kQuantityCount> kQuantities = {
    Quantity::X, Quantity::Y, Quantity::Speed, Quantity::Acceleration};

// Why there is nothing to plot, or Ready.
enum class Availability { NoVideo, NoMarkers, NoFrameRate, Ready };

// A marker of the table, in table order.
struct MarkerEntry {
    platform::LONG marker = 0;
    QString name;
    QColor color; // the table's band colour; black when the marker has none
};

// Points (time in s, value) between two empty values: a line is drawn along a run, never
// from one run to the next.
using Run = std::vector<QPointF>;

struct MarkerSeries {
    MarkerEntry entry;
    kinematics::Status status = kinematics::Status::Ok;
    kinematics::CutoffChoice cutoffX, cutoffY;
    std::array<std::vector<Run>, kQuantityCount> runs; // by Quantity
    // "Hip: x 6.2 Hz, y 5.8 Hz (automatic)", "Hip: off", "Hip: no points", ...
    QString cutoffText;

    const std::vector<Run> &of(Quantity q) const { return runs[static_cast<std::size_t>(q)]; }
    std::size_t pointCount(Quantity q) const;
};

class KinematicsModel {
public:
    explicit KinematicsModel(markers::MarkerController &markers) : m_markers(markers) {}

    Availability availability() const;
    // The text saying why there is nothing to plot; empty when Ready.
    QString availabilityText() const;

    std::vector<MarkerEntry> markers() const;

    // How positions are smoothed; the default chooses each cutoff by residual analysis.
    void setSmoothing(const kinematics::Smoothing &smoothing) { m_smoothing = smoothing; }
    const kinematics::Smoothing &smoothing() const { return m_smoothing; }
    // The open interval a fixed cutoff must lie in: (0, frame rate / 2) Hz; 0 without a rate.
    double cutoffLimit() const;

    // The series of the chosen markers, in table order (numbers not in the table are left out).
    std::vector<MarkerSeries> series(const std::vector<platform::LONG> &chosen) const;

    // "m", "cm", "mm" while a calibration is in force, else "px".
    QString unit() const;
    // Axis titles in the interface's language: "Time (s)", "x (m)", "Speed (m/s)", ...
    QString timeTitle() const;
    QString axisTitle(Quantity q) const;

    // The video's frame rate (frames per second); 0 when it has none.
    double frameRate() const;
    // The last frame of the video; -1 without one.
    int lastFrame() const;
    // Time of a frame, frame / frame rate (0 without a rate).
    double timeOfFrame(int frame) const;
    // The frame nearest to a time, round(t × frame rate), within the video's frames (0 without
    // a rate or for a time that is no number).
    int frameOfTime(double seconds) const;
    // The plot's time span: 0 to the last frame's time.
    double duration() const { return timeOfFrame(std::max(lastFrame(), 0)); }

private:
    QString cutoffText(const QString &name, const kinematics::MarkerKinematics &k) const;
    QString cutoffValue(const kinematics::CutoffChoice &c) const;

    markers::MarkerController &m_markers;
    kinematics::Smoothing m_smoothing;
};

} // namespace analysis
