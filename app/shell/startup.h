// Start-up: the program directory and settings file, the language choice, the command
// line, the start procedure and the main window's load sequence. The main window calls
// MainWindowLoader::load from its constructor through the MainWindowHost it implements.
#pragma once

#include "app/common/appstate.h"
#include "app/markers/markerobjects.h"
#include "platform/com.h"
#include "platform/wintypes.h"

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

class QWidget;

namespace shell {

// The product name; the settings file, the template and the help files are named after it.
inline constexpr const char *kProductName = "Orvane";
inline constexpr const char *kSettingsFileName = "Orvane.INI";
// Executables whose name begins with "VB" (development builds) keep their settings and data
// in this fixed folder instead of their own.
inline constexpr const char *kDevelopmentProgramDir = "/opt/BetaDaten/";

struct LanguageChoice {
    int textBase = 0;
    platform::LCID uiLcid = 1031;
    QString helpCode; // "deu", "enu" or "por"
};

// 1031 for the German locales (1031, 2055, 3079, 4103, 5127), else 1033.
platform::LCID defaultInterfaceLcid(platform::LCID userLcid);
// The stored `LCID` text is compared exactly ("0x0407" yes, "0X0407" no); anything else
// gives German texts with the default locale.
LanguageChoice chooseLanguage(platform::LCID userLcid, const QString &lcidText);

// The folder of the executable with a trailing '/', or kDevelopmentProgramDir when the file
// name begins with "VB" in any case.
QString programDirFromExecutable(const QString &executablePath);
// `Orvane.INI` in the program directory; where that folder cannot be written, the same
// name in `userConfigDir`, so that settings are never silently lost.
QString settingsFileFor(const QString &programDir, const QString &userConfigDir);
// ProgramDir + product name + "_" + code + ".chm"; for an installed program (in bin/), the
// same name in ../share/orvane/help/ when it is there and not beside the program.
QString helpFileFor(const QString &programDir, const QString &helpCode);

// The arguments after the program name joined with single blanks, as the one command line
// the rule below splits again.
QString commandLineFromArguments(const QStringList &arguments);
// Words split at single blanks; a word equal to "-L" or "/L" (any case) takes all following
// words joined with single blanks; the last such option wins. Without one: `current`.
QString sequenceFileFromCommandLine(const QString &commandLine, const QString &current = {});

// The 2-D calibration object the start procedure puts into the state: uncalibrated (its
// first point missing). Null when it cannot be made; the program then runs uncalibrated.
platform::ComPtr<datalib::TalvorCal2D> newCalibration();

struct StartupEnvironment {
    QString executablePath;
    QStringList arguments; // without the program name
    platform::LCID userLcid = 1033;
    QString userConfigDir; // fallback folder of the settings file
};

// The start procedure up to (not including) creating the main window, on appState().
class Startup {
public:
    // Always true on this platform: Qt needs no registration of control classes.
    static bool InitCommonControlsLibrary();
    // The environment of this process: executable, arguments, locale and config folder.
    static StartupEnvironment currentEnvironment(const QStringList &argumentsWithProgram);
    static void run(const StartupEnvironment &environment);
};

// The active sequence of a sequence information file, when `ActSeq` is above -1.
struct SequenceRequest {
    int NumFiles = 0;
    float RecordFPS = 0.0f;
    QString StartFile;
};
std::optional<SequenceRequest> readSequenceInfo(const QString &file);

// Widths of the marker table's columns "Name", "X", "Y", "Rotation" for a table width.
std::array<int, 4> markerColumnWidths(int tableWidth);

// The DirectX-equivalent graphics version through Vexcore's KernelInfo 41, Vexcore being
// loaded by name; 0 when the library or the answer is missing.
platform::LONG directXVersion();

// The part of the main window the load sequence talks to.
class MainWindowHost {
public:
    virtual ~MainWindowHost();
    virtual QWidget *form() = 0;
    // `GraphicItems` of the working view.
    virtual void setGraphicItems(const platform::ComPtr<platform::IUnknown> &items) = 0;
    // `PointsVisible` and `ConnectionsVisible` true, `OverlayFlags` 0.
    virtual void setOverlayDefaults() = 0;
    virtual int markerTableWidth() = 0;
    virtual void addMarkerColumn(const QString &key, const QString &text, int width) = 0;
    // Opens a video (the video part of the program provides it).
    virtual void LoadVideo(bool showDialog, int mode, float frameRate, int fileCount) = 0;
};

// The main window's load sequence in its fixed order, on appState().
class MainWindowLoader {
public:
    explicit MainWindowLoader(MainWindowHost &host);
    // Replaces the graphics version query (tests).
    void setVersionQuery(std::function<platform::LONG()> query);
    void load(markers::MarkerObjects &objects);

private:
    MainWindowHost &m_host;
    std::function<platform::LONG()> m_versionQuery;
};

} // namespace shell
