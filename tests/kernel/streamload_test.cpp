#include "kernel/vexcore.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace platform;

namespace {

ComPtr<IStream> streamOf(std::vector<unsigned char> bytes) {
    std::vector<std::byte> b(bytes.size());
    std::memcpy(b.data(), bytes.data(), bytes.size());
    return createMemoryStream(std::move(b));
}

void put32(std::vector<unsigned char> &out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

} // namespace

TEST(SLoad, ScalarsReadTheirSizeAndReportTheBytes) {
    auto s = streamOf({0x7B, 0, 0, 0});
    LONG l = 0;
    EXPECT_EQ(S_Load(s.get(), &l), 4);
    EXPECT_EQ(l, 123);

    std::vector<unsigned char> bytes;
    float f = 1.5f;
    double d = -0.125;
    bytes.resize(12);
    std::memcpy(bytes.data(), &f, 4);
    std::memcpy(bytes.data() + 4, &d, 8);
    s = streamOf(bytes);
    float rf = 0;
    double rd = 0;
    EXPECT_EQ(S_Load(s.get(), &rf), 4);
    EXPECT_EQ(S_Load(s.get(), &rd), 8);
    EXPECT_EQ(rf, 1.5f);
    EXPECT_EQ(rd, -0.125);
}

TEST(SLoad, ShortReadsShowOnlyInTheCountAndLeaveTheRest) {
    auto s = streamOf({0x01, 0x02});
    LONG l = 0x7F7F7F7F;
    EXPECT_EQ(S_Load(s.get(), &l), 2);
    EXPECT_EQ(static_cast<std::uint32_t>(l), 0x7F7F0201u);
    double d = 3.0;
    EXPECT_EQ(S_Load(s.get(), &d), 0);
    EXPECT_EQ(d, 3.0);
    EXPECT_EQ(S_Load(nullptr, &l), 0);
    EXPECT_EQ(S_Load(s.get(), static_cast<LONG *>(nullptr)), 0);
}

TEST(SLoad, StringCopiesTheStoredBytesWithoutAddingAZero) {
    auto s = streamOf({6, 0, 0, 0, 'a', 'b', 'c', 'd', 'e', 'f', 0x2A, 0, 0, 0});
    char text[256];
    std::memset(text, '#', sizeof text);
    EXPECT_EQ(S_Load(s.get(), text), 6);
    EXPECT_EQ(std::memcmp(text, "abcdef#", 7), 0);
    LONG next = 0;
    EXPECT_EQ(S_Load(s.get(), &next), 4);
    EXPECT_EQ(next, 42);
}

TEST(SLoad, StringLongerThanTheBufferIsCutTerminatedAndSkipped) {
    std::vector<unsigned char> bytes;
    put32(bytes, 1000);
    for (int i = 0; i < 1000; ++i)
        bytes.push_back(static_cast<unsigned char>('A' + i % 26));
    put32(bytes, 77);
    auto s = streamOf(bytes);
    // Guard bytes around the 256-byte destination catch any overrun.
    std::vector<char> area(256 + 64, '#');
    char *text = area.data() + 32;
    EXPECT_EQ(S_Load(s.get(), text), 255);
    EXPECT_EQ(text[0], 'A');
    EXPECT_EQ(text[254], static_cast<char>('A' + 254 % 26));
    EXPECT_EQ(text[255], '\0');
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(area[static_cast<std::size_t>(i)], '#');
        EXPECT_EQ(area[32 + 256 + static_cast<std::size_t>(i)], '#');
    }
    LONG next = 0;
    EXPECT_EQ(S_Load(s.get(), &next), 4);
    EXPECT_EQ(next, 77);
}

TEST(SLoad, StringCountsThatAreDamagedOrExactlyFit) {
    char text[256];
    auto negative = streamOf({0xFF, 0xFF, 0xFF, 0xFF, 'x'});
    EXPECT_EQ(S_Load(negative.get(), text), 0);
    auto truncated = streamOf({10, 0, 0, 0, 'a', 'b', 'c'});
    std::memset(text, '#', sizeof text);
    EXPECT_EQ(S_Load(truncated.get(), text), 3);
    EXPECT_EQ(std::memcmp(text, "abc#", 4), 0);
    std::vector<unsigned char> exact;
    put32(exact, 256);
    exact.insert(exact.end(), 256, 'z');
    auto fits = streamOf(exact);
    EXPECT_EQ(S_Load(fits.get(), text), 256);
    EXPECT_EQ(text[255], 'z');
}

TEST(SLoad, WindowPlacementReadsElevenFieldsInOrderAndReturnsZero) {
    std::vector<unsigned char> bytes;
    for (std::uint32_t i = 1; i <= 11; ++i)
        put32(bytes, i * 10);
    auto s = streamOf(bytes);
    WINDOWPLACEMENT wp{};
    EXPECT_EQ(S_Load(s.get(), &wp), 0);
    EXPECT_EQ(wp.length, 10u);
    EXPECT_EQ(wp.flags, 20u);
    EXPECT_EQ(wp.showCmd, 30u);
    EXPECT_EQ(wp.ptMinPosition.x, 40);
    EXPECT_EQ(wp.ptMinPosition.y, 50);
    EXPECT_EQ(wp.ptMaxPosition.x, 60);
    EXPECT_EQ(wp.ptMaxPosition.y, 70);
    EXPECT_EQ(wp.rcNormalPosition.left, 80);
    EXPECT_EQ(wp.rcNormalPosition.top, 90);
    EXPECT_EQ(wp.rcNormalPosition.right, 100);
    EXPECT_EQ(wp.rcNormalPosition.bottom, 110);

    // A short stream fills what it has and still returns 0.
    auto shortStream = streamOf({5, 0, 0, 0, 6, 0, 0, 0});
    WINDOWPLACEMENT partial{};
    partial.showCmd = 99;
    EXPECT_EQ(S_Load(shortStream.get(), &partial), 0);
    EXPECT_EQ(partial.length, 5u);
    EXPECT_EQ(partial.flags, 6u);
    EXPECT_EQ(partial.showCmd, 99u);
}

TEST(SLoad, OrdinalsBindTheOverloads) {
    auto s = streamOf({0x7B, 0, 0, 0, 2, 0, 0, 0, 'h', 'i'});
    auto loadLong = reinterpret_cast<vexcore::SLoadLong>(VexcoreProcByOrdinal(71));
    auto loadString = reinterpret_cast<vexcore::SLoadString>(VexcoreProcByOrdinal(74));
    ASSERT_NE(loadLong, nullptr);
    ASSERT_NE(loadString, nullptr);
    LONG l = 0;
    EXPECT_EQ(loadLong(s.get(), &l), 4);
    EXPECT_EQ(l, 123);
    char text[256] = {};
    EXPECT_EQ(loadString(s.get(), text), 2);
    EXPECT_STREQ(text, "hi");
    EXPECT_EQ(VexcoreProcByOrdinal(72),
              reinterpret_cast<void *>(static_cast<vexcore::SLoadFloat>(&S_Load)));
    EXPECT_EQ(VexcoreProcByOrdinal(73),
              reinterpret_cast<void *>(static_cast<vexcore::SLoadDouble>(&S_Load)));
    EXPECT_EQ(VexcoreProcByOrdinal(75),
              reinterpret_cast<void *>(static_cast<vexcore::SLoadPlacement>(&S_Load)));
    EXPECT_EQ(VexcoreProcByOrdinal(70), nullptr);
    EXPECT_EQ(VexcoreProcByOrdinal(76), nullptr);
}
