#include "components/aviplayer/openmode.h"

namespace aviplayer {

std::optional<OpenMode> OpenMode::parse(std::int32_t value) {
    OpenMode mode;
    mode.layout = value & 0xFF;
    if (mode.layout > TALVORAVIMODE_JVC9X00_200)
        return std::nullopt;
    const int rotation =
        value & (TALVORAVIMODE_ROTATE_90 | TALVORAVIMODE_ROTATE_180 | TALVORAVIMODE_ROTATE_270);
    switch (rotation) {
    case 0:
        mode.rotation = 0;
        break;
    case TALVORAVIMODE_ROTATE_90:
        mode.rotation = 90;
        break;
    case TALVORAVIMODE_ROTATE_180:
        mode.rotation = 180;
        break;
    case TALVORAVIMODE_ROTATE_270:
        mode.rotation = 270;
        break;
    default:
        return std::nullopt;
    }
    mode.flip = (value & TALVORAVIMODE_HORIZONTAL_FLIP) != 0;
    return mode;
}

} // namespace aviplayer
