#include "components/vidgrab/capturedevice.h"

#include "components/vidgrab/previewwidget.h"

#include "platform/profile.h"

#include <QDir>
#include <QStandardPaths>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace vidgrab {

namespace {

LONGLONG wallClock100ns() {
    using namespace std::chrono;
    return duration_cast<duration<LONGLONG, std::ratio<1, 10000000>>>(
               system_clock::now().time_since_epoch())
        .count();
}

} // namespace

CaptureDevice::CaptureDevice(DeviceInfo info, QWidget *host)
    : m_info(std::move(info)), m_host(host) {
    // The relay and the widget belong to the host's thread.
    if (host->thread() == QThread::currentThread())
        m_relay = new PreviewRelay(host);
    else
        QMetaObject::invokeMethod(
            host, [this, host] { m_relay = new PreviewRelay(host); }, Qt::BlockingQueuedConnection);
}

CaptureDevice::~CaptureDevice() {
    stopThread();
    if (m_relay->thread() == QThread::currentThread())
        delete m_relay;
    else
        m_relay->deleteLater();
}

LONG CaptureDevice::setPreview(bool on) {
    if (on) {
        if (!m_delivering.load()) {
            stopThread(); // a thread whose device ended is joined before a new start
            m_stop = false;
            FormatRequest request;
            {
                std::lock_guard lock(m_mutex);
                request = m_request;
            }
            m_source = FrameSource::open(m_info, &m_stop, request);
            if (!m_source)
                return kFailed;
            {
                std::lock_guard lock(m_mutex);
                m_width = m_source->width();
                m_height = m_source->height();
                m_rateNum = m_source->rateNum();
                m_rateDen = m_source->rateDen();
                m_captured = 0;
                m_sourceGaps = 0;
                m_lastIndex.reset();
                m_lastStreamTime.reset();
                m_intervals = {};
                m_intervalSum = 0;
            }
            m_delivering = true;
            m_thread = std::thread(&CaptureDevice::run, this);
        }
        m_previewOn = true;
        m_relay->runOnGui([this] {
            if (PreviewWidget *w = m_relay->widget()) {
                w->show();
                w->raise();
            }
        });
        return 0;
    }
    m_previewOn = false;
    m_relay->runOnGui([this] {
        if (PreviewWidget *w = m_relay->widget())
            w->hide();
    });
    bool recording;
    {
        std::lock_guard lock(m_mutex);
        recording = m_recording;
    }
    // A running recording keeps the device capturing without its preview.
    if (!recording)
        stopThread();
    return 0;
}

void CaptureDevice::setGeometry(int x, int y, int width, int height, bool repaint) {
    m_relay->runOnGui([=, this] {
        if (PreviewWidget *w = m_relay->widget()) {
            w->setGeometry(x, y, std::max(width, 0), std::max(height, 0));
            if (repaint)
                w->update();
        }
    });
}

bool CaptureDevice::format(int &width, int &height, double &rate) const {
    std::lock_guard lock(m_mutex);
    if (m_width <= 0)
        return false;
    width = m_width;
    height = m_height;
    rate = static_cast<double>(m_rateNum) / m_rateDen;
    return true;
}

void CaptureDevice::stopThread() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    m_source.reset();
    m_delivering = false;
}

void CaptureDevice::run() {
    m_threadId = std::this_thread::get_id();
    CapturedFrame frame;
    while (!m_stop.load() && m_source->read(frame))
        onFrame(frame);
    // The device is gone (or being released): the recording ends with a complete file, and
    // only then does the device read as not delivering, so the counts read after are final.
    finishRecording();
    m_delivering = false;
    m_threadId = std::thread::id();
}

