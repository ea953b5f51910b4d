// The engines' settings dialogs (pattern matcher and marker tracker), shown through the
// dialog seam, and the editor that installs them into the engines.
#pragma once

#include "components/engines/settings.h"

#include <QDialog>

class QComboBox;
class QSpinBox;

namespace engines {

class PatternSettingsDialog : public QDialog {
public:
    // `local`: one marker's settings, with the choice of reference.
    PatternSettingsDialog(const PatternSettings &settings, bool local, LCID lcid,
                          QWidget *parent = nullptr);
    PatternSettings settings() const;

private:
    PatternSettings m_settings;
    QSpinBox *m_size, *m_range, *m_score, *m_rotation, *m_update, *m_frame = nullptr;
    QComboBox *m_reference = nullptr;
};

class MarkerSettingsDialog : public QDialog {
public:
    MarkerSettingsDialog(const MarkerSettings &settings, bool local, LCID lcid,
                         QWidget *parent = nullptr);
    MarkerSettings settings() const;

private:
    MarkerSettings m_settings;
    QSpinBox *m_range, *m_tolerance;
    QComboBox *m_polarity;
};

// Lets the engines show these dialogs (platform::ui::dialogs().exec); idempotent.
void installSettingsDialogs();

} // namespace engines
