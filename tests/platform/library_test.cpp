#include "platform/library.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

using namespace platform;

TEST(LibraryTable, MapsWindowsNamesToThisPlatform) {
    // Direct3D generations map to the graphics stack, case-insensitively.
    EXPECT_FALSE(libraryCandidates("D3D9.DLL").empty());
    EXPECT_EQ(libraryCandidates("d3d9.dll"), libraryCandidates("D3D9.DLL"));
    EXPECT_FALSE(libraryCandidates("D3D8.DLL").empty());
    EXPECT_FALSE(libraryCandidates("dpnhpast.dll").empty());
    // Data Translation has no counterpart: absent, not passed through as a file name.
    EXPECT_TRUE(libraryCandidates("olmem32.dll").empty());
    EXPECT_TRUE(libraryCandidates("oldaapi32.dll").empty());
    EXPECT_FALSE(libraryCandidates("nidaq32.dll").empty());
    // Names of this platform go through unchanged.
    EXPECT_EQ(libraryCandidates("libc.so.6"), std::vector<std::string>{"libc.so.6"});
    EXPECT_TRUE(libraryCandidates("").empty());
}

TEST(LibraryProbe, SystemProbeLoadsRealLibrariesAndFindsSymbols) {
    LoadedLibrary libc("libc.so.6");
    ASSERT_TRUE(libc);
    EXPECT_NE(libc.symbol("strlen"), nullptr);
    EXPECT_EQ(libc.symbol("no_such_symbol_here"), nullptr);
    LoadedLibrary absent("olmem32.dll");
    EXPECT_FALSE(absent);
    EXPECT_EQ(absent.symbol("anything"), nullptr);
}

namespace {

struct FakeProbe : LibraryProbe {
    std::set<std::string> present;
    std::map<std::string, int> opened;
    int closed = 0;
    void *open(std::string_view name) override {
        auto it = present.find(std::string(name));
        if (it == present.end())
            return nullptr;
        ++opened[*it];
        return const_cast<std::string *>(&*it);
    }
    void *symbol(void *, const char *name) override {
        return std::string(name) == "fn" ? reinterpret_cast<void *>(&closed) : nullptr;
    }
    void close(void *) override { ++closed; }
};

} // namespace

TEST(LibraryProbe, ReplacedProbeIsUsedAndEveryLoadIsUnloaded) {
    FakeProbe fake;
    fake.present = {"D3D9.DLL"};
    setLibraryProbe(&fake);
    {
        LoadedLibrary lib("D3D9.DLL");
        EXPECT_TRUE(lib);
        EXPECT_NE(lib.symbol("fn"), nullptr);
        LoadedLibrary missing("D3D8.DLL");
        EXPECT_FALSE(missing);
    }
    setLibraryProbe(nullptr);
    EXPECT_EQ(fake.opened["D3D9.DLL"], 1);
    EXPECT_EQ(fake.closed, 1);
    // Back on the system probe.
    EXPECT_TRUE(LoadedLibrary("libc.so.6"));
}
