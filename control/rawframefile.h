// Reader of the raw frame file (extension FRM): a 128-byte little-endian header and then
// W x H bytes of 8-bit grey per frame, rows top to bottom without padding.
#pragma once

#include "platform/wintypes.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

namespace quivex {

using platform::LONG;

class RawFrameFile {
public:
    enum class OpenResult {
        Ok,
        NotRawFrameFile,    // signature wrong, header unreadable or geometry impossible: -1
        VersionUnsupported, // version below 102 or header size other than 128: -2
    };

    static constexpr LONG kHeaderSize = 128;
    static constexpr LONG kMinimumVersion = 102;

    OpenResult open(const std::filesystem::path &path);
    void close();
    bool isOpen() const { return m_file != nullptr; }

    LONG width() const { return m_width; }
    LONG height() const { return m_height; }
    LONG version() const { return m_version; }
    float frameRate() const { return m_frameRate; }
    LONG frameCount() const { return m_frameCount; }

    // Reads frame k into `grey` (W x H bytes). False, with `grey` left empty, when the frame
    // lies outside the file, in whole or in part.
    bool readFrame(LONG k, std::vector<std::uint8_t> &grey);

private:
    struct FileCloser {
        void operator()(std::FILE *f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FileCloser> m_file;
    std::uint64_t m_fileSize = 0;
    LONG m_width = 0;
    LONG m_height = 0;
    LONG m_version = 0;
    float m_frameRate = 0.0f;
    LONG m_frameCount = 0;
};

} // namespace quivex
