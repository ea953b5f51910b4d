// KernelInfo: questions about the machine, answered by selector.
#include "kernel/vexcore.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

using platform::LONG;

namespace {

constexpr LONG kOk = 0;
constexpr LONG kUnknownSelector = -1;
constexpr LONG kLibraryMissing = -1;
constexpr LONG kSecondLibraryMissing = -2;
constexpr LONG kFunctionMissing = -3;

// Selectors 40, 41, 42 and 51 promise about 40 characters; 50 up to 99.
constexpr std::size_t kShortText = 40;
constexpr std::size_t kLongText = 99;

void setResult(LONG *result, LONG value) {
    if (result)
        *result = value;
}

// Copies at most `limit` characters and always terminates.
void setText(char *text, std::string_view value, std::size_t limit = kShortText) {
    if (!text)
        return;
    const std::size_t n = value.size() < limit ? value.size() : limit;
    std::memcpy(text, value.data(), n);
    text[n] = '\0';
}

LONG programVersionPart(LONG selector, LONG *result) {
    if (const auto v = platform::programVersion()) {
        switch (selector) {
        case 1:
            setResult(result, v->minor);
            break;
        case 2:
            setResult(result, v->build);
            break;
        case 3:
            setResult(result, v->revision);
            break;
        }
    }
    return kOk;
}

struct OsEntry {
    platform::OsVersion::Family family;
    platform::DWORD major;
    platform::DWORD minor;
    LONG code;
    std::string_view name;
};

constexpr std::array<OsEntry, 6> kOsTable = {{
    {platform::OsVersion::Family::Windows9x, 4, 0, 950, "Windows 95"},
    {platform::OsVersion::Family::Windows9x, 4, 10, 980, "Windows 98"},
    {platform::OsVersion::Family::Windows9x, 4, 90, 990, "Windows Me"},
    {platform::OsVersion::Family::WindowsNT, 4, 0, 4000, "Windows NT 4"},
    {platform::OsVersion::Family::WindowsNT, 5, 0, 20000, "Windows 2000"},
    {platform::OsVersion::Family::WindowsNT, 5, 1, 30000, "Windows XP"},
}};

// Systems outside the table (every system this platform runs on) answer -1 without text.
LONG operatingSystem(LONG *result, char *text) {
    setResult(result, -1);
    const auto os = platform::osVersion();
    for (const auto &e : kOsTable) {
        if (e.family != os.family || e.major != os.major || e.minor != os.minor)
            continue;
        LONG code = e.code;
        std::string name(e.name);
        if (os.family == platform::OsVersion::Family::WindowsNT) {
            int pack = 0;
            if (std::sscanf(os.servicePack.c_str(), "Service Pack %d", &pack) == 1 && code > 0 &&
                pack > 0 && pack < 100) {
                code += pack;
                name += " SP" + std::to_string(pack);
            }
        }
        setResult(result, code);
        setText(text, name);
        break;
    }
    return kOk;
}

// Every test overrides the one before, so the newest generation present answers.
LONG direct3D(LONG *result, char *text) {
    struct Probe {
        const char *library;
        LONG version;
        const char *label;
    };
    static constexpr Probe kProbes[] = {
        {"D3D8.DLL", 8, "8.0"}, {"dpnhpast.dll", 810, "8.1"}, {"D3D9.DLL", 900, "9.0"}};
    setResult(result, 0);
    setText(text, "");
    for (const auto &p : kProbes) {
        platform::LoadedLibrary lib(p.library);
        if (lib) {
            setResult(result, p.version);
            setText(text, p.label);
        }
    }
    return kOk;
}

// trunc(number x 100 + 0.5) of the leading number, as scanned with the given pattern;
// empty when the text does not start with one.
std::optional<LONG> hundredths(const char *textValue, const char *pattern) {
    float number = 0.0f;
    if (std::sscanf(textValue, pattern, &number) != 1)
        return std::nullopt;
    return static_cast<LONG>(static_cast<double>(number) * 100.0 + 0.5);
}

LONG internetExplorer(LONG *result, char *text) {
    setResult(result, -1);
    const platform::RegistryStore store;
    auto version = store.readString(platform::RegistryHive::LocalMachine,
                                    "Software\\Microsoft\\Internet Explorer", "Version");
    if (version) {
        version->resize(std::min<std::size_t>(version->size(), 99)); // a 100-byte read
        version->resize(std::strlen(version->c_str()));
        // A value without a leading number tells no version: the result stays -1.
        if (const auto v = hundredths(version->c_str(), "%f"))
            setResult(result, *v);
    }
    setText(text, version.value_or(std::string()));
    return kOk;
}

LONG dataTranslation(LONG *result, char *text) {
    setResult(result, 0);
    setText(text, "");
    {
        platform::LoadedLibrary memory("olmem32.dll");
        if (!memory)
            return kLibraryMissing;
    }
    platform::LoadedLibrary api("oldaapi32.dll");
    if (!api)
        return kSecondLibraryMissing;
    using GetVersion = void (*)(char *);
    const auto getVersion = api.function<GetVersion>("olDaGetVersion");
    if (!getVersion)
        return kFunctionMissing;
    char buffer[kLongText + 1] = {};
    getVersion(buffer);
    buffer[kLongText] = '\0'; // a driver that fills all 99 characters leaves no terminator
    setText(text, buffer, kLongText);
    setResult(result, hundredths(buffer, "V%f").value_or(0));
    return kOk;
}

LONG nationalInstruments(LONG *result, char *text) {
    setResult(result, 0);
    setText(text, "");
    platform::LoadedLibrary driver("nidaq32.dll");
    if (!driver)
        return kLibraryMissing;
    using GetVersion = platform::SHORT (*)(platform::ULONG *);
    const auto getVersion = driver.function<GetVersion>("Get_NI_DAQ_Version");
    if (!getVersion)
        return kFunctionMissing;
    platform::ULONG v = 0;
    getVersion(&v);
    // Lowest byte: two binary-coded decimal digits; second byte: the major version.
    const LONG bcd = static_cast<LONG>((v >> 4 & 0xF) * 10 + (v & 0xF));
    const LONG version = bcd + 100 * static_cast<LONG>(v >> 8 & 0xFF);
    setResult(result, version);
    char formatted[32];
    std::snprintf(formatted, sizeof formatted, "%4.2f", version * 0.01);
    setText(text, formatted);
    return kOk;
}

} // namespace

extern "C" LONG KernelInfo(LONG selector, LONG *result, char *text) {
    switch (selector) {
    case 1:
    case 2:
    case 3:
        return programVersionPart(selector, result);
    case 40:
        return operatingSystem(result, text);
    case 41:
        return direct3D(result, text);
    case 42:
        return internetExplorer(result, text);
    case 50:
        return dataTranslation(result, text);
    case 51:
        return nationalInstruments(result, text);
    default:
        return kUnknownSelector;
    }
}