void CaptureDevice::onFrame(CapturedFrame &frame) {
    const auto capturedAt = frame.arrived; // when the device handed the frame over
    FrameCallback callback = nullptr;
    void *context = nullptr;
    std::shared_ptr<AviRecorder> recorder;
    {
        std::lock_guard lock(m_mutex);
        ++m_captured;
        if (m_lastIndex && frame.frameIndex > *m_lastIndex + 1) {
            const auto gap = static_cast<LONG>(frame.frameIndex - *m_lastIndex - 1);
            m_sourceGaps += gap;
            if (m_recording)
                m_recordDropped += gap;
        }
        if (m_lastStreamTime) {
            const LONGLONG interval = frame.streamTime100ns - *m_lastStreamTime;
            if (m_intervals.count == 0) {
                m_intervals.minimum = m_intervals.maximum = interval;
            } else {
                m_intervals.minimum = std::min(m_intervals.minimum, interval);
                m_intervals.maximum = std::max(m_intervals.maximum, interval);
            }
            ++m_intervals.count;
            m_intervalSum += interval;
            m_intervals.average = m_intervalSum / m_intervals.count;
        }
        m_lastIndex = frame.frameIndex;
        m_lastStreamTime = frame.streamTime100ns;
        m_newestStreamTime = frame.streamTime100ns;
        m_newestWallTime = wallClock100ns();
        if (m_callback && m_callbackInstalled && m_callbackEnabled) {
            callback = m_callback;
            context = m_callbackContext;
        }
        if (m_recording)
            recorder = m_recorder;
    }

    // Called without the lock, so the callback may call back into Vidgrab.
    if (callback) {
        BitmapInfoHeader header;
        header.width = frame.width;
        header.height = -frame.height; // rows top to bottom
        header.sizeImage = static_cast<platform::DWORD>(frame.bgra.size());
        FrameBuffer buffer{frame.bgra.data(), frame.width, frame.height, frame.width * 4};
        callback(context, nullptr, &header, &buffer);
    }
    if (m_previewOn.load())
        m_relay->offer(QImage(frame.bgra.data(), frame.width, frame.height, frame.width * 4,
                              QImage::Format_RGB32)
                           .copy(),
                       capturedAt);
    if (recorder && recorder->push(frame.bgra) == AviRecorder::Push::Dropped) {
        std::lock_guard lock(m_mutex);
        ++m_recordDropped;
    }
}

std::string captureFilePath(const std::string &name) {
    const bool drivePath = name.size() >= 3 && std::isalpha(static_cast<unsigned char>(name[0])) &&
                           name[1] == ':' && (name[2] == '\\' || name[2] == '/');
    if (!drivePath)
        return name;
    std::string last = name.substr(name.find_last_of("\\/") + 1);
    if (last.empty())
        last = "capture.avi";
    QString folder = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::tempPath();
    return (std::filesystem::path(folder.toStdString()) / last).string();
}

LONG CaptureDevice::setCaptureFile(const std::string &path) {
    if (path.empty())
        return kBadArgument;
    std::lock_guard lock(m_mutex);
    m_capturePath = captureFilePath(path);
    return 0;
}

LONG CaptureDevice::captureInit() {
    if (!m_delivering.load())
        return kNotReady;
    std::string path;
    int w, h, num, den;
    {
        std::lock_guard lock(m_mutex);
        if (m_recording)
            return kNotReady;
        if (m_capturePath.empty())
            return kBadArgument;
        path = m_capturePath;
        w = m_width;
        h = m_height;
        num = m_rateNum;
        den = m_rateDen;
    }
    // A prepared but unstarted file is replaced by the new one.
    finishRecording();
    std::shared_ptr<AviRecorder> recorder = AviRecorder::create(path, w, h, num, den);
    if (!recorder)
        return kFailed;
    std::lock_guard lock(m_mutex);
    m_recorder = std::move(recorder);
    m_recorderOpen = true;
    m_recordStart.reset();
    m_recordEnd.reset();
    m_recordDropped = 0;
    return 0;
}

LONG CaptureDevice::captureStart() {
    if (!m_delivering.load())
        return kNotReady;
    bool prepared;
    {
        std::lock_guard lock(m_mutex);
        if (m_recording)
            return kNotReady;
        prepared = m_recorderOpen;
    }
    if (!prepared)
        if (const LONG r = captureInit(); r != 0)
            return r;
    std::lock_guard lock(m_mutex);
    if (!m_recorderOpen) // the device ended in between and closed the file
        return kNotReady;
    m_recording = true;
    m_recordStart = std::chrono::steady_clock::now();
    return 0;
}

LONG CaptureDevice::captureStop() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_recorder)
            return kNotReady;
    }
    finishRecording();
    return 0;
}

LONG CaptureDevice::finishRecording() {
    std::shared_ptr<AviRecorder> recorder;
    {
        std::lock_guard lock(m_mutex);
        if (m_recording) {
            m_recording = false;
            m_recordEnd = std::chrono::steady_clock::now();
        }
        m_recorderOpen = false;
        recorder = m_recorder;
    }
    // Idempotent, and returns only when the file is closed, whoever finished it first.
    if (recorder)
        recorder->finish();
    return 0;
}

