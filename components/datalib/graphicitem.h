// One overlay item: kind, geometry in image pixels, colours, number and visibility.
#pragma once

#include "components/datalib/comobject.h"
#include "components/datalib/interfaces.h"

#include <optional>
#include <vector>

namespace datalib {

class GraphicItem;

// Told about every change to an item it watches, so that it can keep copies of what the
// item says (its number, its painted pixels) without asking every item again. A setter that
// writes the value the item already has changes nothing and reports nothing.
class GraphicItemWatcher {
public:
    // `look` is false when only the number changed, so what the item paints is the same.
    virtual void itemChanged(GraphicItem *item, bool look) = 0;

protected:
    ~GraphicItemWatcher() = default;
};

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

    LONG id() const { return m_id; }
    bool visible() const { return m_visible; }

    // Window pixels (before the painter's transform) that Draw may touch with these
    // arguments, with room to spare; empty when it paints nothing.
    QRect paintBounds(const QRect &target, float scale, float hOffset, float vOffset) const;

    // A collection watches each item it holds once, and stops before it lets go of it; the
    // item keeps no reference to its watchers.
    void watch(GraphicItemWatcher *watcher);
    void unwatch(GraphicItemWatcher *watcher);

private:
    // The item's corners in whole window pixels, and the arm of a cross.
    struct Placed {
        int x1, y1, x2, y2;
        int arm;
    };
    // Nothing when the item paints nothing: hidden, unusable scale or missing coordinates.
    std::optional<Placed> place(float scale, float hOffset, float vOffset) const;
    void changed(bool look);

    LONG m_kind;
    LONG m_style = 0;
    float m_x1 = 0.0f, m_y1 = 0.0f, m_x2 = 0.0f, m_y2 = 0.0f;
    float m_size = 0.0f;
    COLORREF m_lineColor = 0;
    COLORREF m_fillColor = 0xFFFFFF;
    LONG m_id = 0;
    bool m_visible = true;
    // Nearly every item sits in one collection; a second one goes to the list.
    GraphicItemWatcher *m_watcher = nullptr;
    std::vector<GraphicItemWatcher *> m_moreWatchers;
};

} // namespace datalib
