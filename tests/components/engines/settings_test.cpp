// Settings of both engines: limits, the per-user store and the dialogs, driven through
// the dialog seam.
#include "components/engines/engines.h"
#include "components/engines/settings.h"
#include "components/engines/ui/settingsdialogs.h"

#include "platform/classes.h"
#include "platform/registry.h"
#include "platform/ui/dialogs.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QSpinBox>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

using namespace engines;
using platform::ComPtr;

namespace {

// Answers every dialog with `answer` after letting `fill` set its fields.
class FakeDialogs final : public platform::ui::Dialogs {
public:
    std::function<void(QDialog &)> fill;
    int answer = QDialog::Accepted;
    int shown = 0;
    QString title;

    int messageBox(QWidget *, const QString &, const QString &, int) override { return 0; }
    void beep() override {}
    std::optional<QString> openFile(QWidget *, const platform::ui::FileDialogRequest &) override {
        return std::nullopt;
    }
    std::optional<QString> saveFile(QWidget *, const platform::ui::FileDialogRequest &) override {
        return std::nullopt;
    }
    std::optional<QColor> chooseColor(QWidget *, const QColor &) override { return std::nullopt; }
    int exec(QDialog &dialog) override {
        ++shown;
        title = dialog.windowTitle();
        if (fill)
            fill(dialog);
        return answer;
    }
};

void setSpin(QDialog &d, const char *name, int value) {
    auto *box = d.findChild<QSpinBox *>(QString::fromLatin1(name));
    ASSERT_NE(box, nullptr) << name;
    box->setValue(value);
}

// Every test starts from an empty settings store of its own, in a fresh folder that no other
// test and no other run (a second build tree, a run by hand) can write at the same time; the
// user's own store is never touched.
class EngineSettings : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char *root = std::getenv(kStoreRoot))
            m_previousRoot = root;
        ASSERT_FALSE(m_store.root().empty());
        ::setenv(kStoreRoot, m_store.root().c_str(), 1);
        registerClasses();
        installSettingsDialogs();
        platform::ui::setDialogs(&m_dialogs);
    }
    void TearDown() override {
        platform::ui::setDialogs(nullptr);
        if (m_previousRoot)
            ::setenv(kStoreRoot, m_previousRoot->c_str(), 1);
        else
            ::unsetenv(kStoreRoot);
    }
    ComPtr<IPatternMatcher> matcher(LCID lcid = 1033) {
        auto m = platform::createInstance<IPatternMatcher>(CLSID_PatternMatcher);
        EXPECT_EQ(m->Init(kInteractive, lcid), platform::S_OK);
        return m;
    }
    ComPtr<IMarkerTracker> tracker() {
        auto t = platform::createInstance<IMarkerTracker>(CLSID_MarkerTracker);
        EXPECT_EQ(t->Init(kInteractive, 1033), platform::S_OK);
        return t;
    }
    static constexpr const char *kStoreRoot = "ORVANE_REGISTRY_ROOT";
    testsupport::TempDir m_store;
    std::optional<std::string> m_previousRoot;
    FakeDialogs m_dialogs;
};

} // namespace

