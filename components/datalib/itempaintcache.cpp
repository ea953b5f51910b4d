#include "components/datalib/itempaintcache.h"
#include "components/datalib/graphicitem.h"

#include <QPaintEngine>
#include <QPainter>
#include <QTransform>

#include <bit>
#include <cmath>
#include <cstdint>

namespace datalib {

namespace {

bool sameBits(float a, float b) {
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

// A whole number in [low, high], as an int.
std::optional<int> wholeNumber(qreal v, qreal low, qreal high) {
    if (!(v >= low && v <= high) || v != std::floor(v))
        return std::nullopt;
    return static_cast<int>(v);
}

int divideUp(int a, int b) {
    return (a + b - 1) / b;
}

// The window pixels of the target that the device shows.
QRect windowOf(const PaintGeometry &g) {
    const QRect device(-g.deviceOffset.x() / g.ratio, -g.deviceOffset.y() / g.ratio,
                       divideUp(g.deviceSize.width(), g.ratio),
                       divideUp(g.deviceSize.height(), g.ratio));
    return g.target & device;
}

QTransform deviceTransformOf(const PaintGeometry &g) {
    return QTransform(g.ratio, 0.0, 0.0, g.ratio, g.deviceOffset.x(), g.deviceOffset.y());
}

} // namespace

bool PaintGeometry::operator==(const PaintGeometry &other) const {
    return target == other.target && sameBits(scale, other.scale) &&
           sameBits(hOffset, other.hOffset) && sameBits(vOffset, other.vOffset) &&
           ratio == other.ratio && deviceOffset == other.deviceOffset &&
           deviceSize == other.deviceSize;
}

std::optional<PaintGeometry> ItemPaintCache::geometryFor(QPainter *painter, const QRect &target,
                                                         float scale, float hOffset,
                                                         float vOffset) {
    if (!target.isValid())
        return std::nullopt;
    // An opaque cached pixel replaces the device pixel and a transparent one leaves it: the
    // same as painting the item's opaque, aliased pixels there, but only under plain
    // source-over at full opacity.
    if (painter->compositionMode() != QPainter::CompositionMode_SourceOver ||
        painter->opacity() != 1.0)
        return std::nullopt;
    QPaintEngine *engine = painter->paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || !engine->paintDevice() ||
        engine->paintDevice()->devType() != QInternal::Image)
        return std::nullopt;
    // Formats whose pixels hold the 8-bit colours as they are, so that copying a cached
    // pixel gives the very value a fill would write. (Pixmaps do not tell their format.)
    const auto *image = static_cast<const QImage *>(engine->paintDevice());
    if (image->format() != QImage::Format_RGB32 &&
        image->format() != QImage::Format_ARGB32_Premultiplied)
        return std::nullopt;

    // The cache paints through the same matrix as the device, and its pixels must land on
    // device pixels one to one.
    const QTransform t = painter->deviceTransform();
    if (t.type() > QTransform::TxScale || t.m11() != t.m22())
        return std::nullopt;
    const auto ratio = wholeNumber(t.m11(), 1.0, 8.0);
    const auto dx = wholeNumber(t.dx(), -1.0e6, 1.0e6);
    const auto dy = wholeNumber(t.dy(), -1.0e6, 1.0e6);
    if (!ratio || !dx || !dy || *dx % *ratio != 0 || *dy % *ratio != 0)
        return std::nullopt;

    PaintGeometry g;
    g.target = target;
    g.scale = scale;
    g.hOffset = hOffset;
    g.vOffset = vOffset;
    g.ratio = *ratio;
    g.deviceOffset = QPoint(*dx, *dy);
    g.deviceSize = image->size();
    return g;
}

void ItemPaintCache::reset(const PaintGeometry &geometry) {
    m_geometry = geometry;
    m_window = windowOf(geometry);
    QSize size;
    if (!m_window.isEmpty())
        size = QSize((m_window.right() + 1) * geometry.ratio + geometry.deviceOffset.x(),
                     (m_window.bottom() + 1) * geometry.ratio + geometry.deviceOffset.y());
    if (m_image.size() != size)
        m_image = size.isEmpty() ? QImage() : QImage(size, QImage::Format_ARGB32_Premultiplied);
    if (!m_image.isNull())
        m_image.fill(Qt::transparent);
    m_painted = QRect();
    m_count = 0;
    m_repaint = false;
}

void ItemPaintCache::truncate(std::size_t first) {
    if (first < m_count) {
        m_count = first;
        m_repaint = true;
    }
}

void ItemPaintCache::fill(const std::vector<GraphicItem *> &items, std::size_t to, LONG frame) {
    if (!m_geometry)
        return;
    if (m_repaint) {
        if (!m_image.isNull())
            m_image.fill(Qt::transparent);
        m_painted = QRect();
        m_count = 0;
        m_repaint = false;
    }
    if (to <= m_count)
        return;
    if (!m_image.isNull()) {
        const PaintGeometry &g = *m_geometry;
        QPainter painter(&m_image);
        painter.setTransform(deviceTransformOf(g));
        for (std::size_t i = m_count; i < to; ++i) {
            // An item that reaches no pixel of the image need not be asked to paint.
            const QRect bounds =
                items[i]->paintBounds(g.target, g.scale, g.hOffset, g.vOffset) & m_window;
            if (bounds.isEmpty())
                continue;
            items[i]->Draw(frame, &painter, g.target, g.scale, g.hOffset, g.vOffset, 0, 0);
            m_painted |= bounds;
        }
    }
    m_count = to;
}

void ItemPaintCache::composite(QPainter *painter) const {
    if (!m_geometry || m_image.isNull() || m_painted.isEmpty())
        return;
    const PaintGeometry &g = *m_geometry;
    const QRect source = deviceTransformOf(g).mapRect(m_painted);
    painter->save();
    // The items replace any clip of the caller with the target, and the cached pixels lie
    // in the target already.
    painter->setClipping(false);
    painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (g.ratio == 1)
        painter->drawImage(m_painted.topLeft(), m_image, source);
    else
        painter->drawImage(QRectF(m_painted), m_image, QRectF(source));
    painter->restore();
}

} // namespace datalib
