#include "answeringdialogs.h"
#include "app/common/appstate.h"
#include "app/common/resources.h"
#include "app/common/settings.h"
#include "app/shell/startup.h"
#include "platform/library.h"
#include "tests/support/tempdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

using common::appState;
using platform::LONG;

TEST(Language, GermanLocalesDefaultToGerman) {
    for (platform::LCID german : {1031u, 2055u, 3079u, 4103u, 5127u})
        EXPECT_EQ(shell::defaultInterfaceLcid(german), 1031u) << german;
    for (platform::LCID other : {1033u, 1046u, 1036u, 2057u, 0u, 1032u})
        EXPECT_EQ(shell::defaultInterfaceLcid(other), 1033u) << other;
}

TEST(Language, EveryAcceptedLcidForm) {
    struct Case {
        const char *text;
        int base;
        platform::LCID lcid;
        const char *code;
    } cases[] = {{"1031", 0, 1031, "deu"},    {"0x0407", 0, 1031, "deu"},
                 {"1033", 4000, 1033, "enu"}, {"0x0409", 4000, 1033, "enu"},
                 {"1046", 8000, 1046, "por"}, {"0x0416", 8000, 1046, "por"}};
    for (const auto &c : cases) {
        for (platform::LCID user : {1031u, 1033u}) {
            const auto choice = shell::chooseLanguage(user, QString::fromLatin1(c.text));
            EXPECT_EQ(choice.textBase, c.base) << c.text;
            EXPECT_EQ(choice.uiLcid, c.lcid) << c.text;
            EXPECT_EQ(choice.helpCode, QLatin1String(c.code)) << c.text;
        }
    }
}

TEST(Language, UnrecognisedTextsGiveGermanTextsWithTheDefaultLocale) {
    for (const char *text : {"0X0407", "0x409", " 1033", "1033 ", "", "English", "3079"}) {
        const auto english = shell::chooseLanguage(1033, QString::fromLatin1(text));
        EXPECT_EQ(english.textBase, 0) << text;
        EXPECT_EQ(english.uiLcid, 1033u) << text;
        EXPECT_EQ(english.helpCode, QLatin1String("deu")) << text;
        EXPECT_EQ(shell::chooseLanguage(2055, QString::fromLatin1(text)).uiLcid, 1031u) << text;
    }
}

TEST(ProgramDir, IsTheExecutablesFolderWithATrailingSlash) {
    EXPECT_EQ(shell::programDirFromExecutable("/opt/orvane/bin/orvane"),
              QStringLiteral("/opt/orvane/bin/"));
    EXPECT_EQ(shell::programDirFromExecutable("/x/avbprog"), QStringLiteral("/x/"));
    EXPECT_EQ(shell::programDirFromExecutable("/x/VBOrvane"),
              QLatin1String(shell::kDevelopmentProgramDir));
    EXPECT_EQ(shell::programDirFromExecutable("/x/vbtest"),
              QLatin1String(shell::kDevelopmentProgramDir));
}

TEST(ProgramDir, SettingsMoveToTheUserFolderWhereTheProgramFolderCannotTakeThem) {
    testsupport::TempDir tmp;
    EXPECT_EQ(shell::settingsFileFor(tmp.dir(), "/home/u/.config/Orvane"),
              tmp.dir() + "Orvane.INI");
    EXPECT_EQ(shell::settingsFileFor(tmp.dir() + "missing/", "/home/u/.config/Orvane"),
              QStringLiteral("/home/u/.config/Orvane/Orvane.INI"));
    EXPECT_EQ(shell::helpFileFor("/p/", "enu"), QStringLiteral("/p/Orvane_enu.chm"));
    // Installed: bin/ holds the program, share/orvane/help/ its help.
    const QString root = tmp.dir();
    QDir(root).mkpath(QStringLiteral("bin"));
    QDir(root).mkpath(QStringLiteral("share/orvane/help"));
    tmp.write(QStringLiteral("share/orvane/help/Orvane_deu.chm"), "ITSF");
    EXPECT_EQ(shell::helpFileFor(root + "bin/", "deu"), root + "share/orvane/help/Orvane_deu.chm");
    // Help beside the program wins, and a help file found nowhere keeps the program's folder.
    tmp.write(QStringLiteral("bin/Orvane_deu.chm"), "ITSF");
    EXPECT_EQ(shell::helpFileFor(root + "bin/", "deu"), root + "bin/Orvane_deu.chm");
    EXPECT_EQ(shell::helpFileFor(root + "bin/", "enu"), root + "bin/Orvane_enu.chm");
}

