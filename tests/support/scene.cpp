#include "tests/support/scene.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace scene {

cv::Mat texture(cv::Size size, unsigned seed, double mean, double amplitude, double blur) {
    cv::RNG rng(seed);
    cv::Mat noise(size, CV_32F);
    rng.fill(noise, cv::RNG::NORMAL, 0.0, 1.0);
    cv::GaussianBlur(noise, noise, cv::Size(), blur);
    cv::Scalar m, sd;
    cv::meanStdDev(noise, m, sd);
    cv::Mat out;
    noise.convertTo(out, CV_8U, amplitude / (2.0 * std::max(sd[0], 1e-9)),
                    mean - m[0] * amplitude / (2.0 * std::max(sd[0], 1e-9)));
    return out;
}

void disc(cv::Mat &grey, double x, double y, double r, double level) {
    const int x0 = std::max(0, int(std::floor(x - r - 1))),
              x1 = std::min(grey.cols - 1, int(std::ceil(x + r + 1)));
    const int y0 = std::max(0, int(std::floor(y - r - 1))),
              y1 = std::min(grey.rows - 1, int(std::ceil(y + r + 1)));
    constexpr int n = 16;
    for (int py = y0; py <= y1; ++py) {
        for (int px = x0; px <= x1; ++px) {
            const double d = std::hypot(px - x, py - y);
            double cover;
            if (d <= r - 0.75)
                cover = 1.0;
            else if (d >= r + 0.75)
                cover = 0.0;
            else {
                int inside = 0;
                for (int sy = 0; sy < n; ++sy)
                    for (int sx = 0; sx < n; ++sx) {
                        const double u = px - 0.5 + (sx + 0.5) / n - x;
                        const double v = py - 0.5 + (sy + 0.5) / n - y;
                        inside += u * u + v * v <= r * r;
                    }
                cover = inside / double(n * n);
            }
            auto &p = grey.at<std::uint8_t>(py, px);
            p = cv::saturate_cast<std::uint8_t>(p + cover * (level - p));
        }
    }
}

void paste(cv::Mat &grey, const cv::Mat &patch, double x, double y, double angle, double radius) {
    const double a = angle * CV_PI / 180.0, c = std::cos(a), s = std::sin(a);
    const double pc = (patch.cols - 1) / 2.0;
    // Frame pixel q -> patch: pc + R(-angle) (q - (x, y)).
    const cv::Matx23d m(c, -s, pc - c * x + s * y, s, c, pc - s * x - c * y);
    cv::Mat turned;
    cv::warpAffine(patch, turned, m, grey.size(), cv::INTER_CUBIC | cv::WARP_INVERSE_MAP,
                   cv::BORDER_CONSTANT);
    const int x0 = std::max(0, int(x - radius - 2)),
              x1 = std::min(grey.cols - 1, int(x + radius + 2));
    const int y0 = std::max(0, int(y - radius - 2)),
              y1 = std::min(grey.rows - 1, int(y + radius + 2));
    for (int py = y0; py <= y1; ++py)
        for (int px = x0; px <= x1; ++px) {
            // Soft one-pixel edge, so the outline carries no aliasing of its own.
            const double w = std::clamp(radius + 0.5 - std::hypot(px - x, py - y), 0.0, 1.0);
            auto &p = grey.at<std::uint8_t>(py, px);
            p = cv::saturate_cast<std::uint8_t>(p + w * (turned.at<std::uint8_t>(py, px) - p));
        }
}

platform::ComPtr<platform::IPicture> picture(const cv::Mat &grey) {
    auto pic = platform::createPicture(grey.cols, grey.rows, platform::PixelFormat::Gray8);
    const auto view = pic->image();
    for (int y = 0; y < grey.rows; ++y)
        std::memcpy(pic->mutableData() + std::ptrdiff_t(y) * view.stride, grey.ptr(y),
                    std::size_t(grey.cols));
    return pic;
}

platform::ComPtr<platform::IPicture> colourPicture(const cv::Mat &grey) {
    auto owner = std::make_shared<std::pair<cv::Mat, cv::Mat>>();
    cv::cvtColor(grey, owner->first, cv::COLOR_GRAY2BGRA);
    owner->second = grey.clone();
    const platform::ImageView image{owner->first.data, grey.cols, grey.rows, int(owner->first.step),
                                    platform::PixelFormat::Bgra32};
    const platform::ImageView luma{owner->second.data, grey.cols, grey.rows,
                                   int(owner->second.step), platform::PixelFormat::Gray8};
    return platform::wrapPicture(image, owner, luma);
}

} // namespace scene
