// Test media made at test time with the ffmpeg program, and ffmpeg's own frame digests
// (framemd5) of them as the reference for frame accuracy.
#pragma once

#include <string>
#include <vector>

namespace testmedia {

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    std::string path(const std::string &name) const { return m_path + "/" + name; }
    const std::string &root() const { return m_path; }

private:
    std::string m_path;
};

// Runs ffmpeg quietly with the given arguments; true on success.
bool ffmpeg(const std::string &arguments);
// The MD5 column of `ffmpeg [inputOptions] -i file -f framemd5` for the first video
// stream, every decoded frame kept (no frame-rate conversion).
std::vector<std::string> framemd5(const std::string &file, const std::string &inputOptions = {});

// A clip from FFmpeg's test pattern: `frames` frames of `size` at `rate`, encoded with
// `codecOptions`, written to `file`.
bool makeClip(const std::string &file, const std::string &codecOptions, int frames,
              const std::string &size = "160x120", int rate = 25);

std::string quote(const std::string &text);

} // namespace testmedia
