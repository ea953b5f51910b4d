// Data channels: which frames are addressable and that values come back unchanged.
#include "components/datalib/datalib.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

using namespace datalib;
using platform::ComPtr;

namespace {

ComPtr<TalvorChannel> newChannel(LONG first, LONG length) {
    auto factory = createDataFactory();
    TalvorChannel *raw = nullptr;
    EXPECT_EQ(factory->CreateChannel(0, 0, &raw), platform::S_OK);
    auto channel = ComPtr<TalvorChannel>::attach(raw);
    EXPECT_EQ(channel->SetFirstFrame(first), platform::S_OK);
    EXPECT_EQ(channel->SetLength(length), platform::S_OK);
    return channel;
}

float valueAt(TalvorChannel *channel, SHORT frame) {
    float v = 0.0f;
    channel->GetValue(frame, &v);
    return v;
}

} // namespace

TEST(MissingValue, IsMinusOneE9AndEverythingBelowCounts) {
    EXPECT_EQ(std::bit_cast<std::uint32_t>(kMissing), 0xCE6E6B28u);
    EXPECT_TRUE(isMissing(kMissing));
    EXPECT_TRUE(isMissing(-3.0e9));
    EXPECT_FALSE(isMissing(-999999999.0));
    EXPECT_FALSE(isMissing(0.0));
}

TEST(DataChannel, FramesZeroToLengthMinusOneHoldWhatWasWritten) {
    auto channel = newChannel(0, 10);
    // Unwritten frames are missing until the caller fills them.
    EXPECT_FLOAT_EQ(valueAt(channel.get(), 0), kMissing);
    for (SHORT f = 0; f < 10; ++f)
        ASSERT_EQ(channel->PutValue(f, 0.1f * f + 1.0e-7f), platform::S_OK);
    for (SHORT f = 0; f < 10; ++f)
        EXPECT_EQ(valueAt(channel.get(), f), 0.1f * f + 1.0e-7f);

    // Values are stored as given, including the special ones.
    ASSERT_EQ(channel->PutValue(3, -1.0e9f), platform::S_OK);
    EXPECT_EQ(valueAt(channel.get(), 3), -1.0e9f);
    ASSERT_EQ(channel->PutValue(4, std::numeric_limits<float>::infinity()), platform::S_OK);
    EXPECT_TRUE(std::isinf(valueAt(channel.get(), 4)));
}

TEST(DataChannel, FramesOutsideTheChannelFailAndChangeNothing) {
    auto channel = newChannel(0, 5);
    ASSERT_EQ(channel->PutValue(4, 2.0f), platform::S_OK);
    EXPECT_EQ(channel->PutValue(5, 9.0f), platform::E_INVALIDARG);
    EXPECT_EQ(channel->PutValue(-1, 9.0f), platform::E_INVALIDARG);
    EXPECT_EQ(channel->PutValue(std::numeric_limits<SHORT>::min(), 9.0f), platform::E_INVALIDARG);
    float v = 0.0f;
    EXPECT_EQ(channel->GetValue(5, &v), platform::E_INVALIDARG);
    EXPECT_EQ(v, kMissing);
    EXPECT_EQ(valueAt(channel.get(), 4), 2.0f);
    EXPECT_EQ(channel->GetValue(0, nullptr), platform::E_POINTER);

    auto empty = newChannel(0, 0);
    EXPECT_EQ(empty->PutValue(0, 1.0f), platform::E_INVALIDARG);
    EXPECT_EQ(empty->SetLength(-1), platform::E_INVALIDARG);
}

TEST(DataChannel, LengthBeyondSixteenBitFramesIsAcceptedWithoutHugeStorage) {
    auto channel = newChannel(0, std::numeric_limits<LONG>::max());
    LONG length = 0;
    channel->GetLength(&length);
    EXPECT_EQ(length, std::numeric_limits<LONG>::max());
    ASSERT_EQ(channel->PutValue(32767, 7.0f), platform::S_OK);
    EXPECT_EQ(valueAt(channel.get(), 32767), 7.0f);
    EXPECT_EQ(channel->PutValue(-1, 7.0f), platform::E_INVALIDARG);

    // A first frame near the top of the 32-bit range must not overflow the end frame.
    auto high = newChannel(std::numeric_limits<LONG>::max() - 1, 100);
    EXPECT_EQ(high->PutValue(0, 1.0f), platform::E_INVALIDARG);
}

TEST(DataChannel, MovingTheFrameRangeKeepsTheFramesThatStay) {
    auto channel = newChannel(0, 10);
    channel->PutValue(2, 2.0f);
    channel->PutValue(7, 7.0f);
    ASSERT_EQ(channel->SetFirstFrame(5), platform::S_OK); // now frames 5..14
    EXPECT_EQ(channel->PutValue(2, 0.0f), platform::E_INVALIDARG);
    EXPECT_EQ(valueAt(channel.get(), 7), 7.0f);
    EXPECT_EQ(valueAt(channel.get(), 14), kMissing);
    ASSERT_EQ(channel->SetLength(3), platform::S_OK); // frames 5..7
    EXPECT_EQ(valueAt(channel.get(), 7), 7.0f);
    EXPECT_EQ(channel->PutValue(8, 0.0f), platform::E_INVALIDARG);

    LONG marker = 0;
    channel->SetMarkerNumber(42);
    channel->GetMarkerNumber(&marker);
    EXPECT_EQ(marker, 42);
}
