// The drawing target of the player's frame-drawing method: a counted object that carries a
// QPainter across the dispatch interface, so that no integer is ever taken for a pointer.
// The painter must outlive the call it is passed to; the object does not own it.
#pragma once

#include "platform/com.h"

class QPainter;

namespace aviplayer {

class IPaintTarget : public platform::IUnknown {
public:
    virtual QPainter *painter() const = 0;
    static constexpr platform::Guid IID =
        platform::guidOf("{0B6E53D2-7C1A-4F4E-9C55-2F3D8E1A6B01}");
};

platform::ComPtr<IPaintTarget> makePaintTarget(QPainter *painter);

} // namespace aviplayer
