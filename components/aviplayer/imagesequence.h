// Numbered picture files named by a printf-style pattern ("img%04d.bmp", "img%d.jpg").
// The numbering may start anywhere: the first existing number is found in the folder and
// the sequence runs over the consecutive numbers from it; a gap ends it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace aviplayer {

class ImageSequence {
public:
    // True when `path` holds exactly one integer conversion (%d, %Nd, %0Nd); "%%" is a
    // literal percent sign.
    static bool isPattern(const std::string &path);
    // The file name for `number`, or nullopt when `path` is no pattern.
    static std::optional<std::string> fileName(const std::string &pattern, long long number);

    // Lists the sequence; empty when no file matches.
    static ImageSequence list(const std::string &pattern);

    bool empty() const { return m_files.empty(); }
    int count() const { return static_cast<int>(m_files.size()); }
    long long firstNumber() const { return m_first; }
    const std::string &file(int i) const { return m_files[static_cast<std::size_t>(i)]; }

private:
    long long m_first = 0;
    std::vector<std::string> m_files;
};

} // namespace aviplayer
