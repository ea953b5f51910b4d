#include "platform/profile.h"

#include "filetesthelpers.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

class Profile : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("profile_test_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_file = (m_dir / "test.ini").string();
    }
    void TearDown() override { fs::remove_all(m_dir); }

    void write(const std::string &text) { std::ofstream(m_file, std::ios::binary) << text; }
    std::string content() const {
        std::ifstream in(m_file, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string get(const char *section, const char *key, const char *def = "<def>",
                    platform::DWORD size = 300) {
        std::string buffer(size + 1, '\x7f');
        const auto n =
            platform::getPrivateProfileString(section, key, def, buffer.data(), size, m_file);
        EXPECT_EQ(buffer[n], '\0');
        return buffer.substr(0, n);
    }

    fs::path m_dir;
    std::string m_file;
};

TEST_F(Profile, NamesAreComparedWithoutCase) {
    write("[Orvane]\nDecDigits=3\n");
    EXPECT_EQ(get("ORVANE", "decdigits"), "3");
    EXPECT_EQ(get("orvane", "DECDIGITS"), "3");
}

TEST_F(Profile, ValuesAreTrimmedAndOnePairOfQuotesRemoved) {
    write("[S]\n  a  =  x y  \t\nb=\"quoted \"\nc='single'\nd=\"\"twice\"\"\ne=\"open\nf=\"\n"
          "g=\n");
    EXPECT_EQ(get("S", "a"), "x y");
    EXPECT_EQ(get("S", "b"), "quoted ");
    EXPECT_EQ(get("S", "c"), "single");
    EXPECT_EQ(get("S", "d"), "\"twice\"");
    EXPECT_EQ(get("S", "e"), "\"open");
    EXPECT_EQ(get("S", "f"), "\"");
    EXPECT_EQ(get("S", "g"), "");
}

TEST_F(Profile, FirstOccurrenceWins) {
    write("[S]\nk=first\nk=second\n[s]\nk=third\nonly=later\n");
    EXPECT_EQ(get("S", "k"), "first");
    // A repeated section is not searched: the first one answers alone.
    EXPECT_EQ(get("S", "only"), "<def>");
}

TEST_F(Profile, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(get("S", "k", "fallback  "), "fallback");
    EXPECT_EQ(get("S", "k", ""), "");
    write("; comment\n[S]\nk=1\n");
    EXPECT_EQ(get("T", "k"), "<def>");
    EXPECT_EQ(get("S", "missing"), "<def>");
    EXPECT_EQ(get("S", "; comment"), "<def>");
}

TEST_F(Profile, TheBufferCutsLongValues) {
    write("[S]\nk=" + std::string(400, 'v') + "\n");
    EXPECT_EQ(get("S", "k").size(), 299u);
    EXPECT_EQ(get("S", "k", "", 1), "");
    char none = 'x';
    EXPECT_EQ(platform::getPrivateProfileString("S", "k", "", &none, 0, m_file), 0u);
    EXPECT_EQ(none, 'x');
}

TEST_F(Profile, CarriageReturnsOfWindowsFilesAreNotPartOfValues) {
    write("[S]\r\nk=value\r\n");
    EXPECT_EQ(get("S", "k"), "value");
}

TEST_F(Profile, WriteCreatesFileAndSection) {
    ASSERT_EQ(platform::writePrivateProfileString("Orvane", "LCID", "0x0409", m_file), 1);
    EXPECT_EQ(content(), "[Orvane]\nLCID=0x0409\n");
    ASSERT_EQ(platform::writePrivateProfileString("Trace", "Size", "5", m_file), 1);
    EXPECT_EQ(content(), "[Orvane]\nLCID=0x0409\n\n[Trace]\nSize=5\n");
}

TEST_F(Profile, WriteKeepsEveryOtherLineInItsOrder) {
    const std::string before = "; written by hand\n[Other]\nx = 1\n\n[orvane]\n# note\n"
                               "DecDigits = 2\nUnknown=keep me\n\n[Tail]\ny=2";
    write(before);
    ASSERT_EQ(platform::writePrivateProfileString("Orvane", "decdigits", "4", m_file), 1);
    ASSERT_EQ(platform::writePrivateProfileString("ORVANE", "StopAtDrop", "0", m_file), 1);
    EXPECT_EQ(content(), "; written by hand\n[Other]\nx = 1\n\n[orvane]\n# note\n"
                         "decdigits=4\nUnknown=keep me\nStopAtDrop=0\n\n[Tail]\ny=2");
    EXPECT_EQ(get("Orvane", "DecDigits"), "4");
    EXPECT_EQ(get("Tail", "y"), "2");
}

TEST_F(Profile, WriteKeepsWindowsLineEnds) {
    write("[S]\r\na=1\r\n");
    ASSERT_EQ(platform::writePrivateProfileString("S", "b", "2", m_file), 1);
    EXPECT_EQ(content(), "[S]\r\na=1\r\nb=2\r\n");
}

TEST_F(Profile, AnAbsentValueRemovesTheKey) {
    write("[S]\na=1\nb=2\n");
    ASSERT_EQ(platform::writePrivateProfileString("S", "a", std::nullopt, m_file), 1);
    EXPECT_EQ(content(), "[S]\nb=2\n");
    EXPECT_EQ(platform::writePrivateProfileString("S", "none", std::nullopt, m_file), 1);
    EXPECT_EQ(content(), "[S]\nb=2\n");
    // Repeats of the key in the section go too, or the next would read as the key's value.
    write("[S]\na=1\nb=2\nA=3\n[T]\na=4\n");
    ASSERT_EQ(platform::writePrivateProfileString("S", "a", std::nullopt, m_file), 1);
    EXPECT_EQ(get("S", "a"), "<def>");
    EXPECT_EQ(content(), "[S]\nb=2\n[T]\na=4\n");
    // Removing a key of a missing file creates nothing.
    const std::string missing = (m_dir / "missing.ini").string();
    EXPECT_EQ(platform::writePrivateProfileString("S", "a", std::nullopt, missing), 1);
    EXPECT_FALSE(fs::exists(missing));
}

TEST_F(Profile, WritesThatWouldForgeLinesAreRefused) {
    write("[S]\na=1\n");
    EXPECT_EQ(platform::writePrivateProfileString("S", "a", "1\n[Evil]\nb=2", m_file), 0);
    EXPECT_EQ(platform::writePrivateProfileString("S]x", "a", "1", m_file), 0);
    EXPECT_EQ(platform::writePrivateProfileString("S", "a=b", "1", m_file), 0);
    EXPECT_EQ(platform::writePrivateProfileString("", "a", "1", m_file), 0);
    EXPECT_EQ(platform::writePrivateProfileString("S", " ", "1", m_file), 0);
    // Keys that would read as a section line or a comment could never be read back.
    EXPECT_EQ(platform::writePrivateProfileString("S", "[Trace]", "1", m_file), 0);
    EXPECT_EQ(platform::writePrivateProfileString("S", " [x", "1", m_file), 0);
    EXPECT_EQ(platform::writePrivateProfileString("S", ";note", "1", m_file), 0);
    EXPECT_EQ(platform::writePrivateProfileString("S\r", "a", "1", m_file), 0);
    EXPECT_EQ(platform::writePrivateProfileString("S", "a\n", "1", m_file), 0);
    EXPECT_EQ(content(), "[S]\na=1\n");
    // Brackets elsewhere in a key, and an opening one in a section, read back fine.
    ASSERT_EQ(platform::writePrivateProfileString("[S", "a[1]", "x", m_file), 1);
    EXPECT_EQ(get("[S", "a[1]"), "x");
}

TEST_F(Profile, NamesAreTrimmedOnReadAsOnWrite) {
    ASSERT_EQ(platform::writePrivateProfileString(" Orvane\t", "  LCID ", "1033", m_file), 1);
    EXPECT_EQ(content(), "[Orvane]\nLCID=1033\n");
    EXPECT_EQ(get("Orvane", "LCID"), "1033");
    EXPECT_EQ(get(" Orvane ", "\tLCID  "), "1033");
    write("[ S ]\n k =v\n");
    EXPECT_EQ(get("\tS", "k "), "v");
}

TEST_F(Profile, AByteOrderMarkIsSkippedOnReadAndKeptOnWrite) {
    const std::string bom = "\xEF\xBB\xBF";
    write(bom + "[Orvane]\r\nLCID=1033\r\n\r\n[Trace]\r\nSize=2\r\n");
    EXPECT_EQ(get("Orvane", "LCID"), "1033");
    ASSERT_EQ(platform::writePrivateProfileString("Orvane", "LCID", "1031", m_file), 1);
    // The key is replaced where it stands; no second section is appended.
    EXPECT_EQ(content(), bom + "[Orvane]\r\nLCID=1031\r\n\r\n[Trace]\r\nSize=2\r\n");
    // A sequence information file written by another program.
    write(bom + "[SeqInfo]\nActSeq=0\n");
    EXPECT_EQ(get("SeqInfo", "ActSeq"), "0");
}

TEST_F(Profile, AFileThatCannotBeWrittenReportsFailure) {
    const std::string nowhere = (m_dir / "no" / "such" / "dir" / "x.ini").string();
    EXPECT_EQ(platform::writePrivateProfileString("S", "a", "1", nowhere), 0);
    EXPECT_FALSE(fs::exists(nowhere));
}

TEST_F(Profile, AWriteTheDiskCannotHoldKeepsTheOldFileWhole) {
    // A full disk, played by a file size limit: the new content cannot be written beside
    // the old, and must not then be written over it either, where it would stop half done.
    std::string old = "[Orvane]\n";
    for (int i = 0; i < 40; ++i)
        old += "Key" + std::to_string(i) + "=" + std::string(20, 'a') + "\n";
    write(old);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead
    rlimit limit = saved;
    limit.rlim_cur = old.size() + 100;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const auto written =
        platform::writePrivateProfileString("Orvane", "Long", std::string(4000, 'b'), m_file);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    EXPECT_FALSE(written);
    EXPECT_EQ(content(), old);
}

TEST_F(Profile, ValuesBeyondAnEmbeddedNulAreStillStored) {
    write(std::string("[S]\nk=ab\0cd\n", 12));
    const auto value = platform::readProfileValue("S", "k", m_file);
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, std::string("ab\0cd", 5));
}

} // namespace

