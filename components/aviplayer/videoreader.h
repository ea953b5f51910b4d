// Frame-accurate random access to a video file or picture sequence: decoded frames in the
// decoder's pixel format, an LRU cache bounded by memory, and read-ahead on a worker thread
// while frames are asked for in order. Thread-safe.
#pragma once

#include "components/aviplayer/framesource.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace aviplayer {

struct ReaderSettings {
    std::size_t cacheBytes = std::size_t{384} << 20;
    // Frames kept for a stream whose frames decode on their own (intra-only codecs,
    // pictures), where a frame not kept costs just one frame's decoding: enough for the
    // read-ahead and steps around the current frame, while the decoder's buffers are
    // recycled instead of taking fresh memory for every frame played.
    int independentFrames = 48;
    int threads = 0;   // decoder threads; 0 lets FFmpeg choose
    int readAhead = 8; // frames decoded ahead of an in-order reader; 0 switches it off
};

// The field order of a stream whose first frame is `frame` and whose container says `stream`.
FieldOrder fieldOrderOf(const AVFrame &frame, FieldOrder stream);

class VideoReader {
public:
    explicit VideoReader(ReaderSettings settings = {});
    ~VideoReader();
    VideoReader(const VideoReader &) = delete;
    VideoReader &operator=(const VideoReader &) = delete;

    // A name with a %d-style conversion opens a picture sequence of regular files; a single
    // picture (BMP, PNG, JPEG, TIFF) opens as a video of one frame and every other regular
    // file FFmpeg reads as it is. Anything else (a FIFO, a device, a folder) is refused
    // without being opened, so nothing blocks.
    bool open(const std::string &path, const ProgressFn &progress = {},
              std::string *error = nullptr);
    void close();

    bool isOpen() const { return m_source != nullptr; }
    int frameCount() const;
    double frameRate() const;
    // The field shown first in time: the first frame's flags where it says it is
    // interlaced, else the container's field order; Unknown when neither says.
    FieldOrder fieldOrder() const;
    int width() const { return m_width; }
    int height() const { return m_height; }
    int pixelFormat() const { return m_pixelFormat; } // an AVPixelFormat

    // Frame n, or null when out of range or not decodable. Every frame has the size and
    // pixel format of frame 0; a frame that differs is refused rather than misread.
    FramePtr frame(int n);

    std::size_t cachedBytes() const;
    std::size_t cacheBudget() const; // what the cache may hold for the open video
    // Restarts of the decoder at a keyframe so far (0 for picture sequences).
    int seekCount() const;
    // The last frame the worker is to read ahead to (-1: none yet). After a jump it is the
    // frame jumped to until frames are asked for in order again.
    int readAheadLimit() const;
    const ReaderSettings &settings() const { return m_settings; }

private:
    // m_mutex taken for a caller: announced, so that the read-ahead worker gives way between
    // two frames rather than keeping the lock for every frame it has left to read; the
    // worker is woken again once the caller is done.
    class CallerLock {
    public:
        explicit CallerLock(const VideoReader &reader);
        ~CallerLock();
        CallerLock(const CallerLock &) = delete;
        CallerLock &operator=(const CallerLock &) = delete;

    private:
        const VideoReader &m_reader;
        std::unique_lock<std::mutex> m_lock;
    };

    FramePtr frameLocked(int n);
    void readAheadLoop();
    void stopWorker();

    ReaderSettings m_settings;
    std::unique_ptr<FrameSource> m_source;
    FrameCache m_cache;
    int m_width = 0;
    int m_height = 0;
    int m_pixelFormat = -1;
    FieldOrder m_fieldOrder = FieldOrder::Unknown;

    mutable std::mutex m_mutex; // guards the source and the cache
    mutable std::condition_variable m_wake;
    std::thread m_worker;
    bool m_stop = false;
    int m_lastAsked = -2;
    int m_aheadTo = -1;                    // the worker decodes up to this frame
    int m_aheadDone = -1;                  // and has read ahead up to this one
    mutable std::atomic<int> m_waiting{0}; // callers queued for m_mutex; the worker gives way
};

} // namespace aviplayer
