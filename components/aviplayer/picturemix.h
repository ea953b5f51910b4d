// Background-and-difference mixing of pictures, behind the player's mixing methods.
#pragma once

#include "platform/picture.h"

namespace aviplayer {

// Variants of the overlay (the flags of the second mixing method), combinable.
enum MixFlags : platform::LONG {
    MIX_DIFF_MAX_CHANNEL =
        0,             // a pixel differs when one colour channel differs by more than the threshold
    MIX_DIFF_LUMA = 1, // ... when its luma differs by more than the threshold
    MIX_UNTINTED = 2,  // lay the second video's pixels over as they are
    MIX_SOLID = 4,     // paint differing pixels in the colour alone
};

// Per-pixel, per-channel median of three pictures of one size: the background of a scene
// in which moving things are at a different place in each. Null on a missing picture or
// differing sizes.
platform::ComPtr<platform::IPicture> medianPicture(platform::IPicture *a, platform::IPicture *b,
                                                   platform::IPicture *c);

// `first` with the pixels of `second` that differ from `background` by more than
// `threshold` (grey levels) laid over it, tinted half-way towards `color` (0x00BBGGRR)
// unless the flags say otherwise. Only the area the three pictures share is compared; the
// rest of `first` is kept. Null when `first` is missing.
platform::ComPtr<platform::IPicture> mixOver(platform::IPicture *background,
                                             platform::IPicture *first, platform::IPicture *second,
                                             platform::LONG flags, float threshold,
                                             platform::COLORREF color);

} // namespace aviplayer
