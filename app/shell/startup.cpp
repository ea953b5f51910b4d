#include "app/shell/startup.h"

#include "app/common/resources.h"
#include "app/common/settings.h"
#include "app/shell/translateform.h"
#include "components/datalib/datalib.h"
#include "platform/classes.h"
#include "platform/library.h"
#include "platform/locale.h"
#include "platform/ui/dialogs.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QWidget>
#include <cmath>

namespace shell {

using namespace common;

namespace {

using platform::LCID;
using platform::LONG;

constexpr LCID kGermanLocales[] = {1031, 2055, 3079, 4103, 5127};
// The graphics version below which the program warns (DirectX 8 on the original platform).
constexpr LONG kRequiredGraphicsVersion = 8;
constexpr LONG kGraphicsSelector = 41;

} // namespace

LCID defaultInterfaceLcid(LCID userLcid) {
    for (LCID german : kGermanLocales)
        if (userLcid == german)
            return 1031;
    return 1033;
}

LanguageChoice chooseLanguage(LCID userLcid, const QString &lcidText) {
    const LCID fallback = defaultInterfaceLcid(userLcid);
    if (lcidText == u"1031" || lcidText == u"0x0407")
        return {kGermanBase, 1031, QStringLiteral("deu")};
    if (lcidText == u"1033" || lcidText == u"0x0409")
        return {kEnglishBase, 1033, QStringLiteral("enu")};
    if (lcidText == u"1046" || lcidText == u"0x0416")
        return {kThirdBase, 1046, QStringLiteral("por")};
    return {kGermanBase, fallback, QStringLiteral("deu")};
}

QString programDirFromExecutable(const QString &executablePath) {
    const QFileInfo info(executablePath);
    if (info.fileName().startsWith(QLatin1String("VB"), Qt::CaseInsensitive))
        return QString::fromLatin1(kDevelopmentProgramDir);
    QString dir = info.absolutePath();
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir;
}

QString settingsFileFor(const QString &programDir, const QString &userConfigDir) {
    const QString inProgramDir = programDir + QLatin1String(kSettingsFileName);
    const QFileInfo file(inProgramDir);
    const QFileInfo dir(programDir);
    // An existing name must be a regular file (or a link to one) that we may write: a folder
    // or a FIFO of that name can keep no settings.
    const bool usable =
        file.exists() ? file.isFile() && file.isWritable() : (dir.isDir() && dir.isWritable());
    if (usable || userConfigDir.isEmpty())
        return inProgramDir;
    QString fallback = userConfigDir;
    if (!fallback.endsWith(u'/'))
        fallback += u'/';
    return fallback + QLatin1String(kSettingsFileName);
}

QString helpFileFor(const QString &programDir, const QString &helpCode) {
    const QString name = QLatin1String(kProductName) + u'_' + helpCode + QLatin1String(".chm");
    // Installed, the program lies in bin/ and its help in share/orvane/help/ beside it; in a
    // build tree (and where nothing is installed) the help lies beside the program.
    const QString installed = programDir + QLatin1String("../share/orvane/help/") + name;
    if (!QFileInfo::exists(programDir + name) && QFileInfo(installed).isFile())
        return QFileInfo(installed).absoluteFilePath();
    return programDir + name;
}

QString commandLineFromArguments(const QStringList &arguments) {
    return arguments.join(u' ');
}

QString sequenceFileFromCommandLine(const QString &commandLine, const QString &current) {
    QString result = current;
    const QStringList words = commandLine.split(u' ');
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString upper = words[i].toUpper();
        if (upper == u"-L" || upper == u"/L")
            result = words.mid(i + 1).join(u' ');
    }
    return result;
}

bool Startup::InitCommonControlsLibrary() {
    return true;
}

StartupEnvironment Startup::currentEnvironment(const QStringList &argumentsWithProgram) {
    StartupEnvironment env;
    env.executablePath = QCoreApplication::instance()
                             ? QCoreApplication::applicationFilePath()
                             : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    env.arguments = argumentsWithProgram.mid(1);
    env.userLcid = platform::userDefaultLcid();
    env.userConfigDir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                        u'/' + QLatin1String(kProductName);
    return env;
}

void Startup::run(const StartupEnvironment &environment) {
    InitCommonControlsLibrary();
    resetAppState();
    AppState &s = appState();

    s.ProgramDir = programDirFromExecutable(environment.executablePath);
    s.IniFile = settingsFileFor(s.ProgramDir, environment.userConfigDir);
    QDir().mkpath(QFileInfo(s.IniFile).absolutePath());

    const QString lcidDefault = QString::number(defaultInterfaceLcid(environment.userLcid));
    const LanguageChoice language = chooseLanguage(
        environment.userLcid, ReadIniString(QLatin1String(kSectionOrvane), QStringLiteral("LCID"),
                                            lcidDefault, s.IniFile));
    s.TextBase = language.textBase;
    s.UiLcid = language.uiLcid;
    s.HelpFile = helpFileFor(s.ProgramDir, language.helpCode);

    s.ExcelTemplateFile =
        s.ProgramDir + QLatin1String(kProductName) + QLatin1String("Template.xls");
    s.MarkerColors = defaultMarkerColors();

    s.SequenceInfoFile =
        sequenceFileFromCommandLine(commandLineFromArguments(environment.arguments));

    s.Calibration = newCalibration();
}

