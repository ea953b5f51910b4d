// The capture library as the control binds it: by ordinal, every call typed here once.
// A missing ordinal answers as a failed call, so the control behaves as without a device.
#pragma once

#include "components/vidgrab/vidgrab.h"
#include "platform/wintypes.h"

#include <string>

namespace quivex {

using platform::LONG;
using platform::LONGLONG;

// Per-frame callback the capture library calls on its capture thread.
using LiveFrameCallback = vidgrab::FrameCallback;

class VidgrabCalls {
public:
    VidgrabCalls();

    LONG attach(void *window, LONG device); // 1
    LONG release(LONG device);              // 2
    LONG statistics(LONG device, float *elapsed, LONG *dropped, LONG *second, LONG *a,
                    LONG *b);                                 // 3
    LONG captureSize(LONG device, LONG *width, LONG *height); // 5
    LONG cameraType(LONG device);                             // 6
    LONG bcamDataRate(LONG device);                           // 7
    LONG frameRate(LONG device);                              // 8
    LONG resize(LONG device, LONG x, LONG y, LONG width, LONG height, LONG repaint,
                LONG flags);                                                // 10
    LONG format(LONG device, LONG *a, LONG *b, LONG *width, LONG *height);  // 11
    LONG setCaptureFile(LONG device, const std::string &name, LONG sizeMb); // 12
    LONG saveAs(LONG device, const std::string &name);                      // 13
    LONG preview(LONG device, LONG on);                                     // 16
    LONG captureInit(LONG device);                                          // 17
    LONG captureStart(LONG device);                                         // 19
    LONG captureSequence(LONG device);                                      // 20
    LONG captureStop(LONG device);                                          // 21
    LONG multipleInitStart(LONG deviceCount, const LONG *devices, LONG objectCount,
                           const LONG *objects, LONG *results, LONG milliseconds); // 22
    LONG multipleUnInit();                                                         // 23
    LONG multipleStart();                                                          // 24
    LONG multipleStop();                                                           // 25
    LONG captureReady(LONG device);                                                // 27
    LONG mpegIsEncoding(LONG device, LONG which);                                  // 33
    LONG mpegAvailable(LONG which);                                                // 37
    LONG timingStatistics(LONG device, LONG *count, LONGLONG *minimum, LONGLONG *maximum,
                          LONGLONG *average);             // 38
    LONGLONG referenceTime(LONG device, LONG type);       // 39
    LONG cpuUsage();                                      // 40
    LONG getMode(LONG device, LONG selector);             // 42
    LONG setMode(LONG device, LONG selector, LONG value); // 43
    LONG installCallback(LONG device, LONG slot, LiveFrameCallback callback, LONG on,
                         void *context);                    // 44
    LONG callbackFrame(LONG device, LONG slot);             // 48
    LONG enableCallback(LONG device, LONG slot, LONG on);   // 49
    LONG mpegActivate(LONG device, LONG video, LONG audio); // 52
    LONG mpegShowProperties(void *window, LONG on);         // 55
    LONG timeShift(LONG device, LONG which);                // 56
    LONG setTimeShift(LONG device, LONG which, LONG value); // 57
    float bufferFillState(LONG device, LONG which);         // 58
    LONG allowOverlay(LONG device, LONG on);                // 63
    LONG allowTimeShift(LONG device, LONG on);              // 64
    LONG allowBcam(LONG device, LONG on);                   // 65
    LONG allowMpeg(LONG device, LONG on);                   // 66
    LONG cameraPropertiesAvailable(LONG device);            // 67
    LONG loadCameraProperties(LONG device, const std::string &section,
                              const std::string &ini); // 68
    LONG saveCameraProperties(LONG device, const std::string &section,
                              const std::string &ini);                                    // 69
    LONG showCameraProperties(LONG device, void *parent);                                 // 70
    LONG shutter(LONG device);                                                            // 75
    LONG setShutter(LONG device, LONG value);                                             // 76
    LONG packetSize(LONG device);                                                         // 78
    LONG setPacketSize(LONG device, LONG value);                                          // 79
    LONG triggerFrameRate(LONG device, LONG *flag, LONG a, LONG b, LONG c, float *value); // 85
    LONG setTriggerFrameRate(LONG device, LONG on, LONG a, LONG b, LONG c, float value);  // 86
    LONG skipFrames(LONG device, LONG which);                                             // 87
    LONG setSkipFrames(LONG device, LONG which, LONG value);                              // 88
    LONG startAllBcams(LONG run, LONG acquire);                                           // 90

    // The video input devices (the CCapFilter enumeration).
    LONG deviceCount(bool allowBcam) const;
    std::string friendlyName(bool allowBcam, LONG index) const;
    std::string displayName(bool allowBcam, LONG index) const;
};

} // namespace quivex
