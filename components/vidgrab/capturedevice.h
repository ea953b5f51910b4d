// One attached capture device: its capture thread, preview, per-frame callback, recording
// and counters. Created by attaching, destroyed by releasing; every member but the capture
// thread's own work is called from the host's thread.
#pragma once

#include "components/vidgrab/avirecorder.h"
#include "components/vidgrab/devicelist.h"
#include "components/vidgrab/framesource.h"
#include "components/vidgrab/vidgrab.h"

#include <QWidget>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace vidgrab {

class PreviewRelay;

// Where a capture file name lands. A name with a drive letter ("c:\\capture.avi", the video
// view's default) names no place here: it becomes its last part in the user's video folder
// (the temporary folder when there is none), rather than a file named with backslashes in
// the working folder. Every other name stays as it is.
std::string captureFilePath(const std::string &name);

struct CaptureCounts {
    float elapsedSeconds = 0; // since the recording started; frozen when it ends
    LONG dropped = 0;         // frames lost to the recording (see docs/vidgrab.md)
    LONG written = 0;         // frames in the capture file
    LONG captured = 0;        // frames captured since the device was opened
    LONG sourceGaps = 0;      // frames the device skipped before reaching Vidgrab
};

struct IntervalStatistics {
    LONG count = 0;                                 // intervals measured
    LONGLONG minimum = 0, maximum = 0, average = 0; // 100-ns units
};

class CaptureDevice {
public:
    CaptureDevice(DeviceInfo info, QWidget *host);
    ~CaptureDevice(); // stops the thread, finishes any recording, removes the preview

    const DeviceInfo &info() const { return m_info; }
    QWidget *host() const { return m_host; }

    LONG setPreview(bool on);
    void setGeometry(int x, int y, int width, int height, bool repaint);
    // The format of the opened device; false before it was ever opened.
    bool format(int &width, int &height, double &rate) const;
    bool delivering() const { return m_delivering.load(); }
    bool onCaptureThread() const { return std::this_thread::get_id() == m_threadId.load(); }

    // The file grows as long as the recording runs: no size is asked for.
    LONG setCaptureFile(const std::string &path);
    LONG captureInit();
    LONG captureStart();
    LONG captureStop();
    LONG saveCaptureAs(const std::string &path);

    CaptureCounts counts() const;
    IntervalStatistics intervals() const;
    LONGLONG referenceTime(LONG type) const;
    float bufferFill() const;

    LONG mode(LONG selector) const;
    LONG setMode(LONG selector, LONG value);
    void installCallback(FrameCallback callback, bool enable, void *context);
    void enableCallback(bool enable);

    // The format (Width, Height, FrameRate) to and from [section] of an INI file; a loaded
    // format applies from the next time the device opens.
    LONG saveFormat(const std::string &section, const std::string &file) const;
    LONG loadFormat(const std::string &section, const std::string &file);

private:
    void run();
    void onFrame(CapturedFrame &frame);
    void stopThread();
    LONG finishRecording();

    const DeviceInfo m_info;
    QWidget *const m_host;
    PreviewRelay *m_relay = nullptr;

    std::unique_ptr<FrameSource> m_source;
    std::thread m_thread;
    std::atomic<std::thread::id> m_threadId{};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_delivering{false};
    std::atomic<bool> m_previewOn{false};

    mutable std::mutex m_mutex; // guards everything below
    int m_width = 0, m_height = 0, m_rateNum = 0, m_rateDen = 1;
    FormatRequest m_request;
    LONG m_modes[2] = {0, 0};
    FrameCallback m_callback = nullptr;
    void *m_callbackContext = nullptr;
    bool m_callbackInstalled = false;
    bool m_callbackEnabled = false;
    std::string m_capturePath;
    std::shared_ptr<AviRecorder> m_recorder;
    bool m_recorderOpen = false; // created and not yet finished
    bool m_recording = false;    // frames go to the recorder
    std::optional<std::chrono::steady_clock::time_point> m_recordStart, m_recordEnd;
    // Refused by the full queue, or skipped by the device, while recording.
    LONG m_recordDropped = 0;
    LONG m_captured = 0;
    LONG m_sourceGaps = 0;
    std::optional<std::int64_t> m_lastIndex, m_lastStreamTime;
    LONGLONG m_newestStreamTime = 0, m_newestWallTime = 0;
    IntervalStatistics m_intervals;
    LONGLONG m_intervalSum = 0;
};

} // namespace vidgrab
