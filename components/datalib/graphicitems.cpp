#include "components/datalib/graphicitems.h"

#include <QPainter>

#include <algorithm>
#include <functional>

namespace datalib {

using platform::ComPtr;
using platform::E_INVALIDARG;
using platform::E_POINTER;
using platform::S_FALSE;
using platform::S_OK;

namespace {

LONG numberOf(TalvorGraphicItem *item) {
    LONG id = 0;
    item->GetID(&id);
    return id;
}

} // namespace

GraphicItems::~GraphicItems() {
    for (GraphicItem *item : m_concrete) {
        if (item)
            item->unwatch(this);
    }
}

void GraphicItems::append(ComPtr<TalvorGraphicItem> item, GraphicItem *concrete) {
    m_items.push_back(std::move(item));
    m_concrete.push_back(concrete);
    m_numbers.push_back(concrete ? concrete->id() : 0);
    if (concrete)
        concrete->watch(this);
    else
        ++m_foreign;
}

HRESULT GraphicItems::Add(LONG kind, TalvorGraphicItem **item) {
    if (!item)
        return E_POINTER;
    *item = nullptr;
    if (!GraphicItem::isKnownKind(kind))
        return E_INVALIDARG;
    auto *concrete = new GraphicItem(kind);
    const auto created = ComPtr<TalvorGraphicItem>::attach(concrete);
    append(created, concrete);
    return giveOut(created, item);
}

HRESULT GraphicItems::FileItem(TalvorGraphicItem *item, LONG number) {
    if (!item)
        return E_POINTER;
    catchUp();
    // Ours, or another collection's: this collection keeps its number itself.
    auto *concrete = dynamic_cast<GraphicItem *>(item);
    m_editing = concrete;
    const HRESULT hr = item->SetID(number);
    m_editing = nullptr;
    if (platform::failed(hr))
        return hr;
    // Items are mostly filed right after they were added, so look from the end.
    for (std::size_t i = m_items.size(); i-- > 0;) {
        if (m_items[i].get() == item) {
            if (concrete)
                m_numbers[i] = concrete->id();
            return S_OK;
        }
    }
    append(ComPtr<TalvorGraphicItem>::share(item), concrete);
    return S_OK;
}

void GraphicItems::itemChanged(GraphicItem *item, bool look) {
    if (item == m_editing || m_reportsOverflowed)
        return;
    if (!m_reports.empty() && m_reports.back().item == item) {
        m_reports.back().look = m_reports.back().look || look;
        return;
    }
    if (m_reports.size() == kMaxReports) {
        m_reportsOverflowed = true;
        m_reports.clear();
        return;
    }
    m_reports.push_back({item, look});
}

void GraphicItems::catchUp() {
    if (m_reportsOverflowed) {
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            if (m_concrete[i])
                m_numbers[i] = m_concrete[i]->id();
        }
        m_firstChanged = 0;
        m_reportsOverflowed = false;
        m_reports.clear();
        return;
    }
    if (m_reports.empty())
        return;
    const auto byItem = [](const Report &a, const Report &b) {
        return std::less<GraphicItem *>()(a.item, b.item);
    };
    std::sort(m_reports.begin(), m_reports.end(), byItem);
    std::size_t distinct = 0;
    for (const Report &report : m_reports) {
        if (distinct > 0 && m_reports[distinct - 1].item == report.item)
            m_reports[distinct - 1].look = m_reports[distinct - 1].look || report.look;
        else
            m_reports[distinct++] = report;
    }
    m_reports.resize(distinct);
    // Changed items are mostly the newest, so look from the end and stop once all are found
    // (each item is held once). Reports only come from held items: removal catches up first.
    std::size_t left = distinct;
    for (std::size_t i = m_items.size(); i-- > 0 && left > 0;) {
        GraphicItem *item = m_concrete[i];
        if (!item)
            continue;
        const auto it =
            std::lower_bound(m_reports.begin(), m_reports.end(), Report{item, false}, byItem);
        if (it == m_reports.end() || it->item != item)
            continue;
        m_numbers[i] = item->id();
        if (it->look)
            m_firstChanged = std::min(m_firstChanged, i);
        --left;
    }
    m_reports.clear();
}

void GraphicItems::readForeignNumbers() {
    if (m_foreign == 0)
        return;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (!m_concrete[i])
            m_numbers[i] = numberOf(m_items[i].get());
    }
}

std::size_t GraphicItems::findNumber(LONG number, std::size_t from) const {
    const auto it =
        std::find(m_numbers.begin() + static_cast<std::ptrdiff_t>(from), m_numbers.end(), number);
    return it == m_numbers.end() ? kNone : static_cast<std::size_t>(it - m_numbers.begin());
}

HRESULT GraphicItems::Remove(LONG number) {
    catchUp();
    readForeignNumbers();
    const std::size_t first = findNumber(number, 0);
    if (first == kNone)
        return S_FALSE;
    // Let go of the items only once the lists agree again: the last release of an item from
    // elsewhere runs its code.
    std::vector<ComPtr<TalvorGraphicItem>> removed;
    std::size_t kept = first;
    for (std::size_t i = first; i < m_items.size(); ++i) {
        if (m_numbers[i] == number) {
            if (m_concrete[i])
                m_concrete[i]->unwatch(this);
            else
                --m_foreign;
            removed.push_back(std::move(m_items[i]));
            continue;
        }
        m_items[kept] = std::move(m_items[i]);
        m_concrete[kept] = m_concrete[i];
        m_numbers[kept] = m_numbers[i];
        ++kept;
    }
    m_items.resize(kept);
    m_concrete.resize(kept);
    m_numbers.resize(kept);
    m_firstChanged = std::min(m_firstChanged, first);
    return S_OK;
}

