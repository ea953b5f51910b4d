#include "components/vidgrab/vidgrab.h"

#include "components/vidgrab/capturedevice.h"
#include "components/vidgrab/devicelist.h"

#include <QWidget>

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace vidgrab {

namespace {

template <class T> void zero(T *out) {
    if (out)
        *out = T{};
}

// The attached devices by number. Calls look a device up under the lock and work on it
// without the lock, so a per-frame callback may call back into Vidgrab.
struct Registry {
    std::mutex mutex;
    std::map<LONG, std::shared_ptr<CaptureDevice>> devices;
    LONG lastAttached = -1;
};

Registry &registry() {
    static Registry r;
    return r;
}

// The attached device `device` (-1: the one attached last), or null.
std::shared_ptr<CaptureDevice> find(LONG device) {
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    if (device < 0)
        device = r.lastAttached;
    const auto it = r.devices.find(device);
    return it != r.devices.end() ? it->second : nullptr;
}

// The listed device numbered `device`, or nothing for a number no device has.
std::optional<DeviceInfo> listed(LONG device) {
    if (device < 0)
        return std::nullopt;
    std::vector<DeviceInfo> devices = listDevices();
    if (static_cast<std::size_t>(device) >= devices.size())
        return std::nullopt;
    return std::move(devices[static_cast<std::size_t>(device)]);
}

// Why a call on an unattached number fails: the number exists but is not attached, or not.
LONG unattached(LONG device) {
    return listed(device) ? kNotReady : kNoDevice;
}

// Removes the device and stops it outside the registry's lock (its thread may be calling in).
LONG detach(LONG device) {
    std::shared_ptr<CaptureDevice> d;
    {
        Registry &r = registry();
        std::lock_guard lock(r.mutex);
        if (device < 0)
            device = r.lastAttached;
        const auto it = r.devices.find(device);
        if (it == r.devices.end())
            return unattached(device) == kNotReady ? 0 : kNoDevice;
        if (it->second->onCaptureThread())
            return kNotReady; // the device's own callback cannot stop its thread
        d = std::move(it->second);
        r.devices.erase(it);
        if (r.lastAttached == device)
            r.lastAttached = r.devices.empty() ? -1 : r.devices.rbegin()->first;
    }
    d.reset();
    return 0;
}

// CPU time of the process against the wall clock, both in seconds.
struct CpuSample {
    double wall = 0, cpu = 0;
};

CpuSample cpuSample() {
    timespec wall{};
    clock_gettime(CLOCK_MONOTONIC, &wall);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval &t) {
        return t.tv_sec + t.tv_usec * 1e-6;
    };
    return {wall.tv_sec + wall.tv_nsec * 1e-9, seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

} // namespace

LONG attachDevice(void *window, LONG device) {
    if (!window)
        return detach(device);
    std::optional<DeviceInfo> info = listed(device);
    if (!info)
        return kNoDevice;
    auto *host = static_cast<QWidget *>(window);
    if (const auto existing = find(device)) {
        if (existing->host() == host)
            return 0;
        if (const LONG r = detach(device); r != 0)
            return r;
    }
    auto d = std::make_shared<CaptureDevice>(std::move(*info), host);
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    r.devices[device] = std::move(d);
    r.lastAttached = device;
    return 0;
}

LONG releaseDevice(LONG device) {
    return detach(device);
}

LONG captureStatistics(LONG device, float *elapsedSeconds, LONG *dropped, LONG *captured,
                       LONG *further1, LONG *further2) {
    zero(elapsedSeconds);
    zero(dropped);
    zero(captured);
    zero(further1);
    zero(further2);
    const auto d = find(device);
    if (!d)
        return unattached(device);
    const CaptureCounts c = d->counts();
    if (elapsedSeconds)
        *elapsedSeconds = c.elapsedSeconds;
    if (dropped)
        *dropped = c.dropped;
    if (captured)
        *captured = c.written;
    if (further1)
        *further1 = c.captured;
    if (further2)
        *further2 = c.sourceGaps;
    return 0;
}

LONG captureSize(LONG device, LONG *width, LONG *height) {
    zero(width);
    zero(height);
    const auto d = find(device);
    if (!d)
        return unattached(device);
    int w = 0, h = 0;
    double rate = 0;
    if (!d->format(w, h, rate))
        return kNotReady;
    if (width)
        *width = w;
    if (height)
        *height = h;
    return 0;
}

LONG cameraType(LONG device) {
    if (const auto d = find(device))
        return static_cast<LONG>(d->info().kind);
    const std::optional<DeviceInfo> info = listed(device);
    return info ? static_cast<LONG>(info->kind) : 0;
}

LONG bcamDataRate(LONG) {
    return 0;
}

LONG captureFrameRate(LONG device) {
    const auto d = find(device);
    int w = 0, h = 0;
    double rate = 0;
    if (!d || !d->format(w, h, rate))
        return 0;
    return static_cast<LONG>(std::lround(rate));
}

LONG setPreviewWindow(LONG device, LONG x, LONG y, LONG width, LONG height, LONG repaint, LONG) {
    const auto d = find(device);
    if (!d)
        return unattached(device);
    d->setGeometry(x, y, width, height, repaint != 0);
    return 0;
}

LONG captureFormat(LONG device, LONG *a, LONG *b, LONG *width, LONG *height) {
    zero(a);
    zero(b);
    return captureSize(device, width, height);
}

LONG setCaptureFile(LONG device, const char *fileName, LONG) {
    // The size is ignored: the file grows as long as the recording runs.
    const auto d = find(device);
    if (!d)
        return unattached(device);
    return fileName ? d->setCaptureFile(fileName) : kBadArgument;
}

LONG saveCaptureAs(LONG device, const char *fileName, LONG, LONG) {
    const auto d = find(device);
    if (!d)
        return unattached(device);
    return fileName ? d->saveCaptureAs(fileName) : kBadArgument;
}

LONG preview(LONG device, LONG on) {
    const auto d = find(device);
    if (!d)
        return unattached(device);
    if (d->onCaptureThread())
        return kNotReady;
    return d->setPreview(on != 0);
}

LONG captureInit(LONG device) {
    const auto d = find(device);
    return d ? d->captureInit() : unattached(device);
}
LONG captureStart(LONG device) {
    const auto d = find(device);
    return d ? d->captureStart() : unattached(device);
}
LONG captureSequence(LONG device) {
    return captureStart(device);
}
LONG captureStop(LONG device) {
    const auto d = find(device);
    if (!d)
        return unattached(device);
    if (d->onCaptureThread())
        return kNotReady;
    return d->captureStop();
}

LONG initStartMultiple(LONG deviceCount, const LONG *, LONG objectCount, const LONG *,
                       LONG *allObjects, LONG) {
    // The caller sized allObjects for deviceCount + objectCount entries.
    if (allObjects && deviceCount >= 0 && objectCount >= 0)
        std::fill_n(allObjects, static_cast<long>(deviceCount) + objectCount, 0);
    return kNotAvailable;
}

LONG unInitStartMultiple() {
    return kNotAvailable;
}
LONG startMultiple() {
    return kNotAvailable;
}
LONG stopMultiple() {
    return kNotAvailable;
}

LONG captureReady(LONG device) {
    const auto d = find(device);
    if (!d)
        return unattached(device);
    return d->delivering() ? 0 : kNotReady;
}

LONG mpegIsEncoding(LONG, LONG) {
    return 0;
}
LONG mpegAvailable(LONG) {
    return 0;
}

BOOL frameTimeStatistics(LONG device, LONG *count, LONGLONG *minimum, LONGLONG *maximum,
                         LONGLONG *average) {
    zero(count);
    zero(minimum);
    zero(maximum);
    zero(average);
    const auto d = find(device);
    if (!d)
        return platform::FALSE_;
    const IntervalStatistics s = d->intervals();
    if (count)
        *count = s.count;
    if (minimum)
        *minimum = s.minimum;
    if (maximum)
        *maximum = s.maximum;
    if (average)
        *average = s.average;
    return platform::TRUE_;
}

LONGLONG referenceTime(LONG device, LONG type) {
    const auto d = find(device);
    return d ? d->referenceTime(type) : 0;
}

LONG cpuUsage() {
    // Measured against the sample of the last call at least a second ago; the first calls
    // measure from the library's loading.
    static std::mutex mutex;
    static CpuSample base = cpuSample(), next = base;
    std::lock_guard lock(mutex);
    const CpuSample now = cpuSample();
    if (now.wall - next.wall >= 1.0) {
        base = next;
        next = now;
    } else if (now.wall - base.wall >= 2.0) {
        base = now; // calls came too seldom for the last second to have a base
    }
    const double wall = now.wall - base.wall;
    if (wall <= 0)
        return 0;
    const long cores = std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));
    const double percent = 100.0 * (now.cpu - base.cpu) / (wall * static_cast<double>(cores));
    return static_cast<LONG>(std::lround(std::clamp(percent, 0.0, 100.0)));
}

