// Clips made with the ffmpeg program, for tests and benchmarks: from one of FFmpeg's
// generated sources, or from pictures the caller makes. Arguments go through the shell, so
// file names in them are quoted with shellQuote.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace testsupport {

// `text` as one word for the shell.
std::string shellQuote(const std::string &text);

// The shell command running ffmpeg with `arguments`: no console input, errors only (on
// standard error), files overwritten without asking.
std::string ffmpegCommand(const std::string &arguments);
// Runs that command; true when ffmpeg exits with 0.
bool ffmpeg(const std::string &arguments);

// `frames` frames of FFmpeg's generated source `source` ("testsrc2", "testsrc") at `size`
// ("160x120") and `rate` frames per second, encoded with `outputOptions` (codec, pixel
// format, numbering of pictures) into `file`, a video or a numbered picture pattern.
bool makeClip(const std::string &file, const std::string &outputOptions, int frames,
              const std::string &size = "160x120", double rate = 25,
              const std::string &source = "testsrc2");

// A clip of pictures the caller makes: raw pictures of `width` x `height` in `pixelFormat`
// (ffmpeg's name: "gray", "bgra"), rows without padding, handed over in order and encoded
// at `rate` frames per second with `outputOptions` into `file`.
class RawClip {
public:
    RawClip(const std::string &file, const std::string &pixelFormat, int width, int height,
            double rate, const std::string &outputOptions);
    ~RawClip(); // finishes the clip when finish() was not called
    RawClip(const RawClip &) = delete;
    RawClip &operator=(const RawClip &) = delete;

    // Appends `size` bytes of pictures; false once ffmpeg did not take everything.
    bool write(const void *data, std::size_t size);
    // Ends the clip; true when ffmpeg took every byte and succeeded.
    bool finish();

private:
    std::FILE *m_pipe = nullptr;
    bool m_ok = false;
};

} // namespace testsupport