LONG CaptureDevice::saveCaptureAs(const std::string &path) {
    if (path.empty())
        return kBadArgument;
    std::string source;
    {
        std::lock_guard lock(m_mutex);
        if (m_recorderOpen)
            return kNotReady; // only a finished file is copied
        if (!m_recorder)
            return kNotReady;
        source = m_capturePath;
    }
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && std::filesystem::equivalent(source, path, ec))
        return 0;
    std::filesystem::copy_file(source, path, std::filesystem::copy_options::overwrite_existing, ec);
    return ec ? kFailed : 0;
}

CaptureCounts CaptureDevice::counts() const {
    std::lock_guard lock(m_mutex);
    CaptureCounts c;
    if (m_recordStart) {
        const auto end = m_recordEnd ? *m_recordEnd : std::chrono::steady_clock::now();
        c.elapsedSeconds = std::chrono::duration<float>(end - *m_recordStart).count();
    }
    c.dropped = m_recordDropped;
    if (m_recorder) {
        c.written = static_cast<LONG>(m_recorder->written());
        c.dropped += static_cast<LONG>(m_recorder->failed());
    }
    c.captured = m_captured;
    c.sourceGaps = m_sourceGaps;
    return c;
}

IntervalStatistics CaptureDevice::intervals() const {
    std::lock_guard lock(m_mutex);
    return m_intervals;
}

LONGLONG CaptureDevice::referenceTime(LONG type) const {
    std::lock_guard lock(m_mutex);
    if (type == 0)
        return m_newestStreamTime;
    if (type == 1)
        return m_newestWallTime;
    return 0;
}

float CaptureDevice::bufferFill() const {
    std::lock_guard lock(m_mutex);
    return m_recorder && m_recorderOpen ? m_recorder->fillState() : 0.0f;
}

LONG CaptureDevice::mode(LONG selector) const {
    std::lock_guard lock(m_mutex);
    return selector == 0 || selector == 1 ? m_modes[selector] : 0;
}

LONG CaptureDevice::setMode(LONG selector, LONG value) {
    if (selector != 0 && selector != 1)
        return kBadArgument;
    std::lock_guard lock(m_mutex);
    m_modes[selector] = value;
    return 0;
}

void CaptureDevice::installCallback(FrameCallback callback, bool enable, void *context) {
    std::lock_guard lock(m_mutex);
    m_callback = callback;
    m_callbackContext = context;
    m_callbackInstalled = enable && callback;
}

void CaptureDevice::enableCallback(bool enable) {
    std::lock_guard lock(m_mutex);
    m_callbackEnabled = enable;
}

LONG CaptureDevice::saveFormat(const std::string &section, const std::string &file) const {
    if (section.empty() || file.empty())
        return kBadArgument;
    int w = 0, h = 0;
    double rate = 0;
    if (!format(w, h, rate))
        return kNotReady; // nothing known before the device was opened once
    const std::string rateText = std::to_string(std::lround(rate));
    const bool ok =
        platform::writePrivateProfileString(section, "Width", std::to_string(w), file) &&
        platform::writePrivateProfileString(section, "Height", std::to_string(h), file) &&
        platform::writePrivateProfileString(section, "FrameRate", rateText, file);
    return ok ? 0 : kFailed;
}

LONG CaptureDevice::loadFormat(const std::string &section, const std::string &file) {
    if (section.empty() || file.empty())
        return kBadArgument;
    // Every value must be there and sane, or nothing changes.
    auto number = [&](const char *key, int low, int high) -> std::optional<int> {
        const auto text = platform::readProfileValue(section, key, file);
        if (!text)
            return std::nullopt;
        int value = 0;
        const char *first = text->data(), *last = first + text->size();
        const auto [end, err] = std::from_chars(first, last, value);
        if (err != std::errc() || end != last || value < low || value > high)
            return std::nullopt;
        return value;
    };
    const auto w = number("Width", 16, 8192);
    const auto h = number("Height", 16, 8192);
    const auto rate = number("FrameRate", 1, 1000);
    if (!w || !h || !rate)
        return kBadArgument;
    std::lock_guard lock(m_mutex);
    m_request = {*w, *h, *rate};
    return 0;
}

} // namespace vidgrab
