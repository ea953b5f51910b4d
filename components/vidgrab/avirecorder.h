// Writes captured BGRA frames into an AVI file as Motion JPEG, one AVI frame per captured
// frame at the nominal rate, on a thread of its own behind a bounded queue.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vidgrab {

class AviRecorder {
public:
    // Frames waiting for the encoder at most; a frame that finds the queue full is dropped.
    static constexpr std::size_t kQueueCapacity = 16;

    ~AviRecorder(); // finishes the file
    AviRecorder(const AviRecorder &) = delete;
    AviRecorder &operator=(const AviRecorder &) = delete;

    // Creates the file (replacing it) and writes its header; nothing when that fails.
    static std::unique_ptr<AviRecorder> create(const std::string &path, int width, int height,
                                               int rateNum, int rateDen);

    enum class Push { Queued, Dropped, Closed };
    // Queues a copy of one frame of the size given at creation (rows of width * 4 bytes).
    Push push(const std::vector<std::uint8_t> &bgra);

    // Writes what is queued, closes the file with its index and stops the thread; later
    // calls do nothing.
    void finish();

    std::int64_t written() const { return m_written.load(); }
    // Frames lost because the encoder or the file failed (the file still closes cleanly).
    std::int64_t failed() const { return m_failed.load(); }
    // Queue fill, 0 (empty) to 1 (full).
    float fillState() const;

private:
    AviRecorder();
    void run();
    bool encode(const std::vector<std::uint8_t> *bgra); // null flushes the encoder

    struct Codec;
    std::unique_ptr<Codec> m_codec;
    int m_width = 0, m_height = 0;

    std::mutex m_finishMutex; // held for the whole of finish(), so a second caller waits
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::vector<std::uint8_t>> m_queue;
    bool m_closing = false;
    bool m_finished = false;
    std::thread m_thread;
    std::atomic<std::int64_t> m_written{0};
    std::atomic<std::int64_t> m_failed{0};
};

} // namespace vidgrab
