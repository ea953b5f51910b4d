#include "platform/registry.h"

#include "filetesthelpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform;

namespace {

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        // The process id in the name: runs side by side (two build trees, a run by hand next
        // to CTest) must not remove each other's store.
        m_root = std::filesystem::temp_directory_path() /
                 ("orvane-registry-" + std::to_string(::getpid()) + "-" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(m_root);
    }
    void TearDown() override { std::filesystem::remove_all(m_root); }
    std::filesystem::path m_root;
};

constexpr auto HKCU = RegistryHive::CurrentUser;
constexpr auto HKLM = RegistryHive::LocalMachine;

} // namespace

TEST_F(Registry, MissingStoreReadsAsAbsent) {
    RegistryStore store(m_root);
    EXPECT_FALSE(store.readString(HKCU, "Software\\Talvor", "DecimalSeparator"));
    EXPECT_FALSE(store.keyExists(HKCU, "Software"));
    EXPECT_TRUE(store.subkeys(HKCU, "Software").empty());
}

TEST_F(Registry, ValuesSurviveANewStoreAndNamesIgnoreCase) {
    {
        RegistryStore store(m_root);
        ASSERT_TRUE(store.writeString(HKCU, "Software\\Talvor", "DecimalSeparator", ","));
        ASSERT_TRUE(store.writeDword(HKCU, "Software\\Talvor\\Orvane", "Count", 0x10));
        ASSERT_TRUE(store.writeString(HKLM, "Software\\Microsoft\\Internet Explorer", "Version",
                                      "6.0.2900.2180"));
    }
    RegistryStore store(m_root);
    EXPECT_EQ(store.readString(HKCU, "SOFTWARE\\talvor", "decimalseparator"), ",");
    EXPECT_EQ(store.readString(HKCU, "Software\\Talvor\\", "DecimalSeparator"), ",");
    EXPECT_EQ(store.readDword(HKCU, "Software\\Talvor\\Orvane", "COUNT"), 0x10u);
    // A value of the other type does not read as this one.
    EXPECT_FALSE(store.readString(HKCU, "Software\\Talvor\\Orvane", "Count"));
    EXPECT_FALSE(store.readDword(HKCU, "Software\\Talvor", "DecimalSeparator"));
    // Hives are separate.
    EXPECT_FALSE(store.readString(HKCU, "Software\\Microsoft\\Internet Explorer", "Version"));
    EXPECT_EQ(store.readString(HKLM, "Software\\Microsoft\\Internet Explorer", "Version"),
              "6.0.2900.2180");
    // Parents exist as keys of their own.
    EXPECT_TRUE(store.keyExists(HKCU, "Software"));
    EXPECT_EQ(store.subkeys(HKCU, "Software\\Talvor"), std::vector<std::string>{"Orvane"});
}

TEST_F(Registry, OverwriteKeepsOneValueAndTextRoundTripsExactly) {
    RegistryStore store(m_root);
    const std::string tricky = "C:\\Program Files\\\"Orvane\"\nline two";
    ASSERT_TRUE(store.writeString(HKCU, "K", "", "first"));
    ASSERT_TRUE(store.writeString(HKCU, "k", "", tricky));
    EXPECT_EQ(store.readString(HKCU, "K", ""), tricky);
    ASSERT_TRUE(store.writeString(HKCU, "K", "Empty", ""));
    EXPECT_EQ(store.readString(HKCU, "K", "Empty"), "");
}

TEST_F(Registry, DeletesValuesAndWholeSubtrees) {
    RegistryStore store(m_root);
    ASSERT_TRUE(store.writeString(RegistryHive::ClassesRoot, "CLSID\\{X}\\InprocServer32", "",
                                  "/usr/lib/libquivex.so"));
    ASSERT_TRUE(store.writeString(RegistryHive::ClassesRoot, "CLSID\\{X}", "", "Quivex"));
    ASSERT_TRUE(store.writeString(RegistryHive::ClassesRoot, "CLSID\\{Y}", "", "Other"));
    EXPECT_TRUE(store.deleteValue(RegistryHive::ClassesRoot, "CLSID\\{Y}", ""));
    EXPECT_FALSE(store.deleteValue(RegistryHive::ClassesRoot, "CLSID\\{Y}", ""));
    EXPECT_TRUE(store.keyExists(RegistryHive::ClassesRoot, "CLSID\\{Y}"));

    EXPECT_TRUE(store.deleteKey(RegistryHive::ClassesRoot, "clsid\\{x}"));
    EXPECT_FALSE(store.keyExists(RegistryHive::ClassesRoot, "CLSID\\{X}\\InprocServer32"));
    EXPECT_TRUE(store.keyExists(RegistryHive::ClassesRoot, "CLSID\\{Y}"));
    EXPECT_FALSE(store.deleteKey(RegistryHive::ClassesRoot, "CLSID\\{X}"));
    // A key whose name merely starts like the deleted one stays.
    ASSERT_TRUE(store.writeString(HKCU, "Ab", "v", "1"));
    ASSERT_TRUE(store.writeString(HKCU, "Abc", "v", "2"));
    EXPECT_TRUE(store.deleteKey(HKCU, "Ab"));
    EXPECT_EQ(store.readString(HKCU, "Abc", "v"), "2");
}