TEST(SettingsValues, LimitsRoundingAndDamagedStore) {
    PatternSettings p;
    EXPECT_TRUE(p.put(PatternSize, 3));
    EXPECT_EQ(p.patternSize, 8);
    EXPECT_TRUE(p.put(SearchRange, 40.6));
    EXPECT_EQ(p.searchRange, 41);
    EXPECT_TRUE(p.put(ReferenceMode, -3));
    EXPECT_EQ(p.referenceMode, 1);
    EXPECT_TRUE(p.put(ReferenceFrame, 1e12));
    EXPECT_EQ(p.referenceFrame, 32767);
    EXPECT_FALSE(p.put(UpdateRate, std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(p.put(6, 1));
    EXPECT_FALSE(p.get(6));

    const testsupport::TempDir dir;
    platform::RegistryStore store(dir.root());
    ASSERT_TRUE(store.writeDword(platform::RegistryHive::CurrentUser, kPatternSettingsKey,
                                 "PatternSize", 0xFFFFFFFFu));
    ASSERT_TRUE(store.writeString(platform::RegistryHive::CurrentUser, kPatternSettingsKey,
                                  "MinScore", "abc"));
    const PatternSettings loaded = loadPatternSettings(store);
    EXPECT_EQ(loaded.patternSize, 128);
    EXPECT_EQ(loaded.minScore, 60);
}

TEST_F(EngineSettings, PutSettingIsSavedForTheUser) {
    {
        auto m = matcher();
        ASSERT_EQ(m->PutSetting(PatternSize, 48), platform::S_OK);
        ASSERT_EQ(m->PutSetting(ReferenceFrame, 12), platform::S_OK);
        auto t = tracker();
        ASSERT_EQ(t->PutSetting(MarkerSizeTolerance, 150), platform::S_OK);
    }
    double v = 0;
    auto m = matcher();
    ASSERT_EQ(m->Setting(PatternSize, &v), platform::S_OK);
    EXPECT_EQ(v, 48.0);
    ASSERT_EQ(m->Setting(ReferenceFrame, &v), platform::S_OK);
    EXPECT_EQ(v, 0.0); // a reference frame belongs to one marker
    auto t = tracker();
    ASSERT_EQ(t->Setting(MarkerSizeTolerance, &v), platform::S_OK);
    EXPECT_EQ(v, 150.0);
}

TEST_F(EngineSettings, PatternDialogSavesOnOkOnly) {
    auto m = matcher(1031);
    m_dialogs.fill = [](QDialog &d) {
        setSpin(d, "patternSize", 24);
        setSpin(d, "minScore", 75);
        setSpin(d, "rotationRange", 0);
        EXPECT_EQ(d.findChild<QComboBox *>("referenceMode"), nullptr);
    };
    m_dialogs.answer = QDialog::Rejected;
    EXPECT_EQ(m->Settings(), platform::S_FALSE);
    double v = 0;
    m->Setting(PatternSize, &v);
    EXPECT_EQ(v, 32.0);
    EXPECT_EQ(m_dialogs.title, QString::fromUtf8("Mustererkennung"));

    m_dialogs.answer = QDialog::Accepted;
    EXPECT_EQ(m->Settings(), platform::S_OK);
    auto again = matcher();
    again->Setting(PatternSize, &v);
    EXPECT_EQ(v, 24.0);
    again->Setting(MinScore, &v);
    EXPECT_EQ(v, 75.0);
    again->Setting(RotationRange, &v);
    EXPECT_EQ(v, 0.0);
}

TEST_F(EngineSettings, FrameContextDialogChangesOnlyThatMarker) {
    auto m = matcher();
    IPatternMarkerContext *mc = nullptr;
    ASSERT_EQ(m->MarkerContext(3, &mc), platform::S_OK);
    auto markerContext = ComPtr<IPatternMarkerContext>::attach(mc);
    IPatternFrameContext *fc = nullptr;
    ASSERT_EQ(markerContext->FrameContext(0, 9, &fc), platform::S_OK);
    auto frame = ComPtr<IPatternFrameContext>::attach(fc);
    m_dialogs.fill = [](QDialog &d) {
        auto *mode = d.findChild<QComboBox *>("referenceMode");
        ASSERT_NE(mode, nullptr);
        mode->setCurrentIndex(1);
        setSpin(d, "referenceFrame", 4);
        setSpin(d, "searchRange", 20);
    };
    EXPECT_EQ(frame->SettingsDialog(), platform::S_OK);
    EXPECT_EQ(m_dialogs.title, QString::fromUtf8("Local pattern matching"));
    double v = 0;
    frame->Setting(ReferenceMode, &v);
    EXPECT_EQ(v, 1.0);
    frame->Setting(ReferenceFrame, &v);
    EXPECT_EQ(v, 4.0);
    frame->Setting(SearchRange, &v);
    EXPECT_EQ(v, 20.0);
    m->Setting(SearchRange, &v);
    EXPECT_EQ(v, 32.0);
    EXPECT_FALSE(platform::RegistryStore().readDword(platform::RegistryHive::CurrentUser,
                                                     kPatternSettingsKey, "SearchRange"));
}

TEST_F(EngineSettings, MarkerDialogs) {
    auto t = tracker();
    m_dialogs.fill = [](QDialog &d) {
        auto *polarity = d.findChild<QComboBox *>("polarity");
        ASSERT_NE(polarity, nullptr);
        polarity->setCurrentIndex(2);
        setSpin(d, "searchRange", 50);
    };
    EXPECT_EQ(t->Settings(), platform::S_OK);
    double v = 0;
    tracker()->Setting(MarkerPolarity, &v);
    EXPECT_EQ(v, 2.0);

    IMarkerMarkerContext *mc = nullptr;
    ASSERT_EQ(t->MarkerContext(1, &mc), platform::S_OK);
    auto markerContext = ComPtr<IMarkerMarkerContext>::attach(mc);
    IMarkerFrameContext *fc = nullptr;
    ASSERT_EQ(markerContext->FrameContext(0, 0, &fc), platform::S_OK);
    auto frame = ComPtr<IMarkerFrameContext>::attach(fc);
    m_dialogs.fill = [](QDialog &d) {
        setSpin(d, "searchRange", 7);
    };
    m_dialogs.answer = QDialog::Rejected;
    EXPECT_EQ(frame->SettingsDialog(0), platform::S_FALSE);
    frame->Setting(MarkerSearchRange, &v);
    EXPECT_EQ(v, 50.0);
    m_dialogs.answer = QDialog::Accepted;
    EXPECT_EQ(frame->SettingsDialog(0), platform::S_OK);
    frame->Setting(MarkerSearchRange, &v);
    EXPECT_EQ(v, 7.0);
    t->Setting(MarkerSearchRange, &v);
    EXPECT_EQ(v, 50.0);
    EXPECT_EQ(m_dialogs.shown, 3);
}
