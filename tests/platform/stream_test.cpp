#include "platform/stream.h"

#include "filetesthelpers.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

using namespace platform;

namespace {

// One folder per process, so that runs side by side do not share files; removed when the
// process ends.
struct ProcessFolder {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("orvane-stream-test-" + std::to_string(::getpid()));
    ~ProcessFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

std::filesystem::path tempFile(const char *name) {
    static const ProcessFolder folder;
    std::filesystem::create_directories(folder.path);
    return folder.path / name;
}

// The same contract is checked on both kinds of stream.
void roundTrip(IStream *s) {
    const std::int32_t a = 123;
    const double b = -2.5;
    const char text[] = "TLVR";
    ULONG moved = 0;
    EXPECT_EQ(s->Write(&a, 4, &moved), S_OK);
    EXPECT_EQ(moved, 4u);
    EXPECT_EQ(s->Write(&b, 8, &moved), S_OK);
    EXPECT_EQ(s->Write(text, 4, &moved), S_OK);

    ULONGLONG pos = 99;
    EXPECT_EQ(s->Seek(0, SeekOrigin::Set, &pos), S_OK);
    EXPECT_EQ(pos, 0u);
    std::int32_t ra = 0;
    double rb = 0;
    char rt[4] = {};
    EXPECT_EQ(s->Read(&ra, 4, &moved), S_OK);
    EXPECT_EQ(s->Read(&rb, 8, &moved), S_OK);
    EXPECT_EQ(s->Read(rt, 4, &moved), S_OK);
    EXPECT_EQ(ra, a);
    EXPECT_EQ(rb, b);
    EXPECT_EQ(std::memcmp(rt, text, 4), 0);

    // A read past the end moves what is there and says so.
    EXPECT_EQ(s->Seek(-2, SeekOrigin::End, &pos), S_OK);
    EXPECT_EQ(pos, 14u);
    std::array<char, 8> tail{};
    EXPECT_EQ(s->Read(tail.data(), 8, &moved), S_FALSE);
    EXPECT_EQ(moved, 2u);
    EXPECT_EQ(tail[0], 'V');
    EXPECT_EQ(tail[1], 'R');
    EXPECT_EQ(s->Read(tail.data(), 8, &moved), S_FALSE);
    EXPECT_EQ(moved, 0u);

    // Seeking before the start is refused and leaves the position alone.
    EXPECT_EQ(s->Seek(-100, SeekOrigin::Current, &pos), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(s->Seek(0, SeekOrigin::Current, &pos), S_OK);
    EXPECT_EQ(pos, 16u);

    ULONGLONG size = 0;
    EXPECT_EQ(s->Size(&size), S_OK);
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(s->SetSize(6), S_OK);
    EXPECT_EQ(s->Size(&size), S_OK);
    EXPECT_EQ(size, 6u);
}

} // namespace

TEST(Stream, MemoryRoundTrip) {
    auto s = createMemoryStream();
    roundTrip(s.get());
    EXPECT_EQ(memoryStreamBytes(s.get()).size(), 6u);
}

TEST(Stream, FileRoundTripAndReopen) {
    const auto path = tempFile("roundtrip.bin");
    {
        auto s = openFileStream(path, FileMode::Create);
        ASSERT_TRUE(s);
        roundTrip(s.get());
    }
    auto s = openFileStream(path, FileMode::Read);
    ASSERT_TRUE(s);
    std::int32_t v = 0;
    ULONG moved = 0;
    EXPECT_EQ(s->Read(&v, 4, &moved), S_OK);
    EXPECT_EQ(v, 123);
    // A read-only file refuses writes with a failure, not a crash.
    EXPECT_TRUE(failed(s->Write(&v, 4, &moved)));
    EXPECT_EQ(moved, 0u);
}

TEST(Stream, MemoryStreamGrowsOnWriteAfterSeekPastEnd) {
    auto s = createMemoryStream({std::byte{1}, std::byte{2}});
    ULONGLONG pos = 0;
    EXPECT_EQ(s->Seek(4, SeekOrigin::End, &pos), S_OK);
    const char c = 7;
    EXPECT_EQ(s->Write(&c, 1, nullptr), S_OK);
    const auto bytes = memoryStreamBytes(s.get());
    ASSERT_EQ(bytes.size(), 7u);
    EXPECT_EQ(bytes[0], std::byte{1});
    EXPECT_EQ(bytes[3], std::byte{0});
    EXPECT_EQ(bytes[6], std::byte{7});
}

TEST(Stream, OpenFailuresGiveAStatus) {
    HRESULT status = S_OK;
    EXPECT_FALSE(openFileStream(tempFile("does-not-exist.bin"), FileMode::Read, &status));
    EXPECT_EQ(status, STG_E_FILENOTFOUND);
    EXPECT_FALSE(openFileStream(std::filesystem::temp_directory_path(), FileMode::Read, &status));
    EXPECT_EQ(status, STG_E_ACCESSDENIED);
}

// Opening a FIFO would wait for a writer for ever, and a device is no file: both are refused at
// once, in every mode, and a FIFO is left as it was.
TEST(Stream, FifosAndDevicesAreRefusedWithoutBlocking) {
    const auto path = tempFile("fifo");
    std::filesystem::remove(path);
    for (FileMode mode : {FileMode::Read, FileMode::ReadWrite, FileMode::Create}) {
        filetest::FifoFeeder fifo(path, "TLVR");
        HRESULT status = S_OK;
        EXPECT_FALSE(openFileStream(path, mode, &status)) << static_cast<int>(mode);
        EXPECT_EQ(status, STG_E_ACCESSDENIED);
        EXPECT_TRUE(filetest::isFifo(path));
        std::filesystem::remove(path);
    }
    HRESULT status = S_OK;
    EXPECT_FALSE(openFileStream("/dev/null", FileMode::Read, &status));
    EXPECT_EQ(status, STG_E_ACCESSDENIED);
}

TEST(Stream, CreateEmptiesAnExistingFile) {
    const auto path = tempFile("create.bin");
    { std::ofstream(path) << "old content"; }
    auto s = openFileStream(path, FileMode::Create);
    ASSERT_TRUE(s);
    ULONGLONG size = 99;
    EXPECT_EQ(s->Size(&size), S_OK);
    EXPECT_EQ(size, 0u);
}
