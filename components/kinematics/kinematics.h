// Kinematics of one marker from its stored points: smoothed positions, velocities,
// accelerations, angular velocity and path length, in calibrated units (or pixels) and seconds.
// Plain C++ values; the method is described in docs/kinematics.md.
#pragma once

#include <functional>
#include <limits>
#include <span>
#include <string>
#include <vector>

namespace kinematics {

// The stored "no value"; a coordinate at or below it, or not finite, is missing.
inline constexpr double kMissing = -1.0e9;
inline constexpr double kEmpty = std::numeric_limits<double>::quiet_NaN();

// One stored point. Positions are image pixels (the stored fractions times the video width
// and height); the angle is in degrees and optional (kMissing when the engine gave none).
struct Sample {
    int frame = 0;
    double x = kMissing;
    double y = kMissing;
    double angle = kMissing;
};

// Pixels to units. Either scale factors (units per pixel, negative to flip an axis; the
// 2-D calibration's k / width and -k / (A * height) make its transform up to the origin's
// offset) or a transform function, which takes precedence when set and returns false where
// it cannot map a point. Smoothing always runs on pixels, so the cutoffs and the noise levels
// are those of the image axes; units only enter the derivatives and the path length.
struct Calibration {
    double unitsPerPixelX = 1.0;
    double unitsPerPixelY = 1.0;
    std::string unit = "px";
    std::function<bool(double xPx, double yPx, double &xUnit, double &yUnit)> transform;
};

enum class SmoothingMode {
    Automatic, // cutoff by residual analysis, per marker and axis
    Fixed,     // the cutoff the user gave
    Off,       // raw positions are differentiated
};

struct Smoothing {
    SmoothingMode mode = SmoothingMode::Automatic;
    double cutoffHz = 0; // Fixed only: 0 < cutoff < frame rate / 2
};

struct Options {
    Smoothing position;
    Smoothing angle;
    // The residual curve is measured on at most this many samples per axis, taken as
    // evenly spread windows of the track (the curve is an RMS, so a sample of the track
    // estimates it); 0 measures every sample.
    std::size_t residualSamples = 20000;
};

enum class CutoffSource {
    Automatic,
    User,
    Off,
    NotEnoughData, // no segment long enough to filter: the data stay raw
};

struct CutoffChoice {
    CutoffSource source = CutoffSource::Off;
    double hz = kEmpty; // empty when the data were not filtered
    // Automatic only: the noise level (RMS, pixels or degrees) where the noise line meets
    // 0 Hz, and whether the residual was at that level already at the lowest cutoff tried,
    // i.e. the track holds nothing but noise above that cutoff.
    double noiseLevel = kEmpty;
    bool noiseOnly = false;
};

// One frame from the first sample's frame to the last sample's. Every value may be empty
// (NaN): no point and no bridge there, or too few neighbours in the segment for the
// derivative (docs/kinematics.md, "Segment ends").
struct FrameKinematics {
    int frame = 0;
    double time = 0;                 // s, frame / frame rate
    bool measured = false;           // a point was stored in this frame
    bool interpolated = false;       // a point bridged into a gap of 1 or 2 frames
    double x = kEmpty, y = kEmpty;   // units
    double vx = kEmpty, vy = kEmpty; // units / s
    double speed = kEmpty;
    double ax = kEmpty, ay = kEmpty; // units / s²
    double acceleration = kEmpty;
    double angle = kEmpty;           // degrees, unwrapped and smoothed
    double angularVelocity = kEmpty; // degrees / s
};

enum class Status {
    Ok,
    InvalidFrameRate,   // not finite or not above 0
    InvalidCalibration, // a scale factor 0 or not finite (without a transform)
    InvalidCutoff,      // a fixed cutoff not in (0, frame rate / 2)
    FramesOutOfOrder,   // frame numbers not strictly ascending
    TooManyFrames,      // more than kMaxFrames from the first frame to the last
};

inline constexpr int kMaxFrames = 10'000'000;

struct MarkerKinematics {
    Status status = Status::Ok;
    std::string unit;
    std::vector<FrameKinematics> frames;
    double pathLength = 0; // units, along the smoothed path, within segments
    CutoffChoice cutoffX, cutoffY, cutoffAngle;
};

// Samples ordered by frame; frames not listed are missing. Anything but Status::Ok leaves
// the frames empty.
MarkerKinematics analyse(std::span<const Sample> samples, double frameRate,
                         const Calibration &calibration = {}, const Options &options = {});

} // namespace kinematics