TEST(CommandLine, TheOptionTakesAllFollowingWords) {
    using shell::sequenceFileFromCommandLine;
    EXPECT_EQ(sequenceFileFromCommandLine(R"(-L C:\My Data\seq.ini)"),
              QStringLiteral(R"(C:\My Data\seq.ini)"));
    EXPECT_EQ(shell::sequenceFileFromCommandLine(
                  shell::commandLineFromArguments({"-L", R"(C:\My)", R"(Data\seq.ini)"})),
              QStringLiteral(R"(C:\My Data\seq.ini)"));
    EXPECT_EQ(sequenceFileFromCommandLine("/l /tmp/a.ini"), QStringLiteral("/tmp/a.ini"));
    EXPECT_EQ(sequenceFileFromCommandLine("-l x"), QStringLiteral("x"));
    EXPECT_EQ(sequenceFileFromCommandLine("/L a  b"), QStringLiteral("a  b"));
}

TEST(CommandLine, OtherWordsAreIgnoredAndTheLastOptionWins) {
    using shell::sequenceFileFromCommandLine;
    EXPECT_EQ(sequenceFileFromCommandLine("video.avi -x", "kept"), QStringLiteral("kept"));
    EXPECT_EQ(sequenceFileFromCommandLine("", "kept"), QStringLiteral("kept"));
    EXPECT_EQ(sequenceFileFromCommandLine("-Lfile"), QString());
    EXPECT_EQ(sequenceFileFromCommandLine("x -L a -L b c"), QStringLiteral("b c"));
    EXPECT_EQ(sequenceFileFromCommandLine("-L a /L"), QString());
}

class StartProcedure : public ::testing::Test {
protected:
    void SetUp() override { common::resetAppState(); }
    void TearDown() override { common::resetAppState(); }

    shell::StartupEnvironment env(platform::LCID user, QStringList args = {}) const {
        shell::StartupEnvironment e;
        e.executablePath = m_tmp.dir() + "orvane";
        e.arguments = std::move(args);
        e.userLcid = user;
        e.userConfigDir = m_tmp.filePath("config");
        return e;
    }
    testsupport::TempDir m_tmp;
};

TEST_F(StartProcedure, WithoutSettingsGermanUsersGetGerman) {
    shell::Startup::run(env(3079));
    const auto &s = appState();
    EXPECT_EQ(s.ProgramDir, m_tmp.dir());
    EXPECT_EQ(s.IniFile, m_tmp.dir() + "Orvane.INI");
    EXPECT_EQ(s.TextBase, 0);
    EXPECT_EQ(s.UiLcid, 1031u);
    EXPECT_EQ(s.HelpFile, m_tmp.dir() + "Orvane_deu.chm");
    EXPECT_EQ(s.ExcelTemplateFile, m_tmp.dir() + "OrvaneTemplate.xls");
    EXPECT_EQ(s.SequenceInfoFile, QString());
    EXPECT_TRUE(s.NoVideo);
    EXPECT_FALSE(s.IsPlaying || s.LoopPlayback || s.VideoCalibrated || s.ShiftDown);
    EXPECT_EQ(s.InteractionState, -1);
    EXPECT_FLOAT_EQ(s.CalibDistance, 100.0f);
    EXPECT_EQ(s.CalibUnit, 2);
    EXPECT_FLOAT_EQ(s.AspectFactor, 1.3563370f);
    EXPECT_EQ(s.settings.TrackingMode, 16);
    ASSERT_TRUE(s.Calibration);
    LONG state = 0;
    s.Calibration->GetState(&state);
    EXPECT_NE(state, 0); // a fresh calibration object is not a calibration
    EXPECT_EQ(s.MarkerColors[0], QColor(255, 128, 128));
    EXPECT_EQ(s.MarkerColors[18], QColor(182, 76, 11));
    EXPECT_EQ(s.MarkerColors[25], QColor(219, 159, 244));
    // Reading never creates the settings file.
    EXPECT_FALSE(QFile::exists(s.IniFile));
}

