// 8-bit grey of a picture object as a cv::Mat over the picture's own buffer, no copy.
#pragma once

#include "platform/picture.h"

#include <opencv2/core.hpp>

namespace engines {

// Empty when there is no picture or it has no pixels. The Mat is valid while the
// picture lives.
inline cv::Mat lumaView(platform::IPicture *picture) {
    if (!picture)
        return {};
    const platform::ImageView v = picture->luma();
    if (v.empty() || v.format != platform::PixelFormat::Gray8 || v.stride < v.width)
        return {};
    return cv::Mat(v.height, v.width, CV_8UC1, const_cast<std::uint8_t *>(v.data),
                   static_cast<std::size_t>(v.stride));
}

} // namespace engines
