#include "tests/support/clips.h"

#include <cstdlib>
#include <locale>
#include <sstream>

namespace testsupport {

namespace {

// Shortest form: 25 as "25", 29.97 as "29.97".
std::string number(double value) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << value;
    return out.str();
}

} // namespace

std::string shellQuote(const std::string &text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string ffmpegCommand(const std::string &arguments) {
    return "ffmpeg -nostdin -hide_banner -loglevel error -y " + arguments;
}

bool ffmpeg(const std::string &arguments) {
    return std::system(ffmpegCommand(arguments).c_str()) == 0;
}

bool makeClip(const std::string &file, const std::string &outputOptions, int frames,
              const std::string &size, double rate, const std::string &source) {
    return ffmpeg("-f lavfi -i " + source + "=size=" + size + ":rate=" + number(rate) +
                  " -frames:v " + std::to_string(frames) + " " + outputOptions + " " +
                  shellQuote(file));
}

RawClip::RawClip(const std::string &file, const std::string &pixelFormat, int width, int height,
                 double rate, const std::string &outputOptions) {
    const std::string command =
        ffmpegCommand("-f rawvideo -pix_fmt " + pixelFormat + " -s " + std::to_string(width) + "x" +
                      std::to_string(height) + " -r " + number(rate) + " -i - " + outputOptions +
                      " " + shellQuote(file));
    m_pipe = popen(command.c_str(), "w");
    m_ok = m_pipe != nullptr;
}

RawClip::~RawClip() {
    finish();
}

bool RawClip::write(const void *data, std::size_t size) {
    m_ok = m_ok && m_pipe && std::fwrite(data, 1, size, m_pipe) == size;
    return m_ok;
}

bool RawClip::finish() {
    if (m_pipe) {
        m_ok = pclose(m_pipe) == 0 && m_ok;
        m_pipe = nullptr;
    }
    return m_ok;
}

} // namespace testsupport
