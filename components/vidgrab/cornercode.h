// The corner code: a frame number written into the top-left corner of a BGRA picture as
// black and white 8x8-pixel blocks, and read back from it, also after lossy compression.
//
// Layout (blocks of 8x8 pixels, aligned to 8 so a JPEG-style codec keeps their edges):
//   row 0 (y 0..7):  start pattern W B B W, then the 32 bits of the number, most
//                    significant first (white = 1);
//   row 1 (y 8..15): the same 36 blocks inverted.
// The code is 288 x 16 pixels; smaller pictures are neither stamped nor read. A reader
// accepts a code only when the start pattern and every inverted block agree, so a natural
// picture practically never reads as a number.
#pragma once

#include <cstdint>
#include <optional>

namespace vidgrab {

inline constexpr int kCornerCodeBlock = 8;
inline constexpr int kCornerCodeWidth = 36 * kCornerCodeBlock;
inline constexpr int kCornerCodeHeight = 2 * kCornerCodeBlock;

// Writes `number` into the corner of a BGRA picture (stride in bytes); does nothing for a
// null picture or one smaller than the code.
void stampFrameNumber(std::uint8_t *bgra, int stride, int width, int height, std::uint32_t number);

// The number in the corner, or nothing when no intact code is there.
std::optional<std::uint32_t> readFrameNumber(const std::uint8_t *bgra, int stride, int width,
                                             int height);

} // namespace vidgrab
