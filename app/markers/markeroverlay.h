// Markers over the video: a symbol (a box of the marker's radius with a small cross in the
// middle) at the current point and a path, one mark per drawing of the symbol, all as items
// of the overlay item collection filed by number. Coordinates are image pixels.
#pragma once

#include "components/datalib/datalib.h"
#include "platform/com.h"
#include "platform/wintypes.h"

namespace markers {

class MarkerController;

// Item numbers of marker N.
inline constexpr int kPathOffset = 1000000;     // N + 1000000: the path marks
inline constexpr int kReservedOffset = 2000000; // N + 2000000: removed and recoloured, never made
inline constexpr int kCrossOffset = 3000000;    // N + 3000000: the cross in the box
// Symbol looks: the normal one and the look of the selected marker.
inline constexpr int kStyleNormal = 0;
inline constexpr int kStyleSelection = 10;

// N + offset without overflowing: numbers of absurd markers wrap instead.
platform::LONG itemNumber(platform::LONG marker, int offset);
// Adds an item of a kind to the collection and files it under a number; null when the
// collection refuses (an unknown kind from a damaged setting): the caller's drawing then
// leaves it out.
platform::ComPtr<datalib::TalvorGraphicItem>
addGraphicItem(datalib::TalvorGraphicItems *items, platform::LONG kind, platform::LONG number);

class MarkerOverlay {
public:
    explicit MarkerOverlay(MarkerController &markers) : m_markers(markers) {}

    // The symbol and one new path mark of marker N at (x, y), then the path visibility.
    void DrawMarkerSymbol(double x, double y, double r, platform::LONG marker,
                          platform::COLORREF color, platform::LONG style);
    // One path mark of marker N in its own colour (green without data), hidden until the
    // path visibility is applied.
    void DrawPathMark(double x, double y, double r, platform::LONG marker);
    // A path mark of marker N at every frame where it has a point, hidden until the path
    // visibility is applied (a project's paths when it was opened).
    void DrawPath(platform::LONG marker, int exceptFrame = -1);
    // Every item of N removed, then a path of one mark at the stored point of each frame from
    // 0 to `frame`.
    void RebuildPath(platform::LONG marker, int frame);
    // The symbol of N (not its path), then a refresh.
    void RemoveMarkerSymbol(platform::LONG marker);
    // Symbol, path and the reserved number of N, then a refresh.
    void RemoveMarkerItems(platform::LONG marker);
    // Every item of N in the collection's order gets the colour, then a refresh.
    void RecolorMarkerItems(platform::LONG marker, platform::COLORREF color);
    // Shows or hides each table marker's path as a whole: shown when "Show all paths" is on
    // or the marker's `PathVisible` at the current frame is 1.0. Then a refresh.
    void ApplyPathVisibility();
    // The view's `QuickRefresh`.
    void QuickRefresh();
    // The green cross-hair at a press point, filed with the temporary symbol.
    void DrawPressCross(double x, double y);

    // While a Batch lives, path visibility is applied once, when the last batch ends: a pass
    // over many markers draws each of them, and the collection need only be walked once.
    class Batch {
    public:
        explicit Batch(MarkerOverlay &overlay);
        ~Batch();
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;

    private:
        MarkerOverlay &m_overlay;
    };

private:
    void applyPathVisibilityNow();
    void addPathMark(double x, double y, platform::LONG marker, platform::COLORREF color);

    MarkerController &m_markers;
    int m_batchDepth = 0;
    bool m_visibilityPending = false;
};

} // namespace markers
