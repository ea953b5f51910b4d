// What the kernel asks about the machine: the running program's version resource and the
// operating system's version. Both can be replaced in tests.
#pragma once

#include "platform/export.h"
#include "platform/wintypes.h"

#include <functional>
#include <optional>
#include <string>

namespace platform {

// The fixed file version of an executable: major.minor.build.revision.
struct VersionResource {
    WORD major;
    WORD minor;
    WORD build;
    WORD revision;
};

// The version resource of the running executable, if it carries one (our executables get
// it at build time, see cmake/OrvaneTargets.cmake).
PLATFORM_API std::optional<VersionResource> programVersion();

struct OsVersion {
    enum class Family { Windows9x, WindowsNT, Other };
    Family family = Family::Other;
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    std::string servicePack; // "Service Pack 2" on Windows, empty elsewhere
    std::string name;        // the system's own name ("Linux")
};

PLATFORM_API OsVersion osVersion();
// Replaces the query (tests); an empty function restores the real one.
PLATFORM_API void setOsVersionSource(std::function<OsVersion()> source);

} // namespace platform
