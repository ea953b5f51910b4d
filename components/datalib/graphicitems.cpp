#include "components/datalib/graphicitems.h"
#include "components/datalib/graphicitem.h"

#include <QPainter>

#include <algorithm>

namespace datalib {

using platform::ComPtr;
using platform::E_INVALIDARG;
using platform::E_POINTER;
using platform::S_FALSE;
using platform::S_OK;

HRESULT GraphicItems::Add(LONG kind, TalvorGraphicItem **item) {
    if (!item)
        return E_POINTER;
    *item = nullptr;
    if (!GraphicItem::isKnownKind(kind))
        return E_INVALIDARG;
    ComPtr<TalvorGraphicItem> created = ComPtr<TalvorGraphicItem>::attach(new GraphicItem(kind));
    m_items.push_back(created);
    return giveOut(created, item);
}

HRESULT GraphicItems::FileItem(TalvorGraphicItem *item, LONG number) {
    if (!item)
        return E_POINTER;
    const HRESULT hr = item->SetID(number);
    if (platform::failed(hr))
        return hr;
    const bool held = std::any_of(m_items.begin(), m_items.end(),
                                  [&](const auto &held) { return held.get() == item; });
    if (!held)
        m_items.push_back(ComPtr<TalvorGraphicItem>::share(item));
    return S_OK;
}

LONG GraphicItems::numberOf(TalvorGraphicItem *item) {
    LONG id = 0;
    item->GetID(&id);
    return id;
}

HRESULT GraphicItems::Remove(LONG number) {
    const auto removed =
        std::erase_if(m_items, [&](const auto &item) { return numberOf(item.get()) == number; });
    return removed ? S_OK : S_FALSE;
}

HRESULT GraphicItems::Show(LONG number, BOOL visible) {
    bool any = false;
    for (const auto &item : m_items) {
        if (numberOf(item.get()) == number) {
            item->SetVisible(visible);
            any = true;
        }
    }
    return any ? S_OK : S_FALSE;
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
    m_items.clear();
    return S_OK;
}

HRESULT GraphicItems::Draw(LONG frame, QPainter *painter, const QRect &target, float scale,
                           float hOffset, float vOffset, LONG videoWidth, LONG videoHeight) {
    if (!painter)
        return E_POINTER;
    if (!painter->isActive())
        return platform::E_FAIL;
    // A copy: an item is free to be released by its last other owner while we paint.
    const auto items = m_items;
    for (const auto &item : items)
        item->Draw(frame, painter, target, scale, hOffset, vOffset, videoWidth, videoHeight);
    return S_OK;
}

} // namespace datalib
