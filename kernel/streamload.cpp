// Typed loaders over IStream. They pass on byte counts, never the stream's status: a short
// read shows only in the count and leaves the rest of the destination as it was.
#include "kernel/vexcore.h"

#include <cstddef>

using platform::IStream;
using platform::LONG;
using platform::ULONG;

namespace {

LONG readInto(IStream *stream, void *dest, ULONG size) {
    if (!stream || !dest)
        return 0;
    ULONG read = 0;
    stream->Read(dest, size, &read);
    return static_cast<LONG>(read);
}

} // namespace

// The long and float overloads share the 4-byte copy.
LONG S_Load(IStream *stream, LONG *value) {
    return readInto(stream, value, 4);
}
LONG S_Load(IStream *stream, float *value) {
    return readInto(stream, value, 4);
}
LONG S_Load(IStream *stream, double *value) {
    return readInto(stream, value, 8);
}

LONG S_Load(IStream *stream, char *text) {
    if (!stream || !text)
        return 0;
    LONG stored = 0;
    if (readInto(stream, &stored, 4) != 4 || stored <= 0)
        return 0;
    const auto count = static_cast<ULONG>(stored);
    if (count <= vexcore::kStringLoadCapacity)
        return readInto(stream, text, count);

    // Too long for the caller's buffer: keep what fits with a terminator, then step over
    // the rest so the next value is read from its own place.
    const ULONG kept = vexcore::kStringLoadCapacity - 1;
    const LONG copied = readInto(stream, text, kept);
    text[copied] = '\0';
    if (static_cast<ULONG>(copied) == kept)
        stream->Seek(static_cast<platform::LONGLONG>(count - kept), platform::SeekOrigin::Current,
                     nullptr);
    return copied;
}

LONG S_Load(IStream *stream, platform::WINDOWPLACEMENT *placement) {
    if (!stream || !placement)
        return 0;
    // Field after field, each read as a 32-bit value; a short read stops filling there.
    auto *bytes = reinterpret_cast<std::byte *>(placement);
    for (std::size_t i = 0; i < sizeof *placement / 4; ++i)
        readInto(stream, bytes + 4 * i, 4);
    return 0;
}

extern "C" void *VexcoreProcByOrdinal(LONG ordinal) {
    switch (ordinal) {
    case vexcore::kOrdinalLong:
        return reinterpret_cast<void *>(static_cast<vexcore::SLoadLong>(&S_Load));
    case vexcore::kOrdinalFloat:
        return reinterpret_cast<void *>(static_cast<vexcore::SLoadFloat>(&S_Load));
    case vexcore::kOrdinalDouble:
        return reinterpret_cast<void *>(static_cast<vexcore::SLoadDouble>(&S_Load));
    case vexcore::kOrdinalString:
        return reinterpret_cast<void *>(static_cast<vexcore::SLoadString>(&S_Load));
    case vexcore::kOrdinalPlacement:
        return reinterpret_cast<void *>(static_cast<vexcore::SLoadPlacement>(&S_Load));
    default:
        return nullptr;
    }
}
