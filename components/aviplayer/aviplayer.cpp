#include "components/aviplayer/aviplayer.h"

#include "components/aviplayer/displayconvert.h"
#include "platform/colorref.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace aviplayer {

using platform::ComPtr;
using platform::ImageView;
using platform::IPicture;
using platform::LONG;
using platform::PixelFormat;

namespace {

constexpr int kLumaRowAlign = 32;
constexpr std::size_t kRecentImages = 4; // delivered frames kept for repeated paints
constexpr int kImagesAhead = 2;          // made ahead of a caller reading in order
constexpr std::size_t kSpares = 2;       // recycled pixel buffers kept

int lumaStride(int width) {
    return (width + kLumaRowAlign - 1) / kLumaRowAlign * kLumaRowAlign;
}

// Plane 0 is an 8-bit luma plane the engines can take as it is (no range conversion).
bool hasLumaPlane(int format) {
    const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(format));
    if (!d || (d->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM |
                           AV_PIX_FMT_FLAG_HWACCEL)))
        return false;
    return d->comp[0].plane == 0 && d->comp[0].depth == 8 && d->comp[0].step == 1 &&
           d->comp[0].shift == 0 && d->comp[0].offset == 0 &&
           (d->flags & AV_PIX_FMT_FLAG_PLANAR || d->nb_components == 1);
}

} // namespace

ImageView DeliveredImage::image() const {
    return ImageView{bgra.data(), width, height, bgraStride, PixelFormat::Bgra32};
}

std::optional<ImageView> DeliveredImage::lumaView() const {
    if (sourceLuma)
        return ImageView{sourceLuma, width, height, lumaStride, PixelFormat::Gray8};
    if (luma.empty())
        return std::nullopt;
    return ImageView{luma.data(), width, height, lumaStride, PixelFormat::Gray8};
}

AviPlayer::AviPlayer(ReaderSettings settings) : m_reader(settings) {}

AviPlayer::~AviPlayer() {
    close();
    sws_freeContext(m_sws);
    sws_freeContext(m_prefetchSws);
}

LONG AviPlayer::open(const std::string &file, LONG mode, const ProgressFn &progress) {
    close();
    m_error.clear();
    const auto parsed = OpenMode::parse(mode);
    if (!parsed) {
        m_error = "undefined open mode";
        return kOpenFailed;
    }
    if (file.empty() || !m_reader.open(file, progress, &m_error))
        return kOpenFailed;
    m_layout = FrameLayout(*parsed, m_reader.width(), m_reader.height(), m_reader.fieldOrder());
    if (!m_layout.valid()) {
        m_error = "the frames are too small for the open mode";
        m_reader.close();
        return kOpenFailed;
    }
    return kOpenOk;
}

void AviPlayer::close() {
    stopPrefetch(); // it reads through the reader
    m_reader.close();
    std::lock_guard lock(m_mutex);
    m_recent.clear();
    m_spares.clear();
    m_layout = FrameLayout();
}

LONG AviPlayer::frameCount() const {
    if (!isOpen())
        return 0;
    const long long count = static_cast<long long>(m_reader.frameCount()) * m_layout.perFrame();
    return static_cast<LONG>(std::min<long long>(count, INT32_MAX));
}

float AviPlayer::frameRate() const {
    // A forced rate, like the stream's own, is the rate of the stored frames: the layout
    // multiplies either, so a picture's time (number / rate) is the same in every mode.
    const double stored = m_forcedRate > 0.0f ? m_forcedRate
                          : isOpen()          ? m_reader.frameRate()
                                              : 0.0;
    return static_cast<float>(stored * m_layout.perFrame());
}

void AviPlayer::setForcedFrameRate(float rate) {
    if (std::isfinite(rate) && rate >= 0.0f)
        m_forcedRate = rate;
}

FramePtr AviPlayer::sourceFrame(int n, int *sub) {
    if (!isOpen() || n < 0 || n >= frameCount())
        return {};
    if (sub)
        *sub = n % m_layout.perFrame();
    return m_reader.frame(n / m_layout.perFrame());
}

std::shared_ptr<DeliveredImage> AviPlayer::recentLocked(int n) {
    for (auto it = m_recent.begin(); it != m_recent.end(); ++it)
        if (it->first == n) {
            m_recent.splice(m_recent.begin(), m_recent, it);
            return it->second;
        }
    return {};
}

