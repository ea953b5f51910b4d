#include "control/rawframefile.h"
#include "frmwriter.h"

#include <gtest/gtest.h>

#include <iterator>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quivex;
using namespace testing_frm;

TEST(RawFrameFile, ReadsVersion102And103HeadersAndFrames) {
    FrmSpec s;
    s.version = 102;
    s.rate = 25.0f;
    const auto p102 = writeFrm(tempDir() / "v102.frm", s);
    RawFrameFile f;
    ASSERT_EQ(f.open(p102), RawFrameFile::OpenResult::Ok);
    EXPECT_EQ(f.width(), 8);
    EXPECT_EQ(f.height(), 6);
    EXPECT_EQ(f.frameRate(), 25.0f);
    EXPECT_EQ(f.frameCount(), 3);
    std::vector<std::uint8_t> g;
    ASSERT_TRUE(f.readFrame(2, g));
    ASSERT_EQ(g.size(), 48u);
    EXPECT_EQ(g[5 + 4 * 8], grey(5, 4, 2));

    s.version = 103;
    s.rate = 29.97f;
    s.countA = 1;
    s.countB = 3; // count = product of the two factors
    const auto p103 = writeFrm(tempDir() / "v103.frm", s);
    ASSERT_EQ(f.open(p103), RawFrameFile::OpenResult::Ok);
    EXPECT_FLOAT_EQ(f.frameRate(), 29.97f);
    EXPECT_EQ(f.frameCount(), 3);
    ASSERT_TRUE(f.readFrame(0, g));
    EXPECT_EQ(g[0], grey(0, 0, 0));
}

TEST(RawFrameFile, RefusesBadHeadersWithTheirCodes) {
    RawFrameFile f;
    FrmSpec s;
    s.magic1 = "XXXX";
    EXPECT_EQ(f.open(writeFrm(tempDir() / "magic1.frm", s)),
              RawFrameFile::OpenResult::NotRawFrameFile);
    s = {};
    s.magic2 = "HISQ";
    EXPECT_EQ(f.open(writeFrm(tempDir() / "magic2.frm", s)),
              RawFrameFile::OpenResult::NotRawFrameFile);
    s = {};
    s.version = 101;
    EXPECT_EQ(f.open(writeFrm(tempDir() / "v101.frm", s)),
              RawFrameFile::OpenResult::VersionUnsupported);
    s = {};
    s.headerSize = 256;
    EXPECT_EQ(f.open(writeFrm(tempDir() / "h256.frm", s)),
              RawFrameFile::OpenResult::VersionUnsupported);
    s = {};
    s.width = 0;
    EXPECT_EQ(f.open(writeFrm(tempDir() / "w0.frm", s)), RawFrameFile::OpenResult::NotRawFrameFile);
    s = {};
    s.width = 1 << 20;
    s.height = 1 << 20; // an impossible frame size is damage, not a huge allocation
    s.framesWritten = 0;
    EXPECT_EQ(f.open(writeFrm(tempDir() / "huge.frm", s)),
              RawFrameFile::OpenResult::NotRawFrameFile);
    EXPECT_EQ(f.open(tempDir() / "missing.frm"), RawFrameFile::OpenResult::NotRawFrameFile);
    // A file shorter than its header.
    std::ofstream(tempDir() / "short.frm") << "TLVRHISP";
    EXPECT_EQ(f.open(tempDir() / "short.frm"), RawFrameFile::OpenResult::NotRawFrameFile);
    EXPECT_FALSE(f.isOpen());
}

TEST(RawFrameFile, FramesOutsideTheFileAreNeverRead) {
    FrmSpec s;
    s.truncateLastBy = 5; // the last frame is cut short
    RawFrameFile f;
    ASSERT_EQ(f.open(writeFrm(tempDir() / "truncated.frm", s)), RawFrameFile::OpenResult::Ok);
    std::vector<std::uint8_t> g;
    EXPECT_TRUE(f.readFrame(1, g));
    EXPECT_FALSE(f.readFrame(2, g));
    EXPECT_TRUE(g.empty());
    EXPECT_FALSE(f.readFrame(3, g));
    EXPECT_FALSE(f.readFrame(1000000000, g));
    EXPECT_FALSE(f.readFrame(-1, g));
}

TEST(RawFrameFile, OnlyRegularFilesAreOpenedAndAFifoIsNeitherReadNorWaitedFor) {
    FrmSpec s;
    const auto regular = writeFrm(tempDir() / "regular.frm", s);
    const auto link = tempDir() / "link.frm";
    std::filesystem::remove(link);
    std::filesystem::create_symlink(regular, link);
    RawFrameFile f;
    EXPECT_EQ(f.open(link), RawFrameFile::OpenResult::Ok); // a link to a regular file is one
    EXPECT_EQ(f.frameCount(), 3);
    EXPECT_EQ(f.open(tempDir()), RawFrameFile::OpenResult::NotRawFrameFile);
    EXPECT_FALSE(f.isOpen());

    // A FIFO with a writer and a whole raw frame file waiting in it: a reader that opened
    // it would neither wait nor fail, it would take the bytes. Both ends are this test's,
    // opened without blocking, so a fault shows as bytes gone, never as a hang.
    const auto fifo = tempDir() / "pipe.frm";
    std::filesystem::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int readEnd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(readEnd, 0);
    const int writeEnd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(writeEnd, 0);
    std::ifstream in(regular, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(::write(writeEnd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));

    EXPECT_EQ(f.open(fifo), RawFrameFile::OpenResult::NotRawFrameFile);
    EXPECT_FALSE(f.isOpen());
    std::vector<char> left(bytes.size() + 1);
    EXPECT_EQ(::read(readEnd, left.data(), left.size()), static_cast<ssize_t>(bytes.size()))
        << "the reader took bytes from the FIFO";
    ::close(writeEnd);
    ::close(readEnd);
}
