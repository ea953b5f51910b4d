#include "platform/picture.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace platform {

int bytesPerPixel(PixelFormat format) {
    return format == PixelFormat::Gray8 ? 1 : 4;
}

LONG himetricToPixels(LONG himetric, int dpi) {
    return static_cast<LONG>(static_cast<double>(dpi) * himetric / 2540.0 + 0.5);
}

LONG pixelsToHimetric(LONG pixels, int dpi) {
    return static_cast<LONG>(static_cast<double>(pixels) * 2540.0 / dpi + 0.5);
}

namespace {

constexpr int kRowAlign = 32;

int alignedStride(int width, PixelFormat format) {
    const int bytes = width * bytesPerPixel(format);
    return (bytes + kRowAlign - 1) / kRowAlign * kRowAlign;
}

class Picture final : public ComObject<IPicture> {
public:
    Picture(ImageView image, std::shared_ptr<const void> owner, std::optional<ImageView> luma,
            std::uint8_t *writable)
        : m_image(image), m_owner(std::move(owner)), m_luma(luma), m_writable(writable) {}

    ImageView image() const override { return m_image; }

    ImageView luma() const override {
        if (m_image.format == PixelFormat::Gray8)
            return m_image;
        std::call_once(m_lumaOnce, [this] {
            if (m_luma)
                return;
            // BT.601 weights in fixed point, the same luma a decoder would have produced
            // for full-range material.
            const int stride = alignedStride(m_image.width, PixelFormat::Gray8);
            m_lumaBuffer.assign(
                static_cast<std::size_t>(stride) *
                    static_cast<std::size_t>(m_image.height > 0 ? m_image.height : 0),
                0);
            for (int y = 0; y < m_image.height; ++y) {
                const std::uint8_t *src = m_image.row(y);
                std::uint8_t *dst = m_lumaBuffer.data() + static_cast<std::ptrdiff_t>(y) * stride;
                for (int x = 0; x < m_image.width; ++x, src += 4)
                    dst[x] = static_cast<std::uint8_t>(
                        (src[2] * 77 + src[1] * 150 + src[0] * 29 + 128) >> 8);
            }
            m_luma = ImageView{m_lumaBuffer.data(), m_image.width, m_image.height, stride,
                               PixelFormat::Gray8};
        });
        return *m_luma;
    }

    std::uint8_t *mutableData() override { return m_writable; }

    void sizeHimetric(LONG *width, LONG *height) const override {
        if (width)
            *width = pixelsToHimetric(m_image.width);
        if (height)
            *height = pixelsToHimetric(m_image.height);
    }

private:
    ImageView m_image;
    std::shared_ptr<const void> m_owner;
    mutable std::once_flag m_lumaOnce;
    mutable std::optional<ImageView> m_luma;
    mutable std::vector<std::uint8_t> m_lumaBuffer;
    std::uint8_t *m_writable;
};

} // namespace

ComPtr<IPicture> createPicture(int width, int height, PixelFormat format) {
    if (width < 0 || height < 0)
        return {};
    const int stride = alignedStride(width, format);
    auto buffer = std::shared_ptr<std::uint8_t[]>(
        new (std::nothrow) std::uint8_t[static_cast<std::size_t>(stride) * height + 1]());
    if (!buffer)
        return {};
    ImageView view{buffer.get(), width, height, stride, format};
    std::uint8_t *writable = buffer.get();
    return ComPtr<IPicture>::attach(new Picture(
        view, std::shared_ptr<const void>(buffer, buffer.get()), std::nullopt, writable));
}

ComPtr<IPicture> wrapPicture(ImageView image, std::shared_ptr<const void> owner,
                             std::optional<ImageView> luma) {
    return ComPtr<IPicture>::attach(new Picture(image, std::move(owner), luma, nullptr));
}

} // namespace platform
