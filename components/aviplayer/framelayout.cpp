#include "components/aviplayer/framelayout.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace aviplayer {

FrameLayout::FrameLayout(OpenMode mode, int sourceWidth, int sourceHeight, FieldOrder order)
    : m_layout(mode.layout), m_rotation(mode.rotation),
      m_rotated(mode.rotation == 90 || mode.rotation == 270), m_flip(mode.flip),
      m_topFirst(order == FieldOrder::TopFirst), m_sourceHeight(sourceHeight) {
    m_subWidth = sourceWidth;
    m_subHeight = sourceHeight;
    switch (m_layout) {
    case TALVORAVIMODE_FIELDS: // each field line-doubled back to the frame's height
        m_perFrame = 2;
        break;
    case TALVORAVIMODE_PRAXIM100: // two pictures side by side
        m_perFrame = 2;
        m_subWidth = sourceWidth / 2;
        break;
    case TALVORAVIMODE_JVC9X00:      // two pictures in the two fields
    case TALVORAVIMODE_JVC9X00_VERT: // two pictures one above the other
        m_perFrame = 2;
        m_subHeight = sourceHeight / 2;
        break;
    case TALVORAVIMODE_JVC9X00_200: // each field holds two pictures one above the other
        m_perFrame = 4;
        m_subHeight = sourceHeight / 4;
        break;
    default:
        break;
    }
    if (sourceWidth <= 0 || sourceHeight <= 0 ||
        (m_layout == TALVORAVIMODE_FIELDS && sourceHeight < 2))
        m_subWidth = m_subHeight = 0;
}

bool FrameLayout::identity() const {
    return m_layout == TALVORAVIMODE_NORMAL && m_rotation == 0 && !m_flip;
}

int FrameLayout::sourceRow(int sub, int y) const {
    // The field shown first in time: the stream's, the bottom one (as in DV) when the stream
    // does not say.
    auto parity = [this](int field) {
        return (field == 0) == m_topFirst ? 0 : 1;
    };
    switch (m_layout) {
    case TALVORAVIMODE_FIELDS: {
        int row = parity(sub) + 2 * (y / 2);
        while (row >= m_sourceHeight)
            row -= 2; // the last line of a field of an odd-height frame
        return row;
    }
    case TALVORAVIMODE_JVC9X00:
        return parity(sub) + 2 * y;
    case TALVORAVIMODE_JVC9X00_VERT:
        return sub * m_subHeight + y;
    case TALVORAVIMODE_JVC9X00_200:
        return parity(sub / 2) + 2 * ((sub % 2) * m_subHeight + y);
    default:
        return y;
    }
}

namespace {

template <int Bpp>
void extractPixels(const FrameLayout &layout, int subWidth, int subHeight, int rotation, bool flip,
                   const std::uint8_t *src, int srcStride, int sub, std::uint8_t *dst,
                   int dstStride) {
    const int outW = layout.width();
    const int outH = layout.height();
    // Source row pointers of the sub-picture, once per call.
    std::vector<const std::uint8_t *> rows(static_cast<std::size_t>(subHeight));
    for (int y = 0; y < subHeight; ++y)
        rows[static_cast<std::size_t>(y)] =
            src + static_cast<std::ptrdiff_t>(layout.sourceRow(sub, y)) * srcStride +
            layout.sourceColumn(sub, 0) * Bpp;
    for (int Y = 0; Y < outH; ++Y) {
        std::uint8_t *out = dst + static_cast<std::ptrdiff_t>(Y) * dstStride;
        if (rotation == 0 && !flip) {
            std::memcpy(out, rows[static_cast<std::size_t>(Y)],
                        static_cast<std::size_t>(outW) * Bpp);
            continue;
        }
        for (int X = 0; X < outW; ++X) {
            const int x0 = flip ? outW - 1 - X : X; // the flip comes after the rotation
            int x = x0, y = Y;
            switch (rotation) {
            case 90:
                x = Y;
                y = subHeight - 1 - x0;
                break;
            case 180:
                x = subWidth - 1 - x0;
                y = subHeight - 1 - Y;
                break;
            case 270:
                x = subWidth - 1 - Y;
                y = x0;
                break;
            default:
                break;
            }
            std::memcpy(out + X * Bpp, rows[static_cast<std::size_t>(y)] + x * Bpp, Bpp);
        }
    }
}

} // namespace

void FrameLayout::extract(const std::uint8_t *src, int srcStride, int bytesPerPixel, int sub,
                          std::uint8_t *dst, int dstStride) const {
    if (!valid() || sub < 0 || sub >= m_perFrame)
        return;
    if (bytesPerPixel == 4)
        extractPixels<4>(*this, m_subWidth, m_subHeight, m_rotation, m_flip, src, srcStride, sub,
                         dst, dstStride);
    else
        extractPixels<1>(*this, m_subWidth, m_subHeight, m_rotation, m_flip, src, srcStride, sub,
                         dst, dstStride);
}

} // namespace aviplayer
