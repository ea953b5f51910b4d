// The About box: what it shows and how it closes.
#include "app/common/appstate.h"
#include "app/common/resources.h"
#include "app/shell/frmabout.h"
#include "platform/sysinfo.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace shell {

using namespace common;
namespace {

class AboutTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetAppState();
        appState().TextBase = kEnglishBase;
    }
};

TEST_F(AboutTest, VersionAndBuildLines) {
    const ProgramVersion v{2, 7, 13, 401};
    EXPECT_EQ(versionLine(v), "Version 2.7.13");
    EXPECT_EQ(buildLine(v), "Build 401");
}

TEST_F(AboutTest, VersionComesFromTheProgramsVersionResource) {
    // Test programs carry the product's version resource, as the program does.
    const auto own = platform::programVersion();
    ASSERT_TRUE(own.has_value());
    const ProgramVersion v = queryProgramVersion();
    EXPECT_EQ(v.major, own->major);
    EXPECT_EQ(v.minor, own->minor);
    EXPECT_EQ(v.build, own->build);
    EXPECT_EQ(v.revision, own->revision);
}

TEST_F(AboutTest, ShowsProductVersionBuildAndTheMakersLinks) {
    frmAbout about(nullptr, ProgramVersion{1, 0, 1, 0}, 0);
    EXPECT_EQ(about.objectName(), "frmAbout");
    EXPECT_EQ(about.productLabel()->text(), productTitle());
    EXPECT_EQ(about.versionLabel()->text(), "Version 1.0.1");
    EXPECT_EQ(about.buildLabel()->text(), "Build 0");
    EXPECT_TRUE(about.linksLabel()->text().contains(QLatin1String(kMakerWeb)));
    EXPECT_TRUE(about.linksLabel()->text().contains(QStringLiteral("mailto:") + kMakerMail));
    EXPECT_TRUE(about.linksLabel()->openExternalLinks());
}

TEST_F(AboutTest, AClickCloses) {
    frmAbout about(nullptr, ProgramVersion{}, 0);
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    QTest::mouseClick(&about, Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST_F(AboutTest, ClosesByItselfAfterTheTimeOut) {
    frmAbout about(nullptr, ProgramVersion{}, 1);
    about.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !about.isVisible(); }, 30000));
}

} // namespace
} // namespace shell
