#include "app/common/appstate.h"
#include "app/shell/qttranslations.h"
#include "app/shell/translateform.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QToolBar>
#include <QTranslator>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

using shell::kTagProperty;
using shell::kToolTipProperty;

// A window with one control of every kind the translation knows, in design-time state.
class DesignWindow : public QMainWindow {
public:
    DesignWindow() {
        setProperty(kTagProperty, "1600");
        auto *central = new QWidget(this);
        setCentralWidget(central);

        label = new QLabel("design label", central);
        label->setProperty(kTagProperty, "1634");
        badLabel = new QLabel("keeps its text", central);
        badLabel->setProperty(kTagProperty, "12ab");
        missingLabel = new QLabel("no such text", central);
        missingLabel->setProperty(kTagProperty, "1999");
        plainLabel = new QLabel("untagged", central);

        menu = menuBar()->addMenu("1500");
        quit = menu->addAction("1502");
        menu->addSeparator();
        unknownEntry = menu->addAction("Not a number");

        toolbar = addToolBar("tools");
        newButton = toolbar->addAction("New");
        newButton->setToolTip("1020");
        scale = toolbar->addAction("Scale");
        scale->setToolTip("1022");

        tabs = new QTabWidget(central);
        tabs->addTab(new QWidget, "1631");
        tabs->addTab(new QWidget, "1632");
        tabs->setTabToolTip(0, "1632");

        table = new QTreeWidget(central);
        table->setColumnCount(2);
        table->headerItem()->setText(0, "design 0");
        table->headerItem()->setData(0, Qt::UserRole, "1015");
        table->headerItem()->setText(1, "design 1");

        model = new QStandardItemModel(0, 1, this);
        model->setHeaderData(0, Qt::Horizontal, "1013", Qt::UserRole);
        view = new QTreeView(central);
        view->setModel(model);

        group = new QGroupBox("design group", central);
        group->setProperty(kTagProperty, "1601");
        check = new QCheckBox("design check", central);
        check->setProperty(kTagProperty, " 1619");
        check->setProperty(kToolTipProperty, "1052");
        button = new QPushButton("design button", central);
        button->setProperty(kTagProperty, "0");
        // A text box has no caption: its tagged caption fails, its tool tip still works.
        edit = new QLineEdit("typed", central);
        edit->setProperty(kTagProperty, "1611");
        edit->setProperty(kToolTipProperty, "1612");
    }

    QLabel *label, *badLabel, *missingLabel, *plainLabel;
    QMenu *menu;
    QAction *quit, *unknownEntry, *newButton, *scale;
    QToolBar *toolbar;
    QTabWidget *tabs;
    QTreeWidget *table;
    QStandardItemModel *model;
    QTreeView *view;
    QGroupBox *group;
    QCheckBox *check;
    QPushButton *button;
    QLineEdit *edit;
};

class Translate : public ::testing::Test {
protected:
    void SetUp() override { common::resetAppState(); }
    void TearDown() override { common::resetAppState(); }
};

