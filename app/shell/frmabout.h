// The About box: the product, its version and build, the maker's web and mail links. It
// closes on a click anywhere outside the links, or by itself after a time-out.
#pragma once

#include "platform/wintypes.h"

#include <QDialog>

#include <functional>

class QLabel;
class QTimer;

namespace shell {

inline constexpr const char *kMakerWeb = "https://www.talvor.com";
inline constexpr const char *kMakerMail = "info@talvor.com";

// The version parts the About box shows: the major part of the program's own version, then
// the kernel's answers to KernelInfo 1, 2 and 3 (minor, third and fourth part).
struct ProgramVersion {
    int major = 0;
    int minor = 0;
    int build = 0;
    int revision = 0;
};

// Asks the kernel library, loaded by name, for the version parts; a part the kernel cannot
// answer keeps the value of the program's own version resource (0 without one).
ProgramVersion queryProgramVersion();

// "Version 1.0.1" and "Build 0".
QString versionLine(const ProgramVersion &version);
QString buildLine(const ProgramVersion &version);

class frmAbout : public QDialog {
public:
    static constexpr int kTimeoutMs = 10000;

    explicit frmAbout(QWidget *parent = nullptr,
                      const ProgramVersion &version = queryProgramVersion(),
                      int timeoutMs = kTimeoutMs);

    QLabel *productLabel() const { return m_product; }
    QLabel *versionLabel() const { return m_version; }
    QLabel *buildLabel() const { return m_build; }
    QLabel *linksLabel() const { return m_links; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QLabel *m_product = nullptr;
    QLabel *m_version = nullptr;
    QLabel *m_build = nullptr;
    QLabel *m_links = nullptr;
    QTimer *m_timer = nullptr;
};

} // namespace shell
