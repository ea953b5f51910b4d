#include "components/aviplayer/regularfile.h"

#include <filesystem>
#include <system_error>

namespace aviplayer {

bool isRegularFile(const std::string &path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

} // namespace aviplayer