// Each write rewrites the whole file; writers at the same time must not drop each other's
// keys (two programs, or two threads of one, saving their settings together).
TEST_F(Profile, WritersAtTheSameTimeKeepEveryKey) {
    constexpr int kWriters = 4, kKeys = 25;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([this, w] {
            for (int k = 0; k < kKeys; ++k) {
                const std::string key = "K" + std::to_string(w) + "_" + std::to_string(k);
                platform::writePrivateProfileString("Shared", key, std::to_string(k), m_file);
            }
        });
    for (auto &t : writers)
        t.join();
    for (int w = 0; w < kWriters; ++w)
        for (int k = 0; k < kKeys; ++k) {
            const std::string key = "K" + std::to_string(w) + "_" + std::to_string(k);
            EXPECT_EQ(get("Shared", key.c_str()), std::to_string(k)) << key;
        }
}

// A FIFO in the settings file's place must neither hang the reader nor be replaced by the
// writer: it reads as a missing file and every write fails.
TEST_F(Profile, AFifoReadsAsMissingAndIsNeverWritten) {
    // One FIFO for each call: its feeder meets one reader.
    int n = 0;
    const auto fifo = [&] {
        return m_file + ".fifo" + std::to_string(++n);
    };
    const char *payload = "[S]\nk=from the fifo\n";
    {
        const auto path = fifo();
        filetest::FifoFeeder feeder(path, payload);
        char buffer[32] = "x";
        EXPECT_EQ(platform::getPrivateProfileString("S", "k", "def", buffer, 32, path), 3u);
        EXPECT_STREQ(buffer, "def");
    }
    {
        const auto path = fifo();
        filetest::FifoFeeder feeder(path, payload);
        EXPECT_FALSE(platform::readProfileValue("S", "k", path));
    }
    for (const std::optional<std::string_view> value :
         {std::optional<std::string_view>("1"), std::optional<std::string_view>()}) {
        const auto path = fifo();
        filetest::FifoFeeder feeder(path, payload);
        EXPECT_EQ(platform::writePrivateProfileString("S", "k", value, path), 0);
        EXPECT_TRUE(filetest::isFifo(path));
    }
}

