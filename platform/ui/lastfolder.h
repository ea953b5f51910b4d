// The folder a file dialog starts in when its request names none: the folder the user last
// chose a file from, kept per user in the settings store so that it outlives the program.
#pragma once

#include <QString>

#include <filesystem>

namespace platform::ui {

class LastFolder {
public:
    // The user's settings store (see RegistryStore::defaultRoot).
    LastFolder();
    // A store under `storeRoot` (tests).
    explicit LastFolder(std::filesystem::path storeRoot);

    // `requested` when the request names a folder; else the remembered folder while it still
    // exists; else empty, which leaves the choice to the dialog.
    QString startDirectory(const QString &requested) const;
    // Remembers the folder of a chosen file; false when the store could not keep it.
    bool remember(const QString &chosenFile) const;

    // Where it is kept: HKEY_CURRENT_USER, this key, this string value.
    static constexpr const char *kKey = "Software\\Talvor\\Orvane\\FileDialogs";
    static constexpr const char *kValue = "LastFolder";

private:
    std::filesystem::path m_storeRoot;
};

} // namespace platform::ui
