// The open mode (`nAVIMode`) of the player: which layout turns a file's frames into the
// delivered ones, and their rotation and flip. Plain values, so that hosts can name the
// modes without seeing how the player decodes.
#pragma once

#include <cstdint>
#include <optional>

namespace aviplayer {

// The values of the open mode; a layout value plus rotation and flip bits.
enum TalvorAVIMode : std::int32_t {
    TALVORAVIMODE_NORMAL = 0,
    TALVORAVIMODE_FIELDS = 1,
    TALVORAVIMODE_PRAXIM100 = 2,
    TALVORAVIMODE_JVC9X00 = 3,
    TALVORAVIMODE_JVC9X00_VERT = 4,
    TALVORAVIMODE_JVC9X00_200 = 5,
    TALVORAVIMODE_ROTATE_90 = 256,
    TALVORAVIMODE_ROTATE_180 = 512,
    TALVORAVIMODE_ROTATE_270 = 1024,
    TALVORAVIMODE_HORIZONTAL_FLIP = 2048,
};

// Hosts add this bit to every open; the player accepts it and gives it no meaning.
inline constexpr std::int32_t kHostModeBit = 0x20000;

struct OpenMode {
    int layout = TALVORAVIMODE_NORMAL; // 0..5
    int rotation = 0;                  // clockwise degrees: 0, 90, 180, 270
    bool flip = false;

    // Nullopt for an undefined layout value or more than one rotation bit. Bits above the
    // flip bit are the host's and ignored.
    static std::optional<OpenMode> parse(std::int32_t value);
};

} // namespace aviplayer