TEST_F(Translate, EveryKindOfControlInEnglish) {
    common::appState().TextBase = 4000;
    DesignWindow w;
    // The failing texts: "12ab", 1999, the text box's caption and the menu entry.
    EXPECT_EQ(shell::TranslateForm(&w), 4);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Options"));
    EXPECT_EQ(w.label->text(), QStringLiteral("Type of marker trace:"));
    EXPECT_EQ(w.menu->title(), QStringLiteral("&File"));
    EXPECT_EQ(w.quit->text(), QStringLiteral("&Quit"));
    EXPECT_EQ(w.newButton->toolTip(), QStringLiteral("New project"));
    EXPECT_EQ(w.scale->toolTip(), QStringLiteral("Calibrate video"));
    EXPECT_EQ(w.tabs->tabText(0), QStringLiteral("Misc"));
    EXPECT_EQ(w.tabs->tabText(1), QStringLiteral("Marker trace"));
    EXPECT_EQ(w.tabs->tabToolTip(0), QStringLiteral("Marker trace"));
    EXPECT_EQ(w.table->headerItem()->text(0), QStringLiteral(" Points "));
    EXPECT_EQ(w.model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Zoom: "));
    EXPECT_EQ(w.group->title(), QStringLiteral(" Language "));
    EXPECT_EQ(w.check->text(), QStringLiteral("Calibration required before tracking"));
    EXPECT_EQ(w.check->toolTip(),
              QStringLiteral("(When the last marker is lost, the tracking process is always "
                             "stopped)"));
    EXPECT_EQ(w.edit->toolTip(), QStringLiteral("Cancel"));
}

TEST_F(Translate, FailingControlsKeepTheirDesignTexts) {
    common::appState().TextBase = 4000;
    DesignWindow w;
    shell::TranslateForm(&w);
    EXPECT_EQ(w.badLabel->text(), QStringLiteral("keeps its text"));
    EXPECT_EQ(w.missingLabel->text(), QStringLiteral("no such text"));
    EXPECT_EQ(w.plainLabel->text(), QStringLiteral("untagged"));
    EXPECT_EQ(w.unknownEntry->text(), QStringLiteral("Not a number"));
    EXPECT_EQ(w.table->headerItem()->text(1), QStringLiteral("design 1"));
    EXPECT_EQ(w.button->text(), QStringLiteral("design button")); // number 0 is not looked up
    EXPECT_EQ(w.edit->text(), QStringLiteral("typed"));
}

TEST_F(Translate, GermanSlot) {
    DesignWindow w;
    shell::TranslateForm(&w);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Optionen"));
    EXPECT_EQ(w.quit->text(), QStringLiteral("&Beenden"));
    EXPECT_EQ(w.newButton->toolTip(), QStringLiteral("Neues Projekt"));
}

TEST_F(Translate, ThirdSlotKeepsTheNewButtonsNumber) {
    common::appState().TextBase = 8000;
    DesignWindow w;
    shell::TranslateForm(&w);
    EXPECT_EQ(w.newButton->toolTip(), QStringLiteral("1020"));
    EXPECT_EQ(w.scale->toolTip(), QStringLiteral("Calibrate video"));
    EXPECT_EQ(w.quit->text(), QStringLiteral("&Quit"));
}

TEST_F(Translate, ASecondPassChangesNothingFurther) {
    common::appState().TextBase = 4000;
    DesignWindow w;
    shell::TranslateForm(&w);
    // Translated texts are no numbers any more; they stay as they are.
    shell::TranslateForm(&w);
    EXPECT_EQ(w.quit->text(), QStringLiteral("&Quit"));
    EXPECT_EQ(w.tabs->tabText(0), QStringLiteral("Misc"));
    EXPECT_EQ(shell::TranslateForm(nullptr), 0);
}

} // namespace

// Qt's own texts follow the interface language: the standard buttons of a German message box
// read German.
TEST(QtTranslations, GermanInterfaceTranslatesTheStandardButtons) {
    EXPECT_EQ(shell::qtCatalogueFor(1031), QStringLiteral("qtbase_de"));
    EXPECT_TRUE(shell::qtCatalogueFor(1033).isEmpty());
    EXPECT_TRUE(shell::qtCatalogueFor(1046).isEmpty()) << "the third language's texts are English";
    EXPECT_FALSE(shell::installQtTranslations(*QCoreApplication::instance(), 1033));
    // A folder without the catalogue leaves Qt's English.
    EXPECT_FALSE(shell::installQtTranslations(*QCoreApplication::instance(), 1031, "/nonexistent"));
    ASSERT_TRUE(shell::installQtTranslations(*QCoreApplication::instance(), 1031))
        << "qt6-translations-l10n is installed by tools/setup.sh";
    QMessageBox box(QMessageBox::Question, "t", "x", QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove(u'&'), QStringLiteral("Ja"));
    EXPECT_EQ(box.button(QMessageBox::No)->text().remove(u'&'), QStringLiteral("Nein"));
    // Later tests in this process see Qt's English again.
    for (QTranslator *t : QCoreApplication::instance()->findChildren<QTranslator *>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
}
