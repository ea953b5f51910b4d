#include "components/vidgrab/cornercode.h"

#include <array>

namespace vidgrab {

namespace {

constexpr int kDataBits = 32;
constexpr std::array<bool, 4> kStart = {true, false, false, true};
constexpr int kBlocks = static_cast<int>(kStart.size()) + kDataBits;
static_assert(kBlocks * kCornerCodeBlock == kCornerCodeWidth);

bool fits(const void *bgra, int stride, int width, int height) {
    return bgra && width >= kCornerCodeWidth && height >= kCornerCodeHeight && stride >= width * 4;
}

// Block i of row 0 (row 1 holds the inverse).
bool blockValue(int i, std::uint32_t number) {
    if (i < static_cast<int>(kStart.size()))
        return kStart[static_cast<std::size_t>(i)];
    const int bit = kDataBits - 1 - (i - static_cast<int>(kStart.size()));
    return ((number >> bit) & 1u) != 0;
}

void fillBlock(std::uint8_t *bgra, int stride, int blockX, int blockY, bool white) {
    const std::uint8_t v = white ? 255 : 0;
    for (int y = 0; y < kCornerCodeBlock; ++y) {
        std::uint8_t *p = bgra +
                          static_cast<std::ptrdiff_t>(blockY * kCornerCodeBlock + y) * stride +
                          blockX * kCornerCodeBlock * 4;
        for (int x = 0; x < kCornerCodeBlock; ++x, p += 4) {
            p[0] = p[1] = p[2] = v;
            p[3] = 255;
        }
    }
}

// The mean brightness of the inner 4x4 pixels of a block: compression smears the edges of
// a block, its middle keeps the level.
int blockLevel(const std::uint8_t *bgra, int stride, int blockX, int blockY) {
    int sum = 0;
    for (int y = 2; y < 6; ++y) {
        const std::uint8_t *p =
            bgra + static_cast<std::ptrdiff_t>(blockY * kCornerCodeBlock + y) * stride +
            (blockX * kCornerCodeBlock + 2) * 4;
        for (int x = 0; x < 4; ++x, p += 4)
            sum += p[0] + p[1] + p[2];
    }
    return sum / (16 * 3);
}

// A block reads as white above 160, black below 96, and as nothing in between.
std::optional<bool> blockBit(const std::uint8_t *bgra, int stride, int blockX, int blockY) {
    const int level = blockLevel(bgra, stride, blockX, blockY);
    if (level > 160)
        return true;
    if (level < 96)
        return false;
    return std::nullopt;
}

} // namespace

void stampFrameNumber(std::uint8_t *bgra, int stride, int width, int height, std::uint32_t number) {
    if (!fits(bgra, stride, width, height))
        return;
    for (int i = 0; i < kBlocks; ++i) {
        const bool white = blockValue(i, number);
        fillBlock(bgra, stride, i, 0, white);
        fillBlock(bgra, stride, i, 1, !white);
    }
}

std::optional<std::uint32_t> readFrameNumber(const std::uint8_t *bgra, int stride, int width,
                                             int height) {
    if (!fits(bgra, stride, width, height))
        return std::nullopt;
    std::uint32_t number = 0;
    for (int i = 0; i < kBlocks; ++i) {
        const auto top = blockBit(bgra, stride, i, 0);
        const auto bottom = blockBit(bgra, stride, i, 1);
        if (!top || !bottom || *top == *bottom)
            return std::nullopt;
        if (i < static_cast<int>(kStart.size())) {
            if (*top != kStart[static_cast<std::size_t>(i)])
                return std::nullopt;
        } else {
            number = (number << 1) | (*top ? 1u : 0u);
        }
    }
    return number;
}

} // namespace vidgrab