TEST_F(Profile, AFolderInTheFilesPlaceIsNeverWritten) {
    fs::create_directories(m_file);
    EXPECT_EQ(platform::writePrivateProfileString("S", "k", "1", m_file), 0);
    EXPECT_EQ(get("S", "k"), "<def>");
    EXPECT_TRUE(fs::is_directory(m_file));
}

// Settings kept elsewhere and linked in: a write changes the link's target and keeps the
// link; writers through either name exclude each other.
TEST_F(Profile, WritesGoThroughASymbolicLinkToItsTarget) {
    fs::create_directories(m_dir / "real");
    const std::string target = (m_dir / "real" / "settings.ini").string();
    { std::ofstream(target) << "[S]\nold=1\n"; }
    fs::create_symlink("real/settings.ini", m_file);
    ASSERT_EQ(platform::writePrivateProfileString("S", "new", "2", m_file), 1);
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(m_file)));
    EXPECT_EQ(content(), "[S]\nold=1\nnew=2\n");
    EXPECT_EQ(platform::readProfileValue("S", "new", target), "2");

    // A link to a file not made yet: the write makes the target.
    const std::string dangling = (m_dir / "later.ini").string();
    fs::create_symlink(m_dir / "real" / "later-target.ini", dangling);
    ASSERT_EQ(platform::writePrivateProfileString("S", "k", "v", dangling), 1);
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dangling)));
    EXPECT_EQ(platform::readProfileValue("S", "k", (m_dir / "real" / "later-target.ini").string()),
              "v");

    constexpr int kWriters = 4, kKeys = 15;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([&, w] {
            const std::string &name = w % 2 ? target : m_file;
            for (int k = 0; k < kKeys; ++k)
                platform::writePrivateProfileString("S", "K" + std::to_string(w * 100 + k), "x",
                                                    name);
        });
    for (auto &t : writers)
        t.join();
    for (int w = 0; w < kWriters; ++w)
        for (int k = 0; k < kKeys; ++k)
            EXPECT_EQ(get("S", ("K" + std::to_string(w * 100 + k)).c_str()), "x") << w << k;
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(m_file)));
}

