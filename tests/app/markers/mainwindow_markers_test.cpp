// The marker work in the main window with the real engines, end to end: markers created by
// mouse events on the view at a zoom other than 100, played to the end and exported, the
// exported positions against the discs' true centres; a vanishing marker stopping playback;
// and the video keys wherever the focus is.
#include "windowfixture.h"

#include "app/common/appstate.h"
#include "app/markers/markercontroller.h"
#include "app/shell/frmcalibdist.h"
#include "app/shell/frmmain.h"
#include "components/datalib/datalib.h"
#include "platform/classes.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <QTreeWidget>

#include <cmath>

namespace {

class EndToEnd : public WindowMarkersTest, public ::testing::WithParamInterface<int> {};

TEST_P(EndToEnd, CreatedByMousePlayedAndExportedMatchesTheTruth) {
    AnsweringDialogs dialogs;
    const int mode = GetParam();
    auto w = openWindow({[](int f) { return std::optional(discA(f)); },
                         [](int f) {
                             return std::optional(discB(f));
                         }});
    ASSERT_EQ(w->hscScroll->maximum(), kFrames - 1);
    ASSERT_EQ(w->qvxVideo->Zoom(), 150);
    common::appState().settings.TrackingMode = mode;
    createAt(*w, discA(0), 12);
    createAt(*w, discB(0), 12);
    ASSERT_EQ(w->lvwPoints->topLevelItemCount(), 2);
    EXPECT_EQ(w->lvwPoints->topLevelItem(1)->text(0), "Point 2");
    EXPECT_TRUE(dialogs.messages.empty());

    w->btnPlayClick();
    EXPECT_EQ(w->hscScroll->value(), kFrames - 1) << "no marker was lost";
    EXPECT_FALSE(common::appState().MarkerLost);

    const auto table = exportTable(*w, dialogs);
    ASSERT_EQ(table.size(), std::size_t(kFrames + 1));
    EXPECT_EQ(table[0].join(u'|'), "Frame|Time (s)|Point 1 X (px)|Point 1 Y (px)|Point 1 Rotation|"
                                   "Point 2 X (px)|Point 2 Y (px)|Point 2 Rotation");
    // The press lands within a pixel of the centre at this zoom; the pattern matcher follows
    // the pressed point, the marker tracker finds the disc's centre itself.
    const double absolute = mode == common::kTrackingPatternMatching ? 1.0 : 0.25;
    for (int f = 0; f < kFrames; ++f) {
        const QStringList &row = table[std::size_t(f + 1)];
        ASSERT_EQ(row.size(), 8) << f;
        EXPECT_EQ(row[0].toInt(), f);
        EXPECT_NEAR(row[1].toDouble(), f / 100.0, 1e-9);
        const QPointF truth[2] = {discA(f), discB(f)};
        const QPointF truth0[2] = {discA(0), discB(0)};
        const QPointF start[2] = {QPointF(table[1][2].toDouble(), table[1][3].toDouble()),
                                  QPointF(table[1][5].toDouble(), table[1][6].toDouble())};
        for (int m = 0; m < 2; ++m) {
            bool okX = false, okY = false;
            const double x = row[2 + 3 * m].toDouble(&okX), y = row[3 + 3 * m].toDouble(&okY);
            ASSERT_TRUE(okX && okY) << "frame " << f << " marker " << m;
            EXPECT_NEAR(x, truth[m].x(), absolute) << "frame " << f << " marker " << m;
            EXPECT_NEAR(y, truth[m].y(), absolute) << "frame " << f << " marker " << m;
            // Relative to where it started, the track follows the disc closely.
            EXPECT_NEAR(x - start[m].x(), truth[m].x() - truth0[m].x(), 0.25)
                << "frame " << f << " marker " << m;
            EXPECT_NEAR(y - start[m].y(), truth[m].y() - truth0[m].y(), 0.25)
                << "frame " << f << " marker " << m;
        }
    }
    // The path of each marker holds one mark per drawn frame.
    int marks = 0;
    platform::LONG count = 0;
    w->objects().graphicItems->GetCount(&count);
    for (platform::LONG i = 1; i <= count; ++i) {
        datalib::TalvorGraphicItem *raw = nullptr;
        w->objects().graphicItems->GetItem(i, &raw);
        platform::LONG id = 0;
        platform::ComPtr<datalib::TalvorGraphicItem>::attach(raw)->GetID(&id);
        marks += id == 1 + markers::kPathOffset;
    }
    EXPECT_EQ(marks, kFrames);
}

INSTANTIATE_TEST_SUITE_P(BothEngines, EndToEnd,
                         ::testing::Values(common::kTrackingPatternMatching,
                                           common::kTrackingMarkerTracking),
                         [](const auto &info) {
                             return info.param == common::kTrackingPatternMatching
                                        ? std::string("PatternMatching")
                                        : std::string("MarkerTracking");
                         });

TEST_F(WindowMarkersTest, AVanishingMarkerStopsPlaybackWhereItWasLost) {
    AnsweringDialogs dialogs;
    auto w = openWindow({[](int f) {
        return f < 25 ? std::optional(discA(f)) : std::optional<QPointF>();
    }});
    // Without StopAtDrop only the loss of every marker stops playback.
    common::appState().settings.StopAtDrop = false;
    createAt(*w, discA(0), 12);
    ASSERT_EQ(w->lvwPoints->topLevelItemCount(), 1);
    w->btnPlayClick();
    EXPECT_EQ(w->hscScroll->value(), 25);
    EXPECT_FALSE(common::appState().IsPlaying);
    EXPECT_TRUE(common::appState().AllMarkersLost);
    const auto ch = w->markerWork().store.bind(1);
    EXPECT_EQ(ch.get(markers::Channel::PointStatus, 24), 1.0f);
    for (int f = 25; f < kFrames; ++f)
        EXPECT_EQ(ch.get(markers::Channel::PointStatus, f), 0.0f) << f;
    const auto table = exportTable(*w, dialogs);
    EXPECT_FALSE(table[25][2].isEmpty());
    for (int f = 25; f < kFrames; ++f)
        EXPECT_EQ(table[std::size_t(f + 1)].mid(2), QStringList({"", "", ""})) << f;
}

TEST_F(WindowMarkersTest, VideoKeysWorkWhereverTheFocusIsButInText) {
    AnsweringDialogs dialogs;
    auto w = openWindow({[](int f) { return std::optional(discA(f)); },
                         [](int) {
                             return std::optional(QPointF(200, 150));
                         }},
                        12);
    const auto key = [](QWidget *to, int k) {
        QKeyEvent down(QEvent::KeyPress, k, Qt::NoModifier, k == Qt::Key_Space ? " " : "");
        QApplication::sendEvent(to, &down);
        QKeyEvent up(QEvent::KeyRelease, k, Qt::NoModifier, k == Qt::Key_Space ? " " : "");
        QApplication::sendEvent(to, &up);
    };
    createAt(*w, discA(0), 10);
    ASSERT_EQ(w->lvwPoints->topLevelItemCount(), 1);
    for (QWidget *to : std::initializer_list<QWidget *>{w->lvwPoints, w->btnPlay, w->hscScroll}) {
        key(to, Qt::Key_Home);
        EXPECT_EQ(w->hscScroll->value(), 0);
        key(to, Qt::Key_Right);
        key(to, Qt::Key_Right);
        EXPECT_EQ(w->hscScroll->value(), 2) << to->objectName().toStdString();
        key(to, Qt::Key_Left);
        EXPECT_EQ(w->hscScroll->value(), 1) << to->objectName().toStdString();
        key(to, Qt::Key_End);
        EXPECT_EQ(w->hscScroll->value(), 11) << to->objectName().toStdString();
        // Space plays from the start to the end.
        key(to, Qt::Key_Home);
        key(to, Qt::Key_Space);
        EXPECT_EQ(w->hscScroll->value(), 11) << to->objectName().toStdString();
    }
    // A text being edited keeps its keys.
    auto *edit = new QLineEdit(w.get());
    edit->setText("abc");
    key(w->lvwPoints, Qt::Key_Home);
    key(edit, Qt::Key_Right);
    key(edit, Qt::Key_End);
    EXPECT_EQ(w->hscScroll->value(), 0);
    // Up and Down still move through the table.
    createAt(*w, QPointF(200, 150), 10);
    ASSERT_EQ(w->lvwPoints->topLevelItemCount(), 2);
    w->lvwPoints->setCurrentItem(w->lvwPoints->topLevelItem(0));
    key(w->lvwPoints, Qt::Key_Down);
    EXPECT_EQ(w->lvwPoints->currentItem(), w->lvwPoints->topLevelItem(1));
    EXPECT_EQ(w->hscScroll->value(), 0);
}

// Answers the calibration dialog as a user would: types into its fields and presses OK.
class CalibratingDialogs : public AnsweringDialogs {
public:
    QString distance = QStringLiteral("40");
    int unit = 1;
    QString aspect = QStringLiteral("4:3");
    QString hz = QStringLiteral("100");
    QStringList seen; // the dialog's texts when it opened
    int exec(QDialog &dialog) override {
        auto *calib = dynamic_cast<shell::frmCalibDist *>(&dialog);
        if (!calib)
            return QDialog::Rejected;
        seen = {calib->windowTitle(),
                calib->Frame1->title(),
                calib->lblCalibDist1->text(),
                calib->lblAspectRatio->text(),
                calib->lblHz->text(),
                calib->lblFps->text(),
                calib->btnOK->text(),
                calib->btnCancel->text(),
                calib->cboAspectRatio->itemText(0),
                calib->cboAspectRatio->itemText(1),
                calib->cboAspectRatio->itemText(2),
                calib->cboCalibDist->itemText(1),
                calib->txtHz->text()};
        calib->txtCalibDist->setText(distance);
        calib->cboCalibDist->setCurrentIndex(unit);
        calib->cboAspectRatio->setEditText(aspect);
        calib->txtHz->setText(hz);
        calib->btnOK->click();
        return calib->result();
    }
};

TEST_F(WindowMarkersTest, CalibratedThroughTheDialogTrackedAndExportedByTheFormula) {
    CalibratingDialogs dialogs;
    auto w = openWindow({[](int f) {
        return std::optional(discA(f));
    }});
    // Without a calibration no marker may be placed (the options say so).
    common::appState().settings.CalibrationMandatory = true;
    createAt(*w, discA(0), 12);
    EXPECT_EQ(w->lvwPoints->topLevelItemCount(), 0);
    ASSERT_EQ(dialogs.messages.size(), 1u);

    w->tbToolbarButtonClick("Scale");
    EXPECT_EQ(dialogs.seen, QStringList({"Calibration distance", " Distance for this calibration: ",
                                         "Calibration distance:", "Aspect ratio:",
                                         "Video frequency:", "frames/sec.", "OK", "Cancel",
                                         "DV-PAL", "DV-NTSC", "1:1", "cm", "100"}));
    ASSERT_EQ(common::appState().InteractionState, 2);
    // Two clicks on known points: 200 px apart horizontally, 40 cm.
    const QPointF p0(60, 200), p1(260, 200);
    for (QPointF p : {p0, p1}) {
        const QPoint at = windowPoint(*w, p);
        mouse(w->qvxVideo, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
        mouse(w->qvxVideo, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    }
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].text, "Calibration successful.");
    EXPECT_TRUE(common::appState().VideoCalibrated);

    createAt(*w, discA(0), 12);
    ASSERT_EQ(w->lvwPoints->topLevelItemCount(), 1);
    EXPECT_EQ(w->lvwPoints->topLevelItem(0)->text(1).section(u'.', 1).size(), 2)
        << "calibrated cells have two decimals";
    w->btnPlayClick();
    EXPECT_EQ(w->hscScroll->value(), kFrames - 1);
    // Every value fits its column.
    for (int c = 1; c <= 3; ++c)
        EXPECT_GE(
            w->lvwPoints->header()->sectionSize(c),
            w->lvwPoints->fontMetrics().horizontalAdvance(w->lvwPoints->topLevelItem(0)->text(c)))
            << c;
    const auto table = exportTable(*w, dialogs);
    ASSERT_EQ(table.size(), std::size_t(kFrames + 1));
    EXPECT_EQ(table[0].mid(2, 2), QStringList({"Point 1 X (cm)", "Point 1 Y (cm)"}));
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    auto &cal = common::appState().Calibration;
    cal->GetPointX(0, &x0);
    cal->GetPointY(0, &y0);
    cal->GetPointX(1, &x1);
    cal->GetPointY(1, &y1);
    const double a = 4.0 / 3.0;
    const double k = 40.0 / std::hypot(x1 - x0, (y1 - y0) / a);
    for (int f = 0; f < kFrames; ++f) {
        const QStringList &row = table[std::size_t(f + 1)];
        const double fx = row[4].toDouble() / kSize.width(),
                     fy = row[5].toDouble() / kSize.height();
        EXPECT_NEAR(row[2].toDouble(), k * (fx - x0), 1e-4) << f;
        EXPECT_NEAR(row[3].toDouble(), -k * (fy - y0) / a, 1e-4) << f;
    }
    // The clicked points are where they were clicked, to the view's resolution.
    EXPECT_NEAR(x0 * kSize.width(), p0.x(), 0.5);
    EXPECT_NEAR(x1 * kSize.width(), p1.x(), 0.5);
}

TEST_F(WindowMarkersTest, CancellingTheDialogChangesNothing) {
    AnsweringDialogs dialogs; // the dialog is left with Cancel
    auto w = openWindow({[](int f) {
                            return std::optional(discA(f));
                        }},
                        5);
    const int before = common::appState().InteractionState;
    w->mnuPopupSScale->trigger();
    EXPECT_EQ(common::appState().InteractionState, before);
    EXPECT_FALSE(QFile::exists(common::appState().IniFile) &&
                 QFile(common::appState().IniFile).size() > 60)
        << "no calibration keys written";
}

TEST_F(WindowMarkersTest, TrackingByHandFromThePopupRenamesTheRowAndItsNameFits) {
    AnsweringDialogs dialogs;
    auto w = openWindow({[](int f) {
                            return std::optional(discA(f));
                        }},
                        5);
    createAt(*w, discA(0), 12);
    ASSERT_EQ(w->lvwPoints->topLevelItemCount(), 1);
    w->lvwPoints->topLevelItem(0)->setSelected(true);
    w->mnuPopUpListChkManual->trigger();
    QTreeWidgetItem *row = w->lvwPoints->topLevelItem(0);
    EXPECT_EQ(row->text(0), "M-Point 1");
    EXPECT_EQ(common::appState().InteractionState, 4);
    EXPECT_GE(w->lvwPoints->header()->sectionSize(0),
              w->lvwPoints->fontMetrics().horizontalAdvance(row->text(0)) +
                  w->lvwPoints->iconSize().width());
    w->mnuPopUpListDelMarker->trigger();
    EXPECT_EQ(w->lvwPoints->topLevelItemCount(), 0);
    EXPECT_EQ(common::appState().InteractionState, 1);
}

} // namespace
