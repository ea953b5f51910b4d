#include "testmedia.h"

#include "tests/support/clips.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace testmedia {

std::vector<std::string> framemd5(const std::string &file, const std::string &inputOptions) {
    const std::string command =
        testsupport::ffmpegCommand(inputOptions + " -i " + testsupport::shellQuote(file) +
                                   " -map 0:v:0 -fps_mode passthrough -f framemd5 - 2>/dev/null");
    std::unique_ptr<FILE, int (*)(FILE *)> pipe(popen(command.c_str(), "r"), pclose);
    std::vector<std::string> out;
    if (!pipe)
        return out;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe.get())) {
        std::string text(line);
        if (text.empty() || text[0] == '#')
            continue;
        const auto comma = text.rfind(',');
        if (comma == std::string::npos)
            continue;
        std::string md5 = text.substr(comma + 1);
        md5.erase(0, md5.find_first_not_of(' '));
        md5.erase(md5.find_last_not_of(" \r\n") + 1);
        out.push_back(md5);
    }
    return out;
}

bool returnsWithoutBlockingOn(const std::string &fifo, const std::function<void()> &call) {
    std::packaged_task<void()> task(call);
    std::future<void> done = task.get_future();
    std::thread thread(std::move(task));
    const bool unaided = done.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        // Only reached when the call blocked: give the reader a writer that goes away.
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
    thread.join();
    return unaided;
}

bool writeY4m(const std::string &file, int width, int height, int frames, const std::string &chroma,
              char interlace, const LumaFn &luma) {
    // Chroma planes round odd sizes up, as FFmpeg's packed frame sizes do.
    int chromaWidth = 0, chromaHeight = 0;
    if (chroma == "420jpeg") {
        chromaWidth = (width + 1) / 2;
        chromaHeight = (height + 1) / 2;
    } else if (chroma == "422") {
        chromaWidth = (width + 1) / 2;
        chromaHeight = height;
    } else if (chroma == "444") {
        chromaWidth = width;
        chromaHeight = height;
    } else if (chroma != "mono") {
        return false;
    }
    std::ofstream out(file, std::ios::binary);
    out << "YUV4MPEG2 W" << width << " H" << height << " F25:1 I" << interlace << " A1:1 C"
        << chroma << "\n";
    std::vector<char> plane(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const std::vector<char> grey(2 * static_cast<std::size_t>(chromaWidth) *
                                     static_cast<std::size_t>(chromaHeight),
                                 static_cast<char>(128));
    for (int n = 0; n < frames; ++n) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                plane[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)] = static_cast<char>(luma(n, x, y));
        out << "FRAME\n";
        out.write(plane.data(), static_cast<std::streamsize>(plane.size()));
        out.write(grey.data(), static_cast<std::streamsize>(grey.size()));
    }
    return static_cast<bool>(out);
}

} // namespace testmedia
