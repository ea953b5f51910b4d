// Lingmod: the control's strings in three languages, the fall-backs, handles that are no
// longer valid, and translating a dialog's widgets by their numbers.
#include "components/lingmod/lingmod.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace lingmod;

namespace {

constexpr LONG kSection = 30004;

// A handle for the control's strings in the language, freed with the object.
class Open {
public:
    explicit Open(LCID lcid, const QString &prefix = QStringLiteral("COM_"))
        : handle(talvorSetLanguage(-1, QStringLiteral("Quivex"), lcid, prefix)) {}
    ~Open() { talvorFreeLanguage(handle); }
    LanguageHandle handle;
};

QString text(LCID lcid, LONG number) {
    Open language(lcid);
    return talvorGetNLSString(language.handle, kSection, number);
}

} // namespace

TEST(LingmodStrings, TheRawFrameMessagesExistInAllThreeLanguages) {
    EXPECT_EQ(text(1031, 11), QStringLiteral("Die Datei ist keine Rohbilddatei (FRM)."));
    EXPECT_EQ(text(1033, 11), QStringLiteral("The file is not a raw frame file (FRM)."));
    EXPECT_EQ(text(1046, 12),
              QString::fromUtf8("A versão deste arquivo de quadros brutos não é suportada."));
    // Every language has its own title and texts, none empty.
    for (LCID lcid : {1031u, 1033u, 2070u}) {
        for (LONG n : {10, 11, 12})
            EXPECT_FALSE(text(lcid, n).isEmpty()) << lcid << " " << n;
    }
    EXPECT_NE(text(1031, 10), text(1033, 10));
    EXPECT_NE(text(1033, 12), text(1046, 12));
}

TEST(LingmodStrings, LanguagesSelectByPrimaryLanguageAndUnknownOnesGetEnglish) {
    EXPECT_EQ(languageOf(1031), Language::German);
    EXPECT_EQ(languageOf(3079), Language::German); // Austria
    EXPECT_EQ(languageOf(2057), Language::English);
    EXPECT_EQ(languageOf(1046), Language::Portuguese);
    EXPECT_EQ(languageOf(2070), Language::Portuguese);
    EXPECT_EQ(text(1036, 11), text(1033, 11)); // French is not held
}

TEST(LingmodStrings, AMissingStringFallsBackToEnglishThenGermanThenNothing) {
    addString(Language::German, "TST_", 1, 1, "nur deutsch");
    addString(Language::English, "TST_", 1, 2, "english only");
    addString(Language::German, "TST_", 1, 2, "auch deutsch");
    Open portuguese(1046, "TST_");
    bool found = false;
    EXPECT_EQ(talvorGetNLSString(portuguese.handle, 1, 1, &found), "nur deutsch");
    EXPECT_TRUE(found);
    EXPECT_EQ(talvorGetNLSString(portuguese.handle, 1, 2), "english only");
    EXPECT_EQ(talvorGetNLSString(portuguese.handle, 1, 3, &found), QString());
    EXPECT_FALSE(found);
    // The prefix separates the modules' strings.
    EXPECT_EQ(talvorGetNLSString(portuguese.handle, kSection, 11, &found), QString());
    EXPECT_FALSE(found);
}

TEST(LingmodHandles, FreedAndMadeUpHandlesAreRefused) {
    const LanguageHandle handle = talvorSetLanguage(-1, "Quivex", 1031, "COM_");
    EXPECT_NE(handle, 0);
    EXPECT_FALSE(talvorGetNLSString(handle, kSection, 10).isEmpty());
    EXPECT_TRUE(talvorFreeLanguage(handle));
    EXPECT_FALSE(talvorFreeLanguage(handle));
    bool found = true;
    EXPECT_EQ(talvorGetNLSString(handle, kSection, 10, &found), QString());
    EXPECT_FALSE(found);
    EXPECT_EQ(talvorGetNLSString(0, kSection, 10), QString());
    EXPECT_EQ(talvorGetNLSString(-12345, kSection, 10), QString());
    QDialog dialog;
    EXPECT_EQ(talvorTranslateDialog(handle, &dialog, kSection), -1);
    // A new handle is never a freed one.
    Open again(1031);
    EXPECT_NE(again.handle, handle);
}

TEST(LingmodDialogs, ChildrenAreTranslatedByTheirNumbers) {
    QDialog dialog;
    dialog.setObjectName("page_100");
    auto *colour = new QPushButton("x", &dialog);
    colour->setObjectName("btnBackColor_1005");
    auto *update = new QCheckBox("x", &dialog);
    update->setObjectName("chkUpdate");
    update->setProperty("nlsNumber", 209);
    auto *group = new QGroupBox("x", &dialog);
    group->setObjectName("211");
    auto *zoom = new QLabel("Zoom", group); // no number: stays
    zoom->setObjectName("lblZoom");
    auto *unknown = new QLabel("keep", &dialog);
    unknown->setObjectName("lbl_99999"); // a number without a string: stays
    auto *edit = new QLineEdit("42", &dialog);
    edit->setObjectName("txtZoom_224"); // an edit's content is never replaced
    auto *numbered = new QLabel("keep", &dialog);
    numbered->setObjectName("Label2"); // digits without '_' are part of the name

    Open english(1033);
    EXPECT_EQ(talvorTranslateDialog(english.handle, &dialog, kSection), 4);
    EXPECT_EQ(dialog.windowTitle(), "Properties");
    EXPECT_EQ(colour->text(), "Back&ground colour");
    EXPECT_EQ(update->text(), "&Update picture continuously");
    EXPECT_EQ(group->title(), "Line width");
    EXPECT_EQ(zoom->text(), "Zoom");
    EXPECT_EQ(unknown->text(), "keep");
    EXPECT_EQ(edit->text(), "42");
    EXPECT_EQ(numbered->text(), "keep");

    Open german(1031);
    EXPECT_EQ(talvorTranslateDialog(german.handle, &dialog, kSection), 4);
    EXPECT_EQ(colour->text(), "H&intergrundfarbe");
    EXPECT_EQ(update->text(), QString::fromUtf8("&Bild ständig aktualisieren"));
    EXPECT_EQ(talvorTranslateDialog(german.handle, nullptr, kSection), -1);
}
