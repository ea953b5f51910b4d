#include "platform/stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Resolves a seek request against the current position and size; false when the
// target lies before the start or does not fit the 64-bit position.
bool resolveSeek(LONGLONG move, SeekOrigin origin, ULONGLONG current, ULONGLONG size,
                 ULONGLONG &target) {
    ULONGLONG base = 0;
    switch (origin) {
    case SeekOrigin::Set:
        base = 0;
        break;
    case SeekOrigin::Current:
        base = current;
        break;
    case SeekOrigin::End:
        base = size;
        break;
    default:
        return false;
    }
    if (move < 0) {
        const auto back = static_cast<ULONGLONG>(-(move + 1)) + 1;
        if (back > base)
            return false;
        target = base - back;
    } else {
        const auto ahead = static_cast<ULONGLONG>(move);
        if (ahead > std::numeric_limits<ULONGLONG>::max() - base)
            return false;
        target = base + ahead;
    }
    return true;
}

class MemoryStream final : public ComObject<IStream> {
public:
    explicit MemoryStream(std::vector<std::byte> bytes) : m_bytes(std::move(bytes)) {}

    HRESULT Read(void *buffer, ULONG count, ULONG *read) override {
        ULONG moved = 0;
        if (m_pos < m_bytes.size()) {
            moved = static_cast<ULONG>(
                std::min<ULONGLONG>(count, static_cast<ULONGLONG>(m_bytes.size()) - m_pos));
            if (moved && !buffer)
                return E_POINTER;
            if (moved)
                std::memcpy(buffer, m_bytes.data() + m_pos, moved);
            m_pos += moved;
        }
        if (read)
            *read = moved;
        return moved == count ? S_OK : S_FALSE;
    }

    HRESULT Write(const void *buffer, ULONG count, ULONG *written) override {
        if (count && !buffer)
            return E_POINTER;
        const ULONGLONG end = m_pos + count;
        if (end > m_bytes.max_size())
            return E_OUTOFMEMORY;
        if (end > m_bytes.size())
            m_bytes.resize(static_cast<std::size_t>(end));
        if (count)
            std::memcpy(m_bytes.data() + m_pos, buffer, count);
        m_pos = end;
        if (written)
            *written = count;
        return S_OK;
    }

    HRESULT Seek(LONGLONG move, SeekOrigin origin, ULONGLONG *newPosition) override {
        ULONGLONG target = 0;
        if (!resolveSeek(move, origin, m_pos, m_bytes.size(), target))
            return STG_E_INVALIDFUNCTION;
        m_pos = target; // seeking past the end is allowed; a later write fills the gap
        if (newPosition)
            *newPosition = m_pos;
        return S_OK;
    }

    HRESULT SetSize(ULONGLONG size) override {
        if (size > m_bytes.max_size())
            return E_OUTOFMEMORY;
        m_bytes.resize(static_cast<std::size_t>(size));
        return S_OK;
    }

    HRESULT Size(ULONGLONG *size) override {
        if (!size)
            return E_POINTER;
        *size = m_bytes.size();
        return S_OK;
    }

    const std::vector<std::byte> &bytes() const { return m_bytes; }

private:
    std::vector<std::byte> m_bytes;
    ULONGLONG m_pos = 0;
};

class FileStream final : public ComObject<IStream> {
public:
    explicit FileStream(int fd) : m_fd(fd) {}
    ~FileStream() override { ::close(m_fd); }

    HRESULT Read(void *buffer, ULONG count, ULONG *read) override {
        ULONG moved = 0;
        auto *out = static_cast<char *>(buffer);
        while (moved < count) {
            const ssize_t n = ::read(m_fd, out + moved, count - moved);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                if (read)
                    *read = moved;
                return STG_E_READFAULT;
            }
            if (n == 0)
                break;
            moved += static_cast<ULONG>(n);
        }
        if (read)
            *read = moved;
        return moved == count ? S_OK : S_FALSE;
    }

    HRESULT Write(const void *buffer, ULONG count, ULONG *written) override {
        ULONG moved = 0;
        const auto *in = static_cast<const char *>(buffer);
        while (moved < count) {
            const ssize_t n = ::write(m_fd, in + moved, count - moved);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                if (written)
                    *written = moved;
                return STG_E_WRITEFAULT;
            }
            moved += static_cast<ULONG>(n);
        }
        if (written)
            *written = moved;
        return S_OK;
    }

    HRESULT Seek(LONGLONG move, SeekOrigin origin, ULONGLONG *newPosition) override {
        ULONGLONG size = 0;
        if (failed(Size(&size)))
            return STG_E_INVALIDFUNCTION;
        const off_t current = ::lseek(m_fd, 0, SEEK_CUR);
        ULONGLONG target = 0;
        if (current < 0 ||
            !resolveSeek(move, origin, static_cast<ULONGLONG>(current), size, target) ||
            target > static_cast<ULONGLONG>(std::numeric_limits<off_t>::max()))
            return STG_E_INVALIDFUNCTION;
        if (::lseek(m_fd, static_cast<off_t>(target), SEEK_SET) < 0)
            return STG_E_INVALIDFUNCTION;
        if (newPosition)
            *newPosition = target;
        return S_OK;
    }

    HRESULT SetSize(ULONGLONG size) override {
        if (size > static_cast<ULONGLONG>(std::numeric_limits<off_t>::max()) ||
            ::ftruncate(m_fd, static_cast<off_t>(size)) != 0)
            return STG_E_WRITEFAULT;
        return S_OK;
    }

    HRESULT Size(ULONGLONG *size) override {
        if (!size)
            return E_POINTER;
        struct stat st {};
        if (::fstat(m_fd, &st) != 0)
            return STG_E_READFAULT;
        *size = static_cast<ULONGLONG>(st.st_size);
        return S_OK;
    }

private:
    int m_fd;
};

} // namespace

ComPtr<IStream> createMemoryStream(std::vector<std::byte> initial) {
    return ComPtr<IStream>::attach(new MemoryStream(std::move(initial)));
}

std::vector<std::byte> memoryStreamBytes(IStream *stream) {
    if (auto *mem = dynamic_cast<MemoryStream *>(stream))
        return mem->bytes();
    return {};
}

ComPtr<IStream> openFileStream(const std::filesystem::path &path, FileMode mode, HRESULT *status) {
    // O_NONBLOCK: opening a FIFO (which waits for a writer) or a device must never block; such
    // files are refused below. Create truncates only once the file is known to be regular.
    int flags = O_CLOEXEC | O_NONBLOCK;
    switch (mode) {
    case FileMode::Read:
        flags |= O_RDONLY;
        break;
    case FileMode::ReadWrite:
        flags |= O_RDWR;
        break;
    case FileMode::Create:
        flags |= O_RDWR | O_CREAT;
        break;
    }
    const auto fail = [status](HRESULT code) {
        if (status)
            *status = code;
        return ComPtr<IStream>{};
    };
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0)
        return fail(errno == ENOENT ? STG_E_FILENOTFOUND : STG_E_ACCESSDENIED);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
        (mode == FileMode::Create && ::ftruncate(fd, 0) != 0)) {
        ::close(fd);
        return fail(STG_E_ACCESSDENIED);
    }
    if (status)
        *status = S_OK;
    return ComPtr<IStream>::attach(new FileStream(fd));
}

} // namespace platform