HRESULT GraphicItems::Show(LONG number, BOOL visible) {
    catchUp();
    readForeignNumbers();
    struct Hit {
        std::size_t index;
        TalvorGraphicItem *item;
        GraphicItem *concrete;
    };
    std::vector<Hit> hits;
    // An item from elsewhere may call back into the collection from SetVisible and make it
    // let go of items still to be changed; only then are they held meanwhile.
    std::vector<ComPtr<TalvorGraphicItem>> held;
    for (std::size_t i = findNumber(number, 0); i != kNone; i = findNumber(number, i + 1)) {
        hits.push_back({i, m_items[i].get(), m_concrete[i]});
        if (m_foreign > 0)
            held.push_back(m_items[i]);
    }
    if (hits.empty())
        return S_FALSE;
    for (const Hit &hit : hits) {
        if (!hit.concrete) {
            hit.item->SetVisible(visible);
            continue;
        }
        const bool was = hit.concrete->visible();
        m_editing = hit.concrete;
        hit.concrete->SetVisible(visible);
        m_editing = nullptr;
        // Should a callback have moved the item, the removal before it lowered the mark
        // further already.
        if (hit.concrete->visible() != was)
            m_firstChanged = std::min(m_firstChanged, hit.index);
    }
    return S_OK;
}

HRESULT GraphicItems::GetCount(LONG *count) {
    if (!count)
        return E_POINTER;
    *count = static_cast<LONG>(m_items.size());
    return S_OK;
}

HRESULT GraphicItems::GetItem(LONG index, TalvorGraphicItem **item) {
    if (!item)
        return E_POINTER;
    *item = nullptr;
    if (index < 1 || index > static_cast<LONG>(m_items.size()))
        return E_INVALIDARG;
    return giveOut(m_items[static_cast<std::size_t>(index - 1)], item);
}

HRESULT GraphicItems::Clear() {
    for (GraphicItem *item : m_concrete) {
        if (item)
            item->unwatch(this);
    }
    std::vector<ComPtr<TalvorGraphicItem>> released;
    released.swap(m_items);
    m_concrete.clear();
    m_numbers.clear();
    m_foreign = 0;
    m_reports.clear();
    m_reportsOverflowed = false;
    m_firstChanged = 0;
    return S_OK;
}

void GraphicItems::paintItems(std::size_t from, LONG frame, QPainter *painter, const QRect &target,
                              float scale, float hOffset, float vOffset, LONG videoWidth,
                              LONG videoHeight) const {
    // References: an item is free to be released by its last other owner while we paint.
    const std::vector<ComPtr<TalvorGraphicItem>> items(
        m_items.begin() + static_cast<std::ptrdiff_t>(std::min(from, m_items.size())),
        m_items.end());
    for (const auto &item : items)
        item->Draw(frame, painter, target, scale, hOffset, vOffset, videoWidth, videoHeight);
}

HRESULT GraphicItems::Draw(LONG frame, QPainter *painter, const QRect &target, float scale,
                           float hOffset, float vOffset, LONG videoWidth, LONG videoHeight) {
    if (!painter)
        return E_POINTER;
    if (!painter->isActive())
        return platform::E_FAIL;
    if (m_painting.exchange(true)) {
        paintItems(0, frame, painter, target, scale, hOffset, vOffset, videoWidth, videoHeight);
        return S_OK;
    }
    struct Done {
        std::atomic<bool> &painting;
        ~Done() { painting = false; }
    } done{m_painting};

    catchUp();
    const std::size_t count = m_items.size();
    const std::size_t unchanged = std::min(m_firstChanged, m_drawnCount);
    if (m_firstChanged < m_cache.count()) {
        // The whole cache is repainted for this. When the change was near the end, where
        // items come and go with each frame, keep more of the end out of the cache.
        const std::size_t fromEnd = m_drawnCount - m_firstChanged;
        if (fromEnd <= std::max(kMinVolatileTail, m_drawnCount / 8))
            m_volatileTail = std::min(kMaxVolatileTail, std::max(m_volatileTail, 2 * fromEnd));
        m_cache.truncate(m_firstChanged);
    }
    // Changes from here on, including any an item makes while painted below, count
    // against the next Draw.
    m_firstChanged = count;
    m_drawnCount = count;

    // A geometry is cached from its second Draw in a row on, so that a single Draw
    // elsewhere (a picture, a captured frame) leaves the view's cache alone.
    const auto geometry = ItemPaintCache::geometryFor(painter, target, scale, hOffset, vOffset);
    const bool repeated = geometry && geometry == m_lastGeometry;
    m_lastGeometry = geometry;
    if (!geometry || (!m_cache.holds(*geometry) && !repeated)) {
        paintItems(0, frame, painter, target, scale, hOffset, vOffset, videoWidth, videoHeight);
        return S_OK;
    }
    if (!m_cache.holds(*geometry))
        m_cache.reset(*geometry);

    // Into the cache go the items the last Draw painted and nothing changed since, short of
    // the volatile tail and of the first item from elsewhere (whose painting is its own).
    std::size_t to = std::min(unchanged, count > m_volatileTail ? count - m_volatileTail : 0);
    to = std::max(to, m_cache.count());
    for (std::size_t i = m_cache.count(); i < to; ++i) {
        if (!m_concrete[i]) {
            to = i;
            break;
        }
    }
    m_cache.fill(m_concrete, to, frame);
    m_cache.composite(painter);
    paintItems(m_cache.count(), frame, painter, target, scale, hOffset, vOffset, videoWidth,
               videoHeight);
    return S_OK;
}

} // namespace datalib
