// Writes raw frame files for tests: a header of the given version and frames whose grey
// value at (x, y) is (x + 3 * y + 17 * frame) mod 256, so every pixel can be checked.
#pragma once

#include "tests/support/tempdir.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace testing_frm {

inline std::uint8_t grey(int x, int y, int frame) {
    return static_cast<std::uint8_t>((x + 3 * y + 17 * frame) & 0xFF);
}

struct FrmSpec {
    std::string magic1 = "TLVR";
    std::string magic2 = "HISP";
    std::int32_t headerSize = 128;
    std::int32_t version = 103;
    std::int32_t width = 8;
    std::int32_t height = 6;
    float rate = 50.0f; // written as an integer for version 102
    std::int32_t countA = 3;
    std::int32_t countB = 1;
    int framesWritten = 3;
    int truncateLastBy = 0; // bytes cut from the end
};

inline void put32(std::vector<char> &out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i) & 0xFF);
}

inline std::filesystem::path writeFrm(const std::filesystem::path &path, const FrmSpec &s) {
    std::vector<char> bytes(128, 0);
    std::memcpy(bytes.data(), s.magic1.data(), 4);
    std::memcpy(bytes.data() + 4, s.magic2.data(), 4);
    put32(bytes, 8, static_cast<std::uint32_t>(s.headerSize));
    put32(bytes, 12, static_cast<std::uint32_t>(s.version));
    put32(bytes, 16, static_cast<std::uint32_t>(s.width));
    put32(bytes, 20, static_cast<std::uint32_t>(s.height));
    if (s.version == 102) {
        put32(bytes, 24, static_cast<std::uint32_t>(static_cast<std::int32_t>(s.rate)));
    } else {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &s.rate, 4);
        put32(bytes, 24, bits);
    }
    put32(bytes, 28, static_cast<std::uint32_t>(s.countA));
    put32(bytes, 32, static_cast<std::uint32_t>(s.countB));
    for (int f = 0; f < s.framesWritten; ++f)
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x)
                bytes.push_back(static_cast<char>(grey(x, y, f)));
    bytes.resize(bytes.size() - static_cast<std::size_t>(s.truncateLastBy));
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

// The test program's own folder, removed when it ends: CTest runs the tests side by side,
// each in its own process.
inline std::filesystem::path tempDir() {
    return testsupport::sharedTempDir().root();
}

} // namespace testing_frm
