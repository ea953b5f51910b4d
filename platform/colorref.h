// Colour values as the interfaces carry them (COLORREF, 0x00BBGGRR) turned into Qt colours.
// Header-only: the platform library itself does without Qt; the libraries that paint include
// this with their own QtGui.
#pragma once

#include "platform/wintypes.h"

#include <QColor>

namespace platform {

// Red in the low byte, then green, then blue; the high byte is not looked at. Opaque.
inline QColor colorFromRef(COLORREF ref) {
    return QColor(static_cast<int>(ref & 0xFF), static_cast<int>((ref >> 8) & 0xFF),
                  static_cast<int>((ref >> 16) & 0xFF));
}

} // namespace platform
