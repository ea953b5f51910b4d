// Number text in and out: parsing never reads past the terminator, and formatting what was
// parsed stays inside the 31-byte contract.
#include "kernel/vexcore.h"

#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    float value = 1.0f;
    const platform::BOOL ok = LocStrgToFloat(text.c_str(), &value);
    if (!ok && value != 0.0f)
        __builtin_trap(); // a failed parse must leave 0

    char out[31 + 8];
    std::memset(out, 0x5A, sizeof out);
    const int decimals = size ? static_cast<signed char>(data[0]) : -1;
    FloatToLocStrg(value, out, decimals);
    for (std::size_t i = 31; i < sizeof out; ++i)
        if (out[i] != 0x5A)
            __builtin_trap(); // wrote past the 31-byte buffer
    if (std::memchr(out, '\0', 31) == nullptr)
        __builtin_trap();
    return 0;
}
