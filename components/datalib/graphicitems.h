// The overlay item collection: items in the order they were added, found by number.
#pragma once

#include "components/datalib/comobject.h"
#include "components/datalib/graphicitem.h"
#include "components/datalib/interfaces.h"
#include "components/datalib/itempaintcache.h"

#include <atomic>
#include <cstddef>
#include <optional>
#include <vector>

namespace datalib {

// Holds tens of thousands of items (a path mark per marker per tracked frame), so neither an
// operation by number nor a repaint asks every item. For each held item the collection
// keeps, at the same index, the concrete item (null for an implementation from elsewhere)
// and its number, kept current by the items' change reports. Draw keeps the pixels of a
// leading run of items that have stopped changing and paints only the rest.
class GraphicItems final : public ComObject<TalvorGraphicItems>, private GraphicItemWatcher {
public:
    GraphicItems() = default;
    ~GraphicItems() override;
    GraphicItems(const GraphicItems &) = delete;
    GraphicItems &operator=(const GraphicItems &) = delete;

    HRESULT Add(LONG kind, TalvorGraphicItem **item) override;
    HRESULT FileItem(TalvorGraphicItem *item, LONG number) override;
    HRESULT Remove(LONG number) override;
    HRESULT Show(LONG number, BOOL visible) override;
    HRESULT GetCount(LONG *count) override;
    HRESULT GetItem(LONG index, TalvorGraphicItem **item) override;
    HRESULT Clear() override;
    HRESULT Draw(LONG frame, QPainter *painter, const QRect &target, float scale, float hOffset,
                 float vOffset, LONG videoWidth, LONG videoHeight) override;

    // How many leading items the paint cache holds, whatever its geometry; for tests.
    std::size_t cachedItemCount() const { return m_cache.count(); }

private:
    struct Report {
        GraphicItem *item;
        bool look;
    };

    void itemChanged(GraphicItem *item, bool look) override;
    // Folds the change reports into the kept numbers and into m_firstChanged.
    void catchUp();
    void append(platform::ComPtr<TalvorGraphicItem> item, GraphicItem *concrete);
    // Asks the items from elsewhere for their numbers, once per operation by number.
    void readForeignNumbers();
    std::size_t findNumber(LONG number, std::size_t from) const;
    void paintItems(std::size_t from, LONG frame, QPainter *painter, const QRect &target,
                    float scale, float hOffset, float vOffset, LONG videoWidth,
                    LONG videoHeight) const;

    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    // Past this many change reports between two operations, every item is read again.
    static constexpr std::size_t kMaxReports = 1024;
    // The tail kept out of the paint cache: at least this many items, and at most this many
    // however often the items near the end change.
    static constexpr std::size_t kMinVolatileTail = 64;
    static constexpr std::size_t kMaxVolatileTail = 4096;

    std::vector<platform::ComPtr<TalvorGraphicItem>> m_items;
    std::vector<GraphicItem *> m_concrete;
    // The number of each item: kept for concrete items, read afresh for the others.
    std::vector<LONG> m_numbers;
    std::size_t m_foreign = 0;

    // Changes reported since the last catch-up. Past kMaxReports every item is read again.
    std::vector<Report> m_reports;
    bool m_reportsOverflowed = false;
    // An item this collection is changing itself; it accounts for the change directly.
    GraphicItem *m_editing = nullptr;

    // Painting. Items below m_firstChanged are as the last Draw saw them, and m_drawnCount
    // items were held then; appending leaves both alone.
    std::size_t m_firstChanged = 0;
    std::size_t m_drawnCount = 0;
    // The last items are the ones that come and go with every frame (a marker's box and
    // cross), so they stay out of the cache; the margin grows when a change inside the
    // cache shows it too small.
    std::size_t m_volatileTail = kMinVolatileTail;
    ItemPaintCache m_cache;
    std::optional<PaintGeometry> m_lastGeometry;
    // Set while a Draw uses the cache: a Draw from inside an item's Draw, or from another
    // thread, paints every item itself.
    std::atomic<bool> m_painting{false};
};

} // namespace datalib
