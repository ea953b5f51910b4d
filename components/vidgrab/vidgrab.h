// Vidgrab: the capture library the video view control drives for live video and
// recording. The control binds its functions by ordinal through procByOrdinal() or the
// Ordinal<N> table. Devices are Video4Linux2 cameras and a synthetic test camera
// (devicelist.h); docs/vidgrab.md gives every ordinal's meaning and results.
#pragma once

#include "platform/com.h"

#include <span>
#include <string>

namespace vidgrab {

using platform::BOOL;
using platform::LONG;
using platform::LONGLONG;

// Results (the control tests for 0). A device number of -1 means the device attached last.
inline constexpr LONG kNoDevice = -1;     // no such device, or none attached under that number
inline constexpr LONG kNotAvailable = -2; // BCAM, MPEG, time shift and multiple-device calls
inline constexpr LONG kBadArgument = -3;  // a null or empty argument, an unknown selector
inline constexpr LONG kNotReady = -4;     // not delivering, no recording, or the wrong thread
inline constexpr LONG kFailed = -5;       // the device or the file could not be opened

// The frame header the per-frame callback receives; the layout of a bitmap information
// header (40 bytes). A negative height means rows top to bottom.
struct BitmapInfoHeader {
    platform::DWORD size = 40;
    LONG width = 0;
    LONG height = 0;
    platform::WORD planes = 1;
    platform::WORD bitCount = 32;
    platform::DWORD compression = 0;
    platform::DWORD sizeImage = 0;
    LONG xPelsPerMeter = 0;
    LONG yPelsPerMeter = 0;
    platform::DWORD clrUsed = 0;
    platform::DWORD clrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40, "bitmap information header layout");

// Writable pixels of one captured frame (32-bit BGRA rows), for drawing overlays into it.
struct FrameBuffer {
    std::uint8_t *data = nullptr;
    LONG width = 0;
    LONG height = 0;
    LONG stride = 0;
};

// Called on the capture thread for every frame: the context given at installation, the
// media sample, the frame's header and its pixels.
using FrameCallback = void (*)(void *context, void *mediaSample, const BitmapInfoHeader *header,
                               FrameBuffer *frame);

// Window handles are the host's QWidget (or null); file names are UTF-8 paths.
// Out parameters, where given, are always written; with no device they read 0.
LONG attachDevice(void *window, LONG device); // 1
LONG releaseDevice(LONG device);              // 2
LONG captureStatistics(LONG device, float *elapsedSeconds, LONG *dropped, LONG *captured,
                       LONG *further1, LONG *further2);   // 3
LONG captureSize(LONG device, LONG *width, LONG *height); // 5
LONG cameraType(LONG device);                             // 6
LONG bcamDataRate(LONG device);                           // 7
LONG captureFrameRate(LONG device);                       // 8
LONG setPreviewWindow(LONG device, LONG x, LONG y, LONG width, LONG height, LONG repaint,
                      LONG flags);                                                     // 10
LONG captureFormat(LONG device, LONG *a, LONG *b, LONG *width, LONG *height);          // 11
LONG setCaptureFile(LONG device, const char *fileName, LONG sizeMegabytes);            // 12
LONG saveCaptureAs(LONG device, const char *fileName, LONG reserved1, LONG reserved2); // 13
LONG preview(LONG device, LONG on);                                                    // 16
LONG captureInit(LONG device);                                                         // 17
LONG captureStart(LONG device);                                                        // 19
LONG captureSequence(LONG device);                                                     // 20
LONG captureStop(LONG device);                                                         // 21
LONG initStartMultiple(LONG deviceCount, const LONG *devices, LONG objectCount, const LONG *objects,
                       LONG *allObjects, LONG milliseconds); // 22
LONG unInitStartMultiple();                                  // 23
LONG startMultiple();                                        // 24
LONG stopMultiple();                                         // 25
LONG captureReady(LONG device);                              // 27
LONG mpegIsEncoding(LONG device, LONG which);                // 33
LONG mpegAvailable(LONG which);                              // 37
BOOL frameTimeStatistics(LONG device, LONG *count, LONGLONG *minimum, LONGLONG *maximum,
                         LONGLONG *average);          // 38
LONGLONG referenceTime(LONG device, LONG type);       // 39
LONG cpuUsage();                                      // 40
LONG getMode(LONG device, LONG selector);             // 42
LONG setMode(LONG device, LONG selector, LONG value); // 43
LONG setFrameCallback(LONG device, LONG stream, FrameCallback callback, LONG enable,
                      void *context);                                                  // 44
LONG frameDone(LONG device, LONG stream);                                              // 48
LONG enableFrameGrabber(LONG device, LONG stream, LONG enable);                        // 49
LONG mpegActivate(LONG device, LONG video, LONG audio);                                // 52
LONG mpegShowProperties(void *window, LONG show);                                      // 55
LONG getTimeShift(LONG device, LONG which);                                            // 56
LONG setTimeShift(LONG device, LONG which, LONG value);                                // 57
float bufferFillState(LONG device, LONG which);                                        // 58
LONG allowOverlay(LONG device, LONG allow);                                            // 63
LONG allowTimeShift(LONG device, LONG allow);                                          // 64
LONG allowBcam(LONG device, LONG allow);                                               // 65
LONG allowMpeg(LONG device, LONG allow);                                               // 66
LONG cameraPropertiesAvailable(LONG device);                                           // 67
LONG loadCameraProperties(LONG device, const char *section, const char *settingsFile); // 68
LONG saveCameraProperties(LONG device, const char *section, const char *settingsFile); // 69
LONG showCameraProperties(LONG device, void *parentWindow);                            // 70
LONG bcamShutter(LONG device);                                                         // 75
LONG setBcamShutter(LONG device, LONG value);                                          // 76
LONG bcamPacketSize(LONG device);                                                      // 78
LONG setBcamPacketSize(LONG device, LONG value);                                       // 79
LONG triggerFrameRate(LONG device, LONG *enabled, LONG reserved1, LONG reserved2, LONG reserved3,
                      float *framesPerSecond); // 85
LONG setTriggerFrameRate(LONG device, LONG enable, LONG reserved1, LONG reserved2, LONG reserved3,
                         float framesPerSecond);                     // 86
LONG skipFrames(LONG device, LONG which);                            // 87
LONG setSkipFrames(LONG device, LONG which, LONG value);             // 88
LONG startAcquisitionOfAllBcams(LONG runCamera, LONG acquireImages); // 90

// Diagnostics, not bound by ordinal: how long frames took from leaving the device (read,
// decoded and converted) to their first paint in a preview, over every preview since the
// last reset. Frames a busy interface thread skipped are not counted.
struct PreviewLatency {
    long count = 0;
    double meanMs = 0;
    double maxMs = 0;
};
PreviewLatency previewLatency();
void resetPreviewLatency();

// Binding by ordinal. Ordinal<N>::type is the function type of ordinal N and
// Ordinal<N>::function its implementation; procByOrdinal gives the same address erased.
using Proc = void (*)();

struct OrdinalEntry {
    int ordinal;
    const char *name;
    Proc proc;
};

// Every ordinal, ascending.
std::span<const OrdinalEntry> ordinalTable();
// The function of an ordinal, or null for an ordinal the library does not have.
Proc procByOrdinal(int ordinal);

template <int N> struct Ordinal;
#define VIDGRAB_ORDINAL(n, fn)                                                                     \
    template <> struct Ordinal<n> {                                                                \
        using type = decltype(&fn);                                                                \
        static constexpr type function = &fn;                                                      \
    };
VIDGRAB_ORDINAL(1, attachDevice)
VIDGRAB_ORDINAL(2, releaseDevice)
VIDGRAB_ORDINAL(3, captureStatistics)
VIDGRAB_ORDINAL(5, captureSize)
VIDGRAB_ORDINAL(6, cameraType)
VIDGRAB_ORDINAL(7, bcamDataRate)
VIDGRAB_ORDINAL(8, captureFrameRate)
VIDGRAB_ORDINAL(10, setPreviewWindow)
VIDGRAB_ORDINAL(11, captureFormat)
VIDGRAB_ORDINAL(12, setCaptureFile)
VIDGRAB_ORDINAL(13, saveCaptureAs)
VIDGRAB_ORDINAL(16, preview)
VIDGRAB_ORDINAL(17, captureInit)
VIDGRAB_ORDINAL(19, captureStart)
VIDGRAB_ORDINAL(20, captureSequence)
VIDGRAB_ORDINAL(21, captureStop)
VIDGRAB_ORDINAL(22, initStartMultiple)
VIDGRAB_ORDINAL(23, unInitStartMultiple)
VIDGRAB_ORDINAL(24, startMultiple)
VIDGRAB_ORDINAL(25, stopMultiple)
VIDGRAB_ORDINAL(27, captureReady)
VIDGRAB_ORDINAL(33, mpegIsEncoding)
VIDGRAB_ORDINAL(37, mpegAvailable)
VIDGRAB_ORDINAL(38, frameTimeStatistics)
VIDGRAB_ORDINAL(39, referenceTime)
VIDGRAB_ORDINAL(40, cpuUsage)
VIDGRAB_ORDINAL(42, getMode)
VIDGRAB_ORDINAL(43, setMode)
VIDGRAB_ORDINAL(44, setFrameCallback)
VIDGRAB_ORDINAL(48, frameDone)
VIDGRAB_ORDINAL(49, enableFrameGrabber)
VIDGRAB_ORDINAL(52, mpegActivate)
VIDGRAB_ORDINAL(55, mpegShowProperties)
VIDGRAB_ORDINAL(56, getTimeShift)
VIDGRAB_ORDINAL(57, setTimeShift)
VIDGRAB_ORDINAL(58, bufferFillState)
VIDGRAB_ORDINAL(63, allowOverlay)
VIDGRAB_ORDINAL(64, allowTimeShift)
VIDGRAB_ORDINAL(65, allowBcam)
VIDGRAB_ORDINAL(66, allowMpeg)
VIDGRAB_ORDINAL(67, cameraPropertiesAvailable)
VIDGRAB_ORDINAL(68, loadCameraProperties)
VIDGRAB_ORDINAL(69, saveCameraProperties)
VIDGRAB_ORDINAL(70, showCameraProperties)
VIDGRAB_ORDINAL(75, bcamShutter)
VIDGRAB_ORDINAL(76, setBcamShutter)
VIDGRAB_ORDINAL(78, bcamPacketSize)
VIDGRAB_ORDINAL(79, setBcamPacketSize)
VIDGRAB_ORDINAL(85, triggerFrameRate)
VIDGRAB_ORDINAL(86, setTriggerFrameRate)
VIDGRAB_ORDINAL(87, skipFrames)
VIDGRAB_ORDINAL(88, setSkipFrames)
VIDGRAB_ORDINAL(90, startAcquisitionOfAllBcams)
#undef VIDGRAB_ORDINAL

// The calls with a typed function pointer: Ordinal<N>::type from procByOrdinal(N).
template <int N> typename Ordinal<N>::type bind() {
    return reinterpret_cast<typename Ordinal<N>::type>(procByOrdinal(N));
}

} // namespace vidgrab
