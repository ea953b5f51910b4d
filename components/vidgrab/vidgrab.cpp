#include "components/vidgrab/vidgrab.h"

#include <algorithm>
#include <array>

namespace vidgrab {

namespace {

template <class T> void zero(T *out) {
    if (out)
        *out = T{};
}

} // namespace

// Attaching is the only way to a device, and there is none: it fails for every number.
// Detaching (a null window) has nothing to undo and succeeds.
LONG attachDevice(void *window, LONG) {
    return window ? kNoDevice : 0;
}
LONG releaseDevice(LONG) {
    return 0;
}

LONG captureStatistics(LONG, float *elapsedSeconds, LONG *dropped, LONG *captured, LONG *further1,
                       LONG *further2) {
    zero(elapsedSeconds);
    zero(dropped);
    zero(captured);
    zero(further1);
    zero(further2);
    return kNoDevice;
}

LONG captureSize(LONG, LONG *width, LONG *height) {
    zero(width);
    zero(height);
    return kNoDevice;
}

LONG cameraType(LONG) {
    return 0;
}
LONG bcamDataRate(LONG) {
    return 0;
}
LONG captureFrameRate(LONG) {
    return 0;
}
LONG setPreviewWindow(LONG, LONG, LONG, LONG, LONG, LONG, LONG) {
    return kNoDevice;
}

LONG captureFormat(LONG, LONG *a, LONG *b, LONG *width, LONG *height) {
    zero(a);
    zero(b);
    zero(width);
    zero(height);
    return kNoDevice;
}

LONG setCaptureFile(LONG, const char *, LONG) {
    return kNoDevice;
}
LONG saveCaptureAs(LONG, const char *, LONG, LONG) {
    return kNoDevice;
}
LONG preview(LONG, LONG on) {
    return on ? kNoDevice : 0;
}
LONG captureInit(LONG) {
    return kNoDevice;
}
LONG captureStart(LONG) {
    return kNoDevice;
}
LONG captureSequence(LONG) {
    return kNoDevice;
}
LONG captureStop(LONG) {
    return kNoDevice;
}

LONG initStartMultiple(LONG deviceCount, const LONG *, LONG objectCount, const LONG *,
                       LONG *allObjects, LONG) {
    // The caller sized allObjects for deviceCount + objectCount entries.
    if (allObjects && deviceCount >= 0 && objectCount >= 0)
        std::fill_n(allObjects, static_cast<long>(deviceCount) + objectCount, 0);
    return kNoDevice;
}

LONG unInitStartMultiple() {
    return 0;
}
LONG startMultiple() {
    return kNoDevice;
}
LONG stopMultiple() {
    return kNoDevice;
}
LONG captureReady(LONG) {
    return kNoDevice;
}
LONG mpegIsEncoding(LONG, LONG) {
    return 0;
}
LONG mpegAvailable(LONG) {
    return 0;
}

BOOL frameTimeStatistics(LONG, LONG *count, LONGLONG *minimum, LONGLONG *maximum,
                         LONGLONG *average) {
    zero(count);
    zero(minimum);
    zero(maximum);
    zero(average);
    return platform::FALSE_;
}

LONGLONG referenceTime(LONG, LONG) {
    return 0;
}
LONG cpuUsage() {
    return 0;
}
LONG getMode(LONG, LONG) {
    return 0;
}
LONG setMode(LONG, LONG, LONG) {
    return kNoDevice;
}
LONG setFrameCallback(LONG, LONG, FrameCallback, LONG, void *) {
    return kNoDevice;
}
LONG frameDone(LONG, LONG) {
    return kNoDevice;
}
LONG enableFrameGrabber(LONG, LONG, LONG) {
    return kNoDevice;
}
LONG mpegActivate(LONG, LONG, LONG) {
    return kNoDevice;
}
LONG mpegShowProperties(void *, LONG) {
    return kNoDevice;
}
LONG getTimeShift(LONG, LONG) {
    return 0;
}
LONG setTimeShift(LONG, LONG, LONG) {
    return kNoDevice;
}
float bufferFillState(LONG, LONG) {
    return 0.0f;
}
LONG allowOverlay(LONG, LONG) {
    return kNoDevice;
}
LONG allowTimeShift(LONG, LONG) {
    return kNoDevice;
}
LONG allowBcam(LONG, LONG) {
    return kNoDevice;
}
LONG allowMpeg(LONG, LONG) {
    return kNoDevice;
}
LONG cameraPropertiesAvailable(LONG) {
    return 0;
}
LONG loadCameraProperties(LONG, const char *, const char *) {
    return kNoDevice;
}
LONG saveCameraProperties(LONG, const char *, const char *) {
    return kNoDevice;
}
LONG showCameraProperties(LONG, void *) {
    return kNoDevice;
}
LONG bcamShutter(LONG) {
    return 0;
}
LONG setBcamShutter(LONG, LONG) {
    return kNoDevice;
}
LONG bcamPacketSize(LONG) {
    return 0;
}
LONG setBcamPacketSize(LONG, LONG) {
    return kNoDevice;
}

LONG triggerFrameRate(LONG, LONG *enabled, LONG, LONG, LONG, float *framesPerSecond) {
    zero(enabled);
    zero(framesPerSecond);
    return kNoDevice;
}

LONG setTriggerFrameRate(LONG, LONG, LONG, LONG, LONG, float) {
    return kNoDevice;
}
LONG skipFrames(LONG, LONG) {
    return 0;
}
LONG setSkipFrames(LONG, LONG, LONG) {
    return kNoDevice;
}
LONG startAcquisitionOfAllBcams(LONG, LONG) {
    return kNoDevice;
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
