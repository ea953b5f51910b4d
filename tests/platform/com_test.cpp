#include "platform/com.h"
#include "platform/stream.h"

#include <gtest/gtest.h>

using platform::Guid;

TEST(Guid, ParsesBracedAndBareFormsAndPrintsRegistryForm) {
    const auto g = Guid::parse("{d9c49ff4-ed1f-11d0-ab52-0000e81c19af}");
    ASSERT_TRUE(g);
    EXPECT_EQ(g->data1, 0xD9C49FF4u);
    EXPECT_EQ(g->data2, 0xED1Fu);
    EXPECT_EQ(g->data3, 0x11D0u);
    EXPECT_EQ(g->data4[0], 0xABu);
    EXPECT_EQ(g->data4[7], 0xAFu);
    EXPECT_EQ(g->toString(), "{D9C49FF4-ED1F-11D0-AB52-0000E81C19AF}");
    EXPECT_EQ(Guid::parse("D9C49FF4-ED1F-11D0-AB52-0000E81C19AF"), g);
}

TEST(Guid, RejectsMalformedText) {
    EXPECT_FALSE(Guid::parse(""));
    EXPECT_FALSE(Guid::parse("{D9C49FF4-ED1F-11D0-AB52-0000E81C19A}"));  // short
    EXPECT_FALSE(Guid::parse("{D9C49FF4-ED1F-11D0-AB52-0000E81C19AG}")); // not hex
    EXPECT_FALSE(Guid::parse("{D9C49FF4XED1F-11D0-AB52-0000E81C19AF}")); // dash missing
    EXPECT_FALSE(Guid::parse("(D9C49FF4-ED1F-11D0-AB52-0000E81C19AF)"));
}

namespace {
struct Other : platform::IUnknown {
    static constexpr Guid IID = platform::guidOf("{11111111-2222-3333-4444-555555555555}");
};
} // namespace

TEST(ComPtr, CountsReferencesAndQueriesInterfaces) {
    auto stream = platform::createMemoryStream();
    ASSERT_TRUE(stream);
    {
        auto copy = stream;
        EXPECT_EQ(stream->AddRef(), 3u);
        EXPECT_EQ(stream->Release(), 2u);
    }
    auto unknown = stream.query<platform::IUnknown>();
    ASSERT_TRUE(unknown);
    auto again = unknown.query<platform::IStream>();
    EXPECT_EQ(again.get(), stream.get());

    EXPECT_FALSE(stream.query<Other>());
    void *raw = reinterpret_cast<void *>(1);
    EXPECT_EQ(stream->QueryInterface(Other::IID, &raw), platform::E_NOINTERFACE);
    EXPECT_EQ(raw, nullptr);
}
