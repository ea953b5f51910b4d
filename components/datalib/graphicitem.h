// One overlay item: kind, geometry in image pixels, colours, number and visibility.
#pragma once

#include "components/datalib/comobject.h"
#include "components/datalib/interfaces.h"

namespace datalib {

class GraphicItem final : public ComObject<TalvorGraphicItem> {
public:
    explicit GraphicItem(LONG kind) : m_kind(kind) {}

    HRESULT GetKind(LONG *kind) override;
    HRESULT SetStyle(LONG style) override;
    HRESULT GetStyle(LONG *style) override;
    HRESULT SetPoint1(float x, float y) override;
    HRESULT GetPoint1(float *x, float *y) override;
    HRESULT SetPoint2(float x, float y) override;
    HRESULT GetPoint2(float *x, float *y) override;
    HRESULT SetSize(float size) override;
    HRESULT GetSize(float *size) override;
    HRESULT SetLineColor(COLORREF color) override;
    HRESULT GetLineColor(COLORREF *color) override;
    HRESULT SetFillColor(COLORREF color) override;
    HRESULT GetFillColor(COLORREF *color) override;
    HRESULT SetID(LONG id) override;
    HRESULT GetID(LONG *id) override;
    HRESULT SetColor(COLORREF color) override;
    HRESULT GetColor(COLORREF *color) override;
    HRESULT SetVisible(BOOL visible) override;
    HRESULT GetVisible(BOOL *visible) override;
    HRESULT Draw(LONG frame, QPainter *painter, const QRect &target, float scale, float hOffset,
                 float vOffset, LONG videoWidth, LONG videoHeight) override;

    static bool isKnownKind(LONG kind);

private:
    LONG m_kind;
    LONG m_style = 0;
    float m_x1 = 0.0f, m_y1 = 0.0f, m_x2 = 0.0f, m_y2 = 0.0f;
    float m_size = 0.0f;
    COLORREF m_lineColor = 0;
    COLORREF m_fillColor = 0xFFFFFF;
    LONG m_id = 0;
    bool m_visible = true;
};

} // namespace datalib
