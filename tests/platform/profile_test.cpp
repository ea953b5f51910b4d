#include "platform/profile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
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
}

TEST_F(Profile, WritesThatWouldForgeLinesAreRefused) {
    write("[S]\na=1\n");
    EXPECT_EQ(platform::writePrivateProfileString("S", "a", "1\n[Evil]\nb=2", m_file), 0);
    EXPECT_EQ(platform::writePrivateProfileString("S]x", "a", "1", m_file), 0);
    EXPECT_EQ(platform::writePrivateProfileString("S", "a=b", "1", m_file), 0);
    EXPECT_EQ(platform::writePrivateProfileString("", "a", "1", m_file), 0);
    EXPECT_EQ(platform::writePrivateProfileString("S", " ", "1", m_file), 0);
    EXPECT_EQ(content(), "[S]\na=1\n");
}

TEST_F(Profile, AFileThatCannotBeWrittenReportsFailure) {
    const std::string nowhere = (m_dir / "no" / "such" / "dir" / "x.ini").string();
    EXPECT_EQ(platform::writePrivateProfileString("S", "a", "1", nowhere), 0);
    EXPECT_FALSE(fs::exists(nowhere));
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
