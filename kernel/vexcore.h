// Vexcore, the kernel library: system information, locale-aware number text and typed
// stream loaders, as plain exported functions returning 32-bit status codes or byte counts.
#pragma once

#include "platform/stream.h"
#include "platform/wintypes.h"

#define VEXCORE_API __attribute__((visibility("default")))

extern "C" {

// Parses text with either ',' or '.' as the decimal separator. *result is set to 0 first
// and holds the value only when the call returns 1; it returns 0 for text that is no number.
VEXCORE_API platform::BOOL LocStrgToFloat(const char *text, float *result);

// Writes value with the user's decimal separator into buffer (at least 31 bytes).
// decimals < 0 asks for automatic precision with trailing zeros removed.
VEXCORE_API void FloatToLocStrg(float value, char *buffer, platform::LONG decimals);

// Answers a question about the machine by selector; 0 on success, -1 for an unknown
// selector, and further negative codes for missing driver libraries (50, 51).
VEXCORE_API platform::LONG KernelInfo(platform::LONG selector, platform::LONG *result, char *text);

// The S_Load overload registered under an ordinal from 71 to 75, null for others. The
// control binds the loaders this way; cast to the overload's type (see vexcore::SLoadLong...).
VEXCORE_API void *VexcoreProcByOrdinal(platform::LONG ordinal);

} // extern "C"

// Typed stream loaders: each reads one value in the stored little-endian layout and returns
// the byte count read (the window placement overload always returns 0).
VEXCORE_API platform::LONG S_Load(platform::IStream *stream, platform::LONG *value);
VEXCORE_API platform::LONG S_Load(platform::IStream *stream, float *value);
VEXCORE_API platform::LONG S_Load(platform::IStream *stream, double *value);
// The destination holds kStringLoadCapacity bytes. A stored text that fits is copied as
// it stands, without an added zero; a longer one is cut to capacity - 1 bytes and
// terminated, and the rest of it is skipped so the values that follow still load.
VEXCORE_API platform::LONG S_Load(platform::IStream *stream, char *text);
VEXCORE_API platform::LONG S_Load(platform::IStream *stream, platform::WINDOWPLACEMENT *placement);

namespace vexcore {

inline constexpr platform::ULONG kStringLoadCapacity = 256;

// Signatures of the ordinal-bound loaders.
using SLoadLong = platform::LONG (*)(platform::IStream *, platform::LONG *);
using SLoadFloat = platform::LONG (*)(platform::IStream *, float *);
using SLoadDouble = platform::LONG (*)(platform::IStream *, double *);
using SLoadString = platform::LONG (*)(platform::IStream *, char *);
using SLoadPlacement = platform::LONG (*)(platform::IStream *, platform::WINDOWPLACEMENT *);

// Ordinals of the loaders.
inline constexpr platform::LONG kOrdinalLong = 71;
inline constexpr platform::LONG kOrdinalFloat = 72;
inline constexpr platform::LONG kOrdinalDouble = 73;
inline constexpr platform::LONG kOrdinalString = 74;
inline constexpr platform::LONG kOrdinalPlacement = 75;

} // namespace vexcore
