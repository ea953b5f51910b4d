// The control's raw frame file reader on arbitrary file contents: no read outside the file
// or past a buffer, a header is refused exactly when its rules say so, and what is accepted
// is consistent with the bytes: the header's values, and every frame W x H bytes taken from
// offset 128 + k * W * H, read when it lies wholly inside the file and never otherwise.
#include "control/rawframefile.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace {

using quivex::LONG;
using quivex::RawFrameFile;
using Result = RawFrameFile::OpenResult;

std::int32_t le32(const std::uint8_t *p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
        static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}

void check(bool condition) {
    if (!condition)
        __builtin_trap();
}

// One file in memory for the whole run, opened by its path as the control opens files.
class MemoryFile {
public:
    MemoryFile() : m_fd(::memfd_create("rawframe", MFD_CLOEXEC)) {
        if (m_fd < 0)
            std::abort();
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }
    const std::string &path() const { return m_path; }
    void set(const std::uint8_t *data, std::size_t size) {
        if (::ftruncate(m_fd, 0) != 0)
            std::abort();
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(m_fd, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0)
                std::abort();
            done += static_cast<std::size_t>(n);
        }
    }

private:
    int m_fd;
    std::string m_path;
};

// The header rules, independently of the reader.
Result expectedResult(const std::uint8_t *data, std::size_t size) {
    if (size < 128 || std::memcmp(data, "TLVR", 4) != 0 || std::memcmp(data + 4, "HISP", 4) != 0)
        return Result::NotRawFrameFile;
    if (le32(data + 12) < 102 || le32(data + 8) != 128)
        return Result::VersionUnsupported;
    const std::int64_t w = le32(data + 16), h = le32(data + 20);
    if (w <= 0 || h <= 0 || w * h > (std::int64_t{1} << 28))
        return Result::NotRawFrameFile;
    return Result::Ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static MemoryFile file;
    file.set(data, size);
    RawFrameFile reader;
    const Result result = reader.open(file.path());
    check(result == expectedResult(data, size));
    check(reader.isOpen() == (result == Result::Ok));
    if (result != Result::Ok)
        return 0;

    // The header as stored.
    const LONG w = le32(data + 16), h = le32(data + 20), version = le32(data + 12);
    check(reader.width() == w && reader.height() == h && reader.version() == version);
    const float rate = reader.frameRate();
    if (version == 102) {
        check(rate == static_cast<float>(le32(data + 24)));
    } else {
        check(std::memcmp(&rate, data + 24, 4) == 0); // a float, NaN or not
    }
    const std::int64_t count = std::int64_t{le32(data + 28)} * le32(data + 32);
    const std::int64_t maxLong = std::numeric_limits<LONG>::max();
    check(reader.frameCount() == (count < 0 ? 0 : count > maxLong ? maxLong : count));

    // Frames: the first few and the last of those in the data, the first ones past it, the
    // numbers the header claims, and far-off ones.
    const std::uint64_t frameBytes = static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h);
    const std::uint64_t inData = (size - 128) / frameBytes;
    std::vector<std::int64_t> frames = {-1,
                                        0,
                                        1,
                                        2,
                                        static_cast<std::int64_t>(inData) - 1,
                                        static_cast<std::int64_t>(inData),
                                        static_cast<std::int64_t>(inData) + 1,
                                        reader.frameCount() - 1,
                                        reader.frameCount(),
                                        maxLong};
    std::vector<std::uint8_t> grey;
    for (const std::int64_t k : frames) {
        if (k < std::numeric_limits<LONG>::min() || k > maxLong)
            continue;
        const bool read = reader.readFrame(static_cast<LONG>(k), grey);
        const bool inside = k >= 0 && static_cast<std::uint64_t>(k) < inData;
        check(read == inside);
        if (!read) {
            check(grey.empty());
            continue;
        }
        check(grey.size() == frameBytes);
        check(std::memcmp(grey.data(), data + 128 + static_cast<std::uint64_t>(k) * frameBytes,
                          frameBytes) == 0);
    }
    return 0;
}
