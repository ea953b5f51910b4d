// The settings store that stands in for the registry: keys are backslash-separated
// paths compared without regard to case, each holding named string and 32-bit values.
// Every hive is one text file under the store's root (see docs/platform.md).
#pragma once

#include "platform/export.h"
#include "platform/wintypes.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class RegistryHive { ClassesRoot, CurrentUser, LocalMachine };

class PLATFORM_API RegistryStore {
public:
    // $ORVANE_REGISTRY_ROOT when set (tests), else $XDG_CONFIG_HOME/orvane/registry,
    // else ~/.config/orvane/registry.
    static std::filesystem::path defaultRoot();

    RegistryStore() : RegistryStore(defaultRoot()) {}
    explicit RegistryStore(std::filesystem::path root);

    const std::filesystem::path &root() const { return m_root; }
    std::filesystem::path hiveFile(RegistryHive hive) const;

    // An empty value name is the key's default value.
    std::optional<std::string> readString(RegistryHive hive, std::string_view key,
                                          std::string_view name) const;
    std::optional<DWORD> readDword(RegistryHive hive, std::string_view key,
                                   std::string_view name) const;
    bool keyExists(RegistryHive hive, std::string_view key) const;
    // Names of the direct subkeys, in the order they were created.
    std::vector<std::string> subkeys(RegistryHive hive, std::string_view key) const;

    // Writers create missing keys (with their parents) and report false when the hive file
    // cannot be written (or locked against other writers) and for a key path holding a line
    // break, which could not be read back.
    bool writeString(RegistryHive hive, std::string_view key, std::string_view name,
                     std::string_view value);
    bool writeDword(RegistryHive hive, std::string_view key, std::string_view name, DWORD value);
    bool createKey(RegistryHive hive, std::string_view key);
    bool deleteValue(RegistryHive hive, std::string_view key, std::string_view name);
    // Removes the key with all its subkeys; false when it did not exist.
    bool deleteKey(RegistryHive hive, std::string_view key);

private:
    std::filesystem::path m_root;
};

} // namespace platform
