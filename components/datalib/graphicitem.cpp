#include "components/datalib/graphicitem.h"

#include "platform/colorref.h"

#include <QColor>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>

namespace datalib {

using platform::E_POINTER;
using platform::S_OK;

namespace {

// Image pixel to window pixel. Positions far outside any window are clamped so that the
// conversion to int stays defined; missing or non-finite values give nothing.
class WindowMapping {
public:
    WindowMapping(float scale, float hOffset, float vOffset)
        : m_scale(scale), m_hOffset(hOffset), m_vOffset(vOffset) {
        // trunc(zoom * 0.005) from the integer zoom: scale * 0.5 itself may fall just
        // short of a whole number (4.0 as 3.9999998).
        const double zoom = std::round(static_cast<double>(scale) * 100.0);
        m_centre = std::isfinite(zoom) && zoom > 0.0 && zoom < 1.0e6
                       ? static_cast<double>(static_cast<long>(zoom) / 200)
                       : 0.0;
    }

    std::optional<int> x(double imageX) const { return map(imageX, m_hOffset); }
    std::optional<int> y(double imageY) const { return map(imageY, m_vOffset); }
    // A length in image pixels as whole window pixels, at least 1.
    int length(double imagePixels) const {
        const double v = std::floor(std::fabs(imagePixels * m_scale) + 0.5);
        return static_cast<int>(std::clamp(std::isfinite(v) ? v : 1.0, 1.0, 100000.0));
    }

private:
    std::optional<int> map(double v, double offset) const {
        if (isMissing(v) || !std::isfinite(v))
            return std::nullopt;
        const double window = std::floor(v * m_scale + m_centre - offset + 0.5);
        if (!std::isfinite(window))
            return std::nullopt;
        return static_cast<int>(std::clamp(window, -1.0e6, 1.0e6));
    }

