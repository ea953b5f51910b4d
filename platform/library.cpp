#include "platform/library.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <dlfcn.h>
#include <filesystem>
#include <span>

namespace platform {

namespace {

struct Mapping {
    std::string_view windowsName;
    std::span<const std::string_view> candidates;
};

// Direct3D 8 maps to the fixed-function OpenGL libraries; the 8.1 helper and Direct3D 9
// map to the EGL/Vulkan stack that a current desktop uses, so a working graphics stack
// answers as the newest generation.
constexpr std::array<std::string_view, 2> kD3D8 = {"libGL.so.1", "libOpenGL.so.0"};
constexpr std::array<std::string_view, 1> kD3D81 = {"libEGL.so.1"};
constexpr std::array<std::string_view, 2> kD3D9 = {"libvulkan.so.1", "libEGL.so.1"};
// National Instruments ships NI-DAQmx for Linux; Data Translation has no Linux driver
// library, so its two names are absent.
constexpr std::array<std::string_view, 2> kNiDaq = {"libnidaqmx.so.1", "libnidaqmx.so"};
constexpr std::span<const std::string_view> kAbsent{};

constexpr std::array<Mapping, 6> kTable = {{
    {"d3d8.dll", kD3D8},
    {"dpnhpast.dll", kD3D81},
    {"d3d9.dll", kD3D9},
    {"olmem32.dll", kAbsent},
    {"oldaapi32.dll", kAbsent},
    {"nidaq32.dll", kNiDaq},
}};

// The kernel library is part of the product: it lies beside the program once installed, and
// in the kernel folder next to the program's folder in a build tree.
constexpr std::string_view kKernelName = "vexcore.dll";
constexpr std::string_view kKernelFile = "libvexcore.so";

std::string executableDir() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

class SystemProbe final : public LibraryProbe {
public:
    void *open(std::string_view name) override {
        for (const auto &candidate : libraryCandidates(name))
            if (void *h = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL))
                return h;
        return nullptr;
    }
    void *symbol(void *handle, const char *name) override {
        return handle ? ::dlsym(handle, name) : nullptr;
    }
    void close(void *handle) override {
        if (handle)
            ::dlclose(handle);
    }
};

SystemProbe &systemProbe() {
    static SystemProbe probe;
    return probe;
}

std::atomic<LibraryProbe *> g_probe{nullptr};

} // namespace

LibraryProbe::~LibraryProbe() = default;

std::vector<std::string> libraryCandidates(std::string_view windowsName) {
    if (sameName(windowsName, kKernelName)) {
        std::vector<std::string> candidates;
        if (const std::string dir = executableDir(); !dir.empty()) {
            candidates.push_back(dir + "/" + std::string(kKernelFile));
            candidates.push_back(dir + "/../kernel/" + std::string(kKernelFile));
        }
        candidates.emplace_back(kKernelFile);
        return candidates;
    }
    for (const auto &m : kTable)
        if (sameName(m.windowsName, windowsName))
            return {m.candidates.begin(), m.candidates.end()};
    if (windowsName.empty())
        return {};
    return {std::string(windowsName)};
}

LibraryProbe &libraryProbe() {
    LibraryProbe *p = g_probe.load();
    return p ? *p : systemProbe();
}

void setLibraryProbe(LibraryProbe *probe) {
    g_probe.store(probe);
}

LoadedLibrary::LoadedLibrary(std::string_view name) : m_probe(&libraryProbe()) {
    m_handle = m_probe->open(name);
}

LoadedLibrary::~LoadedLibrary() {
    unload();
}

void *LoadedLibrary::symbol(const char *name) const {
    return m_handle ? m_probe->symbol(m_handle, name) : nullptr;
}

void LoadedLibrary::unload() {
    if (m_handle)
        m_probe->close(m_handle);
    m_handle = nullptr;
}

} // namespace platform
