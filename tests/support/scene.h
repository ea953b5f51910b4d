// Synthetic frames with exact ground truth for the tracking engines: smooth random
// textures, discs with sub-pixel edges and a textured patch under rotation and
// translation. Pixel centres lie at integer coordinates.
#pragma once

#include "platform/picture.h"

#include <opencv2/core.hpp>

namespace scene {

// Smooth random texture of mean `mean` and roughly +-`amplitude` grey levels.
cv::Mat texture(cv::Size size, unsigned seed, double mean, double amplitude, double blur = 2.0);

// Paints a disc of radius r at (x, y) with its exact pixel coverage (16 x 16 samples per
// edge pixel), blending `level` over what is there.
void disc(cv::Mat &grey, double x, double y, double r, double level);

// A textured round patch: `patch` (square, its centre the patch centre) drawn with its
// centre at (x, y), turned by `angle` degrees counter-clockwise on screen, inside a disc of
// radius `radius`.
void paste(cv::Mat &grey, const cv::Mat &patch, double x, double y, double angle, double radius);

// The frame as a grey picture object (copies the pixels).
platform::ComPtr<platform::IPicture> picture(const cv::Mat &grey);
// The frame as a colour picture whose luma plane is `grey` (as the player delivers it).
platform::ComPtr<platform::IPicture> colourPicture(const cv::Mat &grey);

} // namespace scene
