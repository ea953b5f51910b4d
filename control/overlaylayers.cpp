#include "control/overlaylayers.h"

#include "components/datalib/interfaces.h"
#include "control/viewgeometry.h"
#include "platform/colorref.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace quivex {

using platform::LONG;

QPoint OverlayMapping::toWindow(double u, double v) const {
    if (live)
        return {toDrawPixel(fractionToLiveWindow(u, captureWidth)),
                toDrawPixel(fractionToLiveWindow(v, captureHeight))};
    return {toDrawPixel(fractionToWindow(u, zoom, imageWidth, hOffset)),
            toDrawPixel(fractionToWindow(v, zoom, imageHeight, vOffset))};
}

namespace {

bool present(double u, double v) {
    return std::isfinite(u) && std::isfinite(v) && !isMissing(u) && !isMissing(v);
}

// A circle's radius in screen pixels: |b| * zoom / 100 in integer arithmetic, held to a
// size the painter can take (a radius beyond any view draws off it anyway).
int circleRadius(LONG second, LONG zoom) {
    const long long r = std::llabs(static_cast<long long>(second)) * zoom / 100;
    return static_cast<int>(std::min<long long>(r, kFarCoordinate / 4));
}

void drawCross(QPainter &painter, QPoint p, CrossKind kind) {
    // Both arms start two pixels before the centre; data crosses end two pixels after it,
    // calibration crosses one.
    const int after = kind == CrossKind::Data ? 2 : 1;
    painter.drawLine(p.x(), p.y() - 2, p.x(), p.y() + after);
    painter.drawLine(p.x() - 2, p.y(), p.x() + after, p.y());
}

} // namespace

void drawLayout(QPainter &painter, datalib::TalvorSpec &layout, const OverlayMapping &mapping,
                const LayoutStyle &style, const PositionOf &connectionPosition,
                const PositionOf &pointPosition) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    if (style.connections) {
        LONG count = 0;
        if (platform::failed(layout.GetConnectionCount(&count)))
            count = 0;
        for (LONG i = 0; i < count; ++i) {
            LONG a = 0, b = 0;
            platform::COLORREF color = 0;
            if (platform::failed(layout.GetConnection(i, &a, &b, &color)))
                continue;
            double ua = 0, va = 0;
            if (!connectionPosition(a, &ua, &va))
                continue;
            const QPoint pa = mapping.toWindow(ua, va);
            QPen pen(platform::colorFromRef(color & 0x00FFFFFFu));
            pen.setWidth(std::max<LONG>(0, style.penWidth));
            pen.setCapStyle(Qt::RoundCap);
            pen.setJoinStyle(Qt::RoundJoin);
            painter.setPen(pen);
            if (b >= 0) {
                double ub = 0, vb = 0;
                if (connectionPosition(b, &ub, &vb))
                    painter.drawLine(pa, mapping.toWindow(ub, vb));
            } else {
                const int r = circleRadius(b, mapping.zoom);
                painter.drawEllipse(pa, r, r);
            }
        }
    }
    if (style.points) {
        painter.setPen(QPen(Qt::red, 0));
        LONG count = 0;
        if (platform::failed(layout.GetPointCount(&count)))
            count = 0;
        for (LONG i = 0; i < count; ++i) {
            LONG id = 0;
            if (platform::failed(layout.GetPointId(i, &id)))
                continue;
            double u = 0, v = 0;
            if (pointPosition(id, &u, &v))
                drawCross(painter, mapping.toWindow(u, v), style.crosses);
        }
    }
    painter.restore();
}

void drawRawData(QPainter &painter, datalib::TalvorSpec &layout, datalib::TalvorDatas &data,
                 LONG frame, const OverlayMapping &mapping, const LayoutStyle &style) {
    const PositionOf position = [&](LONG id, double *u, double *v) {
        float x = 0, y = 0, z = 0;
        if (platform::failed(data.ReadFrame(id, frame, &x, &y, &z)))
            return false;
        *u = x;
        *v = y;
        return present(*u, *v);
    };
    drawLayout(painter, layout, mapping, style, position, position);
}

void draw3DData(QPainter &painter, datalib::TalvorSpec &layout, datalib::TalvorDatas &data,
                datalib::TalvorProjection &projection, LONG frame, double seconds,
                const OverlayMapping &mapping, const LayoutStyle &style) {
    auto project = [&](float x, float y, float z, double *u, double *v) {
        if (!present(x, y) || !std::isfinite(z) || isMissing(z))
            return false;
        if (platform::failed(projection.Project(x, y, z, u, v)))
            return false;
        return present(*u, *v);
    };
    const PositionOf byTime = [&](LONG id, double *u, double *v) {
        float x = 0, y = 0, z = 0;
        if (platform::failed(data.ReadTime(id, seconds, &x, &y, &z)))
            return false;
        return project(x, y, z, u, v);
    };
    const PositionOf byFrame = [&](LONG id, double *u, double *v) {
        float x = 0, y = 0, z = 0;
        if (platform::failed(data.ReadFrame(id, frame, &x, &y, &z)))
            return false;
        return project(x, y, z, u, v);
    };
    drawLayout(painter, layout, mapping, style, seconds > 0 ? byTime : byFrame, byTime);
}