TEST_F(Registry, DamagedLinesAreSkippedAndTheRestStillReads) {
    std::filesystem::create_directories(m_root);
    {
        std::ofstream out(RegistryStore(m_root).hiveFile(HKCU));
        out << "garbage before any key\n"
            << "[Software\\Talvor]\n"
            << "\"Broken\n"
            << "\"Number\"=dword:zz\n"
            << "\"Big\"=dword:1ffffffff\n"
            << "\"DecimalSeparator\"=\",\"\n"
            << "\"decimalseparator\"=\";\"\n"
            << "[]\n"
            << "\"Orphan\"=\"x\"\n";
    }
    RegistryStore store(m_root);
    EXPECT_EQ(store.readString(HKCU, "Software\\Talvor", "DecimalSeparator"), ",");
    EXPECT_FALSE(store.readDword(HKCU, "Software\\Talvor", "Number"));
    EXPECT_FALSE(store.readDword(HKCU, "Software\\Talvor", "Big"));
    EXPECT_FALSE(store.readString(HKCU, "Software\\Talvor", "Orphan"));
}

TEST_F(Registry, UnwritableRootReportsFailure) {
    std::filesystem::create_directories(m_root.parent_path());
    { std::ofstream(m_root.string()) << "a file where the folder should be"; }
    RegistryStore store(m_root);
    EXPECT_FALSE(store.writeString(HKCU, "Software\\Talvor", "DecimalSeparator", ","));
    std::filesystem::remove(m_root);
}

TEST(RegistryRoot, EnvironmentRedirectsTheDefaultRoot) {
    const char *old = std::getenv("ORVANE_REGISTRY_ROOT");
    const std::string saved = old ? old : "";
    ::setenv("ORVANE_REGISTRY_ROOT", "/tmp/orvane-elsewhere", 1);
    EXPECT_EQ(RegistryStore::defaultRoot(), "/tmp/orvane-elsewhere");
    ::unsetenv("ORVANE_REGISTRY_ROOT");
    ::setenv("XDG_CONFIG_HOME", "/tmp/xdg", 1);
    EXPECT_EQ(RegistryStore::defaultRoot(), "/tmp/xdg/orvane/registry");
    if (old)
        ::setenv("ORVANE_REGISTRY_ROOT", saved.c_str(), 1);
}

