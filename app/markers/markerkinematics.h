// Kinematics of one marker of the marker table: its stored points (fractions of the video
// width and height) turned into image pixels, the video's frame rate, and the calibration in
// force, handed to the kinematics library with the cutoff chosen automatically or as the caller
// says (docs/kinematics.md).
#pragma once

#include "components/kinematics/kinematics.h"
#include "platform/wintypes.h"

#include <QString>

#include <vector>

namespace markers {

class MarkerController;

// The stored points of marker `marker` in pixels, ordered by frame: only frames with a point
// and both coordinates present; the angle where the engine gave one.
std::vector<kinematics::Sample> markerSamples(MarkerController &markers, platform::LONG marker);

// The calibration's unit ("m", "cm" or "mm") while a calibration is in force, else "px".
QString kinematicsUnit(MarkerController &markers);

// Pixels to units: while a calibration is in force, pixels back to fractions and through the
// calibration's transform; else pixels unchanged.
kinematics::Calibration kinematicsCalibration(MarkerController &markers);

// The marker's kinematics at the video's frame rate, smoothed as `options` say. Without a
// frame rate the result says InvalidFrameRate and holds no frames; a fixed cutoff outside
// (0, frame rate / 2) gives InvalidCutoff and no frames.
kinematics::MarkerKinematics markerKinematics(MarkerController &markers, platform::LONG marker,
                                              const kinematics::Options &options);

} // namespace markers
