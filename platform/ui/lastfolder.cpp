#include "platform/ui/lastfolder.h"

#include "platform/registry.h"

#include <QFileInfo>

namespace platform::ui {

LastFolder::LastFolder() : m_storeRoot(RegistryStore::defaultRoot()) {}

LastFolder::LastFolder(std::filesystem::path storeRoot) : m_storeRoot(std::move(storeRoot)) {}

QString LastFolder::startDirectory(const QString &requested) const {
    if (!requested.isEmpty())
        return requested;
    const auto stored =
        RegistryStore(m_storeRoot).readString(RegistryHive::CurrentUser, kKey, kValue);
    if (!stored || stored->empty())
        return {};
    const QString folder = QString::fromStdString(*stored);
    // A folder removed or unmounted since would leave the dialog somewhere arbitrary.
    return QFileInfo(folder).isDir() ? folder : QString();
}

bool LastFolder::remember(const QString &chosenFile) const {
    if (chosenFile.isEmpty())
        return false;
    const QString folder = QFileInfo(chosenFile).absolutePath();
    return RegistryStore(m_storeRoot)
        .writeString(RegistryHive::CurrentUser, kKey, kValue, folder.toStdString());
}

} // namespace platform::ui
