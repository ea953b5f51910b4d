#include "kernel/vexcore.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>

using namespace platform;

namespace {

// Libraries by Windows name, with the few functions the kernel looks up.
struct FakeProbe : LibraryProbe {
    std::set<std::string> present;
    std::map<std::string, void *> functions;
    int open_ = 0, closed = 0;
    void *open(std::string_view name) override {
        auto it = present.find(std::string(name));
        if (it == present.end())
            return nullptr;
        ++open_;
        return const_cast<std::string *>(&*it);
    }
    void *symbol(void *, const char *name) override {
        auto it = functions.find(name);
        return it == functions.end() ? nullptr : it->second;
    }
    void close(void *) override { ++closed; }
};

std::string g_dtVersion;
void fakeOlDaGetVersion(char *buffer) {
    std::strcpy(buffer, g_dtVersion.c_str());
}
void fakeOlDaGetVersionUnterminated(char *buffer) {
    std::memset(buffer, 'V', 99);
}

ULONG g_niVersion = 0;
SHORT fakeGetNiDaqVersion(ULONG *v) {
    *v = g_niVersion;
    return 0;
}

class KernelInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        setLibraryProbe(&probe);
        std::filesystem::remove_all(RegistryStore::defaultRoot());
    }
    void TearDown() override {
        setLibraryProbe(nullptr);
        setOsVersionSource({});
        EXPECT_EQ(probe.open_, probe.closed) << "every probed library is unloaded again";
    }
    void os(OsVersion::Family family, DWORD major, DWORD minor, std::string pack = {}) {
        setOsVersionSource([=] {
            OsVersion v;
            v.family = family;
            v.major = major;
            v.minor = minor;
            v.servicePack = pack;
            return v;
        });
    }
    FakeProbe probe;
    LONG result = 12345;
    char text[128] = "untouched";
};

} // namespace

TEST_F(KernelInfoTest, ProgramVersionPartsComeFromTheExecutablesResource) {
    const auto v = programVersion();
    ASSERT_TRUE(v) << "test executables carry the version resource";
    EXPECT_EQ(KernelInfo(1, &result, text), 0);
    EXPECT_EQ(result, v->minor);
    EXPECT_EQ(KernelInfo(2, &result, text), 0);
    EXPECT_EQ(result, v->build);
    EXPECT_EQ(KernelInfo(3, &result, text), 0);
    EXPECT_EQ(result, v->revision);
    EXPECT_STREQ(text, "untouched");
}

TEST_F(KernelInfoTest, UnknownSelectorsTouchNothing) {
    for (LONG selector : {0, 4, 7, 39, 43, 49, 52, -1}) {
        EXPECT_EQ(KernelInfo(selector, &result, text), -1) << selector;
        EXPECT_EQ(result, 12345);
        EXPECT_STREQ(text, "untouched");
    }
}

TEST_F(KernelInfoTest, OperatingSystemTable) {
    os(OsVersion::Family::WindowsNT, 5, 1, "Service Pack 2");
    EXPECT_EQ(KernelInfo(40, &result, text), 0);
    EXPECT_EQ(result, 30002);
    EXPECT_STREQ(text, "Windows XP SP2");

    os(OsVersion::Family::WindowsNT, 5, 1);
    EXPECT_EQ(KernelInfo(40, &result, text), 0);
    EXPECT_EQ(result, 30000);
    EXPECT_STREQ(text, "Windows XP");

    // The code is set even without a text buffer.
    os(OsVersion::Family::WindowsNT, 5, 0, "Service Pack 4");
    EXPECT_EQ(KernelInfo(40, &result, nullptr), 0);
    EXPECT_EQ(result, 20004);

    os(OsVersion::Family::Windows9x, 4, 10, "Service Pack 1"); // 9x ignores the pack
    EXPECT_EQ(KernelInfo(40, &result, text), 0);
    EXPECT_EQ(result, 980);
    EXPECT_STREQ(text, "Windows 98");

    os(OsVersion::Family::WindowsNT, 4, 0, "Service Pack 100"); // out of range
    EXPECT_EQ(KernelInfo(40, &result, text), 0);
    EXPECT_EQ(result, 4000);
    EXPECT_STREQ(text, "Windows NT 4");

    std::strcpy(text, "untouched");
    os(OsVersion::Family::WindowsNT, 6, 1, "Service Pack 1"); // beyond the table
    EXPECT_EQ(KernelInfo(40, &result, text), 0);
    EXPECT_EQ(result, -1);
    EXPECT_STREQ(text, "untouched");
}

