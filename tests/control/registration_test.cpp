// Self-registration into private settings stores: the keys written, their removal, and the
// codes of a store that cannot be written.
#include "control/registration.h"
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <dlfcn.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace quivex;
using platform::RegistryHive;
using platform::RegistryStore;

namespace {

constexpr auto HKCR = RegistryHive::ClassesRoot;
const std::string kLibid = "{04521860-9173-11D0-B9DA-444553540000}";
const std::string kDispatchIid = "{04521861-9173-11D0-B9DA-444553540000}";
const std::string kEventsIid = "{04521862-9173-11D0-B9DA-444553540000}";
const std::string kControlClsid = "{04521863-9173-11D0-B9DA-444553540000}";
const std::string kPageClsid = "{04521864-9173-11D0-B9DA-444553540000}";
const std::string kModule = "/opt/orvane/lib/libquivex.so";

std::string fileContent(const std::filesystem::path &file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Every key of a hive below `key`, as a list of paths.
void walk(const RegistryStore &store, const std::string &key, std::vector<std::string> &out) {
    for (const auto &sub : store.subkeys(HKCR, key)) {
        const std::string path = key.empty() ? sub : key + "\\" + sub;
        out.push_back(path);
        walk(store, path, out);
    }
}

std::vector<std::string> allKeys(const RegistryStore &store) {
    std::vector<std::string> out;
    walk(store, "", out);
    return out;
}

// Hive files larger than `bytes` cannot be written while it lives (root may write any file,
// so a read-only file would not do). The signal a refused write raises is ignored, so the
// write fails with EFBIG instead.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = std::filesystem::temp_directory_path() /
                 ("quivex-registration-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_root);
        std::filesystem::create_directories(m_root);
    }
    void TearDown() override { std::filesystem::remove_all(m_root); }
    std::filesystem::path store(const std::string &name) const { return m_root / name; }
    std::filesystem::path m_root;
};

} // namespace

