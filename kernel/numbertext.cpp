// Number text in either decimal separator in, the user's separator out.
#include "kernel/vexcore.h"
#include "platform/locale.h"
#include "platform/missingvalue.h"
#include "platform/registry.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

using platform::BOOL;
using platform::LONG;

namespace {

// An exponent saturates here: from any finite start value, this many steps of x10 or
// x0.1 already reach infinity or zero in extended precision, so the result is unchanged,
// while a text like "1e999999999" can no longer stall the caller for seconds.
constexpr int kExponentLimit = 20000;

// Beyond this many decimals a float's exact expansion has ended, so the first 30 characters
// no longer change; larger requests are clamped to keep the formatting bounded.
constexpr int kMaxDecimals = 200;

char decimalSeparator() {
    static char separator = [] {
        std::string sep = platform::userDecimalSeparator();
        char c = sep.empty() ? '.' : sep.front();
        // The per-user override, read with up to 10 bytes as the registry value allows.
        const platform::RegistryStore store;
        if (auto value = store.readString(platform::RegistryHive::CurrentUser, "Software\\Talvor",
                                          "DecimalSeparator")) {
            // An empty value would turn the text's end marker into the separator.
            if (!value->empty() && value->front() != '\0')
                c = value->front();
        }
        return c;
    }();
    return separator;
}

} // namespace

extern "C" BOOL LocStrgToFloat(const char *text, float *result) {
    if (!result)
        return 0;
    *result = 0.0f;
    if (!text)
        return 0;

    const char *p = text;
    long double sign = 1.0L;
    while (*p == ' ')
        ++p;
    if (*p == '-') {
        sign = -1.0L;
        ++p;
    }
    while (*p == ' ')
        ++p;
    if (*p == '\0')
        return 0;

    long double mantissa = 0.0L;
    long double divisor = sign;
    while (*p >= '0' && *p <= '9')
        mantissa = mantissa * 10.0L + (*p++ - '0');
    if (*p == ',' || *p == '.') {
        ++p;
        while (*p >= '0' && *p <= '9') {
            mantissa = mantissa * 10.0L + (*p++ - '0');
            divisor *= 10.0L;
        }
    }

    int exponent = 0;
    bool negativeExponent = false;
    if (*p == 'e' || *p == 'E') {
        ++p;
        if (*p == '+')
            ++p;
        else if (*p == '-') {
            negativeExponent = true;
            ++p;
        }
        while (*p >= '0' && *p <= '9') {
            if (exponent < kExponentLimit)
                exponent = exponent * 10 + (*p - '0');
            ++p;
        }
        if (exponent > kExponentLimit)
            exponent = kExponentLimit;
    }

    while (*p == ' ')
        ++p;
    if (*p != '\0')
        return 0;

    long double value = mantissa / divisor;
    // The negative step is the single-precision 0.1, applied in extended precision: this
    // is why 2e-2 gives 0.0200000014 and not the float nearest 0.02.
    const long double tenth = static_cast<long double>(0.1f);
    for (int i = 0; i < exponent; ++i)
        value *= negativeExponent ? tenth : 10.0L;
    *result = static_cast<float>(value);
    return 1;
}

extern "C" void FloatToLocStrg(float value, char *buffer, LONG decimals) {
    if (!buffer)
        return;
    buffer[0] = '\0';
    // A missing value is written as nothing.
    if (std::isnan(value) || platform::isMissing(value))
        return;

    const bool automatic = decimals < 0;
    int precision = decimals > kMaxDecimals ? kMaxDecimals : decimals;
    if (automatic) {
        const float magnitude = std::fabs(value);
        precision = magnitude > 1.0f ? 3 : magnitude > 0.01f ? 4 : magnitude > 0.0001f ? 5 : 6;
    }

    // Formatting may need far more than 30 characters (large values, many decimals); the
    // contract is 30 characters and a terminator within 31 bytes.
    char wide[512];
    const int n = std::snprintf(wide, sizeof wide, "%6.*f", precision, static_cast<double>(value));
    if (n < 0)
        return;
    std::strncpy(buffer, wide, 30);
    buffer[30] = '\0';

    const char separator = decimalSeparator();
    char *point = std::strchr(buffer, '.');
    if (point)
        *point = separator;

    // Trailing zeros are decimals only when the separator made it into the cut text;
    // a cut integer part keeps its digits.
    if (automatic && point) {
        std::size_t len = std::strlen(buffer);
        while (len > 0 && buffer[len - 1] == '0')
            buffer[--len] = '\0';
        if (len > 0 && buffer[len - 1] == separator)
            buffer[--len] = '\0';
    }
}
