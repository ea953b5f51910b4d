// The control's property page: the zoom (10 to 400 percent) and the "update frame" switch,
// with a few further controls shown disabled. Texts come from Lingmod in the control's
// language; help on the page is reported to the control's host as HelpInfo(1, 0).
#pragma once

#include "platform/wintypes.h"

#include <QDialog>

class QCheckBox;
class QSpinBox;

namespace quivex {

class CVViewCtrl;

class CVViewPropPage : public QDialog {
    Q_OBJECT

public:
    static constexpr platform::LONG kMinimumZoom = 10;
    static constexpr platform::LONG kMaximumZoom = 400;

    CVViewPropPage(CVViewCtrl &control, QWidget *owner);
    ~CVViewPropPage() override;

    // Exchange into the dialog: values from the control, then the language and the range.
    void loadFromControl();
    // Exchange out of the dialog; false (nothing applied) when the zoom is out of range.
    bool applyToControl();

    QSpinBox *zoomBox() const { return m_zoom; }
    QCheckBox *updateFrameBox() const { return m_updateFrame; }

    // OK: applies the values and closes, or keeps the page open when they are refused.
    void accept() override;

protected:
    bool event(QEvent *event) override;

private:
    CVViewCtrl &m_control;
    QSpinBox *m_zoom;
    QCheckBox *m_updateFrame;
    platform::LONG m_language = 0;
};

} // namespace quivex
