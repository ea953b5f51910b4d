// The user's default locale as Windows would name it: a locale identifier (LCID) and the
// decimal separator, derived from the POSIX locale environment through one table.
#pragma once

#include "platform/export.h"
#include "platform/wintypes.h"

#include <string>
#include <string_view>

namespace platform {

// Locale name as the environment gives it ("de_DE.UTF-8@euro"), from LC_ALL, then
// LC_NUMERIC, then LANG; "C" when none is set.
PLATFORM_API std::string userLocaleName();

// The LCID of a POSIX locale name: the table's entry for language and territory, else
// the language's primary identifier, else 1033 (also for "C" and "POSIX").
PLATFORM_API LCID lcidFromLocaleName(std::string_view name);

PLATFORM_API LCID userDefaultLcid();

// The decimal separator of a locale name: glibc's own when the locale is installed,
// else the table's, else '.'.
PLATFORM_API std::string decimalSeparatorOf(std::string_view localeName);
PLATFORM_API std::string userDecimalSeparator();

} // namespace platform
