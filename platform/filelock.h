// Reading and rewriting settings files (INI files, the settings store's hives) so that
// neither a FIFO nor a concurrent writer can hurt them. Only regular files are opened (a FIFO
// or a device is refused without blocking); a rewrite holds an exclusive lock on the file
// itself for its whole read-modify-write, so two writers (threads, programs, users) never
// start from the same old content and drop each other's change.
#pragma once

#include "platform/export.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The content of a regular file (symbolic links followed), read under a shared lock so that a
// rewrite in place is never seen half done. Nothing when the file is missing, is not a regular
// file, or cannot be read.
PLATFORM_API std::optional<std::string> readSettingsFile(const std::filesystem::path &file);

class PLATFORM_API FileLock {
public:
    // Opens `file` for writing, through symbolic links (a link keeps pointing at its target,
    // and both names share one lock), creating it when missing if `create` is set, and waits
    // for an exclusive lock on it. A file that is no regular file, cannot be opened for
    // writing or cannot be locked is not locked, and the caller must not write it.
    explicit FileLock(const std::filesystem::path &file, bool create = true);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    bool locked() const { return m_fd >= 0; }
    // The errno value of the failure when not locked (ENOENT: missing and `create` unset).
    int error() const { return m_error; }
    // The file's content, read once the lock was held.
    const std::string &content() const { return m_content; }

    // Replaces the whole content: through a temporary file beside the (link's) target and a
    // rename where that folder can take one and the file keeps its owner and links; else in
    // place, still under the lock. Once per lock; false when nothing could be written.
    bool replace(std::string_view text);

private:
    // Done; Impossible where no new file can be made beside the old one with its owner
    // and mode (a read-only folder), so the caller may rewrite in place; Failed once the
    // new content could not be written or renamed, and the old file is untouched.
    enum class Rename { Done, Impossible, Failed };
    Rename replaceByRename(std::string_view text);
    bool rewriteInPlace(std::string_view text);

    int m_fd = -1;
    int m_error = 0;
    std::filesystem::path m_target; // the name that is replaced: symbolic links resolved
    std::string m_content;
};

} // namespace platform
