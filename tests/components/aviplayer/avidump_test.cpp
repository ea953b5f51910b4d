// The avidump tool: lines comparable with ffmpeg's framemd5, in the order asked for, and a
// one-line message with a non-zero status for what it cannot open.
#include "testmedia.h"
#include "tests/support/clips.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

struct ToolRun {
    int status = -1;
    std::vector<std::string> lines;
};

ToolRun avidump(const std::string &arguments, const std::string &prefix = {}) {
    ToolRun run;
    const std::string command = prefix + std::string(AVIDUMP) + " " + arguments + " 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string text(line);
        text.erase(text.find_last_not_of("\r\n") + 1);
        run.lines.push_back(text);
    }
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

std::string lastField(const std::string &line) {
    return line.substr(line.rfind(',') + 1);
}

TEST(Avidump, NativeLinesFollowTheFrameListAndMatchFfmpeg) {
    testsupport::TempDir dir;
    const std::string file = dir.path("clip.mp4");
    ASSERT_TRUE(testsupport::makeClip(file, "-c:v libx264 -bf 2 -g 5 -pix_fmt yuv420p", 12));
    const auto expected = testmedia::framemd5(file);
    ASSERT_EQ(expected.size(), 12u);

    const ToolRun listed = avidump(testsupport::shellQuote(file) + " --native --frames 7,3,0,11");
    ASSERT_EQ(listed.status, 0);
    ASSERT_EQ(listed.lines.size(), 4u);
    const int order[] = {7, 3, 0, 11};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(listed.lines[i].substr(0, listed.lines[i].find(',')), std::to_string(order[i]));
        EXPECT_EQ(lastField(listed.lines[i]), expected[static_cast<std::size_t>(order[i])]);
    }

    const ToolRun all = avidump(testsupport::shellQuote(file) + " --native");
    ASSERT_EQ(all.status, 0);
    ASSERT_EQ(all.lines.size(), 12u);
    for (std::size_t n = 0; n < 12; ++n)
        EXPECT_EQ(lastField(all.lines[n]), expected[n]) << n;

    // Display pixels in a mode: twice the lines, each with a 32-hex-digit digest.
    const ToolRun fields =
        avidump(testsupport::shellQuote(file) + " --mode 1 --pix-fmt gray --png 3 " +
                testsupport::shellQuote(dir.path("f.png")));
    ASSERT_EQ(fields.status, 0);
    ASSERT_EQ(fields.lines.size(), 24u);
    EXPECT_EQ(lastField(fields.lines[0]).size(), 32u);
    EXPECT_TRUE(std::ifstream(dir.path("f.png")).good());
}

TEST(Avidump, FailsWithOneLineOnBadInput) {
    testsupport::TempDir dir;
    const ToolRun missing = avidump(testsupport::shellQuote(dir.path("missing.avi")));
    EXPECT_EQ(missing.status, 1);
    ASSERT_EQ(missing.lines.size(), 1u);
    EXPECT_NE(missing.lines[0].find("cannot open"), std::string::npos);

    EXPECT_EQ(avidump("").status, 2);
    EXPECT_EQ(avidump(testsupport::shellQuote(dir.path("x.avi")) + " --frames 1,,2").status, 2);
    EXPECT_EQ(avidump(testsupport::shellQuote(dir.path("x.avi")) + " --pix-fmt yuv").status, 2);

    const std::string file = dir.path("clip.avi");
    ASSERT_TRUE(testsupport::makeClip(file, "-c:v mjpeg", 3));
    const ToolRun outside = avidump(testsupport::shellQuote(file) + " --frames 1,5");
    EXPECT_EQ(outside.status, 1);
    EXPECT_EQ(outside.lines.size(), 2u); // one frame line and one message
    EXPECT_EQ(avidump(testsupport::shellQuote(file) + " --native --mode 256").status, 2);
}

// Only regular files: a FIFO is refused at once with the usual message (`timeout` turns a
// regression that blocks into status 124 rather than a hang); a link to a clip is followed.
TEST(Avidump, RefusesWhatIsNoRegularFileWithoutBlocking) {
    testsupport::TempDir dir;
    const std::string fifo = dir.path("pipe.avi");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const ToolRun refused = avidump(testsupport::shellQuote(fifo), "timeout 60 ");
    EXPECT_EQ(refused.status, 1);
    ASSERT_EQ(refused.lines.size(), 1u);
    EXPECT_NE(refused.lines[0].find("cannot open"), std::string::npos);
    EXPECT_NE(refused.lines[0].find("not a regular file"), std::string::npos);
    EXPECT_EQ(avidump("/dev/zero", "timeout 60 ").status, 1);

    const std::string file = dir.path("clip.avi");
    ASSERT_TRUE(testsupport::makeClip(file, "-c:v mjpeg", 3));
    std::filesystem::create_symlink(file, dir.path("link.avi"));
    const ToolRun linked = avidump(testsupport::shellQuote(dir.path("link.avi")) + " --native");
    EXPECT_EQ(linked.status, 0);
    EXPECT_EQ(linked.lines.size(), 3u);
}

} // namespace
