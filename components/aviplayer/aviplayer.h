// The AVI player: opens a video or picture sequence in an open mode and delivers its frames
// as display pixels (BGRA) with the decoder's luma plane, draws them into a QPainter and
// cuts picture objects from them. Plain C++; the dispatch object exposes it by DISPID.
#pragma once

#include "components/aviplayer/framelayout.h"
#include "components/aviplayer/videoreader.h"
#include "platform/picture.h"

#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

class QPainter;
struct SwsContext;

namespace aviplayer {

// Open results: 0 success, -1 failure of any kind (hosts test for -1).
inline constexpr platform::LONG kOpenOk = 0;
inline constexpr platform::LONG kOpenFailed = -1;

// Allocates without zeroing: every delivered pixel is written by the conversion right after,
// and clearing megabytes per frame first costs the play loop measurably.
template <class T> struct UninitializedAllocator : std::allocator<T> {
    template <class U> struct rebind { using other = UninitializedAllocator<U>; };
    UninitializedAllocator() = default;
    template <class U> UninitializedAllocator(const UninitializedAllocator<U> &) {}
    template <class U> void construct(U *p) noexcept { ::new (static_cast<void *>(p)) U; }
    template <class U, class... A> void construct(U *p, A &&...args) {
        ::new (static_cast<void *>(p)) U(std::forward<A>(args)...);
    }
};
using PixelBuffer = std::vector<std::uint8_t, UninitializedAllocator<std::uint8_t>>;

// One delivered frame: BGRA display pixels and, where the source had one, its luma plane
// at the delivered geometry. BGRA rows are laid out for FFmpeg's converter (bgraStride(),
// with slack after the last row); luma rows are padded to 32 bytes.
struct DeliveredImage {
    int width = 0;
    int height = 0;
    PixelBuffer bgra;
    PixelBuffer luma; // empty when the source has no 8-bit luma plane
    int bgraStride = 0;
    int lumaStride = 0;
    // When the frame is delivered as decoded, its luma is the decoder's own plane, kept
    // alive here instead of copied.
    FramePtr source;
    const std::uint8_t *sourceLuma = nullptr;

    platform::ImageView image() const;
    std::optional<platform::ImageView> lumaView() const;
};

class AviPlayer {
public:
    explicit AviPlayer(ReaderSettings settings = {});
    ~AviPlayer();

    platform::LONG open(const std::string &file, platform::LONG mode,
                        const ProgressFn &progress = {});
    void close();
    bool isOpen() const { return m_reader.isOpen(); }
    const std::string &lastError() const { return m_error; }

    // Frames as delivered, after mode, rotation and flip; 0 when nothing is open.
    platform::LONG frameCount() const;
    platform::LONG width() const { return isOpen() ? m_layout.width() : 0; }
    platform::LONG height() const { return isOpen() ? m_layout.height() : 0; }
    // Delivered frames per second: the rate of the stored frames (the forced rate while one
    // is set, else the video's own average rate) times the layout's frames per stored frame.
    float frameRate() const;
    // The forced rate of the stored frames, as set (not multiplied by the layout).
    float forcedFrameRate() const { return m_forcedRate; }
    // 0 clears; negative or non-finite values are ignored.
    void setForcedFrameRate(float rate);
    platform::COLORREF backColor() const { return m_backColor; }
    void setBackColor(platform::COLORREF color) { m_backColor = color; }

    // Delivered frame n, or null when out of range or not decodable.
    std::shared_ptr<const DeliveredImage> image(int n);
    // The image of frame n is made already (by an earlier call or read ahead while
    // frames are asked for in order), so image(n) returns at once.
    bool imageReady(int n);
    // Source frame and sub-picture behind delivered frame n.
    FramePtr sourceFrame(int n, int *sub = nullptr);

    // Draws frame n, source columns and rows from (column, row) to (width, height), scaled
    // by zoom/100, with its top left at (shiftX, shiftY). 0, or -1 with nothing drawn but
    // the back colour when there is no such frame, -2 for a bad argument.
    platform::LONG draw(QPainter *painter, platform::LONG frame, platform::LONG zoom,
                        platform::LONG column, platform::LONG row, platform::LONG width,
                        platform::LONG height, platform::LONG shiftX, platform::LONG shiftY);
    // A picture of the part (x, y, width, height) of frame n, scaled by zoom/100; width and
    // height 0 give the whole frame. The part is clipped to the frame; null when nothing
    // of it is left or the frame is missing.
    platform::ComPtr<platform::IPicture> picturePart(platform::LONG frame, platform::LONG zoom,
                                                     platform::LONG x, platform::LONG y,
                                                     platform::LONG width, platform::LONG height);

    VideoReader &reader() { return m_reader; }

private:
    // Converts a source frame to a delivered image with the given converter, into `pixels`
    // when they are large enough. Reads only the layout, so it runs without the lock.
    std::shared_ptr<DeliveredImage> convert(const FramePtr &source, int sub, ::SwsContext *&sws,
                                            PixelBuffer pixels) const;
    // Under m_mutex: the recent image of frame n (made the most recent), or null.
    std::shared_ptr<DeliveredImage> recentLocked(int n);
    // Under m_mutex: keeps an image among the recent ones, recycling the pixels of the one
    // that drops out when nobody holds it.
    void rememberLocked(int n, std::shared_ptr<DeliveredImage> image);
    bool hasRecentLocked(int n) const; // without changing the order
    bool makingLocked(int n) const;
    PixelBuffer takeSpareLocked();
    // Makes the image of frame n outside the lock (it is marked as being made meanwhile, so
    // that nobody makes it twice) and keeps it among the recent ones; null when the frame
    // cannot be had.
    std::shared_ptr<DeliveredImage> makeImage(std::unique_lock<std::mutex> &lock, int n,
                                              ::SwsContext *&sws);

    // While frames are asked for in order, the images of the next ones are made on a thread
    // of their own, so that their conversion overlaps the use of the current one (and, when
    // the caller only waits, the caller's own conversion of a frame not yet begun).
    void requestAheadLocked(int n);
    int nextToMakeLocked() const; // -1 when nothing ahead is left to make
    void prefetchLoop();
    void stopPrefetch();

    VideoReader m_reader;
    FrameLayout m_layout;
    std::string m_error;
    float m_forcedRate = 0.0f;
    platform::COLORREF m_backColor = 0;

    std::mutex m_mutex; // the delivered images and the converters
    std::list<std::pair<int, std::shared_ptr<DeliveredImage>>> m_recent;
    // The pixels of images dropped from m_recent that nobody else held: the next deliveries
    // reuse them instead of taking fresh memory from the system for every frame.
    std::vector<PixelBuffer> m_spares;
    std::vector<int> m_making; // frames whose images are being made, by anyone
    ::SwsContext *m_sws = nullptr;

    // The prefetch thread and its state, guarded by m_mutex.
    std::thread m_prefetcher;
    std::condition_variable m_prefetchWake; // a frame is wanted, or stop
    std::condition_variable m_made;         // an image being made is done
    int m_lastImage = -2;                   // the frame last asked for through image()
    bool m_inOrder = false;                 // and it followed the one before
    bool m_stopPrefetch = false;
    ::SwsContext *m_prefetchSws = nullptr; // the prefetch thread's own converter
};

} // namespace aviplayer