    double m_scale;
    double m_hOffset;
    double m_vOffset;
    double m_centre;
};

// Style: line width code (even) plus 1 for filled. Code c draws c / 2 + 1 pixels wide.
int penWidthOf(LONG style) {
    const LONG code = std::clamp<LONG>(style & ~1, 0, 30);
    return code / 2 + 1;
}

// Same bits, not same number: a NaN written again is no change, 0 over -0 is one.
bool sameBits(float a, float b) {
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

} // namespace

bool GraphicItem::isKnownKind(LONG kind) {
    return kind == ItemLines || kind == ItemBox || kind == ItemCircle || kind == ItemCross;
}

HRESULT GraphicItem::GetKind(LONG *kind) {
    if (!kind)
        return E_POINTER;
    *kind = m_kind;
    return S_OK;
}

HRESULT GraphicItem::SetStyle(LONG style) {
    if (style != m_style) {
        m_style = style;
        changed(true);
    }
    return S_OK;
}

HRESULT GraphicItem::GetStyle(LONG *style) {
    if (!style)
        return E_POINTER;
    *style = m_style;
    return S_OK;
}

HRESULT GraphicItem::SetPoint1(float x, float y) {
    if (!sameBits(x, m_x1) || !sameBits(y, m_y1)) {
        m_x1 = x;
        m_y1 = y;
        changed(true);
    }
    return S_OK;
}

HRESULT GraphicItem::GetPoint1(float *x, float *y) {
    if (!x || !y)
        return E_POINTER;
    *x = m_x1;
    *y = m_y1;
    return S_OK;
}

HRESULT GraphicItem::SetPoint2(float x, float y) {
    if (!sameBits(x, m_x2) || !sameBits(y, m_y2)) {
        m_x2 = x;
        m_y2 = y;
        changed(true);
    }
    return S_OK;
}

HRESULT GraphicItem::GetPoint2(float *x, float *y) {
    if (!x || !y)
        return E_POINTER;
    *x = m_x2;
    *y = m_y2;
    return S_OK;
}

HRESULT GraphicItem::SetSize(float size) {
    if (!sameBits(size, m_size)) {
        m_size = size;
        changed(true);
    }
    return S_OK;
}

HRESULT GraphicItem::GetSize(float *size) {
    if (!size)
        return E_POINTER;
    *size = m_size;
    return S_OK;
}

HRESULT GraphicItem::SetLineColor(COLORREF color) {
    if (color != m_lineColor) {
        m_lineColor = color;
        changed(true);
    }
    return S_OK;
}

HRESULT GraphicItem::GetLineColor(COLORREF *color) {
    if (!color)
        return E_POINTER;
    *color = m_lineColor;
    return S_OK;
}

HRESULT GraphicItem::SetFillColor(COLORREF color) {
    if (color != m_fillColor) {
        m_fillColor = color;
        changed(true);
    }
    return S_OK;
}

HRESULT GraphicItem::GetFillColor(COLORREF *color) {
    if (!color)
        return E_POINTER;
    *color = m_fillColor;
    return S_OK;
}

HRESULT GraphicItem::SetID(LONG id) {
    if (id != m_id) {
        m_id = id;
        changed(false);
    }
    return S_OK;
}

HRESULT GraphicItem::GetID(LONG *id) {
    if (!id)
        return E_POINTER;
    *id = m_id;
    return S_OK;
}

HRESULT GraphicItem::SetColor(COLORREF color) {
    return SetLineColor(color);
}

HRESULT GraphicItem::GetColor(COLORREF *color) {
    return GetLineColor(color);
}

HRESULT GraphicItem::SetVisible(BOOL visible) {
    if ((visible != 0) != m_visible) {
        m_visible = visible != 0;
        changed(true);
    }
    return S_OK;
}

HRESULT GraphicItem::GetVisible(BOOL *visible) {
    if (!visible)
        return E_POINTER;
    *visible = m_visible ? 1 : 0;
    return S_OK;
}

void GraphicItem::watch(GraphicItemWatcher *watcher) {
    if (!m_watcher)
        m_watcher = watcher;
    else
        m_moreWatchers.push_back(watcher);
}

void GraphicItem::unwatch(GraphicItemWatcher *watcher) {
    if (m_watcher == watcher) {
        m_watcher = nullptr;
        if (!m_moreWatchers.empty()) {
            m_watcher = m_moreWatchers.back();
            m_moreWatchers.pop_back();
        }
        return;
    }
    const auto it = std::find(m_moreWatchers.begin(), m_moreWatchers.end(), watcher);
    if (it != m_moreWatchers.end())
        m_moreWatchers.erase(it);
}

void GraphicItem::changed(bool look) {
    if (m_watcher)
        m_watcher->itemChanged(this, look);
    for (std::size_t i = 0; i < m_moreWatchers.size(); ++i)
        m_moreWatchers[i]->itemChanged(this, look);
}

std::optional<GraphicItem::Placed> GraphicItem::place(float scale, float hOffset,
                                                      float vOffset) const {
    if (!m_visible || !std::isfinite(scale) || !(scale > 0.0f))
        return std::nullopt;
    const WindowMapping map(scale, hOffset, vOffset);
    const auto x1 = map.x(m_x1), y1 = map.y(m_y1);
    if (!x1 || !y1)
        return std::nullopt;
    if (m_kind == ItemCross)
        return Placed{*x1, *y1, *x1, *y1, map.length(m_size)};
    const auto x2 = map.x(m_x2), y2 = map.y(m_y2);
    if (!x2 || !y2)
        return std::nullopt;
    return Placed{*x1, *y1, *x2, *y2, 0};
}

QRect GraphicItem::paintBounds(const QRect &target, float scale, float hOffset,
                               float vOffset) const {
    const auto at = place(scale, hOffset, vOffset);
    if (!at)
        return {};
    // A square cap or a mitred corner reaches at most half the pen beyond the outline;
    // a whole pen and two pixels cover any rounding of the aliased rasteriser. Window
    // coordinates are clamped to +-1e6 and arms to 1e5, so none of this overflows.
    const int reach = at->arm + penWidthOf(m_style) + 2;
    const QRect bounds(QPoint(std::min(at->x1, at->x2) - reach, std::min(at->y1, at->y2) - reach),
                       QPoint(std::max(at->x1, at->x2) + reach, std::max(at->y1, at->y2) + reach));
    return bounds & target;
}

HRESULT GraphicItem::Draw(LONG, QPainter *painter, const QRect &target, float scale, float hOffset,
                          float vOffset, LONG, LONG) {
    if (!painter)
        return E_POINTER;
    if (!painter->isActive())
        return platform::E_FAIL;
    const auto at = place(scale, hOffset, vOffset);
    if (!at)
        return S_OK;

    painter->save();
    painter->setClipRect(target);
    painter->setRenderHint(QPainter::Antialiasing, false);
    QPen pen(platform::colorFromRef(m_lineColor));
    pen.setWidth(penWidthOf(m_style));
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    painter->setPen(pen);
    const bool filled = (m_style & 1) != 0 && (m_kind == ItemBox || m_kind == ItemCircle);
    painter->setBrush(filled ? QBrush(platform::colorFromRef(m_fillColor)) : QBrush(Qt::NoBrush));

    switch (m_kind) {
    case ItemLines:
        painter->drawLine(at->x1, at->y1, at->x2, at->y2);
        break;
    case ItemBox:
    case ItemCircle: {
        // The outline passes through both corner pixels.
        const int left = std::min(at->x1, at->x2), right = std::max(at->x1, at->x2);
        const int top = std::min(at->y1, at->y2), bottom = std::max(at->y1, at->y2);
        const QRect outline(left, top, right - left, bottom - top);
        if (m_kind == ItemBox)
            painter->drawRect(outline);
        else
            painter->drawEllipse(outline);
        break;
    }
    case ItemCross:
        painter->drawLine(at->x1 - at->arm, at->y1, at->x1 + at->arm, at->y1);
        painter->drawLine(at->x1, at->y1 - at->arm, at->x1, at->y1 + at->arm);
        break;
    default:
        break;
    }
    painter->restore();
    return S_OK;
}

} // namespace datalib
