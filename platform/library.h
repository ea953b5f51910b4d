// Loading libraries by their Windows names, to probe for drivers and graphics support.
// One table maps each Windows name to the libraries that fill its role on this platform;
// a name without counterpart is simply absent. Tests replace the probe.
#pragma once

#include "platform/export.h"

#include <string>
#include <string_view>
#include <vector>

namespace platform {

class PLATFORM_API LibraryProbe {
public:
    virtual ~LibraryProbe();
    // A handle for the library, or null when it cannot be loaded.
    virtual void *open(std::string_view name) = 0;
    virtual void *symbol(void *handle, const char *name) = 0;
    virtual void close(void *handle) = 0;
};

// This platform's libraries for a Windows library name (compared without case), in the
// order they are tried; empty when there is no counterpart. A name that is not in the
// table is taken as a library of this platform and is its own candidate.
PLATFORM_API std::vector<std::string> libraryCandidates(std::string_view windowsName);

// The probe in force: the system's dynamic loader unless a test installed another.
PLATFORM_API LibraryProbe &libraryProbe();
// Installs a probe (not owned); nullptr restores the system probe.
PLATFORM_API void setLibraryProbe(LibraryProbe *probe);

// A library loaded through the probe in force, unloaded when the object goes.
class PLATFORM_API LoadedLibrary {
public:
    explicit LoadedLibrary(std::string_view name);
    ~LoadedLibrary();
    LoadedLibrary(const LoadedLibrary &) = delete;
    LoadedLibrary &operator=(const LoadedLibrary &) = delete;

    explicit operator bool() const { return m_handle != nullptr; }
    void *symbol(const char *name) const;
    template <class F> F function(const char *name) const {
        return reinterpret_cast<F>(symbol(name));
    }
    void unload();

private:
    LibraryProbe *m_probe;
    void *m_handle = nullptr;
};

} // namespace platform