TEST_F(StartProcedure, WithoutSettingsOtherUsersGetEnglish) {
    shell::Startup::run(env(1036));
    EXPECT_EQ(appState().TextBase, 4000);
    EXPECT_EQ(appState().UiLcid, 1033u);
    EXPECT_EQ(appState().HelpFile, m_tmp.dir() + "Orvane_enu.chm");
}

TEST_F(StartProcedure, TheSettingsFileChoosesTheLanguage) {
    m_tmp.write("Orvane.INI", "[Orvane]\nLCID=0x0416\n");
    shell::Startup::run(env(1031));
    EXPECT_EQ(appState().TextBase, 8000);
    EXPECT_EQ(appState().UiLcid, 1046u);
    EXPECT_EQ(appState().HelpFile, m_tmp.dir() + "Orvane_por.chm");

    m_tmp.write("Orvane.INI", "[Orvane]\nLCID=1031\n");
    shell::Startup::run(env(1033));
    EXPECT_EQ(appState().TextBase, 0);
    EXPECT_EQ(appState().UiLcid, 1031u);

    m_tmp.write("Orvane.INI", "[Orvane]\nLCID=0X0409\n");
    shell::Startup::run(env(1033));
    EXPECT_EQ(appState().TextBase, 0);
    EXPECT_EQ(appState().UiLcid, 1033u);
}

TEST_F(StartProcedure, TheCommandLineNamesTheSequenceFile) {
    shell::Startup::run(env(1031, {"-L", "/data/my", "seq.ini"}));
    EXPECT_EQ(appState().SequenceInfoFile, QStringLiteral("/data/my seq.ini"));
}

TEST(DataSetTags, FirstCharacterInTheLowestByte) {
    EXPECT_EQ(markers::typeTag("RAW "), 0x20574152);
    EXPECT_EQ(markers::typeTag("PMD0"), 0x30444D50);
}

TEST(MarkerColumns, WidthsFollowAQuarterOfTheTable) {
    EXPECT_EQ(shell::markerColumnWidths(400), (std::array<int, 4>{50, 33, 33, 100}));
    // 402 / 4 = 100.5 rounds to the even 100; 410 / 4 = 102.5 to 102, 102 / 2 = 51.
    EXPECT_EQ(shell::markerColumnWidths(402), (std::array<int, 4>{50, 33, 33, 100}));
    EXPECT_EQ(shell::markerColumnWidths(410), (std::array<int, 4>{51, 34, 34, 102}));
    EXPECT_EQ(shell::markerColumnWidths(0), (std::array<int, 4>{0, 0, 0, 0}));
}

// A library probe that offers a stand-in kernel under its Windows name only.
class KernelProbe : public platform::LibraryProbe {
public:
    KernelProbe() { platform::setLibraryProbe(this); }
    ~KernelProbe() override { platform::setLibraryProbe(nullptr); }
    void *open(std::string_view name) override {
        opened.emplace_back(name);
        return available && name == "vexcore.dll" ? this : nullptr;
    }
    void *symbol(void *, const char *name) override {
        return std::string_view(name) == "KernelInfo" ? reinterpret_cast<void *>(&kernelInfo)
                                                      : nullptr;
    }
    void close(void *) override { ++closed; }

    static platform::LONG kernelInfo(platform::LONG selector, platform::LONG *result, char *text) {
        lastSelector = selector;
        text[99] = '\0'; // the caller's buffer holds 100 characters
        *result = version;
        return status;
    }
    static inline platform::LONG version = 0;
    static inline platform::LONG status = 0;
    static inline platform::LONG lastSelector = 0;
    bool available = true;
    std::vector<std::string> opened;
    int closed = 0;
};

