// Byte streams with the IStream contract: reads and writes report the byte count they
// moved, a short read at the end is not an error, and seeks are relative to an origin.
#pragma once

#include "platform/com.h"

#include <cstddef>
#include <filesystem>
#include <vector>

namespace platform {

enum class SeekOrigin : DWORD { Set = 0, Current = 1, End = 2 };

class IStream : public IUnknown {
public:
    // Reads up to `count` bytes. *read (when given) receives the bytes moved; the result is
    // S_FALSE when the stream ended before `count` bytes, a failure code on an I/O error.
    virtual HRESULT Read(void *buffer, ULONG count, ULONG *read) = 0;
    virtual HRESULT Write(const void *buffer, ULONG count, ULONG *written) = 0;
    virtual HRESULT Seek(LONGLONG move, SeekOrigin origin, ULONGLONG *newPosition) = 0;
    virtual HRESULT SetSize(ULONGLONG size) = 0;
    virtual HRESULT Size(ULONGLONG *size) = 0;

    static constexpr Guid IID = guidOf("{0000000C-0000-0000-C000-000000000046}");
};

// A growable stream in memory, starting at position 0.
PLATFORM_API ComPtr<IStream> createMemoryStream(std::vector<std::byte> initial = {});
// The bytes of a memory stream made by createMemoryStream (empty for other streams).
PLATFORM_API std::vector<std::byte> memoryStreamBytes(IStream *stream);

enum class FileMode { Read, ReadWrite, Create };
// A stream on a regular file; empty when the file cannot be opened or is no regular file (a
// directory, FIFO or device, refused without blocking; *status gets the reason).
PLATFORM_API ComPtr<IStream> openFileStream(const std::filesystem::path &path, FileMode mode,
                                            HRESULT *status = nullptr);

} // namespace platform