TEST_F(KernelInfoTest, ThisSystemIsBeyondTheTable) {
    setOsVersionSource({});
    EXPECT_EQ(KernelInfo(40, &result, text), 0);
    EXPECT_EQ(result, -1);
}

TEST_F(KernelInfoTest, Direct3DNewestGenerationWins) {
    EXPECT_EQ(KernelInfo(41, &result, text), 0);
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(text, "");

    probe.present = {"D3D8.DLL"};
    EXPECT_EQ(KernelInfo(41, &result, text), 0);
    EXPECT_EQ(result, 8); // 8, not 800
    EXPECT_STREQ(text, "8.0");

    probe.present = {"D3D8.DLL", "dpnhpast.dll"};
    EXPECT_EQ(KernelInfo(41, &result, text), 0);
    EXPECT_EQ(result, 810);
    EXPECT_STREQ(text, "8.1");

    probe.present = {"D3D8.DLL", "dpnhpast.dll", "D3D9.DLL"};
    EXPECT_EQ(KernelInfo(41, &result, text), 0);
    EXPECT_EQ(result, 900);
    EXPECT_STREQ(text, "9.0");
}

TEST_F(KernelInfoTest, InternetExplorerVersionFromTheSettingsStore) {
    EXPECT_EQ(KernelInfo(42, &result, text), 0);
    EXPECT_EQ(result, -1);
    EXPECT_STREQ(text, "");

    RegistryStore store;
    const char *key = "Software\\Microsoft\\Internet Explorer";
    ASSERT_TRUE(store.writeString(RegistryHive::LocalMachine, key, "Version", "6.0.2900.2180"));
    EXPECT_EQ(KernelInfo(42, &result, text), 0);
    EXPECT_EQ(result, 600);
    EXPECT_STREQ(text, "6.0.2900.2180");

    ASSERT_TRUE(store.writeString(RegistryHive::LocalMachine, key, "Version", "beta"));
    EXPECT_EQ(KernelInfo(42, &result, text), 0);
    EXPECT_EQ(result, -1);
    EXPECT_STREQ(text, "beta");

    // A long value is cut to the promised length of the caller's text.
    ASSERT_TRUE(store.writeString(RegistryHive::LocalMachine, key, "Version",
                                  "11." + std::string(150, '9')));
    EXPECT_EQ(KernelInfo(42, &result, text), 0);
    EXPECT_EQ(result, 1200);
    EXPECT_EQ(std::strlen(text), 40u);
}

TEST_F(KernelInfoTest, DataTranslationStatusesAndVersion) {
    EXPECT_EQ(KernelInfo(50, &result, text), -1);
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(text, "");

    probe.present = {"olmem32.dll"};
    EXPECT_EQ(KernelInfo(50, &result, text), -2);
    probe.present = {"olmem32.dll", "oldaapi32.dll"};
    EXPECT_EQ(KernelInfo(50, &result, text), -3);

    probe.functions["olDaGetVersion"] = reinterpret_cast<void *>(&fakeOlDaGetVersion);
    g_dtVersion = "V5.9";
    EXPECT_EQ(KernelInfo(50, &result, text), 0);
    EXPECT_EQ(result, 590);
    EXPECT_STREQ(text, "V5.9");

    g_dtVersion = "unknown";
    EXPECT_EQ(KernelInfo(50, &result, text), 0);
    EXPECT_EQ(result, 0);

    probe.functions["olDaGetVersion"] = reinterpret_cast<void *>(&fakeOlDaGetVersionUnterminated);
    EXPECT_EQ(KernelInfo(50, &result, text), 0);
    EXPECT_EQ(std::strlen(text), 99u);
}

TEST_F(KernelInfoTest, NationalInstrumentsBcdVersion) {
    EXPECT_EQ(KernelInfo(51, &result, text), -1);
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(text, "");

    probe.present = {"nidaq32.dll"};
    EXPECT_EQ(KernelInfo(51, &result, text), -3);

    probe.functions["Get_NI_DAQ_Version"] = reinterpret_cast<void *>(&fakeGetNiDaqVersion);
    g_niVersion = 0x0671;
    EXPECT_EQ(KernelInfo(51, &result, text), 0);
    EXPECT_EQ(result, 671);
    EXPECT_STREQ(text, "6.71");

    g_niVersion = 0x0705;
    EXPECT_EQ(KernelInfo(51, &result, nullptr), 0);
    EXPECT_EQ(result, 705);
}