// Two programs changing the same hive at once: each rewrite starts from the other's latest
// content, so no value is lost.
TEST_F(Registry, TwoProgramsWritingAtOnceLoseNothing) {
    constexpr int kValues = 40;
    const auto writeAll = [this](const char *prefix) {
        RegistryStore store(m_root);
        bool ok = true;
        for (int i = 0; i < kValues; ++i)
            ok = store.writeDword(HKCU, "Software\\Shared", prefix + std::to_string(i),
                                  static_cast<DWORD>(i)) &&
                 ok;
        return ok;
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(writeAll("child") ? 0 : 1);
    const bool parentOk = writeAll("parent");
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(parentOk);
    RegistryStore store(m_root);
    for (int i = 0; i < kValues; ++i) {
        EXPECT_EQ(store.readDword(HKCU, "Software\\Shared", "child" + std::to_string(i)),
                  static_cast<DWORD>(i));
        EXPECT_EQ(store.readDword(HKCU, "Software\\Shared", "parent" + std::to_string(i)),
                  static_cast<DWORD>(i));
    }
}

// A line break in a key path would split its "[key]" line, and the value would read back
// under another key after a reload.
TEST_F(Registry, KeyPathsWithLineBreaksAreRefused) {
    RegistryStore store(m_root);
    ASSERT_TRUE(store.writeString(HKCU, "Software\\Talvor", "Kept", "1"));
    EXPECT_FALSE(store.writeString(HKCU, "Software\\Talvor\nEvil", "v", "x"));
    EXPECT_FALSE(store.writeDword(HKCU, "Software\\Talvor\r", "v", 1));
    EXPECT_FALSE(store.createKey(HKCU, "A\r\nB"));
    EXPECT_FALSE(store.deleteKey(HKCU, "Software\nTalvor"));
    EXPECT_FALSE(store.keyExists(HKCU, "Evil"));
    EXPECT_FALSE(store.readString(HKCU, "Software\\Talvor", "v"));
    EXPECT_EQ(store.subkeys(HKCU, "Software"), std::vector<std::string>{"Talvor"});
    EXPECT_EQ(store.readString(HKCU, "Software\\Talvor", "Kept"), "1");
    // Line breaks in value names and values are written escaped and read back.
    ASSERT_TRUE(store.writeString(HKCU, "K", "two\nlines", "a\r\nb"));
    EXPECT_EQ(RegistryStore(m_root).readString(HKCU, "K", "two\nlines"), "a\r\nb");
}

// A hand-edited hive may hold such a key already: it reads, and it can be removed.
TEST_F(Registry, AKeyWithALineBreakInADamagedHiveCanBeRemoved) {
    std::filesystem::create_directories(m_root);
    RegistryStore store(m_root);
    { std::ofstream(store.hiveFile(HKCU)) << "[Odd\rKey]\n\"A\"=\"1\"\n[Kept]\n\"B\"=\"2\"\n"; }
    ASSERT_TRUE(store.keyExists(HKCU, "Odd\rKey"));
    EXPECT_TRUE(store.deleteKey(HKCU, "Odd\rKey"));
    EXPECT_FALSE(store.keyExists(HKCU, "Odd\rKey"));
    EXPECT_EQ(store.readString(HKCU, "Kept", "B"), "2");
}

TEST_F(Registry, AByteOrderMarkDoesNotHideTheFirstKey) {
    std::filesystem::create_directories(m_root);
    RegistryStore store(m_root);
    { std::ofstream(store.hiveFile(HKCU)) << "\xEF\xBB\xBF[Software\\Talvor]\n\"A\"=\"1\"\n"; }
    EXPECT_EQ(store.readString(HKCU, "Software\\Talvor", "A"), "1");
    ASSERT_TRUE(store.writeString(HKCU, "Software\\Talvor", "B", "2"));
    EXPECT_EQ(store.readString(HKCU, "Software\\Talvor", "A"), "1");
    EXPECT_EQ(store.subkeys(HKCU, "Software"), std::vector<std::string>{"Talvor"});
}

TEST_F(Registry, AFifoHiveReadsAsEmptyAndIsNeverWritten) {
    std::filesystem::create_directories(m_root);
    RegistryStore store(m_root);
    const auto hive = store.hiveFile(HKCU);
    const char *payload = "[Software\\Talvor]\n\"A\"=\"from the fifo\"\n";
    {
        filetest::FifoFeeder fifo(hive, payload); // meets one reader
        EXPECT_FALSE(store.readString(HKCU, "Software\\Talvor", "A"));
    }
    std::filesystem::remove(hive);
    {
        filetest::FifoFeeder fifo(hive, payload);
        EXPECT_FALSE(store.writeString(HKCU, "Software\\Talvor", "A", "1"));
        EXPECT_TRUE(filetest::isFifo(hive));
    }
}

// A hive kept elsewhere and linked into the store's folder stays linked.
TEST_F(Registry, AHiveReachedThroughALinkKeepsTheLink) {
    std::filesystem::create_directories(m_root / "elsewhere");
    RegistryStore store(m_root);
    std::filesystem::create_symlink("elsewhere/user.reg", store.hiveFile(HKCU));
    ASSERT_TRUE(store.writeString(HKCU, "Software\\Talvor", "A", "1"));
    ASSERT_TRUE(store.writeString(HKCU, "Software\\Talvor", "B", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(store.hiveFile(HKCU))));
    EXPECT_EQ(store.readString(HKCU, "Software\\Talvor", "A"), "1");
    std::ifstream target(m_root / "elsewhere" / "user.reg");
    std::string text((std::istreambuf_iterator<char>(target)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("\"B\"=\"2\""), std::string::npos);
}

// Two users writing one hive (writable by both, owned by the other user) while a lock file an
// older version left beside it is only the first user's to open: no value is lost.
TEST_F(Registry, WritersOfTwoUsersLoseNothing) {
    if (!filetest::canSwitchUser())
        GTEST_SKIP() << "writing as a second user (nobody) needs root";
    std::filesystem::create_directories(m_root);
    std::filesystem::permissions(m_root, std::filesystem::perms::all);
    const auto hive = RegistryStore(m_root).hiveFile(HKCU);
    { std::ofstream(hive) << ""; }
    ASSERT_EQ(::chmod(hive.c_str(), 0666), 0);
    ASSERT_EQ(::chown(hive.c_str(), filetest::kNobody, filetest::kNogroup), 0);
    const auto lock = hive.string() + ".lock";
    { std::ofstream(lock) << ""; }
    ASSERT_EQ(::chmod(lock.c_str(), 0600), 0);

    constexpr int kWriters = 4, kValues = 40;
    const auto failed = filetest::runWriters(kWriters, filetest::Users::Alternate, [&](int w) {
        RegistryStore store(m_root);
        bool ok = true;
        for (int i = 0; i < kValues; ++i)
            ok = store.writeDword(HKCU, "Software\\Shared", "W" + std::to_string(w * 100 + i),
                                  static_cast<DWORD>(i)) &&
                 ok;
        return ok;
    });
    EXPECT_TRUE(failed.empty()) << failed.size() << " writers reported a failure";
    RegistryStore store(m_root);
    int missing = 0;
    for (int w = 0; w < kWriters; ++w)
        for (int i = 0; i < kValues; ++i)
            if (store.readDword(HKCU, "Software\\Shared", "W" + std::to_string(w * 100 + i)) !=
                static_cast<DWORD>(i))
                ++missing;
    EXPECT_EQ(missing, 0) << "of " << kWriters * kValues << " values";
    struct stat st {};
    ASSERT_EQ(::stat(hive.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, filetest::kNobody);
}
