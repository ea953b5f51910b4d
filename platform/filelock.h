// An exclusive lock beside a file, held for one read-modify-write of it. Settings files are
// rewritten whole; without the lock two writers (two threads, or two running programs) each
// start from the same old content and the later rename silently drops the other's change.
#pragma once

#include "platform/export.h"

#include <filesystem>

namespace platform {

class PLATFORM_API FileLock {
public:
    // Locks `<file>.lock`, waiting for another holder, and creates the lock file when
    // missing. When none can be made (a missing or read-only folder) nothing is locked and
    // the caller proceeds as before.
    explicit FileLock(const std::filesystem::path &file);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    bool locked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace platform