void AviPlayer::rememberLocked(int n, std::shared_ptr<DeliveredImage> image) {
    m_recent.emplace_front(n, std::move(image));
    if (m_recent.size() > kRecentImages) {
        // Only an image no picture or painter still holds may give its pixels away.
        if (m_recent.back().second.use_count() == 1 && m_spares.size() < kSpares)
            m_spares.push_back(std::move(m_recent.back().second->bgra));
        m_recent.pop_back();
    }
}

bool AviPlayer::hasRecentLocked(int n) const {
    return std::any_of(m_recent.begin(), m_recent.end(),
                       [n](const auto &entry) { return entry.first == n; });
}

bool AviPlayer::makingLocked(int n) const {
    return std::find(m_making.begin(), m_making.end(), n) != m_making.end();
}

PixelBuffer AviPlayer::takeSpareLocked() {
    if (m_spares.empty())
        return {};
    PixelBuffer pixels = std::move(m_spares.back());
    m_spares.pop_back();
    return pixels;
}

std::shared_ptr<DeliveredImage> AviPlayer::makeImage(std::unique_lock<std::mutex> &lock, int n,
                                                     ::SwsContext *&sws) {
    m_making.push_back(n);
    PixelBuffer pixels = takeSpareLocked();
    lock.unlock();
    int sub = 0;
    const FramePtr frame = sourceFrame(n, &sub);
    std::shared_ptr<DeliveredImage> made =
        frame ? convert(frame, sub, sws, std::move(pixels)) : nullptr;
    lock.lock();
    if (const auto it = std::find(m_making.begin(), m_making.end(), n); it != m_making.end())
        m_making.erase(it);
    if (made && !hasRecentLocked(n))
        rememberLocked(n, made);
    m_made.notify_all();
    return made;
}

std::shared_ptr<const DeliveredImage> AviPlayer::image(int n) {
    if (n < 0 || n >= frameCount())
        return {};
    std::unique_lock lock(m_mutex);
    // An image being made (by the prefetch thread, or by another caller) is waited for, not
    // made twice.
    m_made.wait(lock, [&] { return !makingLocked(n); });
    requestAheadLocked(n); // before making n, so that the next ones are made meanwhile
    if (std::shared_ptr<DeliveredImage> found = recentLocked(n))
        return found;
    return makeImage(lock, n, m_sws);
}

bool AviPlayer::imageReady(int n) {
    std::lock_guard lock(m_mutex);
    return hasRecentLocked(n) && !makingLocked(n);
}

void AviPlayer::requestAheadLocked(int n) {
    if (n == m_lastImage)
        return; // a repaint
    m_inOrder = n == m_lastImage + 1;
    m_lastImage = n;
    if (!m_inOrder || nextToMakeLocked() < 0)
        return;
    if (!m_prefetcher.joinable())
        m_prefetcher = std::thread([this] { prefetchLoop(); });
    m_prefetchWake.notify_one();
}

int AviPlayer::nextToMakeLocked() const {
    if (!m_inOrder)
        return -1;
    const int last = std::min(m_lastImage + kImagesAhead, static_cast<int>(frameCount()) - 1);
    for (int k = m_lastImage + 1; k <= last; ++k)
        if (!hasRecentLocked(k) && !makingLocked(k))
            return k;
    return -1;
}

void AviPlayer::prefetchLoop() {
    std::unique_lock lock(m_mutex);
    while (!m_stopPrefetch) {
        const int k = nextToMakeLocked();
        if (k < 0)
            m_prefetchWake.wait(lock);
        else
            makeImage(lock, k, m_prefetchSws);
    }
}

void AviPlayer::stopPrefetch() {
    {
        std::lock_guard lock(m_mutex);
        m_stopPrefetch = true;
    }
    m_prefetchWake.notify_all();
    if (m_prefetcher.joinable())
        m_prefetcher.join();
    std::lock_guard lock(m_mutex);
    m_stopPrefetch = false;
    m_lastImage = -2;
    m_inOrder = false;
}

