// What the settings-file fuzz targets share: a failed promise stops the run, and the files they
// write live in a scratch folder of their own.
#pragma once

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace settingsfuzz {

inline void check(bool condition) {
    if (!condition)
        __builtin_trap();
}

// A folder of this process on tmpfs where there is one: the writers flush every file to disk.
inline std::filesystem::path scratchFolder(const std::string &name) {
    namespace fs = std::filesystem;
    const fs::path base =
        fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path dir = base / (name + "." + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir;
}

// Equal but for ASCII case, as both settings stores compare names.
inline bool sameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

inline std::string readAll(const std::filesystem::path &file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace settingsfuzz
