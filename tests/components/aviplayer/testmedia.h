// The player tests' own media checks: ffmpeg's frame digests (framemd5) as the reference for
// frame accuracy, YUV4MPEG2 files written byte by byte, and a guard against calls that block
// on a FIFO. Temporary folders and clips come from tests/support.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testmedia {

// The MD5 column of `ffmpeg [inputOptions] -i file -f framemd5` for the first video
// stream, every decoded frame kept (no frame-rate conversion).
std::vector<std::string> framemd5(const std::string &file, const std::string &inputOptions = {});

// Calls `call` on a thread of its own and waits for it to return. A call that blocks on
// the FIFO `fifo` (opened for reading with nobody writing) is released after a bounded wait
// by opening the FIFO's write end and closing it again (the reader then sees the end), so
// that a regression fails the test instead of hanging it. True when the call returned by
// itself; a correct call returns at once and the wait costs nothing.
bool returnsWithoutBlockingOn(const std::string &fifo, const std::function<void()> &call);

// Luma of pixel (x, y) of frame n.
using LumaFn = std::function<std::uint8_t(int n, int x, int y)>;

// A YUV4MPEG2 file written byte by byte: `frames` pictures of `width` x `height` with the
// given luma and flat (128) chroma. `chroma` is the header's colour tag ("mono", "420jpeg",
// "422", "444"), `interlace` its field order tag ('t' top first, 'b' bottom first, 'p'
// progressive, '?' unknown), which FFmpeg reads as the stream's field order.
bool writeY4m(const std::string &file, int width, int height, int frames, const std::string &chroma,
              char interlace, const LumaFn &luma);

} // namespace testmedia
