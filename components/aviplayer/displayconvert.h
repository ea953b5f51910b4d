// Conversion of decoded frames to BGRA display pixels, into memory laid out with the room
// FFmpeg's converters need.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {
#include <libavutil/frame.h>
}

struct SwsContext;

namespace aviplayer {

// Bytes per row of a BGRA destination `width` pixels wide. FFmpeg's vector converters store
// whole blocks of pixels (16 BGRA pixels, 64 bytes, a loop for yuv420p and yuv422p), past
// the last pixel of a row: a row only width * 4 bytes long, rounded to less than such a
// block, lets the last row's stores run off the end of the buffer (tiny and odd widths).
int bgraStride(int width);
// Bytes a BGRA destination of width x height must hold: its rows plus the slack that stores
// of blocks wider than the row alignment (up to 64 pixels) may reach past the last row.
std::size_t bgraBytes(int width, int height);

// Converts `frame` at its own size into `dst`, bgraBytes(width, height) bytes with rows
// bgraStride(width) apart; `sws` is the caller's cached converter. False when FFmpeg
// cannot convert the frame.
bool convertToBgra(const AVFrame &frame, ::SwsContext *&sws, std::uint8_t *dst);

} // namespace aviplayer