platform::ComPtr<datalib::TalvorCal2D> newCalibration() {
    // Errors are ignored: without a calibration object the program still runs, uncalibrated.
    datalib::registerClasses();
    const auto factory =
        platform::createInstance<datalib::TalvorCalFactory>(datalib::CLSID_CalFactory);
    datalib::TalvorCal2D *raw = nullptr;
    if (!factory || platform::failed(factory->CreateCal2D(&raw)) || !raw)
        return nullptr;
    auto calibration = platform::ComPtr<datalib::TalvorCal2D>::attach(raw);
    calibration->SetParameter(1, 0);
    calibration->SetPointX(0, datalib::kMissing);
    return calibration;
}

std::optional<SequenceRequest> readSequenceInfo(const QString &file) {
    if (file.isEmpty())
        return std::nullopt;
    const double active =
        ReadIniNumber(QStringLiteral("SeqInfo"), QStringLiteral("ActSeq"), -1, file);
    const int n = roundHalfEven(active);
    if (!(n > -1))
        return std::nullopt;
    const QString section = QStringLiteral("Seq_") + QString::number(n);
    SequenceRequest request;
    request.NumFiles = roundHalfEven(ReadIniNumber(section, QStringLiteral("NumFiles"), 0, file));
    request.RecordFPS =
        static_cast<float>(ReadIniNumber(section, QStringLiteral("RecordFPS"), 0, file));
    request.StartFile = ReadIniString(section, QStringLiteral("StartFile"), QString(), file);
    // A name without a folder (or with a relative one) lies beside the information file, so a
    // sequence moved or installed with its file still opens; absolute names stay as written.
    const QFileInfo start(request.StartFile);
    if (!request.StartFile.isEmpty() && start.isRelative() && !request.StartFile.contains(u'\\') &&
        !request.StartFile.contains(u':'))
        request.StartFile = QFileInfo(file).absoluteDir().filePath(request.StartFile);
    return request;
}

std::array<int, 4> markerColumnWidths(int tableWidth) {
    const int w = roundHalfEven(tableWidth / 4.0);
    return {roundHalfEven(w / 2.0), roundHalfEven(w / 3.0), roundHalfEven(w / 3.0), w};
}

LONG directXVersion() {
    platform::LoadedLibrary vexcore("vexcore.dll");
    if (!vexcore)
        return 0;
    using KernelInfoFn = LONG (*)(LONG, LONG *, char *);
    auto kernelInfo = vexcore.function<KernelInfoFn>("KernelInfo");
    if (!kernelInfo)
        return 0;
    char text[100] = {};
    LONG version = 0;
    if (kernelInfo(kGraphicsSelector, &version, text) != 0)
        return 0;
    return version;
}

MainWindowHost::~MainWindowHost() = default;

MainWindowLoader::MainWindowLoader(MainWindowHost &host)
    : m_host(host), m_versionQuery(&directXVersion) {}

void MainWindowLoader::setVersionQuery(std::function<LONG()> query) {
    m_versionQuery = query ? std::move(query) : std::function<LONG()>(&directXVersion);
}

void MainWindowLoader::load(markers::MarkerObjects &objects) {
    AppState &s = appState();
    QWidget *form = m_host.form();

    s.MarkerLost = false;
    s.AllMarkersLost = false;

    TranslateForm(form);

    const QString title = productTitle();
    if (QCoreApplication::instance())
        QCoreApplication::setApplicationName(title);
    if (form)
        form->setWindowTitle(title);

    if (m_versionQuery() < kRequiredGraphicsVersion) {
        // Windows breaks message lines at a carriage return; Qt needs a line feed.
        platform::ui::dialogs().messageBox(form, res(1041) + u'\n' + res(1042), title,
                                           platform::ui::Exclamation);
    }

    objects.patternMatcher = markers::createPatternMatcher(s.UiLcid);
    objects.markerTracker = markers::createMarkerTracker(s.UiLcid);

    readAllSettings(s.IniFile, s.settings, s.trace);

    objects.graphicItems = markers::createGraphicItems();
    m_host.setGraphicItems(objects.graphicItems ? objects.graphicItems.query<platform::IUnknown>()
                                                : platform::ComPtr<platform::IUnknown>());
    markers::createDataSets(objects);

    m_host.setOverlayDefaults();

    static const char *const kColumns[4] = {"Name", "X", "Y", "Rotation"};
    const auto widths = markerColumnWidths(m_host.markerTableWidth());
    for (std::size_t i = 0; i < 4; ++i) {
        const QString text = QString::fromLatin1(kColumns[i]);
        m_host.addMarkerColumn(text, text, widths[i]);
    }

    if (!s.SequenceInfoFile.isEmpty()) {
        if (auto sequence = readSequenceInfo(s.SequenceInfoFile)) {
            s.VideoFile = sequence->StartFile;
            m_host.LoadVideo(false, 0, sequence->RecordFPS, sequence->NumFiles);
        }
    }
}

} // namespace shell
