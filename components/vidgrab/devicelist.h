// The capture devices Vidgrab knows, in the order that gives them their numbers: the
// Video4Linux2 capture devices (/dev/videoN that report video capture, by N), then the
// synthetic test camera, unless ORVANE_NO_TEST_CAMERA is set.
#pragma once

#include <string>
#include <vector>

namespace vidgrab {

enum class DeviceKind { V4l2 = 1, Synthetic = 2 };

struct DeviceInfo {
    DeviceKind kind = DeviceKind::Synthetic;
    std::string friendlyName; // the card name, or "Orvane test camera"
    std::string displayName;  // the device path, or "lavfi:testsrc2"
};

inline constexpr const char *kTestCameraName = "Orvane test camera";
inline constexpr const char *kTestCameraDisplayName = "lavfi:testsrc2";

// Lists the devices afresh (cheap: a directory scan and one query per video node).
std::vector<DeviceInfo> listDevices();

} // namespace vidgrab
