// Colour values as the interfaces carry them (COLORREF, 0x00BBGGRR) and Qt colours, both ways.
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

// The way back: the colour's red, green and blue; alpha is dropped.
inline COLORREF refFromColor(const QColor &color) {
    return static_cast<COLORREF>(color.red()) | (static_cast<COLORREF>(color.green()) << 8) |
           (static_cast<COLORREF>(color.blue()) << 16);
}

} // namespace platform
