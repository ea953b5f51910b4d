#include "platform/sysinfo.h"

#include <cstdlib>
#include <dlfcn.h>
#include <mutex>
#include <sys/utsname.h>

namespace platform {

namespace {

std::mutex g_sourceMutex;
std::function<OsVersion()> g_source;

OsVersion systemOsVersion() {
    OsVersion v;
    struct utsname u {};
    if (::uname(&u) != 0)
        return v;
    v.name = u.sysname;
    // "6.1.0-18-amd64": major, minor and the patch level as the build number.
    char *end = nullptr;
    v.major = static_cast<DWORD>(std::strtoul(u.release, &end, 10));
    if (end && *end == '.')
        v.minor = static_cast<DWORD>(std::strtoul(end + 1, &end, 10));
    if (end && *end == '.')
        v.build = static_cast<DWORD>(std::strtoul(end + 1, &end, 10));
    return v;
}

} // namespace

std::optional<VersionResource> programVersion() {
    // The executable exports this symbol; a program built elsewhere has no resource.
    void *self = ::dlopen(nullptr, RTLD_NOW);
    if (!self)
        return std::nullopt;
    const auto *res =
        static_cast<const VersionResource *>(::dlsym(self, "orvane_version_resource"));
    ::dlclose(self);
    if (!res)
        return std::nullopt;
    return *res;
}

OsVersion osVersion() {
    std::function<OsVersion()> source;
    {
        std::lock_guard lock(g_sourceMutex);
        source = g_source;
    }
    return source ? source() : systemOsVersion();
}

void setOsVersionSource(std::function<OsVersion()> source) {
    std::lock_guard lock(g_sourceMutex);
    g_source = std::move(source);
}

} // namespace platform
