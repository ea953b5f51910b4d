// What the settings-file fuzz targets share: a failed promise stops the run, and the files they
// write live in a scratch folder of their own.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
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

inline std::string readAll(const std::filesystem::path &file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace settingsfuzz
