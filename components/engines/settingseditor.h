// The hook through which the engines show their settings dialogs. The engine core knows
// no widgets; the dialog library installs the editor (installSettingsDialogs).
#pragma once

#include "components/engines/settings.h"

namespace engines {

class SettingsEditor {
public:
    virtual ~SettingsEditor();
    // Edits in place; false when the user cancelled. `local`: one marker's own settings,
    // with its reference choice, rather than the user's defaults.
    virtual bool editPattern(PatternSettings &settings, bool local, LCID lcid) = 0;
    virtual bool editMarker(MarkerSettings &settings, bool local, LCID lcid) = 0;
};

// The editor in force (not owned); null when none is installed.
SettingsEditor *settingsEditor();
void setSettingsEditor(SettingsEditor *editor);

} // namespace engines
