#include "platform/filelock.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace fs = std::filesystem;

namespace {

// The file a name stands for, symbolic links followed to a target that may not exist yet, so
// that a rewrite replaces the target and the link stays. A loop of links is left as it is;
// opening it then fails with ELOOP.
fs::path resolveLinks(const fs::path &file) {
    fs::path p = file;
    for (int depth = 0; depth < 40; ++depth) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(p, ec)))
            return p;
        const fs::path target = fs::read_symlink(p, ec);
        if (ec)
            return p;
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    return p;
}

bool lockWaiting(int fd, int operation) {
    while (::flock(fd, operation) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

bool readAll(int fd, std::string &out) {
    out.clear();
    char buffer[16384];
    off_t offset = 0;
    while (true) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out.append(buffer, static_cast<std::size_t>(n));
        offset += n;
    }
}

bool writeAll(int fd, std::string_view text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n =
            ::pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Opens a regular file only. O_NONBLOCK keeps the open of a FIFO (which would wait for a
// writer) or of a device from ever blocking; the descriptor of a regular file is then
// switched back to blocking, which is all it ever is for regular files anyway.
int openRegular(const fs::path &file, int flags, int &error) {
    const int fd = ::open(file.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace

std::optional<std::string> readSettingsFile(const fs::path &file) {
    int error = 0;
    const int fd = openRegular(file, O_RDONLY, error);
    if (fd < 0)
        return std::nullopt;
    // Shared with other readers, excluded by a writer (who may be rewriting in place). A file
    // system without locks is still read.
    lockWaiting(fd, LOCK_SH);
    std::string content;
    const bool ok = readAll(fd, content);
    ::close(fd); // releases the lock
    if (!ok)
        return std::nullopt;
    return content;
}

FileLock::FileLock(const fs::path &file, bool create) {
    // Another writer may replace the file by a rename while we wait for the lock; the lock
    // then guards a file no name points at any more, so we look again. Each retry means
    // another writer finished, so the loop ends; the bound is against a name that keeps
    // being swapped from outside.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        m_target = resolveLinks(file);
        // Never even open a FIFO or device for writing (opening may have side effects).
        struct stat st {};
        if (::stat(m_target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
            m_error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
            return;
        }
        const int fd = openRegular(m_target, O_RDWR | (create ? O_CREAT : 0), m_error);
        if (fd < 0)
            return;
        if (!lockWaiting(fd, LOCK_EX)) {
            m_error = errno; // no locks here: writing unlocked could lose another's change
            ::close(fd);
            return;
        }
        struct stat locked {
        }, named{};
        if (::fstat(fd, &locked) == 0 && ::stat(file.c_str(), &named) == 0 &&
            locked.st_dev == named.st_dev && locked.st_ino == named.st_ino) {
            if (!readAll(fd, m_content)) {
                m_error = errno;
                ::close(fd);
                return;
            }
            m_fd = fd;
            return;
        }
        ::close(fd);
    }
    m_error = EAGAIN;
}

FileLock::~FileLock() {
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
}

bool FileLock::replace(std::string_view text) {
    if (m_fd < 0)
        return false;
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return false;
    // A second hard link would be split off by a rename; the file keeps it in place. The
    // file is rewritten in place only where no rename could start: when the new content
    // could not be written beside it (a full disk, a size limit), writing it over the old
    // would fail the same way half done, and the old content is kept instead.
    const Rename renamed = st.st_nlink == 1 ? replaceByRename(text) : Rename::Impossible;
    const bool ok =
        renamed == Rename::Done || (renamed == Rename::Impossible && rewriteInPlace(text));
    ::close(m_fd); // the lock's work is done; a second replace finds nothing to write
    m_fd = -1;
    return ok;
}

// A crash at any moment leaves either the old or the new file under the name.
FileLock::Rename FileLock::replaceByRename(std::string_view text) {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return Rename::Failed;
    std::string temp = m_target.string() + ".tmp~XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return Rename::Impossible; // a read-only folder: rewrite in place
    struct stat made {};
    bool ok = ::fstat(fd, &made) == 0;
    // The file keeps its owner; where we cannot give it (someone else's file in a folder we
    // may write), it is rewritten in place instead, which keeps owner and mode as they are.
    if (ok && (made.st_uid != st.st_uid || made.st_gid != st.st_gid))
        ok = ::fchown(fd, st.st_uid, st.st_gid) == 0;
    ok = ok && ::fchmod(fd, st.st_mode & 07777) == 0;
    if (!ok) {
        ::close(fd);
        ::unlink(temp.c_str());
        return Rename::Impossible;
    }
    // Flushed before the rename, so that even a power loss never shows an empty new file.
    ok = writeAll(fd, text) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), m_target.c_str()) == 0;
    if (!ok)
        ::unlink(temp.c_str());
    return ok ? Rename::Done : Rename::Failed;
}

// The fallback where no rename is possible. Only writers that hold the lock and readers that
// wait for it touch the file meanwhile, so no one sees it half done; a crash in the middle
// can still leave it so, which is why the rename is preferred.
bool FileLock::rewriteInPlace(std::string_view text) {
    return writeAll(m_fd, text) && ::ftruncate(m_fd, static_cast<off_t>(text.size())) == 0 &&
           ::fsync(m_fd) == 0;
}

} // namespace platform
