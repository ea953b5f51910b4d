// The product family's marker for a value that is not there, in data sets, calibration
// points and number text alike.
#pragma once

namespace platform {

// -1.0E9 (single-precision bit pattern 0xCE6E6B28). Readers compare with <=, so that values
// damaged by arithmetic on the marker still count as missing.
inline constexpr float kMissing = -1.0e9f;
constexpr bool isMissing(double value) {
    return value <= kMissing;
}

} // namespace platform
