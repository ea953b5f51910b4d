// Private-profile (INI) files with the semantics Windows callers rely on: section and key
// names trimmed and compared without case, values trimmed and one pair of surrounding quotes
// removed on read, the first occurrence winning, and writes that keep every other line in its
// order (and a leading UTF-8 byte-order mark, which reading skips). Only regular files are
// read or written: a FIFO or device reads as a missing file and is never written.
#pragma once

#include "platform/export.h"
#include "platform/wintypes.h"

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Copies the value of [section] key into buffer (size characters including the terminating
// NUL), or `def` when the file, section or key is missing. A longer value is cut to
// size - 1 characters. Returns the number of characters copied, without the NUL.
PLATFORM_API DWORD getPrivateProfileString(std::string_view section, std::string_view key,
                                           std::string_view def, char *buffer, DWORD size,
                                           const std::string &file);

// The value as a string (no length limit), or nothing when it is absent.
PLATFORM_API std::optional<std::string>
readProfileValue(std::string_view section, std::string_view key, const std::string &file);

// Sets [section] key = value, creating the file and the section where needed; an absent
// value removes the key. Returns false when the file could not be written (or locked against
// other writers), and for names or values that would not read back as written: a line break
// anywhere, "]" in the section, "=" in the key, or a key beginning with "[" or ";".
PLATFORM_API BOOL writePrivateProfileString(std::string_view section, std::string_view key,
                                            std::optional<std::string_view> value,
                                            const std::string &file);

} // namespace platform
