// Frame-accurate random access to a video file or picture sequence: decoded frames in the
// decoder's pixel format, an LRU cache bounded by memory, and read-ahead on a worker thread
// while frames are asked for in order. Thread-safe.
//
// What an in-order run keeps: the frames read ahead and a few behind the reader, for steps
// back. Older frames of the run are let go as the run passes them, so that their buffers go
// back to the decoder's pool and are decoded into again: a run through a long video then
// works in the same few megabytes instead of taking fresh memory from the system for every
// frame (which the system must clear first) until the whole budget is held. The budget
// serves random access and steps back further than that: a step back past the kept frames
// decodes from the keyframe once, and every frame decoded on the way is kept.
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
    int threads = 0;     // decoder threads; 0 lets FFmpeg choose
    int readAhead = 8;   // frames decoded ahead of an in-order reader; 0 switches it off
    int keepBehind = 12; // frames kept behind an in-order reader, for steps back
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
    bool isCached(int n) const;      // frame n is at hand without decoding
    std::size_t cacheBudget() const; // what the cache may hold for the open video
    // Restarts of the decoder at a keyframe so far (0 for picture sequences).
    int seekCount() const;
    // The last frame the worker is to read ahead to (-1: none yet). After a jump it is the
    // frame jumped to until frames are asked for in order again.
    int readAheadLimit() const;
    // Frames read ahead of and kept behind an in-order reader for the open video: the
    // settings' values, lowered when the budget holds fewer frames, so that reading ahead
    // never pushes out a frame the reader has yet to take.
    int readAheadFrames() const;
    int keptBehindFrames() const;
    const ReaderSettings &settings() const { return m_settings; }

private:
    // Under m_decodeMutex: frame n from the cache, else decoded (every frame out on the way
    // that matches frame 0 is cached).
    FramePtr decodeLocked(int n);
    // Under m_mutex: the run state after frame n was asked for.
    void noteRequestLocked(int n);
    int nextToReadLocked() const; // under m_mutex; -1 when nothing is left to read ahead
    bool fitsFirstFrame(const AVFrame &frame) const;
    void readAheadLoop();
    void stopWorker();

    ReaderSettings m_settings;
    // Set by open and close only, which hold both mutexes (and stop the worker first).
    std::unique_ptr<FrameSource> m_source;
    int m_frameCount = 0;
    double m_frameRate = 0.0;
    int m_width = 0;
    int m_height = 0;
    int m_pixelFormat = -1;
    FieldOrder m_fieldOrder = FieldOrder::Unknown;
    int m_readAhead = 0;  // for the open video, see readAheadFrames()
    int m_keepBehind = 0; // and keptBehindFrames()

    // Two locks, taken in this order and never the other way round: m_decodeMutex for the
    // source's decoder, held for as long as a frame takes to decode, and m_mutex for the
    // cache and the run state, held briefly. A cached frame is handed out under m_mutex
    // alone, so a reader never waits for the frame the worker is decoding ahead.
    mutable std::mutex m_decodeMutex;
    mutable std::mutex m_mutex;
    FrameCache m_cache;
    mutable std::condition_variable m_wake; // the run moved on, a caller is done, or stop
    std::thread m_worker;
    bool m_stop = false;
    int m_runHead = -1;   // the furthest frame of the run in order, -1 before the first
    int m_aheadTo = -1;   // the worker decodes up to this frame
    int m_aheadDone = -1; // and has read ahead up to this one
    int m_workerOn = -1;  // the frame the worker is decoding, or -1
    int m_run = 0;        // counts jumps, so that the worker's news of an earlier run is dropped
    std::atomic<int> m_waiting{0}; // callers queued to decode; the worker gives way to them
};

} // namespace aviplayer