TEST(GraphicsVersion, AsksTheKernelLoadedByName) {
    KernelProbe probe;
    KernelProbe::version = 900;
    KernelProbe::status = 0;
    EXPECT_EQ(shell::directXVersion(), 900);
    EXPECT_EQ(KernelProbe::lastSelector, 41);
    EXPECT_EQ(probe.opened, std::vector<std::string>{"vexcore.dll"});
    EXPECT_EQ(probe.closed, 1);

    KernelProbe::status = -1;
    EXPECT_EQ(shell::directXVersion(), 0);
    probe.available = false;
    KernelProbe::status = 0;
    EXPECT_EQ(shell::directXVersion(), 0);
}

// The main window as the load sequence sees it, recording every call in order.
class FakeHost : public shell::MainWindowHost {
public:
    QWidget *form() override { return &window; }
    void setGraphicItems(const platform::ComPtr<platform::IUnknown> &i) override {
        calls.push_back("items");
        items = i;
    }
    void setOverlayDefaults() override { calls.push_back("overlay"); }
    int markerTableWidth() override {
        calls.push_back("width");
        return 400;
    }
    void addMarkerColumn(const QString &key, const QString &text, int width) override {
        calls.push_back("column " + key.toStdString() + " " + text.toStdString() + " " +
                        std::to_string(width));
    }
    void LoadVideo(bool showDialog, int mode, float frameRate, int fileCount) override {
        calls.push_back("LoadVideo " + std::to_string(showDialog) + " " + std::to_string(mode) +
                        " " + QString::number(frameRate).toStdString() + " " +
                        std::to_string(fileCount));
    }
    QWidget window;
    platform::ComPtr<platform::IUnknown> items;
    std::vector<std::string> calls;
};

class MainWindowLoad : public ::testing::Test {
protected:
    void SetUp() override {
        common::resetAppState();
        appState().ProgramDir = m_tmp.dir();
        appState().IniFile = m_tmp.filePath("Orvane.INI");
        appState().TextBase = 4000;
        appState().MarkerLost = appState().AllMarkersLost = true;
    }
    void TearDown() override { common::resetAppState(); }

    std::vector<std::string> load(platform::LONG version = 900) {
        shell::MainWindowLoader loader(m_host);
        loader.setVersionQuery([version] { return version; });
        loader.load(m_objects);
        return m_host.calls;
    }

    testsupport::TempDir m_tmp;
    AnsweringDialogs m_dialogs;
    FakeHost m_host;
    markers::MarkerObjects m_objects;
};

const std::vector<std::string> kLoadCalls = {"items",
                                             "overlay",
                                             "width",
                                             "column Name Name 50",
                                             "column X X 33",
                                             "column Y Y 33",
                                             "column Rotation Rotation 100"};

TEST_F(MainWindowLoad, CreatesEverythingInOrderWithoutASettingsFile) {
    EXPECT_EQ(load(), kLoadCalls);
    EXPECT_TRUE(m_dialogs.messages.empty());
    EXPECT_FALSE(appState().MarkerLost || appState().AllMarkersLost);
    EXPECT_EQ(m_host.window.windowTitle(), QStringLiteral("Talvor Orvane"));
    EXPECT_EQ(appState().settings.TrackingMode, 16);
    EXPECT_EQ(appState().settings.DecDigits, 2);
    EXPECT_TRUE(m_objects.patternMatcher);
    EXPECT_TRUE(m_objects.markerTracker);
    ASSERT_TRUE(m_objects.graphicItems);
    EXPECT_EQ(m_host.items.get(), m_objects.graphicItems.query<platform::IUnknown>().get());

    const char *names[] = {"Rohdaten", "Rotation", "Restdaten", "Restdaten", "Restdaten"};
    const char *codes[] = {"RAW ", "PMRO", "PMD0", "PMD1", "PMD2"};
    const LONG components[] = {2, 1, 3, 3, 1};
    for (std::size_t i = 0; i < 5; ++i) {
        ASSERT_TRUE(m_objects.dataSets[i]) << i;
        std::string name;
        LONG tag = 0, count = 0;
        m_objects.dataSets[i]->GetName(&name);
        m_objects.dataSets[i]->GetTypeTag(&tag);
        m_objects.dataSets[i]->GetComponentCount(&count);
        EXPECT_EQ(name, names[i]);
        EXPECT_EQ(tag, markers::typeTag(*reinterpret_cast<const char(*)[5]>(codes[i])));
        EXPECT_EQ(count, components[i]);
    }
}

