// One opened capture device: packets read with libavdevice, decoded and converted to BGRA.
// Used by one thread at a time (the capture thread once it runs).
#pragma once

#include "components/vidgrab/devicelist.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vidgrab {

// A format asked of the device when it opens; 0 leaves a value to the device.
struct FormatRequest {
    int width = 0;
    int height = 0;
    int rate = 0; // frames per second
};

struct CapturedFrame {
    std::vector<std::uint8_t> bgra; // width * 4 bytes a row, top row first
    int width = 0;
    int height = 0;
    std::int64_t streamTime100ns = 0; // the frame's time on the device's clock
    std::int64_t frameIndex = 0;      // the stream time in frames of the nominal rate
    // When the device handed over the frame's data (before decoding and conversion).
    std::chrono::steady_clock::time_point arrived;
};

class FrameSource {
public:
    ~FrameSource();
    FrameSource(const FrameSource &) = delete;
    FrameSource &operator=(const FrameSource &) = delete;

    // Opens the device and reads its format; nothing when it cannot be opened. A blocking
    // read returns early once *interrupt is set.
    static std::unique_ptr<FrameSource> open(const DeviceInfo &device,
                                             const std::atomic<bool> *interrupt,
                                             const FormatRequest &request = {});

    int width() const { return m_width; }
    int height() const { return m_height; }
    int rateNum() const { return m_rateNum; } // nominal frames per second, as a fraction
    int rateDen() const { return m_rateDen; }

    // The next frame; false at the end of the stream, on a read error, after an
    // interrupt, and for the synthetic camera after ORVANE_TEST_CAMERA_FRAMES frames.
    bool read(CapturedFrame &frame);

private:
    FrameSource();
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    int m_width = 0, m_height = 0, m_rateNum = 25, m_rateDen = 1;
};

} // namespace vidgrab