namespace {

// A calibration's own layout with its points at the positions `imageAt(index, &u, &v)`
// gives; the layout maps identifiers to the indices the calibration answers by.
template <class Calibration, class ImageAt>
void drawCalibration(QPainter &painter, Calibration &calibration, const OverlayMapping &mapping,
                     const LayoutStyle &style, ImageAt imageAt) {
    datalib::TalvorSpec *raw = nullptr;
    if (platform::failed(calibration.GetSpecification(&raw)) || !raw)
        return;
    const auto layout = platform::ComPtr<datalib::TalvorSpec>::attach(raw);
    const PositionOf position = [&](LONG id, double *u, double *v) {
        LONG index = -1;
        if (platform::failed(layout->GetPointIndex(id, &index)) || index < 0)
            return false;
        return imageAt(index, u, v) && present(*u, *v);
    };
    drawLayout(painter, *layout, mapping, style, position, position);
}

} // namespace

void drawCal3DPoints(QPainter &painter, datalib::TalvorCal3D &calibration,
                     const OverlayMapping &mapping, const LayoutStyle &style) {
    drawCalibration(painter, calibration, mapping, style, [&](LONG index, double *u, double *v) {
        return platform::succeeded(calibration.GetImagePosition(index, u, v));
    });
}

void drawCal2DPoints(QPainter &painter, datalib::TalvorCal2D &calibration,
                     const OverlayMapping &mapping, const LayoutStyle &style) {
    drawCalibration(painter, calibration, mapping, style, [&](LONG index, double *u, double *v) {
        return platform::succeeded(calibration.GetPointX(index, u)) &&
               platform::succeeded(calibration.GetPointY(index, v));
    });
}

KeyedPicture keyTransparent(const QImage &picture, QColor transparent) {
    if (picture.isNull())
        return {};
    KeyedPicture keyed;
    keyed.image = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage &image = keyed.image;
    const QRgb key = transparent.rgb() & 0x00FFFFFFu;
    constexpr int T = KeyedPicture::kTile;
    const int columns = (image.width() + T - 1) / T;
    std::vector<char> shown(static_cast<std::size_t>(columns), 0);
    for (int top = 0; top < image.height(); top += T) {
        std::fill(shown.begin(), shown.end(), 0);
        const int bottom = std::min(top + T, image.height());
        for (int y = top; y < bottom; ++y) {
            auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if ((row[x] & 0x00FFFFFFu) == key)
                    row[x] = 0; // premultiplied: fully transparent is all zero
                else
                    shown[static_cast<std::size_t>(x / T)] = 1;
            }
        }
        for (int c = 0; c < columns; ++c)
            if (shown[static_cast<std::size_t>(c)])
                keyed.tiles.emplace_back(c * T, top, std::min(T, image.width() - c * T),
                                         bottom - top);
    }
    return keyed;
}

void drawOverlayPicture(QPainter &painter, const KeyedPicture &keyed, LONG zoom, bool stretch,
                        LONG videoWidth, LONG videoHeight, QPoint at) {
    if (keyed.isNull() || zoom <= 0)
        return;
    // Positions come from the host unchecked: each coordinate and size is held to half the
    // far coordinate, so a corner (position plus size) still fits an int.
    constexpr LONG kHalf = kFarCoordinate / 2;
    auto held = [](long long v) {
        return static_cast<LONG>(std::clamp<long long>(v, -kHalf, kHalf));
    };
    at = QPoint(held(at.x()), held(at.y()));
    // The area the picture may cover: the video's size, zoomed unless the zoom is 100.
    const LONG clipW = held(zoom == 100 ? videoWidth : zoomedSize(videoWidth, zoom));
    const LONG clipH = held(zoom == 100 ? videoHeight : zoomedSize(videoHeight, zoom));
    if (clipW <= 0 || clipH <= 0)
        return;
    const bool scaled = zoom != 100 && stretch;
    const LONG w = held(scaled ? zoomedSize(keyed.image.width(), zoom) : keyed.image.width());
    const LONG h = held(scaled ? zoomedSize(keyed.image.height(), zoom) : keyed.image.height());
    if (w <= 0 || h <= 0)
        return;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setClipRect(QRect(at.x(), at.y(), clipW, clipH), Qt::IntersectClip);
    if (scaled) {
        painter.drawImage(QRect(at.x(), at.y(), w, h), keyed.image);
    } else {
        // Unscaled, only the tiles that hold a visible pixel and reach the target.
        const QRect visible = painter.clipBoundingRect().toAlignedRect().translated(-at);
        for (const QRect &tile : keyed.tiles)
            if (tile.intersects(visible))
                painter.drawImage(at + tile.topLeft(), keyed.image, tile);
    }
    painter.restore();
}

} // namespace quivex
