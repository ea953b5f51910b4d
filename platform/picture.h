// Picture objects: reference-counted images handed between the player, the control, the
// engines and hosts. The pixel buffer is laid out so that QImage (Format_RGB32 /
// Format_Grayscale8) and cv::Mat (CV_8UC4 / CV_8UC1) can wrap it without a copy, and a
// picture may carry the decoder's luma plane as well, for the tracking engines.
#pragma once

#include "platform/com.h"

#include <memory>
#include <optional>

namespace platform {

enum class PixelFormat {
    Bgra32, // bytes B, G, R, A per pixel (0xAARRGGBB as a little-endian 32-bit word)
    Gray8,
};

struct ImageView {
    const std::uint8_t *data = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0; // bytes per row, at least width * bytes per pixel
    PixelFormat format = PixelFormat::Bgra32;

    bool empty() const { return !data || width <= 0 || height <= 0; }
    const std::uint8_t *row(int y) const { return data + static_cast<std::ptrdiff_t>(y) * stride; }
};

PLATFORM_API int bytesPerPixel(PixelFormat format);

class IPicture : public IUnknown {
public:
    // The display pixels.
    virtual ImageView image() const = 0;
    // 8-bit grey of the same size: the decoder's luma plane where the source had one,
    // else computed once from the display pixels on first request.
    virtual ImageView luma() const = 0;
    // Writable pixels for pictures made by createPicture; null for wrapped buffers.
    virtual std::uint8_t *mutableData() = 0;
    // Size in HIMETRIC units (0.01 mm) at 96 dots per inch, as picture objects report it.
    virtual void sizeHimetric(LONG *width, LONG *height) const = 0;

    // The picture-display interface identifier; hosts ask for it.
    static constexpr Guid IID = guidOf("{7BF80981-BF32-101A-8BBB-00AA00300CAB}");
};

// A new picture with zeroed pixels and a tightly aligned stride (rows padded to 32 bytes).
PLATFORM_API ComPtr<IPicture> createPicture(int width, int height, PixelFormat format);

// A picture over pixels owned elsewhere; `owner` keeps them alive as long as the picture
// lives. `luma`, when given, must stay valid under the same owner.
PLATFORM_API ComPtr<IPicture> wrapPicture(ImageView image, std::shared_ptr<const void> owner,
                                          std::optional<ImageView> luma = std::nullopt);

// HIMETRIC <-> pixels at the given resolution: trunc(dpi * himetric / 2540 + 0.5).
PLATFORM_API LONG himetricToPixels(LONG himetric, int dpi = 96);
PLATFORM_API LONG pixelsToHimetric(LONG pixels, int dpi = 96);

} // namespace platform