std::shared_ptr<DeliveredImage> AviPlayer::convert(const FramePtr &source, int sub,
                                                   ::SwsContext *&sws, PixelBuffer pixels) const {
    const AVFrame &frame = *source;
    auto out = std::make_shared<DeliveredImage>();
    out->width = m_layout.width();
    out->height = m_layout.height();
    // Laid out for the converter whether or not it writes here: recycled pixels may serve
    // either way.
    out->bgraStride = bgraStride(out->width);
    out->bgra = std::move(pixels);
    out->bgra.resize(bgraBytes(out->width, out->height));

    // One conversion to BGRA per delivered frame; the layout then only moves pixels.
    if (m_layout.identity()) {
        if (!convertToBgra(frame, sws, out->bgra.data()))
            return {};
    } else {
        PixelBuffer full(bgraBytes(frame.width, frame.height));
        if (!convertToBgra(frame, sws, full.data()))
            return {};
        m_layout.extract(full.data(), bgraStride(frame.width), 4, sub, out->bgra.data(),
                         out->bgraStride);
    }

    if (hasLumaPlane(frame.format) && frame.linesize[0] > 0) {
        if (m_layout.identity()) {
            out->source = source;
            out->sourceLuma = frame.data[0];
            out->lumaStride = frame.linesize[0];
        } else {
            out->lumaStride = lumaStride(out->width);
            out->luma.resize(static_cast<std::size_t>(out->lumaStride) *
                             static_cast<std::size_t>(out->height));
            m_layout.extract(frame.data[0], frame.linesize[0], 1, sub, out->luma.data(),
                             out->lumaStride);
        }
    }
    return out;
}

LONG AviPlayer::draw(QPainter *painter, LONG frame, LONG zoom, LONG column, LONG row, LONG width,
                     LONG height, LONG shiftX, LONG shiftY) {
    if (!painter || !painter->isActive() || zoom <= 0)
        return -2;
    const auto img = image(frame);
    const int right = std::min<int>(width, img ? img->width : width);
    const int bottom = std::min<int>(height, img ? img->height : height);
    const int left = std::max(0, column);
    const int top = std::max(0, row);
    const double scale = zoom / 100.0;
    const QRectF target(shiftX, shiftY, std::max(0, right - left) * scale,
                        std::max(0, bottom - top) * scale);
    if (!img) {
        if (target.isValid())
            painter->fillRect(target, platform::colorFromRef(m_backColor));
        return -1;
    }
    if (right <= left || bottom <= top)
        return 0;
    const QImage wrapped(img->bgra.data(), img->width, img->height, img->bgraStride,
                         QImage::Format_RGB32);
    painter->save();
    // Pixels stay pixels when zoomed in: measuring needs their edges.
    painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter->drawImage(target, wrapped, QRectF(left, top, right - left, bottom - top));
    painter->restore();
    return 0;
}

ComPtr<IPicture> AviPlayer::picturePart(LONG frame, LONG zoom, LONG x, LONG y, LONG width,
                                        LONG height) {
    if (zoom <= 0 || width < 0 || height < 0)
        return {};
    const auto img = image(frame);
    if (!img)
        return {};
    int left = x, top = y, right = 0, bottom = 0;
    if (width == 0 && height == 0) {
        left = top = 0;
        right = img->width;
        bottom = img->height;
    } else {
        right =
            static_cast<int>(std::min<long long>(static_cast<long long>(x) + width, img->width));
        bottom =
            static_cast<int>(std::min<long long>(static_cast<long long>(y) + height, img->height));
        left = std::max(0, left);
        top = std::max(0, top);
    }
    if (right <= left || bottom <= top)
        return {};
    // The part shares the delivered frame's pixels; the picture keeps them alive.
    ImageView part = img->image();
    part.data = part.row(top) + left * 4;
    part.width = right - left;
    part.height = bottom - top;
    std::optional<ImageView> luma = img->lumaView();
    if (luma) {
        luma->data = luma->row(top) + left;
        luma->width = part.width;
        luma->height = part.height;
    }
    if (zoom == 100)
        return platform::wrapPicture(part, img, luma);

    const int w = std::max(1, static_cast<int>(std::lround(part.width * zoom / 100.0)));
    const int h = std::max(1, static_cast<int>(std::lround(part.height * zoom / 100.0)));
    if (static_cast<long long>(w) * h > (1LL << 28))
        return {};
    const QImage source(part.data, part.width, part.height, part.stride, QImage::Format_RGB32);
    const QImage scaled = source.scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    ComPtr<IPicture> out = platform::createPicture(w, h, PixelFormat::Bgra32);
    if (!out)
        return {};
    const int stride = out->image().stride;
    for (int r = 0; r < h; ++r)
        std::memcpy(out->mutableData() + static_cast<std::ptrdiff_t>(r) * stride,
                    scaled.constScanLine(r), static_cast<std::size_t>(w) * 4);
    return out;
}

} // namespace aviplayer