LONG getMode(LONG device, LONG selector) {
    const auto d = find(device);
    return d ? d->mode(selector) : 0;
}
LONG setMode(LONG device, LONG selector, LONG value) {
    const auto d = find(device);
    return d ? d->setMode(selector, value) : unattached(device);
}

LONG setFrameCallback(LONG device, LONG stream, FrameCallback callback, LONG enable,
                      void *context) {
    const auto d = find(device);
    if (!d)
        return unattached(device);
    if (stream != 0)
        return kBadArgument;
    d->installCallback(callback, enable != 0, context);
    return 0;
}
LONG frameDone(LONG device, LONG stream) {
    if (!find(device))
        return unattached(device);
    return stream == 0 ? 0 : kBadArgument;
}
LONG enableFrameGrabber(LONG device, LONG stream, LONG enable) {
    const auto d = find(device);
    if (!d)
        return unattached(device);
    if (stream != 0)
        return kBadArgument;
    d->enableCallback(enable != 0);
    return 0;
}

LONG mpegActivate(LONG, LONG, LONG) {
    return kNotAvailable;
}
LONG mpegShowProperties(void *, LONG) {
    return kNotAvailable;
}
LONG getTimeShift(LONG, LONG) {
    return 0;
}
LONG setTimeShift(LONG, LONG, LONG) {
    return kNotAvailable;
}
float bufferFillState(LONG device, LONG) {
    const auto d = find(device);
    return d ? d->bufferFill() : 0.0f;
}
LONG allowOverlay(LONG, LONG) {
    return kNotAvailable;
}
LONG allowTimeShift(LONG, LONG) {
    return kNotAvailable;
}
LONG allowBcam(LONG, LONG) {
    return kNotAvailable;
}
LONG allowMpeg(LONG, LONG) {
    return kNotAvailable;
}
LONG cameraPropertiesAvailable(LONG) {
    return 0;
}
LONG loadCameraProperties(LONG device, const char *section, const char *settingsFile) {
    const auto d = find(device);
    if (!d)
        return unattached(device);
    return section && settingsFile ? d->loadFormat(section, settingsFile) : kBadArgument;
}
LONG saveCameraProperties(LONG device, const char *section, const char *settingsFile) {
    const auto d = find(device);
    if (!d)
        return unattached(device);
    return section && settingsFile ? d->saveFormat(section, settingsFile) : kBadArgument;
}
LONG showCameraProperties(LONG, void *) {
    return kNotAvailable;
}
LONG bcamShutter(LONG) {
    return 0;
}
LONG setBcamShutter(LONG, LONG) {
    return kNotAvailable;
}
LONG bcamPacketSize(LONG) {
    return 0;
}
LONG setBcamPacketSize(LONG, LONG) {
    return kNotAvailable;
}