TEST_F(Registration, WritesTheTypeLibraryTheInterfacesAndBothClasses) {
    RegistryStore s(store("classes"));
    ASSERT_EQ(registerServer(s, kModule), platform::S_OK);

    const std::string lib = "TypeLib\\" + kLibid + "\\1.0";
    EXPECT_EQ(s.readString(HKCR, lib, ""), "Talvor Quivex Control");
    EXPECT_EQ(s.readString(HKCR, lib + "\\0\\win64", ""), kModule);
    EXPECT_EQ(s.readString(HKCR, lib + "\\FLAGS", ""), "2");
    EXPECT_EQ(s.readString(HKCR, lib + "\\HELPDIR", ""), "/opt/orvane/lib");

    for (const auto &[iid, name] :
         {std::pair{kDispatchIid, "_DQuivex"}, std::pair{kEventsIid, "_DQuivexEvents"}}) {
        const std::string key = "Interface\\" + iid;
        EXPECT_EQ(s.readString(HKCR, key, ""), name);
        EXPECT_EQ(s.readString(HKCR, key + "\\TypeLib", ""), kLibid);
        EXPECT_EQ(s.readString(HKCR, key + "\\TypeLib", "Version"), "1.0");
        EXPECT_EQ(s.readString(HKCR, key + "\\ProxyStubClsid32", ""),
                  "{00020420-0000-0000-C000-000000000046}");
    }

    const std::string control = "CLSID\\" + kControlClsid;
    EXPECT_EQ(s.readString(HKCR, control, ""), "Talvor Quivex Control");
    EXPECT_EQ(s.readString(HKCR, control + "\\ProgID", ""), "QUIVEX.QuivexCtrl");
    EXPECT_EQ(s.readString(HKCR, control + "\\InprocServer32", ""), kModule);
    EXPECT_EQ(s.readString(HKCR, control + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_TRUE(s.keyExists(HKCR, control + "\\Control"));
    EXPECT_FALSE(s.keyExists(HKCR, control + "\\Insertable"));
    const auto misc = s.readString(HKCR, control + "\\MiscStatus\\1", "");
    ASSERT_TRUE(misc);
    EXPECT_EQ(std::stoul(*misc), 0x30191u);
    EXPECT_EQ(s.readString(HKCR, control + "\\ToolboxBitmap32", ""), kModule + ", 1");
    EXPECT_EQ(s.readString(HKCR, control + "\\TypeLib", ""), kLibid);
    EXPECT_EQ(s.readString(HKCR, control + "\\Version", ""), "1.0");
    EXPECT_EQ(s.readString(HKCR, "QUIVEX.QuivexCtrl\\CLSID", ""), kControlClsid);

    const std::string page = "CLSID\\" + kPageClsid;
    EXPECT_EQ(s.readString(HKCR, page, ""), "Quivex Property Page");
    EXPECT_EQ(s.readString(HKCR, page + "\\ProgID", ""), "QUIVEX.QuivexPropPage.1");
    EXPECT_EQ(s.readString(HKCR, page + "\\InprocServer32", ""), kModule);
    EXPECT_EQ(s.readString(HKCR, "QUIVEX.QuivexPropPage.1\\CLSID", ""), kPageClsid);

    // Nothing lands in the other hives.
    EXPECT_FALSE(std::filesystem::exists(s.hiveFile(RegistryHive::CurrentUser)));
    EXPECT_FALSE(std::filesystem::exists(s.hiveFile(RegistryHive::LocalMachine)));
}

TEST_F(Registration, UnregistrationLeavesTheStoreAsItWas) {
    RegistryStore s(store("shared"));
    // Keys of other components, some beside ours and one where ours would go.
    ASSERT_TRUE(s.writeString(HKCR, "CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32",
                              "", "/usr/lib/other.so"));
    ASSERT_TRUE(s.writeString(HKCR, "TypeLib\\" + kLibid + "\\2.0", "", "a later version"));
    ASSERT_TRUE(
        s.writeString(HKCR, "Interface\\{AAAAAAAA-2222-3333-4444-555555555555}", "", "_DOther"));
    ASSERT_TRUE(
        s.writeString(HKCR, "Other.ProgId\\CLSID", "", "{11111111-2222-3333-4444-555555555555}"));
    const std::string before = fileContent(s.hiveFile(HKCR));
    const auto keysBefore = allKeys(s);

    ASSERT_EQ(registerServer(s, kModule), platform::S_OK);
    ASSERT_EQ(registerServer(s, kModule), platform::S_OK); // twice: still one set of keys
    ASSERT_NE(allKeys(s), keysBefore);
    EXPECT_EQ(unregisterServer(s), platform::S_OK);
    EXPECT_EQ(allKeys(s), keysBefore);
    EXPECT_EQ(fileContent(s.hiveFile(HKCR)), before);
    EXPECT_EQ(s.readString(HKCR, "TypeLib\\" + kLibid + "\\2.0", ""), "a later version");

    // Unregistering what is not registered changes nothing and succeeds.
    EXPECT_EQ(unregisterServer(s), platform::S_OK);
    EXPECT_EQ(fileContent(s.hiveFile(HKCR)), before);
}

TEST_F(Registration, UnregistrationFromAnEmptyStoreLeavesNoKey) {
    RegistryStore s(store("empty"));
    ASSERT_EQ(registerServer(s, kModule), platform::S_OK);
    EXPECT_EQ(unregisterServer(s), platform::S_OK);
    EXPECT_TRUE(allKeys(s).empty());
}

TEST_F(Registration, AProgIdAnotherClassTookOverStays) {
    RegistryStore s(store("progid"));
    ASSERT_EQ(registerServer(s, kModule), platform::S_OK);
    const std::string other = "{99999999-2222-3333-4444-555555555555}";
    ASSERT_TRUE(s.writeString(HKCR, "QUIVEX.QuivexCtrl\\CLSID", "", other));
    EXPECT_EQ(unregisterServer(s), platform::S_OK);
    EXPECT_EQ(s.readString(HKCR, "QUIVEX.QuivexCtrl\\CLSID", ""), other);
    EXPECT_FALSE(s.keyExists(HKCR, "CLSID\\" + kControlClsid));
    EXPECT_FALSE(s.keyExists(HKCR, "QUIVEX.QuivexPropPage.1"));
}

TEST_F(Registration, AStoreThatCannotBeWrittenGivesTheSelfRegistrationCodes) {
    // A root that is a file: nothing can be written under it.
    const auto file = store("a-file");
    std::ofstream(file) << "not a folder";
    RegistryStore blocked(file);
    EXPECT_EQ(registerServer(blocked, kModule), SELFREG_E_TYPELIB);
    // No module path is no registration either.
    RegistryStore s(store("nopath"));
    EXPECT_EQ(registerServer(s, ""), SELFREG_E_TYPELIB);
    EXPECT_TRUE(allKeys(s).empty());

    // A store that takes the type library but no more: the class part fails, and the type
    // library stays (nothing is rolled back).
    RegistryStore measure(store("measure"));
    ASSERT_TRUE(registerTypeLibrary(measure, kModule));
    const auto typeLibrarySize = std::filesystem::file_size(measure.hiveFile(HKCR));
    RegistryStore partial(store("partial"));
    {
        FileSizeLimit limit(typeLibrarySize);
        EXPECT_EQ(registerServer(partial, kModule), SELFREG_E_CLASS);
    }
    EXPECT_EQ(partial.readString(HKCR, "Interface\\" + kEventsIid, ""), "_DQuivexEvents");
    EXPECT_FALSE(partial.keyExists(HKCR, "CLSID\\" + kControlClsid));

    // A registered store that can no longer be written: unregistration fails at its first part.
    RegistryStore registered(store("registered"));
    ASSERT_EQ(registerServer(registered, kModule), platform::S_OK);
    {
        FileSizeLimit limit(1);
        EXPECT_EQ(unregisterServer(registered), SELFREG_E_TYPELIB);
    }
    EXPECT_EQ(unregisterServer(registered), platform::S_OK);
}

TEST_F(Registration, TheExportedEntryPointsRegisterTheLibraryItself) {
    // As a registration tool finds them: by name in the loaded library.
    void *library = ::dlopen(QUIVEX_PATH, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_TRUE(library) << "libquivex.so is not loaded";
    using Entry = platform::HRESULT (*)();
    const auto reg = reinterpret_cast<Entry>(::dlsym(library, "DllRegisterServer"));
    const auto unreg = reinterpret_cast<Entry>(::dlsym(library, "DllUnregisterServer"));
    ASSERT_TRUE(reg);
    ASSERT_TRUE(unreg);

    const auto path = std::filesystem::canonical(QUIVEX_PATH).string();
    EXPECT_EQ(moduleFileName(), path);
    const auto root = store("default");
    ::setenv("ORVANE_REGISTRY_ROOT", root.c_str(), 1);
    EXPECT_EQ(reg(), platform::S_OK);
    RegistryStore s(root);
    EXPECT_EQ(s.readString(HKCR, "CLSID\\" + kControlClsid + "\\InprocServer32", ""), path);
    EXPECT_EQ(s.readString(HKCR, "TypeLib\\" + kLibid + "\\1.0\\HELPDIR", ""),
              std::filesystem::path(path).parent_path().string());
    EXPECT_EQ(unreg(), platform::S_OK);
    EXPECT_TRUE(allKeys(s).empty());
    ::dlclose(library);
}
