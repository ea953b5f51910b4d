#include "components/vidgrab/devicelist.h"

#include <linux/videodev2.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <utility>

namespace vidgrab {

namespace {

// The card name when `path` is a video capture node, nothing otherwise.
std::optional<std::string> captureCardName(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    v4l2_capability cap{};
    const bool ok = ::ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0;
    ::close(fd);
    if (!ok)
        return std::nullopt;
    // A node of a multi-node device reports its own abilities in device_caps.
    const std::uint32_t caps =
        (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    if (!(caps & V4L2_CAP_VIDEO_CAPTURE))
        return std::nullopt;
    const auto *card = reinterpret_cast<const char *>(cap.card);
    return std::string(card, strnlen(card, sizeof cap.card));
}

} // namespace

std::vector<DeviceInfo> listDevices() {
    std::vector<std::pair<int, std::string>> nodes;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator("/dev", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("video", 0) != 0)
            continue;
        int number = 0;
        const char *first = name.data() + 5, *last = name.data() + name.size();
        const auto [end, err] = std::from_chars(first, last, number);
        if (err != std::errc() || end != last || first == last)
            continue;
        nodes.emplace_back(number, entry.path().string());
    }
    std::sort(nodes.begin(), nodes.end());

    std::vector<DeviceInfo> devices;
    for (const auto &[number, path] : nodes)
        if (auto card = captureCardName(path))
            devices.push_back({DeviceKind::V4l2, *card, path});
    if (!std::getenv("ORVANE_NO_TEST_CAMERA"))
        devices.push_back({DeviceKind::Synthetic, kTestCameraName, kTestCameraDisplayName});
    return devices;
}

} // namespace vidgrab
