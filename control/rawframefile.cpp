#include "control/rawframefile.h"

#include <array>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quivex {

namespace {

std::int32_t le32(const std::uint8_t *p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
        static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}

// Frames larger than this are no grey-level camera frames but damage.
constexpr std::int64_t kMaxFramePixels = std::int64_t{1} << 28;

// Opens a regular file (a symbolic link is followed) for binary reading, and gives its size.
// Anything else is refused before a byte is read: opening a FIFO or a device for reading
// would wait for a writer or for data, and a directory has no frames. Such a name is not
// even opened; and should it be swapped for one between the look and the open, the open does
// not block (O_NONBLOCK) and the open file is looked at again. The descriptor is made
// blocking again for the reads.
std::FILE *openRegularFile(const std::filesystem::path &path, std::uint64_t &size) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return nullptr;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    const int flags = ::fcntl(fd, F_GETFL);
    std::FILE *file = nullptr;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0 && flags >= 0 &&
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0)
        file = ::fdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        return nullptr;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return file;
}

} // namespace

RawFrameFile::OpenResult RawFrameFile::open(const std::filesystem::path &path) {
    close();
    std::uint64_t size = 0;
    std::unique_ptr<std::FILE, FileCloser> file(openRegularFile(path, size));
    if (!file)
        return OpenResult::NotRawFrameFile;
    std::array<std::uint8_t, kHeaderSize> header{};
    if (std::fread(header.data(), 1, header.size(), file.get()) != header.size())
        return OpenResult::NotRawFrameFile;
    if (std::memcmp(header.data(), "TLVR", 4) != 0 ||
        std::memcmp(header.data() + 4, "HISP", 4) != 0)
        return OpenResult::NotRawFrameFile;
    const std::int32_t headerSize = le32(&header[8]);
    const std::int32_t version = le32(&header[12]);
    if (version < kMinimumVersion || headerSize != kHeaderSize)
        return OpenResult::VersionUnsupported;
    const std::int32_t width = le32(&header[16]);
    const std::int32_t height = le32(&header[20]);
    if (width <= 0 || height <= 0 || static_cast<std::int64_t>(width) * height > kMaxFramePixels)
        return OpenResult::NotRawFrameFile;

    // Version 102 stores the rate as an integer, later versions as a float.
    float rate = 0.0f;
    if (version == kMinimumVersion) {
        rate = static_cast<float>(le32(&header[24]));
    } else {
        const std::uint32_t bits = static_cast<std::uint32_t>(le32(&header[24]));
        std::memcpy(&rate, &bits, sizeof rate);
    }
    const std::int64_t count =
        static_cast<std::int64_t>(le32(&header[28])) * static_cast<std::int64_t>(le32(&header[32]));

    m_file = std::move(file);
    m_fileSize = size;
    m_width = width;
    m_height = height;
    m_version = version;
    m_frameRate = rate;
    m_frameCount = count < 0                                  ? 0
                   : count > std::numeric_limits<LONG>::max() ? std::numeric_limits<LONG>::max()
                                                              : static_cast<LONG>(count);
    return OpenResult::Ok;
}

void RawFrameFile::close() {
    m_file.reset();
    m_fileSize = 0;
    m_width = m_height = m_version = m_frameCount = 0;
    m_frameRate = 0.0f;
}

bool RawFrameFile::readFrame(LONG k, std::vector<std::uint8_t> &grey) {
    grey.clear();
    if (!m_file || k < 0)
        return false;
    const std::uint64_t frameBytes = static_cast<std::uint64_t>(m_width) * m_height;
    const std::uint64_t start = kHeaderSize + static_cast<std::uint64_t>(k) * frameBytes;
    // A frame beyond the end, or cut short by a truncated file, is never read.
    if (start + frameBytes > m_fileSize)
        return false;
    if (start > static_cast<std::uint64_t>(std::numeric_limits<long>::max()) ||
        std::fseek(m_file.get(), static_cast<long>(start), SEEK_SET) != 0)
        return false;
    grey.resize(static_cast<std::size_t>(frameBytes));
    if (std::fread(grey.data(), 1, grey.size(), m_file.get()) != grey.size()) {
        grey.clear();
        return false;
    }
    return true;
}

} // namespace quivex
