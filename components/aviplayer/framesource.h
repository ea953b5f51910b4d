// Where decoded frames come from: a container stream or a numbered picture sequence.
// Frames are handed out in the decoder's own pixel format, numbered in presentation order.
#pragma once

#include "components/aviplayer/framecache.h"

#include <functional>
#include <string>

namespace aviplayer {

enum class FieldOrder { Unknown, TopFirst, BottomFirst };

// Called with the fraction done (0..1) while a file is indexed; false cancels the open.
using ProgressFn = std::function<bool(double)>;

class FrameSource {
public:
    // Receives every frame decoded on the way to the one asked for, so that they can be
    // cached (stepping backwards then decodes a GOP once, not once per step).
    using Sink = std::function<void(int frame, const FramePtr &)>;

    virtual ~FrameSource() = default;
    virtual int frameCount() const = 0;
    virtual double frameRate() const = 0; // frames per second, average for variable rates
    virtual FieldOrder fieldOrder() const { return FieldOrder::Unknown; }
    // Every frame decodes on its own, without reference to another (intra-only codecs,
    // pictures): any frame costs one frame's decoding, wherever it is.
    virtual bool independentFrames() const { return false; }
    // Frame n, or null when it cannot be decoded.
    virtual FramePtr decode(int n, const Sink &sink) = 0;
};

} // namespace aviplayer
