// Data sets and the factory: creation by class identifier, groups of channels per marker,
// the newest group winning for repeated numbers, frame writes and reads.
#include "components/datalib/datalib.h"

#include "platform/classes.h"

#include <gtest/gtest.h>

#include <vector>

using namespace datalib;
using platform::ComPtr;
using platform::E_INVALIDARG;
using platform::S_OK;

namespace {

class DataSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerClasses();
        factory = platform::createInstance<TalvorDataFactory>(CLSID_DataFactory);
        ASSERT_TRUE(factory);
        TalvorDatas *raw = nullptr;
        ASSERT_EQ(factory->CreateDatas(-1, &raw), S_OK);
        set = ComPtr<TalvorDatas>::attach(raw);
    }

    // One channel per component for the marker, frames 0..length-1.
    std::vector<ComPtr<TalvorChannel>> channelsFor(LONG marker, LONG count, LONG length = 10) {
        std::vector<ComPtr<TalvorChannel>> channels;
        for (LONG i = 0; i < count; ++i) {
            TalvorChannel *raw = nullptr;
            EXPECT_EQ(factory->CreateChannel(0, 0, &raw), S_OK);
            auto c = ComPtr<TalvorChannel>::attach(raw);
            c->SetMarkerNumber(marker);
            c->SetFirstFrame(0);
            c->SetLength(length);
            channels.push_back(c);
        }
        return channels;
    }

    HRESULT add(const std::vector<ComPtr<TalvorChannel>> &channels) {
        std::vector<TalvorChannel *> raw;
        for (const auto &c : channels)
            raw.push_back(c.get());
        return set->Add(raw.data(), static_cast<LONG>(raw.size()));
    }

    ComPtr<TalvorChannel> channelOf(LONG component, LONG marker) {
        TalvorChannel *raw = nullptr;
        set->GetChannel(component, marker, &raw);
        return ComPtr<TalvorChannel>::attach(raw);
    }

    ComPtr<TalvorDataFactory> factory;
    ComPtr<TalvorDatas> set;
};

} // namespace

TEST(DataLibraryClasses, AreCreatedByClassIdentifierAndAnswerTheirInterfaces) {
    registerClasses();
    auto factory = platform::createInstance<TalvorDataFactory>(CLSID_DataFactory);
    auto items = platform::createInstance<TalvorGraphicItems>(CLSID_GraphicItems);
    auto calFactory = platform::createInstance<TalvorCalFactory>(CLSID_CalFactory);
    ASSERT_TRUE(factory);
    ASSERT_TRUE(items);
    ASSERT_TRUE(calFactory);

    // The wrong interface is refused and leaves the out pointer null.
    HRESULT status = S_OK;
    EXPECT_FALSE(platform::createInstance<TalvorDatas>(CLSID_DataFactory, &status));
    EXPECT_EQ(status, platform::E_NOINTERFACE);

    TalvorDatas *datas = nullptr;
    EXPECT_EQ(factory->CreateDatas(0, &datas), E_INVALIDARG);
    EXPECT_EQ(datas, nullptr);
    ASSERT_EQ(factory->CreateDatas(-1, &datas), S_OK);
    auto set = ComPtr<TalvorDatas>::attach(datas);
    EXPECT_TRUE(set.query<platform::IUnknown>());
    EXPECT_FALSE(set.query<TalvorChannel>());
    TalvorChannel *channel = nullptr;
    EXPECT_EQ(factory->CreateChannel(1, 0, &channel), E_INVALIDARG);

    TalvorCal2D *cal = nullptr;
    ASSERT_EQ(calFactory->CreateCal2D(&cal), S_OK);
    ComPtr<TalvorCal2D>::attach(cal);
}

TEST_F(DataSetTest, KeepsNameTypeTagAndComponentCount) {
    set->SetName("Rohdaten");
    set->SetTypeTag(0x20574152); // "RAW "
    ASSERT_EQ(set->SetComponentCount(2), S_OK);
    EXPECT_EQ(set->SetComponentCount(0), E_INVALIDARG);
    EXPECT_EQ(set->SetComponentCount(4), E_INVALIDARG);
    std::string name;
    LONG tag = 0, count = 0;
    set->GetName(&name);
    set->GetTypeTag(&tag);
    set->GetComponentCount(&count);
    EXPECT_EQ(name, "Rohdaten");
    EXPECT_EQ(tag, 0x20574152);
    EXPECT_EQ(count, 2);
}

TEST_F(DataSetTest, AddRefusesGroupsThatDoNotMatchTheComponents) {
    set->SetComponentCount(2);
    EXPECT_EQ(add(channelsFor(1, 1)), E_INVALIDARG);
    EXPECT_EQ(add(channelsFor(1, 3)), E_INVALIDARG);
    auto mixed = channelsFor(1, 2);
    mixed[1]->SetMarkerNumber(2);
    EXPECT_EQ(add(mixed), E_INVALIDARG);
    const auto single = channelsFor(1, 1);
    TalvorChannel *withNull[2] = {single[0].get(), nullptr};
    EXPECT_EQ(set->Add(withNull, 2), E_INVALIDARG);
    LONG markers = -1;
    set->GetMarkerCount(&markers);
    EXPECT_EQ(markers, 0);
}

