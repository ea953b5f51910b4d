#include "components/aviplayer/videoreader.h"

#include "components/aviplayer/imagesequence.h"
#include "components/aviplayer/regularfile.h"
#include "components/aviplayer/sequencedecoder.h"
#include "components/aviplayer/streamdecoder.h"

#include <algorithm>

namespace aviplayer {

namespace {

// Frames a request may lie behind the furthest frame of a run in order and still belong to
// it (more than the player makes ahead of its caller).
constexpr int kRunSlack = 4;

} // namespace

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
    const std::scoped_lock lock(m_decodeMutex, m_mutex);
    std::size_t budget = m_settings.cacheBytes;
    if (source->independentFrames() && m_settings.independentFrames > 0)
        budget = std::min(budget, frameBytes(*first) *
                                      static_cast<std::size_t>(m_settings.independentFrames));
    m_cache.setBudget(budget);
    // The frame being read, those ahead and those behind all fit in the budget at once.
    const long long fit =
        static_cast<long long>(budget / std::max<std::size_t>(1, frameBytes(*first)));
    m_readAhead = static_cast<int>(
        std::clamp<long long>((fit - 1) / 2, 0, std::max(0, m_settings.readAhead)));
    m_keepBehind = static_cast<int>(
        std::clamp<long long>(fit - 1 - m_readAhead, 0, std::max(0, m_settings.keepBehind)));
    m_source = std::move(source);
    m_frameCount = m_source->frameCount();
    m_frameRate = m_source->frameRate();
    m_width = first->width;
    m_height = first->height;
    m_pixelFormat = first->format;
    m_fieldOrder = fieldOrderOf(*first, m_source->fieldOrder());
    m_cache.insert(0, first);
    m_stop = false;
    m_runHead = -1;
    m_aheadTo = -1;
    m_aheadDone = -1;
    if (m_readAhead > 0)
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
    const std::scoped_lock lock(m_decodeMutex, m_mutex);
    m_source.reset();
    m_cache.clear();
    m_frameCount = 0;
    m_frameRate = 0.0;
    m_width = m_height = 0;
    m_pixelFormat = -1;
    m_fieldOrder = FieldOrder::Unknown;
    m_readAhead = m_keepBehind = 0;
}

int VideoReader::frameCount() const {
    const std::lock_guard lock(m_mutex);
    return m_frameCount;
}

double VideoReader::frameRate() const {
    const std::lock_guard lock(m_mutex);
    return m_frameRate;
}

FieldOrder VideoReader::fieldOrder() const {
    const std::lock_guard lock(m_mutex);
    return m_fieldOrder;
}

std::size_t VideoReader::cachedBytes() const {
    const std::lock_guard lock(m_mutex);
    return m_cache.bytes();
}

bool VideoReader::isCached(int n) const {
    const std::lock_guard lock(m_mutex);
    return m_cache.contains(n);
}

std::size_t VideoReader::cacheBudget() const {
    const std::lock_guard lock(m_mutex);
    return m_cache.budget();
}

int VideoReader::seekCount() const {
    const std::lock_guard lock(m_decodeMutex);
    const auto *stream = dynamic_cast<const StreamDecoder *>(m_source.get());
    return stream ? stream->seekCount() : 0;
}

int VideoReader::readAheadLimit() const {
    const std::lock_guard lock(m_mutex);
    return m_aheadTo;
}

int VideoReader::readAheadFrames() const {
    const std::lock_guard lock(m_mutex);
    return m_readAhead;
}

int VideoReader::keptBehindFrames() const {
    const std::lock_guard lock(m_mutex);
    return m_keepBehind;
}

bool VideoReader::fitsFirstFrame(const AVFrame &frame) const {
    return frame.width == m_width && frame.height == m_height && frame.format == m_pixelFormat;
}

FramePtr VideoReader::decodeLocked(int n) {
    if (!m_source || n < 0 || n >= m_frameCount)
        return {};
    {
        const std::lock_guard lock(m_mutex);
        if (FramePtr hit = m_cache.find(n))
            return hit;
    }
    // Frames out of line with frame 0 are neither cached nor handed out.
    FramePtr frame = m_source->decode(n, [this](int k, const FramePtr &f) {
        if (fitsFirstFrame(*f)) {
            const std::lock_guard lock(m_mutex);
            m_cache.insert(k, f);
        }
    });
    return frame && fitsFirstFrame(*frame) ? frame : nullptr;
}

void VideoReader::noteRequestLocked(int n) {
    // A run in order: each request at most one past the furthest frame of the run, or a few
    // behind it, as when the player's display thread takes the next frames while its caller
    // takes the current one, or a step back. Anything else is a jump: a loop's wrap to frame
    // 0, a seek. It ends the run, so that no target left from it has the worker read every
    // frame up to there for nobody; read-ahead starts again with the next request in order.
    const bool inRun = m_runHead >= 0 && n <= m_runHead + 1 && n >= m_runHead - kRunSlack;
    if (!inRun) {
        m_runHead = n;
        m_aheadTo = std::min(m_aheadTo, n);
        m_aheadDone = n;
        ++m_run;
        return;
    }
    if (n == m_runHead + 1) {
        m_runHead = n;
        m_cache.erase(n - m_keepBehind - 1); // passed by the run, see the class comment
        if (m_readAhead > 0)
            m_aheadTo = std::min(n + m_readAhead, m_frameCount - 1);
    }
}

FramePtr VideoReader::frame(int n) {
    FramePtr result;
    {
        std::unique_lock lock(m_mutex);
        if (!m_source || n < 0 || n >= m_frameCount)
            return {};
        // The frame the worker is decoding is waited for: taking the decoder over would
        // only stop the worker after it, and restart it, once per frame.
        m_wake.wait(lock, [&] { return m_workerOn != n; });
        result = m_cache.find(n);
        if (result)
            noteRequestLocked(n);
    }
    if (!result) {
        ++m_waiting;
        std::unique_lock decode(m_decodeMutex);
        --m_waiting;
        result = decodeLocked(n);
        decode.unlock();
        const std::lock_guard lock(m_mutex);
        if (m_source)
            noteRequestLocked(n);
    }
    m_wake.notify_all();
    return result;
}

int VideoReader::nextToReadLocked() const {
    // Each frame is read ahead once, even when the cache cannot keep it.
    for (int k = std::max(m_runHead, m_aheadDone) + 1; k <= m_aheadTo; ++k)
        if (!m_cache.contains(k))
            return k;
    return -1;
}

void VideoReader::readAheadLoop() {
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        const int next = nextToReadLocked();
        // A caller waiting to decode goes first; it wakes the worker when it is done.
        if (next < 0 || m_waiting > 0) {
            m_wake.wait(lock);
            continue;
        }
        const int run = m_run;
        lock.unlock();
        bool decoded = false, ok = false;
        {
            const std::lock_guard decode(m_decodeMutex);
            // Callers may have come and gone meanwhile: read the frame only if it is still
            // the next one wanted, or the decoder might go back to a frame already passed.
            {
                const std::lock_guard again(m_mutex);
                if (m_waiting == 0 && run == m_run && nextToReadLocked() == next)
                    m_workerOn = next;
            }
            if (m_workerOn == next) {
                ok = decodeLocked(next) != nullptr;
                decoded = true;
            }
        }
        lock.lock();
        if (decoded) {
            m_workerOn = -1;
            m_wake.notify_all();
        }
        if (decoded && run == m_run) {
            if (!ok)
                m_aheadTo = std::min(m_aheadTo, next - 1);
            m_aheadDone = std::max(m_aheadDone, next);
        }
    }
}

} // namespace aviplayer