TEST_F(MainWindowLoad, ReadsTheSettingsFile) {
    m_tmp.write("Orvane.INI", "[Orvane]\nTrackingMode=32\nDecDigits=0\n[Trace]\nItem=3\n");
    load();
    EXPECT_EQ(appState().settings.TrackingMode, 32);
    EXPECT_EQ(appState().settings.DecDigits, 0);
    EXPECT_EQ(appState().trace.Item, 3);
}

TEST_F(MainWindowLoad, WarnsWhenTheGraphicsVersionIsTooOld) {
    load(7);
    ASSERT_EQ(m_dialogs.messages.size(), 1u);
    EXPECT_EQ(m_dialogs.messages[0].text,
              QStringLiteral("This software requires DirectX 8 or higher.\nIt couldn't be found. "
                             "The functionality of this software might be limited."));
    EXPECT_EQ(m_dialogs.messages[0].style, platform::ui::Exclamation);
    // The program goes on with the load.
    EXPECT_EQ(m_host.calls, kLoadCalls);
}

TEST_F(MainWindowLoad, VersionEightIsEnough) {
    load(8);
    EXPECT_TRUE(m_dialogs.messages.empty());
}

TEST_F(MainWindowLoad, OpensTheActiveSequenceOfTheSequenceFile) {
    appState().SequenceInfoFile =
        m_tmp.write("seq info.ini", "[SeqInfo]\nActSeq=1\n[Seq_0]\nNumFiles=3\n"
                                    "[Seq_1]\nNumFiles=120\nRecordFPS=250.5\n"
                                    "StartFile=/data/run 1/img0001.bmp\n");
    auto expected = kLoadCalls;
    expected.push_back("LoadVideo 0 0 250.5 120");
    EXPECT_EQ(load(), expected);
    EXPECT_EQ(appState().VideoFile, QStringLiteral("/data/run 1/img0001.bmp"));
}

TEST_F(MainWindowLoad, NoActiveSequenceOpensNothing) {
    appState().SequenceInfoFile =
        m_tmp.write("seq.ini", "[SeqInfo]\nActSeq=-1\n[Seq_0]\nNumFiles=3\n");
    EXPECT_EQ(load(), kLoadCalls);
    appState().SequenceInfoFile = m_tmp.filePath("missing.ini");
    m_host.calls.clear();
    EXPECT_EQ(load(), kLoadCalls);
}

TEST_F(MainWindowLoad, MissingSequenceKeysGiveTheirDefaults) {
    appState().SequenceInfoFile = m_tmp.write("seq.ini", "[SeqInfo]\nActSeq=0\n");
    auto expected = kLoadCalls;
    expected.push_back("LoadVideo 0 0 0 0");
    EXPECT_EQ(load(), expected);
    EXPECT_EQ(appState().VideoFile, QString());
}

} // namespace

namespace {

TEST(KernelByName, CandidatesLieBesideTheProgramAndInTheBuildTree) {
    const auto candidates = platform::libraryCandidates("VEXCORE.DLL");
    ASSERT_EQ(candidates.size(), 3u);
    const std::string dir = QCoreApplication::applicationDirPath().toStdString();
    EXPECT_EQ(candidates[0], dir + "/libvexcore.so");
    EXPECT_EQ(candidates[1], dir + "/../kernel/libvexcore.so");
    EXPECT_EQ(candidates[2], "libvexcore.so");
}

} // namespace