LONG triggerFrameRate(LONG, LONG *enabled, LONG, LONG, LONG, float *framesPerSecond) {
    zero(enabled);
    zero(framesPerSecond);
    return kNotAvailable;
}

LONG setTriggerFrameRate(LONG, LONG, LONG, LONG, LONG, float) {
    return kNotAvailable;
}
LONG skipFrames(LONG, LONG) {
    return 0;
}
LONG setSkipFrames(LONG, LONG, LONG) {
    return kNotAvailable;
}
LONG startAcquisitionOfAllBcams(LONG, LONG) {
    return kNotAvailable;
}

namespace {

#define VIDGRAB_ENTRY(n, fn)                                                                       \
    OrdinalEntry {                                                                                 \
        n, #fn, reinterpret_cast<Proc>(Ordinal<n>::function)                                       \
    }

const std::array kTable = {
    VIDGRAB_ENTRY(1, attachDevice),
    VIDGRAB_ENTRY(2, releaseDevice),
    VIDGRAB_ENTRY(3, captureStatistics),
    VIDGRAB_ENTRY(5, captureSize),
    VIDGRAB_ENTRY(6, cameraType),
    VIDGRAB_ENTRY(7, bcamDataRate),
    VIDGRAB_ENTRY(8, captureFrameRate),
    VIDGRAB_ENTRY(10, setPreviewWindow),
    VIDGRAB_ENTRY(11, captureFormat),
    VIDGRAB_ENTRY(12, setCaptureFile),
    VIDGRAB_ENTRY(13, saveCaptureAs),
    VIDGRAB_ENTRY(16, preview),
    VIDGRAB_ENTRY(17, captureInit),
    VIDGRAB_ENTRY(19, captureStart),
    VIDGRAB_ENTRY(20, captureSequence),
    VIDGRAB_ENTRY(21, captureStop),
    VIDGRAB_ENTRY(22, initStartMultiple),
    VIDGRAB_ENTRY(23, unInitStartMultiple),
    VIDGRAB_ENTRY(24, startMultiple),
    VIDGRAB_ENTRY(25, stopMultiple),
    VIDGRAB_ENTRY(27, captureReady),
    VIDGRAB_ENTRY(33, mpegIsEncoding),
    VIDGRAB_ENTRY(37, mpegAvailable),
    VIDGRAB_ENTRY(38, frameTimeStatistics),
    VIDGRAB_ENTRY(39, referenceTime),
    VIDGRAB_ENTRY(40, cpuUsage),
    VIDGRAB_ENTRY(42, getMode),
    VIDGRAB_ENTRY(43, setMode),
    VIDGRAB_ENTRY(44, setFrameCallback),
    VIDGRAB_ENTRY(48, frameDone),
    VIDGRAB_ENTRY(49, enableFrameGrabber),
    VIDGRAB_ENTRY(52, mpegActivate),
    VIDGRAB_ENTRY(55, mpegShowProperties),
    VIDGRAB_ENTRY(56, getTimeShift),
    VIDGRAB_ENTRY(57, setTimeShift),
    VIDGRAB_ENTRY(58, bufferFillState),
    VIDGRAB_ENTRY(63, allowOverlay),
    VIDGRAB_ENTRY(64, allowTimeShift),
    VIDGRAB_ENTRY(65, allowBcam),
    VIDGRAB_ENTRY(66, allowMpeg),
    VIDGRAB_ENTRY(67, cameraPropertiesAvailable),
    VIDGRAB_ENTRY(68, loadCameraProperties),
    VIDGRAB_ENTRY(69, saveCameraProperties),
    VIDGRAB_ENTRY(70, showCameraProperties),
    VIDGRAB_ENTRY(75, bcamShutter),
    VIDGRAB_ENTRY(76, setBcamShutter),
    VIDGRAB_ENTRY(78, bcamPacketSize),
    VIDGRAB_ENTRY(79, setBcamPacketSize),
    VIDGRAB_ENTRY(85, triggerFrameRate),
    VIDGRAB_ENTRY(86, setTriggerFrameRate),
    VIDGRAB_ENTRY(87, skipFrames),
    VIDGRAB_ENTRY(88, setSkipFrames),
    VIDGRAB_ENTRY(90, startAcquisitionOfAllBcams),
};

#undef VIDGRAB_ENTRY

} // namespace

std::span<const OrdinalEntry> ordinalTable() {
    return kTable;
}

Proc procByOrdinal(int ordinal) {
    const auto it = std::lower_bound(kTable.begin(), kTable.end(), ordinal,
                                     [](const OrdinalEntry &e, int n) { return e.ordinal < n; });
    return it != kTable.end() && it->ordinal == ordinal ? it->proc : nullptr;
}

} // namespace vidgrab
