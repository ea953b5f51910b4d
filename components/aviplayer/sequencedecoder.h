// Frames of a numbered picture sequence, each file decoded on its own through FFmpeg's
// still-picture readers, at the 25 frames per second FFmpeg gives such sequences.
#pragma once

#include "components/aviplayer/framesource.h"
#include "components/aviplayer/imagesequence.h"

namespace aviplayer {

class SequenceDecoder final : public FrameSource {
public:
    // A pattern lists the numbered files; any other name is one picture.
    bool open(const std::string &path, std::string *error);

    int frameCount() const override { return static_cast<int>(m_files.size()); }
    double frameRate() const override { return 25.0; }
    bool independentFrames() const override { return true; } // each picture is its own file
    FramePtr decode(int n, const Sink &sink) override;

    long long firstNumber() const { return m_first; }

private:
    std::vector<std::string> m_files;
    long long m_first = 0;
};

// Decodes the first video frame of a file that holds one picture; null when it cannot, or
// when the file is no regular file (a picture replaced by a FIFO must not block).
FramePtr decodePicture(const std::string &file);

// The name ends in the extension of a still picture format the picture reader knows (BMP,
// PNG, JPEG, TIFF; any case).
bool isStillPictureName(const std::string &path);

} // namespace aviplayer