TEST_F(DataSetTest, WriteFrameReplacesEveryHeldComponentAndIgnoresTheMissingThird) {
    set->SetComponentCount(2);
    auto channels = channelsFor(7, 2);
    ASSERT_EQ(add(channels), S_OK);
    LONG status = -1;
    ASSERT_EQ(set->WriteFrame(7, 3, 0.25f, 0.75f, -1.0f, &status), S_OK);
    EXPECT_EQ(status, 0);

    float x = 0, y = 0, z = 0;
    ASSERT_EQ(set->ReadFrame(7, 3, &x, &y, &z), S_OK);
    EXPECT_EQ(x, 0.25f);
    EXPECT_EQ(y, 0.75f);
    EXPECT_EQ(z, kMissing); // a two-component set holds no third value
    // The channels handed in are the ones written.
    float direct = 0;
    channels[1]->GetValue(3, &direct);
    EXPECT_EQ(direct, 0.75f);
    // Other frames stay untouched.
    ASSERT_EQ(set->ReadFrame(7, 2, &x, &y, nullptr), S_OK);
    EXPECT_EQ(x, kMissing);
}

TEST_F(DataSetTest, WritesAndReadsOutsideTheDataFailWithoutTouchingIt) {
    set->SetComponentCount(3);
    ASSERT_EQ(add(channelsFor(1, 3, 5)), S_OK);
    LONG status = 0;
    EXPECT_EQ(set->WriteFrame(2, 0, 1, 2, 3, &status), E_INVALIDARG); // unknown marker
    EXPECT_NE(status, 0);
    status = 0;
    EXPECT_EQ(set->WriteFrame(1, 5, 1, 2, 3, &status), E_INVALIDARG); // past the length
    EXPECT_NE(status, 0);
    EXPECT_EQ(set->WriteFrame(1, -1, 1, 2, 3, nullptr), E_INVALIDARG);

    float x = 1, y = 1, z = 1;
    EXPECT_EQ(set->ReadFrame(1, 70000, &x, &y, &z), E_INVALIDARG);
    EXPECT_EQ(x, kMissing);
    EXPECT_EQ(z, kMissing);
    EXPECT_EQ(set->ReadFrame(9, 0, &x, &y, &z), E_INVALIDARG);
    TalvorChannel *channel = nullptr;
    EXPECT_EQ(set->GetChannel(3, 1, &channel), E_INVALIDARG);
    EXPECT_EQ(set->GetChannel(-1, 1, &channel), E_INVALIDARG);
    EXPECT_EQ(channel, nullptr);
}

TEST_F(DataSetTest, TheNewestChannelWinsForARepeatedMarkerNumber) {
    auto older = channelsFor(5, 1);
    auto newer = channelsFor(5, 1);
    auto other = channelsFor(6, 1);
    ASSERT_EQ(add(older), S_OK);
    ASSERT_EQ(add(other), S_OK);
    ASSERT_EQ(add(newer), S_OK);

    EXPECT_EQ(channelOf(0, 5).get(), newer[0].get());
    ASSERT_EQ(set->WriteFrame(5, 1, 4.0f, -1.0f, -1.0f, nullptr), S_OK);
    float v = 0;
    newer[0]->GetValue(1, &v);
    EXPECT_EQ(v, 4.0f);
    older[0]->GetValue(1, &v);
    EXPECT_EQ(v, kMissing);

    LONG count = 0, first = 0, second = 0;
    set->GetMarkerCount(&count);
    set->GetMarker(0, &first);
    set->GetMarker(1, &second);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(first, 5);
    EXPECT_EQ(second, 6);

    // Removing the number removes every group with it, the older one included.
    EXPECT_EQ(set->Remove(5), S_OK);
    EXPECT_FALSE(channelOf(0, 5));
    EXPECT_EQ(channelOf(0, 6).get(), other[0].get());
    EXPECT_EQ(set->Remove(5), platform::S_FALSE);
}

TEST_F(DataSetTest, ClearEmptiesTheSetAndItCanBeFilledAgain) {
    ASSERT_EQ(add(channelsFor(1, 1)), S_OK);
    ASSERT_EQ(add(channelsFor(2, 1)), S_OK);
    ASSERT_EQ(set->Clear(), S_OK);
    LONG count = -1;
    set->GetMarkerCount(&count);
    EXPECT_EQ(count, 0);
    EXPECT_FALSE(channelOf(0, 1));
    auto again = channelsFor(1, 1);
    ASSERT_EQ(add(again), S_OK);
    EXPECT_EQ(channelOf(0, 1).get(), again[0].get());
}

TEST_F(DataSetTest, ReadingByTimeRoundsHalfFramesAwayFromZero) {
    set->SetComponentCount(1);
    ASSERT_EQ(add(channelsFor(1, 1, 20)), S_OK);
    set->WriteFrame(1, 13, 13.0f, 0, 0, nullptr);
    float v = 0;
    EXPECT_EQ(set->ReadTime(1, 0.5, &v, nullptr, nullptr), platform::E_FAIL); // no rate yet
    EXPECT_EQ(v, kMissing);
    ASSERT_EQ(set->SetFrameRate(25.0f), S_OK);
    ASSERT_EQ(set->ReadTime(1, 0.5, &v, nullptr, nullptr), S_OK); // 12.5 -> 13
    EXPECT_EQ(v, 13.0f);
    EXPECT_EQ(set->ReadTime(1, 1.0e300, &v, nullptr, nullptr), platform::E_FAIL);
    EXPECT_EQ(set->SetFrameRate(-1.0f), E_INVALIDARG);
}
