// Live video and capture members: everything goes to the capture library by ordinal, with
// the control's current device number first.
#include "control/cvviewctrl.h"

#include "components/datalib/interfaces.h"
#include "platform/ui/dialogs.h"

#include <QApplication>
#include <QPainter>
#include <QResizeEvent>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

namespace quivex {

using platform::Variant;

namespace {

constexpr LONG kHighestDevice = 7;
constexpr std::size_t kMaxDevices = 100;
constexpr int kStatisticsPeriodMs = 50;

} // namespace

void CVViewCtrl::readCaptureSize() {
    LONG w = 1, h = 1;
    if (m_vidgrab.captureSize(m_captureDevice, &w, &h) == 0) {
        m_captureWidth = w;
        m_captureHeight = h;
    }
}

// Runs on the capture thread for every captured frame: graphic items are drawn into the
// frame at scale 1, and hosts that asked for it get the frame through LiveImageCallback.
void CVViewCtrl::liveFrame(void *context, void *sample, const vidgrab::BitmapInfoHeader *header,
                           vidgrab::FrameBuffer *frame) {
    auto *self = static_cast<CVViewCtrl *>(context);
    if (!self || !header || !frame || !frame->data)
        return;
    QImage image(frame->data, frame->width, frame->height, frame->stride, QImage::Format_RGB32);
    QPainter painter(&image);
    self->drawLiveImage(painter, QSize(header->width, std::abs(header->height)));
    if (self->m_liveImageEvents != 0)
        emit self->LiveImageCallback(static_cast<IUnknown *>(sample),
                                     const_cast<void *>(static_cast<const void *>(header)),
                                     &painter);
}

void CVViewCtrl::SetLiveVideo(BOOL live) {
    if (live) {
        // Only an unchosen device (-1) lets the control try the next numbers.
        const LONG first = std::max<LONG>(m_captureDevice, 0);
        const LONG last = m_captureDevice < 0 ? kHighestDevice : first;
        for (LONG device = first; device <= last; ++device) {
            if (m_vidgrab.attach(this, device) != 0)
                continue;
            if (m_vidgrab.preview(m_captureDevice, 1) != 0) {
                m_vidgrab.attach(nullptr, device);
                continue;
            }
            readCaptureSize();
            m_vidgrab.setCaptureFile(m_captureDevice, m_captureFilename, m_captureFileSize);
            noteLiveDataTime(); // before the first captured frame is drawn
            m_liveVideo = 1;
            if (m_overlayFlags & TALVOROVL_GRAPHICITEMS) {
                m_vidgrab.enableCallback(m_captureDevice, 0, 1);
                m_vidgrab.installCallback(m_captureDevice, 0, &CVViewCtrl::liveFrame, 1, this);
            }
            if (m_captureDevice < 0)
                m_captureDevice = device;
            break;
        }
    } else if (m_liveVideo) {
        m_vidgrab.preview(m_captureDevice, 0);
        m_vidgrab.release(m_captureDevice);
        m_liveVideo = 0;
    }
    m_modified = true;
}

void CVViewCtrl::resizeEvent(QResizeEvent *event) {
    // The capture preview follows the window's client size.
    m_vidgrab.resize(m_captureDevice, 0, 0, width(), height(), 1, 0);
    QWidget::resizeEvent(event);
}

LONG CVViewCtrl::CaptureFrameRate() const {
    return m_vidgrab.frameRate(m_captureDevice);
}

void CVViewCtrl::SetCaptureFrameRate(LONG) {
    // The rate comes from the capture library; a put has no effect there.
    m_modified = true;
}

LONG CVViewCtrl::CaptureWidth() const {
    LONG a = 0, b = 0, w = 0, h = 0;
    m_vidgrab.format(m_captureDevice, &a, &b, &w, &h);
    return w;
}

LONG CVViewCtrl::CaptureHeight() const {
    LONG a = 0, b = 0, w = 0, h = 0;
    m_vidgrab.format(m_captureDevice, &a, &b, &w, &h);
    return h;
}

void CVViewCtrl::SetCaptureFileSize(LONG size) {
    if (size > 0)
        m_captureFileSize = size;
    m_modified = true;
}

void CVViewCtrl::SetCaptureDevice(LONG device) {
    if (!m_liveVideo)
        m_captureDevice = device;
    m_modified = true;
}

LONG CVViewCtrl::CaptureMode() const {
    return m_vidgrab.getMode(m_captureDevice, 1);
}
void CVViewCtrl::SetCaptureMode(LONG mode) {
    m_vidgrab.setMode(m_captureDevice, 1, mode);
    m_modified = true;
}
LONG CVViewCtrl::CapturePreviewMode() const {
    return m_vidgrab.getMode(m_captureDevice, 0);
}
void CVViewCtrl::SetCapturePreviewMode(LONG mode) {
    m_vidgrab.setMode(m_captureDevice, 0, mode);
    m_modified = true;
}

Variant CVViewCtrl::ReferenceTime(LONG nType) const {
    return Variant(m_vidgrab.referenceTime(m_captureDevice, nType));
}

std::string CVViewCtrl::CaptureDeviceName(LONG nType) const {
    const bool bcam = m_bcamSwitch != 0;
    if (m_captureDevice < 0 || m_captureDevice >= m_vidgrab.deviceCount(bcam))
        return {};
    if (nType == 0)
        return m_vidgrab.friendlyName(bcam, m_captureDevice);
    if (nType == 1)
        return m_vidgrab.displayName(bcam, m_captureDevice);
    return {};
}

LONG CVViewCtrl::CameraType() const {
    return m_vidgrab.cameraType(m_captureDevice);
}
LONG CVViewCtrl::CameraPropertiesAvailable() const {
    return m_vidgrab.cameraPropertiesAvailable(m_captureDevice);
}

LONG CVViewCtrl::DoDialogVideoSource() {
    return -2;
}
LONG CVViewCtrl::DoDialogVideoFormat() {
    return -2;
}
LONG CVViewCtrl::DoDialogVideoDisplay() {
    return -2;
}

LONG CVViewCtrl::CaptureInit() {
    if (!m_liveVideo || m_vidgrab.captureReady(m_captureDevice) != 0)
        return 0;
    return m_vidgrab.captureInit(m_captureDevice);
}

// CaptureSequence and CaptureStart: only with live video and a ready device; a started
// capture reads the capture size and ticks the statistics every 50 ms.
LONG CVViewCtrl::startCapture(LONG (VidgrabCalls::*start)(LONG)) {
    if (!m_liveVideo || m_vidgrab.captureReady(m_captureDevice) != 0)
        return 0;
    const LONG r = (m_vidgrab.*start)(m_captureDevice);
    if (r == 0) {
        readCaptureSize();
        if (!m_statisticsTimer) {
            m_statisticsTimer = new QTimer(this);
            connect(m_statisticsTimer, &QTimer::timeout, this, [this] { statisticsTick(false); });
        }
        m_statisticsTimer->start(kStatisticsPeriodMs);
    }
    return r;
}

LONG CVViewCtrl::CaptureSequence() {
    return startCapture(&VidgrabCalls::captureSequence);
}

LONG CVViewCtrl::CaptureStart() {
    return startCapture(&VidgrabCalls::captureStart);
}

void CVViewCtrl::statisticsTick(bool deviceList) {
    auto fire = [this](LONG device, LONG reported) {
        float elapsed = 0.0f;
        LONG dropped = 0, second = 0, a = 0, b = 0;
        if (m_vidgrab.statistics(device, &elapsed, &dropped, &second, &a, &b) == 0)
            emit VideoStream(reported, dropped + second, dropped,
                             static_cast<LONG>(elapsed * 1000.0f));
    };
    if (!deviceList) {
        fire(m_captureDevice, -1);
        return;
    }
    for (const LONG device : m_deviceList)
        fire(device, device);
}

LONG CVViewCtrl::CaptureStop() {
    if (m_statisticsTimer)
        m_statisticsTimer->stop();
    // The last event comes after the capture stopped, so that it reports the final counts:
    // frames captured or written between a tick and the stop would otherwise be missing.
    m_vidgrab.captureStop(m_captureDevice);
    statisticsTick(false);
    m_vidgrab.preview(m_captureDevice, 1);
    readCaptureSize();
    platform::ui::dialogs().beep();
    return 0;
}

LONG CVViewCtrl::CaptureSaveAs(const std::string &bsFilename) {
    return m_vidgrab.saveAs(m_captureDevice, bsFilename);
}

BOOL CVViewCtrl::GetCaptureStatistics(Variant *pnCount, Variant *pvMin, Variant *pvMax,
                                      Variant *pvAvg) {
    if (!m_liveVideo || !pnCount || !pvMin || !pvMax || !pvAvg)
        return 0;
    LONG count = 0;
    platform::LONGLONG minimum = 0, maximum = 0, average = 0;
    const LONG r =
        m_vidgrab.timingStatistics(m_captureDevice, &count, &minimum, &maximum, &average);
    *pnCount = Variant(count);
    *pvMin = Variant(minimum);
    *pvMax = Variant(maximum);
    *pvAvg = Variant(average);
    return r;
}

LONG CVViewCtrl::LoadCameraProperties(const std::string &section, const std::string &ini) {
    return m_vidgrab.loadCameraProperties(m_captureDevice, section, ini);
}

LONG CVViewCtrl::SaveCameraProperties(const std::string &section, const std::string &ini) {
    return m_vidgrab.saveCameraProperties(m_captureDevice, section, ini);
}

LONG CVViewCtrl::ShowCameraProperties(QWidget *parent) {
    return m_vidgrab.showCameraProperties(m_captureDevice, parent);
}

LONG CVViewCtrl::CaptureInitStartMultiple(const Variant &vDevices, const Variant &vObjectsToWaitFor,
                                          Variant *pvAllObjectsToWaitFor, LONG nMilliseconds) {
    auto i4Array = [](const Variant &v) {
        return v.isArray() && v.array()->elementType == platform::VarType::I4;
    };
    if (!i4Array(vDevices) || !(vObjectsToWaitFor.isEmpty() || i4Array(vObjectsToWaitFor)))
        return platform::E_INVALIDARG;
    const auto &devices = vDevices.array()->elements;
    // The device list holds 100 numbers; a longer list is refused as a bad argument.
    if (devices.size() > kMaxDevices)
        return platform::E_INVALIDARG;
    std::vector<LONG> deviceNumbers, objects;
    for (const auto &d : devices)
        deviceNumbers.push_back(d.toLong());
    if (vObjectsToWaitFor.isArray())
        for (const auto &o : vObjectsToWaitFor.array()->elements)
            objects.push_back(o.toLong());
    m_deviceList = deviceNumbers;
    std::vector<LONG> results(deviceNumbers.size() + objects.size(), 0);
    const LONG r = m_vidgrab.multipleInitStart(
        static_cast<LONG>(deviceNumbers.size()), deviceNumbers.data(),
        static_cast<LONG>(objects.size()), objects.data(),
        pvAllObjectsToWaitFor ? results.data() : nullptr, nMilliseconds);
    if (pvAllObjectsToWaitFor) {
        platform::SafeArray out{platform::VarType::I4, {}};
        for (const LONG v : results)
            out.elements.emplace_back(v);
        *pvAllObjectsToWaitFor = Variant(std::move(out));
    }
    return r;
}

LONG CVViewCtrl::CaptureUnInitStartMultiple() {
    return m_vidgrab.multipleUnInit();
}

LONG CVViewCtrl::CaptureStartMultiple() {
    const LONG r = m_vidgrab.multipleStart();
    if (r == 0) {
        readCaptureSize();
        if (!m_multipleStatisticsTimer) {
            m_multipleStatisticsTimer = new QTimer(this);
            connect(m_multipleStatisticsTimer, &QTimer::timeout, this,
                    [this] { statisticsTick(true); });
        }
        m_multipleStatisticsTimer->start(kStatisticsPeriodMs);
    }
    return r;
}

LONG CVViewCtrl::CaptureStopMultiple() {
    if (m_multipleStatisticsTimer)
        m_multipleStatisticsTimer->stop();
    const LONG stopped = m_vidgrab.multipleStop();
    statisticsTick(true); // after the stop: the final counts, as for the single device
    return stopped;
}

LONG CVViewCtrl::CaptureStartAcquisitionOfAllBCAMs(BOOL bRunCamera, BOOL bAcquireImages) {
    return m_vidgrab.startAllBcams(bRunCamera, bAcquireImages);
}

// --- Flag --------------------------------------------------------------------------------------

LONG CVViewCtrl::Flag(LONG nFlagType) const {
    const LONG d = m_captureDevice;
    switch (nFlagType) {
    case QVXW_ALLOWOVERLAY:
    case QVXW_ALLOWTIMESHIFT:
    case QVXW_ALLOWBCAM:
    case QVXW_ALLOWMPEG:
        return -1;
    case QVXW_TIMESHIFT_CAPTURE:
        return m_vidgrab.timeShift(d, 2);
    case QVXW_TIMESHIFT_PREVIEW:
        return m_vidgrab.timeShift(d, 0);
    case QVXW_TIMESHIFT_CAPTUREPREVIEW:
        return m_vidgrab.timeShift(d, 1);
    case QVXW_BUFFERFILLSTATE_CAPTURE:
        return static_cast<LONG>(m_vidgrab.bufferFillState(d, 2) * 1000.0f);
    case QVXW_BUFFERFILLSTATE_PREVIEW:
        return static_cast<LONG>(m_vidgrab.bufferFillState(d, 0) * 1000.0f);
    case QVXW_BUFFERFILLSTATE_CAPTUREPREVIEW:
        return static_cast<LONG>(m_vidgrab.bufferFillState(d, 1) * 1000.0f);
    case QVXW_BCAM_DATARATE:
        return m_vidgrab.bcamDataRate(d);
    case QVXW_BCAM_SHUTTER:
        return m_vidgrab.shutter(d);
    case QVXW_BCAM_PACKETSIZE:
        return m_vidgrab.packetSize(d);
    case QVXW_BCAM_TRIGGERFRAMERATE: {
        LONG flag = 0;
        float value = 0.0f;
        m_vidgrab.triggerFrameRate(d, &flag, 0, 0, 0, &value);
        return flag ? static_cast<LONG>(value * 1000.0f + 0.5f) : 0;
    }
    case QVXW_BCAM_SKIPFRAMES_CAPTURE:
        return m_vidgrab.skipFrames(d, 1);
    case QVXW_BCAM_SKIPFRAMES_PREVIEW:
        return m_vidgrab.skipFrames(d, 0);
    case QVXW_DRAW_STICK:
    case QVXW_DRAW_CALIB2D:
    case QVXW_DRAW_CALIB3D:
    case QVXW_DRAW_3D:
        return m_overlaySwitch[nFlagType - QVXW_DRAW_STICK];
    case QVXW_MPEG_VIDEO_AVAILABLE:
        return m_vidgrab.mpegAvailable(0);
    case QVXW_MPEG_AUDIO_AVAILABLE:
        return m_vidgrab.mpegAvailable(1);
    case QVXW_MPEG_ISENCODING:
        return m_vidgrab.mpegIsEncoding(d, 1);
    case QVXW_AVIMODE:
        return m_openMode;
    case QVXW_OVERLAY_X:
        return m_overlayX;
    case QVXW_OVERLAY_Y:
        return m_overlayY;
    case QVXW_FIRELIVEIMAGECALLBACK:
        return m_liveImageEvents;
    case QVXW_DROPPEDFRAMES: {
        float elapsed = 0.0f;
        LONG dropped = 0, second = 0, a = 0, b = 0;
        m_vidgrab.statistics(d, &elapsed, &dropped, &second, &a, &b);
        return dropped;
    }
    case QVXW_CPUUSAGE:
        return m_vidgrab.cpuUsage();
    default:
        return 0; // 32, 34 and every index without a get
    }
}

void CVViewCtrl::SetFlag(LONG nFlagType, LONG value) {
    const LONG d = m_captureDevice;
    const LONG b = value != 0 ? 1 : 0;
    switch (nFlagType) {
    case QVXW_ALLOWOVERLAY:
        m_vidgrab.allowOverlay(d, b);
        break;
    case QVXW_ALLOWTIMESHIFT:
        m_vidgrab.allowTimeShift(d, b);
        break;
    case QVXW_ALLOWBCAM:
        m_bcamSwitch = b;
        m_vidgrab.allowBcam(d, b);
        break;
    case QVXW_ALLOWMPEG:
        m_vidgrab.allowMpeg(d, b);
        break;
    case QVXW_TIMESHIFT_CAPTURE:
        m_vidgrab.setTimeShift(d, 2, value);
        break;
    case QVXW_TIMESHIFT_PREVIEW:
        m_vidgrab.setTimeShift(d, 0, value);
        break;
    case QVXW_TIMESHIFT_CAPTUREPREVIEW:
        m_vidgrab.setTimeShift(d, 1, value);
        break;
    case QVXW_BCAM_SHUTTER:
        m_vidgrab.setShutter(d, value);
        break;
    case QVXW_BCAM_PACKETSIZE:
        m_vidgrab.setPacketSize(d, value);
        break;
    case QVXW_BCAM_TRIGGERFRAMERATE:
        m_vidgrab.setTriggerFrameRate(d, value > 0 ? 1 : 0, 0, 1, 0, value * 0.001f);
        break;
    case QVXW_BCAM_SKIPFRAMES_CAPTURE:
        m_vidgrab.setSkipFrames(d, 1, value);
        break;
    case QVXW_BCAM_SKIPFRAMES_PREVIEW:
        m_vidgrab.setSkipFrames(d, 0, value);
        break;
    case QVXW_DRAW_STICK:
    case QVXW_DRAW_CALIB2D:
    case QVXW_DRAW_CALIB3D:
    case QVXW_DRAW_3D:
        m_overlaySwitch[nFlagType - QVXW_DRAW_STICK] = value;
        break;
    case QVXW_MPEG_ACTIVATE:
        if (value != 0)
            m_vidgrab.allowMpeg(d, 1);
        m_vidgrab.mpegActivate(d, b, b);
        break;
    case QVXW_MPEG_SHOWPROPERTIES:
        m_vidgrab.mpegShowProperties(this, b);
        break;
    case QVXW_OVERLAY_X:
        m_overlayX = value;
        break;
    case QVXW_OVERLAY_Y:
        m_overlayY = value;
        break;
    case QVXW_FIRELIVEIMAGECALLBACK:
        m_liveImageEvents = value;
        break;
    default:
        return; // indices without a put do nothing
    }
    m_modified = true;
}

} // namespace quivex
