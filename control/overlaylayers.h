// The measurement layers the view lays over the frame: points and connections of marker data
// in 2-D and 3-D, the points of the calibrations, and the overlay picture with its
// transparent colour. Plain functions over a QPainter and the data objects, so every layer
// can be checked pixel by pixel without a window.
#pragma once

#include "platform/wintypes.h"

#include <QColor>
#include <QImage>
#include <QPoint>

#include <functional>
#include <vector>

class QPainter;

namespace datalib {
class TalvorCal2D;
class TalvorCal3D;
class TalvorDatas;
class TalvorProjection;
class TalvorSpec;
} // namespace datalib

namespace quivex {

using platform::LONG;

// Where a position given as fractions of the image size lands in the window: through the
// zoom and scroll offsets, or, while live video runs, scaled by the capture size alone.
struct OverlayMapping {
    LONG zoom = 100;
    LONG imageWidth = 1;
    LONG imageHeight = 1;
    LONG hOffset = 0;
    LONG vOffset = 0;
    bool live = false;
    LONG captureWidth = 1;
    LONG captureHeight = 1;

    // The drawn pixel (+0.5, truncated; far-off values clamped).
    QPoint toWindow(double u, double v) const;
};

// How a layout is drawn. Data crosses reach 2 pixels before and after their centre, the
// calibrations' crosses one pixel less after it.
enum class CrossKind { Data, Calibration };

struct LayoutStyle {
    bool connections = false; // lines between points and circles around them
    bool points = false;      // a red cross at every point
    LONG penWidth = 1;        // of the connections, in screen pixels (0 draws one pixel wide)
    CrossKind crosses = CrossKind::Data;
};

// The image position (fractions) of a point identifier; false when it is missing. A
// failing read or a coordinate at or below the missing value counts as missing.
using PositionOf = std::function<bool(LONG id, double *u, double *v)>;

// Draws a layout's connections, then its points. Connections whose first point is missing
// are skipped; a second value >= 0 is a point (a line when present), a negative one the
// radius in image pixels of a hollow circle around the first point, drawn at the zoom.
// Connection positions and point positions may come from different reads (3-D data read
// the points by time).
void drawLayout(QPainter &painter, datalib::TalvorSpec &layout, const OverlayMapping &mapping,
                const LayoutStyle &style, const PositionOf &connectionPosition,
                const PositionOf &pointPosition);

// The layers, each a drawLayout with its own positions.
// Raw 2-D data: (x, y) of each point identifier at `frame`.
void drawRawData(QPainter &painter, datalib::TalvorSpec &layout, datalib::TalvorDatas &data,
                 LONG frame, const OverlayMapping &mapping, const LayoutStyle &style);
// 3-D data projected through the camera model: connections read by time when `seconds` > 0,
// else by frame; points always by time. A failed projection counts as missing.
void draw3DData(QPainter &painter, datalib::TalvorSpec &layout, datalib::TalvorDatas &data,
                datalib::TalvorProjection &projection, LONG frame, double seconds,
                const OverlayMapping &mapping, const LayoutStyle &style);
// The points of the 3-D calibration at their image positions, with its own layout.
void drawCal3DPoints(QPainter &painter, datalib::TalvorCal3D &calibration,
                     const OverlayMapping &mapping, const LayoutStyle &style);
// The reference points of the 2-D calibration, with its own layout.
void drawCal2DPoints(QPainter &painter, datalib::TalvorCal2D &calibration,
                     const OverlayMapping &mapping, const LayoutStyle &style);

// The overlay picture with its pixels of `transparent` (compared as RGB) made fully
// transparent, as premultiplied ARGB, and the tiles of it that hold any other pixel: an
// annotation picture is mostly transparent, and a repaint draws only those tiles. Made once
// per picture and colour, not per repaint.
struct KeyedPicture {
    static constexpr int kTile = 32; // pixels per tile side
    QImage image;
    std::vector<QRect> tiles; // in picture pixels; absent tiles are wholly transparent
    bool isNull() const { return image.isNull(); }
};
KeyedPicture keyTransparent(const QImage &picture, QColor transparent);

// The keyed overlay picture over the video. At zoom 100 it is drawn unscaled and clipped to
// the video's size; at other zooms it is clipped to the zoomed video size (integer
// arithmetic) and either stretched to its own size times the zoom (`stretch`, nearest
// pixel, so no colour blends into the transparent one) or drawn unscaled. `at` is its top
// left in the window. Only the part inside the painter's target is rasterised, so a high
// zoom never allocates a zoomed copy.
void drawOverlayPicture(QPainter &painter, const KeyedPicture &keyed, LONG zoom, bool stretch,
                        LONG videoWidth, LONG videoHeight, QPoint at);

} // namespace quivex
