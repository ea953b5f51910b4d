// The typed loaders on arbitrary stream contents: no read past the stream, no write past the
// 256-byte text buffer, and every call reports at most what it asked for.
#include "kernel/vexcore.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::vector<std::byte> bytes(size);
    if (size)
        std::memcpy(bytes.data(), data, size);
    auto stream = platform::createMemoryStream(std::move(bytes));

    // The first byte chooses the order of loaders; the rest is the stored data.
    const std::uint8_t plan = size ? data[0] : 0;
    for (int step = 0; step < 8; ++step) {
        switch ((plan >> (step % 4 * 2)) & 3) {
        case 0: {
            platform::LONG v = 0;
            if (S_Load(stream.get(), &v) > 4)
                __builtin_trap();
            break;
        }
        case 1: {
            double v = 0;
            if (S_Load(stream.get(), &v) > 8)
                __builtin_trap();
            break;
        }
        case 2: {
            std::vector<char> text(vexcore::kStringLoadCapacity); // exact size: ASan guards it
            if (S_Load(stream.get(), text.data()) > 256)
                __builtin_trap();
            break;
        }
        default: {
            platform::WINDOWPLACEMENT wp{};
            if (S_Load(stream.get(), &wp) != 0)
                __builtin_trap();
        }
        }
    }
    return 0;
}
