#include "components/aviplayer/picturemix.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace aviplayer {

using platform::ComPtr;
using platform::ImageView;
using platform::IPicture;
using platform::PixelFormat;

namespace {

// Colour pixels of any picture: Gray8 pictures are widened to BGRA.
ComPtr<IPicture> asBgra(IPicture *picture) {
    if (!picture)
        return {};
    const ImageView view = picture->image();
    if (view.empty())
        return {};
    if (view.format == PixelFormat::Bgra32)
        return ComPtr<IPicture>::share(picture);
    ComPtr<IPicture> out = platform::createPicture(view.width, view.height, PixelFormat::Bgra32);
    if (!out)
        return {};
    const ImageView dst = out->image();
    for (int y = 0; y < view.height; ++y) {
        std::uint8_t *d = out->mutableData() + static_cast<std::ptrdiff_t>(y) * dst.stride;
        const std::uint8_t *s = view.row(y);
        for (int x = 0; x < view.width; ++x) {
            d[4 * x] = d[4 * x + 1] = d[4 * x + 2] = s[x];
            d[4 * x + 3] = 255;
        }
    }
    return out;
}

std::uint8_t median3(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

int lumaOf(const std::uint8_t *p) {
    return (p[2] * 77 + p[1] * 150 + p[0] * 29 + 128) >> 8;
}

} // namespace

ComPtr<IPicture> medianPicture(IPicture *a, IPicture *b, IPicture *c) {
    const ComPtr<IPicture> pa = asBgra(a), pb = asBgra(b), pc = asBgra(c);
    if (!pa || !pb || !pc)
        return {};
    const ImageView va = pa->image(), vb = pb->image(), vc = pc->image();
    if (va.width != vb.width || va.width != vc.width || va.height != vb.height ||
        va.height != vc.height)
        return {};
    ComPtr<IPicture> out = platform::createPicture(va.width, va.height, PixelFormat::Bgra32);
    if (!out)
        return {};
    const int stride = out->image().stride;
    for (int y = 0; y < va.height; ++y) {
        std::uint8_t *d = out->mutableData() + static_cast<std::ptrdiff_t>(y) * stride;
        const std::uint8_t *ra = va.row(y), *rb = vb.row(y), *rc = vc.row(y);
        for (int i = 0; i < va.width * 4; ++i)
            d[i] = median3(ra[i], rb[i], rc[i]);
    }
    return out;
}

ComPtr<IPicture> mixOver(IPicture *background, IPicture *first, IPicture *second,
                         platform::LONG flags, float threshold, platform::COLORREF color) {
    const ComPtr<IPicture> base = asBgra(first);
    if (!base)
        return {};
    const ImageView vf = base->image();
    ComPtr<IPicture> out = platform::createPicture(vf.width, vf.height, PixelFormat::Bgra32);
    if (!out)
        return {};
    const int stride = out->image().stride;
    for (int y = 0; y < vf.height; ++y)
        std::memcpy(out->mutableData() + static_cast<std::ptrdiff_t>(y) * stride, vf.row(y),
                    static_cast<std::size_t>(vf.width) * 4);

    const ComPtr<IPicture> bg = asBgra(background), sec = asBgra(second);
    if (!bg || !sec)
        return out;
    const ImageView vb = bg->image(), vs = sec->image();
    const int w = std::min({vf.width, vb.width, vs.width});
    const int h = std::min({vf.height, vb.height, vs.height});
    const float limit = std::isfinite(threshold) ? threshold : 0.0f;
    const int tint[3] = {static_cast<int>((color >> 16) & 0xFF),
                         static_cast<int>((color >> 8) & 0xFF),
                         static_cast<int>(color & 0xFF)}; // B, G, R
    for (int y = 0; y < h; ++y) {
        std::uint8_t *d = out->mutableData() + static_cast<std::ptrdiff_t>(y) * stride;
        const std::uint8_t *rb = vb.row(y), *rs = vs.row(y);
        for (int x = 0; x < w; ++x) {
            const std::uint8_t *pb = rb + 4 * x, *ps = rs + 4 * x;
            int diff = 0;
            if (flags & MIX_DIFF_LUMA) {
                diff = std::abs(lumaOf(ps) - lumaOf(pb));
            } else {
                for (int c = 0; c < 3; ++c)
                    diff = std::max(diff, std::abs(ps[c] - pb[c]));
            }
            if (static_cast<float>(diff) <= limit)
                continue;
            std::uint8_t *p = d + 4 * x;
            for (int c = 0; c < 3; ++c) {
                if (flags & MIX_SOLID)
                    p[c] = static_cast<std::uint8_t>(tint[c]);
                else if (flags & MIX_UNTINTED)
                    p[c] = ps[c];
                else
                    p[c] = static_cast<std::uint8_t>((ps[c] + tint[c] + 1) / 2);
            }
            p[3] = 255;
        }
    }
    return out;
}

} // namespace aviplayer
