#include "components/engines/engines.h"

#include "components/engines/markerengine.h"
#include "components/engines/patternengine.h"
#include "components/engines/settingseditor.h"

#include "platform/classes.h"

#include <atomic>

namespace engines {

void registerClasses() {
    platform::registerClass(CLSID_PatternMatcher, [] {
        return platform::ComPtr<platform::IUnknown>::attach(createPatternMatcher().detach());
    });
    platform::registerClass(CLSID_MarkerTracker, [] {
        return platform::ComPtr<platform::IUnknown>::attach(createMarkerTracker().detach());
    });
}

SettingsEditor::~SettingsEditor() = default;

namespace {
std::atomic<SettingsEditor *> g_editor{nullptr};
}

SettingsEditor *settingsEditor() {
    return g_editor.load();
}
void setSettingsEditor(SettingsEditor *editor) {
    g_editor.store(editor);
}

} // namespace engines