namespace {

// Each writer process sets its own keys K<writer>_<n>; afterwards every key must be there.
constexpr int kProcessWriters = 4, kKeysPerWriter = 40;

bool writeOwnKeys(const std::string &file, int writer) {
    bool ok = true;
    for (int k = 0; k < kKeysPerWriter; ++k)
        ok = platform::writePrivateProfileString(
                 "Shared", "K" + std::to_string(writer) + "_" + std::to_string(k),
                 std::to_string(k), file) != 0 &&
             ok;
    return ok;
}

void expectEveryKey(const std::string &file) {
    int missing = 0;
    for (int w = 0; w < kProcessWriters; ++w)
        for (int k = 0; k < kKeysPerWriter; ++k)
            if (platform::readProfileValue("Shared",
                                           "K" + std::to_string(w) + "_" + std::to_string(k),
                                           file) != std::to_string(k))
                ++missing;
    EXPECT_EQ(missing, 0) << "of " << kProcessWriters * kKeysPerWriter << " keys";
}

} // namespace

// Two users share one settings file (writable by both, owned by the other user), and a lock
// file an older version of the program left beside it is only the first user's to open.
TEST_F(Profile, WritersOfTwoUsersKeepEveryKey) {
    if (!filetest::canSwitchUser())
        GTEST_SKIP() << "writing as a second user (nobody) needs root";
    fs::permissions(m_dir, fs::perms::all);
    write("[Shared]\n");
    ASSERT_EQ(::chmod(m_file.c_str(), 0666), 0);
    ASSERT_EQ(::chown(m_file.c_str(), filetest::kNobody, filetest::kNogroup), 0);
    { std::ofstream(m_file + ".lock") << ""; }
    ASSERT_EQ(::chmod((m_file + ".lock").c_str(), 0600), 0);

    const auto failed = filetest::runWriters(kProcessWriters, filetest::Users::Alternate,
                                             [&](int w) { return writeOwnKeys(m_file, w); });
    EXPECT_TRUE(failed.empty()) << failed.size() << " writers reported a failure";
    expectEveryKey(m_file);
    // The file is still the other user's, and still writable by both.
    struct stat st {};
    ASSERT_EQ(::stat(m_file.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, filetest::kNobody);
    EXPECT_EQ(st.st_mode & 0777, 0666u);
}

// The program's folder is read-only but its settings file is writable: the file is rewritten
// in place, still one writer at a time.
TEST_F(Profile, AReadOnlyFolderWithAWritableFileKeepsEveryKey) {
    write("[Shared]\n");
    ASSERT_EQ(::chmod(m_file.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(m_dir.c_str(), 0555), 0);
    // Root writes in any folder; the writers are nobody then.
    const auto users = filetest::canSwitchUser() ? filetest::Users::Other : filetest::Users::Self;
    const auto failed = filetest::runWriters(kProcessWriters, users,
                                             [&](int w) { return writeOwnKeys(m_file, w); });
    ::chmod(m_dir.c_str(), 0755);
    EXPECT_TRUE(failed.empty()) << failed.size() << " writers reported a failure";
    expectEveryKey(m_file);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1)
        << "nothing but the settings file in the folder";
}
