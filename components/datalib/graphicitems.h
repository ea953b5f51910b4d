// The overlay item collection: items in the order they were added, found by number.
#pragma once

#include "components/datalib/comobject.h"
#include "components/datalib/interfaces.h"

#include <vector>

namespace datalib {

class GraphicItems final : public ComObject<TalvorGraphicItems> {
public:
    HRESULT Add(LONG kind, TalvorGraphicItem **item) override;
    HRESULT FileItem(TalvorGraphicItem *item, LONG number) override;
    HRESULT Remove(LONG number) override;
    HRESULT Show(LONG number, BOOL visible) override;
    HRESULT GetCount(LONG *count) override;
    HRESULT GetItem(LONG index, TalvorGraphicItem **item) override;
    HRESULT Clear() override;
    HRESULT Draw(LONG frame, QPainter *painter, const QRect &target, float scale, float hOffset,
                 float vOffset, LONG videoWidth, LONG videoHeight) override;

private:
    static LONG numberOf(TalvorGraphicItem *item);

    std::vector<platform::ComPtr<TalvorGraphicItem>> m_items;
};

} // namespace datalib
