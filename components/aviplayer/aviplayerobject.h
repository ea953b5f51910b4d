// The player's dispatch object (a `TalvorAVI` object): the AVI player reached by DISPID,
// created by class identifier through platform::createInstance once registerClasses() ran.
#pragma once

#include "components/aviplayer/aviplayer.h"
#include "components/aviplayer/painttarget.h"
#include "platform/dispatch.h"

namespace aviplayer {

inline constexpr platform::Guid CLSID_TalvorAVICtrl =
    platform::guidOf("{86ECE817-3FDE-11D1-AC39-0000E81C19AF}");
inline constexpr platform::Guid DIID_TalvorAVI =
    platform::guidOf("{86ECE815-3FDE-11D1-AC39-0000E81C19AF}");

// The members, by dispatch identifier.
namespace dispid {
inline constexpr platform::DISPID BackColor = -501;     // put/get I4 (a COLORREF)
inline constexpr platform::DISPID Open = 16;            // (file BSTR, mode I4) -> I4
inline constexpr platform::DISPID Close = 17;           // () -> I4
inline constexpr platform::DISPID NumberOfFrames = 1;   // get I4
inline constexpr platform::DISPID FrameRate = 2;        // get R4
inline constexpr platform::DISPID Width = 3;            // get I4
inline constexpr platform::DISPID Height = 4;           // get I4
inline constexpr platform::DISPID IsOpen = 6;           // get BOOL
inline constexpr platform::DISPID FrameRateForced = 10; // get/put R4
inline constexpr platform::DISPID DrawFrame =
    21; // (target, frame, zoom, column, row, width, height, dx, dy) -> I4
inline constexpr platform::DISPID PicturePart =
    48; // get (frame, zoom, x, y, width, height) -> IUnknown
inline constexpr platform::DISPID MixBackground = 25; // (pic, pic, pic, flags I4, R4) -> IUnknown
inline constexpr platform::DISPID MixPicture =
    26; // (background, pictures, reserved, flags, threshold, colour) -> IUnknown
} // namespace dispid

// A drawing target as a typed dispatch argument (the player's DrawFrame, the control's
// Draw): the painter of a paint target object, null for any other argument, which the
// drawing members refuse. An integer is never taken for a pointer.
struct PaintTargetArg {
    QPainter *painter = nullptr;
    explicit operator QPainter *() const { return painter; }
};

// Registers the player's class; safe to call more than once.
void registerClasses();

// A new player object with one reference for the caller.
platform::ComPtr<platform::IDispatch> createPlayerObject(ReaderSettings settings = {});

} // namespace aviplayer

template <> struct platform::DispatchValue<aviplayer::PaintTargetArg> {
    static aviplayer::PaintTargetArg in(const Variant &v, bool *) {
        const auto target = v.toUnknown().query<aviplayer::IPaintTarget>();
        return {target ? target->painter() : nullptr};
    }
};
