#include "components/datalib/graphicitem.h"

#include <QColor>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <optional>

namespace datalib {

using platform::E_POINTER;
using platform::S_OK;

namespace {

QColor fromColorRef(COLORREF c) {
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

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
    m_style = style;
    return S_OK;
}

HRESULT GraphicItem::GetStyle(LONG *style) {
    if (!style)
        return E_POINTER;
    *style = m_style;
    return S_OK;
}

HRESULT GraphicItem::SetPoint1(float x, float y) {
    m_x1 = x;
    m_y1 = y;
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
    m_x2 = x;
    m_y2 = y;
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
    m_size = size;
    return S_OK;
}

HRESULT GraphicItem::GetSize(float *size) {
    if (!size)
        return E_POINTER;
    *size = m_size;
    return S_OK;
}

HRESULT GraphicItem::SetLineColor(COLORREF color) {
    m_lineColor = color;
    return S_OK;
}

HRESULT GraphicItem::GetLineColor(COLORREF *color) {
    if (!color)
        return E_POINTER;
    *color = m_lineColor;
    return S_OK;
}

HRESULT GraphicItem::SetFillColor(COLORREF color) {
    m_fillColor = color;
    return S_OK;
}

HRESULT GraphicItem::GetFillColor(COLORREF *color) {
    if (!color)
        return E_POINTER;
    *color = m_fillColor;
    return S_OK;
}

HRESULT GraphicItem::SetID(LONG id) {
    m_id = id;
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
    m_visible = visible != 0;
    return S_OK;
}

HRESULT GraphicItem::GetVisible(BOOL *visible) {
    if (!visible)
        return E_POINTER;
    *visible = m_visible ? 1 : 0;
    return S_OK;
}

HRESULT GraphicItem::Draw(LONG, QPainter *painter, const QRect &target, float scale, float hOffset,
                          float vOffset, LONG, LONG) {
    if (!painter)
        return E_POINTER;
    if (!painter->isActive())
        return platform::E_FAIL;
    if (!m_visible || !std::isfinite(scale) || !(scale > 0.0f))
        return S_OK;

    const WindowMapping map(scale, hOffset, vOffset);
    const auto x1 = map.x(m_x1), y1 = map.y(m_y1);
    if (!x1 || !y1)
        return S_OK;
    std::optional<int> x2, y2;
    if (m_kind != ItemCross) {
        x2 = map.x(m_x2);
        y2 = map.y(m_y2);
        if (!x2 || !y2)
            return S_OK;
    }

    painter->save();
    painter->setClipRect(target);
    painter->setRenderHint(QPainter::Antialiasing, false);
    QPen pen(fromColorRef(m_lineColor));
    pen.setWidth(penWidthOf(m_style));
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    painter->setPen(pen);
    const bool filled = (m_style & 1) != 0 && (m_kind == ItemBox || m_kind == ItemCircle);
    painter->setBrush(filled ? QBrush(fromColorRef(m_fillColor)) : QBrush(Qt::NoBrush));

    switch (m_kind) {
    case ItemLines:
        painter->drawLine(*x1, *y1, *x2, *y2);
        break;
    case ItemBox:
    case ItemCircle: {
        // The outline passes through both corner pixels.
        const int left = std::min(*x1, *x2), right = std::max(*x1, *x2);
        const int top = std::min(*y1, *y2), bottom = std::max(*y1, *y2);
        const QRect outline(left, top, right - left, bottom - top);
        if (m_kind == ItemBox)
            painter->drawRect(outline);
        else
            painter->drawEllipse(outline);
        break;
    }
    case ItemCross: {
        const int arm = map.length(m_size);
        painter->drawLine(*x1 - arm, *y1, *x1 + arm, *y1);
        painter->drawLine(*x1, *y1 - arm, *x1, *y1 + arm);
        break;
    }
    default:
        break;
    }
    painter->restore();
    return S_OK;
}

} // namespace datalib
