// The per-user separator override, read once per process.
#include "kernel/vexcore.h"
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string format(float value, int decimals) {
    char buffer[32];
    FloatToLocStrg(value, buffer, decimals);
    return buffer;
}

void setSeparator(const char *value) {
    platform::RegistryStore store;
    ASSERT_TRUE(store.writeString(platform::RegistryHive::CurrentUser, "Software\\Talvor",
                                  "DecimalSeparator", value));
}

} // namespace

TEST(DecimalSeparatorOverride, CommaFromTheSettingsStoreIsUsedAndKeptForTheProcess) {
    EXPECT_EQ(format(1234.5f, -1), "1234,5");
    EXPECT_EQ(format(2.5f, 2), "  2,50");
    EXPECT_EQ(format(5.0f, -1), " 5");
    EXPECT_EQ(format(0.0f, -1), "0");
    // Input takes either separator regardless.
    float v = 0;
    EXPECT_EQ(LocStrgToFloat("-12.5", &v), 1);
    EXPECT_EQ(v, -12.5f);

    // Changed while running: takes effect in the next process only.
    setSeparator(";");
    EXPECT_EQ(format(2.5f, 1), "   2,5");
}

int main(int argc, char **argv) {
    // Before anything formats: the store under this test's private root says ','.
    std::filesystem::remove_all(platform::RegistryStore::defaultRoot());
    setSeparator(",");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
