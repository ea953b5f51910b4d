// MD5 digests of frame pixels, packed row after row without padding: in the decoder's own
// pixel format the same bytes that FFmpeg's framemd5 output hashes.
#pragma once

#include "components/aviplayer/framecache.h"
#include "platform/picture.h"

#include <string>
#include <vector>

namespace aviplayer {

// Planes packed one after the other (palette included), as lower-case hex; "" on failure.
std::string nativeMd5(const AVFrame &frame);
// Bytes the packed frame takes, 0 on failure.
int nativeSize(const AVFrame &frame);
// The pixels of an image, `bytesPerPixel` bytes of each pixel kept, in the order given by
// `order` (indices into the pixel's bytes): {2,1,0} turns BGRA into RGB24.
std::string imageMd5(const platform::ImageView &image, const std::vector<int> &order);

} // namespace aviplayer
