// How the frames of a file become the frames the player delivers: the open mode's layout
// (full frames, fields, high-speed camera layouts), then rotation, then horizontal flip.
#pragma once

#include "components/aviplayer/framesource.h"
#include "components/aviplayer/openmode.h"

#include <cstdint>

namespace aviplayer {

class FrameLayout {
public:
    FrameLayout() = default;
    // `order` decides which field comes first in time in every layout that splits a frame
    // into fields (1, 3, 5); Unknown is taken as bottom field first, the DV convention.
    FrameLayout(OpenMode mode, int sourceWidth, int sourceHeight, FieldOrder order);

    // False when the source is too small for the layout.
    bool valid() const { return m_subWidth > 0 && m_subHeight > 0; }
    int perFrame() const { return m_perFrame; } // delivered frames per source frame
    int width() const { return m_rotated ? m_subHeight : m_subWidth; }
    int height() const { return m_rotated ? m_subWidth : m_subHeight; }
    bool identity() const;

    // Copies sub-picture `sub` of a source plane (1 or 4 bytes a pixel) into `dst`, a
    // width() x height() plane, rotated and flipped.
    void extract(const std::uint8_t *src, int srcStride, int bytesPerPixel, int sub,
                 std::uint8_t *dst, int dstStride) const;

    // Source row and column of pixel (x, y) of sub-picture `sub`, before rotation.
    int sourceRow(int sub, int y) const;
    int sourceColumn(int sub, int x) const {
        return x + (m_layout == TALVORAVIMODE_PRAXIM100 ? sub * m_subWidth : 0);
    }

private:
    int m_layout = 0;
    int m_rotation = 0;
    bool m_rotated = false;
    bool m_flip = false;
    bool m_topFirst = true;
    int m_sourceHeight = 0;
    int m_subWidth = 0;
    int m_subHeight = 0;
    int m_perFrame = 1;
};

} // namespace aviplayer
