// Whether a name is a file the player may open: FFmpeg opens a FIFO or a device by name and
// blocks on it (a FIFO nobody writes to) or reads it without end.
#pragma once

#include <string>

namespace aviplayer {

// True for a regular file, also reached through symbolic links.
bool isRegularFile(const std::string &path);

} // namespace aviplayer
