#include "testmedia.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace testmedia {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "aviplayer-XXXXXX").string();
    if (mkdtemp(pattern.data()))
        m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!m_path.empty())
        std::filesystem::remove_all(m_path, ec);
}

std::string quote(const std::string &text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

bool ffmpeg(const std::string &arguments) {
    const std::string command =
        "ffmpeg -nostdin -hide_banner -loglevel error -y " + arguments + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

std::vector<std::string> framemd5(const std::string &file, const std::string &inputOptions) {
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error " + inputOptions +
                                " -i " + quote(file) +
                                " -map 0:v:0 -fps_mode passthrough -f framemd5 - 2>/dev/null";
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

bool makeClip(const std::string &file, const std::string &codecOptions, int frames,
              const std::string &size, int rate) {
    return ffmpeg("-f lavfi -i testsrc2=size=" + size + ":rate=" + std::to_string(rate) +
                  " -frames:v " + std::to_string(frames) + " " + codecOptions + " " + quote(file));
}

} // namespace testmedia
