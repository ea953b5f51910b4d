#include "control/vidgrabcalls.h"

#include "components/vidgrab/capfilter.h"
#include "components/vidgrab/vidgrab.h"

namespace quivex {

namespace {

// Calls ordinal N through its typed binding, or answers `failed` when the library does not
// have it.
template <int N, class R, class... A> R callOr(R failed, A... args) {
    const auto f = vidgrab::bind<N>();
    return f ? static_cast<R>(f(args...)) : failed;
}

constexpr LONG kFailed = -1;

} // namespace

VidgrabCalls::VidgrabCalls() = default;

LONG VidgrabCalls::attach(void *window, LONG device) {
    return callOr<1>(kFailed, window, device);
}
LONG VidgrabCalls::release(LONG device) {
    return callOr<2>(kFailed, device);
}
LONG VidgrabCalls::statistics(LONG device, float *elapsed, LONG *dropped, LONG *second, LONG *a,
                              LONG *b) {
    return callOr<3>(kFailed, device, elapsed, dropped, second, a, b);
}
LONG VidgrabCalls::captureSize(LONG device, LONG *width, LONG *height) {
    return callOr<5>(kFailed, device, width, height);
}
LONG VidgrabCalls::cameraType(LONG device) {
    return callOr<6>(LONG{0}, device);
}
LONG VidgrabCalls::bcamDataRate(LONG device) {
    return callOr<7>(LONG{0}, device);
}
LONG VidgrabCalls::frameRate(LONG device) {
    return callOr<8>(LONG{0}, device);
}
LONG VidgrabCalls::resize(LONG device, LONG x, LONG y, LONG width, LONG height, LONG repaint,
                          LONG flags) {
    return callOr<10>(kFailed, device, x, y, width, height, repaint, flags);
}
LONG VidgrabCalls::format(LONG device, LONG *a, LONG *b, LONG *width, LONG *height) {
    return callOr<11>(kFailed, device, a, b, width, height);
}
LONG VidgrabCalls::setCaptureFile(LONG device, const std::string &name, LONG sizeMb) {
    return callOr<12>(kFailed, device, name.c_str(), sizeMb);
}
LONG VidgrabCalls::saveAs(LONG device, const std::string &name) {
    return callOr<13>(kFailed, device, name.c_str(), 0, 0);
}
LONG VidgrabCalls::preview(LONG device, LONG on) {
    return callOr<16>(kFailed, device, on);
}
LONG VidgrabCalls::captureInit(LONG device) {
    return callOr<17>(kFailed, device);
}
LONG VidgrabCalls::captureStart(LONG device) {
    return callOr<19>(kFailed, device);
}
LONG VidgrabCalls::captureSequence(LONG device) {
    return callOr<20>(kFailed, device);
}
LONG VidgrabCalls::captureStop(LONG device) {
    return callOr<21>(kFailed, device);
}
LONG VidgrabCalls::multipleInitStart(LONG deviceCount, const LONG *devices, LONG objectCount,
                                     const LONG *objects, LONG *results, LONG milliseconds) {
    return callOr<22>(kFailed, deviceCount, devices, objectCount, objects, results, milliseconds);
}
LONG VidgrabCalls::multipleUnInit() {
    return callOr<23>(kFailed);
}
LONG VidgrabCalls::multipleStart() {
    return callOr<24>(kFailed);
}
LONG VidgrabCalls::multipleStop() {
    return callOr<25>(kFailed);
}
LONG VidgrabCalls::captureReady(LONG device) {
    return callOr<27>(kFailed, device);
}
LONG VidgrabCalls::mpegIsEncoding(LONG device, LONG which) {
    return callOr<33>(LONG{0}, device, which);
}
LONG VidgrabCalls::mpegAvailable(LONG which) {
    return callOr<37>(LONG{0}, which);
}
LONG VidgrabCalls::timingStatistics(LONG device, LONG *count, LONGLONG *minimum, LONGLONG *maximum,
                                    LONGLONG *average) {
    return callOr<38>(LONG{0}, device, count, minimum, maximum, average);
}
LONGLONG VidgrabCalls::referenceTime(LONG device, LONG type) {
    return callOr<39>(LONGLONG{0}, device, type);
}
LONG VidgrabCalls::cpuUsage() {
    return callOr<40>(0);
}
LONG VidgrabCalls::getMode(LONG device, LONG selector) {
    return callOr<42>(LONG{0}, device, selector);
}
LONG VidgrabCalls::setMode(LONG device, LONG selector, LONG value) {
    return callOr<43>(kFailed, device, selector, value);
}
LONG VidgrabCalls::installCallback(LONG device, LONG slot, LiveFrameCallback callback, LONG on,
                                   void *context) {
    return callOr<44>(kFailed, device, slot, callback, on, context);
}
LONG VidgrabCalls::callbackFrame(LONG device, LONG slot) {
    return callOr<48>(kFailed, device, slot);
}
LONG VidgrabCalls::enableCallback(LONG device, LONG slot, LONG on) {
    return callOr<49>(kFailed, device, slot, on);
}
LONG VidgrabCalls::mpegActivate(LONG device, LONG video, LONG audio) {
    return callOr<52>(kFailed, device, video, audio);
}
LONG VidgrabCalls::mpegShowProperties(void *window, LONG on) {
    return callOr<55>(kFailed, window, on);
}
LONG VidgrabCalls::timeShift(LONG device, LONG which) {
    return callOr<56>(LONG{0}, device, which);
}
LONG VidgrabCalls::setTimeShift(LONG device, LONG which, LONG value) {
    return callOr<57>(kFailed, device, which, value);
}
float VidgrabCalls::bufferFillState(LONG device, LONG which) {
    return callOr<58>(0.0f, device, which);
}
LONG VidgrabCalls::allowOverlay(LONG device, LONG on) {
    return callOr<63>(kFailed, device, on);
}
LONG VidgrabCalls::allowTimeShift(LONG device, LONG on) {
    return callOr<64>(kFailed, device, on);
}
LONG VidgrabCalls::allowBcam(LONG device, LONG on) {
    return callOr<65>(kFailed, device, on);
}
LONG VidgrabCalls::allowMpeg(LONG device, LONG on) {
    return callOr<66>(kFailed, device, on);
}
LONG VidgrabCalls::cameraPropertiesAvailable(LONG device) {
    return callOr<67>(LONG{0}, device);
}
LONG VidgrabCalls::loadCameraProperties(LONG device, const std::string &section,
                                        const std::string &ini) {
    return callOr<68>(kFailed, device, section.c_str(), ini.c_str());
}
LONG VidgrabCalls::saveCameraProperties(LONG device, const std::string &section,
                                        const std::string &ini) {
    return callOr<69>(kFailed, device, section.c_str(), ini.c_str());
}
LONG VidgrabCalls::showCameraProperties(LONG device, void *parent) {
    return callOr<70>(kFailed, device, parent);
}
LONG VidgrabCalls::shutter(LONG device) {
    return callOr<75>(LONG{0}, device);
}
LONG VidgrabCalls::setShutter(LONG device, LONG value) {
    return callOr<76>(kFailed, device, value);
}
LONG VidgrabCalls::packetSize(LONG device) {
    return callOr<78>(LONG{0}, device);
}
LONG VidgrabCalls::setPacketSize(LONG device, LONG value) {
    return callOr<79>(kFailed, device, value);
}
LONG VidgrabCalls::triggerFrameRate(LONG device, LONG *flag, LONG a, LONG b, LONG c, float *value) {
    return callOr<85>(kFailed, device, flag, a, b, c, value);
}
LONG VidgrabCalls::setTriggerFrameRate(LONG device, LONG on, LONG a, LONG b, LONG c, float value) {
    return callOr<86>(kFailed, device, on, a, b, c, value);
}
LONG VidgrabCalls::skipFrames(LONG device, LONG which) {
    return callOr<87>(LONG{0}, device, which);
}
LONG VidgrabCalls::setSkipFrames(LONG device, LONG which, LONG value) {
    return callOr<88>(kFailed, device, which, value);
}
LONG VidgrabCalls::startAllBcams(LONG run, LONG acquire) {
    return callOr<90>(kFailed, run, acquire);
}

LONG VidgrabCalls::deviceCount(bool allowBcam) const {
    vidgrab::CCapFilter filter;
    filter.AllowBCAM(allowBcam ? 1 : 0);
    filter.Enum(vidgrab::kVideoInputDeviceCategory);
    return filter.Count();
}

std::string VidgrabCalls::friendlyName(bool allowBcam, LONG index) const {
    vidgrab::CCapFilter filter;
    filter.AllowBCAM(allowBcam ? 1 : 0);
    filter.Enum(vidgrab::kVideoInputDeviceCategory);
    return filter.FriendlyName(index);
}

std::string VidgrabCalls::displayName(bool allowBcam, LONG index) const {
    vidgrab::CCapFilter filter;
    filter.AllowBCAM(allowBcam ? 1 : 0);
    filter.Enum(vidgrab::kVideoInputDeviceCategory);
    return filter.DisplayName(index);
}

} // namespace quivex
