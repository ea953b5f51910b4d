#include "components/aviplayer/videoreader.h"

#include "components/aviplayer/imagesequence.h"
#include "components/aviplayer/regularfile.h"
#include "components/aviplayer/sequencedecoder.h"
#include "components/aviplayer/streamdecoder.h"

#include <algorithm>

namespace aviplayer {

FieldOrder fieldOrderOf(const AVFrame &frame, FieldOrder stream) {
    // The decoder's word on the picture itself comes first (DV in AVI says it only there);
    // a frame that calls itself progressive leaves it to the container.
#ifdef AV_FRAME_FLAG_INTERLACED
    const bool interlaced = (frame.flags & AV_FRAME_FLAG_INTERLACED) != 0;
    const bool topFirst = (frame.flags & AV_FRAME_FLAG_TOP_FIELD_FIRST) != 0;
#else
    const bool interlaced = frame.interlaced_frame != 0;
    const bool topFirst = frame.top_field_first != 0;
#endif
    if (interlaced)
        return topFirst ? FieldOrder::TopFirst : FieldOrder::BottomFirst;
    return stream;
}

VideoReader::VideoReader(ReaderSettings settings)
    : m_settings(settings), m_cache(settings.cacheBytes) {}

VideoReader::~VideoReader() {
    close();
}

bool VideoReader::open(const std::string &path, const ProgressFn &progress, std::string *error) {
    close();
    std::unique_ptr<FrameSource> source;
    if (ImageSequence::isPattern(path)) {
        auto seq = std::make_unique<SequenceDecoder>();
        if (!seq->open(path, error))
            return false;
        source = std::move(seq);
    } else {
        // A FIFO or a device would block the open or never end; only files are read.
        if (!isRegularFile(path)) {
            if (error)
                *error = "not a regular file";
            return false;
        }
        // A single picture is read like a picture of a sequence: the container reader
        // cannot seek back to the start of every still picture (large JPEGs).
        if (isStillPictureName(path)) {
            auto picture = std::make_unique<SequenceDecoder>();
            if (picture->open(path, nullptr))
                source = std::move(picture);
        }
        if (!source) {
            auto stream = std::make_unique<StreamDecoder>();
            if (!stream->open(path, m_settings.threads, progress, error))
                return false;
            source = std::move(stream);
        }
    }
    FramePtr first = source->decode(0, {});
    if (!first || first->width <= 0 || first->height <= 0) {
        if (error)
            *error = "the first frame cannot be decoded";
        return false;
    }
    std::lock_guard lock(m_mutex);
    std::size_t budget = m_settings.cacheBytes;
    if (source->independentFrames() && m_settings.independentFrames > 0)
        budget = std::min(budget, frameBytes(*first) *
                                      static_cast<std::size_t>(m_settings.independentFrames));
    m_cache.setBudget(budget);
    m_source = std::move(source);
    m_width = first->width;
    m_height = first->height;
    m_pixelFormat = first->format;
    m_fieldOrder = fieldOrderOf(*first, m_source->fieldOrder());
    m_cache.insert(0, first);
    m_stop = false;
    m_lastAsked = -2;
    m_aheadTo = -1;
    m_aheadDone = -1;
    if (m_settings.readAhead > 0)
        m_worker = std::thread([this] { readAheadLoop(); });
    return true;
}

void VideoReader::stopWorker() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void VideoReader::close() {
    stopWorker();
    std::lock_guard lock(m_mutex);
    m_source.reset();
    m_cache.clear();
    m_width = m_height = 0;
    m_pixelFormat = -1;
    m_fieldOrder = FieldOrder::Unknown;
}

int VideoReader::frameCount() const {
    const CallerLock lock(*this);
    return m_source ? m_source->frameCount() : 0;
}

double VideoReader::frameRate() const {
    const CallerLock lock(*this);
    return m_source ? m_source->frameRate() : 0.0;
}

FieldOrder VideoReader::fieldOrder() const {
    const CallerLock lock(*this);
    return m_source ? m_fieldOrder : FieldOrder::Unknown;
}

std::size_t VideoReader::cachedBytes() const {
    const CallerLock lock(*this);
    return m_cache.bytes();
}

std::size_t VideoReader::cacheBudget() const {
    const CallerLock lock(*this);
    return m_cache.budget();
}

int VideoReader::seekCount() const {
    const CallerLock lock(*this);
    const auto *stream = dynamic_cast<const StreamDecoder *>(m_source.get());
    return stream ? stream->seekCount() : 0;
}

int VideoReader::readAheadLimit() const {
    const CallerLock lock(*this);
    return m_aheadTo;
}

VideoReader::CallerLock::CallerLock(const VideoReader &reader) : m_reader(reader) {
    ++m_reader.m_waiting;
    m_lock = std::unique_lock(m_reader.m_mutex);
    --m_reader.m_waiting;
}

VideoReader::CallerLock::~CallerLock() {
    m_lock.unlock();
    m_reader.m_wake.notify_all();
}

FramePtr VideoReader::frameLocked(int n) {
    if (!m_source || n < 0 || n >= m_source->frameCount())
        return {};
    if (FramePtr hit = m_cache.find(n))
        return hit;
    FramePtr frame =
        m_source->decode(n, [this](int k, const FramePtr &f) { m_cache.insert(k, f); });
    if (frame &&
        (frame->width != m_width || frame->height != m_height || frame->format != m_pixelFormat))
        return {};
    return frame;
}

FramePtr VideoReader::frame(int n) {
    const CallerLock lock(*this);
    FramePtr result = frameLocked(n);
    if (m_source && m_settings.readAhead > 0) {
        if (n <= m_aheadDone - m_settings.readAhead || n > m_aheadDone + 1)
            m_aheadDone = n; // a jump: read ahead from here
        if (n == m_lastAsked + 1)
            m_aheadTo = std::min(n + m_settings.readAhead, m_source->frameCount() - 1);
        else if (n != m_lastAsked)
            // A jump (a loop's wrap to frame 0, a seek) ends the run in order: a target left
            // from it would have the worker read every frame up to there, all the while
            // holding the lock the caller's next request waits for.
            m_aheadTo = std::min(m_aheadTo, n);
        m_lastAsked = n;
    }
    return result;
}

void VideoReader::readAheadLoop() {
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        // Each frame is read ahead once, even when the cache cannot keep it.
        int next = -1;
        for (int k = std::max(m_lastAsked, m_aheadDone) + 1; k <= m_aheadTo; ++k)
            if (!m_cache.contains(k)) {
                next = k;
                break;
            }
        if (next < 0) {
            m_wake.wait(lock);
            continue;
        }
        if (m_waiting > 0) {
            // A caller wants the lock: sleep until it has been served (it notifies).
            m_wake.wait(lock);
            continue;
        }
        // Frames out of line with frame 0 are left out of the cache as well.
        if (!frameLocked(next))
            m_aheadTo = next - 1;
        m_aheadDone = next;
    }
}

} // namespace aviplayer
